// The in-memory document: sections of entries, kept in the order they were
// appended, searched linearly, removed by swapping in the last element.
#include <cstdlib>
#include <cstring>

#include "internal.h"

// A new array of kInitialSlots pointers.
template <typename T>
static T** new_slots() {
    return static_cast<T**>(ini_allocate(sizeof(T*) * kInitialSlots));
}

// A copy of `text` in a block of its own.
static char* copy_string(const char* text) {
    size_t size = strlen(text) + 1;
    return static_cast<char*>(memcpy(ini_allocate(size), text, size));
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
    document->sections = new_slots<IniSection>();
    return document;
}

IniSection* ini_section_adopting_name(char* name) {
    IniSection* section = static_cast<IniSection*>(ini_allocate(sizeof(IniSection)));
    section->count = 0;
    section->capacity = kInitialSlots;
    section->name = name;
    section->entries = new_slots<IniEntry>();
    return section;
}

IniSection* ini_new_section(const char* name) {
    return ini_section_adopting_name(copy_string(name));
}

IniEntry* ini_entry_adopting_block(char* block, char* value) {
    IniEntry* entry = static_cast<IniEntry*>(ini_allocate(sizeof(IniEntry)));
    entry->key = block;
    entry->value = value;
    return entry;
}

void ini_free_entry(IniEntry* entry) {
    if (entry == nullptr) {
        return;
    }
    free(entry->key);  // the value lives in the same block
    free(entry);
}

void ini_free_section(IniSection* section) {
    if (section == nullptr) {
        return;
    }
    for (int i = 0; i < section->count; ++i) {
        ini_free_entry(section->entries[i]);
    }
    free(section->entries);
    free(section->name);
    free(section);
}

void ini_free_document(IniDocument* document) {
    if (document == nullptr) {
        return;
    }
    for (int i = 0; i < document->count; ++i) {
        ini_free_section(document->sections[i]);
    }
    free(document->sections);
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
    // The new block is complete before anything is released, because `key`
    // and `value` may point into the entry that is about to be replaced.
    size_t key_size = strlen(key) + 1;
    size_t value_size = strlen(value) + 1;
    char* block = static_cast<char*>(ini_allocate(key_size + value_size));
    memcpy(block, key, key_size);
    memcpy(block + key_size, value, value_size);

    int index = find_entry_index(section, key);
    if (index < 0) {
        IniEntry* entry = ini_entry_adopting_block(block, block + key_size);
        ini_append_slot(&section->entries, &section->count, &section->capacity, entry);
        return 1;
    }
    IniEntry* entry = section->entries[index];
    free(entry->key);
    entry->key = block;
    entry->value = block + key_size;
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
