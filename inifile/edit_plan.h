// What an edit makes of a loaded document, before any text is written: its
// sections and entries in file order, each either the loaded one (with the
// place the reader noted for it) or a new one, each kept or removed, with
// its value now. The changes of an edit are made to the plan one by one, as
// the readers of its dialect would see them made (a removal keeps the order
// of what stays); the edited text is then written from it, and checked
// against it.
#ifndef INIFILE_EDIT_PLAN_H_
#define INIFILE_EDIT_PLAN_H_

#include <cstddef>
#include <cstdint>

#include "inifile/ini.h"
#include "layout.h"

struct PlanIndex;

struct PlanEntry {
    const char* key;           // the loaded entry's or the edit's: both outlive the plan
    const char* value;         // now
    const char* loaded_value;  // the loaded entry's, or null for a new one
    int32_t spot;              // its place in the layout's entries, or -1: new
    int32_t commented;         // a new one: the commented-out line it takes the place
                               // of (in the layout's), or -1
    bool removed;
};

struct PlanSection {
    const char* name;
    int32_t spot;  // its place in the layout's sections, or -1: new
    bool removed;
    PlanEntry* entries;
    int32_t count;
    int32_t capacity;
    PlanIndex* index;  // of its keys, once it is searched and large
};

// How an edit finds what it changes: as the readers of its dialect do.
struct PlanRules {
    bool last_wins;    // sections of one name are one, the last entry of a key
                       // counts (the common dialect)
    bool ignore_case;  // names and keys match without regard to ASCII case
};

struct Plan {
    PlanSection* sections;
    int32_t count;
    int32_t capacity;
    PlanIndex* index;  // of the section names, once searched and many
    PlanRules rules;
    const char* text;  // the loaded text and where its lines stand
    const IniLayout* layout;
    char** values;  // values the plan made (lists), released with it
    int32_t value_count;
};

// The plan of `document` as loaded from `text` laid out as `layout`, each
// section and entry at its place in the layout (in file order, as the
// loader made them).
void plan_init(Plan* plan, const IniDocument* document, const char* text, const IniLayout* layout,
               PlanRules rules);
void plan_free(Plan* plan);

// Makes `edit`, which names what its kind needs, in the plan:
// INI_EDIT_CHANGED (whether or not it changes anything), or
// INI_EDIT_NO_SECTION or _NOT_FOUND for an INI_EDIT_EXISTING change that
// met nothing.
IniEditResult plan_apply(Plan* plan, const IniEdit& edit);

// Whether the document the plan describes differs from the loaded one.
bool plan_changes(const Plan* plan);

// Whether `document` holds exactly the sections and entries the plan keeps,
// in order.
bool plan_matches(const Plan* plan, const IniDocument* document);

#endif  // INIFILE_EDIT_PLAN_H_
