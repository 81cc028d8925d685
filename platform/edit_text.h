// What both halves of the edit in place share (files_common.cpp): the text
// of the file being edited, read whole. Internal to the platform layer.
#ifndef PLATFORM_EDIT_TEXT_H_
#define PLATFORM_EDIT_TEXT_H_

#include <stddef.h>

#include "files.h"

struct EditText {
    char* bytes;  // malloc'd, or null
    size_t size;
};

// The text of `edit`: each half's PlatformEdit holds one.
EditText* edit_text_of(PlatformEdit* edit);

// Reads all that `file` holds into `text`; `expected` is its size as the
// system tells it (0 where unknown), so that one read and one block do.
// False on a read error, or where memory runs out.
bool edit_text_read(PlatformFile* file, size_t expected, EditText* text);

// Records running out of memory as the reason of a failure.
void record_out_of_memory();

#endif  // PLATFORM_EDIT_TEXT_H_
