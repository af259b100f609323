// db_exec gathering 100,000 rows against sqlite3_get_table on the same
// query, each with the release of its table.
// Run: db_exec_benchmark --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdio.h>

#include "tolmek_db.h"

namespace {

constexpr const char *query = "SELECT n, n * 2, 'row ' || n, NULLIF(n % 7, 0) FROM numbers";

sqlite3 *numbers_database() {
    static sqlite3 *db = [] {
        sqlite3 *opened = db_open(":memory:");
        if (!opened || db_exec(opened,
                               "CREATE TABLE numbers(n INTEGER PRIMARY KEY);"
                               "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                               "WHERE n < 100000) INSERT INTO numbers SELECT n FROM c",
                               nullptr) != 0)
            fprintf(stderr, "set-up failed: %s\n", db_err_msg);
        return opened;
    }();
    return db;
}

void db_exec_100000_rows(benchmark::State &state) {
    sqlite3 *db = numbers_database();
    for (auto _ : state) {
        db_res *table = nullptr;
        if (db_exec(db, query, &table) != 0 || table->row_count != 100000)
            state.SkipWithError(db_err_msg);
        db_free_res(table);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(db_exec_100000_rows)->Unit(benchmark::kMillisecond);

void sqlite3_get_table_100000_rows(benchmark::State &state) {
    sqlite3 *db = numbers_database();
    for (auto _ : state) {
        char **cells = nullptr;
        int rows = 0, columns = 0;
        if (sqlite3_get_table(db, query, &cells, &rows, &columns, nullptr) != SQLITE_OK ||
            rows != 100000)
            state.SkipWithError("sqlite3_get_table failed");
        sqlite3_free_table(cells);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(sqlite3_get_table_100000_rows)->Unit(benchmark::kMillisecond);

// The query alone, every row handed to a callback that keeps nothing: what
// both tables above cost beyond it is the gathering.
void sqlite3_exec_alone_100000_rows(benchmark::State &state) {
    sqlite3 *db = numbers_database();
    auto ignore_row = [](void *, int, char **, char **) { return 0; };
    for (auto _ : state)
        if (sqlite3_exec(db, query, ignore_row, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError("sqlite3_exec failed");
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(sqlite3_exec_alone_100000_rows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
