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

class LoadedLibrary : public testing::Test {
  protected:
    void SetUp() override {
        library = dlopen(library_path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
    }
    void TearDown() override {
        if (library) dlclose(library);
    }

    template <typename T> T *find(const char *name) {
        void *address = dlsym(library, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<T *>(address);
    }

    // The symbol table entry of an exported name.
    const ElfW(Sym) * symbol_entry(const char *name) {
        void *address = dlsym(library, name);
        Dl_info info;
        void *entry = nullptr;
        if (!address || !dladdr1(address, &info, &entry, RTLD_DL_SYMENT)) return nullptr;
        return static_cast<const ElfW(Sym) *>(entry);
    }

    void *library = nullptr;
};

TEST_F(LoadedLibrary, ExportsTheFunctionsAndTheMessageBuffer) {
    for (const char *name : {"db_open", "db_close", "db_exec", "db_free_res", "db_mprintf",
                             "db_vmprintf", "db_free"}) {
        const ElfW(Sym) *entry = symbol_entry(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(ELF32_ST_TYPE(entry->st_info), STT_FUNC) << name;
    }
    const ElfW(Sym) *buffer = symbol_entry("db_err_msg");
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(ELF32_ST_TYPE(buffer->st_info), STT_OBJECT);
    EXPECT_EQ(buffer->st_size, 256u);
    EXPECT_STREQ(find<char>("db_err_msg"), "") << "empty when loaded";
}

// Reads a field of the table at its offset in the interface, as a host
// that knows only the layout does.
template <typename T> T field_at(const db_res *table, size_t offset) {
    T value;
    memcpy(&value, reinterpret_cast<const char *>(table) + offset, sizeof value);
    return value;
}

TEST_F(LoadedLibrary, RunsSqlAndFillsTheTableAtTheAgreedOffsets) {
    auto *open = find<sqlite3 *(const char *)>("db_open");
    auto *exec = find<int(sqlite3 *, const char *, db_res **)>("db_exec");
    auto *free_res = find<void(db_res *)>("db_free_res");
    auto *close = find<int(sqlite3 *)>("db_close");
    char *message = find<char>("db_err_msg");
    ASSERT_TRUE(open && exec && free_res && close && message);

    sqlite3 *db = open(":memory:");
    ASSERT_NE(db, nullptr) << message;
    db_res *table = nullptr;
    ASSERT_EQ(exec(db, "SELECT 'a' AS first, NULL AS second UNION ALL SELECT 'b', 'c'", &table), 0)
        << message;
    ASSERT_NE(table, nullptr);

    // Four 32-bit fields on the device; pointers widen them elsewhere.
    constexpr size_t pointer = sizeof(void *);
    EXPECT_EQ(sizeof(db_res), 8 + 2 * pointer);
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
