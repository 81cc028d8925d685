// Edits in place: one entry of a text changed, added or removed, every other
// byte kept. The text is walked once more as the reader walks it, logical
// line by logical line, but with each collected byte's place in the text, so
// that a value can be replaced where it stands. Whatever the edit gives is
// loaded again and compared with the document the same change makes: an
// edit that would not read back as intended is refused, never written.
#include <cstdlib>
#include <cstring>

#include "files.h"
#include "internal.h"
#include "text_buffer.h"

namespace {

// Bytes asked of a file per read when it is taken in whole.
constexpr size_t kReadChunk = 64 * 1024;

// One logical line of the text, as the reader collects it, with where it
// stands in the text.
struct RawLine {
    size_t first;     // start of the physical line holding its first byte
    size_t end;       // just past the line feed that ends it, or the text's end
    bool ended;       // a line feed ends it
    bool crlf;        // that line feed follows a carriage return
    bool continued;   // it spans more than one physical line
    TextBuffer text;  // the collected bytes
    size_t* at;       // at[2i], at[2i+1]: where collected byte i begins in the
                      // text (its escape included) and where it ends
    size_t at_capacity;
};

// The walk over the text: where it is, and the physical line it is in.
struct Walk {
    const char* text;
    size_t size;
    size_t next;
    size_t line_start;
    bool unended;      // the text ends inside a line of text
    bool open_escape;  // ... and in an escape
};

// What is found of the edit's target while walking.
struct Target {
    bool section_found;  // the first section of that name
    size_t section_end;  // end of its header line, then of its last entry
    bool section_ended;  // that line has a line feed
    bool section_crlf;   // ... after a carriage return
    bool unended;        // the text ends inside a line of text
    bool open_escape;    // ... and in an escape
    bool entry_found;    // its first entry of that key
    size_t entry_first, entry_end;
    bool entry_continued, entry_ended, entry_crlf;
    size_t value_start, value_end;  // the value's bytes in the text
};

}  // namespace

// Appends collected byte `byte`, written from `begin` to `end` in the text.
static void collect(RawLine* line, char byte, size_t begin, size_t end) {
    if (line->text.length == line->at_capacity) {
        line->at_capacity = line->at_capacity * 2 + 16;
        line->at =
            static_cast<size_t*>(ini_reallocate(line->at, 2 * line->at_capacity * sizeof(size_t)));
    }
    line->at[2 * line->text.length] = begin;
    line->at[2 * line->text.length + 1] = end;
    text_append(&line->text, byte);
}

// Where collected byte `i` of `line` begins and ends in the text.
static size_t begin_of(const RawLine* line, size_t i) {
    return line->at[2 * i];
}

static size_t end_of(const RawLine* line, size_t i) {
    return line->at[2 * i + 1];
}

// The next logical line into `line`, by the reader's rules: false when the
// text holds no more.
static bool next_line(Walk* walk, RawLine* line) {
    line->text.length = 0;
    line->continued = false;
    bool escape = false, comment = false;
    size_t escape_at = 0;  // where the pending escape's backslash stands
    while (walk->next < walk->size) {
        size_t offset = walk->next++;
        char byte = walk->text[offset];
        if (byte == '\n') {
            bool empty = line->text.length == 0;
            if (escape || empty) {
                // A continued line, or one with no text at all.
                line->continued = !empty;
                walk->line_start = walk->next;
                escape = comment = false;
                continue;
            }
            line->end = walk->next;
            line->ended = true;
            line->crlf = offset > 0 && walk->text[offset - 1] == '\r';
            walk->line_start = walk->next;
            return true;
        }
        if (comment || byte == '\r') {
            continue;  // a comment runs to the line feed; carriage returns never count
        }
        if (byte == ';' && !escape) {
            comment = true;
        } else if (byte == '\\' && !escape) {
            escape = true;
            escape_at = offset;
            continue;
        } else if (byte != ' ' || line->text.length > 0) {
            if (line->text.length == 0) {
                line->first = walk->line_start;
            }
            collect(line, byte, escape ? escape_at : offset, offset + 1);
        }
        escape = false;
    }
    line->end = walk->size;
    line->ended = false;
    line->crlf = false;
    if (line->text.length > 0) {
        walk->unended = true;
        walk->open_escape = escape;
    }
    return line->text.length > 0;
}

// The line's length without its trailing spaces, as the loader takes it.
static size_t trimmed_length(const RawLine* line) {
    size_t length = line->text.length;
    while (length > 0 && line->text.data[length - 1] == ' ') {
        --length;
    }
    return length;
}

// The bytes before the first NUL among the first `length` at `bytes`: all
// of a line that counts.
static size_t visible_length(const char* bytes, size_t length) {
    const void* nul = memchr(bytes, '\0', length);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : length;
}

// True when the `length` bytes at `bytes` are `name`.
static bool spells(const char* bytes, size_t length, const char* name) {
    return length == strlen(name) && memcmp(bytes, name, length) == 0;
}

// Walks the text, which loads, and notes where the first section named
// `section` and its first entry of `key` stand. The loader's rules decide
// what each line is: an entry (inside a section, a first '=' after the first
// byte and no NUL before it) or else a header.
static void find_target(const char* text, size_t size, const char* section, const char* key,
                        Target* target) {
    memset(target, 0, sizeof *target);
    Walk walk = {text, size, 0, 0, false, false};
    RawLine line = {};
    text_init(&line.text);
    bool in_section = false, in_target = false;
    while (next_line(&walk, &line)) {
        size_t length = trimmed_length(&line);
        const char* bytes = line.text.data;
        const void* found = memchr(bytes, '=', length);
        size_t equals = found ? static_cast<size_t>(static_cast<const char*>(found) - bytes) : 0;
        bool entry = in_section && equals > 0 && memchr(bytes, '\0', equals) == nullptr;
        if (!entry) {
            in_section = true;
            // A header, since the text loads: "[name]" up to the first NUL.
            size_t visible = visible_length(bytes, length);
            in_target = !target->section_found && spells(bytes + 1, visible - 2, section);
            if (!in_target) {
                continue;
            }
            target->section_found = true;
        } else if (!in_target) {
            continue;
        } else if (!target->entry_found) {
            size_t key_length = equals;
            while (key_length > 0 && bytes[key_length - 1] == ' ') {
                --key_length;
            }
            if (spells(bytes, key_length, key)) {
                size_t value = equals + 1;
                while (value < length && bytes[value] == ' ') {
                    ++value;
                }
                target->entry_found = true;
                target->entry_first = line.first;
                target->entry_end = line.end;
                target->entry_continued = line.continued;
                target->entry_ended = line.ended;
                target->entry_crlf = line.crlf;
                // An empty value goes where the spaces after '=' end.
                size_t start = end_of(&line, equals);
                while (value == length && start < size && text[start] == ' ') {
                    ++start;
                }
                target->value_start = value < length ? begin_of(&line, value) : start;
                target->value_end = value < length ? end_of(&line, length - 1) : start;
            }
        }
        target->section_end = line.end;
        target->section_ended = line.ended;
        target->section_crlf = line.crlf;
    }
    target->unended = walk.unended;
    target->open_escape = walk.open_escape;
    text_free(&line.text);
    free(line.at);
}

// The line ending a new line takes: CR LF after one, else LF.
static const char* ending(bool crlf) {
    return crlf ? "\r\n" : "\n";
}

// Whether the text's last line ending is CR LF: what a new line takes where
// the line before it has none (the last line, unended).
static bool last_ending_is_crlf(const char* text, size_t size) {
    while (size > 0 && text[size - 1] != '\n') {
        --size;
    }
    return size >= 2 && text[size - 2] == '\r';
}

static void append_string(TextBuffer* out, const char* text) {
    text_append_run(out, text, strlen(text));
}

// Appends what ends the text's unended last line: a line ending, twice
// where the text ends in an escape, which would take the first one for a
// continuation.
static void append_line_break(TextBuffer* out, const char* text, size_t size, bool open_escape) {
    const char* end = ending(last_ending_is_crlf(text, size));
    append_string(out, end);
    if (open_escape) {
        append_string(out, end);
    }
}

// Appends "key=value" in the writer's escaping.
static void append_entry(TextBuffer* out, const char* key, const char* value) {
    ini_append_escaped(out, key);
    text_append(out, '=');
    ini_append_escaped(out, value);
}

// The edited text in `out`: `text` with the bytes from `from` to `to`
// replaced by `replacement`.
static void splice(TextBuffer* out, const char* text, size_t size, size_t from, size_t to,
                   const TextBuffer* replacement) {
    text_append_run(out, text, from);
    text_append_run(out, replacement->data, replacement->length);
    text_append_run(out, text + to, size - to);
}

// Whether two sections hold the same name and entries, in order.
static bool same_section(const IniSection* a, const IniSection* b) {
    if (strcmp(a->name, b->name) != 0 || a->count != b->count) {
        return false;
    }
    for (int32_t i = 0; i < a->count; ++i) {
        if (strcmp(a->entries[i]->key, b->entries[i]->key) != 0 ||
            strcmp(a->entries[i]->value, b->entries[i]->value) != 0) {
            return false;
        }
    }
    return true;
}

// Whether section `after` is `before` with the first entry of `key` set to
// `value` (appended when absent), or removed when `value` is null, the other
// entries in their order.
static bool edited_section(const IniSection* before, const IniSection* after, const char* key,
                           const char* value) {
    int32_t target = before->count;
    for (int32_t i = 0; i < before->count && target == before->count; ++i) {
        target = strcmp(before->entries[i]->key, key) == 0 ? i : target;
    }
    int32_t expected = before->count + (value == nullptr ? -1 : target == before->count);
    if (strcmp(before->name, after->name) != 0 || after->count != expected) {
        return false;
    }
    int32_t j = 0;
    for (int32_t i = 0; i < before->count; ++i) {
        if (i == target && value == nullptr) {
            continue;
        }
        const char* want = i == target ? value : before->entries[i]->value;
        if (strcmp(before->entries[i]->key, after->entries[j]->key) != 0 ||
            strcmp(want, after->entries[j]->value) != 0) {
            return false;
        }
        ++j;
    }
    return target < before->count || value == nullptr ||
           (strcmp(after->entries[j]->key, key) == 0 &&
            strcmp(after->entries[j]->value, value) == 0);
}

// Whether `after` is `before` with the edit made to the first section named
// `section` (appended, holding the entry alone, when there is none).
static bool reads_back(const IniDocument* before, const IniDocument* after, const char* section,
                       const char* key, const char* value) {
    int32_t target = before->count;
    for (int32_t i = 0; i < before->count && target == before->count; ++i) {
        target = strcmp(before->sections[i]->name, section) == 0 ? i : target;
    }
    if (after->count != before->count + (target == before->count)) {
        return false;
    }
    for (int32_t i = 0; i < before->count; ++i) {
        bool same = i == target
                        ? edited_section(before->sections[i], after->sections[i], key, value)
                        : same_section(before->sections[i], after->sections[i]);
        if (!same) {
            return false;
        }
    }
    if (target < before->count) {
        return true;
    }
    const IniSection* added = after->sections[target];
    return strcmp(added->name, section) == 0 && added->count == 1 &&
           strcmp(added->entries[0]->key, key) == 0 && strcmp(added->entries[0]->value, value) == 0;
}

// The edit of a text that loads, in `out`; the edit changes its document.
static void compose(const char* text, size_t size, const char* section, const char* key,
                    const char* value, TextBuffer* out) {
    Target target;
    find_target(text, size, section, key, &target);
    TextBuffer line;
    text_init(&line);
    if (value == nullptr) {
        // Removal: the entry's physical lines go, continuation lines included.
        splice(out, text, size, target.entry_first, target.entry_end, &line);
    } else if (target.entry_found && !target.entry_continued) {
        // Only the value's bytes change.
        ini_append_escaped(&line, value);
        splice(out, text, size, target.value_start, target.value_end, &line);
    } else if (target.entry_found) {
        // A continued entry becomes one line, ended as its last line was.
        append_entry(&line, key, value);
        if (target.entry_ended) {
            append_string(&line, ending(target.entry_crlf));
        }
        splice(out, text, size, target.entry_first, target.entry_end, &line);
    } else if (target.section_found) {
        // A new key: right after the section's last entry (or its header),
        // ended like that line; after a last line without an ending, the
        // new line keeps the text unended and the ending goes before it.
        if (target.section_ended) {
            append_entry(&line, key, value);
            append_string(&line, ending(target.section_crlf));
        } else {
            append_line_break(&line, text, size, target.open_escape);
            append_entry(&line, key, value);
        }
        splice(out, text, size, target.section_end, target.section_end, &line);
    } else {
        // A new section at the end, its lines ended as the text's last
        // ending is, after a line break where the text ends in a line (of
        // text, or a comment) that a new line would otherwise join.
        bool crlf = last_ending_is_crlf(text, size);
        if (target.unended || (size > 0 && text[size - 1] != '\n')) {
            append_line_break(&line, text, size, target.open_escape);
        }
        text_append(&line, '[');
        append_string(&line, section);
        text_append(&line, ']');
        append_string(&line, ending(crlf));
        append_entry(&line, key, value);
        append_string(&line, ending(crlf));
        splice(out, text, size, size, size, &line);
    }
    text_free(&line);
}

IniEditResult ini_edit_text(const char* text, size_t size, const char* section, const char* key,
                            const char* value, char** edited, size_t* edited_size,
                            IniLoadReport* report) {
    *edited = nullptr;
    *edited_size = 0;
    if (section == nullptr || key == nullptr) {
        return INI_EDIT_NOT_REPRESENTABLE;
    }
    IniDocument* before = ini_load_text(text, size, report);
    if (before == nullptr) {
        return INI_EDIT_DOES_NOT_LOAD;
    }
    if (text == nullptr) {
        size = 0;
    }
    // Removing an absent entry, or setting the value an entry holds
    // already, changes nothing.
    IniSection* found = ini_find_section(before, section);
    const char* current = found ? ini_get(found, key) : nullptr;
    bool unchanged =
        value == nullptr ? current == nullptr : current != nullptr && strcmp(current, value) == 0;
    TextBuffer out;
    text_init(&out);
    IniEditResult result = INI_EDIT_UNCHANGED;
    if (!unchanged) {
        compose(text, size, section, key, value, &out);
        IniDocument* after = ini_load_text(out.data, out.length, nullptr);
        bool faithful = after != nullptr && reads_back(before, after, section, key, value);
        ini_free_document(after);
        result = faithful ? INI_EDIT_CHANGED : INI_EDIT_NOT_REPRESENTABLE;
    }
    ini_free_document(before);
    if (result == INI_EDIT_CHANGED) {
        *edited = out.data;
        *edited_size = out.length;
    } else {
        text_free(&out);
    }
    return result;
}

void ini_free_text(char* text) {
    free(text);
}

// The whole file at `path` in `bytes`: false when it cannot be opened.
static bool read_whole(const char* path, TextBuffer* bytes) {
    PlatformFile* file = platform_open_read(path);
    if (file == nullptr) {
        return false;
    }
    for (;;) {
        text_reserve(bytes, kReadChunk);
        long got = platform_read(file, bytes->data + bytes->length, kReadChunk);
        if (got <= 0) {
            break;  // a read error ends the file, as it ends a load
        }
        bytes->length += static_cast<size_t>(got);
    }
    platform_close(file);
    return true;
}

IniEditResult ini_edit_file(const char* path, const char* section, const char* key,
                            const char* value, IniLoadReport* report) {
    IniLoadReport unused;
    if (report == nullptr) {
        report = &unused;
    }
    TextBuffer bytes;
    text_init(&bytes);
    if (!read_whole(path, &bytes)) {
        text_free(&bytes);
        *report = {INI_LOAD_CANNOT_OPEN, 0};
        return INI_EDIT_CANNOT_OPEN;
    }
    char* edited = nullptr;
    size_t edited_size = 0;
    IniEditResult result =
        ini_edit_text(bytes.data, bytes.length, section, key, value, &edited, &edited_size, report);
    text_free(&bytes);
    if (result == INI_EDIT_CHANGED && !platform_replace_file(path, edited, edited_size)) {
        result = INI_EDIT_CANNOT_WRITE;
    }
    free(edited);
    return result;
}

const char* ini_edit_result_text(IniEditResult result) {
    int kind;
    memcpy(&kind, &result, sizeof kind);
    switch (kind) {
        case INI_EDIT_CHANGED:
            return "changed";
        case INI_EDIT_UNCHANGED:
            return "unchanged";
        case INI_EDIT_CANNOT_OPEN:
            return "cannot open the file";
        case INI_EDIT_DOES_NOT_LOAD:
            return "the file does not load";
        case INI_EDIT_NOT_REPRESENTABLE:
            return "the file format cannot hold that name, key or value as it is";
        case INI_EDIT_CANNOT_WRITE:
            return "cannot write the file";
    }
    return "unknown edit result";
}
