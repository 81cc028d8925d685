// An edit in place of arbitrary bytes. The input is three NUL-terminated
// words, a section, a key and a value ("\x01" alone: remove), then the text;
// an empty section or key takes one of the text's own, picked by the next
// word's length, so that most edits meet an entry that is there. Whatever
// ini_edit_text makes must load as the document that ini_set, or a removal
// of the first entry of the key in file order, gives; lines other than the
// edited entry's must keep their bytes; and plain words must never be
// refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "ini.h"

namespace {

#define CHECK(condition) \
    ((condition) ? static_cast<void>(0) : fuzz_support::fail(#condition, __FILE__, __LINE__))

using Entries = std::vector<std::pair<std::string, std::string>>;
using Document = std::vector<std::pair<std::string, Entries>>;

Document read_back(const IniDocument* document) {
    Document read;
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        Entries entries;
        for (int32_t j = 0; j < section->count; ++j) {
            entries.emplace_back(section->entries[j]->key, section->entries[j]->value);
        }
        read.emplace_back(section->name, entries);
    }
    return read;
}

// The document the edit must give, made with the document model; a removal
// in file order, since the model swaps the last entry into the freed slot.
Document expected(const char* text, size_t size, const std::string& section, const std::string& key,
                  const char* value) {
    IniDocument* document = ini_load_text(text, size, nullptr);
    if (value != nullptr) {
        IniSection* found = ini_find_section(document, section.c_str());
        if (found == nullptr) {
            found = ini_new_section(section.c_str());
            ini_add_section(document, found);
        }
        ini_set(found, key.c_str(), value);
    }
    Document model = read_back(document);
    ini_free_document(document);
    for (auto& named : model) {
        if (value == nullptr && named.first == section) {
            Entries& entries = named.second;
            for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
                if (entry->first == key) {
                    entries.erase(entry);
                    break;
                }
            }
            break;
        }
    }
    return model;
}

// Whether `word` is one the format carries as it is: letters and digits.
bool plain(const std::string& word) {
    if (word.empty()) {
        return false;
    }
    for (char c : word) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// The physical lines of `text` without their line endings: a last line that
// only gains one, before a line added after it, is not touched.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        size_t last = end;
        while (last > at && text[last - 1] == '\r') {
            --last;  // carriage returns count for nothing
        }
        lines.push_back(text.substr(at, last - at));
        at = end + 1;
    }
    return lines;
}

// Whether `lines` [from, to) hold one entry at most and no header, read as
// the lines of a section of their own.
bool one_entry_at_most(const std::vector<std::string>& lines, size_t from, size_t to) {
    std::string text = "[touched]\n";
    for (size_t i = from; i < to; ++i) {
        text += lines[i] + "\n";
    }
    IniDocument* document = ini_load_text(text.data(), text.size(), nullptr);
    bool one = document == nullptr || (document->count == 1 && document->sections[0]->count <= 1);
    ini_free_document(document);
    return one;
}

// Whether `edited` is `original` with one run of lines replaced, a run that
// holds one entry at most: every other line keeps its bytes. Where lines
// repeat, any split that the common first and last lines allow will do.
bool touches_one_entry(const std::string& original, const std::string& edited) {
    std::vector<std::string> before = lines_of(original), after = lines_of(edited);
    size_t common = std::min(before.size(), after.size());
    for (size_t prefix = 0; prefix <= common; ++prefix) {
        if (prefix > 0 && before[prefix - 1] != after[prefix - 1]) {
            break;
        }
        size_t suffix = 0;
        while (prefix + suffix < common &&
               before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
            ++suffix;
        }
        if (one_entry_at_most(before, prefix, before.size() - suffix)) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string words[3];
    size_t at = 0;
    for (std::string& word : words) {
        size_t end = input.find('\0', at);
        if (end == std::string::npos) {
            return 0;
        }
        word = input.substr(at, end - at);
        at = end + 1;
    }
    std::string text = input.substr(at);
    IniDocument* document = ini_load_text(text.data(), text.size(), nullptr);
    if (document != nullptr && document->count > 0) {
        const IniSection* pick = document->sections[words[2].size() % document->count];
        if (words[0].empty()) {
            words[0] = pick->name;
        }
        if (words[1].empty() && pick->count > 0) {
            words[1] = pick->entries[words[2].size() % pick->count]->key;
        }
    }
    ini_free_document(document);
    const char* value = words[2] == "\x01" ? nullptr : words[2].c_str();

    char* edited = nullptr;
    size_t edited_size = 0;
    IniLoadReport report;
    IniEditResult result = ini_edit_text(text.data(), text.size(), words[0].c_str(),
                                         words[1].c_str(), value, &edited, &edited_size, &report);
    CHECK((result == INI_EDIT_CHANGED) == (edited != nullptr));
    if (result == INI_EDIT_DOES_NOT_LOAD) {
        CHECK(report.error != INI_LOAD_OK);
        return 0;
    }
    CHECK(report.error == INI_LOAD_OK);
    bool carried = plain(words[0]) && plain(words[1]) && (value == nullptr || plain(words[2]));
    CHECK(!(carried && result == INI_EDIT_NOT_REPRESENTABLE));
    if (result != INI_EDIT_CHANGED) {
        return 0;
    }
    std::string after(edited, edited_size);
    ini_free_text(edited);
    IniDocument* loaded = ini_load_text(after.data(), after.size(), nullptr);
    CHECK(loaded != nullptr);
    CHECK(read_back(loaded) == expected(text.data(), text.size(), words[0], words[1], value));
    ini_free_document(loaded);

    // The bytes the edit changed lie on the lines of one entry at most.
    CHECK(touches_one_entry(text, after));
    return 0;
}
