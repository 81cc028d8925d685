// Win32 memory pieces: VirtualAlloc. C library only.
#include <windows.h>

#include "memory.h"

void* platform_page_allocate(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void platform_page_release(void* page, size_t) {
    VirtualFree(page, 0, MEM_RELEASE);
}
