// db_exec's table against sqlite3_get_table, SQLite's own table of strings,
// for the same queries on the same database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "scratch_database.h"

namespace {

// What sqlite3_get_table returns for sql: the names, then the rows.
Contents get_table_contents(sqlite3 *db, const char *sql) {
    char **cells = nullptr;
    int row_count = 0;
    int col_count = 0;
    char *message = nullptr;
    EXPECT_EQ(sqlite3_get_table(db, sql, &cells, &row_count, &col_count, &message), SQLITE_OK)
        << sql << ": " << message;
    sqlite3_free(message);
    Contents contents(1 + row_count);
    for (int r = 0; r <= row_count; r++)
        for (int c = 0; c < col_count; c++) contents[r].push_back(value_of(cells[r * col_count + c]));
    sqlite3_free_table(cells);
    return contents;
}

// A small music library with NULLs and Korean, Japanese and emoji text,
// and a table of 100,000 numbers.
const char *const fixture_sql = R"(
CREATE TABLE artists(id INTEGER PRIMARY KEY, name TEXT NOT NULL, country TEXT);
CREATE TABLE albums(id INTEGER PRIMARY KEY, artist INTEGER REFERENCES artists, title TEXT, year INTEGER);
CREATE TABLE tracks(id INTEGER PRIMARY KEY, album INTEGER REFERENCES albums, title TEXT,
                    seconds INTEGER, rating REAL, cover BLOB);
INSERT INTO artists VALUES (1, '아이유', 'KR'), (2, 'ヨルシカ', 'JP'), (3, 'Nobody', NULL),
                           (4, 'Ünïcödé 🎵', 'DE');
INSERT INTO albums VALUES (1, 1, '팔레트', 2017), (2, 1, '꽃갈피', 2014), (3, 2, '盗作', 2020),
                          (4, 4, NULL, NULL);
INSERT INTO tracks VALUES
  (1, 1, '이 지금', 210, 4.5, x'00FF'), (2, 1, '팔레트', 217, NULL, NULL),
  (3, 2, '나의 옛날이야기', 274, 5.0, x'414243'), (4, 3, '春ひさぎ', 230, 4.25, NULL),
  (5, 3, '', NULL, 0.1, x''), (6, 4, 'Tab	and ''quote''', 61, -1.5e-7, NULL),
  (7, NULL, 'Loose', 1, NULL, NULL);
CREATE TABLE numbers(n INTEGER PRIMARY KEY);
WITH RECURSIVE count(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM count WHERE n < 100000)
INSERT INTO numbers SELECT n FROM count;
)";

const char *const corpus[] = {
    "SELECT * FROM tracks ORDER BY id",
    "SELECT * FROM artists WHERE id > 100",
    "SELECT ar.name, al.title, t.title, t.seconds FROM tracks t "
    "JOIN albums al ON al.id = t.album JOIN artists ar ON ar.id = al.artist ORDER BY t.id",
    "SELECT ar.name, al.title FROM artists ar LEFT JOIN albums al ON al.artist = ar.id "
    "ORDER BY ar.id, al.id",
    "SELECT ar.name, count(t.id), sum(t.seconds), avg(t.rating), max(t.title), "
    "group_concat(t.title, ' / ') FROM artists ar LEFT JOIN albums al ON al.artist = ar.id "
    "LEFT JOIN tracks t ON t.album = al.id GROUP BY ar.id HAVING count(t.id) >= 0 ORDER BY ar.id",
    "SELECT name, upper(name), length(name), hex(name), substr(name, 2, 2) FROM artists ORDER BY id",
    "SELECT cover, typeof(cover), length(cover), quote(cover) FROM tracks ORDER BY id",
    "SELECT 1.0 / 3, 2e300 * 10, -0.0, 9223372036854775807, -9223372036854775808, 0x7fffffff",
    "SELECT id AS \"번호\", title AS \"제목 (title)\", NULL AS missing FROM albums ORDER BY id",
    // The names come from the first statement; one without rows adds none.
    "SELECT id AS first FROM tracks ORDER BY id LIMIT 2; SELECT id FROM artists WHERE id > 100;"
    "SELECT id AS last FROM albums ORDER BY id DESC",
    // A zero byte ends a value.
    "SELECT x'41420043', 'a' || char(0) || 'b', x''",
    "SELECT n, n * n, 'row ' || n, NULLIF(n % 7, 0), n / 3.0 FROM numbers ORDER BY n",
};

TEST(DbTable, EqualsSqlitesOwnTableForEveryQuery) {
    Database db = open_scratch_database(fixture_sql);
    for (const char *sql : corpus) {
        Table table;
        ASSERT_EQ(gather(db.get(), sql, &table), 0) << sql << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), get_table_contents(db.get(), sql)) << sql;
    }
}

} // namespace
