// The reader: bytes to logical lines (escapes, comments, continuation,
// trimming), then the structure check, then the document.
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform.h"
#include "text_buffer.h"

namespace {

// Bytes asked of the file per read.
constexpr int32_t kChunkSize = 1024;

// The state of one file being read.
struct LineReader {
    PlatformFile* handle;
    bool at_end;       // the end of input (or a read error) has been met
    int32_t filled;    // bytes in `buffer` from the last read
    int32_t position;  // next byte to consume in `buffer`
    char buffer[kChunkSize];
};

// The loader's lines, in file order.
struct LineList {
    int32_t count;
    int32_t capacity;
    char** lines;
};

}  // namespace

// Drops the trailing spaces of `text` and hands over its storage, terminated.
static char* finish_line(TextBuffer* text) {
    while (text->length > 0 && text->data[text->length - 1] == ' ') {
        --text->length;
    }
    return text_release(text);
}

// The next logical line, newly allocated and owned by the caller, or null
// when the input holds no more.
static char* ini_read_line(LineReader* reader) {
    if (reader->at_end) {
        return nullptr;
    }
    TextBuffer text;
    text_init(&text);
    bool escape = false;
    bool comment = false;
    for (;;) {
        if (reader->position == reader->filled) {
            long got = platform_read(reader->handle, reader->buffer, kChunkSize);
            if (got <= 0) {
                // A read error ends the input too: the lines before it stand.
                reader->at_end = true;
                break;
            }
            reader->filled = static_cast<int32_t>(got);
            reader->position = 0;
        }
        char byte = reader->buffer[reader->position++];
        switch (byte) {
            case '\n':
                if (escape || text.length == 0) {
                    // A continued line, or one that never had any text.
                    escape = false;
                    comment = false;
                    break;
                }
                return finish_line(&text);
            case '\r':
                // Ignored wherever it stands, so CR LF files read like LF files.
                break;
            case ' ':
                if (!comment && text.length > 0) {
                    text_append(&text, byte);
                }
                escape = false;
                break;
            case ';':
                if (!comment) {
                    if (escape) {
                        text_append(&text, byte);
                    } else {
                        comment = true;
                    }
                }
                escape = false;
                break;
            case '\\':
                if (comment) {
                    break;
                }
                if (escape) {
                    text_append(&text, byte);
                }
                escape = !escape;
                break;
            default:
                if (!comment) {
                    text_append(&text, byte);
                }
                escape = false;
                break;
        }
    }
    if (text.length == 0) {
        text_free(&text);
        return nullptr;
    }
    return finish_line(&text);
}

// At least "[x]": an opening bracket first, a closing bracket last.
static bool is_section_line(const char* line) {
    size_t length = strlen(line);
    return length >= 3 && line[0] == '[' && line[length - 1] == ']';
}

// A first '=' that is not the first byte.
static bool is_entry_line(const char* line) {
    const char* equals = strchr(line, '=');
    return equals != nullptr && equals != line;
}

// The first line must open a section; every later one adds an entry or opens
// a section.
static bool has_valid_structure(const LineList* list) {
    if (list->count > 0 && !is_section_line(list->lines[0])) {
        return false;
    }
    for (int32_t i = 1; i < list->count; ++i) {
        if (!is_entry_line(list->lines[i]) && !is_section_line(list->lines[i])) {
            return false;
        }
    }
    return true;
}

// Strips the brackets in place; the line's storage becomes the section name.
static IniSection* section_from_line(char* line) {
    size_t length = strlen(line);
    memmove(line, line + 1, length - 2);
    line[length - 2] = '\0';
    return ini_section_adopting_name(line);
}

// Splits the line in place at its first '='; the line's storage becomes the
// entry's block, the key without its trailing spaces, the value without its
// leading ones.
static IniEntry* entry_from_line(char* line) {
    char* equals = strchr(line, '=');
    *equals = '\0';
    for (char* end = equals - 1; end >= line && *end == ' '; --end) {
        *end = '\0';
    }
    char* value = equals + 1;
    while (*value == ' ') {
        ++value;
    }
    return ini_entry_adopting_block(line, value);
}

static void free_lines(LineList* list) {
    for (int32_t i = 0; i < list->count; ++i) {
        free(list->lines[i]);
    }
    free(list->lines);
}

IniDocument* ini_load(const char* path) {
    PlatformFile* file = platform_open_read(path);
    if (file == nullptr) {
        return nullptr;
    }
    LineReader reader = {file, false, 0, 0, {}};
    LineList list = {0, kInitialSlots,
                     static_cast<char**>(ini_allocate(sizeof(char*) * kInitialSlots))};
    while (char* line = ini_read_line(&reader)) {
        ini_append_slot(&list.lines, &list.count, &list.capacity, line);
    }
    platform_close(file);

    // The whole structure is checked before anything is built, so a bad line
    // anywhere leaves no partial document behind.
    if (!has_valid_structure(&list)) {
        free_lines(&list);
        return nullptr;
    }
    IniDocument* document = ini_new_document();
    IniSection* section = nullptr;
    for (int32_t i = 0; i < list.count; ++i) {
        char* line = list.lines[i];
        // The entry test comes first: "[a=b]" after a section is an entry.
        if (section != nullptr && is_entry_line(line)) {
            IniEntry* entry = entry_from_line(line);
            ini_append_slot(&section->entries, &section->count, &section->capacity, entry);
        } else {
            section = section_from_line(line);
            ini_append_slot(&document->sections, &document->count, &document->capacity, section);
        }
    }
    free(list.lines);  // the lines themselves now belong to the document
    return document;
}
