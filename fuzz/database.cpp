// SQL through db_exec on a fresh in-memory database, under limits in the manner of SQLite's own
// fuzzers, and db_mprintf's quoting of the same text.
//
// The first byte chooses whether db_exec gathers a table (bit 0); the rest is the SQL text.
#include <sqlite3.h>

#include <string>

#include "support.h"
#include "tolmek_db.h"

namespace {

// Small enough that a query making ever longer values (zeroblob(i) over a recursive count) stops
// well before the sanitizer's heap grows to GBs.
constexpr int length_limit = 20000;  // bytes of a string, blob or SQL text
constexpr int program_limit = 25000; // operations of one prepared statement
constexpr int progress_period = 100; // operations between progress calls
constexpr int progress_limit = 2000; // progress calls before a query stops
constexpr sqlite3_int64 heap_limit = 64 << 20;

// Stops a query that has run long enough (sqlite3_exec then fails).
int stop_long_queries(void *calls) { return ++*static_cast<int *>(calls) > progress_limit; }

struct Database {
    Database() : db(db_open(":memory:")) {
        fuzz::check(db != nullptr, "db_open");
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, length_limit);
        sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, length_limit);
        sqlite3_limit(db, SQLITE_LIMIT_VDBE_OP, program_limit);
        sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0); // no other database files
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_progress_handler(db, progress_period, stop_long_queries, &progress_calls);
    }
    ~Database() { fuzz::check(db_close(db) == SQLITE_OK, "a statement was left unfinished"); }
    sqlite3 *db;
    int progress_calls = 0;
};

void run(const char *sql, bool gather) {
    Database database;
    db_res stale{};
    db_res *table = &stale;
    int result = db_exec(database.db, sql, gather ? &table : nullptr);
    fuzz::check(result == 0 || result == -1, "db_exec's result");
    fuzz::check(std::strlen(db_err_msg) < DB_ERR_MSG_SIZE, "the message fits its buffer");
    fuzz::check((result == 0) == (db_err_msg[0] == '\0'), "a message exactly on failure");
    if (!gather) return;
    fuzz::check(table != &stale, "*res written");
    fuzz::check((result == 0) == (table != nullptr), "a table exactly on success");
    if (table) { // every string of the table is read, its shape checked
        fuzz::check((table->row_count == 0) == (table->rows == nullptr),
                    "rows and row_count agree");
        fuzz::check((table->row_count == 0) == (table->col_names == nullptr), "names with rows");
        for (std::uint32_t c = 0; c < table->col_count; ++c) fuzz::touch(table->col_names[c]);
        for (std::uint32_t r = 0; r < table->row_count; ++r)
            for (std::uint32_t c = 0; c < table->col_count; ++c) fuzz::touch(table->rows[r][c]);
    }
    db_free_res(table);
}

// db_mprintf's quoting gives the text back unchanged as a literal and as a name.
void round_trip(const char *text) {
    Database database;
    char *sql =
        db_mprintf("SELECT '%q', %Q, \"%w\" FROM (SELECT 1 AS \"%w\")", text, text, text, text);
    fuzz::check(sql != nullptr, "db_mprintf");
    db_res *table = nullptr;
    int result = db_exec(database.db, sql, &table);
    db_free(sql);
    fuzz::check(result == 0 && table->row_count == 1 && std::strcmp(table->rows[0][0], text) == 0 &&
                    std::strcmp(table->rows[0][1], text) == 0 &&
                    std::strcmp(table->col_names[2], text) == 0,
                "quoted, the text comes back");
    db_free_res(table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    // A query may lower the process-wide heap limits; every input starts alike.
    sqlite3_hard_heap_limit64(heap_limit);
    sqlite3_soft_heap_limit64(0);
    std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    run(text.c_str(), data[0] & 1);
    round_trip(text.c_str());
    return 0;
}
