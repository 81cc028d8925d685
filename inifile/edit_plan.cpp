// The plan of an edit: the loaded document's sections and entries, and the
// changes made to them as the readers of the dialect would see them made.
#include "edit_plan.h"

#include <cstdlib>
#include <cstring>

#include "internal.h"

// Sections and keys are searched one by one; from this many on, a hash
// index finds them instead, so that an edit of many keys in a large file
// does not search it once per key.
constexpr int32_t kIndexFrom = 16;

// A hash index of names: each name once, with the first of its items (the
// last, where the last wins), and for each item the one of the same name
// before it.
struct PlanIndex {
    uint32_t* hashes;
    int32_t* items;  // the item + 1; 0 for a free slot
    size_t mask;     // slots - 1, slots a power of two
    size_t used;
    int32_t* previous;  // per item: the item of its name before it, or -1
    size_t previous_capacity;
};

static PlanIndex* index_new(size_t slots) {
    PlanIndex* index = static_cast<PlanIndex*>(ini_allocate(sizeof(PlanIndex)));
    index->hashes = static_cast<uint32_t*>(ini_allocate(slots * sizeof(uint32_t)));
    index->items = static_cast<int32_t*>(calloc(slots, sizeof(int32_t)));
    if (index->items == nullptr) {
        abort();
    }
    index->mask = slots - 1;
    index->used = 0;
    index->previous = nullptr;
    index->previous_capacity = 0;
    return index;
}

static void index_free(PlanIndex* index) {
    if (index != nullptr) {
        free(index->hashes);
        free(index->items);
        free(index->previous);
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
static size_t slot_of(const PlanIndex* index, const T* items, const char* name, uint32_t hash,
                      bool ignore_case) {
    size_t at = hash & index->mask;
    while (index->items[at] != 0 &&
           !(index->hashes[at] == hash &&
             ini_same_name(name_of(items, index->items[at] - 1), name, ignore_case))) {
        at = (at + 1) & index->mask;
    }
    return at;
}

// Adds `item` of `items` to the index: where its name is there already, it
// stands for the name only where the last wins, and follows the one there.
// The index doubles at half full.
template <typename T>
static void index_add(PlanIndex** index, const T* items, int32_t item, PlanRules rules) {
    PlanIndex* table = *index;
    if (2 * (table->used + 1) > table->mask + 1) {
        PlanIndex* larger = index_new(2 * (table->mask + 1));
        for (size_t at = 0; at <= table->mask; ++at) {
            if (table->items[at] != 0) {
                const char* name = name_of(items, table->items[at] - 1);
                uint32_t hash = ini_name_hash(name, rules.ignore_case);
                size_t slot = slot_of(larger, items, name, hash, rules.ignore_case);
                larger->hashes[slot] = hash;
                larger->items[slot] = table->items[at];
                ++larger->used;
            }
        }
        larger->previous = table->previous;
        larger->previous_capacity = table->previous_capacity;
        table->previous = nullptr;
        index_free(table);
        *index = table = larger;
    }
    if (size_t(item) >= table->previous_capacity) {
        table->previous_capacity = 2 * size_t(item) + 16;
        table->previous = static_cast<int32_t*>(
            ini_reallocate(table->previous, table->previous_capacity * sizeof(int32_t)));
    }
    const char* name = name_of(items, item);
    uint32_t hash = ini_name_hash(name, rules.ignore_case);
    size_t at = slot_of(table, items, name, hash, rules.ignore_case);
    table->previous[item] = table->items[at] - 1;
    if (table->items[at] != 0 && !rules.last_wins) {
        return;
    }
    table->used += table->items[at] == 0 ? 1 : 0;
    table->hashes[at] = hash;
    table->items[at] = item + 1;
}

// The items named `name`, in file order where the first wins and from the
// last where the last wins: each call of `visit(item)` until it returns
// true, whose item is returned; -1 where none did. Removed items are passed
// over. The index is built on the first search of many items.
template <typename T, typename Visit>
static int32_t each_named(T* items, int32_t count, PlanIndex** index, const char* name,
                          PlanRules rules, Visit visit) {
    if (*index == nullptr && count >= kIndexFrom) {
        *index = index_new(4 * size_t(kIndexFrom));
        for (int32_t i = 0; i < count; ++i) {
            index_add(index, items, i, rules);
        }
    }
    if (*index == nullptr) {
        for (int32_t n = 0; n < count; ++n) {
            int32_t i = rules.last_wins ? count - 1 - n : n;
            if (!items[i].removed && ini_same_name(name_of(items, i), name, rules.ignore_case) &&
                visit(i)) {
                return i;
            }
        }
        return -1;
    }
    const PlanIndex* table = *index;
    int32_t first = table->items[slot_of(table, items, name, ini_name_hash(name, rules.ignore_case),
                                         rules.ignore_case)] -
                    1;
    if (rules.last_wins) {
        for (int32_t i = first; i >= 0; i = table->previous[i]) {
            if (!items[i].removed && visit(i)) {
                return i;
            }
        }
        return -1;
    }
    for (int32_t i = first; i >= 0 && i < count; ++i) {
        if (!items[i].removed && ini_same_name(name_of(items, i), name, rules.ignore_case) &&
            visit(i)) {
            return i;
        }
    }
    return -1;
}

// Appends `item` to `*items` (`*count` of `*capacity`), and to the index.
template <typename T>
static void append(T** items, int32_t* count, int32_t* capacity, PlanIndex** index, const T& item,
                   PlanRules rules) {
    if (*count == *capacity) {
        if (*capacity > INT32_MAX / 2 - 8) {
            abort();
        }
        *capacity = *capacity * 2 + 8;
        *items = static_cast<T*>(ini_reallocate(*items, size_t(*capacity) * sizeof(T)));
    }
    (*items)[*count] = item;
    if (*index != nullptr) {
        index_add(index, *items, *count, rules);
    }
    ++*count;
}

// Puts `entry` into `section` at `at`, the entries from there on moving
// one place on (the index is built again when next searched).
static void insert(PlanSection* section, int32_t at, const PlanEntry& entry, PlanRules rules) {
    PlanIndex* none = nullptr;
    append(&section->entries, &section->count, &section->capacity, &none, entry, rules);
    memmove(section->entries + at + 1, section->entries + at,
            size_t(section->count - 1 - at) * sizeof(PlanEntry));
    section->entries[at] = entry;
    index_free(section->index);
    section->index = nullptr;
}

void plan_init(Plan* plan, const IniDocument* document, const char* text, const IniLayout* layout,
               PlanRules rules) {
    *plan = {nullptr, 0, 0, nullptr, rules, text, layout, nullptr, 0};
    int32_t spot = 0;
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* loaded = document->sections[i];
        PlanSection section = {loaded->name, i, false, nullptr, 0, 0, nullptr};
        for (int32_t j = 0; j < loaded->count; ++j) {
            const IniEntry* entry = loaded->entries[j];
            append(&section.entries, &section.count, &section.capacity, &section.index,
                   {entry->key, entry->value, entry->value, spot++, -1, false}, rules);
        }
        append(&plan->sections, &plan->count, &plan->capacity, &plan->index, section, rules);
    }
}

void plan_free(Plan* plan) {
    for (int32_t i = 0; i < plan->count; ++i) {
        free(plan->sections[i].entries);
        index_free(plan->sections[i].index);
    }
    for (int32_t i = 0; i < plan->value_count; ++i) {
        free(plan->values[i]);
    }
    free(plan->values);
    free(plan->sections);
    index_free(plan->index);
    *plan = {};
}

// The section a set of a new key in `name` goes to: the first of the name,
// or its last where the last wins; -1 where there is none.
static int32_t target_section(Plan* plan, const char* name) {
    return each_named(plan->sections, plan->count, &plan->index, name, plan->rules,
                      [](int32_t) { return true; });
}

// The entry of `key` the readers see in the sections named `name` (the
// first in the first section, or the last in all of them): its section in
// `*section`; null where there is none.
static PlanEntry* readers_entry(Plan* plan, const char* name, const char* key,
                                PlanSection** section) {
    PlanEntry* found = nullptr;
    each_named(plan->sections, plan->count, &plan->index, name, plan->rules, [&](int32_t i) {
        PlanSection* candidate = &plan->sections[i];
        int32_t entry = each_named(candidate->entries, candidate->count, &candidate->index, key,
                                   plan->rules, [](int32_t) { return true; });
        if (entry >= 0) {
            found = &candidate->entries[entry];
            *section = candidate;
        }
        // The first section alone counts where the first wins.
        return found != nullptr || !plan->rules.last_wins;
    });
    return found;
}

// A new section named `name` at the end.
static PlanSection* add_section(Plan* plan, const char* name) {
    append(&plan->sections, &plan->count, &plan->capacity, &plan->index,
           {name, -1, false, nullptr, 0, 0, nullptr}, plan->rules);
    return &plan->sections[plan->count - 1];
}

// The commented-out entry of `key` in loaded section `spot` that a set may
// take the place of (the last one), or -1.
static int32_t commented_entry(const Plan* plan, int32_t spot, const char* key) {
    const IniLayout* layout = plan->layout;
    size_t length = strlen(key);
    for (size_t i = layout->commented_count; i > 0; --i) {
        const IniCommentedEntry& line = layout->commented[i - 1];
        if (line.section != size_t(spot) || line.key_end - line.key_begin != length) {
            continue;
        }
        bool same = true;
        for (size_t at = 0; at < length && same; ++at) {
            char a[2] = {plan->text[line.key_begin + at], '\0'};
            char b[2] = {key[at], '\0'};
            same = ini_same_name(a, b, plan->rules.ignore_case);
        }
        if (same) {
            return int32_t(i - 1);
        }
    }
    return -1;
}

// Adds a new entry of `key` to `section`: at the end, or in the place of a
// line that comments it out (`commented`), among the loaded entries where
// that line stands.
static void add_entry(Plan* plan, PlanSection* section, const char* key, const char* value,
                      int32_t commented) {
    PlanEntry entry = {key, value, nullptr, -1, commented, false};
    if (commented < 0) {
        append(&section->entries, &section->count, &section->capacity, &section->index, entry,
               plan->rules);
        return;
    }
    size_t line = plan->layout->commented[commented].first;
    int32_t at = 0;
    while (at < section->count && (section->entries[at].spot < 0 ||
                                   plan->layout->entries[section->entries[at].spot].first < line)) {
        ++at;
    }
    insert(section, at, entry, plan->rules);
}

// Keeps `value` for as long as the plan lives.
static const char* keep(Plan* plan, char* value) {
    plan->values = static_cast<char**>(
        ini_reallocate(plan->values, size_t(plan->value_count + 1) * sizeof(char*)));
    plan->values[plan->value_count++] = value;
    return value;
}

static IniEditResult set(Plan* plan, const IniEdit& edit) {
    bool existing = (edit.flags & INI_EDIT_EXISTING) != 0;
    bool list = (edit.flags & (INI_EDIT_LIST_ADD | INI_EDIT_LIST_REMOVE)) != 0;
    PlanSection* section = nullptr;
    PlanEntry* entry = readers_entry(plan, edit.section, edit.key, &section);
    if (entry != nullptr) {
        if (list) {
            char separator = char((edit.flags >> 8) & 0xFF);
            char* changed = ini_list_changed(entry->value, edit.value, separator ? separator : ',',
                                             (edit.flags & INI_EDIT_LIST_ADD) != 0);
            if (changed != nullptr) {
                entry->value = keep(plan, changed);
            }
        } else {
            entry->value = edit.value;
        }
        return INI_EDIT_CHANGED;
    }
    int32_t target = target_section(plan, edit.section);
    if (existing) {
        return target < 0 ? INI_EDIT_NO_SECTION : INI_EDIT_NOT_FOUND;
    }
    if (list && (edit.flags & INI_EDIT_LIST_ADD) == 0) {
        return INI_EDIT_CHANGED;  // nothing to remove an item from
    }
    section = target < 0 ? add_section(plan, edit.section) : &plan->sections[target];
    int32_t commented = -1;
    if ((edit.flags & INI_EDIT_UNCOMMENT) != 0 && section->spot >= 0) {
        commented = commented_entry(plan, section->spot, edit.key);
    }
    add_entry(plan, section, edit.key, edit.value, commented);
    return INI_EDIT_CHANGED;
}

// Removes the entries of `key` that the readers see in the sections named
// `name`: the first (or every one, with `all`) in the first section; where
// the last wins, every one in all of them, so that none is seen after.
static IniEditResult remove_key(Plan* plan, const IniEdit& edit, bool all) {
    bool removed = false;
    each_named(plan->sections, plan->count, &plan->index, edit.section, plan->rules,
               [&](int32_t i) {
                   PlanSection* section = &plan->sections[i];
                   each_named(section->entries, section->count, &section->index, edit.key,
                              plan->rules, [&](int32_t entry) {
                                  section->entries[entry].removed = true;
                                  removed = true;
                                  return !all && !plan->rules.last_wins;
                              });
                   return !plan->rules.last_wins;
               });
    if ((edit.flags & INI_EDIT_EXISTING) != 0 && !removed) {
        return target_section(plan, edit.section) < 0 ? INI_EDIT_NO_SECTION : INI_EDIT_NOT_FOUND;
    }
    return INI_EDIT_CHANGED;
}

// Sets the first entry of `key` the readers see (in file order) and removes
// every other one; a set where there is none.
static IniEditResult set_all(Plan* plan, const IniEdit& edit) {
    PlanEntry* first = nullptr;
    for (int32_t i = 0; i < plan->count; ++i) {
        PlanSection* section = &plan->sections[i];
        if (section->removed ||
            !ini_same_name(section->name, edit.section, plan->rules.ignore_case)) {
            continue;
        }
        for (int32_t j = 0; j < section->count; ++j) {
            PlanEntry& entry = section->entries[j];
            if (!entry.removed && ini_same_name(entry.key, edit.key, plan->rules.ignore_case)) {
                if (first == nullptr) {
                    first = &entry;
                } else {
                    entry.removed = true;
                }
            }
        }
        if (!plan->rules.last_wins) {
            break;  // the first section of the name alone is read
        }
    }
    if (first == nullptr) {
        return set(plan, edit);
    }
    first->value = edit.value;
    return INI_EDIT_CHANGED;
}

// One more entry of `key` right after the last one the readers see; a set
// where there is none.
static IniEditResult add(Plan* plan, const IniEdit& edit) {
    PlanSection* section = nullptr;
    PlanEntry* last = nullptr;
    each_named(
        plan->sections, plan->count, &plan->index, edit.section, plan->rules, [&](int32_t i) {
            PlanSection* candidate = &plan->sections[i];
            for (int32_t j = candidate->count - 1; j >= 0 && last == nullptr; --j) {
                PlanEntry& entry = candidate->entries[j];
                if (!entry.removed && ini_same_name(entry.key, edit.key, plan->rules.ignore_case)) {
                    last = &entry;
                    section = candidate;
                }
            }
            return last != nullptr || !plan->rules.last_wins;
        });
    if (last == nullptr) {
        return set(plan, edit);
    }
    insert(section, int32_t(last - section->entries) + 1,
           {edit.key, edit.value, nullptr, -1, -1, false}, plan->rules);
    return INI_EDIT_CHANGED;
}

IniEditResult plan_apply(Plan* plan, const IniEdit& edit) {
    bool existing = (edit.flags & INI_EDIT_EXISTING) != 0;
    switch (edit.kind) {
        case INI_EDIT_SET:
            return set(plan, edit);
        case INI_EDIT_SET_ALL:
            return set_all(plan, edit);
        case INI_EDIT_ADD:
            return add(plan, edit);
        case INI_EDIT_REMOVE_KEY:
        case INI_EDIT_REMOVE_ALL:
            return remove_key(plan, edit, edit.kind == INI_EDIT_REMOVE_ALL);
        case INI_EDIT_ADD_SECTION:
            if (target_section(plan, edit.section) < 0) {
                add_section(plan, edit.section);
            }
            return INI_EDIT_CHANGED;
        case INI_EDIT_REMOVE_SECTION: {
            // Every section of the name where they read as one.
            bool removed = false;
            each_named(plan->sections, plan->count, &plan->index, edit.section, plan->rules,
                       [&](int32_t i) {
                           plan->sections[i].removed = true;
                           removed = true;
                           return !plan->rules.last_wins;
                       });
            return existing && !removed ? INI_EDIT_NO_SECTION : INI_EDIT_CHANGED;
        }
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
