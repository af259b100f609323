// Exhausted memory. Whichever allocation of db_open or db_exec fails, the
// library's own, the host list's or SQLite's, the call either succeeds with
// the whole result (SQLite absorbs some failures) or fails with "out of
// memory" and a null table, and no block is left behind.
#include <gtest/gtest.h>

#include "failing_malloc.h"
#include "process_resources.h"
#include "scratch_database.h"

namespace {

TEST(DbMemory, AnyAllocationMayFail) {
    const char *sql = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 12) "
                      "SELECT x, '이름 ' || x, CASE WHEN x % 3 THEN 'note' END FROM n; SELECT 'x', NULL";
    Table expected;
    ASSERT_EQ(gather(Database(db_open(":memory:")).get(), sql, &expected), 0) << db_err_msg;
    long failures = 0;
    for (long which = 1;; which++) {
        size_t heap = heap_in_use();
        db_res *res = stale_table;
        start_counting(which);
        Database db(db_open(":memory:"));
        int status = db ? db_exec(db.get(), sql, &res) : -1;
        bool failure_happened = stop_counting();
        if (status == 0) {
            EXPECT_EQ(contents_of(*res), contents_of(*expected)) << "allocation " << which;
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
    // Names, values, row arrays and list nodes: several per row of 13.
    EXPECT_GT(failures, 3 * 13) << "most failures fail the call";
}

} // namespace
