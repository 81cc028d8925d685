// Which page of the module holds an address: a record's page is told by
// its address, so that a record carries nothing before it, and an address
// in no page is a heap block's. Lookups and changes may run on different
// threads at once. Private to the module.
#ifndef INIFILE_PAGE_MAP_H_
#define INIFILE_PAGE_MAP_H_

#include <cstddef>

struct IniPage;

// Notes the `size` bytes at `page` (from platform_page_allocate) as held by
// it, or (`holder` false) forgets them again. False where the map cannot
// cover them (no memory for it); nothing is noted then.
bool ini_map_page(IniPage* page, size_t size, bool holder);

// The page holding `address`, or null where no page does.
IniPage* ini_page_at(const void* address);

#endif  // INIFILE_PAGE_MAP_H_
