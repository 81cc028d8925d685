// Allocation for the whole module. None of the public operations can report
// running out of memory through its result, so it ends the process instead of
// letting a half-built document escape.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "memory.h"

namespace {

// From this size on an array is a piece of its own. Below it the heap's
// few faults are cheaper than a huge page mostly unused.
constexpr size_t kLargeArrayBytes = 64 * 1024;

// The piece holding an array of `bytes`: whole huge pages.
size_t piece_bytes(size_t bytes) {
    return ini_round_up(bytes, PLATFORM_HUGE_PAGE_BYTES);
}

// Bytes of arrays held in pieces now, in all documents: what the tests watch.
std::atomic<size_t> array_piece_bytes{0};

}  // namespace

void* ini_allocate(size_t size) {
    void* block = malloc(size);
    if (block == nullptr) {
        abort();
    }
    return block;
}

void* ini_reallocate(void* block, size_t size) {
    void* grown = realloc(block, size);
    if (grown == nullptr) {
        abort();
    }
    return grown;
}

size_t ini_allocated_slots(int32_t capacity) {
    size_t allocated = kInitialSlots;
    while (allocated < size_t(capacity)) {
        allocated *= 2;
    }
    return allocated;
}

size_t ini_round_up(size_t size, size_t to) {
    if (size > SIZE_MAX - (to - 1)) {
        abort();
    }
    return (size + to - 1) / to * to;
}

void* ini_array_resize(void* array, size_t used, size_t bytes, size_t new_bytes) {
    if (new_bytes < kLargeArrayBytes) {
        return ini_reallocate(array, new_bytes);
    }
    if (bytes >= kLargeArrayBytes && piece_bytes(bytes) >= new_bytes) {
        return array;  // its piece has room
    }
    // Copied, not remapped: a piece keeps its huge-page alignment, and the
    // copies of a doubling array add up to its final size once.
    void* piece = platform_page_allocate(piece_bytes(new_bytes));
    if (piece == nullptr) {
        abort();
    }
    array_piece_bytes.fetch_add(piece_bytes(new_bytes), std::memory_order_relaxed);
    if (used > 0) {
        memcpy(piece, array, used);
    }
    ini_array_release(array, bytes);
    return piece;
}

void ini_array_release(void* array, size_t bytes) {
    if (bytes < kLargeArrayBytes) {
        free(array);
    } else if (array != nullptr) {
        platform_page_release(array, piece_bytes(bytes));
        array_piece_bytes.fetch_sub(piece_bytes(bytes), std::memory_order_relaxed);
    }
}

size_t ini_array_piece_bytes() {
    return array_piece_bytes.load(std::memory_order_relaxed);
}
