// tolmek sql [--json] DBFILE SQL: runs SQL on a database file through
// libtolmek-db and prints the table it gathered.
//
// By default: the column names, then each row, the fields separated by a
// tab, SQL NULL shown as NULL, and a tab, a line feed or a backslash inside
// a value written as \t, \n or \\, so that every row is one line and every
// field one column. Nothing is printed for SQL that yields no rows.
//
// With --json: an array of objects, one per row, each mapping the column
// names to the values as strings (SQLite hands every value over as text),
// or to null for SQL NULL; [] when no rows came.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "tolmek_db.h"

namespace {

// A value in the tab-separated output.
void print_escaped(const char *text) {
    for (const char *c = text; *c; c++) {
        if (*c == '\t')
            fputs("\\t", stdout);
        else if (*c == '\n')
            fputs("\\n", stdout);
        else if (*c == '\\')
            fputs("\\\\", stdout);
        else
            fputc(*c, stdout);
    }
}

void print_fields(char *const *fields, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) {
        if (i) fputc('\t', stdout);
        if (fields[i])
            print_escaped(fields[i]);
        else
            fputs("NULL", stdout);
    }
    fputc('\n', stdout);
}

void print_table(const db_res &table) {
    if (!table.col_names) return;
    print_fields(table.col_names, table.col_count);
    for (uint32_t r = 0; r < table.row_count; r++) print_fields(table.rows[r], table.col_count);
}

// A JSON string, or null. Bytes from 0x80 up pass as they are.
void print_json_string(const char *text) {
    if (!text) {
        fputs("null", stdout);
        return;
    }
    fputc('"', stdout);
    for (const char *c = text; *c; c++) {
        auto byte = (unsigned char)*c;
        if (byte == '"' || byte == '\\')
            printf("\\%c", byte);
        else if (byte < 0x20)
            printf("\\u%04x", byte);
        else
            fputc(byte, stdout);
    }
    fputc('"', stdout);
}

void print_json(const db_res &table) {
    fputc('[', stdout);
    for (uint32_t r = 0; r < table.row_count; r++) {
        fputs(r ? ",\n{" : "\n{", stdout);
        for (uint32_t c = 0; c < table.col_count; c++) {
            if (c) fputs(", ", stdout);
            print_json_string(table.col_names[c]);
            fputs(": ", stdout);
            print_json_string(table.rows[r][c]);
        }
        fputc('}', stdout);
    }
    fputs(table.row_count ? "\n]\n" : "]\n", stdout);
}

int run_sql(int argc, char **argv) {
    bool json = argc > 0 && strcmp(argv[0], "--json") == 0;
    if (json) argc--, argv++;
    if (argc != 2) return usage_error;
    const char *path = argv[0];
    sqlite3 *db = db_open(path);
    if (!db) {
        fprintf(stderr, "tolmek: %s: %s\n", path, db_err_msg);
        return 1;
    }
    db_res *table = nullptr;
    int status = db_exec(db, argv[1], &table);
    if (status != 0)
        fprintf(stderr, "tolmek: %s: %s\n", path, db_err_msg);
    else if (json)
        print_json(*table);
    else
        print_table(*table);
    db_free_res(table);
    db_close(db);
    if (fflush(stdout) != 0) return 1; // the rows did not all get out
    return status == 0 ? 0 : 1;
}

} // namespace

const Command sql_command = {
    "sql",
    "sql [--json] DBFILE SQL\n"
    "  prints the column names, then one tab-separated line per row;\n"
    "  --json: an array of objects, one per row\n",
    run_sql,
};
