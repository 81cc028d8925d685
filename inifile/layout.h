// The reader-to-editor contract: where a loaded text's sections and entries
// stand in it. The reader notes it while it loads (reader.cpp and the line
// rules), the edit splices the text by it (edit.cpp), so that the edit needs
// no line rules of its own. Private to the module.
#ifndef INIFILE_LAYOUT_H_
#define INIFILE_LAYOUT_H_

#include <cstddef>
#include <cstdint>

#include "inifile/ini.h"

// Where a loaded text's sections and entries stand in it, in file order:
// what the reader notes for an edit, so that the edit needs no line rules of
// its own. Offsets count from the start of the text.
struct IniEntrySpot {
    size_t first;                // start of the physical line holding its first byte
    size_t end;                  // just past the line feed ending its last line, or the text's end
    size_t value_begin;          // its value's bytes on its first line, escapes included;
    size_t value_end;            // an empty value: both where it would begin
    size_t indent;               // blanks before the key on its first line (common dialect)
    size_t key_end;              // just past its key (common dialect): the bytes from
                                 // there to value_begin are its delimiter and blanks
    size_t continuation_indent;  // the first continuation line's leading blanks:
    size_t continuation_indent_length;  // where, and how many (common dialect)
    size_t comments;                    // comment lines among its lines (common dialect): the
    size_t comment_count;               // next ones of the layout's comments, from index `comments`
    bool has_delimiter;                 // a key without a value has none (common dialect)
    bool continued;                     // more than one physical line
    bool ended;                         // a line feed ends it
    bool crlf;                          // ... after a carriage return
};

// One whole physical line, its line feed included.
struct IniLineSpan {
    size_t first;
    size_t end;
};

struct IniSectionSpot {
    size_t first;     // its header's physical lines; both where the text's
    size_t end;       // lines begin for the section of entries before any header
    size_t indent;    // blanks before the header's '[' (common dialect)
    bool ended;       // a line feed ends the header
    bool crlf;        // ... after a carriage return
    int32_t entries;  // its entries: the next ones in the layout's entries
};

// A comment line that comments out an entry (common dialect): ";key =",
// "# key = value", "#key". Its key and where its value would begin.
struct IniCommentedEntry {
    size_t first;  // the whole line, its line feed included
    size_t end;
    size_t indent;     // blanks before its comment mark
    size_t key_begin;  // the key's bytes
    size_t key_end;
    size_t value_begin;  // past the delimiter and its blanks; key_end where none
    bool ended;
    bool crlf;
    size_t section;  // in the layout's sections
};

struct IniLayout {
    IniSectionSpot* sections;
    size_t section_count;
    size_t section_capacity;
    IniEntrySpot* entries;
    size_t entry_count;
    size_t entry_capacity;
    IniLineSpan* comments;  // the comment lines that stand among an entry's lines
    size_t comment_count;
    size_t comment_capacity;
    IniCommentedEntry* commented;  // comment lines that comment out an entry
    size_t commented_count;
    size_t commented_capacity;
    bool open_escape;  // the text ends in an escape (module format)
    bool open_line;    // ... or inside a logical line, one continued at its end, say
};

void ini_layout_init(IniLayout* layout);
void ini_layout_free(IniLayout* layout);

// ini_load_text_with noting in `layout` (when not null) where each section
// and entry stands.
IniDocument* ini_load_laid_out(const char* text, size_t size, const IniOptions* options,
                               IniLoadReport* report, IniLayout* layout);

#endif  // INIFILE_LAYOUT_H_
