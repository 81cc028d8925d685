// The line rules of the module's own format: bytes to logical lines
// (escapes, comments, continuation, trimming), each line checked against the
// structure (a section header first, then entries and headers) and added to
// the document. For an edit, it also notes where each collected byte stood.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "reader.h"

namespace {

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

// Collected bytes that came from consecutive bytes of the text, or one
// escaped byte (its backslash, then it).
struct Run {
    size_t collected;  // index in the line of its first byte
    size_t offset;     // where that byte, or its backslash, stands in the text
    bool escaped;
    size_t escaped_end;  // escaped: just past the byte, which ignored CRs may
                         // keep apart from its backslash
};

// Where the line being collected stands in the text: what an edit needs,
// noted only when it asks (a text in memory).
struct LineSpot {
    size_t first;  // start of the physical line holding its first byte
    size_t end;    // just past its line feed, or the text's end
    bool ended;
    bool crlf;
    bool continued;
    bool open_escape;  // the text ended in an escape
    bool open_line;    // ... or inside a line (one continued, say)
    Run* runs;
    size_t count;
    size_t capacity;
};

}  // namespace

// Notes that `size` bytes collected from index `collected` on come from the
// text at `offset`, escaped (one byte, ending at `escaped_end`) or not.
static void note_run(LineSpot* spot, size_t collected, size_t offset, size_t size, bool escaped,
                     size_t escaped_end) {
    if (!escaped && spot->count > 0) {
        const Run& last = spot->runs[spot->count - 1];
        if (!last.escaped && last.offset + (collected - last.collected) == offset) {
            return;  // it goes on where the last run stopped
        }
    }
    if (size == 0) {
        return;
    }
    if (spot->count == spot->capacity) {
        spot->capacity = spot->capacity * 2 + 8;
        spot->runs = static_cast<Run*>(ini_reallocate(spot->runs, spot->capacity * sizeof(Run)));
    }
    spot->runs[spot->count++] = {collected, offset, escaped, escaped_end};
}

// The run holding collected byte `index`.
static const Run* run_of(const LineSpot* spot, size_t index) {
    size_t low = 0;
    size_t high = spot->count;
    while (high - low > 1) {
        size_t middle = low + (high - low) / 2;
        (spot->runs[middle].collected <= index ? low : high) = middle;
    }
    return &spot->runs[low];
}

// Where collected byte `index` begins in the text (at its backslash, if
// escaped), and where it ends.
static size_t begin_of(const LineSpot* spot, size_t index) {
    const Run* run = run_of(spot, index);
    return run->offset + (index - run->collected);
}

static size_t end_of(const LineSpot* spot, size_t index) {
    const Run* run = run_of(spot, index);
    return run->escaped ? run->escaped_end : run->offset + (index - run->collected) + 1;
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
template <bool kNoting>
static void collect_plain_run(LineReader* reader, LineSpot* spot) {
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
    size_t size = static_cast<size_t>(next - run);
    if (kNoting) {
        note_run(spot, line_total(&reader->line), reader_offset(reader, run), size, false, 0);
    }
    line_append_run(&reader->line, run, size);
    reader->next = next;
}

// Moves to the line feed that ends a comment, or to the end of the bytes at
// hand: inside a comment nothing else matters.
static void skip_comment(LineReader* reader) {
    const void* line_feed =
        memchr(reader->next, '\n', static_cast<size_t>(reader->end - reader->next));
    reader->next = line_feed == nullptr ? reader->end : static_cast<const char*>(line_feed);
}

// Collects one escaped byte, whose backslash stood at `escape_at`.
template <bool kNoting>
static void collect_escaped(LineReader* reader, LineSpot* spot, char byte, const char* escape_at) {
    if (kNoting) {
        note_run(spot, line_total(&reader->line), reader_offset(reader, escape_at), 1, true,
                 reader_offset(reader, reader->next));
    }
    line_append(&reader->line, byte);
}

// The next logical line, collected in the reader's line until the caller
// clears it, or null when the input holds no more. `line_start` tells where
// it began; `spot`, when not null (a text in memory), where its bytes stand.
template <bool kNoting>
static LineText* next_line(LineReader* reader, LineSpot* spot) {
    if (reader->at_end) {
        return nullptr;
    }
    LineText* line = &reader->line;
    // Moved on by each line feed met before anything is collected.
    reader->line_start = reader->line_feeds + 1;
    if (kNoting) {
        spot->count = 0;
        spot->continued = false;
        spot->first = reader_offset(reader, reader->next);
    }
    const char* escape_at = nullptr;  // the pending escape's backslash
    bool escape = false;
    bool comment = false;
    for (;;) {
        if (reader->next == reader->end && !reader_refill(reader)) {
            break;
        }
        if (comment) {
            skip_comment(reader);
        } else if (!escape) {
            collect_plain_run<kNoting>(reader, spot);
        }
        if (reader->next == reader->end) {
            continue;
        }
        // Here the byte is special, escaped, or the line feed after a comment:
        // a comment is skipped whole up to it.
        const char* at = reader->next++;
        char byte = *at;
        switch (byte) {
            case '\n':
                ++reader->line_feeds;
                if (escape || line_empty(line)) {
                    // A continued line, or one that never had any text.
                    if (line_empty(line)) {
                        reader->line_start = reader->line_feeds + 1;
                        if (kNoting) {
                            spot->first = reader_offset(reader, reader->next);
                        }
                    } else if (kNoting) {
                        spot->continued = true;
                    }
                    escape = false;
                    comment = false;
                    break;
                }
                if (kNoting) {
                    spot->end = reader_offset(reader, reader->next);
                    spot->ended = true;
                    spot->crlf = at > reader->origin && at[-1] == '\r';
                }
                return line;
            case '\r':
                // Ignored wherever it stands, so CR LF files read like LF files.
                break;
            case ';':
                if (escape) {
                    collect_escaped<kNoting>(reader, spot, byte, escape_at);
                } else {
                    comment = true;
                }
                escape = false;
                break;
            case '\\':
                if (escape) {
                    collect_escaped<kNoting>(reader, spot, byte, escape_at);
                } else {
                    escape_at = at;
                }
                escape = !escape;
                break;
            case ' ':
                // Escaped: dropped at the start of a line like any space.
                if (!line_empty(line)) {
                    collect_escaped<kNoting>(reader, spot, byte, escape_at);
                }
                escape = false;
                break;
            default:
                collect_escaped<kNoting>(reader, spot, byte, escape_at);  // an escaped plain byte
                escape = false;
                break;
        }
    }
    // A pending escape or comment is simply forgotten at the end of input.
    if (kNoting) {
        spot->end = reader_offset(reader, reader->end);
        spot->ended = false;
        spot->crlf = false;
        spot->open_escape = escape;
        spot->open_line = !line_empty(line);
    }
    return line_empty(line) ? nullptr : line;
}

// The line as an entry: its text is copied once, behind the record, and
// split in place at its first '=', at `equals`: the key without its trailing
// spaces, the value without its leading ones.
static inline IniEntry* entry_from_line(Loader* loader, const LineText* line, size_t length,
                                        size_t equals) {
    IniEntry* entry = loader_new_entry(loader, length + 1);
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

// Notes where the entry of `line`, split at `equals`, stands: its value
// runs from the first byte after the '=' and its spaces to the line's last
// byte; an empty one would begin where the spaces after the '=' end.
static void note_entry(Loader* loader, const LineReader* reader, const LineSpot* spot,
                       const LineText* line, size_t length, size_t equals) {
    IniEntrySpot entry = {};
    entry.first = spot->first;
    entry.end = spot->end;
    entry.ended = spot->ended;
    entry.crlf = spot->crlf;
    entry.continued = spot->continued;
    size_t value = equals + 1;
    while (value < length && line_byte_at(line, value) == ' ') {
        ++value;
    }
    if (value < length) {
        entry.value_begin = begin_of(spot, value);
        entry.value_end = end_of(spot, length - 1);
    } else {
        size_t at = end_of(spot, equals);
        while (at < spot->end && reader->origin[at] == ' ') {
            ++at;
        }
        entry.value_begin = entry.value_end = at;
    }
    loader_note_entry(loader, entry);
}

// Checks one logical line against the structure and adds it: false when it
// fits nowhere. A line is a string, so whatever follows a NUL byte in it
// counts for nothing, except that the trailing spaces are dropped first.
template <bool kNoting>
static bool add_line(Loader* loader, const LineReader* reader, const LineSpot* spot,
                     const LineText* line) {
    size_t length = line_length(line);
    // The entry test comes first: "[a=b]" after a section is an entry. An
    // entry's first '=' is not its first byte, and no NUL comes before it.
    if (loader->in_section) {
        size_t equals = line_find(line, '=', length);
        if (equals != 0 && equals < length && line_find(line, '\0', equals) == equals) {
            loader_add_entry(loader, entry_from_line(loader, line, length, equals));
            if (kNoting) {
                note_entry(loader, reader, spot, line, length, equals);
            }
            return true;
        }
    }
    // A header: at least "[x]", an opening bracket first, a closing one last.
    size_t visible = line_find(line, '\0', length);
    if (visible < 3 || line_byte_at(line, 0) != '[' || line_byte_at(line, visible - 1) != ']') {
        return false;
    }
    loader_open_section(loader, line, 1, visible - 2);
    if (kNoting) {
        loader_note_section(loader, {spot->first, spot->end, 0, spot->ended, spot->crlf, 0});
    }
    return true;
}

// Every line of `reader` into `loader`, noting where each stands in `spot`
// when kNoting: an edit's load. Loads are compiled without any of it.
template <bool kNoting>
static bool read_lines(LineReader* reader, Loader* loader, IniLoadReport* report, LineSpot* spot) {
    while (LineText* line = next_line<kNoting>(reader, spot)) {
        bool added = add_line<kNoting>(loader, reader, spot, line);
        line_clear(line);
        if (!added) {
            *report = {loader->in_section ? INI_LOAD_BAD_LINE : INI_LOAD_NO_FIRST_SECTION,
                       reported_line(reader->line_start)};
            return false;
        }
    }
    return true;
}

bool read_module_lines(LineReader* reader, Loader* loader, IniLoadReport* report) {
    if (loader->layout == nullptr) {
        return read_lines<false>(reader, loader, report, nullptr);
    }
    LineSpot spot = {};
    bool read = read_lines<true>(reader, loader, report, &spot);
    loader->layout->open_escape = spot.open_escape;
    loader->layout->open_line = spot.open_line;
    free(spot.runs);
    return read;
}
