#include "text_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "internal.h"

void text_init(TextBuffer* text) {
    text->data = static_cast<char*>(ini_allocate(kInitialTextBytes));
    text->length = 0;
    text->capacity = kInitialTextBytes;
}

void text_reserve(TextBuffer* text, size_t more) {
    if (more > SIZE_MAX - text->length) {
        abort();  // no memory could hold it
    }
    size_t needed = text->length + more;
    if (needed <= text->capacity) {
        return;
    }
    size_t capacity = text->capacity;
    while (capacity < needed) {
        capacity = capacity > SIZE_MAX / 2 ? needed : capacity * 2;
    }
    text->data = static_cast<char*>(ini_reallocate(text->data, capacity));
    text->capacity = capacity;
}

void text_append_run(TextBuffer* text, const char* bytes, size_t size) {
    text_reserve(text, size);
    memcpy(text->data + text->length, bytes, size);
    text->length += size;
}

void text_append_string(TextBuffer* text, const char* string) {
    text_append_run(text, string, strlen(string));
}

void text_free(TextBuffer* text) {
    free(text->data);
    text->data = nullptr;
}
