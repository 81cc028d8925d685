#include "line_text.h"

#include <cstdlib>
#include <cstring>

#include "internal.h"

void line_init(LineText* line) {
    line->pieces = static_cast<char**>(
        ini_array_resize(nullptr, 0, 0, sizeof(char*) * ini_allocated_slots(kInitialSlots)));
    line->count = 0;
    line->capacity = kInitialSlots;
    text_init(&line->tail);
}

// The array that held the pieces stays.
void line_free_pieces(LineText* line) {
    for (int32_t i = 0; i < line->count; ++i) {
        free(line->pieces[i]);
    }
    line->count = 0;
}

void line_free(LineText* line) {
    line_free_pieces(line);
    ini_release_slots(line->pieces, line->capacity);
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

void line_append_run_slow(LineText* line, const char* bytes, size_t size) {
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

char line_byte_in_pieces(const LineText* line, size_t index) {
    size_t piece = index / kLinePieceBytes;
    return piece < size_t(line->count) ? line->pieces[piece][index % kLinePieceBytes]
                                       : line->tail.data[index - piece * kLinePieceBytes];
}

size_t line_length(const LineText* line) {
    size_t length = size_t(line->count) * kLinePieceBytes + line->tail.length;
    if (line->count == 0) {
        while (length > 0 && line->tail.data[length - 1] == ' ') {
            --length;
        }
        return length;
    }
    while (length > 0 && line_byte_at(line, length - 1) == ' ') {
        --length;
    }
    return length;
}

// The bytes of piece `piece` (the tail after the full ones).
static const char* piece_data(const LineText* line, size_t piece) {
    return piece < size_t(line->count) ? line->pieces[piece] : line->tail.data;
}

size_t line_find_in_pieces(const LineText* line, char byte, size_t length) {
    for (size_t start = 0; start < length; start += kLinePieceBytes) {
        size_t size = length - start < kLinePieceBytes ? length - start : kLinePieceBytes;
        const char* data = piece_data(line, start / kLinePieceBytes);
        const void* found = memchr(data, byte, size);
        if (found != nullptr) {
            return start + size_t(static_cast<const char*>(found) - data);
        }
    }
    return length;
}

void line_copy_from_pieces(const LineText* line, size_t from, size_t size, char* out) {
    while (size > 0) {
        size_t offset = from % kLinePieceBytes;
        size_t take = kLinePieceBytes - offset < size ? kLinePieceBytes - offset : size;
        memcpy(out, piece_data(line, from / kLinePieceBytes) + offset, take);
        out += take;
        from += take;
        size -= take;
    }
}
