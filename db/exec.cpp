// Running SQL into a result table, and releasing the table.
//
// sqlite3_exec delivers the rows one at a time through its callback, before
// their number is known, so the collector keeps each copied row in the
// host's list and db_exec moves them into the table's rows array once the
// SQL has run. The list's nodes are malloc blocks of the host that the
// list's owner releases with free, walking the next links
// (host_services.h); the list is db_exec's, so db_exec frees them after the
// rows are moved out, and on every failure.
#include <sqlite3.h>
#include <stdlib.h>
#include <string.h>

#include "error_buffer.h"
#include "host_services.h"
#include "tolmek_db.h"

namespace {

constexpr const char out_of_memory[] = "out of memory";

// What the collector fills while sqlite3_exec runs.
struct Collection {
    db_res *table;     // names and col_count set by the first row
    linked_list &rows; // one item per row array, in delivery order
    bool ran_out;      // the collector stopped the query: no memory
};

// count null pointers in a block of their own; one entry for count 0, so
// that even a table of zero columns has names (its first row came).
char **new_pointer_array(uint32_t count) {
    uint32_t entries = count ? count : 1;
    auto **array = static_cast<char **>(malloc(entries * sizeof(char *)));
    if (array)
        for (uint32_t i = 0; i < entries; i++) array[i] = nullptr;
    return array;
}

// Stores a copy of text in a block of its own in *copy, or null for null.
// False when memory is exhausted.
bool copy_text(const char *text, char **copy) {
    *copy = nullptr;
    if (!text) return true;
    size_t size = strlen(text) + 1; // a zero byte inside a BLOB ends it
    *copy = static_cast<char *>(malloc(size));
    if (!*copy) return false;
    memcpy(*copy, text, size);
    return true;
}

// Frees an array of count strings (null entries allowed) and the array.
void free_strings(char **strings, uint32_t count) {
    if (!strings) return;
    for (uint32_t i = 0; i < count; i++) free(strings[i]);
    free(strings);
}

// The first row fixes the table's columns.
bool take_column_names(db_res *table, uint32_t count, char **names) {
    table->col_count = count;
    table->col_names = new_pointer_array(count);
    if (!table->col_names) return false;
    for (uint32_t i = 0; i < count; i++)
        if (!copy_text(names ? names[i] : nullptr, &table->col_names[i])) return false;
    return true;
}

// A row array of exactly col_count values, whatever SQLite delivered: the
// first count values are copied, missing ones stay null, extra ones are
// dropped; no values array at all is a row of nulls. Null when memory is
// exhausted.
char **copy_row(uint32_t col_count, uint32_t count, char **values) {
    char **row = new_pointer_array(col_count);
    if (!row) return nullptr;
    uint32_t copied = values ? (count < col_count ? count : col_count) : 0;
    for (uint32_t i = 0; i < copied; i++) {
        if (!copy_text(values[i], &row[i])) {
            free_strings(row, col_count);
            return nullptr;
        }
    }
    return row;
}

// Stops sqlite3_exec; db_exec then reports the exhausted memory.
int stop_out_of_memory(Collection *collection) {
    collection->ran_out = true;
    return 1;
}

// The callback of sqlite3_exec, once per result row. Returns 0 to go on;
// non-zero only when memory is exhausted, since a table with rows missing
// must not pass for the result.
int collect_row(void *context, int count, char **values, char **names) {
    auto *collection = static_cast<Collection *>(context);
    db_res *table = collection->table;
    if (!table->col_names && !take_column_names(table, count, names))
        return stop_out_of_memory(collection);
    char **row = copy_row(table->col_count, count, values);
    if (!row) return stop_out_of_memory(collection);
    uint32_t before = collection->rows.count;
    linked_add(&collection->rows, row);
    if (collection->rows.count == before) { // the host had no memory for a node
        free_strings(row, table->col_count);
        return stop_out_of_memory(collection);
    }
    return 0;
}

// Frees the list's nodes, not their items, and leaves the list empty.
void free_list_nodes(linked_list *list) {
    for (linked_node *node = list->first; node;) {
        linked_node *next = node->next;
        free(node);
        node = next;
    }
    linked_init(list);
}

// Frees everything gathered: the rows still in the list, the nodes, the
// names and the table record.
void release_collection(Collection *collection) {
    db_res *table = collection->table;
    for (linked_node *node = collection->rows.first; node; node = node->next)
        free_strings(static_cast<char **>(node->item), table->col_count);
    free_list_nodes(&collection->rows);
    free_strings(table->col_names, table->col_count);
    free(table);
}

// Moves the rows from the list into the table's rows array, in walk order.
// False when memory is exhausted; the rows then stay in the list.
bool move_rows_into_table(Collection *collection) {
    db_res *table = collection->table;
    uint32_t count = collection->rows.count;
    if (count) {
        table->rows = static_cast<char ***>(malloc(count * sizeof(char **)));
        if (!table->rows) return false;
    }
    uint32_t moved = 0;
    for (linked_node *node = collection->rows.first; node && moved < count; node = node->next)
        table->rows[moved++] = static_cast<char **>(node->item);
    table->row_count = moved;
    free_list_nodes(&collection->rows);
    return true;
}

db_res *new_table() {
    auto *table = static_cast<db_res *>(malloc(sizeof(db_res)));
    if (table) *table = db_res{0, 0, nullptr, nullptr};
    return table;
}

int fail(const char *message) {
    error_buffer_set(message);
    return -1;
}

// The failure of sqlite3_exec: its message, or the connection's when it
// gave none. message is released here.
int fail_with_sqlite_message(sqlite3 *db, char *message) {
    error_buffer_set(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return -1;
}

int run_without_table(sqlite3 *db, const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        return fail_with_sqlite_message(db, message);
    error_buffer_clear();
    return 0;
}

int run_into_table(sqlite3 *db, const char *sql, linked_list &rows, db_res **res) {
    Collection collection{new_table(), rows, false};
    if (!collection.table) return fail(out_of_memory);
    char *message = nullptr;
    int status = sqlite3_exec(db, sql, collect_row, &collection, &message);
    bool gathered = status == SQLITE_OK && move_rows_into_table(&collection);
    if (!gathered) {
        release_collection(&collection);
        // Our own allocations failed: in the collector, which SQLite reports
        // as "query aborted", or in moving the rows after a success.
        if (collection.ran_out || status == SQLITE_OK) {
            sqlite3_free(message);
            return fail(out_of_memory);
        }
        return fail_with_sqlite_message(db, message);
    }
    error_buffer_clear();
    *res = collection.table;
    return 0;
}

} // namespace

extern "C" {

int db_exec(sqlite3 *db, const char *sql, db_res **res) {
    if (res) *res = nullptr;
    // Every call starts with an empty row list, as the host expects of it,
    // even one that gathers nothing.
    linked_list rows;
    linked_init(&rows);
    if (!db) return fail("no database handle");
    if (!sql) return fail("no SQL text");
    return res ? run_into_table(db, sql, rows, res) : run_without_table(db, sql);
}

void db_free_res(db_res *res) {
    if (!res) return;
    free_strings(res->col_names, res->col_count);
    for (uint32_t i = 0; i < res->row_count; i++) free_strings(res->rows[i], res->col_count);
    free(res->rows);
    free(res);
}

} // extern "C"
