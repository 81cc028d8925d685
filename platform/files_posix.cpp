// POSIX file services: Linux and other Unix systems. C library only.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "edit_text.h"
#include "files.h"

const char kPathSeparator = '/';

// Bytes moved per read() when copying; large enough that launchers of a few
// megabytes take a handful of calls.
static const size_t kCopyChunkSize = 64 * 1024;

// The name an edit writes its new file under, after ".NAME": hidden, and
// the same for every edit of a file, so that the next edit finds and removes
// what a killed one left. Only the holder of the lock uses it.
static const char kEditSuffix[] = ".inifile-new";

// How long a waiting edit sleeps between tries of the lock.
static const long kLockPollMs = 10;

// The reason of the last recorded failure, per thread.
static thread_local int last_error = 0;

// The one place errno is read: records it as the reason of the failure
// just met, and returns it (EINTR: a signal cut the call short, and it is
// repeated).
static int take_error() {
    last_error = errno;
    return last_error;
}

// Records the reason of a failure the system did not report through errno.
static void record(int error) {
    last_error = error;
}

int platform_last_error() {
    return last_error;
}

void platform_error_text(int error, char* buffer, size_t size) {
    if (size > 0) {
        snprintf(buffer, size, "%s", strerror(error));
    }
}

// The descriptor is stored in the pointer value, so opening a file allocates
// nothing; 1 is added because descriptor 0 is valid and null means failure.
static PlatformFile* file_from_descriptor(int descriptor) {
    return reinterpret_cast<PlatformFile*>(static_cast<intptr_t>(descriptor) + 1);
}

static int descriptor_of(PlatformFile* file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

// Opens `path` with `flags`, repeating the call when a signal cuts it short.
static int open_retrying(const char* path, int flags, mode_t mode) {
    int descriptor;
    do {
        descriptor = open(path, flags | O_CLOEXEC, mode);
    } while (descriptor < 0 && take_error() == EINTR);
    return descriptor;
}

PlatformFile* platform_open_read(const char* path) {
    int descriptor = open_retrying(path, O_RDONLY, 0);
    if (descriptor < 0) {
        return nullptr;
    }
    // open() accepts a directory for reading; a configuration file never is one.
    struct stat status;
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        record(EISDIR);
        close(descriptor);
        return nullptr;
    }
    return file_from_descriptor(descriptor);
}

PlatformFile* platform_create(const char* path) {
    int descriptor = open_retrying(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return descriptor < 0 ? nullptr : file_from_descriptor(descriptor);
}

PlatformFile* platform_standard_input() {
    return file_from_descriptor(STDIN_FILENO);
}

PlatformFile* platform_standard_output() {
    return file_from_descriptor(STDOUT_FILENO);
}

long platform_read(PlatformFile* file, void* buffer, size_t size) {
    ssize_t got;
    do {
        got = read(descriptor_of(file), buffer, size);
    } while (got < 0 && take_error() == EINTR);
    return got < 0 ? -1 : static_cast<long>(got);
}

bool platform_write(PlatformFile* file, const void* data, size_t size) {
    // write() may store fewer bytes than asked (a full disk, a file-size
    // limit); the next call then reports the error, so keep writing until
    // everything is out or the system refuses.
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t wrote = write(descriptor_of(file), next, size);
        if (wrote < 0 && take_error() == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                record(ENOSPC);
            }
            return false;
        }
        next += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

bool platform_close(PlatformFile* file) {
    if (file == nullptr) {
        return true;
    }
    // Not repeated on EINTR: on Linux the descriptor is released anyway.
    if (close(descriptor_of(file)) != 0) {
        take_error();
        return false;
    }
    return true;
}

bool platform_has_separator(const char* text) {
    return strchr(text, kPathSeparator) != nullptr;
}

bool platform_exists(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0;
}

// Copies every byte from descriptor `from` to `to`.
static bool copy_bytes(int from, int to) {
    char buffer[kCopyChunkSize];
    for (;;) {
        long got = platform_read(file_from_descriptor(from), buffer, sizeof buffer);
        if (got <= 0) {
            return got == 0;
        }
        if (!platform_write(file_from_descriptor(to), buffer, static_cast<size_t>(got))) {
            return false;
        }
    }
}

// `target` with `suffix` appended to its last component, which gets a dot in
// front ("dir/.name<suffix>"), in a block the caller releases; null when out
// of memory.
static char* hidden_beside(const char* target, const char* suffix) {
    const char* separator = strrchr(target, kPathSeparator);
    size_t name = separator == nullptr ? 0 : static_cast<size_t>(separator - target) + 1;
    size_t length = strlen(target);
    size_t suffix_length = strlen(suffix);
    char* path = static_cast<char*>(malloc(length + 2 + suffix_length));
    if (path != nullptr) {
        memcpy(path, target, name);
        path[name] = '.';
        memcpy(path + name + 1, target + name, length - name);
        memcpy(path + length + 1, suffix, suffix_length + 1);
    }
    return path;
}

// Gives the new file `to` the mode, and where the system allows it the
// owner, of `status`; where it does not (only root may give a file away),
// the group, where the editor belongs to it.
static bool take_over(int to, const struct stat* status) {
    if (fchown(to, status->st_uid, status->st_gid) != 0) {
        static_cast<void>(fchown(to, static_cast<uid_t>(-1), status->st_gid));
    }
    if (fchmod(to, status->st_mode & 07777) != 0) {
        take_error();
        return false;
    }
    return true;
}

// The folder holding `path` ("dir/", or "." for a bare name), in a block
// the caller releases; null when out of memory.
static char* folder_of(const char* path) {
    const char* separator = strrchr(path, kPathSeparator);
    return separator == nullptr ? strdup(".") : strndup(path, size_t(separator - path) + 1);
}

// Flushes the folder holding `path`, so that a rename in it reaches the disk.
// A file system that cannot flush folders (EINVAL) has nothing to flush.
static bool flush_folder(const char* path) {
    char* folder = folder_of(path);
    int descriptor = folder == nullptr ? -1 : open_retrying(folder, O_RDONLY | O_DIRECTORY, 0);
    free(folder);
    if (descriptor < 0) {
        return false;
    }
    bool flushed = fsync(descriptor) == 0 || take_error() == EINVAL;
    close(descriptor);
    return flushed;
}

// Writes `size` bytes of `data` to a new file `temporary` that takes the
// mode and owner of `status`, flushes it and renames it to `target`. Nothing
// is left under `temporary` when it fails.
static bool write_and_rename(const char* temporary, const char* target, const struct stat* status,
                             const void* data, size_t size) {
    int to = open_retrying(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (to < 0) {
        return false;
    }
    bool written = take_over(to, status) && platform_write(file_from_descriptor(to), data, size);
    if (written && fsync(to) != 0) {
        take_error();
        written = false;
    }
    bool closed = platform_close(file_from_descriptor(to));
    if (written && closed) {
        if (rename(temporary, target) == 0) {
            return flush_folder(target);
        }
        take_error();
    }
    unlink(temporary);
    return false;
}

bool platform_copy_file(const char* source, const char* target) {
    int from = open_retrying(source, O_RDONLY, 0);
    if (from < 0) {
        return false;
    }
    struct stat source_status;
    struct stat target_status;
    bool copyable =
        fstat(from, &source_status) == 0 && S_ISREG(source_status.st_mode) &&
        !(stat(target, &target_status) == 0 && target_status.st_dev == source_status.st_dev &&
          target_status.st_ino == source_status.st_ino);
    if (!copyable) {
        close(from);
        return false;
    }
    // The bytes go to a new file that then replaces the target by rename: a
    // read-only target from an earlier run (launchers ship as 0555) is
    // replaced rather than refused, and an interrupted copy never leaves a
    // half-written target behind.
    char* temporary = hidden_beside(target, ".XXXXXX");
    int to = temporary == nullptr ? -1 : mkstemp(temporary);
    bool copied = to >= 0 && fchmod(to, source_status.st_mode & 07777) == 0 && copy_bytes(from, to);
    close(from);
    bool done = to >= 0 && close(to) == 0 && copied && rename(temporary, target) == 0;
    if (!done && to >= 0) {
        unlink(temporary);
    }
    free(temporary);
    return done;
}

struct PlatformEdit {
    char* target;     // the file itself, symbolic links resolved
    char* temporary;  // where its new text is written
    int descriptor;   // the file, open and locked
    bool created;     // by this edit, empty
    bool committed;
    EditText text;
};

EditText* edit_text_of(PlatformEdit* edit) {
    return &edit->text;
}

void record_out_of_memory() {
    record(ENOMEM);
}

// Milliseconds on a clock that only goes forward.
static long long now_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

static void sleep_ms(long ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&pause, nullptr);
}

// `path` with every symbolic link resolved, in a block the caller releases,
// or null. A missing file (for an edit that creates it) is named in its
// folder, resolved; a name that is there but leads nowhere (a dangling link)
// is missing.
static char* resolve(const char* path) {
    char* resolved = realpath(path, nullptr);
    struct stat status;
    if (resolved != nullptr || take_error() != ENOENT || lstat(path, &status) == 0) {
        return resolved;
    }
    const char* separator = strrchr(path, kPathSeparator);
    const char* name = separator == nullptr ? path : separator + 1;
    char* folder = folder_of(path);
    char* real_folder = folder == nullptr ? nullptr : realpath(folder, nullptr);
    free(folder);
    if (real_folder == nullptr) {
        take_error();
        return nullptr;
    }
    size_t size = strlen(real_folder) + strlen(name) + 2;
    resolved = static_cast<char*>(malloc(size));
    if (resolved != nullptr) {
        snprintf(resolved, size, "%s/%s", real_folder, name);
    }
    free(real_folder);
    return resolved;
}

// Opens the file `target` for an edit, after a look at what it is (opening
// a FIFO would wait for a writer), and where it is missing and `create` says
// so, creates it empty. PLATFORM_EDIT_OK with the descriptor in
// `*descriptor`, or with -1 there when the file came or went meanwhile.
static PlatformEditStatus open_for_edit(const char* target, bool create, int* descriptor,
                                        bool* created) {
    struct stat status;
    *descriptor = -1;
    *created = false;
    if (stat(target, &status) != 0) {
        if (take_error() != ENOENT) {
            return PLATFORM_EDIT_CANNOT_OPEN;
        }
        if (!create) {
            return PLATFORM_EDIT_MISSING;
        }
        *descriptor = open_retrying(target, O_RDWR | O_CREAT | O_EXCL, 0666);
        *created = *descriptor >= 0;
        return *created || last_error == EEXIST ? PLATFORM_EDIT_OK : PLATFORM_EDIT_CANNOT_OPEN;
    }
    if (!S_ISREG(status.st_mode)) {
        return PLATFORM_EDIT_NOT_REGULAR;
    }
    if ((status.st_mode & 0222) == 0) {
        return PLATFORM_EDIT_READ_ONLY;  // even for root, who could write it
    }
    *descriptor = open_retrying(target, O_RDWR | O_NONBLOCK, 0);
    if (*descriptor < 0) {
        switch (last_error) {
            case ENOENT:
                return PLATFORM_EDIT_OK;
            case EACCES:
            case EPERM:
            case EROFS:
                return PLATFORM_EDIT_READ_ONLY;
            default:
                return PLATFORM_EDIT_CANNOT_OPEN;
        }
    }
    return fstat(*descriptor, &status) == 0 && S_ISREG(status.st_mode) ? PLATFORM_EDIT_OK
                                                                       : PLATFORM_EDIT_NOT_REGULAR;
}

// Whether `descriptor` is still the file that `target` names.
static bool still_named(int descriptor, const char* target) {
    struct stat held;
    struct stat named;
    return fstat(descriptor, &held) == 0 && stat(target, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Reads the whole file of `edit` into its text: false on a read error.
static bool read_text(PlatformEdit* edit) {
    struct stat status;
    size_t expected = fstat(edit->descriptor, &status) == 0 ? size_t(status.st_size) : 0;
    return edit_text_read(file_from_descriptor(edit->descriptor), expected, &edit->text);
}

// Opens and locks the file `edit` names, waiting until `deadline`. The edit
// that held the lock may have replaced the file: its successor is then
// opened and locked in turn.
static PlatformEditStatus lock_file(PlatformEdit* edit, bool create, long long deadline) {
    for (;;) {
        PlatformEditStatus status =
            open_for_edit(edit->target, create, &edit->descriptor, &edit->created);
        if (status != PLATFORM_EDIT_OK) {
            return status;
        }
        if (edit->descriptor < 0) {  // the file came or went meanwhile
            if (now_ms() >= deadline) {
                return PLATFORM_EDIT_BUSY;
            }
            continue;
        }
        while (flock(edit->descriptor, LOCK_EX | LOCK_NB) != 0) {
            int error = take_error();
            if (error != EINTR && (error != EWOULDBLOCK || now_ms() >= deadline)) {
                close(edit->descriptor);
                edit->descriptor = -1;
                return error == EWOULDBLOCK ? PLATFORM_EDIT_BUSY : PLATFORM_EDIT_CANNOT_OPEN;
            }
            sleep_ms(kLockPollMs);
        }
        if (still_named(edit->descriptor, edit->target)) {
            return PLATFORM_EDIT_OK;
        }
        close(edit->descriptor);
        edit->descriptor = -1;
    }
}

PlatformEditStatus platform_edit_begin(const char* path, long wait_ms, bool create,
                                       PlatformEdit** edit) {
    long long deadline = now_ms() + (wait_ms > 0 ? wait_ms : 0);
    *edit = nullptr;
    PlatformEdit* made = static_cast<PlatformEdit*>(calloc(1, sizeof(PlatformEdit)));
    if (made == nullptr) {
        record(ENOMEM);
        return PLATFORM_EDIT_CANNOT_OPEN;
    }
    made->descriptor = -1;
    made->target = resolve(path);
    PlatformEditStatus status = PLATFORM_EDIT_CANNOT_OPEN;
    if (made->target == nullptr) {
        status = last_error == ENOENT ? PLATFORM_EDIT_MISSING : PLATFORM_EDIT_CANNOT_OPEN;
    } else if ((made->temporary = hidden_beside(made->target, kEditSuffix)) == nullptr) {
        record(ENOMEM);
    } else if ((status = lock_file(made, create, deadline)) == PLATFORM_EDIT_OK) {
        // What a killed edit left; no other edit can be using the name now.
        unlink(made->temporary);
        status = read_text(made) ? PLATFORM_EDIT_OK : PLATFORM_EDIT_CANNOT_READ;
    }
    if (status != PLATFORM_EDIT_OK) {
        platform_edit_end(made);
        return status;
    }
    *edit = made;
    return PLATFORM_EDIT_OK;
}

bool platform_edit_commit(PlatformEdit* edit, const void* data, size_t size) {
    struct stat status;
    if (fstat(edit->descriptor, &status) != 0) {
        take_error();
        return false;
    }
    edit->committed = write_and_rename(edit->temporary, edit->target, &status, data, size);
    return edit->committed;
}

void platform_edit_end(PlatformEdit* edit) {
    if (edit == nullptr) {
        return;
    }
    if (edit->descriptor >= 0) {
        // A file this edit made and did not fill goes again, unless another
        // edit has replaced it meanwhile (it could not have: the lock).
        if (edit->created && !edit->committed && still_named(edit->descriptor, edit->target)) {
            unlink(edit->target);
        }
        close(edit->descriptor);  // the lock goes with it
    }
    free(edit->text.bytes);
    free(edit->temporary);
    free(edit->target);
    free(edit);
}

void platform_binary_stdio() {
    // POSIX streams carry bytes as they are.
}

void platform_make_directory(const char* path) {
    mkdir(path, 0777);
}
