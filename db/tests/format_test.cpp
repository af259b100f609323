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

// Each input names a table and its column through %w and fills two rows
// through '%q' and %Q; the table read back holds the input unchanged.
TEST(DbMprintf, HostileTextStaysOneLiteralOrOneName) {
    Database db = open_scratch_database();
    for (const char *input : hostile) {
        const char *create_sql = "CREATE TABLE \"t%w\"(\"c%w\"); INSERT INTO \"t%w\" VALUES ('%q'), (%Q)";
        Text create(format_through_va_list(create_sql, input, input, input, input, input));
        ASSERT_NE(create, nullptr);
        run(db.get(), create.get());

        Text select(db_mprintf("SELECT * FROM \"t%w\"", input));
        ASSERT_NE(select, nullptr);
        Table table;
        ASSERT_EQ(gather(db.get(), select.get(), &table), 0) << select.get() << ": " << db_err_msg;
        EXPECT_EQ(contents_of(*table), (Contents{{"c" + std::string(input)}, {input}, {input}}));
    }
}

} // namespace
