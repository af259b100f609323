// db_exec's table against sqlite3_get_table, SQLite's own table of strings,
// for the same queries on the same database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "scratch_database.h"

namespace {

// What sqlite3_get_table returns for sql: the names, then the rows.
Contents get_table_contents(sqlite3 *db, const char *sql) {
    char **cells = nullptr;
    int row_count = 0, col_count = 0;
    int status = sqlite3_get_table(db, sql, &cells, &row_count, &col_count, nullptr);
    EXPECT_EQ(status, SQLITE_OK) << sql;
    Contents contents(1 + row_count);
    for (int r = 0; r <= row_count; r++)
        for (int c = 0; c < col_count; c++)
            contents[r].push_back(value_of(cells[r * col_count + c]));
    sqlite3_free_table(cells);
    return contents;
}

// NULLs, Korean, Japanese and emoji text, and a table of 100,000 numbers.
const char *const fixture_sql = R"(
CREATE TABLE tracks(id INTEGER PRIMARY KEY, title TEXT, seconds INTEGER, rating REAL);
INSERT INTO tracks VALUES (1, '이 지금', 210, 4.5), (2, '春ひさぎ 🎵', NULL, NULL),
                          (3, '', 61, -1.5e-7), (4, 'Tab	and ''quote''', NULL, 0.1);
CREATE TABLE numbers(n INTEGER PRIMARY KEY);
WITH RECURSIVE count(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM count WHERE n < 100000)
INSERT INTO numbers SELECT n FROM count;
)";

const char *const corpus[] = {
    "SELECT * FROM tracks ORDER BY id",
    "SELECT id AS \"번호\", title AS \"제목 (title)\", NULL AS missing FROM tracks ORDER BY id",
    // The names come from the first statement; one without rows adds none.
    "SELECT id AS first FROM tracks ORDER BY id LIMIT 2; SELECT id FROM tracks WHERE id > 100;"
    "SELECT id AS last FROM tracks ORDER BY id DESC",
    "SELECT x'41420043', 'a' || char(0) || 'b', x''", // a zero byte ends a value
    "SELECT n, n * n, 'row ' || n, NULLIF(n % 7, 0) FROM numbers ORDER BY n",
    // No rows: no names either.
    "SELECT * FROM tracks WHERE id > 100",
    "INSERT INTO tracks(title) VALUES ('x')",
    "",
    "-- only a comment",
};

TEST(DbTable, EqualsSqlitesOwnTableForEveryQuery) {
    Database db = open_scratch_database(fixture_sql);
    for (const char *sql : corpus) {
        Table table;
        ASSERT_EQ(gather(db.get(), sql, &table), 0) << sql << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), get_table_contents(db.get(), sql)) << sql;
        bool empty = !table->rows && !table->col_names && table->col_count == 0;
        EXPECT_EQ(empty, table->row_count == 0) << sql;
    }
}

} // namespace
