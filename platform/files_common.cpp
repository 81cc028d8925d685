// The parts of the edit in place that are the same on every platform: they
// use only the layer's own functions. C library only.
#include <stdlib.h>

#include "edit_text.h"
#include "files.h"

bool edit_text_read(PlatformFile* file, size_t expected, EditText* text) {
    // One byte more than the size: the end is seen without a second block.
    size_t capacity = expected + 1;
    for (;;) {
        char* larger = static_cast<char*>(realloc(text->bytes, capacity));
        if (larger == nullptr) {
            record_out_of_memory();
            return false;
        }
        text->bytes = larger;
        while (text->size < capacity) {
            long got = platform_read(file, text->bytes + text->size, capacity - text->size);
            if (got <= 0) {
                return got == 0;
            }
            text->size += static_cast<size_t>(got);
        }
        capacity *= 2;
    }
}

const char* platform_edit_text(const PlatformEdit* edit, size_t* size) {
    const EditText* text = edit_text_of(const_cast<PlatformEdit*>(edit));
    *size = text->size;
    return text->bytes;
}

void platform_edit_drop_text(PlatformEdit* edit) {
    EditText* text = edit_text_of(edit);
    free(text->bytes);
    *text = {nullptr, 0};
}

bool platform_replace_file(const char* path, const void* data, size_t size) {
    PlatformEdit* edit = nullptr;
    if (platform_edit_begin(path, kPlatformEditWaitMs, false, &edit) != PLATFORM_EDIT_OK) {
        return false;
    }
    bool replaced = platform_edit_commit(edit, data, size);
    platform_edit_end(edit);
    return replaced;
}
