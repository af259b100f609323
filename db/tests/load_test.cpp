// The library as the player loads it: by file with dlopen, its interface
// found by name, its table read field by field at the agreed offsets.
// Usage: db_load_test LIBRARY
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <string.h>

#include "tolmek_db.h"

namespace {

const char *library_path;

template <typename T> T *symbol(void *library, const char *name) {
    return reinterpret_cast<T *>(dlsym(library, name));
}

// Reads a field of the table at its offset in the interface, as a host
// that knows only the layout does.
template <typename T> T field_at(const db_res *table, size_t offset) {
    T value;
    memcpy(&value, reinterpret_cast<const char *>(table) + offset, sizeof value);
    return value;
}

TEST(DbLoad, RunsSqlAndFillsTheTableAtTheAgreedOffsets) {
    void *library = dlopen(library_path, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *open = symbol<sqlite3 *(const char *)>(library, "db_open");
    auto *exec = symbol<int(sqlite3 *, const char *, db_res **)>(library, "db_exec");
    auto *free_res = symbol<void(db_res *)>(library, "db_free_res");
    auto *close = symbol<int(sqlite3 *)>(library, "db_close");
    char *message = symbol<char>(library, "db_err_msg");
    ASSERT_TRUE(open && exec && free_res && close && message);

    // The host reads the message buffer as 256 bytes, empty when loaded.
    Dl_info info;
    void *entry = nullptr;
    ASSERT_NE(dladdr1(message, &info, &entry, RTLD_DL_SYMENT), 0);
    EXPECT_EQ(static_cast<const ElfW(Sym) *>(entry)->st_size, 256u);
    EXPECT_STREQ(message, "");

    sqlite3 *db = open(":memory:");
    ASSERT_NE(db, nullptr) << message;
    db_res *table = nullptr;
    ASSERT_EQ(exec(db, "SELECT 'a' AS first, NULL AS second UNION ALL SELECT 'b', 'c'", &table), 0)
        << message;
    ASSERT_NE(table, nullptr);

    // Four 32-bit fields on the device; pointers widen them elsewhere.
    constexpr size_t pointer = sizeof(void *);
    EXPECT_EQ(field_at<uint32_t>(table, 0), 2u) << "row_count";
    EXPECT_EQ(field_at<uint32_t>(table, 4), 2u) << "col_count";
    auto rows = field_at<char ***>(table, 8);
    auto names = field_at<char **>(table, 8 + pointer);
    EXPECT_STREQ(names[0], "first");
    EXPECT_STREQ(names[1], "second");
    EXPECT_STREQ(rows[0][0], "a");
    EXPECT_EQ(rows[0][1], nullptr);
    EXPECT_STREQ(rows[1][1], "c");
    free_res(table);

    EXPECT_EQ(exec(db, "SELECT * FROM missing", &table), -1);
    EXPECT_STREQ(message, "no such table: missing") << "the host reads the exported buffer";
    EXPECT_EQ(close(db), 0);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    library_path = argv[1];
    return RUN_ALL_TESTS();
}
