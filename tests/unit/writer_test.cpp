// Saving documents: the exact bytes written, creation failures, and that what
// is written loads back as the same document.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "inifile/ini.h"
#include "platform.h"
#include "test_files.h"

namespace {

using test_files::document_text;
using test_files::DocumentPtr;
using test_files::DocumentText;
using test_files::EntryText;
using test_files::fixture_path;
using test_files::read_file;
using test_files::ScratchDir;
using test_files::write_file;

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// Builds a document from plain values, in order.
DocumentPtr build(const DocumentText& text) {
    DocumentPtr document(ini_new_document());
    for (const auto& [name, entries] : text) {
        IniSection* section = ini_new_section(name.c_str());
        for (const auto& [key, value] : entries) {
            ini_set(section, key.c_str(), value.c_str());
        }
        ini_add_section(document.get(), section);
    }
    return document;
}

class SaveTest : public testing::Test {
  protected:
    // Saves `document` to path_ and returns the file's bytes.
    std::string saved_bytes(const IniDocument* document) {
        EXPECT_EQ(ini_save(document, path_.c_str()), 0);
        return read_file(path_);
    }

    ScratchDir scratch_;
    const std::string path_ = scratch_.file("out.ini");
};

// ---------------------------------------------------------------------------
// Output bytes

TEST_F(SaveTest, EmptyDocumentGivesAnEmptyFile) {
    DocumentPtr document(ini_new_document());
    EXPECT_EQ(saved_bytes(document.get()), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(path_));
}

TEST_F(SaveTest, SectionWithoutEntriesGivesItsHeaderOnly) {
    EXPECT_EQ(saved_bytes(build({{"vantra", {}}}).get()), "[vantra]\n");
}

TEST_F(SaveTest, SectionsAndEntriesInSlotOrder) {
    DocumentPtr document =
        build({{"A", {{"a1", "1"}, {"a2", "2"}, {"a3", "3"}}}, {"B", {}}, {"C", {{"c1", "x y"}}}});
    EXPECT_EQ(saved_bytes(document.get()), "[A]\na1=1\na2=2\na3=3\n[B]\n[C]\nc1=x y\n");

    // Swap-with-last removal reorders the slots, and the file follows them.
    ASSERT_EQ(ini_remove_section(document.get(), "A"), 0);
    ASSERT_EQ(ini_remove_key(ini_find_section(document.get(), "C"), "c1"), 0);
    ini_set(ini_find_section(document.get(), "C"), "c2", "");
    EXPECT_EQ(saved_bytes(document.get()), "[C]\nc2=\n[B]\n");
}

TEST_F(SaveTest, LauncherConfiguration) {
    DocumentPtr document = build({{"vantra",
                                   {{"Bindir", "C:\\Program Files\\vantra\\vrun-5.10.4\\bin"},
                                    {"Progname", "vnt"},
                                    {"Rootdir", "C:\\Program Files\\vantra"}}}});
    EXPECT_EQ(saved_bytes(document.get()),
              "[vantra]\n"
              "Bindir=C:\\\\Program Files\\\\vantra\\\\vrun-5.10.4\\\\bin\n"
              "Progname=vnt\n"
              "Rootdir=C:\\\\Program Files\\\\vantra\n");
}

struct EscapeCase {
    std::string name;
    std::string key;
    std::string value;
    std::string line;  // the entry's line in the file
};

void PrintTo(const EscapeCase& c, std::ostream* out) {
    *out << c.name;
}

class EscapeTest : public SaveTest, public testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeTest, EntryLine) {
    const EscapeCase& c = GetParam();
    EXPECT_EQ(saved_bytes(build({{"s", {{c.key, c.value}}}}).get()), "[s]\n" + c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EscapeTest,
    testing::Values(EscapeCase{"Plain", "key", "value", "key=value\n"},
                    EscapeCase{"BackslashInValue", "k", "C:\\R", "k=C:\\\\R\n"},
                    EscapeCase{"SemicolonInValue", "k", "a;b", "k=a\\;b\n"},
                    EscapeCase{"RunsOfEscapedBytes", "k", "\\\\;;\\;", "k=\\\\\\\\\\;\\;\\\\\\;\n"},
                    EscapeCase{"EscapesAtBothEnds", "k", ";x\\", "k=\\;x\\\\\n"},
                    EscapeCase{"EscapesInKey", ";k\\", "v", "\\;k\\\\=v\n"},
                    EscapeCase{"EmptyValue", "k", "", "k=\n"},
                    EscapeCase{"OtherBytesUnchanged", "a b\t[", "= x ]\t\xC3\xA9\xFF\x1A\x01",
                               "a b\t[== x ]\t\xC3\xA9\xFF\x1A\x01\n"},
                    EscapeCase{"CarriageReturnWrittenAsIs", "k", "a\rb", "k=a\rb\n"},
                    EscapeCase{"LongRuns", "k", repeat("\\", 50) + repeat(";", 50),
                               "k=" + repeat("\\\\", 50) + repeat("\\;", 50) + "\n"}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

TEST_F(SaveTest, LongEscapedValueInterleaved) {
    std::string value;
    std::string line;
    for (int i = 0; i < 20000; ++i) {
        value += "a\\b;";
        line += "a\\\\b\\;";
    }
    EXPECT_EQ(saved_bytes(build({{"s", {{"k", value}}}}).get()), "[s]\nk=" + line + "\n");
}

TEST_F(SaveTest, ScratchLineIsEmptiedBetweenEntries) {
    DocumentPtr document =
        build({{"s", {{"long", std::string(100, 'x')}, {"a", "1"}}}, {"t", {{"b", ""}}}});
    EXPECT_EQ(saved_bytes(document.get()),
              "[s]\nlong=" + std::string(100, 'x') + "\na=1\n[t]\nb=\n");
}

TEST_F(SaveTest, SectionNamesAreNotEscaped) {
    EXPECT_EQ(saved_bytes(build({{"a;b\\c", {{"k", "v"}}}}).get()), "[a;b\\c]\nk=v\n");
    // The semicolon then starts a comment inside the header line.
    EXPECT_EQ(DocumentPtr(ini_load(path_.c_str())), nullptr);
}

TEST_F(SaveTest, ReplacesALongerFile) {
    ASSERT_TRUE(write_file(path_, std::string(5000, 'o')));
    EXPECT_EQ(saved_bytes(build({{"s", {{"k", "v"}}}}).get()), "[s]\nk=v\n");
}

TEST_F(SaveTest, DocumentIsNotChanged) {
    DocumentPtr document = build({{"s", {{"k", "a;b\\c"}, {"l", ""}}}, {"t", {}}});
    const DocumentText before = document_text(*document);
    IniEntry* const first = document->sections[0]->entries[0];
    char* const value = first->value;
    ASSERT_EQ(ini_save(document.get(), path_.c_str()), 0);
    EXPECT_EQ(document_text(*document), before);
    EXPECT_EQ(document->sections[0]->entries[0], first);
    EXPECT_EQ(first->value, value);
}

// ---------------------------------------------------------------------------
// Creating the file

TEST_F(SaveTest, MissingDirectory) {
    DocumentPtr document = build({{"s", {{"k", "v"}}}});
    const std::string path = scratch_.file("missing/out.ini");
    EXPECT_EQ(ini_save(document.get(), path.c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(scratch_.file("missing")));
}

TEST_F(SaveTest, PathIsADirectory) {
    DocumentPtr document = build({{"s", {{"k", "v"}}}});
    ASSERT_TRUE(std::filesystem::create_directory(path_));
    EXPECT_EQ(ini_save(document.get(), path_.c_str()), -1);
    EXPECT_TRUE(std::filesystem::is_directory(path_));
}

TEST_F(SaveTest, EmptyDocumentStillNeedsTheFile) {
    DocumentPtr document(ini_new_document());
    EXPECT_EQ(ini_save(document.get(), scratch_.path().c_str()), -1);
}

// Windows refuses to delete a file that is still open, which is how a handle
// left behind shows there.
TEST_F(SaveTest, FileIsClosedAfterASave) {
    ASSERT_EQ(ini_save(build({{"s", {{"k", "v"}}}}).get(), path_.c_str()), 0);
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(path_, error)) << error.message();
}

TEST_F(SaveTest, FileOpenByAnotherWriter) {
    PlatformFile* other = platform_create(path_.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(ini_save(build({{"s", {{"k", "v"}}}}).get(), path_.c_str()), 0);
    platform_close(other);
    EXPECT_EQ(read_file(path_), "[s]\nk=v\n");
}

// A device that accepts the open but refuses every byte; Linux has one, other
// systems skip.
TEST_F(SaveTest, FailedWrite) {
    const char* const full = "/dev/full";
    if (!std::filesystem::exists(full)) {
        GTEST_SKIP() << "no " << full << " here";
    }
    DocumentPtr document = build({{"s", {{"k", "v"}}}});
    EXPECT_EQ(ini_save(document.get(), full), -2);
    EXPECT_EQ(ini_save(build({}).get(), full), 0);
}

// ---------------------------------------------------------------------------
// Golden file: the same document must give these bytes on every platform.

DocumentText golden_document() {
    return {{"vantra",
             {{"Bindir", "C:\\Program Files\\vantra\\bin"},
              {"Progname", "vnt"},
              {"Rootdir", "C:\\Program Files\\vantra"}}},
            {"Empty", {}},
            {" Spaced name ",
             {{"semi;colon", "a;b;"},
              {"tab\tkey", "\ttab value\t"},
              {"high", "\xC3\xA9\xFF"},
              {"equals", "a=b==c"},
              {"brackets", "[x]"},
              {"empty", ""},
              {"trailing", "end\\"},
              {"inner  spaces", "x  y"}}}};
}

TEST_F(SaveTest, MatchesTheGoldenFile) {
    EXPECT_EQ(saved_bytes(build(golden_document()).get()),
              read_file(fixture_path("golden_save.ini")));
}

TEST(GoldenFileTest, LoadsAsTheDocument) {
    DocumentPtr document(ini_load(fixture_path("golden_save.ini").c_str()));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document_text(*document), golden_document());
}

// ---------------------------------------------------------------------------
// Round trips: a document whose names, keys and values can be represented
// (names without ';', '\', '=' or line ends and not empty; keys and values
// without line ends and without blanks at their ends; keys without '=' and
// not empty) loads back exactly as it was saved.

class RoundTripTest : public SaveTest {
  protected:
    void expect_round_trip(const DocumentText& text) {
        DocumentPtr document = build(text);
        const DocumentText expected = document_text(*document);
        const std::string bytes = saved_bytes(document.get());
        DocumentPtr loaded(ini_load(path_.c_str()));
        ASSERT_NE(loaded, nullptr) << testing::PrintToString(bytes);
        EXPECT_EQ(document_text(*loaded), expected) << testing::PrintToString(bytes);
        // Saving what was loaded reproduces the file.
        EXPECT_EQ(saved_bytes(loaded.get()), bytes);
    }
};

TEST_F(RoundTripTest, AwkwardButValidContent) {
    expect_round_trip({{"Install", {{"VSN", "5.10.4"}, {"SYSTEM_VSN", "R14B"}}},
                       {" [x] ", {{"[a", "b]"}, {"[c]", "[d]"}, {";", ";"}, {"\\", "\\"}}},
                       {"empty", {}},
                       {"s",
                        {{"k", "=leading equals"},
                         {"ends in backslash\\", "C:\\dir\\"},
                         {"\\;", "\\;\\\\;;"},
                         {"a b", "c  d"},
                         {"\t", "\t"},
                         {"blank", ""},
                         {"\xC3\xA9\x7F\xFF", "\x01\x1A\x80"}}}});
}

TEST_F(RoundTripTest, ElevenSectionsOfTwentyOneEntries) {
    DocumentText text;
    for (int s = 0; s < 11; ++s) {
        std::vector<EntryText> entries;
        for (int e = 0; e < 21; ++e) {
            entries.emplace_back("k" + std::to_string(e),
                                 std::to_string(s) + ";" + std::to_string(e) + "\\");
        }
        text.emplace_back("s" + std::to_string(s), entries);
    }
    expect_round_trip(text);
}

TEST_F(RoundTripTest, LoadedFixturesSurviveASave) {
    for (const char* file : {"escapes.ini", "continuation.ini", "comments.ini", "crlf.ini",
                             "duplicates.ini", "install.ini"}) {
        SCOPED_TRACE(file);
        DocumentPtr original(ini_load(fixture_path(file).c_str()));
        ASSERT_NE(original, nullptr);
        ASSERT_EQ(ini_save(original.get(), path_.c_str()), 0);
        DocumentPtr reloaded(ini_load(path_.c_str()));
        ASSERT_NE(reloaded, nullptr);
        EXPECT_EQ(document_text(*reloaded), document_text(*original));
    }
}

// Random documents from a fixed seed, over an alphabet weighted towards the
// bytes that have a meaning in the format, plus the tab, which must never be
// taken for a blank. mt19937's output is fixed by the
// standard, and only its raw output is used, so every platform runs the same
// documents.
class RandomRoundTripTest : public RoundTripTest {
  protected:
    uint32_t below(uint32_t bound) {
        return static_cast<uint32_t>(engine_() % bound);
    }

    char random_byte() {
        static const std::string meaningful = " \\;=[]\t";
        if (below(2) == 0) {
            return meaningful[below(static_cast<uint32_t>(meaningful.size()))];
        }
        char c;
        do {
            c = static_cast<char>(1 + below(255));
        } while (c == '\n' || c == '\r');
        return c;
    }

    // A string of up to `max_length` bytes without any of `excluded`.
    std::string random_text(uint32_t max_length, const std::string& excluded) {
        std::string text;
        const uint32_t length = below(max_length + 1);
        while (text.size() < length) {
            const char c = random_byte();
            if (excluded.find(c) == std::string::npos) {
                text += c;
            }
        }
        return text;
    }

    static std::string trim_spaces(std::string text) {
        const size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos) {
            return std::string();
        }
        return text.substr(first, text.find_last_not_of(' ') - first + 1);
    }

    std::string random_name() {
        std::string name;
        while (name.empty()) {
            name = random_text(12, ";\\=");
        }
        return name;
    }

    std::string random_key() {
        std::string key;
        while (key.empty()) {
            key = trim_spaces(random_text(12, "="));
        }
        return key;
    }

    std::string random_value() {
        return trim_spaces(random_text(16, ""));
    }

    DocumentText random_document() {
        DocumentText text;
        const uint32_t sections = below(13);
        for (uint32_t s = 0; s < sections; ++s) {
            std::vector<EntryText> entries;
            const uint32_t count = below(24);
            for (uint32_t e = 0; e < count; ++e) {
                entries.emplace_back(random_key(), random_value());
            }
            text.emplace_back(random_name(), entries);
        }
        return text;
    }

    std::mt19937 engine_{20240611u};
};

TEST_F(RandomRoundTripTest, FixedSeed) {
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("document " + std::to_string(round));
        expect_round_trip(random_document());
        if (HasFailure()) {
            break;
        }
    }
}

}  // namespace
