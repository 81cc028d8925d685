// Allocation for the whole module. None of the public operations can report
// running out of memory through its result, so it ends the process instead of
// letting a half-built document escape.
#include <cstdlib>

#include "internal.h"

void* ini_allocate(size_t size) {
    void* block = malloc(size);
    if (block == nullptr) {
        abort();
    }
    return block;
}

void* ini_reallocate(void* block, size_t size) {
    void* grown = realloc(block, size);
    if (grown == nullptr) {
        abort();
    }
    return grown;
}

size_t ini_allocated_slots(int32_t capacity) {
    size_t allocated = kInitialSlots;
    while (allocated < size_t(capacity)) {
        allocated *= 2;
    }
    return allocated;
}
