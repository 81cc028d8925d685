// The line rules of the common dialect, as Python's configparser reads a
// file with its defaults: whole-line comments after '#' or ';', no escapes,
// the first '=' or ':' between key and value, spaces and tabs trimmed, and
// lines indented deeper than their key continuing its value; with
// INI_INLINE_COMMENTS and INI_ALLOW_NO_VALUE as configparser's
// inline_comment_prefixes=(';', '#') and allow_no_value. An entry is known
// to be complete only when a line that does not continue it comes, so it is
// held until then.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "reader.h"

namespace {

// One physical line as read: its content (without its line ending) is in
// the reader's line.
struct Physical {
    int64_t number;  // from 1
    size_t first;    // where it begins in the text (layout only)
    size_t end;      // just past its line feed, or the text's end
    bool ended;      // a line feed ends it
    bool crlf;       // ... after a carriage return
};

// The entry whose lines are being read.
struct Held {
    bool active;
    LineText line;              // its first line
    size_t key_begin, key_end;  // in `line`
    size_t value_begin, value_end;
    size_t indent;       // blanks before its key
    TextBuffer more;     // the lines that continue its value, each after a line feed
    size_t blank_lines;  // blank lines since its last line: kept only inside the value
    IniEntrySpot spot;   // where it stands (layout only)
    size_t comments;     // comment lines noted since its last line: its own only
                         // where a line continues it after them
    bool no_value;       // a key alone (INI_ALLOW_NO_VALUE): never continued
};

bool is_blank(char byte) {
    return byte == ' ' || byte == '\t';
}

bool is_comment(char byte) {
    return byte == '#' || byte == ';';
}

}  // namespace

// Reads the next physical line into the reader's line: false at the end of
// input. A carriage return before its line feed (or at the input's end)
// belongs to the line ending.
static bool next_physical(LineReader* reader, Physical* physical) {
    if (reader->at_end) {
        return false;
    }
    LineText* line = &reader->line;
    physical->number = reader->line_feeds + 1;
    physical->ended = false;
    bool any = false;
    for (;;) {
        if (reader->next == reader->end && !reader_refill(reader)) {
            break;
        }
        if (!any && reader->origin != nullptr) {
            physical->first = reader_offset(reader, reader->next);
        }
        any = true;
        size_t available = size_t(reader->end - reader->next);
        const char* line_feed = static_cast<const char*>(memchr(reader->next, '\n', available));
        const char* stop = line_feed == nullptr ? reader->end : line_feed;
        line_append_run(line, reader->next, size_t(stop - reader->next));
        reader->next = stop;
        if (line_feed != nullptr) {
            ++reader->next;
            ++reader->line_feeds;
            physical->ended = true;
            break;
        }
    }
    if (!any) {
        return false;
    }
    TextBuffer* tail = &line->tail;
    physical->crlf = tail->length > 0 && tail->data[tail->length - 1] == '\r';
    if (physical->crlf) {
        --tail->length;
    }
    if (reader->origin != nullptr) {
        physical->end = reader_offset(reader, reader->next);
    }
    return true;
}

// Adds the held entry to the document: its key, its first line's value, and
// the lines that continue it, in one block.
static void release_held(Loader* loader, Held* held) {
    if (!held->active) {
        return;
    }
    held->active = false;
    if (loader->layout != nullptr) {
        loader->layout->comment_count -= held->comments;  // they stand after it
    }
    held->comments = 0;
    size_t key = held->key_end - held->key_begin;
    size_t value = held->value_end - held->value_begin;
    size_t more = held->more.length;
    IniEntry* entry = loader_new_entry(loader, key + value + more + 2);
    char* text = entry->key;
    line_copy(&held->line, held->key_begin, key, text);
    text[key] = '\0';
    entry->value = held->no_value ? ini_no_value(entry) : text + key + 1;
    line_copy(&held->line, held->value_begin, value, entry->value);
    memcpy(entry->value + value, held->more.data, more);
    entry->value[value + more] = '\0';
    loader_add_entry(loader, entry);
    if (loader->layout != nullptr) {
        loader_note_entry(loader, held->spot);
    }
}

// Where the blanks at either end of the line's `size` bytes stop: the first
// byte after the leading ones in `*begin`, the byte after the last other
// one in `*end`.
static void trim(const LineText* line, size_t size, size_t* begin, size_t* end) {
    *begin = 0;
    while (*begin < size && is_blank(line_byte_at(line, *begin))) {
        ++*begin;
    }
    *end = size;
    while (*end > *begin && is_blank(line_byte_at(line, *end - 1))) {
        --*end;
    }
}

// The index of the last ']' among the bytes [from, to), or `to`.
static size_t last_bracket(const LineText* line, size_t from, size_t to) {
    for (size_t at = to; at > from; --at) {
        if (line_byte_at(line, at - 1) == ']') {
            return at - 1;
        }
    }
    return to;
}

// The index of the first '=' or ':' among the bytes [from, to), or `to`.
static size_t first_delimiter(const LineText* line, size_t from, size_t to) {
    for (size_t at = from; at < to; ++at) {
        char byte = line_byte_at(line, at);
        if (byte == '=' || byte == ':') {
            return at;
        }
    }
    return to;
}

// Opens the section of the header "[name]" whose brackets stand at
// `open` and `close`; its name is trimmed.
static void open_section(Loader* loader, const LineText* line, size_t open, size_t close,
                         const Physical& physical) {
    size_t begin = open + 1;
    size_t end = close;
    while (begin < end && is_blank(line_byte_at(line, begin))) {
        ++begin;
    }
    while (end > begin && is_blank(line_byte_at(line, end - 1))) {
        --end;
    }
    loader_open_section(loader, line, begin, end - begin);
    if (loader->layout != nullptr) {
        loader_note_section(loader,
                            {physical.first, physical.end, open, physical.ended, physical.crlf, 0});
    }
}

// Makes the line in the reader an entry that is held until a line that
// does not continue it comes: false when it has no key, or no delimiter
// where every key needs one.
static bool hold_entry(LineReader* reader, Loader* loader, Held* held, size_t indent, size_t end,
                       const Physical& physical) {
    LineText* line = &reader->line;
    size_t delimiter = first_delimiter(line, indent, end);
    bool no_value = delimiter == end && (loader->flags & INI_ALLOW_NO_VALUE) != 0;
    if ((delimiter == end && !no_value) || delimiter == indent) {
        return false;
    }
    if (!loader->in_section) {
        // Entries before any header: a section named "" holds them.
        loader_open_section(loader, line, 0, 0);
        if (loader->layout != nullptr) {
            loader_note_section(loader, {physical.first, physical.first, 0, false, false, 0});
        }
    }
    size_t key_end = delimiter;
    while (is_blank(line_byte_at(line, key_end - 1))) {
        --key_end;
    }
    size_t value_begin = no_value ? end : delimiter + 1;
    while (value_begin < end && is_blank(line_byte_at(line, value_begin))) {
        ++value_begin;
    }
    held->active = true;
    held->no_value = no_value;
    std::swap(held->line, *line);  // the reader collects the next line in the other
    held->key_begin = indent;
    held->key_end = key_end;
    held->value_begin = value_begin;
    held->value_end = end;
    held->indent = indent;
    held->more.length = 0;
    held->blank_lines = 0;
    if (loader->layout != nullptr) {
        IniEntrySpot& spot = held->spot;
        spot = {};
        spot.first = physical.first;
        spot.end = physical.end;
        spot.ended = physical.ended;
        spot.crlf = physical.crlf;
        spot.indent = indent;
        spot.key_end = physical.first + key_end;
        spot.has_delimiter = !no_value;
        spot.value_begin = physical.first + value_begin;
        spot.value_end = physical.first + end;
    }
    return true;
}

// Where an inline comment begins among the bytes [from, to): a ';' or '#'
// after a blank, as configparser's inline_comment_prefixes take it; `to`
// where there is none.
static size_t inline_comment(const LineText* line, size_t from, size_t to) {
    for (size_t at = from + 1; at < to; ++at) {
        if (is_comment(line_byte_at(line, at)) && is_blank(line_byte_at(line, at - 1))) {
            return at;
        }
    }
    return to;
}

// Notes the comment line in the reader when it comments out an entry of the
// current section: a comment mark, blanks, a key, and a delimiter or the
// line's end (layout only).
static void note_commented(Loader* loader, const LineText* line, size_t mark, size_t end,
                           const Physical& physical) {
    size_t key_begin = mark + 1;
    while (key_begin < end && is_blank(line_byte_at(line, key_begin))) {
        ++key_begin;
    }
    size_t delimiter = first_delimiter(line, key_begin, end);
    size_t key_end = delimiter;
    while (key_end > key_begin && is_blank(line_byte_at(line, key_end - 1))) {
        --key_end;
    }
    if (key_end == key_begin || loader->layout->section_count == 0) {
        return;
    }
    size_t value_begin = delimiter == end ? key_end : delimiter + 1;
    while (value_begin < end && is_blank(line_byte_at(line, value_begin))) {
        ++value_begin;
    }
    size_t first = physical.first;
    loader_note_commented(
        loader, {first, physical.end, mark, first + key_begin, first + key_end, first + value_begin,
                 physical.ended, physical.crlf, loader->layout->section_count - 1});
}

// Adds the line in the reader to the held entry's value, after a line feed
// for each blank line before it and one for itself.
static void continue_held(LineReader* reader, Loader* loader, Held* held, size_t indent, size_t end,
                          const Physical& physical) {
    for (size_t i = 0; i <= held->blank_lines; ++i) {
        text_append(&held->more, '\n');
    }
    held->blank_lines = 0;
    size_t size = end - indent;
    text_reserve(&held->more, size);
    line_copy(&reader->line, indent, size, held->more.data + held->more.length);
    held->more.length += size;
    if (loader->layout != nullptr) {
        IniEntrySpot& spot = held->spot;
        if (spot.comment_count == 0) {
            spot.comments = loader->layout->comment_count - held->comments;
        }
        spot.comment_count += held->comments;
        held->comments = 0;
        if (!spot.continued) {
            spot.continuation_indent = physical.first;
            spot.continuation_indent_length = indent;
        }
        spot.continued = true;
        spot.end = physical.end;
        spot.ended = physical.ended;
        spot.crlf = physical.crlf;
    }
}

bool read_common_lines(LineReader* reader, Loader* loader, IniLoadReport* report) {
    Held held = {};
    line_init(&held.line);
    text_init(&held.more);
    Physical physical = {};
    bool read = true;
    while (next_physical(reader, &physical)) {
        LineText* line = &reader->line;
        size_t indent = 0;
        size_t end = 0;
        trim(line, line_total(line), &indent, &end);
        size_t content_end = end;
        bool comment = indent < end && is_comment(line_byte_at(line, indent));
        if (!comment && indent < end && (loader->flags & INI_INLINE_COMMENTS) != 0) {
            end = inline_comment(line, indent, end);
            while (end > indent && is_blank(line_byte_at(line, end - 1))) {
                --end;
            }
        }
        if (indent == end && indent == content_end) {
            held.blank_lines += held.active ? 1 : 0;
        } else if (comment || indent == end) {
            // A comment neither ends nor continues a value; one that lines
            // of the value follow is kept by an edit of the entry.
            if (held.active && loader->layout != nullptr) {
                loader_note_comment(loader, {physical.first, physical.end});
                ++held.comments;
            }
            if (comment && loader->layout != nullptr) {
                note_commented(loader, line, indent, content_end, physical);
            }
        } else if (held.active && indent > held.indent && !held.no_value) {
            continue_held(reader, loader, &held, indent, end, physical);
        } else {
            release_held(loader, &held);
            size_t close =
                line_byte_at(line, indent) == '[' ? last_bracket(line, indent, end) : end;
            if (close != end && close >= indent + 2) {
                open_section(loader, line, indent, close, physical);
            } else if (!hold_entry(reader, loader, &held, indent, end, physical)) {
                *report = {INI_LOAD_BAD_LINE, reported_line(physical.number)};
                read = false;
                break;
            }
        }
        line_clear(&reader->line);
    }
    if (read) {
        release_held(loader, &held);
    }
    line_free(&held.line);
    text_free(&held.more);
    return read;
}
