// List services of the reference host: a doubly linked list of malloc'd
// nodes, appended at the end so that items keep their order.
#include <stdlib.h>

#include "reference_host.h"

namespace {
unsigned inits; // the libraries call in on one thread at a time
} // namespace

extern "C" void linked_init(linked_list *list) {
    inits++;
    list->count = 0;
    list->first = nullptr;
    list->last = nullptr;
}

extern "C" void linked_add(linked_list *list, void *item) {
    auto *node = static_cast<linked_node *>(malloc(sizeof(linked_node)));
    if (!node) return; // count stays unchanged: the caller's sign of failure
    node->item = item;
    node->prev = list->last;
    node->next = nullptr;
    if (list->last)
        list->last->next = node;
    else
        list->first = node;
    list->last = node;
    list->count++;
}

unsigned reference_list_inits() { return inits; }
