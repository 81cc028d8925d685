// The writer: a document back to the file format, with the escapes that let
// keys and values read back unchanged.
#include <cstring>

#include "files.h"
#include "internal.h"
#include "text_buffer.h"

static const char kSectionOpen[] = "[";
static const char kSectionClose[] = "]\n";

void ini_append_escaped(TextBuffer* line, const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == ';' || *text == '\\') {
            text_append(line, '\\');
        }
        text_append(line, *text);
    }
}

// Writes one section: its header (the name unescaped), then one line per
// entry, each in a single write. False when any write fails.
static bool write_section(PlatformFile* file, const IniSection* section, TextBuffer* line) {
    if (!platform_write(file, kSectionOpen, sizeof kSectionOpen - 1) ||
        !platform_write(file, section->name, strlen(section->name)) ||
        !platform_write(file, kSectionClose, sizeof kSectionClose - 1)) {
        return false;
    }
    for (int32_t i = 0; i < section->count; ++i) {
        line->length = 0;
        ini_append_escaped(line, section->entries[i]->key);
        text_append(line, '=');
        ini_append_escaped(line, section->entries[i]->value);
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
