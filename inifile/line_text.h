// The reader's logical line while it is being collected: full pieces of a
// fixed size, then the current piece. Only the finished line is contiguous.
//
// One buffer that doubles would do, but on heaps that serve large blocks as
// mappings of their own and never grow them in place (wine's, from 508 KiB
// on) every doubling past that size maps, copies and faults in the whole
// line again: loading a 1 MiB line cost 1.2 times the linear share. Pieces
// stay below that size, and each byte is copied once more, into the line's
// own block, which the document needs anyway.
#ifndef INIFILE_LINE_TEXT_H_
#define INIFILE_LINE_TEXT_H_

#include <cstddef>
#include <cstdint>

#include "text_buffer.h"

// Bytes in a full piece: well below the large-block thresholds of the heaps
// in use (glibc's mmap threshold of 128 KiB, wine's 508 KiB). Fuzz builds
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

void line_append_run(LineText* line, const char* bytes, size_t size);

// The line without its trailing spaces, terminated, in a block of exactly
// its size owned by the caller; the line is empty afterwards.
char* line_finish(LineText* line);

#endif  // INIFILE_LINE_TEXT_H_
