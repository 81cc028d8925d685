// Win32 file services. The file functions are the ANSI ones: paths are byte
// strings in the system's code page, never converted. C library only.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "edit_text.h"
#include "files.h"

const char kPathSeparator = '\\';

// Beside a file being edited: its lock, and the name its new text is
// written under. The same for every edit of a file, so that the next edit
// finds and removes what a killed one left; only the holder of the lock
// uses the second.
static const char kLockSuffix[] = ".inifile-lock";
static const char kEditSuffix[] = ".inifile-new";

// How long a waiting edit sleeps between tries of the lock.
static const DWORD kLockPollMs = 10;

// The reason of the last recorded failure, per thread.
static thread_local DWORD last_error = 0;

// The one place GetLastError is read: records the reason of the failure
// just met, and returns it.
static DWORD take_error() {
    last_error = GetLastError();
    return last_error;
}

int platform_last_error() {
    return static_cast<int>(last_error);
}

void platform_error_text(int error, char* buffer, size_t size) {
    if (size == 0) {
        return;
    }
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, buffer, static_cast<DWORD>(size), nullptr);
    if (length == 0) {
        snprintf(buffer, size, "system error %d", error);
        return;
    }
    // The system's texts end in a period and a line break.
    while (length > 0 && strchr(".\r\n ", buffer[length - 1]) != nullptr) {
        buffer[--length] = '\0';
    }
}

// A HANDLE is stored as the PlatformFile pointer itself: nothing to allocate.
static PlatformFile* file_from_handle(HANDLE handle) {
    return static_cast<PlatformFile*>(handle);
}

static HANDLE handle_of(PlatformFile* file) {
    return static_cast<HANDLE>(file);
}

PlatformFile* platform_open_read(const char* path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory cannot be opened, so a
    // directory path fails here as it must.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        take_error();
        return nullptr;
    }
    return file_from_handle(handle);
}

PlatformFile* platform_create(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        take_error();
        return nullptr;
    }
    return file_from_handle(handle);
}

PlatformFile* platform_standard_input() {
    return file_from_handle(GetStdHandle(STD_INPUT_HANDLE));
}

PlatformFile* platform_standard_output() {
    return file_from_handle(GetStdHandle(STD_OUTPUT_HANDLE));
}

long platform_read(PlatformFile* file, void* buffer, size_t size) {
    DWORD got = 0;
    // At most what a DWORD counts; the caller asks again for the rest.
    DWORD asked = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(handle_of(file), buffer, asked, &got, nullptr)) {
        // A pipe whose writer has gone is at its end.
        return take_error() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool platform_write(PlatformFile* file, const void* data, size_t size) {
    // WriteFile may succeed and still store fewer bytes than asked; that is a
    // failure too.
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        DWORD asked = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        DWORD wrote = 0;
        if (!WriteFile(handle_of(file), next, asked, &wrote, nullptr)) {
            take_error();
            return false;
        }
        if (wrote != asked) {
            last_error = ERROR_DISK_FULL;
            return false;
        }
        next += wrote;
        size -= wrote;
    }
    return true;
}

bool platform_close(PlatformFile* file) {
    if (file != nullptr && !CloseHandle(handle_of(file))) {
        take_error();
        return false;
    }
    return true;
}

bool platform_has_separator(const char* text) {
    return strpbrk(text, "\\/") != nullptr;
}

bool platform_exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool platform_copy_file(const char* source, const char* target) {
    // A copy keeps the source's attributes, so a read-only launcher gives a
    // read-only copy, which CopyFileA then refuses to replace on the next
    // run; clearing the flag first lets every run replace every copy.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(target, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    // FALSE: an existing target is replaced.
    return CopyFileA(source, target, FALSE);
}

struct PlatformEdit {
    char* path;       // as given
    char* lock_path;  // its lock file
    char* temporary;  // where its new text is written
    HANDLE lock;      // the lock file, open with no sharing, deleted on close
    bool existed;     // the file was there when the lock was taken
    EditText text;
};

EditText* edit_text_of(PlatformEdit* edit) {
    return &edit->text;
}

void record_out_of_memory() {
    last_error = ERROR_NOT_ENOUGH_MEMORY;
}

// `path` followed by `suffix`, in a block the caller releases, or null.
static char* beside(const char* path, const char* suffix) {
    size_t size = strlen(path) + strlen(suffix) + 1;
    char* joined = static_cast<char*>(malloc(size));
    if (joined != nullptr) {
        snprintf(joined, size, "%s%s", path, suffix);
    }
    return joined;
}

// What the file at `path` is, looked at before it is read (a device or a
// pipe would never end): PLATFORM_EDIT_OK for a regular file that may be
// written, or PLATFORM_EDIT_MISSING.
static PlatformEditStatus look_at(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = take_error();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? PLATFORM_EDIT_MISSING
                   : PLATFORM_EDIT_CANNOT_OPEN;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return PLATFORM_EDIT_NOT_REGULAR;
    }
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        take_error();
        return PLATFORM_EDIT_CANNOT_OPEN;
    }
    bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    if (!disk) {
        return PLATFORM_EDIT_NOT_REGULAR;
    }
    return attributes & FILE_ATTRIBUTE_READONLY ? PLATFORM_EDIT_READ_ONLY : PLATFORM_EDIT_OK;
}

// Takes the lock file of `edit`, waiting up to `wait_ms` from `start`
// (GetTickCount, whose wrap the unsigned difference absorbs). A lock file
// being deleted by the edit before refuses access for a moment: that too is
// a lock held.
static PlatformEditStatus take_lock(PlatformEdit* edit, DWORD start, DWORD wait_ms) {
    for (;;) {
        edit->lock =
            CreateFileA(edit->lock_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (edit->lock != INVALID_HANDLE_VALUE) {
            return PLATFORM_EDIT_OK;
        }
        DWORD error = take_error();
        bool held = error == ERROR_SHARING_VIOLATION ||
                    (error == ERROR_ACCESS_DENIED &&
                     GetFileAttributesA(edit->lock_path) != INVALID_FILE_ATTRIBUTES);
        if (!held) {
            return PLATFORM_EDIT_CANNOT_OPEN;
        }
        if (GetTickCount() - start >= wait_ms) {
            last_error = error;
            return PLATFORM_EDIT_BUSY;
        }
        Sleep(kLockPollMs);
    }
}

// Reads the whole file of `edit` into its text: false on a read error.
static bool read_text(PlatformEdit* edit) {
    HANDLE handle = CreateFileA(edit->path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        take_error();
        return false;
    }
    LARGE_INTEGER size;
    size_t expected = GetFileSizeEx(handle, &size) && size.QuadPart < LONGLONG(SIZE_MAX / 2)
                          ? size_t(size.QuadPart)
                          : 0;
    bool read = edit_text_read(file_from_handle(handle), expected, &edit->text);
    // Closed at once: ReplaceFile needs the file to itself.
    CloseHandle(handle);
    return read;
}

PlatformEditStatus platform_edit_begin(const char* path, long wait_ms, bool create,
                                       PlatformEdit** edit) {
    DWORD start = GetTickCount();
    *edit = nullptr;
    PlatformEdit* made = static_cast<PlatformEdit*>(calloc(1, sizeof(PlatformEdit)));
    if (made == nullptr) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return PLATFORM_EDIT_CANNOT_OPEN;
    }
    made->lock = INVALID_HANDLE_VALUE;
    made->path = beside(path, "");
    made->lock_path = beside(path, kLockSuffix);
    made->temporary = beside(path, kEditSuffix);
    PlatformEditStatus status = PLATFORM_EDIT_CANNOT_OPEN;
    if (made->path == nullptr || made->lock_path == nullptr || made->temporary == nullptr) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
    } else if ((status = take_lock(made, start, wait_ms > 0 ? DWORD(wait_ms) : 0)) ==
               PLATFORM_EDIT_OK) {
        // Looked at only under the lock: ReplaceFile takes a moment during
        // which the file is not there, and the edit before may be in it.
        status = look_at(path);
        made->existed = status == PLATFORM_EDIT_OK;
        if (status == PLATFORM_EDIT_MISSING && create) {
            status = PLATFORM_EDIT_OK;
        }
        if (made->existed) {
            // What a killed edit left; no other edit can be using the name now.
            // (Where the file is missing, it may hold the only text left.)
            DeleteFileA(made->temporary);
            status = read_text(made) ? PLATFORM_EDIT_OK : PLATFORM_EDIT_CANNOT_READ;
        }
    }
    if (status != PLATFORM_EDIT_OK) {
        platform_edit_end(made);
        return status;
    }
    *edit = made;
    return PLATFORM_EDIT_OK;
}

// Puts the written temporary file of `edit` in the place of its file.
static bool put_in_place(PlatformEdit* edit) {
    if (!edit->existed) {
        if (MoveFileExA(edit->temporary, edit->path, MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        take_error();
        DeleteFileA(edit->temporary);
        return false;
    }
    // ReplaceFile keeps the old file's attributes, security and streams.
    if (ReplaceFileA(edit->path, edit->temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return true;
    }
    switch (take_error()) {
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
            // The old file is gone already, the new one still under its
            // temporary name: it is all there is, and is moved, not deleted.
            if (MoveFileExA(edit->temporary, edit->path,
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                return true;
            }
            take_error();
            return false;
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            // The old file lives on under another name; the new text stays.
            return false;
        default:
            // The old file is intact.
            DeleteFileA(edit->temporary);
            return false;
    }
}

bool platform_edit_commit(PlatformEdit* edit, const void* data, size_t size) {
    HANDLE handle = CreateFileA(edit->temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        take_error();
        return false;
    }
    PlatformFile* file = file_from_handle(handle);
    bool written = platform_write(file, data, size);
    if (written && !FlushFileBuffers(handle)) {
        take_error();
        written = false;
    }
    bool closed = platform_close(file);
    if (!written || !closed) {
        DeleteFileA(edit->temporary);
        return false;
    }
    return put_in_place(edit);
}

void platform_edit_end(PlatformEdit* edit) {
    if (edit == nullptr) {
        return;
    }
    if (edit->lock != INVALID_HANDLE_VALUE) {
        CloseHandle(edit->lock);  // which deletes the lock file
    }
    free(edit->text.bytes);
    free(edit->temporary);
    free(edit->lock_path);
    free(edit->path);
    free(edit);
}

void platform_binary_stdio() {
    // The C runtime's streams are text streams by default: CR LF and ^Z
    // would be added or taken away.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

void platform_make_directory(const char* path) {
    CreateDirectoryA(path, nullptr);
}
