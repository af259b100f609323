// db_exec, db_open and the message buffer: the tables that SQLite's own
// table cannot show (see table_test.cpp), what every failure leaves behind,
// SQL text built from hostile input, and ten thousand queries in a row.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "process_resources.h"
#include "reference_host.h"
#include "scratch_database.h"

namespace {

const Value null = std::nullopt;

class DbExec : public testing::Test {
  protected:
    Database db = open_scratch_database("CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT);"
                                        "INSERT INTO songs(title) VALUES ('첫 번째'), ('')");
};

// Later rows are fitted to the first row's columns, so nothing is written
// past a row array. SQLite's empty-result callbacks deliver names without
// values: a row of nulls, and of no values for a statement without columns.
TEST_F(DbExec, RowsTakeTheFirstRowsColumns) {
    struct {
        bool empty_result_callbacks;
        const char *sql;
        Contents contents;
    } cases[] = {
        {false, "SELECT 1, 2, 3; SELECT 4; SELECT 5, 6, 7, 8, 9",
         {{"1", "2", "3"}, {"1", "2", "3"}, {"4", null, null}, {"5", "6", "7"}}},
        {true, "SELECT id, title FROM songs WHERE id > 100", {{"id", "title"}, {null, null}}},
        {true, "UPDATE songs SET title = 'y' WHERE id > 100", {{}, {}}},
    };
    for (const auto &c : cases) {
        run(db.get(), std::string("PRAGMA empty_result_callbacks = ") +
                          (c.empty_result_callbacks ? "ON" : "OFF"));
        Table table;
        ASSERT_EQ(gather(db.get(), c.sql, &table), 0) << c.sql << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), c.contents) << c.sql;
        EXPECT_NE(table->col_names, nullptr) << c.sql << ": names come with the first row";
    }
}

// Each failure gives -1, its message cut to 255 bytes and, when asked
// for, a null table; the rows gathered before it, even of the failing
// statement, are released. The message stays until the next success, with
// a table or without, and every call makes the host's row list empty first.
TEST_F(DbExec, AFailureLeavesItsMessageUntilTheNextSuccess) {
    std::string name(400, 'x');
    struct {
        sqlite3 *db;
        std::string sql, message;
    } cases[] = {
        {nullptr, "SELECT 1", "no database handle"},
        {db.get(), "SELECT * FROM songs; SELECT * FROM missing", "no such table: missing"},
        {db.get(),
         "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 10) "
         "SELECT CASE WHEN x < 5 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n",
         "integer overflow"},
        {db.get(), "SELECT * FROM " + name, ("no such table: " + name).substr(0, 255)},
    };
    for (bool with_table : {true, false}) {
        for (const auto &c : cases) {
            db_res *res = stale_table;
            unsigned inits = reference_list_inits();
            EXPECT_EQ(db_exec(c.db, c.sql.c_str(), with_table ? &res : nullptr), -1) << c.sql;
            EXPECT_EQ(res, with_table ? nullptr : stale_table) << c.sql;
            EXPECT_EQ(db_err_msg, c.message);
            EXPECT_GT(reference_list_inits(), inits) << "no linked_init";
            Table table;
            int status = with_table ? gather(db.get(), "SELECT 1", &table)
                                    : db_exec(db.get(), "SELECT 1", nullptr);
            EXPECT_EQ(status, 0);
            EXPECT_STREQ(db_err_msg, "") << with_table;
        }
    }
    EXPECT_EQ(db_exec(db.get(), nullptr, nullptr), -1);
    EXPECT_STREQ(db_err_msg, "no SQL text");
    Database opened(db_open(nullptr));
    EXPECT_STREQ(db_err_msg, "no database file name");
    opened.reset(db_open(":memory:"));
    EXPECT_STREQ(db_err_msg, "") << "an open empties it too";
}

Text format_through_va_list(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    Text text(db_vmprintf(format, ap));
    va_end(ap);
    return text;
}

// Each input names a table and its column through %w and fills two rows
// through '%q' and %Q; the table read back holds the input unchanged.
TEST(DbMprintf, HostileTextStaysOneLiteralOrOneName) {
    Database db = open_scratch_database();
    for (const char *input : {"O'Reilly", "'); DROP TABLE notes; --", "' OR '1'='1",
                              "\"; DROP TABLE notes; --", "''''", "\\' back\\slash",
                              "줄\n바꿈\t탭 % %q %s", ""}) {
        Text create(format_through_va_list(
            "CREATE TABLE \"t%w\"(\"c%w\"); INSERT INTO \"t%w\" VALUES ('%q'), (%Q)", input, input,
            input, input, input));
        ASSERT_NE(create, nullptr);
        run(db.get(), create.get());
        Text select(db_mprintf("SELECT * FROM \"t%w\"", input));
        Table table;
        ASSERT_EQ(gather(db.get(), select.get(), &table), 0) << select.get() << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), (Contents{{"c" + std::string(input)}, {input}, {input}}));
    }
}

// A hundred connections to a database file (and as many that fail to
// open), a hundred queries each, formatted and freed: a row inserted and the
// latest rows gathered and released; every tenth fails after its rows. Heap
// and descriptors end where they started.
TEST(DbSoak, TenThousandQueriesLeaveNothingBehind) {
    std::string path = testing::TempDir() + "db_soak.db";
    remove(path.c_str());
    auto connect = [&] {
        Database db(db_open(path.c_str()));
        run(db.get(), "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY");
        return db;
    };
    run(connect().get(), "CREATE TABLE notes(round, text)"); // and SQLite's one-time set-up
    const char *query = "INSERT INTO notes VALUES (%d, %Q);"
                        "SELECT * FROM notes ORDER BY rowid DESC LIMIT 9; %s";
    int descriptors = open_descriptors();
    size_t heap = heap_in_use();
    int failures = 0;
    for (int connection = 0; connection < 100; connection++) {
        failures += db_open((path + ".missing/db").c_str()) != nullptr;
        Database db = connect();
        for (int round = 0; round < 100; round++) {
            bool fails = round % 10 == 0;
            Text sql(db_mprintf(query, round, "노트 'n'", fails ? "SELECT * FROM missing" : ""));
            Table table;
            failures += gather(db.get(), sql.get(), &table) != (fails ? -1 : 0);
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(heap_in_use(), heap);
    remove(path.c_str());
}

} // namespace
