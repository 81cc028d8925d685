// Win32 file services. The file functions are the ANSI ones: paths are byte
// strings in the system's code page, never converted. C library only.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "files.h"

const char kPathSeparator = '\\';

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
    return handle == INVALID_HANDLE_VALUE ? nullptr : file_from_handle(handle);
}

PlatformFile* platform_create(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : file_from_handle(handle);
}

long platform_read(PlatformFile* file, void* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(handle_of(file), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<long>(got);
}

bool platform_write(PlatformFile* file, const void* data, size_t size) {
    // WriteFile may succeed and still store fewer bytes than asked; that is a
    // failure too.
    DWORD wrote = 0;
    return WriteFile(handle_of(file), data, static_cast<DWORD>(size), &wrote, nullptr) &&
           wrote == size;
}

bool platform_close(PlatformFile* file) {
    return file == nullptr || CloseHandle(handle_of(file));
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

bool platform_replace_file(const char* path, const void* data, size_t size) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    // A new file beside it, named after it and this process; ReplaceFileA
    // then gives it the old file's place, attributes and security.
    static const char kTemporaryName[] = "%s.%lu.new";  // the path, the process id
    size_t length = strlen(path) + sizeof kTemporaryName + 20;
    char* temporary = static_cast<char*>(malloc(length));
    if (temporary == nullptr) {
        return false;
    }
    snprintf(temporary, length, kTemporaryName, path,
             static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE handle = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    bool replaced = false;
    if (handle != INVALID_HANDLE_VALUE) {
        PlatformFile* file = file_from_handle(handle);
        bool written = platform_write(file, data, size);
        replaced = platform_close(file) && written &&
                   ReplaceFileA(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr);
        if (!replaced) {
            DeleteFileA(temporary);
        }
    }
    free(temporary);
    return replaced;
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

void* platform_page_allocate(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void platform_page_release(void* page, size_t) {
    VirtualFree(page, 0, MEM_RELEASE);
}
