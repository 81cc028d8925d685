// Win32 memory pieces: VirtualAlloc, whose allocation granularity (64 KiB)
// is the pieces' alignment. Windows has no transparent huge pages: large
// pages need MEM_LARGE_PAGES and the "Lock pages in memory" privilege, which
// a program run by an ordinary user does not hold, and they are committed
// whole at once. Pieces stay in 4 KiB pages here. C library only.
#include <windows.h>

#include "memory.h"

void* platform_page_allocate(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void platform_page_release(void* page, size_t) {
    VirtualFree(page, 0, MEM_RELEASE);
}

bool platform_has_huge_pages(void) {
    return false;  // see above
}
