// The document's building blocks, shared by the model, the reader and the
// writer: slot arrays that grow, entry blocks, and the drafts a load builds
// its sections in. Private to the module.
#ifndef INIFILE_INTERNAL_H_
#define INIFILE_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "inifile/ini.h"

// Every pointer array (sections, entries, the pieces of a long line) starts with this
// many slots and grows by as many whenever it is full; `capacity` shows it.
constexpr int32_t kInitialSlots = 10;
constexpr int32_t kSlotGrowth = 10;

// malloc and realloc that never return null: running out of memory aborts.
void* ini_allocate(size_t size);
void* ini_reallocate(void* block, size_t size);

// The slots actually allocated beneath `capacity`: 10 times a power of two,
// so the reported capacity grows by 10 slots at a time while the array is
// reallocated only when it doubles: steps of 10 through realloc made loading
// grow faster than linearly on heaps that copy.
size_t ini_allocated_slots(int32_t capacity);

// `size` rounded up to a multiple of `to`; out of the address space aborts.
size_t ini_round_up(size_t size, size_t to);

// An array of `bytes`, of which the first `used` are in use, resized to
// `new_bytes` (null and 0: a new one). Small arrays come from the heap;
// from kLargeArrayBytes on an array is a piece of its own in whole huge
// pages, so that a large load's arrays take a fault per 2 MiB, not per 4
// KiB. The caller keeps the size: release with the same.
void* ini_array_resize(void* array, size_t used, size_t bytes, size_t new_bytes);
void ini_array_release(void* array, size_t bytes);

// Bytes of arrays held in pieces now, in all documents: what the tests watch.
size_t ini_array_piece_bytes();

// Releases a slot array of `capacity` reported slots (see ini_append_slot).
template <typename T>
void ini_release_slots(T** slots, int32_t capacity) {
    ini_array_release(slots, sizeof(T*) * ini_allocated_slots(capacity));
}

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
            size_t grown = ini_allocated_slots(*capacity);
            if (grown > SIZE_MAX / sizeof(T*)) {
                abort();
            }
            *slots = static_cast<T**>(ini_array_resize(*slots, sizeof(T*) * size_t(*count),
                                                       sizeof(T*) * allocated, sizeof(T*) * grown));
        }
    }
    (*slots)[(*count)++] = item;
}

// Whether names (or keys) `a` and `b` are one: byte for byte, or without
// regard to ASCII case.
bool ini_same_name(const char* a, const char* b, bool ignore_case);

// A hash of `name` that names which are one share (FNV-1a).
uint32_t ini_name_hash(const char* name, bool ignore_case);

// An entry's value for a key without one: its key's terminator, which reads
// as "" (ini_has_value). The key as a C string: a NUL byte in it ends it.
inline char* ini_no_value(IniEntry* entry) {
    return entry->key + strlen(entry->key);
}

// The list in `value` with `item` added (where it is not one yet) or every
// item equal to it removed, items separated by `separator`: a new string the
// caller releases (free), or null where nothing changes.
char* ini_list_changed(const char* value, const char* item, char separator, bool add);

struct IniPages;

// An entry is one record with its text (the key, its terminator, the value,
// its terminator): from the heap (when `pages` is null) one block, the text
// after the record; from `pages` the text beside it in its page. The result
// has room for `text_size` bytes of text; `key` points at it, `value` is for
// the caller to set.
IniEntry* ini_new_entry_block(size_t text_size, IniPages* pages);

// Appends `entry` to `section`, which owns it from then on, moving the
// slots out of the section's block when it has no free one left.
void ini_section_append(IniSection* section, IniEntry* entry);

// A loaded section is built once its entries are known, so that its block
// holds exactly as many slots as the file gives it. The draft gathers them
// in a block shaped like a section's: room for the record, then the slots.
struct IniSectionDraft {
    char* block;
    size_t allocated;  // slots in `block`
    int32_t count;     // slots in use
    bool own_page;     // `block` is large: a record with a page of its own
};

void ini_draft_init(IniSectionDraft* draft);

// Appends `entry`; the draft owns it until ini_draft_finish.
void ini_draft_append(IniSectionDraft* draft, IniEntry* entry);

// The section of the drafted entries, named by the `name_length` bytes at
// `name`: one block of the record, the slots and the name, owned by the
// caller, from `pages` (a section too large for its draft keeps the draft's
// heap block); `capacity` reads as if the entries had been appended one by
// one. The draft is empty afterwards and ready for the next section.
IniSection* ini_draft_finish(IniSectionDraft* draft, const char* name, size_t name_length,
                             IniPages* pages);

// Releases the drafted entries and the draft's storage.
void ini_draft_free(IniSectionDraft* draft);

#endif  // INIFILE_INTERNAL_H_
