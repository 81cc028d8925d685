// Lookups as the readers of each dialect see a document: the module's
// format takes the first of repeated sections and keys; the common dialect
// reads the sections of one name as one and takes the last of repeated keys.
// Either may match names without regard to ASCII case.
#include <cstdlib>
#include <cstring>

#include "inifile/ini.h"
#include "internal.h"

static char ascii_lower(char byte) {
    return byte >= 'A' && byte <= 'Z' ? char(byte - 'A' + 'a') : byte;
}

bool ini_same_name(const char* a, const char* b, bool ignore_case) {
    if (!ignore_case) {
        return strcmp(a, b) == 0;
    }
    for (; *a != '\0' && ascii_lower(*a) == ascii_lower(*b); ++a, ++b) {
    }
    return ascii_lower(*a) == ascii_lower(*b);
}

uint32_t ini_name_hash(const char* name, bool ignore_case) {
    uint32_t hash = 2166136261u;
    for (; *name != '\0'; ++name) {
        char byte = ignore_case ? ascii_lower(*name) : *name;
        hash = (hash ^ static_cast<unsigned char>(byte)) * 16777619u;
    }
    return hash;
}

int ini_has_value(const IniEntry* entry) {
    return entry->value != entry->key + strlen(entry->key);
}

const IniEntry* ini_lookup(const IniDocument* document, const char* section, const char* key,
                           const IniOptions* options) {
    bool last_wins = options != nullptr && options->dialect == INI_DIALECT_COMMON;
    bool ignore_case = options != nullptr && (options->flags & INI_IGNORE_CASE) != 0;
    const IniEntry* found = nullptr;
    for (int32_t i = 0; document != nullptr && i < document->count; ++i) {
        const IniSection* candidate = document->sections[i];
        if (!ini_same_name(candidate->name, section, ignore_case)) {
            continue;
        }
        for (int32_t j = 0; j < candidate->count; ++j) {
            const IniEntry* entry = candidate->entries[j];
            if (ini_same_name(entry->key, key, ignore_case)) {
                if (!last_wins) {
                    return entry;
                }
                found = entry;
            }
        }
        if (!last_wins) {
            return nullptr;  // the first section of the name alone counts
        }
    }
    return found;
}

namespace {

// The names already in a view's section list or entry list, hashed: each
// slot holds an index + 1, or 0 where free.
struct NameIndex {
    int32_t* slots;
    size_t mask;  // slots - 1, a power of two
    size_t used;
    bool ignore_case;
};

}  // namespace

static void index_init(NameIndex* index, bool ignore_case) {
    *index = {static_cast<int32_t*>(calloc(16, sizeof(int32_t))), 15, 0, ignore_case};
    if (index->slots == nullptr) {
        abort();
    }
}

// The slot where `name` is, or where it would go; `name_at(i)` names item i.
template <typename NameAt>
static size_t index_slot(const NameIndex* index, const char* name, NameAt name_at) {
    size_t at = ini_name_hash(name, index->ignore_case) & index->mask;
    while (index->slots[at] != 0 &&
           !ini_same_name(name_at(index->slots[at] - 1), name, index->ignore_case)) {
        at = (at + 1) & index->mask;
    }
    return at;
}

// Adds item `item`, named `name`, known not to be there; doubles at half full.
template <typename NameAt>
static void index_add(NameIndex* index, int32_t item, const char* name, NameAt name_at) {
    if (2 * (index->used + 1) > index->mask + 1) {
        NameIndex larger = {static_cast<int32_t*>(calloc(2 * (index->mask + 1), sizeof(int32_t))),
                            2 * (index->mask + 1) - 1, 0, index->ignore_case};
        if (larger.slots == nullptr) {
            abort();
        }
        for (size_t at = 0; at <= index->mask; ++at) {
            if (index->slots[at] != 0) {
                int32_t moved = index->slots[at] - 1;
                larger.slots[index_slot(&larger, name_at(moved), name_at)] = moved + 1;
                ++larger.used;
            }
        }
        free(index->slots);
        *index = larger;
    }
    index->slots[index_slot(index, name, name_at)] = item + 1;
    ++index->used;
}

// A view entry of `key` with the value of `entry` (none where it has none).
static IniEntry* view_entry(const char* key, const IniEntry* entry) {
    size_t key_size = strlen(key) + 1;
    size_t value_size = strlen(entry->value) + 1;
    IniEntry* made = ini_new_entry_block(key_size + value_size, nullptr);
    memcpy(made->key, key, key_size);
    made->value = static_cast<char*>(memcpy(made->key + key_size, entry->value, value_size));
    if (!ini_has_value(entry)) {
        made->value = ini_no_value(made);
    }
    return made;
}

IniDocument* ini_read_view(const IniDocument* document, const IniOptions* options) {
    bool last_wins = options != nullptr && options->dialect == INI_DIALECT_COMMON;
    bool ignore_case = options != nullptr && (options->flags & INI_IGNORE_CASE) != 0;
    IniDocument* view = ini_new_document();
    NameIndex sections;
    index_init(&sections, ignore_case);
    auto section_name = [view](int32_t i) { return view->sections[i]->name; };
    // The entries' index of each view section, alongside it.
    NameIndex* entries = nullptr;
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        int32_t found = sections.slots[index_slot(&sections, section->name, section_name)] - 1;
        if (found >= 0 && !last_wins) {
            continue;  // a later section of a name nobody reads
        }
        if (found < 0) {
            found = view->count;
            ini_add_section(view, ini_new_section(section->name));
            index_add(&sections, found, section->name, section_name);
            entries = static_cast<NameIndex*>(
                ini_reallocate(entries, sizeof(NameIndex) * size_t(view->capacity)));
            index_init(&entries[found], ignore_case);
        }
        IniSection* into = view->sections[found];
        auto key_of = [into](int32_t j) { return into->entries[j]->key; };
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            int32_t seen =
                entries[found].slots[index_slot(&entries[found], entry->key, key_of)] - 1;
            if (seen < 0) {
                ini_section_append(into, view_entry(entry->key, entry));
                index_add(&entries[found], into->count - 1, entry->key, key_of);
            } else if (last_wins) {
                IniEntry* replaced = into->entries[seen];
                into->entries[seen] = view_entry(replaced->key, entry);
                ini_free_entry(replaced);
            }
        }
    }
    for (int32_t i = 0; i < view->count; ++i) {
        free(entries[i].slots);
    }
    free(entries);
    free(sections.slots);
    return view;
}
