// db_mprintf and db_vmprintf: SQL text built from hostile input stays one
// literal or one identifier.
#include <gtest/gtest.h>

#include <string>

#include "scratch_database.h"

namespace {

Text format_through_va_list(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    Text text(db_vmprintf(format, ap));
    va_end(ap);
    return text;
}

const char *const hostile[] = {
    "O'Reilly",
    "'); DROP TABLE notes; --",
    "' OR '1'='1",
    "\"; DROP TABLE notes; --",
    "''''",
    "\\' back\\slash",
    "줄\n바꿈\t탭 % %q %s",
    "",
};

TEST(DbMprintf, QuotesEachConversionAsSqliteDoes) {
    Text text(db_mprintf("'%q' %Q %Q \"%w\" %d", "it's", "a'b", nullptr, "x\"y", 42));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text.get(), "'it''s' 'a''b' NULL \"x\"\"y\" 42");

    Text through_list = format_through_va_list("'%q' %Q %Q \"%w\" %d", "it's", "a'b", nullptr, "x\"y", 42);
    ASSERT_NE(through_list, nullptr);
    EXPECT_STREQ(through_list.get(), text.get());
    db_free(nullptr);
}

TEST(DbMprintf, HostileLiteralsComeBackUnchanged) {
    Database db = open_scratch_database();
    ASSERT_NE(db, nullptr);
    run(db.get(), "CREATE TABLE notes(id INTEGER PRIMARY KEY, quoted, wrapped)");
    for (const char *input : hostile) {
        Text insert(db_mprintf("INSERT INTO notes(quoted, wrapped) VALUES ('%q', %Q)", input, input));
        ASSERT_NE(insert, nullptr);
        run(db.get(), insert.get());
    }
    Table table;
    ASSERT_EQ(gather(db.get(), "SELECT quoted, wrapped FROM notes ORDER BY id", &table), 0) << db_err_msg;
    Contents contents = contents_of(*table);
    ASSERT_EQ(contents.size(), 1 + std::size(hostile)) << "one row per input, none lost or added";
    for (size_t i = 0; i < std::size(hostile); i++)
        EXPECT_EQ(contents[1 + i], (Row{hostile[i], hostile[i]}));
}

TEST(DbMprintf, HostileIdentifiersNameOneTable) {
    Database db = open_scratch_database();
    ASSERT_NE(db, nullptr);
    run(db.get(), "CREATE TABLE notes(a)");
    for (const char *name : hostile) {
        if (!*name) continue; // an empty identifier is no table name
        Text create(db_mprintf("CREATE TABLE \"%w\"(\"%w\"); INSERT INTO \"%w\" VALUES (%Q)",
                               name, name, name, name));
        ASSERT_NE(create, nullptr);
        run(db.get(), create.get());

        Text select(db_mprintf("SELECT * FROM \"%w\"", name));
        Table table;
        ASSERT_EQ(gather(db.get(), select.get(), &table), 0) << db_err_msg;
        EXPECT_EQ(contents_of(*table), (Contents{{name}, {name}}));
    }
    Table count;
    ASSERT_EQ(gather(db.get(), "SELECT count(*) FROM sqlite_schema WHERE name = 'notes'", &count), 0);
    EXPECT_EQ(contents_of(*count), (Contents{{"count(*)"}, {"1"}})) << "no injected DROP ran";
}

} // namespace
