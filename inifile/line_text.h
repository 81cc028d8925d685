// The reader's logical line while it is being collected: full pieces of a
// fixed size, then the current piece. It is never joined in place: the
// loader copies it, once, into the block that keeps it.
//
// One buffer that doubles would do, but heaps that serve large blocks as
// mappings of their own never grow them in place, so every doubling would
// map, copy and fault in the whole line again. Pieces stay below that size,
// and each byte is copied once more, into the line's own block, which the
// document needs anyway.
#ifndef INIFILE_LINE_TEXT_H_
#define INIFILE_LINE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text_buffer.h"

// Bytes in a full piece: below the large-block thresholds of the heaps in
// use (glibc's mmap threshold, wine's). Fuzz builds
// make pieces tiny, so that short inputs cross their boundaries too.
#ifdef INIFILE_LINE_PIECE_BYTES
constexpr size_t kLinePieceBytes = INIFILE_LINE_PIECE_BYTES;
#else
constexpr size_t kLinePieceBytes = 64 * 1024;
#endif

struct LineText {
    char** pieces;     // full pieces, each kLinePieceBytes, in order
    int32_t count;     // full pieces in use
    int32_t capacity;  // slots in `pieces`, grown as the module's arrays are
    TextBuffer tail;   // the current piece, at most kLinePieceBytes
};

void line_init(LineText* line);
void line_free(LineText* line);

// Moves the full current piece to `pieces` and starts a new one.
void line_spill(LineText* line);

inline bool line_empty(const LineText* line) {
    return line->count == 0 && line->tail.length == 0;
}

inline void line_append(LineText* line, char byte) {
    if (line->tail.length == kLinePieceBytes) {
        line_spill(line);
    }
    text_append(&line->tail, byte);
}

// The general case of line_append_run: the run crosses into a new piece or
// the current piece must grow.
void line_append_run_slow(LineText* line, const char* bytes, size_t size);

// Appends `size` bytes. Inline when they fit the current piece as it is, as
// nearly all runs do: the calls cost a tenth of the typical file's load.
inline void line_append_run(LineText* line, const char* bytes, size_t size) {
    TextBuffer* tail = &line->tail;
    // A piece may have grown past kLinePieceBytes, but must not be filled past it.
    if (size <= tail->capacity - tail->length && size <= kLinePieceBytes - tail->length) {
        memcpy(tail->data + tail->length, bytes, size);
        tail->length += size;
        return;
    }
    line_append_run_slow(line, bytes, size);
}

// The number of bytes collected.
inline size_t line_total(const LineText* line) {
    return size_t(line->count) * kLinePieceBytes + line->tail.length;
}

// The line's length without its trailing spaces.
size_t line_length(const LineText* line);

// The byte at `index`, which must lie within the line; inline for lines of
// one piece, nearly all.
char line_byte_in_pieces(const LineText* line, size_t index);
inline char line_byte_at(const LineText* line, size_t index) {
    return line->count == 0 ? line->tail.data[index] : line_byte_in_pieces(line, index);
}

// The same for lines of more than one piece, which the inline versions below
// hand on to.
size_t line_find_in_pieces(const LineText* line, char byte, size_t length);
void line_copy_from_pieces(const LineText* line, size_t from, size_t size, char* out);

// The index of the first `byte` among the line's first `length` bytes, or
// `length` when there is none. Inline for lines of one piece, nearly all:
// called per line, the call cost a tenth of a load of short entries.
inline size_t line_find(const LineText* line, char byte, size_t length) {
    if (line->count > 0) {
        return line_find_in_pieces(line, byte, length);
    }
    const void* found = memchr(line->tail.data, byte, length);
    return found == nullptr ? length : size_t(static_cast<const char*>(found) - line->tail.data);
}

// Copies the `size` bytes from `from` on into `out`; nothing is terminated.
// The loader copies a line once, straight into the block that keeps it.
inline void line_copy(const LineText* line, size_t from, size_t size, char* out) {
    if (line->count > 0) {
        line_copy_from_pieces(line, from, size, out);
    } else {
        memcpy(out, line->tail.data + from, size);
    }
}

// Releases the full pieces of a line that had any.
void line_free_pieces(LineText* line);

// Empties the line for the next one.
inline void line_clear(LineText* line) {
    if (line->count > 0) {
        line_free_pieces(line);
    }
    line->tail.length = 0;
}

#endif  // INIFILE_LINE_TEXT_H_
