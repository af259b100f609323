// The library as the player loads it: by file with dlopen, every name bound
// at once, its table read field by field at the agreed offsets and its
// message from the exported buffer. The file is TOLMEK_DB_LIBRARY.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string.h>

#include "tolmek_db.h"

namespace {

template <typename T> T *symbol(void *library, const char *name) {
    return reinterpret_cast<T *>(dlsym(library, name));
}

// A field of the table at its offset in the interface, as a host that
// knows only the layout reads it.
template <typename T> T field_at(const db_res *table, size_t offset) {
    T value;
    memcpy(&value, reinterpret_cast<const char *>(table) + offset, sizeof value);
    return value;
}

TEST(DbLoad, RunsSqlAndFillsTheTableAtTheAgreedOffsets) {
    void *library = dlopen(TOLMEK_DB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *open = symbol<sqlite3 *(const char *)>(library, "db_open");
    auto *exec = symbol<int(sqlite3 *, const char *, db_res **)>(library, "db_exec");
    auto *free_res = symbol<void(db_res *)>(library, "db_free_res");
    auto *close = symbol<int(sqlite3 *)>(library, "db_close");
    const char *message = symbol<char>(library, "db_err_msg");
    ASSERT_TRUE(open && exec && free_res && close && message);
    EXPECT_STREQ(message, "") << "empty when loaded";

    sqlite3 *db = open(":memory:");
    db_res *table = nullptr;
    const char *sql = "SELECT 'a' AS first, NULL AS second, 1 UNION ALL SELECT 'b', 'c', 2";
    ASSERT_EQ(exec(db, sql, &table), 0) << message;
    // Four 32-bit fields on the device; pointers widen them elsewhere.
    constexpr size_t pointer = sizeof(void *);
    EXPECT_EQ(field_at<uint32_t>(table, 0), 2u) << "row_count";
    EXPECT_EQ(field_at<uint32_t>(table, 4), 3u) << "col_count";
    EXPECT_STREQ(field_at<char ***>(table, 8)[1][1], "c");
    EXPECT_STREQ(field_at<char **>(table, 8 + pointer)[1], "second");
    free_res(table);

    EXPECT_EQ(exec(db, "SELECT * FROM missing", &table), -1);
    EXPECT_STREQ(message, "no such table: missing");
    EXPECT_EQ(close(db), 0);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace
