// db_exec's tables and failures, SQL text built from hostile input, and ten
// thousand queries in a row.
#include <gtest/gtest.h>
#include <stdio.h>

#include "process_resources.h"
#include "reference_host.h"
#include "scratch_database.h"

namespace {

const Value null = std::nullopt;
using Text = std::unique_ptr<char, Releaser<db_free>>;
const char hostile[] = "'); DROP TABLE \"t\"; -- 줄\n바꿈 %s";

Text format(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    Text text(db_vmprintf(format, ap));
    va_end(ap);
    return text;
}

// Rows in delivery order, fitted to the first row's columns; names without
// values (SQLite's empty-result callbacks) are a row of nulls.
TEST(DbExec, GathersEveryRowFittedToTheFirstRowsColumns) {
    Database db(db_open(":memory:"));
    struct {
        bool empty_result_callbacks;
        std::string sql;
        Contents contents;
    } cases[] = {
        {false, "SELECT 1, 2, 3; SELECT 4 WHERE 0; SELECT 4; SELECT 5, 6, 7, 8",
         {{"1", "2", "3"}, {"1", "2", "3"}, {"4", null, null}, {"5", "6", "7"}}},
        {false, "SELECT 'a' || char(0) || 'b' AS z, NULL AS 이름", {{"z", "이름"}, {"a", null}}},
        {false, format("SELECT %Q AS \"%w\", '%q' AS q", hostile, hostile, hostile).get(),
         {{hostile, "q"}, {hostile, hostile}}},
        {false, "SELECT 1 WHERE 0; -- no rows, no names", {{}}},
        {true, "SELECT 1 AS a, 2 AS b WHERE 0", {{"a", "b"}, {null, null}}},
        {true, "CREATE TABLE t(x)", {{}, {}}},
    };
    for (const auto &c : cases) {
        if (c.empty_result_callbacks) db_exec(db.get(), "PRAGMA empty_result_callbacks = ON", nullptr);
        Table table;
        ASSERT_EQ(gather(db.get(), c.sql, &table), 0) << c.sql << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), c.contents) << c.sql;
        EXPECT_TRUE(!table->rows == !table->row_count && !table->col_names == !table->row_count);
    }
}

// Each failure gives -1, a null table and its message, cut to 255 bytes,
// until the next success; the rows gathered before it are released. Every
// call empties the host's row list first.
TEST(DbExec, AFailureLeavesItsMessageUntilTheNextSuccess) {
    Database db(db_open(":memory:"));
    std::string name(400, 'x'), long_sql = "SELECT * FROM " + name;
    struct {
        sqlite3 *db;
        const char *sql;
        std::string message;
    } cases[] = {
        {nullptr, "SELECT 1", "no database handle"},
        {db.get(), nullptr, "no SQL text"},
        {db.get(), "SELECT 1; SELECT * FROM missing", "no such table: missing"},
        {db.get(), "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 9) "
                   "SELECT CASE WHEN x < 5 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n",
         "integer overflow"},
        {db.get(), long_sql.c_str(), ("no such table: " + name).substr(0, 255)},
    };
    for (bool with_table : {true, false}) {
        for (const auto &c : cases) {
            db_res *res = stale_table;
            unsigned inits = reference_list_inits();
            EXPECT_EQ(db_exec(c.db, c.sql, with_table ? &res : nullptr), -1) << c.message;
            EXPECT_EQ(res, with_table ? nullptr : stale_table);
            EXPECT_EQ(db_err_msg, c.message);
            EXPECT_GT(reference_list_inits(), inits) << "no linked_init";
            Table table;
            EXPECT_EQ(with_table ? gather(db.get(), "SELECT 1", &table) : db_exec(db.get(), "SELECT 1", nullptr), 0);
            EXPECT_STREQ(db_err_msg, "") << with_table;
        }
    }
    Database opened(db_open(nullptr));
    EXPECT_STREQ(db_err_msg, "no database file name");
    opened.reset(db_open(":memory:"));
    EXPECT_STREQ(db_err_msg, "") << "an open empties it too";
}

// A hundred connections to a file (and as many that fail to open), a
// hundred formatted queries each, every tenth failing after its rows: heap
// and descriptors end where they started.
TEST(DbSoak, TenThousandQueriesLeaveNothingBehind) {
    std::string path = testing::TempDir() + "db_soak.db";
    remove(path.c_str());
    auto connect = [&] {
        Database db(db_open(path.c_str()));
        EXPECT_EQ(db_exec(db.get(), "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY;"
                                    "CREATE TABLE IF NOT EXISTS notes(round, text)", nullptr), 0);
        return db;
    };
    connect(); // and SQLite's one-time set-up
    int descriptors = open_descriptors();
    size_t heap = heap_in_use();
    int failures = 0;
    for (int connection = 0; connection < 100; connection++) {
        failures += db_open((path + ".missing/db").c_str()) != nullptr;
        Database db = connect();
        for (int round = 0; round < 100; round++) {
            Text sql(db_mprintf("INSERT INTO notes VALUES (%d, %Q); SELECT * FROM notes LIMIT 9; %s", round,
                                "노트 'n'", round % 10 ? "" : "SELECT * FROM missing"));
            Table table;
            failures += gather(db.get(), sql.get(), &table) != (round % 10 ? 0 : -1);
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(heap_in_use(), heap);
    remove(path.c_str());
}

} // namespace
