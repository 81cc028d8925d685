// What the one-block layout of entries and sections could get wrong: loaded
// records, whose text and slots share the record's block, replaced, grown,
// copied and released alongside records built by the model, in any order.
// The sanitizer build turns a wrong release into a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inifile/ini.h"
#include "test_files.h"

namespace {

using test_files::document_text;
using test_files::DocumentPtr;
using test_files::DocumentText;
using test_files::EntryText;
using test_files::ScratchDir;
using test_files::section_text;
using test_files::SectionPtr;
using test_files::SectionText;

// A section of `count` entries k0=v0, k1=v1, ... as file text and as values.
std::string section_lines(const std::string& name, int count) {
    std::string lines = "[" + name + "]\n";
    for (int i = 0; i < count; ++i) {
        lines += "k" + std::to_string(i) + " = v" + std::to_string(i) + "\n";
    }
    return lines;
}

std::vector<EntryText> entries(int from, int to) {
    std::vector<EntryText> result;
    for (int i = from; i < to; ++i) {
        result.emplace_back("k" + std::to_string(i), "v" + std::to_string(i));
    }
    return result;
}

class LayoutTest : public testing::Test {
  protected:
    DocumentPtr load_text(const std::string& text) {
        const std::string path = scratch_.file("input.ini");
        EXPECT_TRUE(test_files::write_file(path, text));
        DocumentPtr document(ini_load(path.c_str()));
        EXPECT_NE(document, nullptr);
        return document;
    }

    // The same three sections, loaded from a file or built with the model.
    DocumentPtr three_sections(bool loaded) {
        if (loaded) {
            return load_text(section_lines("a", 2) + section_lines("b", 12) +
                             section_lines("c", 1));
        }
        DocumentPtr document(ini_new_document());
        for (auto [name, count] : {std::pair{"a", 2}, {"b", 12}, {"c", 1}}) {
            IniSection* section = ini_new_section(name);
            for (const EntryText& entry : entries(0, count)) {
                ini_set(section, entry.first.c_str(), entry.second.c_str());
            }
            ini_add_section(document.get(), section);
        }
        return document;
    }

    ScratchDir scratch_;
};

TEST_F(LayoutTest, SetReplacesALoadedTextThenItsReplacement) {
    DocumentPtr document = load_text(section_lines("s", 3));
    IniSection* section = document->sections[0];
    ASSERT_EQ(ini_set(section, "k1", "a value longer than the line it replaces"), 0);
    // From its own text, as a caller may: the key and the tail of the value.
    IniEntry* entry = section->entries[1];
    ASSERT_EQ(ini_set(section, entry->key, entry->value + 2), 0);
    ASSERT_EQ(ini_set(section, "k0", section->entries[0]->value), 0);
    EXPECT_EQ(section_text(*section),
              (std::vector<EntryText>{
                  {"k0", "v0"}, {"k1", "value longer than the line it replaces"}, {"k2", "v2"}}));
    EXPECT_EQ(section->entries[1]->value,
              section->entries[1]->key + std::char_traits<char>::length("k1") + 1);
}

// Sections and entries removed in every order, from a loaded and from a
// built document, and sections replaced by ones of the other kind.
TEST_F(LayoutTest, RemovesAndReleasesInEveryOrder) {
    for (bool loaded : {true, false}) {
        std::vector<std::string> names = {"a", "b", "c"};
        do {
            DocumentPtr document = three_sections(loaded);
            IniSection* b = ini_find_section(document.get(), "b");
            for (int key : {11, 0, 5, 10, 1}) {
                ASSERT_EQ(ini_remove_key(b, ("k" + std::to_string(key)).c_str()), 0);
            }
            ASSERT_EQ(b->count, 7);
            ASSERT_EQ(ini_remove_section(document.get(), names[0].c_str()), 0);
            ASSERT_EQ(ini_remove_section(document.get(), names[1].c_str()), 0);
            ASSERT_EQ(document->count, 1);
            EXPECT_STREQ(document->sections[0]->name, names[2].c_str()) << loaded;
        } while (std::next_permutation(names.begin(), names.end()));

        DocumentPtr document = three_sections(loaded);
        DocumentPtr other = three_sections(!loaded);
        for (const char* name : {"c", "a"}) {
            IniSection* moved = ini_find_section(other.get(), name);
            IniSection** slot = std::find(other->sections, other->sections + other->count, moved);
            *slot = other->sections[--other->count];  // taken out by hand
            ASSERT_EQ(ini_add_section(document.get(), moved), 0);
        }
        IniEntry* entry = document->sections[1]->entries[--document->sections[1]->count];
        ini_free_entry(entry);  // a loaded or built entry no section holds
        EXPECT_EQ(
            document_text(*document),
            (DocumentText{{"a", entries(0, 2)}, {"b", entries(0, 11)}, {"c", entries(0, 1)}}));
    }
}

// A loaded section holds as many slots as its entries; appending must move
// them out, and capacity must read as if the entries had come one by one.
// 300 entries take the other path through the loader (a large section).
TEST_F(LayoutTest, LoadedSectionGrowsPastItsSlots) {
    for (int loaded : {0, 3, 10, 12, 300}) {
        DocumentPtr document =
            load_text(section_lines("a name", loaded) + section_lines("next", 1));
        IniSection* section = document->sections[0];
        EXPECT_EQ(section->capacity, std::max(10, (loaded + 9) / 10 * 10)) << loaded;
        for (int count = loaded; count < loaded + 25; ++count) {
            int32_t capacity = section->capacity;
            std::string key = "k" + std::to_string(count);
            ASSERT_EQ(ini_set(section, key.c_str(), ("v" + std::to_string(count)).c_str()), 1);
            EXPECT_EQ(section->capacity, count == capacity ? capacity + 10 : capacity) << count;
        }
        EXPECT_STREQ(section->name, "a name");
        EXPECT_EQ(section_text(*section), entries(0, loaded + 25)) << loaded;
        EXPECT_EQ(document_text(*document)[1], (SectionText{"next", entries(0, 1)}));
    }
}

TEST_F(LayoutTest, CopiesALoadedSection) {
    DocumentPtr document = load_text("[s]\nk0=v0\nk1=v1\nk0=again\n" + section_lines("t", 0));
    SectionPtr copy(ini_copy_section(document->sections[0], "copy"));
    document.reset();  // the copy owns all its text
    ASSERT_EQ(ini_set(copy.get(), "k2", "v2"), 1);
    EXPECT_STREQ(copy->name, "copy");
    EXPECT_EQ(copy->capacity, 10);
    EXPECT_EQ(section_text(*copy), entries(0, 3));
}

}  // namespace
