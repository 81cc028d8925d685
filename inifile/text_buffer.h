// A growable byte string: the reader's line, the writer's scratch line.
#ifndef INIFILE_TEXT_BUFFER_H_
#define INIFILE_TEXT_BUFFER_H_

#include <cstddef>

// A buffer starts with this many bytes and grows by as many whenever it is
// full and one more byte, the terminator included, must be stored.
constexpr size_t kInitialTextBytes = 10;
constexpr size_t kTextGrowth = 10;

struct TextBuffer {
    char* data;       // owned, ini_allocate'd
    size_t length;    // bytes in use, terminator not counted
    size_t capacity;  // bytes allocated
};

// Starts an empty buffer of kInitialTextBytes.
void text_init(TextBuffer* text);

// Makes room for one more byte.
void text_grow(TextBuffer* text);

// Appends one byte; the hot path of the reader and the writer, so inline.
inline void text_append(TextBuffer* text, char byte) {
    if (text->length == text->capacity) {
        text_grow(text);
    }
    text->data[text->length++] = byte;
}

// Terminates the text and hands its storage to the caller (free() it); the
// buffer must be started again before further use.
char* text_release(TextBuffer* text);

// Frees the storage.
void text_free(TextBuffer* text);

#endif  // INIFILE_TEXT_BUFFER_H_
