// POSIX file services: Linux and other Unix systems. C library only.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "files.h"

const char kPathSeparator = '/';

// Bytes moved per read() when copying; large enough that launchers of a few
// megabytes take a handful of calls.
static const size_t kCopyChunkSize = 64 * 1024;

// The descriptor is stored in the pointer value, so opening a file allocates
// nothing; 1 is added because descriptor 0 is valid and null means failure.
static PlatformFile* file_from_descriptor(int descriptor) {
    return reinterpret_cast<PlatformFile*>(static_cast<intptr_t>(descriptor) + 1);
}

static int descriptor_of(PlatformFile* file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

// The one place errno is read: a call cut short by a signal is repeated.
static bool interrupted() {
    return errno == EINTR;
}

// Opens `path` with `flags`, repeating the call when a signal cuts it short.
static int open_retrying(const char* path, int flags, mode_t mode) {
    int descriptor;
    do {
        descriptor = open(path, flags | O_CLOEXEC, mode);
    } while (descriptor < 0 && interrupted());
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
        close(descriptor);
        return nullptr;
    }
    return file_from_descriptor(descriptor);
}

PlatformFile* platform_create(const char* path) {
    int descriptor = open_retrying(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return descriptor < 0 ? nullptr : file_from_descriptor(descriptor);
}

long platform_read(PlatformFile* file, void* buffer, size_t size) {
    ssize_t got;
    do {
        got = read(descriptor_of(file), buffer, size);
    } while (got < 0 && interrupted());
    return got < 0 ? -1 : static_cast<long>(got);
}

bool platform_write(PlatformFile* file, const void* data, size_t size) {
    // write() may store fewer bytes than asked (a full disk, a file-size
    // limit); the next call then reports the error, so keep writing until
    // everything is out or the system refuses.
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t wrote = write(descriptor_of(file), next, size);
        if (wrote < 0 && interrupted()) {
            continue;
        }
        if (wrote <= 0) {
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
    return close(descriptor_of(file)) == 0;
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
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && interrupted()) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!platform_write(file_from_descriptor(to), buffer, static_cast<size_t>(got))) {
            return false;
        }
    }
}

// A hidden name beside `target` for the copy in progress: "dir/.name.XXXXXX",
// a template for mkstemp, in a block the caller releases; null when out of
// memory.
static char* temporary_template(const char* target) {
    static const char kSuffix[] = ".XXXXXX";
    const char* separator = strrchr(target, kPathSeparator);
    size_t name = separator == nullptr ? 0 : static_cast<size_t>(separator - target) + 1;
    size_t length = strlen(target);
    char* path = static_cast<char*>(malloc(length + 1 + sizeof kSuffix));
    if (path != nullptr) {
        memcpy(path, target, name);
        path[name] = '.';
        memcpy(path + name + 1, target + name, length - name);
        memcpy(path + length + 1, kSuffix, sizeof kSuffix);
    }
    return path;
}

// A new hidden file beside `target` with permissions `mode`, open for
// writing; its name goes to `*temporary` (released by finish_beside).
// -1 when it cannot be made.
static int start_beside(const char* target, mode_t mode, char** temporary) {
    *temporary = temporary_template(target);
    int to = *temporary == nullptr ? -1 : mkstemp(*temporary);
    if (to >= 0 && fchmod(to, mode & 07777) != 0) {
        close(to);
        unlink(*temporary);
        to = -1;
    }
    return to;
}

// Closes `to`; when `written` and the close went well, its file replaces
// `target` by rename, else it goes. True when it replaced `target`.
static bool finish_beside(int to, char* temporary, const char* target, bool written) {
    bool done = to >= 0 && close(to) == 0 && written && rename(temporary, target) == 0;
    if (!done && temporary != nullptr) {
        unlink(temporary);
    }
    free(temporary);
    return done;
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
    char* temporary = nullptr;
    int to = start_beside(target, source_status.st_mode, &temporary);
    bool copied = to >= 0 && copy_bytes(from, to);
    close(from);
    return finish_beside(to, temporary, target, copied);
}

bool platform_replace_file(const char* path, const void* data, size_t size) {
    // Through a symbolic link the file it names is replaced, not the link.
    char* resolved = realpath(path, nullptr);
    struct stat status;
    if (resolved == nullptr || stat(resolved, &status) != 0 || !S_ISREG(status.st_mode)) {
        free(resolved);
        return false;
    }
    char* temporary = nullptr;
    int to = start_beside(resolved, status.st_mode, &temporary);
    if (to >= 0) {
        // The owner is kept where the system lets it (root editing another
        // user's file); elsewhere the file becomes the editor's, as any new one.
        static_cast<void>(fchown(to, status.st_uid, status.st_gid));
    }
    bool written = to >= 0 && platform_write(file_from_descriptor(to), data, size);
    bool replaced = finish_beside(to, temporary, resolved, written);
    free(resolved);
    return replaced;
}

void platform_binary_stdio() {
    // POSIX streams carry bytes as they are.
}

void platform_make_directory(const char* path) {
    mkdir(path, 0777);
}

// The size of a huge page where the system has them (x86-64, arm64 with 4
// KiB pages): a piece of memory aligned to it and as long can be backed by
// one, which one fault then brings in instead of 512.
static const size_t kHugePageBytes = 2 * 1024 * 1024;

void* platform_page_allocate(size_t size) {
    // Large pieces are mapped with room to align them to a huge page, and
    // the rest is unmapped again.
    bool huge = size >= kHugePageBytes && size % kHugePageBytes == 0;
    size_t mapped = huge ? size + kHugePageBytes : size;
    void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) {
        return nullptr;
    }
    if (!huge) {
        return start;
    }
    char* bytes = static_cast<char*>(start);
    size_t head =
        (kHugePageBytes - reinterpret_cast<uintptr_t>(bytes) % kHugePageBytes) % kHugePageBytes;
    if (head > 0) {
        munmap(bytes, head);
    }
    munmap(bytes + head + size, kHugePageBytes - head);
#ifdef MADV_HUGEPAGE
    // A request only: where the system says no, small pages do as well.
    madvise(bytes + head, size, MADV_HUGEPAGE);
#endif
    return bytes + head;
}

void platform_page_release(void* page, size_t size) {
    munmap(page, size);
}
