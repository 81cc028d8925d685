// The writer's line composition, shared by ini_save and the edit in place:
// how a value, an entry and a continued value look when written, in each
// dialect. Private to the module.
#ifndef INIFILE_WRITER_H_
#define INIFILE_WRITER_H_

#include <cstddef>

#include "inifile/ini.h"

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

#endif  // INIFILE_WRITER_H_
