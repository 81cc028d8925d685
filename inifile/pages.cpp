// Records in pages. A load makes one record per line; from the heap each is
// a block of its own, with the allocator's bookkeeping and a fresh page
// faulted in every few dozen lines. From pages, records lie back to back in
// memory the module maps in large pieces (huge pages where the system gives
// them), and releasing a document returns whole pages.
//
// Records of one page may be released on different threads (two sections
// of one load, say): a page's count of live records is atomic, and the
// spare pages are taken and given back through atomic slots.
#include "pages.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "internal.h"
#include "memory.h"

// A page: this header, then records, each behind its RecordHeader.
struct IniPage {
    size_t size;               // bytes mapped, this header included
    size_t used;               // bytes handed out from the start, this header included
    std::atomic<size_t> live;  // records alive in it, plus one while a load fills it
    bool from_heap;            // the system had no page: malloc gave it
};

namespace {

// What stands before every record: its page, or null for a heap record.
struct RecordHeader {
    IniPage* page;
};

// Records hold pointers and 32-bit counts: pointer alignment is enough.
constexpr size_t kAlign = alignof(void*);
static_assert(sizeof(RecordHeader) % kAlign == 0, "records follow their headers aligned");
static_assert(sizeof(IniPage) % kAlign == 0, "the first record follows the page aligned");

// The first page of a load, and the largest a page grows to: doubling from
// small keeps a small file's load small, and the cap keeps the unused end of
// the last page, which costs address space only, within bounds.
constexpr size_t kFirstPageBytes = 64 * 1024;
constexpr size_t kLargestPageBytes = 32 * 1024 * 1024;

// A record's own page from this size on is sized in whole huge pages (2 MiB
// on the systems that have them), so that the system can back it with them.
constexpr size_t kHugePageBytes = 2 * 1024 * 1024;

// Pages holding records now, and bytes taken from the system for pages,
// spares included; documents in different threads may count at once.
std::atomic<size_t> pages_in_use{0};
std::atomic<size_t> page_bytes{0};

// `a` + `b`, or the end of the process where no memory could hold that.
size_t add(size_t a, size_t b) {
    if (a > SIZE_MAX - b) {
        abort();
    }
    return a + b;
}

size_t round_up(size_t size, size_t to) {
    return add(size, to - 1) / to * to;
}

// The pages emptied last, kept mapped (and faulted in) for the next load of
// the same shape: a program that loads again pays no system call and no
// fault for them, as it would not with the heap, which keeps freed memory
// too. A few slots, and a few MiB in all: a spare is memory nobody uses.
constexpr int kSpares = 4;
constexpr size_t kSpareBytes = 4 * 1024 * 1024;
std::atomic<IniPage*> spares[kSpares];
std::atomic<size_t> spare_bytes{0};

// A page of `size` bytes from the system, or from the heap where the system
// has none.
IniPage* map(size_t size) {
    void* memory = platform_page_allocate(size);
    bool from_heap = memory == nullptr;
    if (from_heap) {
        memory = ini_allocate(size);
    }
    page_bytes.fetch_add(size, std::memory_order_relaxed);
    IniPage* page = new (memory) IniPage;
    page->size = size;
    page->from_heap = from_heap;
    return page;
}

// Returns `page` to where it came from.
void unmap(IniPage* page) {
    size_t size = page->size;
    bool from_heap = page->from_heap;
    page->~IniPage();
    if (from_heap) {
        free(page);
    } else {
        platform_page_release(page, size);
    }
    page_bytes.fetch_sub(size, std::memory_order_relaxed);
}

// A spare page of exactly `size` bytes, or null. A page is looked at only
// once it is taken out of its slot: another load may take it meanwhile.
IniPage* take_spare(size_t size) {
    for (std::atomic<IniPage*>& slot : spares) {
        IniPage* page = slot.exchange(nullptr);
        if (page == nullptr) {
            continue;
        }
        if (page->size == size) {
            spare_bytes.fetch_sub(size);
            return page;
        }
        IniPage* none = nullptr;
        if (!slot.compare_exchange_strong(none, page)) {
            spare_bytes.fetch_sub(page->size);
            unmap(page);  // the slot was filled meanwhile
        }
    }
    return nullptr;
}

// Keeps the emptied `page` as a spare where a slot is free and the spares'
// bytes allow it; otherwise it goes back at once.
void keep_spare(IniPage* page) {
    size_t size = page->size;
    if (!page->from_heap) {
        if (spare_bytes.fetch_add(size) + size <= kSpareBytes) {
            for (std::atomic<IniPage*>& slot : spares) {
                IniPage* none = nullptr;
                if (slot.compare_exchange_strong(none, page)) {
                    return;
                }
            }
        }
        spare_bytes.fetch_sub(size);
    }
    unmap(page);
}

// A new page of `size` bytes, holding nothing yet.
IniPage* new_page(size_t size) {
    IniPage* page = take_spare(size);
    if (page == nullptr) {
        page = map(size);
    }
    page->used = sizeof(IniPage);
    page->live.store(0, std::memory_order_relaxed);
    pages_in_use.fetch_add(1, std::memory_order_relaxed);
    return page;
}

// Counts one record less in `page`; the thread that drops the last one
// makes it a spare. (acq_rel: whatever the other threads did with their
// records happens before the page is reused.)
void drop(IniPage* page) {
    if (page->live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        pages_in_use.fetch_sub(1, std::memory_order_relaxed);
        keep_spare(page);
    }
}

}  // namespace

void ini_pages_init(IniPages* pages) {
    pages->current = nullptr;
    pages->next_size = kFirstPageBytes;
}

void* ini_pages_record(IniPages* pages, size_t size) {
    size_t needed = round_up(add(sizeof(RecordHeader), size), kAlign);
    IniPage* page = pages->current;
    if (page == nullptr || page->size - page->used < needed) {
        if (needed > pages->next_size / 2) {
            // A record this large (a very long line) gets a page of its own,
            // and the current page stays the one to fill.
            size_t own = round_up(add(sizeof(IniPage), needed), kFirstPageBytes);
            page = new_page(own < kHugePageBytes ? own : round_up(own, kHugePageBytes));
        } else {
            if (page != nullptr) {
                drop(page);  // the load's hold on it
            }
            page = new_page(pages->next_size);
            page->live.store(1, std::memory_order_relaxed);
            pages->current = page;
            if (pages->next_size < kLargestPageBytes) {
                pages->next_size *= 2;
            }
        }
    }
    RecordHeader* header =
        reinterpret_cast<RecordHeader*>(reinterpret_cast<char*>(page) + page->used);
    page->used += needed;
    page->live.fetch_add(1, std::memory_order_relaxed);
    header->page = page;
    return header + 1;
}

void ini_pages_close(IniPages* pages) {
    if (pages->current != nullptr) {
        drop(pages->current);
        pages->current = nullptr;
    }
}

void* ini_record_allocate(size_t size) {
    RecordHeader* header =
        static_cast<RecordHeader*>(ini_allocate(add(sizeof(RecordHeader), size)));
    header->page = nullptr;
    return header + 1;
}

void* ini_record_reallocate(void* record, size_t size) {
    RecordHeader* header = static_cast<RecordHeader*>(record) - 1;
    header = static_cast<RecordHeader*>(ini_reallocate(header, add(sizeof(RecordHeader), size)));
    return header + 1;
}

void ini_record_release(void* record) {
    if (record == nullptr) {
        return;
    }
    RecordHeader* header = static_cast<RecordHeader*>(record) - 1;
    if (header->page != nullptr) {
        drop(header->page);
    } else {
        free(header);
    }
}

size_t ini_pages_in_use() {
    return pages_in_use.load(std::memory_order_relaxed);
}

size_t ini_page_bytes() {
    return page_bytes.load(std::memory_order_relaxed);
}
