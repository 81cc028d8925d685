#include "formats.h"

#include <cstdio>
#include <cstring>

#include "messages.h"
#include "names.h"

namespace {

constexpr Named<Format> kFormats[] = {{"ini", Format::kIni},
                                      {"lines", Format::kLines},
                                      {"sh", Format::kShell},
                                      {"json", Format::kJson}};

// Whether `name` may stand before '=' in a shell assignment.
bool is_shell_name(const char* name) {
    if (!((*name >= 'A' && *name <= 'Z') || (*name >= 'a' && *name <= 'z') || *name == '_')) {
        return false;
    }
    for (++name; *name != '\0'; ++name) {
        bool letter = (*name >= 'A' && *name <= 'Z') || (*name >= 'a' && *name <= 'z');
        if (!letter && !(*name >= '0' && *name <= '9') && *name != '_') {
            return false;
        }
    }
    return true;
}

// Whether `text` is well-formed UTF-8: no stray continuation byte, no
// overlong form, no surrogate, nothing above U+10FFFF.
bool is_utf8(const char* text) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    while (*at != 0) {
        unsigned char lead = *at++;
        if (lead < 0x80) {
            continue;
        }
        int more = lead >= 0xC2 && lead <= 0xDF   ? 1
                   : lead >= 0xE0 && lead <= 0xEF ? 2
                   : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                  : -1;
        if (more < 0) {
            return false;
        }
        // The second byte's range closes overlong forms and surrogates.
        unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        for (int i = 0; i < more; ++i, ++at) {
            if (*at < (i == 0 ? low : 0x80) || *at > (i == 0 ? high : 0xBF)) {
                return false;
            }
        }
    }
    return true;
}

// `text` in single quotes, safe for any shell: a quote inside ends the
// quoted text, gives an escaped quote and starts it again.
void append_shell_quoted(std::string* out, const char* text) {
    *out += '\'';
    for (; *text != '\0'; ++text) {
        if (*text == '\'') {
            *out += "'\\''";
        } else {
            *out += *text;
        }
    }
    *out += '\'';
}

// `text` as a JSON string.
void append_json_string(std::string* out, const char* text) {
    *out += '"';
    for (; *text != '\0'; ++text) {
        unsigned char byte = static_cast<unsigned char>(*text);
        switch (byte) {
            case '"':
                *out += "\\\"";
                break;
            case '\\':
                *out += "\\\\";
                break;
            case '\n':
                *out += "\\n";
                break;
            case '\r':
                *out += "\\r";
                break;
            case '\t':
                *out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    *out += escaped;
                } else {
                    *out += *text;
                }
        }
    }
    *out += '"';
}

// Appends `text` with its line feeds and backslashes escaped ("\n",
// "\\"), so that each entry stays on one line.
void append_escaped_line(std::string* out, const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == '\n') {
            *out += "\\n";
        } else if (*text == '\\') {
            *out += "\\\\";
        } else {
            *out += *text;
        }
    }
}

// "[section] key = value" for every entry, in file order, one a line.
void format_lines(const IniDocument* document, std::string* text) {
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        for (int32_t j = 0; j < section->count; ++j) {
            *text += "[";
            append_escaped_line(text, section->name);
            *text += "] ";
            append_escaped_line(text, section->entries[j]->key);
            *text += " = ";
            append_escaped_line(text, section->entries[j]->value);
            *text += "\n";
        }
    }
}

bool format_shell(const IniDocument* document, std::string* text, std::string* refusal) {
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            if (!is_shell_name(entry->key)) {
                *refusal = std::string(kNotAShellName) + entry->key;
                text->clear();
                return false;
            }
            *text += entry->key;
            *text += '=';
            append_shell_quoted(text, entry->value);
            *text += '\n';
        }
    }
    return true;
}

bool format_json(const IniDocument* document, std::string* text, std::string* refusal) {
    *text += "{";
    const char* separator = "\n";
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        *text += separator;
        separator = ",\n";
        if (!is_utf8(section->name)) {
            *refusal = kNotUtf8;
            text->clear();
            return false;
        }
        *text += "  ";
        append_json_string(text, section->name);
        *text += ": {";
        const char* between = "";
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            if (!is_utf8(entry->key) || !is_utf8(entry->value)) {
                *refusal = kNotUtf8;
                text->clear();
                return false;
            }
            *text += between;
            between = ", ";
            append_json_string(text, entry->key);
            *text += ": ";
            if (ini_has_value(entry)) {
                append_json_string(text, entry->value);
            } else {
                *text += "null";  // a key without a value
            }
        }
        *text += "}";
    }
    *text += document->count > 0 ? "\n}\n" : "}\n";
    return true;
}

}  // namespace

bool format_named(const char* name, Format* format) {
    return look_up(kFormats, name, format);
}

bool format_sections(const IniDocument* document, Format format, const IniOptions& options,
                     std::string* text, std::string* refusal) {
    switch (format) {
        case Format::kIni: {
            size_t size = 0;
            char* written = ini_write_text(document, &options, &size);
            text->assign(written, size);
            ini_free_text(written);
            return true;
        }
        case Format::kLines:
            format_lines(document, text);
            return true;
        case Format::kShell:
            return format_shell(document, text, refusal);
        case Format::kJson:
            return format_json(document, text, refusal);
    }
    return false;
}
