// What the reader, the writer and the document model share, and nobody else.
#ifndef INIFILE_INTERNAL_H_
#define INIFILE_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ini.h"

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

struct IniPages;
struct TextBuffer;

// Appends `text` in the writer's escaping: a backslash before each
// semicolon and each backslash, so that it reads back as it is.
void ini_append_escaped(TextBuffer* out, const char* text);

// Appends a value as `dialect` writes it: escaped in the module's format;
// as it is in the common dialect, its further lines ended by `ending` and
// indented by the `indent_size` bytes at `indent` (blank lines left empty).
void ini_append_value(TextBuffer* out, IniDialect dialect, const char* value, const char* ending,
                      const char* indent, size_t indent_size);

// Appends an entry's line, not ended: "key=value", escaped, in the module's
// format; in the common dialect "key = value" after `indent`, a value of
// several lines on continuation lines one step deeper, ended by `ending`.
void ini_append_entry(TextBuffer* out, IniDialect dialect, const char* key, const char* value,
                      const char* ending, const char* indent, size_t indent_size);

// A value of the common dialect whose further lines go one step deeper than
// a key indented by `key_indent`.
void ini_append_continued(TextBuffer* out, const char* value, const char* ending,
                          const char* key_indent, size_t key_indent_size);

// An entry is one block: the record, then its text (the key, its terminator,
// the value, its terminator). The result has room for `text_size` bytes of
// text after the record; `key` points at it, `value` is for the caller to set.
// It comes from `pages`, or from the heap when that is null.
IniEntry* ini_new_entry_block(size_t text_size, IniPages* pages);

// A loaded section is built once its entries are known, so that its block
// holds exactly as many slots as the file gives it. The draft gathers them
// in a block shaped like a section's: room for the record, then the slots.
struct IniSectionDraft {
    char* block;
    size_t allocated;  // slots in `block`
    int32_t count;     // slots in use
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

// Where a loaded text's sections and entries stand in it, in file order:
// what the reader notes for an edit, so that the edit needs no line rules of
// its own. Offsets count from the start of the text.
struct IniEntrySpot {
    size_t first;                // start of the physical line holding its first byte
    size_t end;                  // just past the line feed ending its last line, or the text's end
    size_t value_begin;          // its value's bytes on its first line, escapes included;
    size_t value_end;            // an empty value: both where it would begin
    size_t indent;               // blanks before the key on its first line (common dialect)
    size_t continuation_indent;  // the first continuation line's leading blanks:
    size_t continuation_indent_length;  // where, and how many (common dialect)
    bool continued;                     // more than one physical line
    bool ended;                         // a line feed ends it
    bool crlf;                          // ... after a carriage return
};

struct IniSectionSpot {
    size_t first;     // its header's physical lines; both where the text's
    size_t end;       // lines begin for the section of entries before any header
    size_t indent;    // blanks before the header's '[' (common dialect)
    bool ended;       // a line feed ends the header
    bool crlf;        // ... after a carriage return
    int32_t entries;  // its entries: the next ones in the layout's entries
};

struct IniLayout {
    IniSectionSpot* sections;
    size_t section_count;
    size_t section_capacity;
    IniEntrySpot* entries;
    size_t entry_count;
    size_t entry_capacity;
    bool open_escape;  // the text ends in an escape (module format)
    bool open_line;    // ... or inside a logical line, one continued at its end, say
};

void ini_layout_init(IniLayout* layout);
void ini_layout_free(IniLayout* layout);

// ini_load_text_with noting in `layout` (when not null) where each section
// and entry stands.
IniDocument* ini_load_laid_out(const char* text, size_t size, IniDialect dialect,
                               IniLoadReport* report, IniLayout* layout);

#endif  // INIFILE_INTERNAL_H_
