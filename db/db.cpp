// Connections, the message buffer and the SQL formatter: thin layers over
// SQLite. Running SQL into a result table is in exec.cpp.
#include <sqlite3.h>

#include "error_buffer.h"
#include "tolmek_db.h"

extern "C" {

char db_err_msg[DB_ERR_MSG_SIZE]; // empty when the library is loaded

sqlite3 *db_open(const char *path) {
    if (!path) {
        // sqlite3_open would take null for a temporary database, which a
        // caller that lost its file name does not want.
        error_buffer_set("no database file name");
        return nullptr;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open(path, &db) != SQLITE_OK) {
        error_buffer_set(sqlite3_errmsg(db)); // "out of memory" for a null db
        sqlite3_close(db);
        return nullptr;
    }
    error_buffer_clear();
    return db;
}

int db_close(sqlite3 *db) { return sqlite3_close(db); }

char *db_mprintf(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    char *text = sqlite3_vmprintf(format, ap);
    va_end(ap);
    return text;
}

char *db_vmprintf(const char *format, va_list ap) { return sqlite3_vmprintf(format, ap); }

void db_free(void *text) { sqlite3_free(text); }

} // extern "C"
