// The writer: a document back to text, in the escapes of the module's
// format that let keys and values read back unchanged, or in the common
// dialect's form. Edits write their new lines through the same functions.
#include <cstring>

#include "files.h"
#include "internal.h"
#include "text_buffer.h"
#include "writer.h"

static const char kSectionOpen[] = "[";
static const char kSectionClose[] = "]";

// The blanks a value's further lines take, after those of its key's line,
// in the common dialect: what configparser writes too.
static const char kContinuationIndent[] = "\t";

void ini_append_escaped(TextBuffer* line, const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == ';' || *text == '\\') {
            text_append(line, '\\');
        }
        text_append(line, *text);
    }
}

void ini_append_value(TextBuffer* out, IniDialect dialect, const char* value, const char* ending,
                      const char* indent, size_t indent_size) {
    if (dialect != INI_DIALECT_COMMON) {
        ini_append_escaped(out, value);
        return;
    }
    for (;;) {
        const char* line_feed = strchr(value, '\n');
        size_t size = line_feed == nullptr ? strlen(value) : size_t(line_feed - value);
        text_append_run(out, value, size);
        if (line_feed == nullptr) {
            return;
        }
        text_append_string(out, ending);
        value = line_feed + 1;
        if (*value != '\n' && *value != '\0') {
            text_append_run(out, indent, indent_size);
        }
    }
}

// The delimiter the writer writes, with its blanks.
static const char kDelimiter[] = " = ";

void ini_append_delimiter(TextBuffer* out, const IniEntryStyle* style, bool empty_value) {
    const char* delimiter = kDelimiter;
    size_t size = sizeof kDelimiter - 1;
    if (style != nullptr && style->delimiter != nullptr) {
        delimiter = style->delimiter;
        size = style->delimiter_size;
    }
    // The delimiter and the blanks before it; those after it only where a
    // value follows, and one where there are none but some before.
    size_t core = size;
    while (core > 1 && (delimiter[core - 1] == ' ' || delimiter[core - 1] == '\t')) {
        --core;
    }
    text_append_run(out, delimiter, core);
    if (empty_value) {
        return;
    }
    if (core < size) {
        text_append_run(out, delimiter + core, size - core);
    } else if (delimiter[0] == ' ' || delimiter[0] == '\t') {
        text_append(out, ' ');
    }
}

void ini_append_entry(TextBuffer* out, IniDialect dialect, const char* key, const char* value,
                      const char* ending, const IniEntryStyle* style) {
    if (dialect != INI_DIALECT_COMMON) {
        ini_append_escaped(out, key);
        text_append(out, '=');
        ini_append_escaped(out, value == nullptr ? "" : value);
        return;
    }
    const char* indent =
        style != nullptr && style->indent.bytes != nullptr ? style->indent.bytes : "";
    size_t indent_size =
        style != nullptr && style->indent.bytes != nullptr ? style->indent.size : 0;
    text_append_run(out, indent, indent_size);
    text_append_string(out, key);
    if (value == nullptr) {
        return;  // a key without a value
    }
    ini_append_delimiter(out, style, *value == '\0' || *value == '\n');
    ini_append_continued(out, value, ending, indent, indent_size);
}

void ini_append_continued(TextBuffer* out, const char* value, const char* ending,
                          const char* key_indent, size_t key_indent_size) {
    if (strchr(value, '\n') == nullptr) {
        text_append_string(out, value);  // no further lines to indent
        return;
    }
    TextBuffer deeper;
    text_init(&deeper);
    text_append_run(&deeper, key_indent, key_indent_size);
    text_append_string(&deeper, kContinuationIndent);
    ini_append_value(out, INI_DIALECT_COMMON, value, ending, deeper.data, deeper.length);
    text_free(&deeper);
}

void ini_append_header(TextBuffer* out, const char* name, const char* ending) {
    text_append_string(out, kSectionOpen);
    text_append_string(out, name);
    text_append_string(out, kSectionClose);
    text_append_string(out, ending);
}

void ini_append_line_break(TextBuffer* out, const char* ending, bool open_escape) {
    bool half = out->length > 0 && out->data[out->length - 1] == '\r';
    const char* rest = half ? "\n" : ending;
    text_append_string(out, rest);
    if (open_escape) {
        text_append_string(out, rest);
    }
}

IniIndent ini_new_entry_indent(IniDialect dialect, IniIndent before, IniIndent after) {
    if (dialect != INI_DIALECT_COMMON) {
        return {"", 0};
    }
    if (before.bytes != nullptr && (after.bytes == nullptr || before.size >= after.size)) {
        return before;
    }
    return after.bytes != nullptr ? after : IniIndent{"", 0};
}

bool ini_sections_separated(const char* text, size_t header_first) {
    size_t at = header_first;
    if (at == 0 || text[at - 1] != '\n') {
        return false;
    }
    --at;
    if (at > 0 && text[at - 1] == '\r') {
        --at;
    }
    return at > 0 && text[at - 1] == '\n';
}

// Writes one section: its header line (the name unescaped), then one line
// per entry, each in a single write. False when any write fails.
static bool write_section(PlatformFile* file, const IniSection* section, TextBuffer* line) {
    line->length = 0;
    ini_append_header(line, section->name, "\n");
    if (!platform_write(file, line->data, line->length)) {
        return false;
    }
    for (int32_t i = 0; i < section->count; ++i) {
        line->length = 0;
        ini_append_entry(line, INI_DIALECT_MODULE, section->entries[i]->key,
                         section->entries[i]->value, "\n", nullptr);
        text_append(line, '\n');
        if (!platform_write(file, line->data, line->length)) {
            return false;
        }
    }
    return true;
}

int ini_save(const IniDocument* document, const char* path) {
    PlatformFile* file = platform_create(path);
    if (file == nullptr) {
        return -1;
    }
    TextBuffer line;
    text_init(&line);
    bool written = true;
    for (int32_t i = 0; i < document->count && written; ++i) {
        written = write_section(file, document->sections[i], &line);
    }
    text_free(&line);
    // Some systems report a failed write only when the file is closed.
    bool closed = platform_close(file);
    return written && closed ? 0 : -2;
}

char* ini_write_text(const IniDocument* document, const IniOptions* options, size_t* size) {
    IniDialect dialect = options == nullptr ? INI_DIALECT_MODULE : options->dialect;
    TextBuffer out;
    text_init(&out);
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        // The common dialect's entries before any header have none.
        if (dialect != INI_DIALECT_COMMON || i > 0 || section->name[0] != '\0') {
            ini_append_header(&out, section->name, "\n");
        }
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            ini_append_entry(&out, dialect, entry->key,
                             ini_has_value(entry) ? entry->value : nullptr, "\n", nullptr);
            text_append(&out, '\n');
        }
    }
    *size = out.length;
    return out.data;
}
