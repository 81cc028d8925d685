#include "line_text.h"

#include <cstdlib>
#include <cstring>

#include "internal.h"

void line_init(LineText* line) {
    line->pieces = static_cast<char**>(ini_allocate(sizeof(char*) * kInitialSlots));
    line->count = 0;
    line->capacity = kInitialSlots;
    text_init(&line->tail);
}

// Releases the full pieces; the array that held them stays.
static void free_pieces(LineText* line) {
    for (int32_t i = 0; i < line->count; ++i) {
        free(line->pieces[i]);
    }
    line->count = 0;
}

void line_free(LineText* line) {
    free_pieces(line);
    free(line->pieces);
    text_free(&line->tail);
}

void line_spill(LineText* line) {
    ini_append_slot(&line->pieces, &line->count, &line->capacity, line->tail.data);
    // The next piece is allocated whole: growing it from 10 bytes would copy
    // it a dozen times.
    line->tail.data = static_cast<char*>(ini_allocate(kLinePieceBytes));
    line->tail.length = 0;
    line->tail.capacity = kLinePieceBytes;
}

void line_append_run(LineText* line, const char* bytes, size_t size) {
    for (;;) {
        size_t room = kLinePieceBytes - line->tail.length;
        size_t take = size < room ? size : room;
        text_append_run(&line->tail, bytes, take);
        bytes += take;
        size -= take;
        if (size == 0) {
            return;
        }
        line_spill(line);
    }
}

// The byte at `index` of the whole line.
static char byte_at(const LineText* line, size_t index) {
    size_t piece = index / kLinePieceBytes;
    return piece < size_t(line->count) ? line->pieces[piece][index % kLinePieceBytes]
                                       : line->tail.data[index - piece * kLinePieceBytes];
}

char* line_finish(LineText* line) {
    size_t length = size_t(line->count) * kLinePieceBytes + line->tail.length;
    while (length > 0 && byte_at(line, length - 1) == ' ') {
        --length;
    }
    char* block = static_cast<char*>(ini_allocate(length + 1));
    size_t copied = 0;
    for (int32_t i = 0; i < line->count && copied < length; ++i) {
        size_t take = length - copied < kLinePieceBytes ? length - copied : kLinePieceBytes;
        memcpy(block + copied, line->pieces[i], take);
        copied += take;
    }
    memcpy(block + copied, line->tail.data, length - copied);
    block[length] = '\0';
    free_pieces(line);
    line->tail.length = 0;
    return block;
}
