// db_open, db_exec and the message buffer: what a table holds for each kind
// of SQL, and what every failure leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "scratch_database.h"

namespace {

const Value null = std::nullopt;

class DbExec : public testing::Test {
  protected:
    void SetUp() override {
        db = open_scratch_database();
        ASSERT_NE(db, nullptr);
        run(db.get(), "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT, rating REAL);"
                      "INSERT INTO songs(title, rating) VALUES ('첫 번째', 4.5), ('', NULL)");
    }

    // Runs sql that must fail and returns the message; *res must be null.
    std::string failure_of(const std::string &sql) {
        db_res *res = stale_table;
        EXPECT_EQ(db_exec(db.get(), sql.c_str(), &res), -1) << sql;
        EXPECT_EQ(res, nullptr) << sql;
        return db_err_msg;
    }

    Database db;
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

TEST_F(DbExec, WithoutATableTheSqlStillRuns) {
    EXPECT_EQ(db_exec(db.get(), "INSERT INTO songs(title) VALUES ('셋')", nullptr), 0);
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT count(*) FROM songs", &table), 0);
    EXPECT_EQ(contents_of(*table).rows, std::vector<Row>{{"3"}});

    EXPECT_EQ(db_exec(db.get(), "INSERT INTO nowhere VALUES (1)", nullptr), -1);
    EXPECT_STREQ(db_err_msg, "no such table: nowhere");
    EXPECT_EQ(db_exec(db.get(), "SELECT 1", nullptr), 0);
    EXPECT_STREQ(db_err_msg, "");
}

TEST_F(DbExec, NullIsANullPointerAndEmptyTextAnEmptyString) {
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT id, title, rating FROM songs ORDER BY id", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"id", "title", "rating"},
                                             {{"1", "첫 번째", "4.5"}, {"2", "", null}}}));
    ASSERT_NE(table->rows[1][1], nullptr);
    EXPECT_EQ(table->rows[1][2], nullptr);
}

TEST_F(DbExec, AZeroByteEndsAValue) {
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT x'41420043', 'a' || char(0) || 'b', x''", &table), 0);
    EXPECT_EQ(contents_of(*table).rows, (std::vector<Row>{{"AB", "a", ""}}));
}

TEST_F(DbExec, SeveralStatementsGatherIntoOneTableInOrder) {
    Table table;
    ASSERT_EQ(gather(db.get(),
                     "SELECT title AS name, id FROM songs ORDER BY id;"
                     "INSERT INTO songs(title) VALUES ('새 노래');"
                     "SELECT 'last', count(*) FROM songs",
                     &table),
              0);
    EXPECT_EQ(contents_of(*table),
              (Contents{{"name", "id"}, {{"첫 번째", "1"}, {"", "2"}, {"last", "3"}}}));
}

// Each row keeps the first row's column count, so nothing is written past
// a row array (the sanitizer build would catch it).
TEST_F(DbExec, LaterRowsAreFittedToTheFirstRowsColumns) {
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT 1, 2, 3; SELECT 4; SELECT 5, 6, 7, 8, 9", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"1", "2", "3"},
                                             {{"1", "2", "3"}, {"4", null, null}, {"5", "6", "7"}}}));

    ASSERT_EQ(gather(db.get(), "SELECT 'one' AS only; SELECT 'a', 'b'", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"only"}, {{"one"}, {"a"}}}));
}

// SQLite's empty-result callbacks deliver names without values.
TEST_F(DbExec, ACallbackWithoutValuesIsARowOfNulls) {
    run(db.get(), "PRAGMA empty_result_callbacks = ON");
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT id, title FROM songs WHERE id > 100", &table), 0);
    EXPECT_EQ(contents_of(*table), (Contents{{"id", "title"}, {{null, null}}}));

    // A statement without columns still counts as a row, of no values.
    ASSERT_EQ(gather(db.get(), "UPDATE songs SET rating = 1 WHERE id > 100", &table), 0);
    EXPECT_EQ(table->col_count, 0u);
    EXPECT_NE(table->col_names, nullptr) << "names come with the first row";
    EXPECT_EQ(table->row_count, 1u);
}

TEST_F(DbExec, AFailingStatementReleasesTheRowsBeforeIt) {
    EXPECT_EQ(failure_of("SELECT * FROM songs; SELECT * FROM missing"), "no such table: missing");
    EXPECT_EQ(failure_of("SELECT title FROM songs; SELEC 1"), "near \"SELEC\": syntax error");
    // Rows of the failing statement itself came first.
    EXPECT_EQ(failure_of("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10) "
                         "SELECT CASE WHEN x < 5 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n"),
              "integer overflow");
    // Statements before the failure took effect; the result says failure.
    EXPECT_EQ(failure_of("INSERT INTO songs(title) VALUES ('kept'); INSERT INTO missing VALUES (1)"),
              "no such table: missing");
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT count(*) FROM songs WHERE title = 'kept'", &table), 0);
    EXPECT_EQ(contents_of(*table).rows, std::vector<Row>{{"1"}});
}

TEST_F(DbExec, MissingHandleOrTextFailsWithAMessage) {
    db_res *res = stale_table;
    EXPECT_EQ(db_exec(nullptr, "SELECT 1", &res), -1);
    EXPECT_EQ(res, nullptr);
    EXPECT_STREQ(db_err_msg, "no database handle");

    res = stale_table;
    EXPECT_EQ(db_exec(db.get(), nullptr, &res), -1);
    EXPECT_EQ(res, nullptr);
    EXPECT_STREQ(db_err_msg, "no SQL text");

    EXPECT_EQ(db_exec(nullptr, nullptr, nullptr), -1);
    EXPECT_STRNE(db_err_msg, "");
}

TEST_F(DbExec, ASuccessReplacesTheTablePointerAndEmptiesTheMessage) {
    failure_of("SELECT * FROM missing");
    ASSERT_STRNE(db_err_msg, "");
    db_res *res = stale_table;
    ASSERT_EQ(db_exec(db.get(), "SELECT 1", &res), 0);
    EXPECT_NE(res, stale_table);
    EXPECT_STREQ(db_err_msg, "");
    db_free_res(res);
    db_free_res(nullptr);
}

TEST_F(DbExec, LongMessagesAreCutTo255Bytes) {
    std::string name(400, 'x');
    std::string message = failure_of("SELECT * FROM " + name);
    std::string expected = ("no such table: " + name).substr(0, 255);
    EXPECT_EQ(message, expected);
    EXPECT_EQ(db_err_msg[255], '\0');
}

TEST(DbOpen, FailsWithAMessageAndLeavesNothingOpen) {
    EXPECT_EQ(db_open("/nonexistent-directory/music.db"), nullptr);
    EXPECT_STREQ(db_err_msg, "unable to open database file");

    EXPECT_EQ(db_open(nullptr), nullptr);
    EXPECT_STREQ(db_err_msg, "no database file name");

    Database db(db_open(":memory:"));
    ASSERT_NE(db, nullptr);
    EXPECT_STREQ(db_err_msg, "") << "a success empties the buffer";
}

} // namespace
