// Calls into the C allocator by the module, counted for the benchmarks. The
// bench executable is linked with malloc, realloc and free wrapped (GNU ld's
// --wrap), which reroutes the calls of the objects linked into it, the
// module's static library among them, and none of the shared libraries':
// the module itself carries no counting of its own.
#ifndef BENCH_ALLOCATION_COUNT_H_
#define BENCH_ALLOCATION_COUNT_H_

struct AllocationCount {
    long allocations;  // malloc and realloc calls
    long frees;        // free calls
};

// The counts so far; all zero where the build could not wrap the allocator.
AllocationCount allocation_count();

#endif  // BENCH_ALLOCATION_COUNT_H_
