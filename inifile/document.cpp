// The in-memory document: sections of entries, kept in the order they were
// appended, searched linearly, removed by swapping in the last element.
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "pages.h"

// Sections and entries are one record each, so that loading a file costs one
// record per line (docs/performance.md has the measurements); a load takes
// them from pages, anything built one by one from the heap (pages.h). Each
// can be released alone, in any order.
//
// An entry's block: the record, then its text; a loaded entry's text lies
// beside it in its page instead (pages.h). A replacement text (ini_set)
// gets a block of its own; the old text stays unused where it was.
//
// A section's block: the record, its slots, then its name. A new section
// gets kInitialSlots slots; a loaded one exactly as many as it has entries.
// When they are full, the slots move to an array of their own, allocated as
// ini_allocated_slots says for `capacity`, so that `capacity` grows by 10 as
// it always has and the array is copied once, then grown by ini_append_slot.
static_assert(sizeof(IniSection) % alignof(IniEntry*) == 0, "a section's slots follow its record");

// The text that was allocated with the entry.
static char* text_in_block(IniEntry* entry) {
    return reinterpret_cast<char*>(entry + 1);
}

// True when the entry's text lives in a block of its own: neither after
// the record nor beside it in a page.
static bool has_own_text_block(IniEntry* entry) {
    const void* page;
    return entry->key != text_in_block(entry) && ini_page_of(entry->key, &page) == 0;
}

// The slots that were allocated with the section, from the start of its block.
static IniEntry** slots_in_block(void* block) {
    return reinterpret_cast<IniEntry**>(static_cast<char*>(block) + sizeof(IniSection));
}

// True when the section's slots live in an array of their own.
static bool has_own_slot_array(IniSection* section) {
    return section->entries != slots_in_block(section);
}

// The slots allocated with the section: the name follows them.
static size_t slots_in_block_count(IniSection* section) {
    return size_t(section->name - reinterpret_cast<char*>(slots_in_block(section))) /
           sizeof(IniEntry*);
}

// Bytes of a section block with `slots` slots and a name of `name_length`.
static size_t section_block_size(size_t slots, size_t name_length) {
    size_t slot_limit = (SIZE_MAX - sizeof(IniSection) - 1) / sizeof(IniEntry*);
    if (slots > slot_limit ||
        name_length > SIZE_MAX - sizeof(IniSection) - 1 - slots * sizeof(IniEntry*)) {
        abort();  // no memory could hold it
    }
    return sizeof(IniSection) + slots * sizeof(IniEntry*) + name_length + 1;
}

// Fills in the record at the start of `block`, a section block of `slots`
// slots, of which `count` are in use, and copies the name after the slots.
static IniSection* section_in_block(void* block, size_t slots, int32_t count, const char* name,
                                    size_t name_length) {
    IniSection* section = static_cast<IniSection*>(block);
    section->count = count;
    // The capacity appending `count` entries one by one leaves: 10, 20, 30, ...
    section->capacity =
        count <= kInitialSlots ? kInitialSlots : (1 + (count - 1) / kSlotGrowth) * kSlotGrowth;
    section->entries = slots_in_block(block);
    section->name = reinterpret_cast<char*>(section->entries + slots);
    memcpy(section->name, name, name_length);
    section->name[name_length] = '\0';
    return section;
}

void ini_section_append(IniSection* section, IniEntry* entry) {
    if (has_own_slot_array(section) || size_t(section->count) < slots_in_block_count(section)) {
        ini_append_slot(&section->entries, &section->count, &section->capacity, entry);
        return;
    }
    int32_t capacity = section->capacity;
    if (section->count == capacity) {
        if (capacity > INT32_MAX - kSlotGrowth) {
            abort();  // the count could no longer be represented
        }
        capacity += kSlotGrowth;
    }
    size_t allocated = ini_allocated_slots(capacity);
    if (allocated > SIZE_MAX / sizeof(IniEntry*)) {
        abort();
    }
    IniEntry** slots =
        static_cast<IniEntry**>(ini_array_resize(nullptr, 0, 0, sizeof(IniEntry*) * allocated));
    memcpy(slots, section->entries, sizeof(IniEntry*) * size_t(section->count));
    section->entries = slots;
    section->capacity = capacity;
    section->entries[section->count++] = entry;
}

// Index of the first section named `name`, or -1.
static int find_section_index(const IniDocument* document, const char* name) {
    for (int i = 0; i < document->count; ++i) {
        if (strcmp(document->sections[i]->name, name) == 0) {
            return i;
        }
    }
    return -1;
}

// Index of the first entry whose key is `key`, or -1.
static int find_entry_index(const IniSection* section, const char* key) {
    for (int i = 0; i < section->count; ++i) {
        if (strcmp(section->entries[i]->key, key) == 0) {
            return i;
        }
    }
    return -1;
}

IniDocument* ini_new_document() {
    IniDocument* document = static_cast<IniDocument*>(ini_allocate(sizeof(IniDocument)));
    document->count = 0;
    document->capacity = kInitialSlots;
    document->sections = static_cast<IniSection**>(
        ini_array_resize(nullptr, 0, 0, sizeof(IniSection*) * ini_allocated_slots(kInitialSlots)));
    return document;
}

IniSection* ini_new_section(const char* name) {
    size_t name_length = strlen(name);
    void* block = ini_record_allocate(section_block_size(kInitialSlots, name_length));
    return section_in_block(block, kInitialSlots, 0, name, name_length);
}

IniEntry* ini_new_entry_block(size_t text_size, IniPages* pages) {
    if (pages != nullptr) {
        char* text;
        IniEntry* entry =
            static_cast<IniEntry*>(ini_pages_record(pages, sizeof(IniEntry), text_size, &text));
        entry->key = text;
        entry->value = nullptr;
        return entry;
    }
    if (text_size > SIZE_MAX - sizeof(IniEntry)) {
        abort();  // no memory could hold it
    }
    IniEntry* entry = static_cast<IniEntry*>(ini_record_allocate(sizeof(IniEntry) + text_size));
    entry->key = text_in_block(entry);
    entry->value = nullptr;
    return entry;
}

// Releases `entry` within `run` (pages.h).
static void free_entry(IniEntry* entry, IniReleaseRun* run) {
    // The value lives in the same block as the key.
    ini_record_release_in_run(run, entry,
                              entry->key == text_in_block(entry) ? nullptr : entry->key);
}

// Releases `section` and its entries within `run`.
static void free_section(IniSection* section, IniReleaseRun* run) {
    // Last first, here and in ini_free_document: blocks go back to the heap
    // in the reverse of the order a load allocated them in, so glibc merges
    // each into the free space above it instead of consolidating later.
    for (int i = section->count - 1; i >= 0; --i) {
        free_entry(section->entries[i], run);
    }
    if (has_own_slot_array(section)) {
        ini_release_slots(section->entries, section->capacity);
    }
    ini_record_release_in_run(run, section, nullptr);  // the name lives in the same block
}

void ini_free_entry(IniEntry* entry) {
    if (entry != nullptr) {
        IniReleaseRun run = {};
        free_entry(entry, &run);
        ini_release_run_end(&run);
    }
}

void ini_free_section(IniSection* section) {
    if (section != nullptr) {
        IniReleaseRun run = {};
        free_section(section, &run);
        ini_release_run_end(&run);
    }
}

void ini_free_document(IniDocument* document) {
    if (document == nullptr) {
        return;
    }
    IniReleaseRun run = {};
    for (int i = document->count - 1; i >= 0; --i) {
        free_section(document->sections[i], &run);
    }
    ini_release_run_end(&run);
    ini_release_slots(document->sections, document->capacity);
    free(document);
}

IniSection* ini_find_section(const IniDocument* document, const char* name) {
    int index = find_section_index(document, name);
    return index < 0 ? nullptr : document->sections[index];
}

int ini_add_section(IniDocument* document, IniSection* section) {
    int index = find_section_index(document, section->name);
    if (index < 0) {
        ini_append_slot(&document->sections, &document->count, &document->capacity, section);
        return 1;
    }
    // Handing a document its own section again must not free it under itself.
    if (document->sections[index] != section) {
        ini_free_section(document->sections[index]);
        document->sections[index] = section;
    }
    return 0;
}

int ini_remove_section(IniDocument* document, const char* name) {
    int index = find_section_index(document, name);
    if (index < 0) {
        return 1;
    }
    ini_free_section(document->sections[index]);
    document->sections[index] = document->sections[--document->count];
    return 0;
}

const char* ini_section_name_at(const IniDocument* document, int index) {
    // A negative index is refused as well: reading before the array would crash.
    return index >= 0 && index < document->count ? document->sections[index]->name : nullptr;
}

const char* ini_get(const IniSection* section, const char* key) {
    int index = find_entry_index(section, key);
    return index < 0 ? nullptr : section->entries[index]->value;
}

int ini_set(IniSection* section, const char* key, const char* value) {
    size_t key_size = strlen(key) + 1;
    size_t value_size = strlen(value) + 1;
    int index = find_entry_index(section, key);
    if (index < 0) {
        IniEntry* entry = ini_new_entry_block(key_size + value_size, nullptr);
        memcpy(entry->key, key, key_size);
        entry->value = static_cast<char*>(memcpy(entry->key + key_size, value, value_size));
        ini_section_append(section, entry);
        return 1;
    }
    IniEntry* entry = section->entries[index];
    // A value that fits where the old one ends goes over it: no block is
    // allocated, and a loaded entry leaves no dead text in its page. The key
    // is the same bytes and stays; `value` may point into the entry.
    char* room = entry->key + key_size;
    if (value_size <= size_t(entry->value + strlen(entry->value) + 1 - room)) {
        entry->value = static_cast<char*>(memmove(room, value, value_size));
        return 0;
    }
    // The new text is complete before the old one is released, because `key`
    // and `value` may point into it.
    char* text = static_cast<char*>(ini_allocate(key_size + value_size));
    memcpy(text, key, key_size);
    memcpy(text + key_size, value, value_size);
    if (has_own_text_block(entry)) {
        free(entry->key);
    }
    entry->key = text;
    entry->value = text + key_size;
    return 0;
}

const char* ini_key_at(const IniSection* section, int index) {
    return index >= 0 && index < section->count ? section->entries[index]->key : nullptr;
}

int ini_remove_key(IniSection* section, const char* key) {
    int index = find_entry_index(section, key);
    if (index < 0) {
        return 1;
    }
    ini_free_entry(section->entries[index]);
    section->entries[index] = section->entries[--section->count];
    return 0;
}

IniSection* ini_copy_section(const IniSection* section, const char* new_name) {
    IniSection* copy = ini_new_section(new_name);
    for (int i = 0; i < section->count; ++i) {
        const char* key = section->entries[i]->key;
        ini_set(copy, key, ini_get(section, key));
    }
    return copy;
}

// A draft starts with this many slots on the heap and doubles there up to
// kDraftHeapBytes; a section with more entries moves it to a page of its
// own, in huge pages, doubling on. A section whose block comes to
// kOwnPageBytes keeps that page as its block rather than being copied; a
// smaller one is copied into the load's pages, and the draft's storage is
// kept for the next section.
constexpr size_t kDraftSlots = 64;
constexpr size_t kDraftHeapBytes = 64 * 1024;
constexpr size_t kOwnPageBytes = 1024 * 1024;

// Slots that fit in a draft block of `room` bytes.
static size_t slots_in_room(size_t room) {
    return (room - sizeof(IniSection)) / sizeof(IniEntry*);
}

void ini_draft_init(IniSectionDraft* draft) {
    draft->block = static_cast<char*>(ini_record_allocate(section_block_size(kDraftSlots, 0)));
    draft->allocated = kDraftSlots;
    draft->count = 0;
    draft->own_page = false;
}

// Makes room for `slots` slots and a name of `name_length` in the draft's
// block, keeping the slots in use.
static void draft_reserve(IniSectionDraft* draft, size_t slots, size_t name_length) {
    size_t used = section_block_size(size_t(draft->count), 0) - 1;
    size_t size = section_block_size(slots, name_length);
    if (!draft->own_page && size <= kDraftHeapBytes) {
        draft->block = static_cast<char*>(ini_record_reallocate(draft->block, size));
        draft->allocated = slots_in_room(size - name_length - 1);
        return;
    }
    size_t room;
    void* block = ini_page_record_allocate(size < kOwnPageBytes ? kOwnPageBytes : size, &room);
    memcpy(block, draft->block, used);
    ini_record_release(draft->block);
    draft->block = static_cast<char*>(block);
    draft->allocated = slots_in_room(room - name_length - 1);
    draft->own_page = true;
}

void ini_draft_append(IniSectionDraft* draft, IniEntry* entry) {
    if (draft->count > INT32_MAX - kSlotGrowth) {
        abort();  // the capacity could no longer be represented
    }
    if (size_t(draft->count) == draft->allocated) {
        draft_reserve(draft, draft->allocated * 2, 0);
    }
    slots_in_block(draft->block)[draft->count++] = entry;
}

IniSection* ini_draft_finish(IniSectionDraft* draft, const char* name, size_t name_length,
                             IniPages* pages) {
    size_t slots = size_t(draft->count);
    size_t size = section_block_size(slots, name_length);
    if (draft->own_page && size >= kOwnPageBytes) {
        if (size > section_block_size(draft->allocated, 0)) {
            draft_reserve(draft, slots, name_length);
        }
        IniSection* section =
            section_in_block(draft->block, slots, draft->count, name, name_length);
        ini_draft_init(draft);
        return section;
    }
    char* no_text;
    void* block = ini_pages_record(pages, size, 0, &no_text);
    memcpy(slots_in_block(block), slots_in_block(draft->block), sizeof(IniEntry*) * slots);
    draft->count = 0;
    return section_in_block(block, slots, int32_t(slots), name, name_length);
}

void ini_draft_free(IniSectionDraft* draft) {
    for (int32_t i = 0; i < draft->count; ++i) {
        ini_free_entry(slots_in_block(draft->block)[i]);
    }
    ini_record_release(draft->block);
}
