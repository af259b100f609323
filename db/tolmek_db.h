/*
 * libtolmek-db: SQLite databases for the host player.
 *
 * Open a database file, run SQL while every result row is gathered into a
 * table of strings, build SQL text with SQLite's formatter, close it again.
 *
 * Calling order: db_open, any number of db_exec (each table handed back to
 * db_free_res when read), db_close. db_mprintf, db_vmprintf and db_free may
 * be called at any time.
 *
 * Failures are reported by the result (-1 or null). The text of the last
 * failed db_open or db_exec stands in db_err_msg until the next db_open or
 * db_exec, which empties it on success. The buffer is one for the whole
 * process: a host calling from several threads serialises db_open and
 * db_exec and reads the buffer before the next such call.
 *
 * Memory: a result table belongs to malloc and goes back through
 * db_free_res; a formatted string belongs to SQLite and goes back through
 * db_free. The two are never mixed.
 *
 * The library binds at load time to SQLite and to the host's linked_init
 * and linked_add (host_services.h) in the loading process.
 */
#pragma once

#include <assert.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TOLMEK_DB_EXPORT __attribute__((visibility("default")))

/* The database handle: SQLite's connection, passed through unchanged. */
typedef struct sqlite3 sqlite3;

/* The rows gathered by one db_exec. The host reads the fields directly. */
typedef struct db_res {
    uint32_t row_count; /* entries in rows */
    uint32_t col_count; /* entries in each row and in col_names; taken from
                           the first row delivered, 0 when no row came */
    char ***rows;       /* row_count rows, in the order SQLite delivered
                           them; null when row_count is 0. Each row holds
                           col_count values: a NUL-terminated string, or
                           null for SQL NULL */
    char **col_names;   /* col_count names of the first row's columns;
                           null when no row came */
} db_res;

/* The text of the last failure: NUL-terminated, at most 255 bytes (longer
 * messages are cut), empty after a success and when the library is loaded. */
enum { DB_ERR_MSG_SIZE = 256 };
extern TOLMEK_DB_EXPORT char db_err_msg[DB_ERR_MSG_SIZE];

/* Opens (creating if need be) the database file at path, as sqlite3_open
 * takes it. Returns the handle, to be closed with db_close; null on failure
 * with the reason in db_err_msg and no connection left open. */
TOLMEK_DB_EXPORT sqlite3 *db_open(const char *path);

/* Closes a handle from db_open. Returns sqlite3_close's result: 0 when
 * closed, SQLite's busy code when the connection is still in use. */
TOLMEK_DB_EXPORT int db_close(sqlite3 *db);

/* Runs sql, one or more statements, on db. Returns 0 on success, -1 on
 * failure with the reason in db_err_msg; a failure in any statement fails
 * the whole call, even after earlier statements ran.
 *
 * With res non-null, *res is always written: on success a table of every
 * row of every statement, which the caller releases with db_free_res; on
 * failure null, and the rows gathered before the failure are released.
 * With res null the statements run and nothing is gathered.
 *
 * A later row with a different column count than the first keeps the
 * table's col_count: missing values are null, extra ones are dropped. A row
 * delivered without values (SQLite's empty-result callbacks) is a row of
 * nulls. Exhausted memory fails the call with "out of memory". */
TOLMEK_DB_EXPORT int db_exec(sqlite3 *db, const char *sql, db_res **res);

/* Releases a table from db_exec with every string in it. Null is ignored. */
TOLMEK_DB_EXPORT void db_free_res(db_res *res);

/* SQLite's formatter (sqlite3_mprintf's conversions, %q %Q %w included).
 * Returns the text, which the caller releases with db_free; null when
 * memory is exhausted. */
TOLMEK_DB_EXPORT char *db_mprintf(const char *format, ...);
TOLMEK_DB_EXPORT char *db_vmprintf(const char *format, va_list ap);

/* Releases a string from db_mprintf or db_vmprintf. Null is ignored. */
TOLMEK_DB_EXPORT void db_free(void *text);

#ifdef __cplusplus
}
#endif

/* The host reads db_res field by field: two 32-bit counts, then the two
 * pointers (four 32-bit words on the device). Checked in every build. */
#ifdef __cplusplus
#define TOLMEK_DB_ASSERT static_assert
#else
#define TOLMEK_DB_ASSERT _Static_assert
#endif
TOLMEK_DB_ASSERT(offsetof(db_res, col_count) == 4, "db_res layout");
TOLMEK_DB_ASSERT(offsetof(db_res, rows) == 8, "db_res layout");
TOLMEK_DB_ASSERT(offsetof(db_res, col_names) == 8 + sizeof(void *), "db_res layout");
TOLMEK_DB_ASSERT(sizeof(db_res) == 8 + 2 * sizeof(void *), "db_res layout");
#undef TOLMEK_DB_ASSERT
