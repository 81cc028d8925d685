// The operating-system services that the configuration module and the
// installer need, and nothing more. Each function has one implementation per
// platform (platform_posix.cpp, platform_win32.cpp); the build picks one, so
// no code above this layer needs a platform #ifdef.
//
// Files are always handled in binary mode: bytes go in and out unchanged, so
// every platform produces the same file contents.
#ifndef PLATFORM_PLATFORM_H_
#define PLATFORM_PLATFORM_H_

#include <cstddef>
#include <string>

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
// replacing it (a read-only target too). Returns false when the source cannot be read, the target
// cannot be written, or both name the same file (which is then left intact).
bool platform_copy_file(const char* source, const char* target);

// Creates a directory. The outcome is deliberately not reported: an existing
// directory is the normal case, and any other failure shows in later steps.
void platform_make_directory(const char* path);

// Stores the full path of the running executable in `path`. Returns false,
// leaving `path` unspecified, when the platform cannot tell it in full.
bool platform_executable_path(std::string* path);

// Where the installer's root directory came from, for platform_root_is_exact.
// A positive value is the index of the root argument in main's argv.
constexpr int kRootFromExecutable = 0;

// Whether `root`, the root directory as the program holds it, reaches the
// file functions exactly as the user has it. `source` is the index in main's
// argv of the argument it was taken from, or kRootFromExecutable when it is
// the directory of the running executable. Windows hands a program its
// command line and its own path through the system's code page, which turns
// a character that the code page cannot hold into '?' or a look-alike
// (fullwidth U+FF41 into 'a' in code page 1252): the bytes then name another
// folder, or none. On such a loss this returns false and stores in `shown`
// the root as far as the code page can show it, each lost character as '?'.
// POSIX hands bytes over verbatim: always true.
bool platform_root_is_exact(const std::string& root, int source, std::string* shown);

#endif  // PLATFORM_PLATFORM_H_
