// What the database tests share: handles that release themselves, and a
// table's contents as values that compare and print.
#ifndef TOLMEK_DB_TESTS_SCRATCH_DATABASE_H
#define TOLMEK_DB_TESTS_SCRATCH_DATABASE_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tolmek_db.h"

template <auto release> struct Releaser {
    template <typename T> void operator()(T *pointer) const { release(pointer); }
};
using Database = std::unique_ptr<sqlite3, Releaser<db_close>>;
using Table = std::unique_ptr<db_res, Releaser<db_free_res>>;

// A table pointer that db_exec must overwrite, with a table or with null.
inline db_res *const stale_table = reinterpret_cast<db_res *>(0x1);

// Runs sql into *table; returns db_exec's result.
inline int gather(sqlite3 *db, const std::string &sql, Table *table) {
    db_res *res = nullptr;
    int status = db_exec(db, sql.c_str(), &res);
    table->reset(res);
    return status;
}

using Value = std::optional<std::string>; // nullopt for SQL NULL
using Contents = std::vector<std::vector<Value>>; // the names (none without rows), then the rows

inline Value value_of(const char *text) { return text ? Value(text) : std::nullopt; }

inline Contents contents_of(const db_res &table) {
    Contents contents(1 + table.row_count);
    for (uint32_t c = 0; table.col_names && c < table.col_count; c++)
        contents[0].push_back(value_of(table.col_names[c]));
    for (uint32_t r = 0; r < table.row_count; r++)
        for (uint32_t c = 0; c < table.col_count; c++) contents[1 + r].push_back(value_of(table.rows[r][c]));
    return contents;
}

#endif
