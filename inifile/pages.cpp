// Records in pages. A load makes one record per line; from the heap each is
// a block of its own, with the allocator's bookkeeping and a fresh page
// faulted in every few dozen lines. From pages, records lie back to back in
// memory the module maps in large pieces (huge pages where the system gives
// them), and releasing a document returns whole pages.
//
// A record carries nothing before it: the map (page_map.h) tells its page
// by its address, or that it has none (a heap record).
//
// Records of one page may be released on different threads (two sections
// of one load, say): a page's count of live records is atomic, and the map
// and the spare pages are read and written through atomics.
#include "pages.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal.h"
#include "memory.h"
#include "page_map.h"

// A page: this header, then records and their texts, chunk by chunk.
struct IniPage {
    size_t size;               // bytes mapped, this header included
    std::atomic<size_t> live;  // records alive in it (more while a load fills it)
};

namespace {

static_assert(sizeof(IniPage) % kRecordAlign == 0, "the first record follows the page aligned");

// Texts lie apart from the records, so that an entry pays no padding to
// align the record after it: each chunk of a page holds records from its
// start up and their texts from its end down, and an entry that does not
// fit in what is left of a chunk goes to the next (a few bytes lost per
// chunk, not per entry). A record and text larger than a chunk lie as one
// piece, over as many chunks as they need.
constexpr size_t kChunkBytes = 4096;

// The first page of a load whose size is unknown or small, and the largest
// a page grows to: doubling from small keeps a small file's load small, and
// the cap keeps the unused end of the last page, which costs address space
// only, within bounds.
constexpr size_t kFirstPageBytes = PLATFORM_PIECE_BYTES;
constexpr size_t kLargestPageBytes = 32 * 1024 * 1024;

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

// Bytes of a page for `size` bytes: whole 64 KiB, and whole huge pages
// from half a huge page on, so that the system can back it with them.
size_t page_size_for(size_t size) {
    size = ini_round_up(size, PLATFORM_PIECE_BYTES);
    return size < PLATFORM_HUGE_PAGE_BYTES / 2 ? size
                                               : ini_round_up(size, PLATFORM_HUGE_PAGE_BYTES);
}

// The small pages emptied last, kept mapped (and faulted in) for the next
// load of the same shape: a program that loads again pays no system call
// and no fault for them, as it would not with the heap, which keeps freed
// memory too. A few slots, and a few MiB in all: a spare is memory nobody
// uses. A page in huge pages goes back at once: kept, it would add its
// size to the peak of the load that emptied it (a large section's slots,
// moving to a larger page).
constexpr int kSpares = 4;
constexpr size_t kSpareBytes = 4 * 1024 * 1024;
constexpr size_t kLargestSpareBytes = PLATFORM_HUGE_PAGE_BYTES / 2;
std::atomic<IniPage*> spares[kSpares];
std::atomic<size_t> spare_bytes{0};

// A page of `size` bytes from the system, noted in the map, or null.
IniPage* map(size_t size) {
    void* memory = platform_page_allocate(size);
    if (memory == nullptr) {
        return nullptr;
    }
    IniPage* page = new (memory) IniPage;
    page->size = size;
    if (!ini_map_page(page, size, true)) {
        page->~IniPage();
        platform_page_release(memory, size);
        return nullptr;
    }
    page_bytes.fetch_add(size, std::memory_order_relaxed);
    return page;
}

// Returns `page` to the system.
void unmap(IniPage* page) {
    size_t size = page->size;
    ini_map_page(page, size, false);
    page->~IniPage();
    platform_page_release(page, size);
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
    if (size <= kLargestSpareBytes) {
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

// A new page of `size` bytes holding nothing yet, with `live` records, or
// null where the system has none the map can cover: the caller takes heap
// blocks then.
IniPage* new_page(size_t size, size_t live) {
    IniPage* page = take_spare(size);
    if (page == nullptr) {
        page = map(size);
        if (page == nullptr) {
            return nullptr;
        }
    }
    page->live.store(live, std::memory_order_relaxed);
    pages_in_use.fetch_add(1, std::memory_order_relaxed);
    return page;
}

// Adds `count` (modulo the word) to the records `page` counts as alive;
// the thread that brings them to none makes it a spare. (acq_rel: whatever
// the other threads did with their records happens before the page is
// reused.)
void count_records(IniPage* page, size_t count) {
    if (page->live.fetch_add(count, std::memory_order_acq_rel) + count == 0) {
        pages_in_use.fetch_sub(1, std::memory_order_relaxed);
        keep_spare(page);
    }
}

// While a load fills a page, the page counts this many records more than
// it holds, so that records released meanwhile (a failed load's) never
// bring it to none; the load counts what it hands out in its cursor, and
// settles both when it moves on (no atomic operation per record).
constexpr size_t kLoadHold = SIZE_MAX / 2;

// Settles the current page's count and lets go of it: it goes once its
// records have.
void let_go(IniPages* pages) {
    if (pages->current != nullptr) {
        count_records(pages->current, pages->carved - kLoadHold);
        pages->current = nullptr;
    }
}

// The address at `at` rounded up to a multiple of `to`.
char* round_up(char* at, size_t to) {
    return at +
           (ini_round_up(reinterpret_cast<uintptr_t>(at), to) - reinterpret_cast<uintptr_t>(at));
}

// Moves the cursor past the current chunk to room for `both` bytes (a
// record and its text) in the current page: the next chunk, or where they
// are larger than a chunk, one piece that may span several, starting where
// the records end when no text is in its way. False where the page has no
// such room. (Pages start at a multiple of a chunk, so chunks are aligned.)
bool next_chunk(IniPages* pages, size_t both) {
    if (pages->current == nullptr) {
        return false;
    }
    char* page_end = reinterpret_cast<char*>(pages->current) + pages->current->size;
    bool large = both > kChunkBytes;
    char* start = large && pages->text_top == pages->chunk_end ? pages->next : pages->chunk_end;
    if (size_t(page_end - start) < (large ? both : kChunkBytes)) {
        return false;
    }
    pages->next = start;
    pages->chunk_end = large ? start : start + kChunkBytes;
    pages->text_top = pages->chunk_end;
    return true;
}

}  // namespace

void ini_pages_init(IniPages* pages, size_t expected) {
    pages->current = nullptr;
    pages->next = nullptr;
    pages->text_top = nullptr;
    pages->chunk_end = nullptr;
    pages->carved = 0;
    pages->next_size = expected <= kFirstPageBytes     ? kFirstPageBytes
                       : expected >= kLargestPageBytes ? kLargestPageBytes
                                                       : page_size_for(expected);
}

void* ini_pages_record_slow(IniPages* pages, size_t size, size_t text_size, char** text) {
    size_t needed = ini_round_up(size, kRecordAlign);
    size_t both = add(needed, text_size);
    if (!next_chunk(pages, both)) {
        if (both > pages->next_size / 2) {
            // A record this large (a very long line) gets a page of its own,
            // and the current page stays the one to fill.
            size_t room;
            char* record = static_cast<char*>(ini_page_record_allocate(both, &room));
            *text = record + needed;
            return record;
        }
        IniPage* page = new_page(pages->next_size, kLoadHold);
        if (page == nullptr) {
            char* record = static_cast<char*>(ini_record_allocate(both));
            *text = record + needed;
            return record;
        }
        let_go(pages);
        pages->current = page;
        pages->carved = 0;
        pages->next = reinterpret_cast<char*>(page + 1);
        pages->chunk_end = reinterpret_cast<char*>(page) + kChunkBytes;
        pages->text_top = pages->chunk_end;
        pages->next_size = pages->next_size < kLargestPageBytes / 2
                               ? page_size_for(pages->next_size * 2)
                               : kLargestPageBytes;
        if (both > kChunkBytes) {
            next_chunk(pages, both);  // from the first record on: it fits
        }
    }
    char* record = pages->next;
    ++pages->carved;
    if (both > kChunkBytes) {
        // One piece, its text right after the record; the chunk it ends in
        // takes the next records.
        *text = record + needed;
        pages->next = round_up(record + both, kRecordAlign);
        pages->chunk_end = round_up(pages->next, kChunkBytes);
        pages->text_top = pages->chunk_end;
        return record;
    }
    pages->next += needed;
    pages->text_top -= text_size;
    *text = pages->text_top;
    return record;
}

void ini_pages_close(IniPages* pages) {
    let_go(pages);
}

void* ini_page_record_allocate(size_t size, size_t* room) {
    IniPage* page = new_page(page_size_for(add(sizeof(IniPage), size)), 1);
    if (page == nullptr) {
        *room = size;
        return ini_record_allocate(size);
    }
    *room = page->size - sizeof(IniPage);
    return page + 1;
}

void* ini_record_allocate(size_t size) {
    return ini_allocate(size);
}

void* ini_record_reallocate(void* record, size_t size) {
    return ini_reallocate(record, size);
}

void ini_record_release(void* record) {
    if (record != nullptr) {
        IniReleaseRun run = {};
        ini_record_release_in_run(&run, record, nullptr);
        ini_release_run_end(&run);
    }
}

void ini_record_release_in_run(IniReleaseRun* run, void* record, void* text) {
    uintptr_t at = reinterpret_cast<uintptr_t>(record);
    if (at - run->start >= run->end - run->start) {
        ini_release_run_end(run);
        IniPage* found = ini_page_at(record);
        run->start = reinterpret_cast<uintptr_t>(found);
        run->end = found == nullptr ? run->start : run->start + found->size;
    }
    if (text != nullptr &&
        reinterpret_cast<uintptr_t>(text) - run->start >= run->end - run->start) {
        free(text);  // a block of its own
    }
    if (run->start != 0) {
        ++run->released;
    } else {
        free(record);
    }
}

void ini_release_run_end(IniReleaseRun* run) {
    if (run->released > 0) {
        count_records(reinterpret_cast<IniPage*>(run->start), size_t(0) - run->released);
    }
    *run = {};
}

size_t ini_page_of(const void* address, const void** start) {
    IniPage* page = ini_page_at(address);
    *start = page;
    return page == nullptr ? 0 : page->size;
}

size_t ini_pages_in_use() {
    return pages_in_use.load(std::memory_order_relaxed);
}

size_t ini_page_bytes() {
    return page_bytes.load(std::memory_order_relaxed);
}
