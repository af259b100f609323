#include "scratch_database.h"

#include <gtest/gtest.h>

Database open_scratch_database() {
    Database db(db_open(":memory:"));
    EXPECT_NE(db, nullptr) << db_err_msg;
    return db;
}

void run(sqlite3 *db, const std::string &sql) {
    ASSERT_EQ(db_exec(db, sql.c_str(), nullptr), 0) << sql << ": " << db_err_msg;
}

int gather(sqlite3 *db, const std::string &sql, Table *table) {
    db_res *res = nullptr;
    int status = db_exec(db, sql.c_str(), &res);
    table->reset(res);
    return status;
}

namespace {

Value value_of(const char *text) { return text ? Value(text) : std::nullopt; }

void print_value(const Value &value, std::ostream *out) {
    *out << (value ? "\"" + *value + "\"" : std::string("NULL"));
}

void print_row(const std::vector<Value> &row, std::ostream *out) {
    *out << "(";
    for (size_t i = 0; i < row.size(); i++) {
        if (i) *out << ", ";
        print_value(row[i], out);
    }
    *out << ")";
}

} // namespace

Contents contents_of(const db_res &table) {
    Contents contents;
    for (uint32_t c = 0; table.col_names && c < table.col_count; c++)
        contents.names.push_back(value_of(table.col_names[c]));
    for (uint32_t r = 0; r < table.row_count; r++) {
        Row row;
        for (uint32_t c = 0; c < table.col_count; c++) row.push_back(value_of(table.rows[r][c]));
        contents.rows.push_back(std::move(row));
    }
    return contents;
}

void PrintTo(const Contents &contents, std::ostream *out) {
    print_row(contents.names, out);
    *out << " with " << contents.rows.size() << " rows";
    constexpr size_t shown = 20; // a 100,000-row table is not printed whole
    for (size_t r = 0; r < contents.rows.size() && r < shown; r++) {
        *out << "\n  ";
        print_row(contents.rows[r], out);
    }
    if (contents.rows.size() > shown) *out << "\n  ...";
}
