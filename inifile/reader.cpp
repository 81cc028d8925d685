// The reader: bytes to logical lines (escapes, comments, continuation,
// trimming), each line checked against the structure and added to the
// document as it comes. The bytes come from a file or from a text in memory;
// one state machine reads both, so the two cannot drift apart.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "line_text.h"
#include "platform.h"

namespace {

// Bytes asked of the file per read.
constexpr int32_t kChunkSize = 1024;

// A text in memory is handed to the state machine in windows of at most this
// many bytes, so that positions in it fit the same 32-bit fields as
// positions in a file's chunk. Fuzz builds make windows tiny, so that short
// inputs cross their boundaries too.
#ifdef INIFILE_TEXT_WINDOW_BYTES
constexpr size_t kTextWindow = INIFILE_TEXT_WINDOW_BYTES;
#else
constexpr size_t kTextWindow = size_t(1) << 30;
#endif

// The state of one input being read.
struct LineReader {
    PlatformFile* handle;  // the open file; null when reading a text
    bool at_end;           // the end of input (or a read error) has been met
    int32_t filled;        // bytes in `bytes` from the last refill
    int32_t position;      // next byte to consume in `bytes`
    const char* bytes;     // what is being consumed: `buffer`, or a window of the text
    const char* text;      // the text's bytes not yet handed out
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

// Refills `bytes` from the source; false (and `at_end` set) at the end of
// input. A read error ends the input too: the lines before it stand.
static bool refill(LineReader* reader) {
    long got;
    if (reader->handle != nullptr) {
        got = platform_read(reader->handle, reader->buffer, kChunkSize);
    } else {
        size_t window = reader->text_size < kTextWindow ? reader->text_size : kTextWindow;
        reader->bytes = reader->text;
        reader->text += window;
        reader->text_size -= window;
        got = static_cast<long>(window);
    }
    if (got <= 0) {
        reader->at_end = true;
        return false;
    }
    reader->filled = static_cast<int32_t>(got);
    reader->position = 0;
    return true;
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

// Moves past the plain bytes from `position` on, collecting them; leading
// spaces of a line are dropped. Stops at a special byte or the buffer's end.
// Most bytes of a file take this path, whole words at a time: per byte it
// costs a fraction of the state machine's switch.
static void collect_plain_run(LineReader* reader) {
    const char* next = reader->bytes + reader->position;
    const char* end = reader->bytes + reader->filled;
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
    reader->position = static_cast<int32_t>(next - reader->bytes);
}

// Moves to the line feed that ends a comment, or to the buffer's end:
// inside a comment nothing else matters.
static void skip_comment(LineReader* reader) {
    const char* next = reader->bytes + reader->position;
    const void* line_feed =
        memchr(next, '\n', static_cast<size_t>(reader->filled - reader->position));
    reader->position =
        line_feed == nullptr
            ? reader->filled
            : static_cast<int32_t>(static_cast<const char*>(line_feed) - reader->bytes);
}

// The next logical line, newly allocated and owned by the caller, or null
// when the input holds no more. `line_start` tells where it began.
static char* ini_read_line(LineReader* reader) {
    if (reader->at_end) {
        return nullptr;
    }
    LineText* line = &reader->line;
    // Moved on by each line feed met before anything is collected.
    reader->line_start = reader->line_feeds + 1;
    bool escape = false;
    bool comment = false;
    for (;;) {
        if (reader->position == reader->filled && !refill(reader)) {
            break;
        }
        if (comment) {
            skip_comment(reader);
        } else if (!escape) {
            collect_plain_run(reader);
        }
        if (reader->position == reader->filled) {
            continue;
        }
        // Here the byte is special, escaped, or the line feed after a comment:
        // a comment is skipped whole up to it.
        char byte = reader->bytes[reader->position++];
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
                return line_finish(line);
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
    return line_empty(line) ? nullptr : line_finish(line);
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

// The line number a report carries for `line_start`.
static int32_t reported_line(int64_t line_start) {
    return line_start < INT32_MAX ? static_cast<int32_t>(line_start) : INT32_MAX;
}

// The document that the lines of `reader` describe, or null with the reason
// in `report` (never null). What ini_load_file and ini_load_text share.
static IniDocument* load_lines(LineReader* reader, IniLoadReport* report) {
    line_init(&reader->line);
    *report = {INI_LOAD_OK, 0};

    // Each line is checked and added as it comes. A bad line anywhere
    // releases everything built so far, so no partial document escapes, just
    // as if the whole file had been checked first.
    IniDocument* document = ini_new_document();
    IniSection* section = nullptr;
    while (char* line = ini_read_line(reader)) {
        // The entry test comes first: "[a=b]" after a section is an entry.
        if (section != nullptr && is_entry_line(line)) {
            IniEntry* entry = entry_from_line(line);
            ini_append_slot(&section->entries, &section->count, &section->capacity, entry);
        } else if (is_section_line(line)) {
            section = section_from_line(line);
            ini_append_slot(&document->sections, &document->count, &document->capacity, section);
        } else {
            *report = {section == nullptr ? INI_LOAD_NO_FIRST_SECTION : INI_LOAD_BAD_LINE,
                       reported_line(reader->line_start)};
            free(line);
            ini_free_document(document);
            document = nullptr;
            break;
        }
    }
    line_free(&reader->line);
    return document;
}

// A reader of `handle`, or of the `size` bytes at `text` when it is null.
static void reader_start(LineReader* reader, PlatformFile* handle, const char* text, size_t size) {
    reader->handle = handle;
    reader->at_end = false;
    reader->filled = 0;
    reader->position = 0;
    reader->bytes = reader->buffer;
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
