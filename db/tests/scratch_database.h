// What the database tests share: databases and tables that release
// themselves, and a table's contents as values that compare and print.
#ifndef TOLMEK_DB_TESTS_SCRATCH_DATABASE_H
#define TOLMEK_DB_TESTS_SCRATCH_DATABASE_H

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tolmek_db.h"

struct DatabaseCloser {
    void operator()(sqlite3 *db) const { db_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct TableFreer {
    void operator()(db_res *table) const { db_free_res(table); }
};
using Table = std::unique_ptr<db_res, TableFreer>;

// A table pointer that db_exec must overwrite, with a table or with null.
inline db_res *const stale_table = reinterpret_cast<db_res *>(0x1);

// A new empty database in memory; fails the test when it cannot be opened.
Database open_scratch_database();

// Runs sql without gathering rows and expects success.
void run(sqlite3 *db, const std::string &sql);

// Runs sql into *table; returns db_exec's result.
int gather(sqlite3 *db, const std::string &sql, Table *table);

using Value = std::optional<std::string>; // nullopt for SQL NULL
using Row = std::vector<Value>;

struct Contents {
    std::vector<Value> names;
    std::vector<Row> rows;
    bool operator==(const Contents &) const = default;
};
void PrintTo(const Contents &contents, std::ostream *out);

// What a table holds, read the way the host reads it.
Contents contents_of(const db_res &table);

#endif
