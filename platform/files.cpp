// The file services (files.h). This file holds what both platforms share;
// the platform's own halves come first, from the files the build names in
// PLATFORM_FILES_OS and PLATFORM_EDIT_OS (files_posix.inc and
// edit_posix.inc, or their _win32 twins), so that the shared part sees
// their records whole and nothing reaches back across the two.
// C library only.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "files.h"

// The text of a file being edited, read whole.
struct EditText {
    char* bytes;  // malloc'd, or null
    size_t size;
};

// Reads all that `file` holds into `text`; `expected` is its size as the
// system tells it (0 where unknown), so that one read and one block do.
// False on a read error, or where memory runs out. For the platform's half.
static bool edit_text_read(PlatformFile* file, size_t expected, EditText* text);

// The platform's halves: the file services, with record_out_of_memory(),
// which records running out of memory as the reason of a failure; then the
// edit in place, which defines struct PlatformEdit with an EditText `text`.
#include PLATFORM_FILES_OS
#include PLATFORM_EDIT_OS

static bool edit_text_read(PlatformFile* file, size_t expected, EditText* text) {
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
    *size = edit->text.size;
    return edit->text.bytes;
}

void platform_edit_drop_text(PlatformEdit* edit) {
    free(edit->text.bytes);
    edit->text = {nullptr, 0};
}

bool platform_replace_file(const char* path, const void* data, size_t size) {
    PlatformEdit* edit = nullptr;
    if (platform_edit_begin(path, kPlatformEditWaitMs, 0, &edit) != PLATFORM_EDIT_OK) {
        return false;
    }
    PlatformCommitStatus status = platform_edit_commit(edit, data, size);
    bool replaced = status == PLATFORM_COMMIT_DONE || status == PLATFORM_COMMIT_UNFLUSHED;
    platform_edit_end(edit);
    return replaced;
}

bool platform_print_text(PlatformFile* file, PlatformTextKind kind, const char* format,
                         va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    int size = vsnprintf(nullptr, 0, format, arguments);
    char* text = size < 0 ? nullptr : static_cast<char*>(malloc(size_t(size) + 1));
    bool printed = text != nullptr;
    if (printed) {
        vsnprintf(text, size_t(size) + 1, format, again);
        printed = platform_write_text(file, text, size_t(size), kind);
    }
    va_end(again);
    free(text);
    return printed;
}
