// The reader's parts, shared by its files: the input (reader.cpp), the
// document being built from it (reader.cpp), and the line rules of each
// dialect (module_lines.cpp, common_lines.cpp). Every way into the module
// that reads text (a load, an edit) goes through these, so the rules are
// written once.
#ifndef INIFILE_READER_H_
#define INIFILE_READER_H_

#include <cstddef>
#include <cstdint>

#include "internal.h"
#include "layout.h"
#include "line_text.h"
#include "pages.h"
#include "text_buffer.h"

struct PlatformFile;

// Bytes asked of a file per read.
constexpr size_t kChunkSize = 1024;

// The state of one input being read: a file read in chunks into `buffer`,
// or a text in memory handed over whole. Either way the line rules consume
// the bytes from `next` to `end`.
struct LineReader {
    PlatformFile* handle;  // the open file; null when reading a text
    bool at_end;           // the end of input (or a read error) has been met
    bool read_failed;      // ... and it was a read error
    const char* next;      // next byte to consume
    const char* end;       // end of the bytes at hand
    const char* text;      // the text not yet handed over; null once it has been
    size_t text_size;
    const char* origin;  // the whole text when reading one: layouts count from it
    int64_t line_feeds;  // line feeds consumed so far
    int64_t line_start;  // physical line of the current line's first collected byte
    char buffer[kChunkSize];
    LineText line;  // the line being collected, reused for every line
};

// Refills the bytes at hand; false (and `at_end` set) at the end of input.
bool reader_refill(LineReader* reader);

// The offset in the text of the byte at `at` (a text in memory only).
inline size_t reader_offset(const LineReader* reader, const char* at) {
    return size_t(at - reader->origin);
}

// What the loader builds as it reads: the document, and the section whose
// header came last, which is added to the document once its entries are
// known, so that it is one block of exactly their number.
struct Loader {
    IniDocument* document;
    IniPages pages;           // where its records come from
    bool in_section;          // a header (or an entry before any) has been read
    TextBuffer name;          // the last header's name, until its section is built
    IniSectionDraft entries;  // the entries read since that header
    IniLayout* layout;        // where they stand, when an edit asks
    uint32_t flags;           // the IniOptions flags it reads with
};

// Starts a section named by the `size` bytes of `line` from `from` on,
// after adding the one before it to the document.
void loader_open_section(Loader* loader, const LineText* line, size_t from, size_t size);

// A new entry of `text_size` bytes of text, from the load's pages, for
// loader_add_entry.
inline IniEntry* loader_new_entry(Loader* loader, size_t text_size) {
    return ini_new_entry_block(text_size, &loader->pages);
}

// Adds `entry` to the current section.
inline void loader_add_entry(Loader* loader, IniEntry* entry) {
    ini_draft_append(&loader->entries, entry);
}

// Notes where a section or an entry stands (layout only).
void loader_note_section(Loader* loader, const IniSectionSpot& spot);
void loader_note_entry(Loader* loader, const IniEntrySpot& spot);

// Notes a comment line that may stand among the lines of the entry before
// it (layout only); the caller takes it back (comment_count) where it does
// not.
void loader_note_comment(Loader* loader, const IniLineSpan& line);

// Notes a comment line that comments out an entry (layout only).
void loader_note_commented(Loader* loader, const IniCommentedEntry& line);

// The line rules of each dialect: every line of `reader` into `loader`.
// True when all of them fit; otherwise false, with the reason and line in
// `report`.
bool read_module_lines(LineReader* reader, Loader* loader, IniLoadReport* report);
bool read_common_lines(LineReader* reader, Loader* loader, IniLoadReport* report);

// The line number a report carries for `line_start`.
inline int32_t reported_line(int64_t line_start) {
    return line_start < INT32_MAX ? static_cast<int32_t>(line_start) : INT32_MAX;
}

#endif  // INIFILE_READER_H_
