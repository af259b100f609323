// db_err_msg, the one message buffer of the library, and the only ways the
// library writes it.
#pragma once

#include <stdio.h>

#include "tolmek_db.h"

// Stores message, cut to the buffer's 255 bytes and a NUL.
inline void error_buffer_set(const char *message) {
    snprintf(db_err_msg, sizeof db_err_msg, "%s", message);
}

// A success empties the buffer.
inline void error_buffer_clear() { db_err_msg[0] = '\0'; }
