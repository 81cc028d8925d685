// What the reader, the writer and the document model share, and nobody else.
#ifndef INIFILE_INTERNAL_H_
#define INIFILE_INTERNAL_H_

#include <cstddef>
#include <cstdint>

#include "ini.h"

// Every pointer array (sections, entries, the loader's lines) starts with this
// many slots and grows by as many whenever it is full; `capacity` shows it.
constexpr int32_t kInitialSlots = 10;
constexpr int32_t kSlotGrowth = 10;

// malloc and realloc that never return null: running out of memory aborts.
void* ini_allocate(size_t size);
void* ini_reallocate(void* block, size_t size);

// The capacity after one growth step from `capacity`; aborts where the
// count could no longer be represented.
int32_t ini_grown_capacity(int32_t capacity);

// Appends `item` to the array `slots` of `count` used and `capacity`
// allocated slots, growing it by kSlotGrowth slots first when it is full.
// realloc lets glibc extend the block in place, which keeps a long run of
// appends linear where allocate-copy-free would be quadratic.
template <typename T>
void ini_append_slot(T*** slots, int32_t* count, int32_t* capacity, T* item) {
    if (*count == *capacity) {
        *capacity = ini_grown_capacity(*capacity);
        *slots = static_cast<T**>(ini_reallocate(*slots, sizeof(T*) * size_t(*capacity)));
    }
    (*slots)[(*count)++] = item;
}

// A section that takes ownership of `name` (allocated with ini_allocate) and
// has kInitialSlots empty entry slots.
IniSection* ini_section_adopting_name(char* name);

// An entry that owns `block`, which holds the key at its start and `value`
// inside it.
IniEntry* ini_entry_adopting_block(char* block, char* value);

#endif  // INIFILE_INTERNAL_H_
