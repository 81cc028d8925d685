// The file services of the platform layer: what the configuration module and
// the installer share. Each function has one implementation per platform
// (files_posix.cpp, files_win32.cpp); the build picks one, so no code above
// this layer needs a platform #ifdef. They need the C library alone (no C++
// runtime), so a C program can link the module with its C compiler.
//
// Files are always handled in binary mode: bytes go in and out unchanged, so
// every platform produces the same file contents.
#ifndef PLATFORM_FILES_H_
#define PLATFORM_FILES_H_

#include <stddef.h>

// The directory separator of the platform's paths: '\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// An open file. Opaque; owned by whoever opened it until platform_close.
struct PlatformFile;

// Opens an existing regular file for reading; other readers may share it.
// Returns null when the file is missing, is a directory or cannot be opened.
PlatformFile* platform_open_read(const char* path);

// Creates a file for writing, or truncates an existing one; other writers may
// share it. Returns null when it cannot be created.
PlatformFile* platform_create(const char* path);

// Reads up to `size` bytes into `buffer`. Returns the number of bytes read,
// 0 at the end of the file, or -1 on a read error.
long platform_read(PlatformFile* file, void* buffer, size_t size);

// Writes all `size` bytes of `data`. Returns true only when every byte was
// written; a failed or short write returns false.
bool platform_write(PlatformFile* file, const void* data, size_t size);

// Closes a file opened by platform_open_read or platform_create; null is
// ignored. Returns false when the platform reports, on closing, that data
// written earlier could not be stored.
bool platform_close(PlatformFile* file);

// True when `text` holds a directory separator of the platform: '/' on
// POSIX; '\\' and '/' on Windows, which treats them alike.
bool platform_has_separator(const char* text);

// True when a directory entry of that name exists, whatever its kind.
bool platform_exists(const char* path);

// Copies the bytes of regular file `source` over `target`, creating or
// replacing it (a read-only target too). Returns false when the source
// cannot be read, the target cannot be written, or both name the same file
// (which is then left intact).
bool platform_copy_file(const char* source, const char* target);

// Replaces the contents of the existing regular file `path` with the `size`
// bytes at `data`: they go to a new file beside it, which then takes its
// place, so the file holds either the old bytes or the new ones whatever
// happens. Its permissions are kept. False, the file unchanged, when it is
// missing or not a regular file or the new one cannot be written.
bool platform_replace_file(const char* path, const void* data, size_t size);

// Makes standard input and output carry bytes unchanged, as files do here.
void platform_binary_stdio();

// Creates a directory. The outcome is deliberately not reported: an existing
// directory is the normal case, and any other failure shows in later steps.
void platform_make_directory(const char* path);

// Memory in large pieces for the module's pages: `size` bytes, aligned for
// any record, from the system rather than the heap (huge pages where the
// system gives them for large pieces). Null when there is none. Returned
// whole, with the same size, by platform_page_release.
void* platform_page_allocate(size_t size);
void platform_page_release(void* page, size_t size);

#endif  // PLATFORM_FILES_H_
