// db_open's and db_exec's results and failures, repeated until any leak would show, and (where
// the test malloc replaces the C library's) exhausted memory.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "failing_malloc.h"
#include "process_resources.h"
#include "reference_host.h"
#include "tolmek_db.h"

namespace {

using Database = std::unique_ptr<sqlite3, decltype(&db_close)>;
db_res *const stale_table = reinterpret_cast<db_res *>(0x1); // for db_exec to overwrite

// A table as the host reads it: a line of names (none without rows), then a
// line per row, each value after a '|', SQL NULL as "∅".
std::string text_of(const db_res &table) {
    if (!table.col_names) return "";
    auto line = [&](char *const *values) {
        std::string text;
        for (uint32_t column = 0; column < table.col_count; column++)
            text += "|" + std::string(values[column] ? values[column] : "∅");
        return text + "\n";
    };
    std::string text = line(table.col_names);
    for (uint32_t row = 0; row < table.row_count; row++) text += line(table.rows[row]);
    return text;
}

// Every call empties the host's row list first. A success gives the rows of every statement in
// order, fitted to the first row's columns (names without values, as SQLite's empty-result
// callbacks give them, are a row of nulls) and empties the message; a failure gives -1, a null
// table and its message, cut to 255 bytes, and releases the rows gathered before it.
void expect_cases(sqlite3 *db) {
    std::string name(400, 'x'), long_sql = "SELECT * FROM " + name;
    std::unique_ptr<char, decltype(&db_free)> formatted(
        db_mprintf("SELECT %Q AS note, %Q AS \"%w\"", "노트 'n'", nullptr, "a \"b\""), db_free);
    std::tuple<sqlite3 *, const char *, std::string, std::string> cases[] = {
        {db, "SELECT 1, 2, 3; SELECT 4 WHERE 0; SELECT 4; SELECT 5, 6, 7, 8",
         "|1|2|3\n|1|2|3\n|4|∅|∅\n|5|6|7\n", ""},
        {nullptr, "SELECT 1", "", "no database handle"},
        {db, "SELECT 'a' || char(0) || 'b' AS z, NULL AS 이름, '' AS e", "|z|이름|e\n|a|∅|\n", ""},
        {db, nullptr, "", "no SQL text"},
        {db, "SELECT 1 WHERE 0; -- no rows, no names", "", ""},
        {db, "SELECT 1; SELECT * FROM missing", "", "no such table: missing"},
        {db, "PRAGMA empty_result_callbacks = ON", "\n\n", ""},
        {db, long_sql.c_str(), "", ("no such table: " + name).substr(0, 255)},
        {db, "SELECT 1 AS a, 2 AS b WHERE 0", "|a|b\n|∅|∅\n", ""},
        {db, formatted.get(), "|note|a \"b\"\n|노트 'n'|∅\n", ""},
    };
    for (bool with_table : {true, false}) {
        for (const auto &[handle, sql, contents, message] : cases) {
            SCOPED_TRACE(testing::Message()
                         << (sql ? sql : "") << ", with a table: " << with_table);
            db_res *res = stale_table;
            unsigned inits = reference_list_inits();
            EXPECT_EQ(db_exec(handle, sql, with_table ? &res : nullptr), message.empty() ? 0 : -1);
            EXPECT_EQ(db_err_msg, message);
            EXPECT_GT(reference_list_inits(), inits) << "no linked_init";
            if (with_table && message.empty()) {
                EXPECT_EQ(text_of(*res), contents);
                EXPECT_TRUE(!res->rows == !res->row_count && !res->col_names == !res->row_count);
                db_free_res(res);
            } else {
                EXPECT_EQ(res, with_table ? nullptr : stale_table);
            }
        }
    }
    db_free_res(nullptr);
}

// The cases on a database file, then three hundred times more on as many connections, after
// opens that fail.
TEST(DbExec, GathersTheRowsOrFailsWithAMessage) {
    const std::string path = testing::TempDir() + "db_test." + std::to_string(getpid());
    auto connect_and_run_cases = [&] {
        EXPECT_EQ(db_open(nullptr), nullptr);
        EXPECT_STREQ(db_err_msg, "no database file name");
        EXPECT_EQ(db_open((path + ".missing/db").c_str()), nullptr);
        EXPECT_STREQ(db_err_msg, "unable to open database file");
        Database db(db_open(path.c_str()), db_close);
        EXPECT_STREQ(db_err_msg, "") << "not emptied by a success";
        expect_cases(db.get());
    };
    expect_nothing_left_behind(300, connect_and_run_cases);
    remove(path.c_str());
}

// Whichever allocation of db_open or db_exec fails (the library's, the host
// list's, SQLite's), the call succeeds with the whole result or fails with
// "out of memory" and a null table, and no block is left behind.
TEST(DbMemory, AnyAllocationMayFail) {
    if (!counts_allocations) GTEST_SKIP() << "AddressSanitizer owns malloc";
    const char *sql =
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 12) "
        "SELECT x, '이름 ' || x, CASE WHEN x % 3 THEN 'note' END FROM n; SELECT 'x', NULL";
    db_res *expected = nullptr, *res;
    ASSERT_EQ(db_exec(Database(db_open(":memory:"), db_close).get(), sql, &expected), 0)
        << db_err_msg;
    long failures = 0;
    for (long which = 1;; which++) {
        size_t heap = heap_in_use();
        res = stale_table;
        start_counting(which);
        Database db(db_open(":memory:"), db_close);
        int status = db ? db_exec(db.get(), sql, &res) : -1;
        bool failure_happened = stop_counting();
        if (status == 0) {
            EXPECT_EQ(text_of(*res), text_of(*expected)) << "allocation " << which;
            db_free_res(res);
        } else {
            failures++;
            EXPECT_EQ(res, db ? nullptr : stale_table) << "allocation " << which;
            EXPECT_STREQ(db_err_msg, "out of memory") << "allocation " << which;
        }
        db.reset();
        EXPECT_EQ(heap_in_use(), heap) << "allocation " << which;
        if (!failure_happened || HasFailure()) break;
    }
    db_free_res(expected);
    EXPECT_GT(failures, 3 * 13) << "names, values, row arrays, list nodes: several per row";
}

} // namespace
