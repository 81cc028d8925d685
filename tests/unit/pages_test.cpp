// Records in pages: released alone, in any order, a page going back to the
// system with its last record and not before. The sanitizer build turns a
// record used after its page went into a failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "inifile/ini.h"
#include "internal.h"
#include "memory.h"
#include "pages.h"
#include "test_files.h"

namespace {

class PagesTest : public testing::Test {
  protected:
    // A document loaded from `sections` sections of `entries` entries each.
    IniDocument* load(int sections, int entries) {
        std::string text;
        for (int s = 0; s < sections; ++s) {
            text += "[s" + std::to_string(s) + "]\n";
            for (int e = 0; e < entries; ++e) {
                text += "k" + std::to_string(e) + "=v" + std::to_string(e) + "\n";
            }
        }
        IniDocument* document = ini_load_text(text.data(), text.size(), nullptr);
        EXPECT_NE(document, nullptr);
        return document;
    }

    size_t before_ = ini_pages_in_use();
};

TEST_F(PagesTest, RecordReleasedAloneLeavesItsNeighbours) {
    IniDocument* document = load(1, 3);
    IniSection* section = document->sections[0];
    ASSERT_EQ(ini_remove_key(section, "k1"), 0);
    EXPECT_STREQ(ini_get(section, "k0"), "v0");
    EXPECT_STREQ(ini_get(section, "k2"), "v2");
    ini_free_document(document);
    EXPECT_EQ(ini_pages_in_use(), before_);
}

TEST_F(PagesTest, PageGoesWithItsLastRecordOnly) {
    IniDocument* document = load(2, 2);
    EXPECT_EQ(ini_pages_in_use(), before_ + 1);
    // The sections outlive their document; the page stays for them.
    IniSection* first = document->sections[0];
    IniSection* second = document->sections[1];
    document->count = 0;
    ini_free_document(document);
    EXPECT_EQ(ini_pages_in_use(), before_ + 1);
    ini_free_section(first);
    EXPECT_EQ(ini_pages_in_use(), before_ + 1);
    EXPECT_STREQ(ini_get(second, "k1"), "v1");
    ini_free_section(second);
    EXPECT_EQ(ini_pages_in_use(), before_);
}

TEST_F(PagesTest, LoadedEntryReplacedThenItsSectionRemoved) {
    IniDocument* document = load(2, 2);
    IniSection* section = ini_find_section(document, "s0");
    ASSERT_EQ(ini_set(section, "k0", ini_get(section, "k1")), 0);
    ASSERT_EQ(ini_set(section, "new", "entry"), 1);
    EXPECT_STREQ(ini_get(section, "k0"), "v1");
    ASSERT_EQ(ini_remove_section(document, "s0"), 0);
    EXPECT_STREQ(ini_get(ini_find_section(document, "s1"), "k0"), "v0");
    ini_free_document(document);
    EXPECT_EQ(ini_pages_in_use(), before_);
}

TEST_F(PagesTest, LoadOfManyPagesReturnsThemAll) {
    size_t arrays_before = ini_array_piece_bytes();
    IniDocument* document = load(9000, 40);
    EXPECT_GE(ini_pages_in_use(), before_ + 2);
    EXPECT_GT(ini_array_piece_bytes(), arrays_before);  // the array of sections
    ini_free_document(document);
    EXPECT_EQ(ini_pages_in_use(), before_);
    EXPECT_EQ(ini_array_piece_bytes(), arrays_before);
}

// Where the system has transparent huge pages, a large load's pieces are
// whole huge pages, aligned: its records' pages, a large section's own
// page and the array of many sections.
TEST_F(PagesTest, LargeLoadTakesWholeHugePages) {
    if (!platform_has_huge_pages()) {
        GTEST_SKIP() << "no transparent huge pages here: pieces are in small pages";
    }
    std::string text = "[big]\n";
    for (int e = 0; e < 150000; ++e) {
        text += "k" + std::to_string(e) + "=v\n";
    }
    for (int s = 0; s < 9000; ++s) {
        text += "[s" + std::to_string(s) + "]\nk=v\n";
    }
    IniDocument* document = ini_load_text(text.data(), text.size(), nullptr);
    ASSERT_NE(document, nullptr);
    const size_t huge = 2 * 1024 * 1024;
    auto huge_aligned = [&](const void* address) { return uintptr_t(address) % huge == 0; };
    EXPECT_TRUE(huge_aligned(document->sections));
    const void* records[] = {document->sections[0], document->sections[0]->entries[0],
                             document->sections[document->count - 1]};
    for (const void* record : records) {
        const void* start;
        size_t size = ini_page_of(record, &start);
        EXPECT_TRUE(huge_aligned(start));
        EXPECT_GT(size, 0u);
        EXPECT_EQ(size % huge, 0u);
    }
    ini_free_document(document);
}

// What stays mapped for the next load is a few MiB, whatever came before.
TEST_F(PagesTest, SparePagesStayFew) {
    for (int round = 0; round < 10; ++round) {
        ini_free_document(load(16, 20000));
        ini_free_document(load(1, 10));
    }
    EXPECT_EQ(ini_pages_in_use(), before_);
    EXPECT_LE(ini_page_bytes(), size_t(4 * 1024 * 1024));
}

TEST_F(PagesTest, FailedLoadReturnsItsPages) {
    std::string text = "[s]\nk=v\nnot an entry\n";
    EXPECT_EQ(ini_load_text(text.data(), text.size(), nullptr), nullptr);
    EXPECT_EQ(ini_pages_in_use(), before_);
}

}  // namespace
