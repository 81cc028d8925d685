// The reader: bytes to logical lines (escapes, comments, continuation,
// trimming), each line checked against the structure and added to the
// document as it comes. The bytes come from a file or from a text in memory;
// one state machine reads both, so the two cannot drift apart.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files.h"
#include "internal.h"
#include "line_text.h"
#include "pages.h"

namespace {

// Bytes asked of the file per read.
constexpr size_t kChunkSize = 1024;

// The state of one input being read: a file read in chunks into `buffer`,
// or a text in memory handed over whole. Either way the state machine
// consumes the bytes from `next` to `end`.
struct LineReader {
    PlatformFile* handle;  // the open file; null when reading a text
    bool at_end;           // the end of input (or a read error) has been met
    const char* next;      // next byte to consume
    const char* end;       // end of the bytes at hand
    const char* text;      // the text not yet handed over; null once it has been
    size_t text_size;
    int64_t line_feeds;  // line feeds consumed so far
    int64_t line_start;  // physical line of the current line's first collected byte
    char buffer[kChunkSize];
    LineText line;  // the line being collected, reused for every line
};

// The bytes that end a run of plain text: all that the state machine treats
// specially except the space, which is plain once a line has begun.
constexpr char kStopBytes[] = {'\n', '\r', ';', '\\'};

struct StopTable {
    bool stops[256];
};

constexpr StopTable make_stop_table() {
    StopTable table = {};
    for (char stop : kStopBytes) {
        table.stops[static_cast<unsigned char>(stop)] = true;
    }
    return table;
}

constexpr StopTable kStopTable = make_stop_table();

}  // namespace

// Refills the bytes at hand from the source; false (and `at_end` set) at the
// end of input. A read error ends the input too: the lines before it stand.
static bool refill(LineReader* reader) {
    size_t got = 0;
    if (reader->handle != nullptr) {
        long read = platform_read(reader->handle, reader->buffer, kChunkSize);
        reader->next = reader->buffer;
        got = read > 0 ? static_cast<size_t>(read) : 0;
    } else if (reader->text != nullptr) {
        reader->next = reader->text;
        got = reader->text_size;
        reader->text = nullptr;
    }
    reader->end = reader->next + got;
    reader->at_end = got == 0;
    return got != 0;
}

// Eight bytes at a time, for the scan over plain text.
using Word = uint64_t;
constexpr Word kOnes = ~Word(0) / 0xFF;  // 0x0101...01
constexpr Word kHighBits = kOnes * 0x80;

// Non-zero when some byte of `word` equals `byte`: the classic zero-byte test
// applied to word ^ byte-pattern.
static inline Word has_byte(Word word, char byte) {
    Word match = word ^ (kOnes * static_cast<unsigned char>(byte));
    return (match - kOnes) & ~match & kHighBits;
}

// True when none of the eight bytes at `bytes` stops a run of plain text.
static inline bool all_plain(const char* bytes) {
    Word word;
    memcpy(&word, bytes, sizeof word);
    // Spelled out rather than looped: g++ -O2 does not unroll the loop, and
    // the scan then costs a third more instructions per byte.
    static_assert(sizeof kStopBytes == 4, "all_plain tests four stop bytes");
    return !(has_byte(word, kStopBytes[0]) | has_byte(word, kStopBytes[1]) |
             has_byte(word, kStopBytes[2]) | has_byte(word, kStopBytes[3]));
}

// Moves past the plain bytes from `next` on, collecting them; leading
// spaces of a line are dropped. Stops at a special byte or the buffer's end.
// Most bytes of a file take this path, whole words at a time: per byte it
// costs a fraction of the state machine's switch.
static void collect_plain_run(LineReader* reader) {
    const char* next = reader->next;
    const char* end = reader->end;
    if (line_empty(&reader->line)) {
        while (next < end && *next == ' ') {
            ++next;
        }
    }
    const char* run = next;
    while (end - next >= static_cast<ptrdiff_t>(sizeof(Word)) && all_plain(next)) {
        next += sizeof(Word);
    }
    while (next < end && !kStopTable.stops[static_cast<unsigned char>(*next)]) {
        ++next;
    }
    line_append_run(&reader->line, run, static_cast<size_t>(next - run));
    reader->next = next;
}

// Moves to the line feed that ends a comment, or to the end of the bytes at
// hand: inside a comment nothing else matters.
static void skip_comment(LineReader* reader) {
    const void* line_feed =
        memchr(reader->next, '\n', static_cast<size_t>(reader->end - reader->next));
    reader->next = line_feed == nullptr ? reader->end : static_cast<const char*>(line_feed);
}

// The next logical line, collected in the reader's line until the caller
// clears it, or null when the input holds no more. `line_start` tells where
// it began.
static LineText* ini_read_line(LineReader* reader) {
    if (reader->at_end) {
        return nullptr;
    }
    LineText* line = &reader->line;
    // Moved on by each line feed met before anything is collected.
    reader->line_start = reader->line_feeds + 1;
    bool escape = false;
    bool comment = false;
    for (;;) {
        if (reader->next == reader->end && !refill(reader)) {
            break;
        }
        if (comment) {
            skip_comment(reader);
        } else if (!escape) {
            collect_plain_run(reader);
        }
        if (reader->next == reader->end) {
            continue;
        }
        // Here the byte is special, escaped, or the line feed after a comment:
        // a comment is skipped whole up to it.
        char byte = *reader->next++;
        switch (byte) {
            case '\n':
                ++reader->line_feeds;
                if (escape || line_empty(line)) {
                    // A continued line, or one that never had any text.
                    if (line_empty(line)) {
                        reader->line_start = reader->line_feeds + 1;
                    }
                    escape = false;
                    comment = false;
                    break;
                }
                return line;
            case '\r':
                // Ignored wherever it stands, so CR LF files read like LF files.
                break;
            case ';':
                if (escape) {
                    line_append(line, byte);
                } else {
                    comment = true;
                }
                escape = false;
                break;
            case '\\':
                if (escape) {
                    line_append(line, byte);
                }
                escape = !escape;
                break;
            case ' ':
                // Escaped: dropped at the start of a line like any space.
                if (!line_empty(line)) {
                    line_append(line, byte);
                }
                escape = false;
                break;
            default:
                line_append(line, byte);  // an escaped plain byte
                escape = false;
                break;
        }
    }
    // A pending escape or comment is simply forgotten at the end of input.
    return line_empty(line) ? nullptr : line;
}

// What the loader builds as it reads: the document, and the section whose
// header came last, which is added to the document once its entries are
// known, so that it is one block of exactly their number.
struct Loader {
    IniDocument* document;
    IniPages pages;           // where its records come from
    bool in_section;          // a header has been read
    TextBuffer name;          // the last header's name, until its section is built
    IniSectionDraft entries;  // the entries read since that header
};

// Adds the section of the last header, if any, to the document.
static void finish_section(Loader* loader) {
    if (loader->in_section) {
        IniSection* section = ini_draft_finish(&loader->entries, loader->name.data,
                                               loader->name.length, &loader->pages);
        IniDocument* document = loader->document;
        ini_append_slot(&document->sections, &document->count, &document->capacity, section);
    }
}

// The line as an entry: its text is copied once, behind the record, and
// split in place at its first '=', at `equals`: the key without its trailing
// spaces, the value without its leading ones.
static IniEntry* entry_from_line(IniPages* pages, const LineText* line, size_t length,
                                 size_t equals) {
    IniEntry* entry = ini_new_entry_block(length + 1, pages);
    char* text = entry->key;
    line_copy(line, 0, length, text);
    text[length] = '\0';
    text[equals] = '\0';
    for (char* end = text + equals - 1; end >= text && *end == ' '; --end) {
        *end = '\0';
    }
    char* value = text + equals + 1;
    while (*value == ' ') {
        ++value;
    }
    entry->value = value;
    return entry;
}

// Checks one logical line against the structure and adds it: false when it
// fits nowhere. A line is a string, so whatever follows a NUL byte in it
// counts for nothing, except that the trailing spaces are dropped first.
static bool add_line(Loader* loader, const LineText* line) {
    size_t length = line_length(line);
    // The entry test comes first: "[a=b]" after a section is an entry. An
    // entry's first '=' is not its first byte, and no NUL comes before it.
    if (loader->in_section) {
        size_t equals = line_find(line, '=', length);
        if (equals != 0 && equals < length && line_find(line, '\0', equals) == equals) {
            ini_draft_append(&loader->entries,
                             entry_from_line(&loader->pages, line, length, equals));
            return true;
        }
    }
    // A header: at least "[x]", an opening bracket first, a closing one last.
    size_t visible = line_find(line, '\0', length);
    if (visible < 3 || line_byte_at(line, 0) != '[' || line_byte_at(line, visible - 1) != ']') {
        return false;
    }
    finish_section(loader);
    TextBuffer* name = &loader->name;
    name->length = 0;
    text_reserve(name, visible - 2);
    line_copy(line, 1, visible - 2, name->data);
    name->length = visible - 2;
    loader->in_section = true;
    return true;
}

// The line number a report carries for `line_start`.
static int32_t reported_line(int64_t line_start) {
    return line_start < INT32_MAX ? static_cast<int32_t>(line_start) : INT32_MAX;
}

// The document that the lines of `reader` describe, or null with the reason
// in `report` (never null). What ini_load_file and ini_load_text share.
static IniDocument* load_lines(LineReader* reader, IniLoadReport* report) {
    line_init(&reader->line);
    *report = {INI_LOAD_OK, 0};
    Loader loader = {ini_new_document(), {}, false, {}, {}};
    ini_pages_init(&loader.pages);
    text_init(&loader.name);
    ini_draft_init(&loader.entries);

    // Each line is checked and added as it comes. A bad line anywhere
    // releases everything built so far, so no partial document escapes, just
    // as if the whole file had been checked first.
    IniDocument* document = loader.document;
    while (LineText* line = ini_read_line(reader)) {
        bool added = add_line(&loader, line);
        line_clear(line);
        if (!added) {
            *report = {loader.in_section ? INI_LOAD_BAD_LINE : INI_LOAD_NO_FIRST_SECTION,
                       reported_line(reader->line_start)};
            ini_free_document(document);
            document = nullptr;
            break;
        }
    }
    if (document != nullptr) {
        finish_section(&loader);
    }
    ini_draft_free(&loader.entries);
    ini_pages_close(&loader.pages);
    text_free(&loader.name);
    line_free(&reader->line);
    return document;
}

// A reader of `handle`, or of the `size` bytes at `text` when it is null.
static void reader_start(LineReader* reader, PlatformFile* handle, const char* text, size_t size) {
    reader->handle = handle;
    reader->at_end = false;
    reader->next = nullptr;
    reader->end = nullptr;
    reader->text = text;
    reader->text_size = text == nullptr ? 0 : size;
    reader->line_feeds = 0;
    reader->line_start = 1;
}

IniDocument* ini_load(const char* path) {
    return ini_load_file(path, nullptr);
}

IniDocument* ini_load_file(const char* path, IniLoadReport* report) {
    IniLoadReport unused;
    if (report == nullptr) {
        report = &unused;
    }
    PlatformFile* file = platform_open_read(path);
    if (file == nullptr) {
        *report = {INI_LOAD_CANNOT_OPEN, 0};
        return nullptr;
    }
    LineReader reader;
    reader_start(&reader, file, nullptr, 0);
    IniDocument* document = load_lines(&reader, report);
    platform_close(file);
    return document;
}

IniDocument* ini_load_text(const char* text, size_t size, IniLoadReport* report) {
    IniLoadReport unused;
    LineReader reader;
    reader_start(&reader, nullptr, text, size);
    return load_lines(&reader, report == nullptr ? &unused : report);
}

const char* ini_load_error_text(IniLoadError error) {
    // A C caller may pass any int. In C++ a value outside the enumerators'
    // range (0 to 3) cannot be read as an IniLoadError, so its int is read.
    static_assert(sizeof(IniLoadError) == sizeof(int), "IniLoadError travels as an int");
    int kind;
    memcpy(&kind, &error, sizeof kind);
    switch (kind) {
        case INI_LOAD_OK:
            return "loaded";
        case INI_LOAD_CANNOT_OPEN:
            return "cannot open the file";
        case INI_LOAD_NO_FIRST_SECTION:
            return "the first line is not a section header";
        case INI_LOAD_BAD_LINE:
            return "a line is neither an entry nor a section header";
    }
    return "unknown load error";
}
