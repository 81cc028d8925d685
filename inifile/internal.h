// What the reader, the writer and the document model share, and nobody else.
#ifndef INIFILE_INTERNAL_H_
#define INIFILE_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ini.h"

// Every pointer array (sections, entries, the loader's lines) starts with this
// many slots and grows by as many whenever it is full; `capacity` shows it.
constexpr int32_t kInitialSlots = 10;
constexpr int32_t kSlotGrowth = 10;

// malloc and realloc that never return null: running out of memory aborts.
void* ini_allocate(size_t size);
void* ini_reallocate(void* block, size_t size);

// The slots actually allocated beneath `capacity`: 10 times a power of two,
// so the reported capacity grows by 10 slots at a time while the array is
// reallocated only when it doubles. Steps of 10 through realloc leave the
// cost to the allocator: a section of a million entries took 100,000
// reallocations, which glibc turns into page remaps and other heaps into
// copies, and loading grew faster than linearly.
size_t ini_allocated_slots(int32_t capacity);

// Appends `item` to the array `slots` of `count` used and `capacity`
// reported slots, first adding kSlotGrowth slots to `capacity` when it is
// full. The array must come from this module (see ini_allocated_slots).
template <typename T>
void ini_append_slot(T*** slots, int32_t* count, int32_t* capacity, T* item) {
    if (*count == *capacity) {
        size_t allocated = ini_allocated_slots(*capacity);
        if (*capacity > INT32_MAX - kSlotGrowth) {
            abort();  // the count could no longer be represented
        }
        *capacity += kSlotGrowth;
        if (size_t(*capacity) > allocated) {
            allocated = ini_allocated_slots(*capacity);
            if (allocated > SIZE_MAX / sizeof(T*)) {
                abort();
            }
            *slots = static_cast<T**>(ini_reallocate(*slots, sizeof(T*) * allocated));
        }
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
