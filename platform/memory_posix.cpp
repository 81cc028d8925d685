// POSIX memory pieces: anonymous mappings. C library only.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <stdint.h>
#include <string.h>

#include "memory.h"

void* platform_page_allocate(size_t size) {
    bool huge = size >= PLATFORM_HUGE_PAGE_BYTES && size % PLATFORM_HUGE_PAGE_BYTES == 0;
    size_t mapped = size;
    if (huge) {
        // mmap aligns to the system page only: a piece in huge pages is mapped
        // with room to align it, and the rest, before and after, is unmapped
        // again. (Not for small pieces: each munmap costs what a few faults do.)
        if (size > SIZE_MAX - PLATFORM_HUGE_PAGE_BYTES) {
            return nullptr;
        }
        mapped += PLATFORM_HUGE_PAGE_BYTES;
    }
    void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) {
        return nullptr;
    }
    if (!huge) {
        return start;
    }
    char* bytes = static_cast<char*>(start);
    size_t head =
        (PLATFORM_HUGE_PAGE_BYTES - reinterpret_cast<uintptr_t>(bytes) % PLATFORM_HUGE_PAGE_BYTES) %
        PLATFORM_HUGE_PAGE_BYTES;
    if (head > 0) {
        munmap(bytes, head);
    }
    munmap(bytes + head + size, PLATFORM_HUGE_PAGE_BYTES - head);
#ifdef MADV_HUGEPAGE
    // A request only: where the system says no, small pages do as well.
    madvise(bytes + head, size, MADV_HUGEPAGE);
#endif
    return bytes + head;
}

void platform_page_release(void* page, size_t size) {
    munmap(page, size);
}

bool platform_has_huge_pages(void) {
    // Linux tells its setting as "always [madvise] never", the chosen one in
    // brackets; elsewhere there is no such file.
    int file = open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    char setting[128];
    ssize_t got = read(file, setting, sizeof setting - 1);
    close(file);
    setting[got > 0 ? got : 0] = '\0';
    return got > 0 && strstr(setting, "[never]") == nullptr;
}
