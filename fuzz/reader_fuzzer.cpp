// Arbitrary bytes as a configuration file. Whatever ini_load makes of them
// must be a well-formed document, must agree with a second, deliberately
// naive reading of the same bytes, and must survive ini_save and a second
// ini_load unchanged wherever the format can carry its strings. Loaded from
// memory, the same bytes must give the same document or the same report; a
// refusal must name the kind and the line that the naive reading finds.
//
// The naive reading sees the whole input at once, while ini_load reads it in
// 1024-byte chunks: an escape, a continuation, a carriage return or a comment
// that straddles two reads is exactly where the two would part ways.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "fuzz_support.h"
#include "inifile/ini.h"

namespace {

using fuzz_support::appended_capacity;

struct EntryText {
    std::string key;
    std::string value;
    bool operator==(const EntryText& other) const {
        return key == other.key && value == other.value;
    }
};

struct SectionText {
    std::string name;
    std::vector<EntryText> entries;
    bool operator==(const SectionText& other) const {
        return name == other.name && entries == other.entries;
    }
};

using DocumentText = std::vector<SectionText>;

// Lookups cost a scan each, so a document of thousands of one-byte sections
// would make every run quadratic; the first few hundred cover every growth
// step that a 4 KiB input can reach often enough.
constexpr int kMaxLookups = 256;

// ---------------------------------------------------------------------------
// The naive reading: one pass over all bytes, no chunks, no in-place tricks.

struct LogicalLine {
    std::string text;
    int32_t line;  // 1 + the line feeds before its first collected byte
};

// Logical lines as the loader stores them. A NUL byte is collected like any
// other, and the trailing spaces are trimmed off the collected bytes, but
// what follows sees a C string: the line ends at its first NUL.
std::vector<LogicalLine> logical_lines(const uint8_t* data, size_t size) {
    std::vector<LogicalLine> lines;
    std::string text;
    int32_t line_feeds = 0;
    int32_t start = 0;
    bool escape = false;
    bool comment = false;
    // A byte-order mark before the first line is not read.
    size_t first = size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    auto collect = [&](char byte) {
        if (text.empty()) {
            start = line_feeds + 1;
        }
        text += byte;
    };
    auto finish = [&] {
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        lines.push_back({text.c_str(), start});
        text.clear();
    };
    for (size_t i = first; i < size; ++i) {
        char byte = static_cast<char>(data[i]);
        switch (byte) {
            case '\n':
                if (!escape && !text.empty()) {
                    finish();
                }
                escape = false;
                comment = false;
                ++line_feeds;
                break;
            case '\r':
                break;
            case ' ':
                if (!comment && !text.empty()) {
                    collect(byte);
                }
                escape = false;
                break;
            case ';':
                if (!comment && escape) {
                    collect(byte);
                } else if (!comment) {
                    comment = true;
                }
                escape = false;
                break;
            case '\\':
                if (!comment) {
                    if (escape) {
                        collect(byte);
                    }
                    escape = !escape;
                }
                break;
            default:
                if (!comment) {
                    collect(byte);
                }
                escape = false;
                break;
        }
    }
    if (!text.empty()) {
        finish();
    }
    return lines;
}

bool is_header(const std::string& line) {
    return line.size() >= 3 && line.front() == '[' && line.back() == ']';
}

bool is_entry(const std::string& line) {
    size_t equals = line.find('=');
    return equals != std::string::npos && equals != 0;
}

// The document the bytes describe; false, with the report a load owes, when
// their structure is invalid.
bool naive_read(const uint8_t* data, size_t size, DocumentText* document, IniLoadReport* report) {
    std::vector<LogicalLine> logical = logical_lines(data, size);
    if (!logical.empty() && !is_header(logical[0].text)) {
        *report = {INI_LOAD_NO_FIRST_SECTION, logical[0].line};
        return false;
    }
    for (size_t i = 1; i < logical.size(); ++i) {
        if (!is_entry(logical[i].text) && !is_header(logical[i].text)) {
            *report = {INI_LOAD_BAD_LINE, logical[i].line};
            return false;
        }
    }
    *report = {INI_LOAD_OK, 0};
    document->clear();
    for (const LogicalLine& logical_line : logical) {
        const std::string& line = logical_line.text;
        if (!document->empty() && is_entry(line)) {
            size_t equals = line.find('=');
            size_t key_end = line.find_last_not_of(' ', equals - 1);
            size_t value_start = line.find_first_not_of(' ', equals + 1);
            document->back().entries.push_back(
                {line.substr(0, key_end + 1),
                 value_start == std::string::npos ? std::string() : line.substr(value_start)});
        } else {
            document->push_back({line.substr(1, line.size() - 2), {}});
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// The loaded document, walked slot by slot.

// Copies `document` out as plain values, checking on the way every invariant
// that a loaded document keeps: counts within capacities, capacities exactly
// as appending makes them, every pointer in use set, each value inside its
// entry's block after the key's terminator, the index accessors and the
// first-match lookups in agreement with the slots.
DocumentText walk(const IniDocument* document) {
    FUZZ_CHECK(document->count >= 0);
    FUZZ_CHECK(document->count <= document->capacity);
    FUZZ_CHECK(document->capacity > 0 && document->capacity % 10 == 0);
    FUZZ_CHECK(document->capacity == appended_capacity(size_t(document->count)));
    FUZZ_CHECK(document->sections != nullptr);

    DocumentText text;
    std::unordered_map<std::string, const IniSection*> first_section;
    for (int i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        FUZZ_CHECK(section != nullptr);
        FUZZ_CHECK(section->name != nullptr);
        FUZZ_CHECK(section->count >= 0);
        FUZZ_CHECK(section->count <= section->capacity);
        FUZZ_CHECK(section->capacity > 0 && section->capacity % 10 == 0);
        FUZZ_CHECK(section->capacity == appended_capacity(size_t(section->count)));
        FUZZ_CHECK(section->entries != nullptr);
        FUZZ_CHECK(ini_section_name_at(document, i) == section->name);
        first_section.emplace(section->name, section);

        SectionText section_text{section->name, {}};
        std::unordered_map<std::string, const char*> first_value;
        for (int j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            FUZZ_CHECK(entry != nullptr);
            FUZZ_CHECK(entry->key != nullptr && entry->value != nullptr);
            FUZZ_CHECK(entry->value > entry->key + std::strlen(entry->key));
            FUZZ_CHECK(ini_key_at(section, j) == entry->key);
            first_value.emplace(entry->key, entry->value);
            section_text.entries.push_back({entry->key, entry->value});
        }
        FUZZ_CHECK(ini_key_at(section, section->count) == nullptr);
        for (int j = 0; j < section->count && j < kMaxLookups; ++j) {
            const char* key = section->entries[j]->key;
            FUZZ_CHECK(ini_get(section, key) == first_value[key]);
        }
        text.push_back(std::move(section_text));
    }
    FUZZ_CHECK(ini_section_name_at(document, document->count) == nullptr);
    for (int i = 0; i < document->count && i < kMaxLookups; ++i) {
        const char* name = document->sections[i]->name;
        FUZZ_CHECK(ini_find_section(document, name) == first_section[name]);
    }
    return text;
}

// ---------------------------------------------------------------------------
// Writing back.

void append_escaped(std::string* line, const std::string& text) {
    for (char byte : text) {
        if (byte == ';' || byte == '\\') {
            *line += '\\';
        }
        *line += byte;
    }
}

// The exact bytes the writer owes for `document`.
std::string expected_file(const DocumentText& document) {
    std::string bytes;
    for (const SectionText& section : document) {
        bytes += '[' + section.name + "]\n";
        for (const EntryText& entry : section.entries) {
            append_escaped(&bytes, entry.key);
            bytes += '=';
            append_escaped(&bytes, entry.value);
            bytes += '\n';
        }
    }
    return bytes;
}

bool has_none_of(const std::string& text, const char* bytes) {
    return text.find_first_of(bytes) == std::string::npos;
}

bool without_outer_spaces(const std::string& text) {
    return text.empty() || (text.front() != ' ' && text.back() != ' ');
}

// Whether every string of `document` can be written and read back as it is.
// Names are written unescaped, so any byte the reader acts on is lost from
// them; keys and values lose their outer spaces to trimming, and a line
// break in any of them splits the line.
bool round_trips(const DocumentText& document) {
    for (const SectionText& section : document) {
        if (section.name.empty() || !has_none_of(section.name, ";\\=\n\r")) {
            return false;
        }
        for (const EntryText& entry : section.entries) {
            if (entry.key.empty() || !has_none_of(entry.key, "=\n\r") ||
                !without_outer_spaces(entry.key) || !has_none_of(entry.value, "\n\r") ||
                !without_outer_spaces(entry.value)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::ScratchFile input("reader-input");
    static fuzz_support::ScratchFile saved("reader-saved");

    FUZZ_CHECK(fuzz_support::write_file(input.path(), data, size));
    DocumentText expected;
    IniLoadReport expected_report;
    bool valid = naive_read(data, size, &expected, &expected_report);
    IniLoadReport report;
    IniDocument* document = ini_load_file(input.path(), &report);
    FUZZ_CHECK((document != nullptr) == valid);
    FUZZ_CHECK(report.error == expected_report.error && report.line == expected_report.line);
    IniLoadReport text_report;
    IniDocument* from_text = ini_load_text(reinterpret_cast<const char*>(data), size, &text_report);
    FUZZ_CHECK((from_text != nullptr) == valid);
    FUZZ_CHECK(text_report.error == report.error && text_report.line == report.line);
    if (document == nullptr) {
        // A refusal names a line that the input has.
        FUZZ_CHECK(report.error == INI_LOAD_NO_FIRST_SECTION || report.error == INI_LOAD_BAD_LINE);
        FUZZ_CHECK(report.line >= 1 &&
                   size_t(report.line) <= 1 + size_t(std::count(data, data + size, '\n')));
        return 0;
    }
    DocumentText loaded = walk(document);
    FUZZ_CHECK(loaded == expected);
    FUZZ_CHECK(walk(from_text) == loaded);
    ini_free_document(from_text);

    FUZZ_CHECK(ini_save(document, saved.path()) == 0);
    FUZZ_CHECK(walk(document) == loaded);  // saving must leave the document alone
    ini_free_document(document);
    std::string written;
    FUZZ_CHECK(fuzz_support::read_file(saved.path(), &written));
    FUZZ_CHECK(written == expected_file(loaded));

    // Whatever was written, loading it must again match the naive reading;
    // where the strings are representable, it must give back the first load.
    DocumentText reread_expected;
    IniLoadReport reread_report;
    bool reread_valid = naive_read(reinterpret_cast<const uint8_t*>(written.data()), written.size(),
                                   &reread_expected, &reread_report);
    IniDocument* reread = ini_load(saved.path());
    FUZZ_CHECK((reread != nullptr) == reread_valid);
    DocumentText reread_text;
    if (reread != nullptr) {
        reread_text = walk(reread);
        FUZZ_CHECK(reread_text == reread_expected);
        ini_free_document(reread);
    }
    if (round_trips(loaded)) {
        FUZZ_CHECK(reread != nullptr);
        FUZZ_CHECK(reread_text == loaded);
    }
    return 0;
}
