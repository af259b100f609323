// Exhausted memory. Whichever allocation fails during db_exec or db_open,
// the library's own, the host list's or SQLite's, the call either succeeds
// with the whole result (SQLite absorbs some failures) or fails with
// "out of memory" and a null table, and no block is left behind.
#include <gtest/gtest.h>

#include "failing_malloc.h"
#include "process_resources.h"
#include "scratch_database.h"

namespace {

TEST(DbMemory, AnyAllocationOfAQueryMayFail) {
    Database db = open_scratch_database(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, note TEXT);"
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 12) "
        "INSERT INTO t SELECT x, '이름 ' || x, CASE WHEN x % 3 THEN 'note' END FROM n");
    const char *sql = "SELECT * FROM t; SELECT 'x', NULL";
    long failures = 0;
    for (long which = 1;; which++) {
        // A run without failure gives the expected table and refills what
        // the last failure emptied of SQLite's caches.
        Table expected;
        ASSERT_EQ(gather(db.get(), sql, &expected), 0) << db_err_msg;
        db_res *res = stale_table;
        size_t heap = heap_in_use();
        start_counting(which);
        int status = db_exec(db.get(), sql, &res);
        bool failure_happened = stop_counting();
        if (status == 0) {
            ASSERT_NE(res, nullptr) << "allocation " << which;
            EXPECT_EQ(contents_of(*res), contents_of(*expected)) << "allocation " << which;
            db_free_res(res);
        } else {
            failures++;
            EXPECT_EQ(status, -1) << "allocation " << which;
            EXPECT_EQ(res, nullptr) << "allocation " << which;
            EXPECT_STREQ(db_err_msg, "out of memory") << "allocation " << which;
        }
        EXPECT_EQ(heap_in_use(), heap) << "allocation " << which;
        if (!failure_happened || HasFailure()) break;
    }
    // Names, values, row arrays and list nodes: several per row of 13.
    EXPECT_GT(failures, 3 * 13) << "most failures fail the call";
}

TEST(DbMemory, AnyAllocationOfAnOpenMayFail) {
    db_close(db_open(":memory:")); // SQLite's process-wide set-up happens once
    for (long which = 1;; which++) {
        size_t heap = heap_in_use();
        start_counting(which);
        sqlite3 *db = db_open(":memory:");
        bool failure_happened = stop_counting();
        if (db)
            EXPECT_EQ(db_close(db), 0);
        else
            EXPECT_STREQ(db_err_msg, "out of memory") << "allocation " << which;
        EXPECT_EQ(heap_in_use(), heap) << "allocation " << which;
        if (!failure_happened || HasFailure()) break;
    }
}

} // namespace
