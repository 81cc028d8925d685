// The writer's line composition, shared by ini_save and the edit in place:
// how a value, an entry and a continued value look when written, in each
// dialect. Private to the module.
#ifndef INIFILE_WRITER_H_
#define INIFILE_WRITER_H_

#include <cstddef>

#include "inifile/ini.h"

struct TextBuffer;

// Blanks that begin a line: bytes of a text, or none.
struct IniIndent {
    const char* bytes;  // null: none found
    size_t size;
};

// Appends `text` in the writer's escaping: a backslash before each
// semicolon and each backslash, so that it reads back as it is.
void ini_append_escaped(TextBuffer* out, const char* text);

// Appends a value as `dialect` writes it: escaped in the module's format;
// as it is in the common dialect, its further lines ended by `ending` and
// indented by the `indent_size` bytes at `indent` (blank lines left empty).
void ini_append_value(TextBuffer* out, IniDialect dialect, const char* value, const char* ending,
                      const char* indent, size_t indent_size);

// How a new entry looks in the common dialect: the blanks before its key,
// and its delimiter with the blanks around it (" = ", "=", ": "), as an
// entry of its file has them; null bytes: the writer's own (" = ").
struct IniEntryStyle {
    IniIndent indent;
    const char* delimiter;
    size_t delimiter_size;
};

// Appends an entry's line, not ended: "key=value", escaped, in the module's
// format; in the common dialect "key = value" in `style` (null: the
// writer's), a value of several lines on continuation lines one step
// deeper, ended by `ending`, and a key without a value (a null `value`)
// alone.
void ini_append_entry(TextBuffer* out, IniDialect dialect, const char* key, const char* value,
                      const char* ending, const IniEntryStyle* style);

// Appends the delimiter of `style` (null: the writer's) before a value,
// empty or not: a delimiter with a blank before it gets one after it too
// where a value follows, and none where none does.
void ini_append_delimiter(TextBuffer* out, const IniEntryStyle* style, bool empty_value);

// A value of the common dialect whose further lines go one step deeper than
// a key indented by `key_indent`.
void ini_append_continued(TextBuffer* out, const char* value, const char* ending,
                          const char* key_indent, size_t key_indent_size);

// Appends a section's header line, "[name]", ended by `ending`. The name is
// written as it is: no escape would read back inside the brackets.
void ini_append_header(TextBuffer* out, const char* name, const char* ending);

// Ends the line in `out` so that a new line can follow: with `ending`, but
// only its line feed after a carriage return already there (the common
// dialect would take a second one for a byte of the line), and twice after
// an escape still open at the end of a text (module format), which would
// take the first for a continuation.
void ini_append_line_break(TextBuffer* out, const char* ending, bool open_escape);

// The blanks a new entry is indented by: none in the module's format; in
// the common dialect those of the entry before it in its section (or, where
// there is none, of the line after it), but no fewer than those of the line
// after it (the next entry or header): a line indented deeper than an entry
// continues its value, and the entry before may be one that no line
// continues (a key without a value).
IniIndent ini_new_entry_indent(IniDialect dialect, IniIndent before, IniIndent after);

// Whether a text separates its sections by an empty line: the line before
// the header at `header_first` (not the text's first) is empty. A new
// section is then written after one too.
bool ini_sections_separated(const char* text, size_t header_first);

#endif  // INIFILE_WRITER_H_
