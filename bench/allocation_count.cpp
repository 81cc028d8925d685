#include "allocation_count.h"

#include <cstddef>

namespace {

// The benchmarks run on one thread.
long g_allocations = 0;
long g_frees = 0;

}  // namespace

#ifdef BENCH_WRAP_ALLOCATOR
extern "C" {
void* __real_malloc(size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);

void* __wrap_malloc(size_t size) {
    ++g_allocations;
    return __real_malloc(size);
}

void* __wrap_realloc(void* block, size_t size) {
    ++g_allocations;
    return __real_realloc(block, size);
}

void __wrap_free(void* block) {
    ++g_frees;
    __real_free(block);
}
}
#endif

AllocationCount allocation_count() {
    return {g_allocations, g_frees};
}
