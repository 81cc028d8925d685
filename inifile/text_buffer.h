// A growable byte string: the writer's scratch line, and the pieces of the
// reader's line.
#ifndef INIFILE_TEXT_BUFFER_H_
#define INIFILE_TEXT_BUFFER_H_

#include <cstddef>

// A buffer starts with this many bytes and doubles whenever it is full and
// one more byte must be stored: where realloc cannot grow in place, fixed
// steps would copy a long line over and over.
constexpr size_t kInitialTextBytes = 10;

struct TextBuffer {
    char* data;       // owned, ini_allocate'd
    size_t length;    // bytes in use, terminator not counted
    size_t capacity;  // bytes allocated
};

// Starts an empty buffer of kInitialTextBytes.
void text_init(TextBuffer* text);

// Makes room for at least `more` further bytes.
void text_reserve(TextBuffer* text, size_t more);

// Appends one byte; the hot path of the reader and the writer, so inline.
inline void text_append(TextBuffer* text, char byte) {
    if (text->length == text->capacity) {
        text_reserve(text, 1);
    }
    text->data[text->length++] = byte;
}

// Appends `size` bytes from `bytes`.
void text_append_run(TextBuffer* text, const char* bytes, size_t size);

// Appends the string `string`, without its terminator.
void text_append_string(TextBuffer* text, const char* string);

// Frees the storage.
void text_free(TextBuffer* text);

#endif  // INIFILE_TEXT_BUFFER_H_
