// The file services of the platform layer: what the configuration module and
// the installer share. Each function has one implementation per platform
// (files_posix.inc, files_win32.inc, included by files.cpp, which holds
// what both share); the build picks one, so no code above this layer needs
// a platform #ifdef. They need the C library alone (no C++ runtime), so a C
// program can link the module with its C compiler.
//
// Files are always handled in binary mode: bytes go in and out unchanged, so
// every platform produces the same file contents.
//
// A function that fails records the system's reason (errno, GetLastError)
// for platform_last_error, per thread; nothing else changes it.
#ifndef PLATFORM_FILES_H_
#define PLATFORM_FILES_H_

#include <stddef.h>

// The directory separator of the platform's paths: '\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// The system's code for the reason of the last failure recorded on this
// thread (errno, or GetLastError on Windows); 0 when none has been.
int platform_last_error();

// The system's text for `error` (strerror, FormatMessage) in `buffer`,
// terminated and cut to `size` bytes, without a final period or line break.
void platform_error_text(int error, char* buffer, size_t size);

// An open file. Opaque; owned by whoever opened it until platform_close.
struct PlatformFile;

// Opens an existing file for reading; other readers may share it. A FIFO or
// a device is opened too (a FIFO waits for its writer). Returns null when
// the file is missing, is a directory or cannot be opened.
PlatformFile* platform_open_read(const char* path);

// Creates a file for writing, or truncates an existing one; other writers may
// share it. Returns null when it cannot be created.
PlatformFile* platform_create(const char* path);

// Standard input and output as files, unbuffered and in binary mode; not to
// be closed.
PlatformFile* platform_standard_input();
PlatformFile* platform_standard_output();

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

// Editing a file in place: a lock, the whole text, and its replacement.
//
// One edit of a file at a time. platform_edit_begin waits for the edit
// before it (up to `wait_ms`), then reads the file whole: the text an edit
// starts from is the one the edit before it left. The lock is the system's
// and dies with its process, so a killed edit never blocks the next. On
// POSIX it is a lock on the file itself, taken and then checked to be still
// the one the path names (an edit that went before replaced it); on Windows
// it is a file "NAME.inifile-lock" beside it, opened with no sharing and
// deleted when closed.
//
// platform_edit_commit writes the new text to a file beside the old one
// (".NAME.inifile-new" on POSIX, "NAME.inifile-new" on Windows), flushes it
// to the disk, then puts it in the old one's place (rename; ReplaceFile) and,
// on POSIX, flushes the folder. So:
// - An interrupted edit (a kill, a failed write, a full disk) leaves the old
//   file as it was, and may leave the new file beside it; the next edit of
//   that file removes that. After a power loss the file holds the old text
//   or the new one, never a mix or nothing, where the file system keeps its
//   promises for fsync and rename (FlushFileBuffers and ReplaceFile).
// - Through a symbolic link the file it names is edited; the link stays
//   (POSIX; Windows edits the path as given).
// - The path gets a new file: other hard links keep the old text. POSIX
//   keeps the mode and, where the system allows it (root), the owner, else
//   the group where the editor belongs to it; extended attributes and ACLs
//   are not carried over. Windows' ReplaceFile keeps the attributes, ACLs,
//   streams and owner.
// - A read-only file (no write permission for anybody, or none for the
//   editor; Windows: the read-only attribute) is refused, and so is anything
//   that is not a regular file, before it is read.
// - With `create`, a missing file is created (the text is then empty), with
//   the mode a new file gets (0666 less the umask; Windows' defaults). On
//   POSIX it exists, empty, from the start of the edit, and an edit that is
//   not committed removes it again.
struct PlatformEdit;

typedef enum PlatformEditStatus {
    PLATFORM_EDIT_OK = 0,
    PLATFORM_EDIT_MISSING,      // no such file
    PLATFORM_EDIT_NOT_REGULAR,  // a directory, a FIFO, a device, ...
    PLATFORM_EDIT_READ_ONLY,    // see above
    PLATFORM_EDIT_BUSY,         // another edit held it for the whole wait
    PLATFORM_EDIT_CANNOT_OPEN,  // the system refused the lock or the file
    PLATFORM_EDIT_CANNOT_READ   // a read failed: no text
} PlatformEditStatus;

// Locks and reads the file at `path`, waiting up to `wait_ms` milliseconds
// for another edit of it. On PLATFORM_EDIT_OK `*edit` is the edit, to be
// ended with platform_edit_end; otherwise it is null and nothing is changed.
PlatformEditStatus platform_edit_begin(const char* path, long wait_ms, bool create,
                                       PlatformEdit** edit);

// The text of the file, whole: `*size` bytes, owned by the edit.
const char* platform_edit_text(const PlatformEdit* edit, size_t* size);

// Releases the text (before a commit), where memory is short.
void platform_edit_drop_text(PlatformEdit* edit);

// Replaces the file with the `size` bytes at `data`, as described above.
// False, the file as it was, when the new one cannot be written or cannot
// take its place.
bool platform_edit_commit(PlatformEdit* edit, const void* data, size_t size);

// Releases the lock and the edit; null is ignored.
void platform_edit_end(PlatformEdit* edit);

// Replaces the contents of the existing regular file `path` with the `size`
// bytes at `data`: platform_edit_begin with the default wait, then
// platform_edit_commit. False, the file unchanged, when it cannot.
bool platform_replace_file(const char* path, const void* data, size_t size);

// The wait for another edit that platform_replace_file allows: 10 s.
constexpr long kPlatformEditWaitMs = 10000;

// Makes standard input and output carry bytes unchanged, as files do here.
void platform_binary_stdio();

// Creates a directory. The outcome is deliberately not reported: an existing
// directory is the normal case, and any other failure shows in later steps.
void platform_make_directory(const char* path);

#endif  // PLATFORM_FILES_H_
