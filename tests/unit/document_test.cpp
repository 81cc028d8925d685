// The in-memory document: lookups, replace-or-append, swap-with-last removal,
// slot growth and the ownership of the strings it hands out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "inifile/ini.h"
#include "test_files.h"

namespace {

using test_files::DocumentPtr;
using test_files::EntryText;
using test_files::section_text;
using test_files::SectionPtr;

std::vector<std::string> section_names(const IniDocument& document) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < document.count; ++i) {
        names.emplace_back(document.sections[i]->name);
    }
    return names;
}

// ---------------------------------------------------------------------------
// Creation

TEST(NewDocumentTest, StartsEmptyWithTenSlots) {
    DocumentPtr document(ini_new_document());
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->count, 0);
    EXPECT_EQ(document->capacity, 10);
    EXPECT_NE(document->sections, nullptr);
    EXPECT_EQ(ini_find_section(document.get(), "Install"), nullptr);
    EXPECT_EQ(ini_find_section(document.get(), ""), nullptr);
    EXPECT_EQ(ini_section_name_at(document.get(), 0), nullptr);
    EXPECT_EQ(ini_remove_section(document.get(), "Install"), 1);
}

TEST(NewSectionTest, StartsEmptyWithTenSlots) {
    SectionPtr section(ini_new_section("Install"));
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->count, 0);
    EXPECT_EQ(section->capacity, 10);
    EXPECT_NE(section->entries, nullptr);
    EXPECT_STREQ(section->name, "Install");
    EXPECT_EQ(ini_get(section.get(), "VSN"), nullptr);
    EXPECT_EQ(ini_key_at(section.get(), 0), nullptr);
    EXPECT_EQ(ini_remove_key(section.get(), "VSN"), 1);
}

TEST(NewSectionTest, KeepsItsOwnCopyOfTheName) {
    char name[] = "Install";
    SectionPtr section(ini_new_section(name));
    std::memcpy(name, "Changed", sizeof name);
    EXPECT_NE(section->name, name);
    EXPECT_STREQ(section->name, "Install");
}

TEST(NewSectionTest, AcceptsAnEmptyName) {
    SectionPtr section(ini_new_section(""));
    EXPECT_STREQ(section->name, "");
}

// ---------------------------------------------------------------------------
// Sections of a document

class SectionListTest : public testing::Test {
  protected:
    // Appends sections with the given names, checking that each is new.
    void add(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            ASSERT_EQ(ini_add_section(document_.get(), ini_new_section(name)), 1) << name;
        }
    }

    DocumentPtr document_{ini_new_document()};
};

TEST_F(SectionListTest, AddAppendsInOrder) {
    add({"A", "B", "C"});
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_STREQ(ini_section_name_at(document_.get(), 0), "A");
    EXPECT_STREQ(ini_section_name_at(document_.get(), 2), "C");
}

TEST_F(SectionListTest, NameAtStopsAtCount) {
    add({"A", "B"});
    EXPECT_STREQ(ini_section_name_at(document_.get(), 1), "B");
    EXPECT_EQ(ini_section_name_at(document_.get(), 2), nullptr);
    EXPECT_EQ(ini_section_name_at(document_.get(), 9), nullptr);
    // Slots past the count but inside the capacity are not sections.
    EXPECT_EQ(ini_section_name_at(document_.get(), 10), nullptr);
    EXPECT_EQ(ini_section_name_at(document_.get(), 1000), nullptr);
    // A negative index is refused too, rather than read before the array.
    EXPECT_EQ(ini_section_name_at(document_.get(), -1), nullptr);
}

// Handing the document a section it already holds must not release it: the
// slot would point at freed memory (the sanitizers catch a regression).
TEST_F(SectionListTest, AddingAHeldSectionAgainKeepsIt) {
    add({"A", "B"});
    IniSection* held = ini_find_section(document_.get(), "B");
    ASSERT_NE(held, nullptr);
    ini_set(held, "k", "v");
    EXPECT_EQ(ini_add_section(document_.get(), held), 0);
    EXPECT_EQ(document_->count, 2);
    EXPECT_EQ(ini_find_section(document_.get(), "B"), held);
    EXPECT_STREQ(ini_get(held, "k"), "v");
}

TEST_F(SectionListTest, FindReturnsTheSectionItself) {
    add({"A", "B", "C"});
    EXPECT_EQ(ini_find_section(document_.get(), "A"), document_->sections[0]);
    EXPECT_EQ(ini_find_section(document_.get(), "C"), document_->sections[2]);
    EXPECT_EQ(ini_find_section(document_.get(), "D"), nullptr);
}

TEST_F(SectionListTest, FindComparesWholeNamesCaseSensitively) {
    add({"Install", "a b"});
    EXPECT_NE(ini_find_section(document_.get(), "Install"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "install"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "INSTALL"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "Instal"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "Installx"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), ""), nullptr);
    EXPECT_NE(ini_find_section(document_.get(), "a b"), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "a  b"), nullptr);
}

TEST_F(SectionListTest, FindsAnEmptyName) {
    add({"A", ""});
    EXPECT_EQ(ini_find_section(document_.get(), ""), document_->sections[1]);
}

TEST_F(SectionListTest, AddWithAPresentNameTakesOverItsSlot) {
    add({"A", "B", "C"});
    IniSection* replacement = ini_new_section("B");
    ini_set(replacement, "new", "1");
    ini_set(ini_find_section(document_.get(), "B"), "old", "1");

    EXPECT_EQ(ini_add_section(document_.get(), replacement), 0);
    EXPECT_EQ(document_->count, 3);
    EXPECT_EQ(document_->sections[1], replacement);
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(ini_find_section(document_.get(), "B"), replacement);
    EXPECT_EQ(ini_get(replacement, "old"), nullptr);
    EXPECT_STREQ(ini_get(replacement, "new"), "1");
}

TEST_F(SectionListTest, AddIsCaseSensitive) {
    add({"Install"});
    EXPECT_EQ(ini_add_section(document_.get(), ini_new_section("install")), 1);
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"Install", "install"}));
}

TEST_F(SectionListTest, RemoveMovesTheLastIntoTheFreedSlot) {
    add({"A", "B", "C"});
    IniSection* c = document_->sections[2];
    EXPECT_EQ(ini_remove_section(document_.get(), "A"), 0);
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"C", "B"}));
    EXPECT_EQ(document_->sections[0], c);
    EXPECT_EQ(ini_section_name_at(document_.get(), 2), nullptr);
    EXPECT_EQ(ini_find_section(document_.get(), "A"), nullptr);
}

TEST_F(SectionListTest, RemoveOfTheLastSection) {
    add({"A", "B", "C"});
    EXPECT_EQ(ini_remove_section(document_.get(), "C"), 0);
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"A", "B"}));
}

TEST_F(SectionListTest, RemoveOfTheOnlySection) {
    add({"A"});
    EXPECT_EQ(ini_remove_section(document_.get(), "A"), 0);
    EXPECT_EQ(document_->count, 0);
    EXPECT_EQ(ini_section_name_at(document_.get(), 0), nullptr);
    EXPECT_EQ(ini_remove_section(document_.get(), "A"), 1);
}

TEST_F(SectionListTest, RemoveOfAnAbsentNameChangesNothing) {
    add({"A", "B", "C"});
    IniSection* const* slots = document_->sections;
    EXPECT_EQ(ini_remove_section(document_.get(), "D"), 1);
    EXPECT_EQ(ini_remove_section(document_.get(), "a"), 1);
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(document_->sections, slots);
}

TEST_F(SectionListTest, SectionsCanBeAddedAgainAfterRemoval) {
    add({"A", "B"});
    ASSERT_EQ(ini_remove_section(document_.get(), "A"), 0);
    add({"A"});
    EXPECT_EQ(section_names(*document_), (std::vector<std::string>{"B", "A"}));
}

// ---------------------------------------------------------------------------
// Entries of a section

class EntryListTest : public testing::Test {
  protected:
    // Appends entries, checking that each key is new.
    void set(std::initializer_list<EntryText> entries) {
        for (const EntryText& entry : entries) {
            ASSERT_EQ(ini_set(section_.get(), entry.first.c_str(), entry.second.c_str()), 1)
                << entry.first;
        }
    }

    std::vector<EntryText> entries() const {
        return section_text(*section_);
    }

    SectionPtr section_{ini_new_section("s")};
};

TEST_F(EntryListTest, SetAppendsNewKeysInOrder) {
    set({{"Bindir", "C:\\x\\bin"}, {"Progname", "vnt"}, {"Rootdir", "C:\\x"}});
    EXPECT_EQ(entries(), (std::vector<EntryText>{
                             {"Bindir", "C:\\x\\bin"}, {"Progname", "vnt"}, {"Rootdir", "C:\\x"}}));
    EXPECT_STREQ(ini_get(section_.get(), "Progname"), "vnt");
    EXPECT_STREQ(ini_key_at(section_.get(), 0), "Bindir");
    EXPECT_STREQ(ini_key_at(section_.get(), 2), "Rootdir");
    EXPECT_EQ(ini_key_at(section_.get(), 3), nullptr);
    EXPECT_EQ(ini_key_at(section_.get(), -1), nullptr);
}

TEST_F(EntryListTest, SetOfAPresentKeyReplacesInPlace) {
    set({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    EXPECT_EQ(ini_set(section_.get(), "b", "a much longer value than before"), 0);
    EXPECT_EQ(ini_set(section_.get(), "a", ""), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{
                             {"a", ""}, {"b", "a much longer value than before"}, {"c", "3"}}));
    EXPECT_EQ(section_->count, 3);
}

TEST_F(EntryListTest, SetCopiesKeyAndValue) {
    char key[] = "key";
    char value[] = "value";
    ASSERT_EQ(ini_set(section_.get(), key, value), 1);
    std::memcpy(key, "xxx", 3);
    std::memcpy(value, "yyyyy", 5);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"key", "value"}}));
}

TEST_F(EntryListTest, GetAndKeyAtMissOutsideTheEntries) {
    set({{"a", "1"}, {"b", "2"}});
    EXPECT_EQ(ini_get(section_.get(), "c"), nullptr);
    EXPECT_EQ(ini_get(section_.get(), ""), nullptr);
    EXPECT_EQ(ini_key_at(section_.get(), 2), nullptr);
    EXPECT_EQ(ini_key_at(section_.get(), 10), nullptr);
}

TEST_F(EntryListTest, LookupsCompareWholeKeysCaseSensitively) {
    set({{"VSN", "5"}, {"SYSTEM_VSN", "7"}});
    EXPECT_EQ(ini_get(section_.get(), "vsn"), nullptr);
    EXPECT_EQ(ini_get(section_.get(), "VS"), nullptr);
    EXPECT_EQ(ini_get(section_.get(), "VSN "), nullptr);
    EXPECT_EQ(ini_get(section_.get(), "SYSTEM"), nullptr);
    EXPECT_STREQ(ini_get(section_.get(), "VSN"), "5");

    EXPECT_EQ(ini_set(section_.get(), "vsn", "6"), 1);
    EXPECT_STREQ(ini_get(section_.get(), "VSN"), "5");
    EXPECT_EQ(ini_remove_key(section_.get(), "Vsn"), 1);
}

TEST_F(EntryListTest, EmptyKeyAndValueAreOrdinaryStrings) {
    set({{"", ""}, {"k", ""}});
    EXPECT_STREQ(ini_get(section_.get(), ""), "");
    EXPECT_STREQ(ini_get(section_.get(), "k"), "");
    EXPECT_EQ(ini_set(section_.get(), "", "now set"), 0);
    EXPECT_STREQ(ini_get(section_.get(), ""), "now set");
}

TEST_F(EntryListTest, BytesAboveAsciiAreKeptAndCompared) {
    set({{"\xC3\xA9", "\xFF\x80\x01"}, {"\xC3\x89", "upper"}});
    EXPECT_STREQ(ini_get(section_.get(), "\xC3\xA9"), "\xFF\x80\x01");
    EXPECT_STREQ(ini_get(section_.get(), "\xC3\x89"), "upper");
}

TEST_F(EntryListTest, RemoveKeyMovesTheLastIntoTheFreedSlot) {
    set({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    IniEntry* d = section_->entries[3];
    EXPECT_EQ(ini_remove_key(section_.get(), "b"), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"a", "1"}, {"d", "4"}, {"c", "3"}}));
    EXPECT_EQ(section_->entries[1], d);
    EXPECT_EQ(ini_key_at(section_.get(), 3), nullptr);
    EXPECT_EQ(ini_get(section_.get(), "b"), nullptr);
}

TEST_F(EntryListTest, RemoveKeyOfTheLastAndOnlyEntries) {
    set({{"a", "1"}, {"b", "2"}});
    EXPECT_EQ(ini_remove_key(section_.get(), "b"), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"a", "1"}}));
    EXPECT_EQ(ini_remove_key(section_.get(), "a"), 0);
    EXPECT_EQ(section_->count, 0);
    EXPECT_EQ(ini_remove_key(section_.get(), "a"), 1);
    EXPECT_EQ(ini_set(section_.get(), "a", "again"), 1);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"a", "again"}}));
}

TEST_F(EntryListTest, RemoveKeyOfAnAbsentKeyChangesNothing) {
    set({{"a", "1"}, {"b", "2"}});
    EXPECT_EQ(ini_remove_key(section_.get(), "c"), 1);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"a", "1"}, {"b", "2"}}));
}

// ---------------------------------------------------------------------------
// The entry block: one allocation holding the key, its terminator, the value
// and its terminator. Code that frees only `key` relies on this.

class EntryBlockTest : public EntryListTest {
  protected:
    void expect_one_block(const IniEntry& entry) {
        EXPECT_EQ(entry.value, entry.key + std::strlen(entry.key) + 1) << entry.key;
    }
};

TEST_F(EntryBlockTest, ValueFollowsTheKeyTerminator) {
    set({{"Bindir", "C:\\x\\bin"}, {"", "empty key"}, {"empty value", ""}});
    for (int32_t i = 0; i < section_->count; ++i) {
        expect_one_block(*section_->entries[i]);
    }
}

TEST_F(EntryBlockTest, ValueThatFitsIsWrittenOverTheOld) {
    set({{"key", "old value"}});
    const char* text = section_->entries[0]->key;
    ASSERT_EQ(ini_set(section_.get(), "key", "new value"), 0);
    EXPECT_EQ(section_->entries[0]->key, text);
    EXPECT_STREQ(section_->entries[0]->value, "new value");
    ASSERT_EQ(ini_set(section_.get(), "key", "new value!"), 0);  // one byte too many
    EXPECT_NE(section_->entries[0]->key, text);
    expect_one_block(*section_->entries[0]);
}

TEST_F(EntryBlockTest, ReplacementGetsAFreshBlock) {
    set({{"key", "short"}});
    ASSERT_EQ(ini_set(section_.get(), "key", "a value that no longer fits the old block"), 0);
    expect_one_block(*section_->entries[0]);
    EXPECT_STREQ(section_->entries[0]->value, "a value that no longer fits the old block");
}

// The caller may hand in the very strings being replaced: written over the
// old text or into a new block, they must be read before they change.
class SetFromOwnEntryTest : public EntryBlockTest {};

TEST_F(SetFromOwnEntryTest, SameKeyAndValueLeaveTheTextUnchanged) {
    set({{"a", "1"}, {"Rootdir", "C:\\Program Files\\x"}, {"c", "3"}});
    IniEntry* entry = section_->entries[1];
    EXPECT_EQ(ini_set(section_.get(), entry->key, entry->value), 0);
    EXPECT_EQ(section_->entries[1], entry);
    EXPECT_EQ(entries(), (std::vector<EntryText>{
                             {"a", "1"}, {"Rootdir", "C:\\Program Files\\x"}, {"c", "3"}}));
    expect_one_block(*entry);
}

TEST_F(SetFromOwnEntryTest, ValueFromGetOfTheSameKey) {
    set({{"k", "value"}});
    EXPECT_EQ(ini_set(section_.get(), "k", ini_get(section_.get(), "k")), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"k", "value"}}));
}

TEST_F(SetFromOwnEntryTest, KeyUsedAsTheNewValue) {
    set({{"name", "old"}});
    IniEntry* entry = section_->entries[0];
    EXPECT_EQ(ini_set(section_.get(), entry->key, entry->key), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"name", "name"}}));
}

TEST_F(SetFromOwnEntryTest, TailOfTheOldValueUsedAsTheNewValue) {
    set({{"path", "C:\\x\\bin"}});
    IniEntry* entry = section_->entries[0];
    EXPECT_EQ(ini_set(section_.get(), entry->key, entry->value + 3), 0);
    EXPECT_EQ(entries(), (std::vector<EntryText>{{"path", "x\\bin"}}));
}

// ---------------------------------------------------------------------------
// Copying a section

class CopySectionTest : public EntryListTest {};

TEST_F(CopySectionTest, CopiesEntriesInOrderUnderTheNewName) {
    set({{"a", "1"}, {"b", "2"}, {"c", ""}});
    SectionPtr copy(ini_copy_section(section_.get(), "copy"));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->name, "copy");
    EXPECT_EQ(section_text(*copy), entries());
    EXPECT_NE(ini_get(copy.get(), "a"), ini_get(section_.get(), "a"));
}

TEST_F(CopySectionTest, KeepsTheFirstOccurrenceOfADuplicateKey) {
    set({{"a", "1"}, {"b", "2"}, {"x", "3"}});
    // Only the loader produces duplicate keys; renaming the third key in place
    // gets one without depending on it.
    section_->entries[2]->key[0] = 'a';
    ASSERT_EQ(entries(), (std::vector<EntryText>{{"a", "1"}, {"b", "2"}, {"a", "3"}}));

    SectionPtr copy(ini_copy_section(section_.get(), "copy"));
    EXPECT_EQ(section_text(*copy), (std::vector<EntryText>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(CopySectionTest, CopyOfAnEmptySectionIsEmpty) {
    SectionPtr copy(ini_copy_section(section_.get(), "copy"));
    EXPECT_EQ(copy->count, 0);
    EXPECT_EQ(copy->capacity, 10);
    EXPECT_STREQ(copy->name, "copy");
}

TEST_F(CopySectionTest, CopyOutlivesTheOriginal) {
    set({{"a", "1"}, {"b", "2"}});
    SectionPtr copy(ini_copy_section(section_.get(), section_->name));
    section_.reset();
    EXPECT_STREQ(copy->name, "s");
    EXPECT_EQ(section_text(*copy), (std::vector<EntryText>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(CopySectionTest, CopyReplacesTheOriginalInADocument) {
    DocumentPtr document(ini_new_document());
    IniSection* original = ini_new_section("Install");
    ini_set(original, "VSN", "5");
    ASSERT_EQ(ini_add_section(document.get(), original), 1);

    IniSection* copy = ini_copy_section(original, "Install");
    ini_set(copy, "VSN", "6");
    EXPECT_EQ(ini_add_section(document.get(), copy), 0);
    EXPECT_EQ(document->count, 1);
    EXPECT_STREQ(ini_get(ini_find_section(document.get(), "Install"), "VSN"), "6");
}

// ---------------------------------------------------------------------------
// Growth: 10 slots, then 10 more whenever an append finds the array full.
// Earlier elements must keep their slots (and their addresses) across it.

class GrowthTest : public testing::Test {
  protected:
    static std::string name(int i) {
        return "n" + std::to_string(i);
    }
};

TEST_F(GrowthTest, SectionArrayGrowsByTen) {
    DocumentPtr document(ini_new_document());
    std::vector<IniSection*> added;
    for (int i = 0; i < 31; ++i) {
        IniSection* section = ini_new_section(name(i).c_str());
        ASSERT_EQ(ini_add_section(document.get(), section), 1);
        added.push_back(section);
        const int32_t expected = i < 10 ? 10 : i < 20 ? 20 : i < 30 ? 30 : 40;
        ASSERT_EQ(document->capacity, expected) << "after " << i + 1 << " sections";
        ASSERT_EQ(document->count, i + 1);
    }
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(document->sections[i], added[i]) << i;
        EXPECT_EQ(ini_section_name_at(document.get(), i), name(i)) << i;
        EXPECT_EQ(ini_find_section(document.get(), name(i).c_str()), added[i]) << i;
    }
    EXPECT_EQ(ini_section_name_at(document.get(), 31), nullptr);
}

TEST_F(GrowthTest, EntryArrayGrowsByTen) {
    SectionPtr section(ini_new_section("s"));
    std::vector<IniEntry*> added;
    for (int i = 0; i < 31; ++i) {
        ASSERT_EQ(ini_set(section.get(), name(i).c_str(), std::to_string(i).c_str()), 1);
        added.push_back(section->entries[i]);
        const int32_t expected = i < 10 ? 10 : i < 20 ? 20 : i < 30 ? 30 : 40;
        ASSERT_EQ(section->capacity, expected) << "after " << i + 1 << " entries";
        ASSERT_EQ(section->count, i + 1);
    }
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(section->entries[i], added[i]) << i;
        EXPECT_EQ(ini_key_at(section.get(), i), name(i)) << i;
        EXPECT_EQ(ini_get(section.get(), name(i).c_str()), std::to_string(i)) << i;
    }
}

TEST_F(GrowthTest, ReplacingInAFullArrayDoesNotGrowIt) {
    SectionPtr section(ini_new_section("s"));
    for (int i = 0; i < 10; ++i) {
        ini_set(section.get(), name(i).c_str(), "v");
    }
    EXPECT_EQ(ini_set(section.get(), name(9).c_str(), "w"), 0);
    EXPECT_EQ(section->capacity, 10);

    DocumentPtr document(ini_new_document());
    for (int i = 0; i < 10; ++i) {
        ini_add_section(document.get(), ini_new_section(name(i).c_str()));
    }
    EXPECT_EQ(ini_add_section(document.get(), ini_new_section(name(0).c_str())), 0);
    EXPECT_EQ(document->capacity, 10);
}

TEST_F(GrowthTest, ArraysNeverShrink) {
    DocumentPtr document(ini_new_document());
    IniSection* section = ini_new_section("s");
    ini_add_section(document.get(), section);
    for (int i = 1; i < 11; ++i) {
        ini_add_section(document.get(), ini_new_section(name(i).c_str()));
        ini_set(section, name(i).c_str(), "v");
    }
    ini_set(section, "eleventh", "v");
    ASSERT_EQ(document->capacity, 20);
    ASSERT_EQ(section->capacity, 20);
    for (int i = 1; i < 11; ++i) {
        ASSERT_EQ(ini_remove_section(document.get(), name(i).c_str()), 0);
        ASSERT_EQ(ini_remove_key(section, name(i).c_str()), 0);
    }
    EXPECT_EQ(document->count, 1);
    EXPECT_EQ(document->capacity, 20);
    EXPECT_EQ(section->count, 1);
    EXPECT_EQ(section->capacity, 20);
    EXPECT_STREQ(ini_key_at(section, 0), "eleventh");
}

// ---------------------------------------------------------------------------
// Releasing: what nothing holds any more. Null is accepted; the sanitizer
// build catches a double or a missed release.

TEST(FreeTest, NullIsIgnored) {
    ini_free_entry(nullptr);
    ini_free_section(nullptr);
    ini_free_document(nullptr);
}

TEST(FreeTest, ReleasesAnEntryNoSectionHolds) {
    SectionPtr section(ini_new_section("s"));
    ini_set(section.get(), "a", "1");
    ini_set(section.get(), "b", "2");
    // Detach the last entry by hand, as a caller that takes an entry out of a
    // section would, and release it on its own.
    IniEntry* entry = section->entries[--section->count];
    ini_free_entry(entry);
    EXPECT_EQ(section_text(*section), (std::vector<EntryText>{{"a", "1"}}));
}

TEST(FreeTest, ADocumentReleasesSectionsAndEntries) {
    IniDocument* document = ini_new_document();
    for (int i = 0; i < 12; ++i) {
        IniSection* section = ini_new_section(std::to_string(i).c_str());
        for (int j = 0; j < 12; ++j) {
            ini_set(section, std::to_string(j).c_str(), "value");
        }
        ini_add_section(document, section);
    }
    ini_free_document(document);
}

}  // namespace
