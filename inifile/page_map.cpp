// The map from an address to the page that holds it: what lets a record
// carry nothing before it. See page_map.h.
#include "page_map.h"

#include <atomic>
#include <cstdint>

#include "memory.h"

namespace {

// The map: which page holds each address, kept per 64 KiB block. Pages
// start at a multiple of 4 KiB (a system page) and are at least a block
// long, so a block holds parts of two pages at most: one covering its start
// up to a 4 KiB boundary, and one covering its end from one. Each is a
// word: the page's address, whose low bits are free, with that boundary in
// them. A lookup compares offsets and never reads a page, which another
// thread may be returning meanwhile.
constexpr unsigned kBlockShift = 16;
constexpr unsigned kBoundaryShift = 12;
constexpr uintptr_t kBoundaryMask = (uintptr_t(1) << kBoundaryShift) - 1;
static_assert(size_t(1) << kBlockShift == PLATFORM_PIECE_BYTES, "a block per piece unit");

struct BlockSlot {
    std::atomic<uintptr_t> lower;  // the page covering the block's start, up to its boundary
    std::atomic<uintptr_t> upper;  // the page covering the block's end, from its boundary
};

// Two levels, as the address space is 48 bits wide at most where pointers
// are 64 (x86-64, arm64): leaves, each the blocks of 4 GiB, found through a
// few root slots (a process maps its pages close together). The first leaf
// is static, so that a small load maps nothing for the map; the others are
// mapped as pages fall in their 4 GiB, and stay for the process. Zeroed
// memory reads as null atomics.
constexpr unsigned kLeafShift = 16;
constexpr size_t kLeafSlots = size_t(1) << kLeafShift;
constexpr unsigned kAddressBits = sizeof(void*) == 4 ? 32 : 48;
constexpr int kRootSlots = 16;
static_assert(std::atomic<uintptr_t>::is_always_lock_free, "a null atomic is all zero bytes");

struct Leaf {
    BlockSlot blocks[kLeafSlots];
};
static_assert(sizeof(Leaf) % PLATFORM_PIECE_BYTES == 0, "a leaf is a piece");

Leaf first_leaf;

// Which 4 GiB (plus one; 0: none yet) each leaf holds. Slots are claimed
// in order: a leaf first, then its root published.
std::atomic<uintptr_t> roots[kRootSlots];
std::atomic<Leaf*> leaves[kRootSlots];

// The first few small pages are noted here rather than in a leaf, so that a
// small load touches no page of the map it would not touch anyway: each a
// word, the page's address with its size in 64 KiB blocks in the low bits.
constexpr int kSmallSlots = 4;
constexpr size_t kLargestSmallPage = 16 * PLATFORM_PIECE_BYTES;
std::atomic<uintptr_t> small_pages[kSmallSlots];

// Notes (or forgets, where not `holder`) `page` of `size` bytes among the
// small pages; false where it has no slot there.
bool note_small(uintptr_t page, size_t size, bool holder) {
    if (size > kLargestSmallPage) {
        return false;
    }
    uintptr_t word = page | (size >> kBlockShift);
    for (std::atomic<uintptr_t>& slot : small_pages) {
        uintptr_t expected = holder ? 0 : word;
        if (slot.compare_exchange_strong(expected, holder ? word : 0, std::memory_order_relaxed)) {
            return true;
        }
    }
    return false;
}

// The leaf for `address`, found or (where `make`) made; null where there
// is none, or none can be made (no root slot or memory left).
Leaf* leaf_of(uintptr_t address, bool make) {
    if ((uint64_t(address) >> kAddressBits) != 0) {
        return nullptr;  // above the address space the map covers
    }
    uintptr_t root = (address >> kBlockShift >> kLeafShift) + 1;
    for (int i = 0; i < kRootSlots; ++i) {
        uintptr_t seen = roots[i].load(std::memory_order_acquire);
        if (seen == 0 && make) {
            Leaf* leaf =
                i == 0 ? &first_leaf : static_cast<Leaf*>(platform_page_allocate(sizeof(Leaf)));
            Leaf* none = nullptr;
            if (leaf != nullptr && leaves[i].compare_exchange_strong(none, leaf)) {
                roots[i].store(root, std::memory_order_release);
                return leaf;
            }
            if (leaf != nullptr && leaf != &first_leaf) {
                platform_page_release(leaf, sizeof(Leaf));  // another thread's came first
            }
            if (none == nullptr) {
                return nullptr;  // no memory for a leaf
            }
            while ((seen = roots[i].load(std::memory_order_acquire)) == 0) {
                // the other thread publishes its root in a moment
            }
        }
        if (seen == 0) {
            return nullptr;  // no later slot is claimed either
        }
        if (seen == root) {
            return leaves[i].load(std::memory_order_relaxed);
        }
    }
    return nullptr;
}

}  // namespace

bool ini_map_page(IniPage* page, size_t size, bool holder) {
    uintptr_t start = reinterpret_cast<uintptr_t>(page);
    if (note_small(start, size, holder)) {
        return true;
    }
    uintptr_t end = start + size;
    uintptr_t first = start >> kBlockShift, last = (end - 1) >> kBlockShift;
    for (uintptr_t block = first; block <= last; ++block) {
        if (leaf_of(block << kBlockShift, holder) == nullptr) {
            return false;
        }
    }
    for (uintptr_t block = first; block <= last; ++block) {
        BlockSlot& slot = leaf_of(block << kBlockShift, false)->blocks[block & (kLeafSlots - 1)];
        uintptr_t block_start = block << kBlockShift;
        uintptr_t block_end = block_start + PLATFORM_PIECE_BYTES;
        if (start > block_start) {
            uintptr_t boundary = (start - block_start) >> kBoundaryShift;
            slot.upper.store(holder ? start | boundary : 0, std::memory_order_relaxed);
        } else {
            uintptr_t boundary =
                ((end < block_end ? end : block_end) - block_start) >> kBoundaryShift;
            slot.lower.store(holder ? start | boundary : 0, std::memory_order_relaxed);
        }
    }
    return true;
}

IniPage* ini_page_at(const void* record) {
    uintptr_t address = reinterpret_cast<uintptr_t>(record);
    for (const std::atomic<uintptr_t>& slot : small_pages) {
        uintptr_t word = slot.load(std::memory_order_relaxed);
        uintptr_t start = word & ~kBoundaryMask;
        if (address - start < (word & kBoundaryMask) << kBlockShift) {
            return reinterpret_cast<IniPage*>(start);
        }
    }
    // Most processes map all their pages in one leaf's 4 GiB: the first.
    Leaf* leaf =
        roots[0].load(std::memory_order_acquire) == (address >> kBlockShift >> kLeafShift) + 1
            ? &first_leaf
            : leaf_of(address, false);
    if (leaf == nullptr) {
        return nullptr;
    }
    const BlockSlot& slot = leaf->blocks[(address >> kBlockShift) & (kLeafSlots - 1)];
    uintptr_t boundary = (address & ((uintptr_t(1) << kBlockShift) - 1)) >> kBoundaryShift;
    uintptr_t lower = slot.lower.load(std::memory_order_relaxed);
    if (lower != 0 && boundary < (lower & kBoundaryMask)) {
        return reinterpret_cast<IniPage*>(lower & ~kBoundaryMask);
    }
    uintptr_t upper = slot.upper.load(std::memory_order_relaxed);
    if (upper != 0 && boundary >= (upper & kBoundaryMask)) {
        return reinterpret_cast<IniPage*>(upper & ~kBoundaryMask);
    }
    return nullptr;
}
