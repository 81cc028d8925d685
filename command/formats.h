// The forms `inifile get` prints a section or a whole file in, for the
// shell and for other programs.
#ifndef COMMAND_FORMATS_H_
#define COMMAND_FORMATS_H_

#include <string>

#include "inifile/ini.h"

enum class Format { kIni, kLines, kShell, kJson };

// The format named `name` ("ini", "lines", "sh", "json"): false for any
// other name.
bool format_named(const char* name, Format* format);

// `document`'s sections (all of them, or the one given: the readers' view,
// each name and key once) in `format`, into `text`. False, with the reason in `refusal` and nothing
// in `text`, where the format cannot carry them: a key that is not a shell name (sh), text that is
// not UTF-8 (json). The ini form is the writer's, in `options`' dialect.
bool format_sections(const IniDocument* document, Format format, const IniOptions& options,
                     std::string* text, std::string* refusal);

#endif  // COMMAND_FORMATS_H_
