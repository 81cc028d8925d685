// Where the module's records (an entry's block, a section's block) come
// from: a load carves them out of large pages, anything built one by one
// gets a heap block. Any record can be released alone, in any order,
// whoever holds it: a page goes back to the system once no record in it is
// alive. A record carries nothing for this; its address tells its page.
#ifndef INIFILE_PAGES_H_
#define INIFILE_PAGES_H_

#include <cstddef>
#include <cstdint>

struct IniPage;

// The pages one load fills: the page records are carved from, with the
// cursor in it, and the size of the next one. The load holds on to its
// current page until ini_pages_close, so it cannot go while records are
// still to come. Records lie from a chunk's start up, their texts from its
// end down (pages.cpp).
struct IniPages {
    IniPage* current;
    char* next;        // where the next record goes
    char* text_top;    // the next text ends here
    char* chunk_end;   // the end of the current chunk
    size_t carved;     // records handed out from the current page
    size_t next_size;  // bytes of the next page
};

// `expected`: the bytes of records the load will likely take (0: unknown).
// A large load starts with a page that size, in huge pages, rather than
// doubling up to it from a small one.
void ini_pages_init(IniPages* pages, size_t expected);

// ini_pages_record where the current chunk has no room.
void* ini_pages_record_slow(IniPages* pages, size_t size, size_t text_size, char** text);

// Records hold pointers and 32-bit counts: pointer alignment is enough.
constexpr size_t kRecordAlign = alignof(void*);

// A record of `size` bytes from the pages, aligned for any record, and
// `text_size` bytes of text for it, `*text`, packed apart from the records
// (where `text_size` is 0, `*text` is of no use). The text goes with the
// record. `size` is a record's, far below SIZE_MAX.
inline void* ini_pages_record(IniPages* pages, size_t size, size_t text_size, char** text) {
    size_t needed = (size + kRecordAlign - 1) & ~(kRecordAlign - 1);
    size_t room = size_t(pages->text_top - pages->next);
    if (text_size > room || needed > room - text_size) {
        return ini_pages_record_slow(pages, size, text_size, text);
    }
    void* record = pages->next;
    pages->next += needed;
    pages->text_top -= text_size;
    *text = pages->text_top;
    ++pages->carved;
    return record;
}

// Lets go of the current page: it goes once its records have.
void ini_pages_close(IniPages* pages);

// A record of `size` bytes or more in a page of its own (in huge pages
// from 1 MiB on), for a large record that grows; `*room` is set to the
// bytes it may use. Released as any record.
void* ini_page_record_allocate(size_t size, size_t* room);

// A record of `size` bytes on the heap; never null (out of memory aborts).
void* ini_record_allocate(size_t size);

// Resizes a heap record (one from ini_record_allocate).
void* ini_record_reallocate(void* record, size_t size);

// Releases a record from either source; null is ignored. Records of one
// load may be released on different threads at once.
void ini_record_release(void* record);

// The bytes of the page holding `address` (a record, or its text) and its
// start; 0 and null where no page does (a heap block).
size_t ini_page_of(const void* address, const void** start);

// Records released one after another, all alive when the run began (a
// document's, say), share their pages' lookups and counts: the run
// remembers the last page, which a later record within its bytes must
// still be in, and how many of its records it released, which the page
// learns when the run moves on or ends. Zeroed: none.
struct IniReleaseRun {
    uintptr_t start;
    uintptr_t end;
    size_t released;
};

// Releases `record` in `run`, and `text` with it (null: none), a block of
// the heap or a text beside the record in its page (ini_pages_record).
void ini_record_release_in_run(IniReleaseRun* run, void* record, void* text);

// Ends `run`: its last page counts what the run released of it.
void ini_release_run_end(IniReleaseRun* run);

// Pages holding records now, in all documents (spares not counted), and
// bytes held for pages, spares included: what the tests watch.
size_t ini_pages_in_use();
size_t ini_page_bytes();

#endif  // INIFILE_PAGES_H_
