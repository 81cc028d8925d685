// Where the module's records (an entry's block, a section's block) come
// from: a load carves them out of large pages, anything built one by one
// gets a heap block. Each record carries, just before it, the page it lives
// in (none for a heap block), so that any record can be released alone, in
// any order, whoever holds it: a page goes back to the system once no
// record in it is alive.
#ifndef INIFILE_PAGES_H_
#define INIFILE_PAGES_H_

#include <cstddef>

struct IniPage;

// The pages one load fills: the page records are carved from, and the size
// of the next one. The load holds on to its current page until
// ini_pages_close, so it cannot go while records are still to come.
struct IniPages {
    IniPage* current;
    size_t next_size;
};

void ini_pages_init(IniPages* pages);

// A record of `size` bytes from the pages, aligned for any record.
void* ini_pages_record(IniPages* pages, size_t size);

// Lets go of the current page: it goes once its records have.
void ini_pages_close(IniPages* pages);

// A record of `size` bytes on the heap; never null (out of memory aborts).
void* ini_record_allocate(size_t size);

// Resizes a heap record (one from ini_record_allocate).
void* ini_record_reallocate(void* record, size_t size);

// Releases a record from either source; null is ignored. Records of one
// load may be released on different threads at once.
void ini_record_release(void* record);

// Pages holding records now, in all documents (spares not counted), and
// bytes held for pages, spares included: what the tests watch.
size_t ini_pages_in_use();
size_t ini_page_bytes();

#endif  // INIFILE_PAGES_H_
