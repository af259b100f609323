// db_exec, db_open and the message buffer: the tables that SQLite's own
// table cannot show (see table_test.cpp), and what every failure leaves
// behind.
#include <gtest/gtest.h>

#include <string>

#include "reference_host.h"
#include "scratch_database.h"

namespace {

const Value null = std::nullopt;

// Runs sql that must fail and returns the message; *res must be null.
std::string failure_of(sqlite3 *db, const char *sql) {
    db_res *res = stale_table;
    EXPECT_EQ(db_exec(db, sql, &res), -1) << sql;
    EXPECT_EQ(res, nullptr) << sql;
    return db_err_msg;
}

class DbExec : public testing::Test {
  protected:
    Database db = open_scratch_database("CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT);"
                                        "INSERT INTO songs(title) VALUES ('첫 번째'), ('')");
};

TEST_F(DbExec, StatementsWithoutRowsGiveAnEmptyTable) {
    for (const char *sql : {"SELECT * FROM songs WHERE id > 100", "INSERT INTO songs(title) VALUES ('x')",
                            "CREATE TABLE empty(a)", "", "-- only a comment"}) {
        Table table;
        ASSERT_EQ(gather(db.get(), sql, &table), 0) << sql << ": " << db_err_msg;
        ASSERT_NE(table, nullptr) << sql;
        EXPECT_EQ(table->row_count, 0u) << sql;
        EXPECT_EQ(table->col_count, 0u) << sql;
        EXPECT_EQ(table->col_names, nullptr) << sql;
    }
}

// With a table and without: the statements run, a failure leaves its
// message and the next success empties it, and every call makes the host's
// row list empty first.
TEST_F(DbExec, AFailureLeavesItsMessageUntilTheNextSuccess) {
    for (bool with_table : {true, false}) {
        SCOPED_TRACE(with_table ? "with a table" : "without a table");
        Table table;
        auto exec = [&](const char *sql) {
            unsigned inits = reference_list_inits();
            int status =
                with_table ? gather(db.get(), sql, &table) : db_exec(db.get(), sql, nullptr);
            EXPECT_GT(reference_list_inits(), inits) << "no linked_init";
            return status;
        };
        EXPECT_EQ(exec("INSERT INTO missing VALUES (1)"), -1);
        EXPECT_STREQ(db_err_msg, "no such table: missing");
        EXPECT_EQ(exec("INSERT INTO songs(title) VALUES ('셋')"), 0);
        EXPECT_STREQ(db_err_msg, "");
    }
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT count(*) FROM songs", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"count(*)"}, {"4"}}));

    ASSERT_NE(failure_of(db.get(), "SELECT * FROM missing"), "");
    Database opened(db_open(":memory:"));
    EXPECT_STREQ(db_err_msg, "") << "an open empties it too";
}

// Each row keeps the first row's column count, so nothing is written past
// a row array (the sanitizer build would catch it).
TEST_F(DbExec, LaterRowsAreFittedToTheFirstRowsColumns) {
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT 1, 2, 3; SELECT 4; SELECT 5, 6, 7, 8, 9", &table), 0);
    EXPECT_EQ(contents_of(*table),
              (Contents{{"1", "2", "3"}, {"1", "2", "3"}, {"4", null, null}, {"5", "6", "7"}}));
}

// SQLite's empty-result callbacks deliver names without values.
TEST_F(DbExec, ACallbackWithoutValuesIsARowOfNulls) {
    run(db.get(), "PRAGMA empty_result_callbacks = ON");
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT id, title FROM songs WHERE id > 100", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"id", "title"}, {null, null}}));

    // A statement without columns still counts as a row, of no values.
    ASSERT_EQ(gather(db.get(), "UPDATE songs SET title = 'y' WHERE id > 100", &table), 0);
    EXPECT_EQ(table->col_count, 0u);
    EXPECT_NE(table->col_names, nullptr) << "names come with the first row";
    EXPECT_EQ(table->row_count, 1u);
}

TEST_F(DbExec, AFailingStatementReleasesTheRowsBeforeIt) {
    EXPECT_EQ(failure_of(db.get(), "SELECT * FROM songs; SELECT * FROM missing"),
              "no such table: missing");
    // Rows of the failing statement itself came first.
    EXPECT_EQ(failure_of(db.get(),
                         "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10) "
                         "SELECT CASE WHEN x < 5 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n"),
              "integer overflow");
}

TEST_F(DbExec, MissingHandleTextOrFileNameFailsWithAMessage) {
    EXPECT_EQ(failure_of(nullptr, "SELECT 1"), "no database handle");
    EXPECT_EQ(failure_of(db.get(), nullptr), "no SQL text");
    EXPECT_EQ(db_exec(db.get(), nullptr, nullptr), -1);
    EXPECT_EQ(db_open(nullptr), nullptr);
    EXPECT_STREQ(db_err_msg, "no database file name");
}

TEST_F(DbExec, LongMessagesAreCutTo255Bytes) {
    std::string name(400, 'x');
    std::string sql = "SELECT * FROM " + name;
    EXPECT_EQ(failure_of(db.get(), sql.c_str()), ("no such table: " + name).substr(0, 255));
}

} // namespace
