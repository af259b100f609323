// Exhausted memory. Whichever allocation fails during db_exec or db_open,
// the library's own, the host list's or SQLite's, the call either succeeds
// with the whole result (SQLite absorbs some failures) or fails with
// "out of memory" and a null table, and no block is left behind.
#include <gtest/gtest.h>

#include <string>

#include "failing_malloc.h"
#include "scratch_database.h"

namespace {

struct Outcome {
    bool failure_happened; // the chosen allocation came during the call
    int status;
    bool table_null;
    Contents contents;
    std::string message;
    long blocks_left;      // after the table is released
};

class DbMemory : public testing::Test {
  protected:
    void SetUp() override {
        db = open_scratch_database();
        ASSERT_NE(db, nullptr);
        run(db.get(), "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, note TEXT);"
                      "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000) "
                      "INSERT INTO t SELECT x, '이름 ' || x, CASE WHEN x % 3 THEN 'note' END FROM n");
    }

    // The result of sql when every allocation succeeds. Running it also
    // fills SQLite's caches, so that a counted run starts from the same state.
    Contents result_of(const char *sql) {
        Table table;
        EXPECT_EQ(gather(db.get(), sql, &table), 0) << sql << ": " << db_err_msg;
        return table ? contents_of(*table) : Contents{};
    }

    // Runs sql with allocation number `which` failing, counting blocks.
    Outcome run_failing(const char *sql, long which) {
        result_of(sql);
        db_res *res = stale_table;
        start_counting_blocks();
        fail_allocation(which);
        int status = db_exec(db.get(), sql, &res);
        bool failure_happened = allocation_failed();
        fail_allocation(0);
        stop_counting_blocks();
        Outcome outcome{failure_happened, status, res == nullptr,
                        res && res != stale_table ? contents_of(*res) : Contents{}, db_err_msg, 0};
        if (res != stale_table) db_free_res(res);
        outcome.blocks_left = live_blocks();
        return outcome;
    }

    // Allocations a successful run of sql makes.
    long allocations_of(const char *sql) {
        Outcome clean = run_failing(sql, 0);
        EXPECT_EQ(clean.status, 0);
        return allocations_counted();
    }

    Database db;
};

void expect_clean(const Outcome &outcome, const Contents &expected, long which) {
    if (outcome.status == 0) {
        EXPECT_EQ(outcome.contents, expected) << "allocation " << which;
    } else {
        EXPECT_EQ(outcome.status, -1) << "allocation " << which;
        EXPECT_TRUE(outcome.table_null) << "allocation " << which;
        EXPECT_EQ(outcome.message, "out of memory") << "allocation " << which;
    }
    EXPECT_EQ(outcome.blocks_left, 0) << "allocation " << which;
}

TEST_F(DbMemory, AnyAllocationOfASmallQueryMayFail) {
    const char *sql = "SELECT id, name, note FROM t WHERE id <= 12; SELECT 'x', NULL";
    Contents expected = result_of(sql);
    ASSERT_EQ(expected.size(), 1 + 13u);
    long failures = 0, which = 1;
    for (;; which++) {
        Outcome outcome = run_failing(sql, which);
        if (!outcome.failure_happened) {
            EXPECT_EQ(outcome.status, 0);
            EXPECT_EQ(outcome.contents, expected);
            break;
        }
        expect_clean(outcome, expected, which);
        failures += outcome.status != 0;
        if (HasFailure()) break; // one allocation's report is enough
    }
    // Names, values, row arrays and list nodes: several per row.
    EXPECT_GT(which, 3 * 13) << "the sweep reached past the rows";
    EXPECT_GT(failures, 3 * 13) << "most failures fail the call";
}

TEST_F(DbMemory, AFailureDeepInALargeResultReleasesEveryRow) {
    const char *sql = "SELECT * FROM t";
    Contents expected = result_of(sql);
    long total = allocations_of(sql);
    ASSERT_GT(total, 2000 * 3);
    for (long which : {total / 2, total - total / 10, total - 3, total - 1, total}) {
        Outcome outcome = run_failing(sql, which);
        ASSERT_TRUE(outcome.failure_happened) << which;
        EXPECT_EQ(outcome.status, -1) << which << " of " << total;
        expect_clean(outcome, expected, which);
    }
}

// Failures among them too. SQLite keeps a connection's last error text
// until the connection closes, so the counting ends with the close.
TEST_F(DbMemory, ThousandsOfTablesLeaveNothingBehind) {
    const char *good = "SELECT * FROM t WHERE id <= 10";
    const char *bad = "SELECT * FROM t WHERE id <= 10; SELECT * FROM missing";
    result_of(good);
    EXPECT_EQ(db_exec(db.get(), bad, nullptr), -1);
    start_counting_blocks();
    int failures = 0;
    for (int cycle = 0; cycle < 5000; cycle++) {
        db_res *res = nullptr;
        failures += db_exec(db.get(), good, &res) != 0;
        db_free_res(res);
        failures += db_exec(db.get(), bad, &res) != -1 || res != nullptr;
    }
    db.reset();
    stop_counting_blocks();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(allocations_counted(), 5000 * 10 * 4) << "the tables' blocks were counted";
    EXPECT_EQ(live_blocks(), 0);
}

TEST(DbOpenMemory, AnyAllocationOfAnOpenMayFail) {
    db_close(db_open(":memory:")); // SQLite's process-wide set-up happens once
    for (long which = 1;; which++) {
        start_counting_blocks();
        fail_allocation(which);
        sqlite3 *db = db_open(":memory:");
        bool failure_happened = allocation_failed();
        fail_allocation(0);
        stop_counting_blocks();
        if (db)
            EXPECT_EQ(db_close(db), 0);
        else
            EXPECT_STREQ(db_err_msg, "out of memory") << "allocation " << which;
        EXPECT_EQ(live_blocks(), 0) << "allocation " << which;
        if (!failure_happened || HasFailure()) break;
    }
}

} // namespace
