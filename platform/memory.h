// Memory from the system in large pieces, for the module's pages: the one
// memory service of the platform layer, apart from its file services. One
// implementation per platform (memory_posix.cpp, memory_win32.cpp); C
// library only, as files.h.
#ifndef PLATFORM_MEMORY_H_
#define PLATFORM_MEMORY_H_

#include <stddef.h>

// `size` bytes, aligned for any record, from the system rather than the
// heap (huge pages where the system gives them for large pieces), zeroed or
// not. Null when the system has none. Returned whole, with the same size,
// by platform_page_release.
void* platform_page_allocate(size_t size);
void platform_page_release(void* page, size_t size);

#endif  // PLATFORM_MEMORY_H_
