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

#include <stdarg.h>
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

// Standard input, output and error as files, unbuffered and in binary
// mode; not to be closed.
PlatformFile* platform_standard_input();
PlatformFile* platform_standard_output();
PlatformFile* platform_standard_error();

// What is written to a standard stream as text: a message in the system's
// code page, a message in UTF-8, or stored bytes (a value, a file's text)
// in UTF-8. Text that is not valid UTF-8 is taken to be in the code page.
typedef enum PlatformTextKind {
    PLATFORM_MESSAGE = 0,
    PLATFORM_MESSAGE_UTF8,
    PLATFORM_DATA_UTF8
} PlatformTextKind;

// Writes the `size` bytes of text at `data` to `file` (standard output or
// error). Where it is a console (Windows: GetConsoleMode succeeds), the text
// is converted to what the console shows (UTF-16, WriteConsoleW), so that
// no console code page garbles it. Redirected to a file or a pipe, data goes
// out byte for byte, and a message as the C runtime's text streams write it
// (on Windows each line feed after a carriage return). False, the reason
// recorded, when the write fails.
bool platform_write_text(PlatformFile* file, const void* data, size_t size, PlatformTextKind kind);

// Formats `format` with `arguments` (vsnprintf) and writes the text with
// platform_write_text. False when it cannot be written.
bool platform_print_text(PlatformFile* file, PlatformTextKind kind, const char* format,
                         va_list arguments);

// The program's arguments in UTF-8, for a program that works in UTF-8
// inside: on Windows from GetCommandLineW, so that no character is lost to
// the code page; elsewhere `argv` as it is (bytes). The arrays live as long
// as the process. (A file of its own: a program that never calls it does
// not link what it needs.)
void platform_utf8_arguments(int* argc, char*** argv);

// File names given to the layer on this thread are UTF-8 (`utf8`), or in
// the system's code page (the default). Windows only: POSIX names are
// bytes either way. Returns the setting before.
bool platform_use_utf8_names(bool utf8);

// The index of the last directory separator in `path`, found character by
// character (a trail byte of a double-byte code page that looks like '' is
// none), or (size_t)-1 where it has none.
size_t platform_last_separator(const char* path);

// Reads up to `size` bytes into `buffer`. Returns the number of bytes read,
// 0 at the end of the file, or -1 on a read error.
long platform_read(PlatformFile* file, void* buffer, size_t size);

// The size of the open file in bytes, or 0 where it has none to tell (a
// pipe, a console) or the system cannot say: a hint, not a promise.
size_t platform_file_size(PlatformFile* file);

// Writes all `size` bytes of `data`. Returns true only when every byte was
// written; a failed or short write returns false.
bool platform_write(PlatformFile* file, const void* data, size_t size);

// Closes a file opened by platform_open_read or platform_create; null is
// ignored. Returns false when the platform reports, on closing, that data
// written earlier could not be stored.
bool platform_close(PlatformFile* file);

// True when `text` holds a directory separator of the platform: '/' on
// POSIX; '\\' and '/' on Windows, which treats them alike, looked for
// character by character.
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
// the one the path names (an edit that went before replaced it), and, for a
// file an edit creates, a lock on its folder; on Windows it is a file
// "NAME.inifile-lock" beside the file's final path (however the path is
// spelled), opened with no sharing and deleted when closed.
//
// platform_edit_commit writes the new text to a temporary file of the
// edit's own beside the old one (".NAME.inifile-new-XXXXXX" on POSIX, which
// the edit holds locked while it lives; "NAME.inifile-new" under the lock on
// Windows), flushes it to the disk, then, if the path still names the file
// that was read, unchanged (device, inode, size, modification time), puts it
// in the old one's place (rename; ReplaceFile) and flushes the folder. So:
// - The new text is in place, or the old one, never a mix or nothing: after
//   a kill, a failed write or a full disk, and after a power loss where the
//   file system keeps its promises for fsync and rename.
// - A temporary that a killed edit left is removed by a later edit of a file
//   in that folder, never one whose edit still lives; nothing else is left.
// - Another program that changes, replaces, removes or creates the file
//   during the edit makes it fail (PLATFORM_COMMIT_CONFLICT): nothing is
//   written, the other program's text stays.
// - Everything about the file is kept: owner, group, mode (setuid and setgid
//   included), ACLs and extended attributes (SELinux labels among them) on
//   POSIX; attributes, ACLs and streams through ReplaceFile on Windows. Where
//   the new file cannot carry them (the editor may not give it the owner or
//   group, an attribute cannot be copied, or the file has other hard links),
//   and always with PLATFORM_EDIT_IN_PLACE, the new text is written over the
//   old in place, under the lock: a flushed copy of the old text is written
//   beside it first (".NAME.inifile-old-XXXXXX" on POSIX,
//   "NAME.inifile-old" on Windows), then the file is rewritten and flushed,
//   then the copy is removed. A crash in between leaves the old text, the
//   new one, or a mixed file with the old text in that copy beside it.
// - Through a symbolic link the file it names is edited and the link stays;
//   a link to a missing file, with PLATFORM_EDIT_CREATE, creates the file it
//   names (POSIX; Windows edits the path as given).
// - A read-only file (no write permission for anybody, or none for the
//   editor; Windows: the read-only attribute) is refused, and so is anything
//   that is not a regular file, before it is read; a file the editor may
//   write but not read cannot be read.
// - With PLATFORM_EDIT_CREATE, a missing file is created (the text is then
//   empty), with the mode a new file gets (0666 less the umask; Windows'
//   defaults); it exists only once its text is complete.
// - Success is the new text in place: a folder that cannot be flushed
//   afterwards is reported (PLATFORM_COMMIT_UNFLUSHED), not a failure; a
//   folder that cannot even be opened for it is not flushed.
struct PlatformEdit;

typedef enum PlatformEditStatus {
    PLATFORM_EDIT_OK = 0,
    PLATFORM_EDIT_MISSING,      // no such file
    PLATFORM_EDIT_NOT_REGULAR,  // a directory, a FIFO, a device, ...
    PLATFORM_EDIT_READ_ONLY,    // see above
    PLATFORM_EDIT_BUSY,         // another edit held it for the whole wait
    PLATFORM_EDIT_CANNOT_OPEN,  // the system refused the lock or the file
    PLATFORM_EDIT_CANNOT_READ   // a read failed, or reading is not allowed: no text
} PlatformEditStatus;

// Flags of platform_edit_begin.
enum {
    PLATFORM_EDIT_CREATE = 1,   // a missing file is created
    PLATFORM_EDIT_IN_PLACE = 2  // always written in place (the inode kept)
};

// Locks and reads the file at `path`, waiting up to `wait_ms` milliseconds
// for another edit of it. On PLATFORM_EDIT_OK `*edit` is the edit, to be
// ended with platform_edit_end; otherwise it is null and nothing is changed.
PlatformEditStatus platform_edit_begin(const char* path, long wait_ms, unsigned flags,
                                       PlatformEdit** edit);

// The text of the file, whole: `*size` bytes, owned by the edit.
const char* platform_edit_text(const PlatformEdit* edit, size_t* size);

// Releases the text (before a commit), where memory is short.
void platform_edit_drop_text(PlatformEdit* edit);

// How platform_edit_commit ended; platform_last_error tells why for all but
// PLATFORM_COMMIT_DONE and _CONFLICT.
typedef enum PlatformCommitStatus {
    PLATFORM_COMMIT_DONE = 0,        // the new text is in place, flushed
    PLATFORM_COMMIT_UNFLUSHED,       // in place, but the folder could not be flushed
    PLATFORM_COMMIT_CONFLICT,        // another program changed the file: nothing written
    PLATFORM_COMMIT_FOLDER_REFUSED,  // the folder refused the new file: nothing written
    PLATFORM_COMMIT_FAILED           // a write, flush or replacement failed (see above)
} PlatformCommitStatus;

// Replaces the file with the `size` bytes at `data`, as described above.
PlatformCommitStatus platform_edit_commit(PlatformEdit* edit, const void* data, size_t size);

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
