// POSIX memory pieces: anonymous mappings. C library only.
#include <sys/mman.h>

#include <stdint.h>

#include "memory.h"

// The size of a huge page where the system has them (x86-64, arm64 with 4
// KiB pages): a piece of memory aligned to it and as long can be backed by
// one, which one fault then brings in instead of 512.
static const size_t kHugePageBytes = 2 * 1024 * 1024;

void* platform_page_allocate(size_t size) {
    // Large pieces are mapped with room to align them to a huge page, and
    // the rest, before and after, is unmapped again.
    bool huge = size >= kHugePageBytes && size % kHugePageBytes == 0;
    if (huge && size > SIZE_MAX - kHugePageBytes) {
        return nullptr;
    }
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
