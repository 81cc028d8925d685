// Memory from the system in large pieces, for the module's pages and its
// large arrays: the one memory service of the platform layer, apart from its
// file services. One implementation per platform (memory_posix.cpp,
// memory_win32.cpp); C library only, as files.h.
#ifndef PLATFORM_MEMORY_H_
#define PLATFORM_MEMORY_H_

#include <stddef.h>

// Pieces are sized in multiples of this (64 KiB, the allocation
// granularity of Windows) and start at a multiple of 4 KiB, the system's
// page, at least.
#define PLATFORM_PIECE_BYTES ((size_t)64 * 1024)

// A huge page where the system has transparent ones (x86-64, arm64 with 4
// KiB pages). A piece sized in whole huge pages is aligned to one and asked
// to be backed by them, so that one fault brings in 2 MiB instead of 4 KiB.
#define PLATFORM_HUGE_PAGE_BYTES ((size_t)2 * 1024 * 1024)

// `size` bytes (a multiple of PLATFORM_PIECE_BYTES), aligned as above,
// from the system rather than the heap, zeroed. Null when the system has
// none. Returned whole, with the same size, by platform_page_release.
void* platform_page_allocate(size_t size);
void platform_page_release(void* page, size_t size);

// Whether pieces in whole huge pages may be backed by them here: the
// system has transparent huge pages and they are not switched off.
bool platform_has_huge_pages(void);

#endif  // PLATFORM_MEMORY_H_
