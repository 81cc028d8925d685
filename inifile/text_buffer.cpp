#include "text_buffer.h"

#include <cstdlib>

#include "internal.h"

void text_init(TextBuffer* text) {
    text->data = static_cast<char*>(ini_allocate(kInitialTextBytes));
    text->length = 0;
    text->capacity = kInitialTextBytes;
}

void text_grow(TextBuffer* text) {
    text->capacity += kTextGrowth;
    text->data = static_cast<char*>(ini_reallocate(text->data, text->capacity));
}

char* text_release(TextBuffer* text) {
    if (text->length == text->capacity) {
        text_grow(text);
    }
    text->data[text->length] = '\0';
    char* data = text->data;
    text->data = nullptr;
    return data;
}

void text_free(TextBuffer* text) {
    free(text->data);
    text->data = nullptr;
}
