#include "edit_plan.h"

#include <cstdlib>
#include <cstring>

#include "internal.h"

// Sections and keys are searched one by one, as the document's lookups
// search them; from this many on, a hash index finds them instead, so that
// an edit of many keys in a large file does not search it once per key.
constexpr int32_t kIndexFrom = 16;

// A hash index of names: each name once, with its first item.
struct PlanIndex {
    uint32_t* hashes;
    int32_t* items;  // the item + 1; 0 for a free slot
    size_t mask;     // slots - 1, slots a power of two
    size_t used;
};

// FNV-1a: short and good enough for names.
static uint32_t hash_of(const char* name) {
    uint32_t hash = 2166136261u;
    for (; *name != '\0'; ++name) {
        hash = (hash ^ static_cast<unsigned char>(*name)) * 16777619u;
    }
    return hash;
}

static PlanIndex* index_new(size_t slots) {
    PlanIndex* index = static_cast<PlanIndex*>(ini_allocate(sizeof(PlanIndex)));
    index->hashes = static_cast<uint32_t*>(ini_allocate(slots * sizeof(uint32_t)));
    index->items = static_cast<int32_t*>(calloc(slots, sizeof(int32_t)));
    if (index->items == nullptr) {
        abort();
    }
    index->mask = slots - 1;
    index->used = 0;
    return index;
}

static void index_free(PlanIndex* index) {
    if (index != nullptr) {
        free(index->hashes);
        free(index->items);
        free(index);
    }
}

// The name of item `item` of `items`: a section's name or an entry's key.
static const char* name_of(const PlanSection* items, int32_t item) {
    return items[item].name;
}

static const char* name_of(const PlanEntry* items, int32_t item) {
    return items[item].key;
}

// The slot that holds `name` in the index, or the free slot where it would
// go.
template <typename T>
static size_t slot_of(const PlanIndex* index, const T* items, const char* name, uint32_t hash) {
    size_t at = hash & index->mask;
    while (index->items[at] != 0 && !(index->hashes[at] == hash &&
                                      strcmp(name_of(items, index->items[at] - 1), name) == 0)) {
        at = (at + 1) & index->mask;
    }
    return at;
}

// The first item named `name` that the index holds, or -1.
template <typename T>
static int32_t index_find(const PlanIndex* index, const T* items, const char* name) {
    return index->items[slot_of(index, items, name, hash_of(name))] - 1;
}

// Adds `item` of `items` where its name is not there yet (an earlier item
// of that name comes first). The index doubles at half full.
template <typename T>
static void index_add(PlanIndex** index, const T* items, int32_t item) {
    PlanIndex* table = *index;
    if (2 * (table->used + 1) > table->mask + 1) {
        PlanIndex* larger = index_new(2 * (table->mask + 1));
        for (size_t at = 0; at <= table->mask; ++at) {
            if (table->items[at] != 0) {
                index_add(&larger, items, table->items[at] - 1);
            }
        }
        index_free(table);
        *index = table = larger;
    }
    const char* name = name_of(items, item);
    uint32_t hash = hash_of(name);
    size_t at = slot_of(table, items, name, hash);
    if (table->items[at] != 0) {
        return;
    }
    table->hashes[at] = hash;
    table->items[at] = item + 1;
    ++table->used;
}

// The first of the `count` items that is named `name` and not removed, or
// -1; the index is built on the first search of many items.
template <typename T>
static int32_t find_live(T* items, int32_t count, PlanIndex** index, const char* name) {
    if (*index == nullptr && count >= kIndexFrom) {
        *index = index_new(4 * size_t(kIndexFrom));
        for (int32_t i = 0; i < count; ++i) {
            index_add(index, items, i);
        }
    }
    int32_t from = 0;
    if (*index != nullptr) {
        from = index_find(*index, items, name);
        if (from < 0) {
            return -1;
        }
    }
    for (int32_t i = from; i < count; ++i) {
        if (!items[i].removed && strcmp(name_of(items, i), name) == 0) {
            return i;
        }
    }
    return -1;
}

// Appends `item` to `*items` (`*count` of `*capacity`), and to the index.
template <typename T>
static void append(T** items, int32_t* count, int32_t* capacity, PlanIndex** index, const T& item) {
    if (*count == *capacity) {
        if (*capacity > INT32_MAX / 2 - 8) {
            abort();
        }
        *capacity = *capacity * 2 + 8;
        *items = static_cast<T*>(ini_reallocate(*items, size_t(*capacity) * sizeof(T)));
    }
    (*items)[*count] = item;
    if (*index != nullptr) {
        index_add(index, *items, *count);
    }
    ++*count;
}

void plan_init(Plan* plan, const IniDocument* document) {
    *plan = {nullptr, 0, 0, nullptr};
    int32_t spot = 0;
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* loaded = document->sections[i];
        PlanSection section = {loaded->name, i, false, nullptr, 0, 0, nullptr};
        for (int32_t j = 0; j < loaded->count; ++j) {
            const IniEntry* entry = loaded->entries[j];
            append(&section.entries, &section.count, &section.capacity, &section.index,
                   {entry->key, entry->value, entry->value, spot++, false});
        }
        append(&plan->sections, &plan->count, &plan->capacity, &plan->index, section);
    }
}

void plan_free(Plan* plan) {
    for (int32_t i = 0; i < plan->count; ++i) {
        free(plan->sections[i].entries);
        index_free(plan->sections[i].index);
    }
    free(plan->sections);
    index_free(plan->index);
    *plan = {nullptr, 0, 0, nullptr};
}

// The first section named `name` that is not removed, or null.
static PlanSection* find_section(Plan* plan, const char* name) {
    int32_t found = find_live(plan->sections, plan->count, &plan->index, name);
    return found < 0 ? nullptr : &plan->sections[found];
}

// A new section named `name` at the end.
static PlanSection* add_section(Plan* plan, const char* name) {
    append(&plan->sections, &plan->count, &plan->capacity, &plan->index,
           {name, -1, false, nullptr, 0, 0, nullptr});
    return &plan->sections[plan->count - 1];
}

static IniEditResult set(Plan* plan, const IniEdit& edit) {
    bool existing = (edit.flags & INI_EDIT_EXISTING) != 0;
    PlanSection* section = find_section(plan, edit.section);
    if (section == nullptr) {
        if (existing) {
            return INI_EDIT_NOT_FOUND;
        }
        section = add_section(plan, edit.section);
    }
    int32_t found = find_live(section->entries, section->count, &section->index, edit.key);
    if (found >= 0) {
        section->entries[found].value = edit.value;
    } else if (existing) {
        return INI_EDIT_NOT_FOUND;
    } else {
        append(&section->entries, &section->count, &section->capacity, &section->index,
               {edit.key, edit.value, nullptr, -1, false});
    }
    return INI_EDIT_CHANGED;
}

// Removes the first entry of `key` in the first section named `section`,
// or all of them.
static void remove_key(Plan* plan, const char* name, const char* key, bool all) {
    PlanSection* section = find_section(plan, name);
    int32_t found =
        section == nullptr ? -1 : find_live(section->entries, section->count, &section->index, key);
    for (int32_t i = found; i >= 0 && i < section->count; ++i) {
        PlanEntry& entry = section->entries[i];
        if (!entry.removed && strcmp(entry.key, key) == 0) {
            entry.removed = true;
            if (!all) {
                return;
            }
        }
    }
}

IniEditResult plan_apply(Plan* plan, const IniEdit& edit) {
    switch (edit.kind) {
        case INI_EDIT_SET:
            return set(plan, edit);
        case INI_EDIT_REMOVE_KEY:
        case INI_EDIT_REMOVE_ALL:
            remove_key(plan, edit.section, edit.key, edit.kind == INI_EDIT_REMOVE_ALL);
            return INI_EDIT_CHANGED;
        case INI_EDIT_ADD_SECTION:
            if (find_section(plan, edit.section) == nullptr) {
                add_section(plan, edit.section);
            }
            return INI_EDIT_CHANGED;
        case INI_EDIT_REMOVE_SECTION:
            if (PlanSection* section = find_section(plan, edit.section)) {
                section->removed = true;
            }
            return INI_EDIT_CHANGED;
    }
    return INI_EDIT_NOT_REPRESENTABLE;
}

bool plan_changes(const Plan* plan) {
    for (int32_t i = 0; i < plan->count; ++i) {
        const PlanSection& section = plan->sections[i];
        if (section.removed != (section.spot < 0)) {
            return true;  // a loaded section removed, or a new one kept
        }
        for (int32_t j = 0; j < section.count && !section.removed; ++j) {
            const PlanEntry& entry = section.entries[j];
            bool loaded = entry.spot >= 0;
            if (entry.removed == loaded ||
                (loaded && strcmp(entry.value, entry.loaded_value) != 0)) {
                return true;
            }
        }
    }
    return false;
}

bool plan_matches(const Plan* plan, const IniDocument* document) {
    int32_t at = 0;
    for (int32_t i = 0; i < plan->count; ++i) {
        const PlanSection& section = plan->sections[i];
        if (section.removed) {
            continue;
        }
        if (at == document->count) {
            return false;
        }
        const IniSection* loaded = document->sections[at++];
        int32_t entry_at = 0;
        if (strcmp(section.name, loaded->name) != 0) {
            return false;
        }
        for (int32_t j = 0; j < section.count; ++j) {
            const PlanEntry& entry = section.entries[j];
            if (entry.removed) {
                continue;
            }
            if (entry_at == loaded->count) {
                return false;
            }
            const IniEntry* read = loaded->entries[entry_at++];
            if (strcmp(entry.key, read->key) != 0 || strcmp(entry.value, read->value) != 0) {
                return false;
            }
        }
        if (entry_at != loaded->count) {
            return false;
        }
    }
    return at == document->count;
}
