// The reader: the input, from a file or a text in memory, handed to the line
// rules of a dialect, which check each line against the structure and add
// it to the document as it comes. One path reads every source in every
// dialect, for a load and for an edit alike, so they cannot drift apart.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files.h"
#include "internal.h"
#include "reader.h"

namespace {

// The UTF-8 byte-order mark that some editors put before the first line.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkSize = sizeof kByteOrderMark - 1;

// A load's records take up to three times the bytes of its text (1.2 times
// for long lines, 2 for short entries, 3 for one-entry sections): what the
// pages are sized by from the start. Room beyond what is used costs address
// space only.
constexpr size_t kRecordBytesPerByte = 3;

}  // namespace

bool reader_refill(LineReader* reader) {
    size_t got = 0;
    if (reader->read_failed) {
        // Nothing after a failed read is taken: the input ends there.
        reader->next = reader->end;
    } else if (reader->handle != nullptr) {
        long read = platform_read(reader->handle, reader->buffer, kChunkSize);
        reader->next = reader->buffer;
        got = read > 0 ? static_cast<size_t>(read) : 0;
        reader->read_failed = read < 0;
    } else if (reader->text != nullptr) {
        reader->next = reader->text;
        got = reader->text_size;
        reader->text = nullptr;
    }
    reader->end = reader->next + got;
    reader->at_end = got == 0;
    return got != 0;
}

// Skips a byte-order mark at the very start of the input. A file is read
// on until the mark's length is at hand (a pipe may give a byte at a time).
static void skip_byte_order_mark(LineReader* reader) {
    if (!reader_refill(reader)) {
        return;
    }
    if (reader->handle != nullptr) {
        while (size_t(reader->end - reader->next) < kByteOrderMarkSize &&
               memcmp(reader->next, kByteOrderMark, size_t(reader->end - reader->next)) == 0) {
            long read = platform_read(reader->handle, const_cast<char*>(reader->end),
                                      kChunkSize - size_t(reader->end - reader->buffer));
            if (read <= 0) {
                reader->read_failed = read < 0;
                break;
            }
            reader->end += read;
        }
    }
    if (size_t(reader->end - reader->next) >= kByteOrderMarkSize &&
        memcmp(reader->next, kByteOrderMark, kByteOrderMarkSize) == 0) {
        reader->next += kByteOrderMarkSize;
    }
}

// Adds the section of the last header, if any, to the document.
static void finish_section(Loader* loader) {
    if (loader->in_section) {
        IniSection* section = ini_draft_finish(&loader->entries, loader->name.data,
                                               loader->name.length, &loader->pages);
        IniDocument* document = loader->document;
        ini_append_slot(&document->sections, &document->count, &document->capacity, section);
    }
}

void loader_open_section(Loader* loader, const LineText* line, size_t from, size_t size) {
    finish_section(loader);
    TextBuffer* name = &loader->name;
    name->length = 0;
    text_reserve(name, size);
    line_copy(line, from, size, name->data);
    name->length = size;
    loader->in_section = true;
}

// Appends `item` to `*items`, an array of `*count` items in `*capacity`.
template <typename T>
static void append_spot(T** items, size_t* count, size_t* capacity, const T& item) {
    if (*count == *capacity) {
        *capacity = *capacity * 2 + 16;
        if (*capacity > SIZE_MAX / sizeof(T)) {
            abort();
        }
        *items = static_cast<T*>(ini_reallocate(*items, *capacity * sizeof(T)));
    }
    (*items)[(*count)++] = item;
}

void loader_note_section(Loader* loader, const IniSectionSpot& spot) {
    IniLayout* layout = loader->layout;
    append_spot(&layout->sections, &layout->section_count, &layout->section_capacity, spot);
}

void loader_note_entry(Loader* loader, const IniEntrySpot& spot) {
    IniLayout* layout = loader->layout;
    append_spot(&layout->entries, &layout->entry_count, &layout->entry_capacity, spot);
    ++layout->sections[layout->section_count - 1].entries;
}

void loader_note_comment(Loader* loader, const IniLineSpan& line) {
    IniLayout* layout = loader->layout;
    append_spot(&layout->comments, &layout->comment_count, &layout->comment_capacity, line);
}

void loader_note_commented(Loader* loader, const IniCommentedEntry& line) {
    IniLayout* layout = loader->layout;
    append_spot(&layout->commented, &layout->commented_count, &layout->commented_capacity, line);
}

void ini_layout_init(IniLayout* layout) {
    memset(layout, 0, sizeof *layout);
}

void ini_layout_free(IniLayout* layout) {
    free(layout->sections);
    free(layout->entries);
    free(layout->comments);
    free(layout->commented);
    ini_layout_init(layout);
}

// The document that the lines of `reader` describe in `dialect`, or null
// with the reason in `report` (never null). A read error midway ends the
// input where `lenient`, and fails the load otherwise.
static IniDocument* load_lines(LineReader* reader, const IniOptions& options, bool lenient,
                               IniLoadReport* report, IniLayout* layout) {
    line_init(&reader->line);
    *report = {INI_LOAD_OK, 0};
    Loader loader = {ini_new_document(), {}, false, {}, {}, layout, options.flags};
    size_t size =
        reader->handle != nullptr ? platform_file_size(reader->handle) : reader->text_size;
    ini_pages_init(&loader.pages,
                   size > SIZE_MAX / kRecordBytesPerByte ? SIZE_MAX : size * kRecordBytesPerByte);
    text_init(&loader.name);
    ini_draft_init(&loader.entries);
    if (layout != nullptr) {
        ini_layout_init(layout);
    }
    skip_byte_order_mark(reader);

    // Each line is checked and added as it comes. A bad line anywhere
    // releases everything built so far, so no partial document escapes, just
    // as if the whole file had been checked first.
    bool read = options.dialect == INI_DIALECT_COMMON ? read_common_lines(reader, &loader, report)
                                                      : read_module_lines(reader, &loader, report);
    if (reader->read_failed && !lenient) {
        *report = {INI_LOAD_CANNOT_READ, 0};
        read = false;
    }
    IniDocument* document = loader.document;
    if (read) {
        finish_section(&loader);
    } else {
        ini_free_document(document);
        document = nullptr;
        if (layout != nullptr) {
            ini_layout_free(layout);
        }
    }
    ini_draft_free(&loader.entries);
    ini_pages_close(&loader.pages);
    text_free(&loader.name);
    line_free(&reader->line);
    return document;
}

// A reader of `handle`, or of the `size` bytes at `text` when it is null.
static void reader_start(LineReader* reader, PlatformFile* handle, const char* text, size_t size) {
    reader->handle = handle;
    reader->at_end = false;
    reader->read_failed = false;
    reader->next = nullptr;
    reader->end = nullptr;
    reader->text = text;
    reader->text_size = text == nullptr ? 0 : size;
    reader->origin = text;
    reader->line_feeds = 0;
    reader->line_start = 1;
}

// `options`, or the defaults (the module's format) where it is null.
static IniOptions options_or_defaults(const IniOptions* options) {
    IniOptions chosen = {};
    if (options != nullptr) {
        chosen = *options;
    }
    return chosen;
}

static IniDocument* load_file(const char* path, const IniOptions& options, bool lenient,
                              IniLoadReport* report) {
    IniLoadReport unused;
    if (report == nullptr) {
        report = &unused;
    }
    bool names = platform_use_utf8_names((options.flags & INI_UTF8_NAMES) != 0);
    PlatformFile* file = platform_open_read(path);
    platform_use_utf8_names(names);
    if (file == nullptr) {
        *report = {INI_LOAD_CANNOT_OPEN, 0};
        return nullptr;
    }
    LineReader reader;
    reader_start(&reader, file, nullptr, 0);
    IniDocument* document = load_lines(&reader, options, lenient, report, nullptr);
    platform_close(file);
    return document;
}

IniDocument* ini_load(const char* path) {
    return load_file(path, {}, true, nullptr);
}

IniDocument* ini_load_file(const char* path, IniLoadReport* report) {
    return load_file(path, {}, false, report);
}

IniDocument* ini_load_file_with(const char* path, const IniOptions* options,
                                IniLoadReport* report) {
    return load_file(path, options_or_defaults(options), false, report);
}

IniDocument* ini_load_laid_out(const char* text, size_t size, const IniOptions* options,
                               IniLoadReport* report, IniLayout* layout) {
    IniLoadReport unused;
    LineReader reader;
    reader_start(&reader, nullptr, text, size);
    return load_lines(&reader, options_or_defaults(options), true,
                      report == nullptr ? &unused : report, layout);
}

IniDocument* ini_load_text(const char* text, size_t size, IniLoadReport* report) {
    return ini_load_laid_out(text, size, nullptr, report, nullptr);
}

IniDocument* ini_load_text_with(const char* text, size_t size, const IniOptions* options,
                                IniLoadReport* report) {
    return ini_load_laid_out(text, size, options, report, nullptr);
}

int32_t ini_entry_line(const char* text, size_t size, const IniOptions* options,
                       const char* section, const char* key) {
    IniLayout layout;
    IniDocument* document = ini_load_laid_out(text, size, options, nullptr, &layout);
    const IniEntry* entry = ini_lookup(document, section, key, options);
    int32_t line = 0;
    size_t spot = 0;  // each entry's place in the layout, in file order
    for (int32_t i = 0; entry != nullptr && i < document->count; ++i) {
        const IniSection* candidate = document->sections[i];
        for (int32_t j = 0; j < candidate->count; ++j, ++spot) {
            if (candidate->entries[j] == entry) {
                size_t first = layout.entries[spot].first;
                line = reported_line(1 + int64_t(std::count(text, text + first, '\n')));
            }
        }
    }
    if (document != nullptr) {
        ini_layout_free(&layout);
    }
    ini_free_document(document);
    return line;
}

const char* ini_load_error_text(IniLoadError error) {
    // A C caller may pass any int. In C++ a value outside the enumerators'
    // range cannot be read as an IniLoadError, so its int is read.
    static_assert(sizeof(IniLoadError) == sizeof(int), "IniLoadError travels as an int");
    int kind;
    memcpy(&kind, &error, sizeof kind);
    switch (kind) {
        case INI_LOAD_OK:
            return "loaded";
        case INI_LOAD_CANNOT_OPEN:
            return "cannot open the file";
        case INI_LOAD_NO_FIRST_SECTION:
            return "the first line is not a section header";
        case INI_LOAD_BAD_LINE:
            return "a line is neither an entry nor a section header";
        case INI_LOAD_CANNOT_READ:
            return "cannot read the file";
    }
    return "unknown load error";
}

const char* ini_system_error() {
    // Per thread, as the reason it words is.
    static thread_local char text[256];
    int error = platform_last_error();
    text[0] = '\0';
    if (error != 0) {
        platform_error_text(error, text, sizeof text);
    }
    return text;
}
