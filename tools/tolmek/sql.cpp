// tolmek sql DBFILE SQL: runs SQL on a database file through libtolmek-db
// and prints the table it gathered: the column names, then each row, the
// fields separated by a tab and SQL NULL shown as NULL. Nothing is printed
// for SQL that yields no rows.
#include <stdio.h>

#include "commands.h"
#include "tolmek_db.h"

namespace {

void print_fields(char *const *fields, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) {
        if (i) fputc('\t', stdout);
        fputs(fields[i] ? fields[i] : "NULL", stdout);
    }
    fputc('\n', stdout);
}

void print_table(const db_res &table) {
    if (!table.col_names) return;
    print_fields(table.col_names, table.col_count);
    for (uint32_t r = 0; r < table.row_count; r++) print_fields(table.rows[r], table.col_count);
}

} // namespace

int command_sql(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: tolmek sql DBFILE SQL\n");
        return 2;
    }
    sqlite3 *db = db_open(argv[0]);
    if (!db) {
        fprintf(stderr, "%s\n", db_err_msg);
        return 1;
    }
    db_res *table = nullptr;
    int status = db_exec(db, argv[1], &table);
    if (status == 0)
        print_table(*table);
    else
        fprintf(stderr, "%s\n", db_err_msg);
    db_free_res(table);
    db_close(db);
    if (fflush(stdout) != 0) return 1; // the rows did not all get out
    return status == 0 ? 0 : 1;
}
