// An edit in place of arbitrary bytes, in both dialects. The input is three
// NUL-terminated words, a section, a key and a value, then the text; an
// empty section or key takes one of the text's own, picked by the next
// word's length, so that most edits meet an entry that is there. The value
// picks the change: "\x01" removes the key, "\x02" the section, "\x03" every
// entry of the key, "\x04" adds the section, "\x05" merges three entries in
// one edit, "\x06" adds one more entry of the key, "\x07" leaves the key
// with one value; any other value is set. In the common dialect the key
// word's length picks inline comments and keys without values.
//
// Whatever ini_edit_text_with makes must load as the document that the
// same changes make of the loaded one, as the dialect's readers see them
// made (removals keeping the order of what stays); a change of one entry
// must touch the lines of that entry only, a removal must only take lines
// away, an added section only add them at the end; and plain words must
// never be refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "inifile/ini.h"

namespace {

#define CHECK(condition) \
    ((condition) ? static_cast<void>(0) : fuzz_support::fail(#condition, __FILE__, __LINE__))

using Entries = std::vector<std::pair<std::string, std::string>>;
using Section = std::pair<std::string, Entries>;
using Document = std::vector<Section>;

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

// The first section named `name` in the model, or its end.
Document::iterator find(Document* document, const std::string& name) {
    return std::find_if(document->begin(), document->end(),
                        [&](const Section& section) { return section.first == name; });
}

// Makes `edit` in the model as the document operations make it, a removal
// keeping the order of what stays: the first section of a name and its
// first entry of a key count.
void apply_first(Document* document, const IniEdit& edit) {
    auto section = find(document, edit.section);
    bool found = section != document->end();
    if (edit.kind == INI_EDIT_ADD_SECTION || edit.kind == INI_EDIT_SET) {
        if (!found) {
            document->push_back({edit.section, {}});
            section = document->end() - 1;
        }
        if (edit.kind == INI_EDIT_ADD_SECTION) {
            return;
        }
    }
    if (!found && edit.kind != INI_EDIT_SET) {
        return;
    }
    if (edit.kind == INI_EDIT_REMOVE_SECTION) {
        document->erase(section);
        return;
    }
    Entries& entries = section->second;
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        if (entry->first != edit.key) {
            continue;
        }
        if (edit.kind == INI_EDIT_SET) {
            entry->second = edit.value;
            return;
        }
        entries.erase(entry);
        if (edit.kind == INI_EDIT_REMOVE_KEY) {
            return;
        }
        apply_first(document, edit);  // the next one
        return;
    }
    if (edit.kind == INI_EDIT_SET) {
        entries.emplace_back(edit.key, edit.value);
    }
}

// The same as the common dialect's readers see it: the sections of one
// name are one, the last entry of a key counts, and a removal leaves none
// of it.
void apply_last(Document* document, const IniEdit& edit) {
    auto named = [&](const Section& section) { return section.first == edit.section; };
    if (edit.kind == INI_EDIT_REMOVE_SECTION) {
        document->erase(std::remove_if(document->begin(), document->end(), named), document->end());
        return;
    }
    if (edit.kind == INI_EDIT_REMOVE_KEY || edit.kind == INI_EDIT_REMOVE_ALL) {
        for (Section& section : *document) {
            if (named(section)) {
                Entries& entries = section.second;
                entries.erase(
                    std::remove_if(entries.begin(), entries.end(),
                                   [&](const auto& entry) { return entry.first == edit.key; }),
                    entries.end());
            }
        }
        return;
    }
    auto last = std::find_if(document->rbegin(), document->rend(), named);
    if (last == document->rend()) {
        document->push_back({edit.section, {}});
        last = document->rbegin();
    }
    if (edit.kind == INI_EDIT_ADD_SECTION) {
        return;
    }
    for (auto section = document->rbegin(); section != document->rend(); ++section) {
        if (!named(*section)) {
            continue;
        }
        Entries& entries = section->second;
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            if (entry->first == edit.key) {
                entry->second = edit.value;
                return;
            }
        }
    }
    last->second.emplace_back(edit.key, edit.value);
}

// INI_EDIT_ADD and INI_EDIT_SET_ALL in the model: where the readers see no
// entry of the key, a set; else one more entry right after the last one
// they see, or the first one they see set and every other removed. The
// readers of `last_wins` read the sections of one name as one.
void apply_repeat(Document* document, const IniEdit& edit, bool last_wins) {
    std::vector<std::pair<Section*, size_t>> found;  // in file order
    for (Section& section : *document) {
        if (section.first != edit.section) {
            continue;
        }
        for (size_t i = 0; i < section.second.size(); ++i) {
            if (section.second[i].first == edit.key) {
                found.emplace_back(&section, i);
            }
        }
        if (!last_wins) {
            break;  // the first section of the name alone is read
        }
    }
    if (found.empty()) {
        IniEdit set = edit;
        set.kind = INI_EDIT_SET;
        (last_wins ? apply_last : apply_first)(document, set);
        return;
    }
    if (edit.kind == INI_EDIT_ADD) {
        auto [section, at] = found.back();
        section->second.insert(section->second.begin() + long(at) + 1, {edit.key, edit.value});
        return;
    }
    found.front().first->second[found.front().second].second = edit.value;
    for (size_t i = found.size(); i-- > 1;) {  // from the last, so places hold
        found[i].first->second.erase(found[i].first->second.begin() + long(found[i].second));
    }
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
// only gains one, before a line added after it, is not touched. A
// byte-order mark, which no line holds and every edit keeps, is left out.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        size_t last = end;
        while (last > at && text[last - 1] == '\r') {
            --last;  // line endings differ in carriage returns only
        }
        lines.push_back(text.substr(at, last - at));
        at = end + 1;
    }
    return lines;
}

// Whether `lines` [from, to) hold one entry at most and no header, read in
// `options`' dialect as the lines of a section of their own.
bool one_entry_at_most(const std::vector<std::string>& lines, size_t from, size_t to,
                       const IniOptions& options) {
    std::string text = "[touched]\n";
    for (size_t i = from; i < to; ++i) {
        text += lines[i] + "\n";
    }
    IniDocument* document = ini_load_text_with(text.data(), text.size(), &options, nullptr);
    bool one = document == nullptr || (document->count == 1 && document->sections[0]->count <= 1);
    ini_free_document(document);
    return one;
}

// Whether `edited` is `original` with one run of lines replaced by lines
// for which `fits` holds (given the run's bounds in `before` and the count
// of lines put in): every other line keeps its bytes. Where lines repeat,
// any split that the common first and last lines allow will do.
template <typename Fits>
bool one_run_changed(const std::string& original, const std::string& edited, Fits fits) {
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
        if (fits(before, prefix, before.size() - suffix, after.size() - suffix - prefix)) {
            return true;
        }
    }
    return false;
}

// Whether the lines of `edited` are those of `original` with some left out.
bool only_removed(const std::string& original, const std::string& edited) {
    std::vector<std::string> before = lines_of(original), after = lines_of(edited);
    size_t at = 0;
    for (const std::string& line : before) {
        at += at < after.size() && after[at] == line ? 1 : 0;
    }
    return at == after.size();
}

// Whether a section named `section` of `document` (or null) holds `key`
// without a value.
bool has_valueless_entry(const IniDocument* document, const std::string& section,
                         const std::string& key) {
    for (size_t s = 0; document != nullptr && s < document->count; ++s) {
        const IniSection* at = document->sections[s];
        for (size_t e = 0; section == at->name && e < at->count; ++e) {
            if (key == at->entries[e]->key && !ini_has_value(at->entries[e])) {
                return true;
            }
        }
    }
    return false;
}

// The edit of the input's words: `edits` holds its changes.
void make_edits(const std::string words[3], std::vector<IniEdit>* edits) {
    const char* section = words[0].c_str();
    const char* key = words[1].c_str();
    const std::string& value = words[2];
    if (value == "\x01") {
        edits->push_back({INI_EDIT_REMOVE_KEY, section, key, nullptr, 0});
    } else if (value == "\x02") {
        edits->push_back({INI_EDIT_REMOVE_SECTION, section, nullptr, nullptr, 0});
    } else if (value == "\x03") {
        edits->push_back({INI_EDIT_REMOVE_ALL, section, key, nullptr, 0});
    } else if (value == "\x04") {
        edits->push_back({INI_EDIT_ADD_SECTION, section, nullptr, nullptr, 0});
    } else if (value == "\x06") {
        edits->push_back({INI_EDIT_ADD, section, key, "added", 0});
    } else if (value == "\x07") {
        edits->push_back({INI_EDIT_SET_ALL, section, key, "only", 0});
    } else if (value == "\x05") {
        // A merge: an entry that is there, a new one beside it, one elsewhere.
        edits->push_back({INI_EDIT_SET, section, key, "m1", 0});
        edits->push_back({INI_EDIT_SET, section, "merged", "m2", 0});
        edits->push_back({INI_EDIT_SET, "mergedsection", key, "m3", 0});
    } else {
        edits->push_back({INI_EDIT_SET, section, key, value.c_str(), 0});
    }
}

// The edit of `text` in `dialect`, checked.
void edit_in(IniDialect dialect, std::string words[3], const std::string& text) {
    IniOptions options = {};
    options.dialect = dialect;
    // The common dialect's readings by the key's length: inline comments,
    // keys without values, both or neither.
    if (dialect == INI_DIALECT_COMMON) {
        options.flags = (words[1].size() % 2 != 0 ? INI_INLINE_COMMENTS : 0) |
                        (words[1].size() % 4 >= 2 ? INI_ALLOW_NO_VALUE : 0);
    }
    IniDocument* document = ini_load_text_with(text.data(), text.size(), &options, nullptr);
    if (document != nullptr && document->count > 0) {
        const IniSection* pick = document->sections[words[2].size() % document->count];
        if (words[0].empty()) {
            words[0] = pick->name;
        }
        if (words[1].empty() && pick->count > 0) {
            words[1] = pick->entries[words[2].size() % pick->count]->key;
        }
    }
    Document model = document != nullptr ? read_back(document) : Document();
    bool valueless = has_valueless_entry(document, words[0], words[1]);
    ini_free_document(document);
    std::vector<IniEdit> edits;
    make_edits(words, &edits);

    char* edited = nullptr;
    size_t edited_size = 0;
    IniLoadReport report;
    IniEditResult result = ini_edit_text_with(text.data(), text.size(), edits.data(), edits.size(),
                                              &options, &edited, &edited_size, &report);
    CHECK((result == INI_EDIT_CHANGED) == (edited != nullptr));
    if (result == INI_EDIT_DOES_NOT_LOAD) {
        CHECK(report.error != INI_LOAD_OK);
        return;
    }
    CHECK(report.error == INI_LOAD_OK);
    // Plain words are always carried; but in the common dialect, taking a
    // section out may leave a line indented deeper than the entry now before
    // it, and a key without a value given one may have such a line after it;
    // that line would continue the entry: such an edit is refused.
    bool carried = plain(words[0]) && (plain(words[1]) || edits[0].key == nullptr) &&
                   (edits[0].kind != INI_EDIT_SET || edits.size() > 1 || plain(words[2])) &&
                   !(dialect == INI_DIALECT_COMMON && edits[0].kind == INI_EDIT_REMOVE_SECTION) &&
                   !valueless;
    CHECK(!(carried && result == INI_EDIT_NOT_REPRESENTABLE));
    for (const IniEdit& edit : edits) {
        if (edit.kind == INI_EDIT_ADD || edit.kind == INI_EDIT_SET_ALL) {
            apply_repeat(&model, edit, dialect == INI_DIALECT_COMMON);
        } else {
            (dialect == INI_DIALECT_COMMON ? apply_last : apply_first)(&model, edit);
        }
    }
    if (result != INI_EDIT_CHANGED) {
        return;
    }
    std::string after(edited, edited_size);
    ini_free_text(edited);
    IniDocument* loaded = ini_load_text_with(after.data(), after.size(), &options, nullptr);
    CHECK(loaded != nullptr);
    CHECK(read_back(loaded) == model);
    ini_free_document(loaded);

    // The bytes that changed lie where the changes are; of a merge, the
    // document above says it all.
    if (edits.size() > 1) {
        return;
    }
    // The common dialect's removals take every entry (or section) of the
    // name: lines are only taken away.
    bool every = dialect == INI_DIALECT_COMMON &&
                 (edits[0].kind == INI_EDIT_REMOVE_KEY || edits[0].kind == INI_EDIT_REMOVE_SECTION);
    switch (every ? INI_EDIT_REMOVE_ALL : edits[0].kind) {
        case INI_EDIT_SET:
        case INI_EDIT_REMOVE_KEY:
            CHECK(one_run_changed(text, after,
                                  [&](const auto& lines, size_t from, size_t to, size_t) {
                                      return one_entry_at_most(lines, from, to, options);
                                  }));
            break;
        case INI_EDIT_REMOVE_ALL:
            CHECK(only_removed(text, after));
            break;
        case INI_EDIT_REMOVE_SECTION:
            CHECK(one_run_changed(
                text, after, [](const auto&, size_t, size_t, size_t added) { return added == 0; }));
            break;
        case INI_EDIT_ADD_SECTION:
            CHECK(
                one_run_changed(text, after, [](const auto& lines, size_t from, size_t to, size_t) {
                    return from == to && to == lines.size();
                }));
            break;
        case INI_EDIT_SET_ALL:
        case INI_EDIT_ADD:
            break;  // not made by this target
    }
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
    for (IniDialect dialect : {INI_DIALECT_MODULE, INI_DIALECT_COMMON}) {
        std::string picked[3] = {words[0], words[1], words[2]};
        edit_in(dialect, picked, text);
    }
    return 0;
}
