// Loading files and texts: the byte-level line reader (escapes, comments,
// continuation, blank trimming, 1024-byte read chunks), the structure check on
// top of it, and the report of why and where a load failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "inifile/ini.h"
#include "platform.h"
#include "test_files.h"

namespace {

using namespace std::string_literals;  // "...\0..."s keeps embedded NUL bytes

using test_files::document_text;
using test_files::DocumentPtr;
using test_files::DocumentText;
using test_files::EntryText;
using test_files::fixture_path;
using test_files::ScratchDir;
using test_files::write_file;

DocumentPtr load(const std::string& path) {
    return DocumentPtr(ini_load(path.c_str()));
}

// Loads from files written byte for byte into a scratch directory.
class GeneratedFileTest : public testing::Test {
  protected:
    DocumentPtr load_bytes(const std::string& bytes) {
        const std::string path = scratch_.file("input.ini");
        EXPECT_TRUE(write_file(path, bytes));
        return load(path);
    }

    ScratchDir scratch_;
};

// Turns gtest parameter names into identifiers.
template <typename Case>
std::string case_name(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// "bad_first_line" -> "BadFirstLine".
std::string camel_case(const std::string& snake) {
    std::string name;
    bool upper = true;
    for (char c : snake) {
        if (c == '_') {
            upper = true;
        } else {
            name += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            upper = false;
        }
    }
    return name;
}

// ---------------------------------------------------------------------------
// Checked-in files, one per behaviour.

struct FixtureCase {
    std::string name;
    std::string file;
    DocumentText expected;
};

void PrintTo(const FixtureCase& c, std::ostream* out) {
    *out << c.name;
}

class FixtureLoadTest : public testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureLoadTest, LoadsAsExpected) {
    const FixtureCase& c = GetParam();
    DocumentPtr document = load(fixture_path(c.file));
    ASSERT_NE(document, nullptr) << c.file;
    EXPECT_EQ(document_text(*document), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FixtureLoadTest,
    testing::Values(
        FixtureCase{"ReleaseDescription",
                    "install.ini",
                    {{"Install", {{"VSN", "5.10.4"}, {"SYSTEM_VSN", "R14B"}}}}},
        FixtureCase{"Escapes",
                    "escapes.ini",
                    {{"Paths",
                      {{"root", "C:\\Program Files\\vantra"},
                       {"doubled", "a\\\\b"},
                       {"semicolon", "a;b"},
                       {"escaped_equals", "x=y"},
                       {"vanishing", "quote"},
                       {"trailing", "end\\"},
                       {"a", "b=c"}}}}},
        FixtureCase{"Continuation",
                    "continuation.ini",
                    {{"Install",
                      {{"VSN", "5.10.4"},
                       {"joined", "first   second"},
                       {"splitkey", "v"},
                       {"three", "123"},
                       {"empty_joined", ""},
                       {"last", "x"}}}}},
        FixtureCase{"Comments",
                    "comments.ini",
                    {{"Install",
                      {{"VSN", "5"}, {"SYSTEM_VSN", "R14B"}, {"empty", ""}, {"kept", "a ; b"}}}}},
        FixtureCase{"CrLf",
                    "crlf.ini",
                    {{"Install", {{"VSN", "5"}, {"SYSTEM_VSN", "R14B"}, {"cont", "ab"}}},
                     {"Other", {{"x", "1"}}}}},
        FixtureCase{"NoFinalNewline",
                    "no_final_newline.ini",
                    {{"Install", {{"VSN", "5"}, {"SYSTEM_VSN", "R14B"}}}}},
        FixtureCase{"Duplicates",
                    "duplicates.ini",
                    {{"A", {{"k", "1"}, {"k", "2"}}}, {"B", {{"k", "3"}}}, {"A", {{"k", "4"}}}}},
        FixtureCase{"Empty", "empty.ini", {}}, FixtureCase{"CommentOnly", "comment_only.ini", {}},
        FixtureCase{"ByteOrderMark", "bom.ini", {{"Install", {{"VSN", "5"}}}}}),
    case_name<FixtureCase>);

class FixtureRejectTest : public testing::TestWithParam<std::string> {};

TEST_P(FixtureRejectTest, DoesNotLoad) {
    EXPECT_EQ(load(fixture_path(GetParam())), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, FixtureRejectTest,
                         testing::Values("bad_first_line.ini", "empty_brackets.ini",
                                         "missing_equals.ini", "leading_equals.ini"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return camel_case(info.param.substr(0, info.param.find('.')));
                         });

TEST(DuplicateLookupTest, FirstSectionAndFirstKeyWin) {
    DocumentPtr document = load(fixture_path("duplicates.ini"));
    ASSERT_NE(document, nullptr);
    IniSection* a = ini_find_section(document.get(), "A");
    ASSERT_EQ(a, document->sections[0]);
    EXPECT_STREQ(ini_get(a, "k"), "1");
    EXPECT_STREQ(ini_section_name_at(document.get(), 2), "A");
}

// ---------------------------------------------------------------------------
// Byte sequences and what they load as.

struct TextCase {
    std::string name;
    std::string input;
    DocumentText expected;
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.name;
}

class TextLoadTest : public GeneratedFileTest, public testing::WithParamInterface<TextCase> {};

TEST_P(TextLoadTest, LoadsAsExpected) {
    const TextCase& c = GetParam();
    DocumentPtr document = load_bytes(c.input);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document_text(*document), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blanks, TextLoadTest,
    testing::Values(
        TextCase{"LeadingAndTrailingSpaces", "   [s]   \n   k   =   v   \n", {{"s", {{"k", "v"}}}}},
        TextCase{"InnerSpacesStay", "[s]\na b  =  c  d\n", {{"s", {{"a b", "c  d"}}}}},
        TextCase{"SpacesInsideBracketsBelongToTheName", "[ a ]\n", {{" a ", {}}}},
        TextCase{
            "TabIsNotBlank", "[s]\nVSN\t=1\nk=\tv\t\n", {{"s", {{"VSN\t", "1"}, {"k", "\tv\t"}}}}},
        TextCase{"EscapedLeadingSpaceIsDropped", "[s]\n\\ k=v\n", {{"s", {{"k", "v"}}}}},
        TextCase{"EscapedTrailingSpaceIsDropped", "[s]\nk=v\\ \\ \n", {{"s", {{"k", "v"}}}}},
        TextCase{"EscapedInnerSpaceStays", "[s]\nk=a\\ b\n", {{"s", {{"k", "a b"}}}}},
        TextCase{"EmptyValue", "[s]\nk=\nl = \n", {{"s", {{"k", ""}, {"l", ""}}}}},
        TextCase{"BlankAndCommentLinesBetween",
                 "\n\n; c\n[s]\n\n  \n; x\nk=v\n\n",
                 {{"s", {{"k", "v"}}}}},
        TextCase{"TrailingSpacesBeforeEndOfFile", "[s]\nk=v   ", {{"s", {{"k", "v"}}}}},
        TextCase{"HeaderWithSpacesBeforeEndOfFile", "[s]  ", {{"s", {}}}},
        TextCase{"OnlySpaces", "   \n \n  ", {}}),
    case_name<TextCase>);

INSTANTIATE_TEST_SUITE_P(
    Escapes, TextLoadTest,
    testing::Values(
        TextCase{"DoubledBackslash", "[s]\nk=\\\\\n", {{"s", {{"k", "\\"}}}}},
        TextCase{"EscapedSemicolon", "[s]\nk=a\\;b;c\n", {{"s", {{"k", "a;b"}}}}},
        TextCase{"EscapeDoesNotProtectEquals", "[s]\na\\=b=c\n", {{"s", {{"a", "b=c"}}}}},
        TextCase{"EscapeBeforeOrdinaryByteVanishes", "[s]\nk=\\a\\[\\]\n", {{"s", {{"k", "a[]"}}}}},
        TextCase{"EscapedBracketsInAHeader", "\\[s\\]\n", {{"s", {}}}},
        TextCase{"CarriageReturnBetweenEscapeAndByte", "[s]\nk=a\\\r;b\n", {{"s", {{"k", "a;b"}}}}},
        TextCase{"PendingEscapeAtEndOfFile", "[s]\nk=v\\", {{"s", {{"k", "v"}}}}},
        TextCase{"LoneBackslashLine", "[s]\n\\\nk=v\n", {{"s", {{"k", "v"}}}}},
        TextCase{"HighBytesAreOrdinary",
                 "[\xC3\xA9]\n\xFF=\x80\x81\n",
                 {{"\xC3\xA9", {{"\xFF", "\x80\x81"}}}}}),
    case_name<TextCase>);

INSTANTIATE_TEST_SUITE_P(
    Continuation, TextLoadTest,
    testing::Values(TextCase{"JoinsTheNextLine", "[s]\nk=ab\\\ncd\n", {{"s", {{"k", "abcd"}}}}},
                    TextCase{"KeepsLeadingSpacesOfTheJoinedLine",
                             "[s]\nk=ab\\\n  cd\n",
                             {{"s", {{"k", "ab  cd"}}}}},
                    TextCase{"CarriageReturnsBeforeTheLineFeed",
                             "[s]\nk=ab\\\r\r\ncd\r\n",
                             {{"s", {{"k", "abcd"}}}}},
                    TextCase{"JoinsAHeader", "[s\\\n]\n", {{"s", {}}}},
                    TextCase{"JoinedEmptyLineEndsTheLine",
                             "[s]\nk=ab\\\n\nl=1\n",
                             {{"s", {{"k", "ab"}, {"l", "1"}}}}},
                    TextCase{"NotAfterAnEscapedBackslash",
                             "[s]\nk=ab\\\\\nl=1\n",
                             {{"s", {{"k", "ab\\"}, {"l", "1"}}}}},
                    TextCase{"NotFromInsideAComment",
                             "[s]\nk=v ; note \\\nl=1\n",
                             {{"s", {{"k", "v"}, {"l", "1"}}}}},
                    TextCase{"ContinuationBeforeAComment",
                             "[s]\nk=a\\\n;c\nl=1\n",
                             {{"s", {{"k", "a"}, {"l", "1"}}}}}),
    case_name<TextCase>);

INSTANTIATE_TEST_SUITE_P(
    Structure, TextLoadTest,
    testing::Values(
        TextCase{
            "CommentAfterValue", "[Install]\nVSN = 5 ; comment\n", {{"Install", {{"VSN", "5"}}}}},
        TextCase{"CommentAfterHeader", "[s] ; c\nk=v\n", {{"s", {{"k", "v"}}}}},
        TextCase{"FurtherEqualsBelongToTheValue", "[s]\nk==v=w\n", {{"s", {{"k", "=v=w"}}}}},
        TextCase{"EqualsInFirstLineIsAHeader", "[a=b]\n", {{"a=b", {}}}},
        TextCase{"EqualsAfterHeaderIsAnEntry", "[s]\n[a=b]\n", {{"s", {{"[a", "b]"}}}}},
        TextCase{
            "EqualsAfterEntryIsAnEntry", "[s]\nk=v\n[a=b]\n", {{"s", {{"k", "v"}, {"[a", "b]"}}}}},
        TextCase{"ShortestHeader", "[x]\n", {{"x", {}}}},
        TextCase{"BracketsInsideTheName", "[[x]]\n[a]b]\n", {{"[x]", {}}, {"a]b", {}}}},
        TextCase{"SectionsWithoutEntries",
                 "[a]\n[b]\nk=v\n[c]\n",
                 {{"a", {}}, {"b", {{"k", "v"}}}, {"c", {}}}},
        TextCase{"CarriageReturnsAnywhere", "[s\r]\r\nk\r=\rv\r\r\n", {{"s", {{"k", "v"}}}}},
        TextCase{"NulEndsTheValue", "[s]\nk=a\0b\nl=c\n"s, {{"s", {{"k", "a"}, {"l", "c"}}}}},
        TextCase{"NulEndsTheName", "[s]\0tail\n"s, {{"s", {}}}},
        // Skipped before the first line only: anywhere else its bytes are bytes.
        TextCase{"ByteOrderMark",
                 "\xEF\xBB\xBF[s]\n\xEF\xBB\xBFk=v\n",
                 {{"s", {{"\xEF\xBB\xBFk", "v"}}}}}),
    case_name<TextCase>);

class TextRejectTest : public GeneratedFileTest, public testing::WithParamInterface<TextCase> {};

TEST_P(TextRejectTest, DoesNotLoad) {
    EXPECT_EQ(load_bytes(GetParam().input), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Structure, TextRejectTest,
    testing::Values(
        TextCase{"FirstLineIsAnEntry", "k=v\n[s]\n", {}},
        TextCase{"FirstLineIsText", "hello\n", {}}, TextCase{"BracketsAloneFirst", "[]\n", {}},
        TextCase{"BracketsAloneLater", "[s]\n[]\n", {}}, TextCase{"OpenBracketOnly", "[s\n", {}},
        TextCase{"CloseBracketOnly", "s]\n", {}}, TextCase{"TextAfterTheHeader", "[s]x\n", {}},
        TextCase{"TabBeforeTheHeader", "\t[s]\n", {}},
        TextCase{"KeyWithoutEquals", "[s]\nkey\n", {}},
        TextCase{"LineStartsWithEquals", "[s]\n=v\n", {}},
        TextCase{"SpacesThenEquals", "[s]\n   = v\n", {}},
        TextCase{"EscapedSpaceThenEquals", "[s]\n\\ =v\n", {}},
        TextCase{"LaterLineNeitherHeaderNorEntry", "[s]\nk=v\n[a]b\n", {}},
        TextCase{"SemicolonInTheName", "[a;b]\n", {}},
        TextCase{"CarriageReturnOnlyLineEnds", "[s]\rk=v\r", {}},
        TextCase{"LineStartsWithNul", "[s]\n\0k=v\n"s, {}},
        TextCase{"NulBeforeTheEquals", "[s]\nk\0=v\n"s, {}},
        TextCase{"NulFirstInTheFile", "\0[s]\n"s, {}},
        TextCase{"InvalidLineAfterManyValidOnes",
                 "[s]\n" + std::string(30, 'k') + "=v\n" + "a=1\nb=2\nc=3\nd=4\ne=5\n" +
                     "f=6\ng=7\nh=8\ni=9\nj=10\nk=11\nbroken\n",
                 {}}),
    case_name<TextCase>);

// ---------------------------------------------------------------------------
// Opening.

class OpenTest : public GeneratedFileTest {};

TEST_F(OpenTest, MissingFile) {
    EXPECT_EQ(load(scratch_.file("missing.ini")), nullptr);
    EXPECT_EQ(load(scratch_.file("missing/inside.ini")), nullptr);
}

TEST_F(OpenTest, Directory) {
    EXPECT_EQ(load(scratch_.path()), nullptr);
    std::filesystem::create_directory(scratch_.file("dir.ini"));
    EXPECT_EQ(load(scratch_.file("dir.ini")), nullptr);
}

// Windows refuses to delete a file that is still open, which is how a handle
// left behind shows there.
TEST_F(OpenTest, FileIsClosedAfterALoad) {
    const std::string good = scratch_.file("good.ini");
    const std::string bad = scratch_.file("bad.ini");
    ASSERT_TRUE(write_file(good, "[s]\nk=v\n"));
    ASSERT_TRUE(write_file(bad, "k=v\n"));
    EXPECT_NE(load(good), nullptr);
    EXPECT_EQ(load(bad), nullptr);
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(good, error)) << error.message();
    EXPECT_TRUE(std::filesystem::remove(bad, error)) << error.message();
}

TEST_F(OpenTest, FileOpenElsewhereForReading) {
    const std::string path = scratch_.file("shared.ini");
    ASSERT_TRUE(write_file(path, "[s]\nk=v\n"));
    PlatformFile* other = platform_open_read(path.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_NE(load(path), nullptr);
    platform_close(other);
}

// ---------------------------------------------------------------------------
// The file is read in 1024-byte chunks; nothing in the line state may be lost
// where one chunk ends and the next begins. Each case puts its bytes at a
// given file offset inside the value of "k" and is tried with its first byte
// on either side of the chunk boundaries.

struct BoundaryCase {
    std::string name;
    std::string bytes;               // placed at the offset, inside the value of "k"
    std::string value_tail;          // what those bytes add to the value of "k"
    std::vector<EntryText> entries;  // entries they open after "k"
};

void PrintTo(const BoundaryCase& c, std::ostream* out) {
    *out << c.name;
}

class ChunkBoundaryTest : public GeneratedFileTest,
                          public testing::WithParamInterface<BoundaryCase> {};

TEST_P(ChunkBoundaryTest, StateCarriesAcrossTheBoundary) {
    const BoundaryCase& c = GetParam();
    const std::string head = "[s]\nk=";
    for (size_t offset : {1020, 1021, 1022, 1023, 1024, 1025, 2046, 2047, 2048, 3071, 3072}) {
        SCOPED_TRACE("bytes at offset " + std::to_string(offset));
        const std::string filler(offset - head.size(), 'x');
        DocumentPtr document = load_bytes(head + filler + c.bytes + "\nz=end\n");
        ASSERT_NE(document, nullptr);
        std::vector<EntryText> entries{{"k", filler + c.value_tail}};
        entries.insert(entries.end(), c.entries.begin(), c.entries.end());
        entries.emplace_back("z", "end");
        EXPECT_EQ(document_text(*document), (DocumentText{{"s", entries}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ChunkBoundaryTest,
    testing::Values(BoundaryCase{"EscapedSemicolon", "\\;y", ";y", {}},
                    BoundaryCase{"EscapedBackslash", "\\\\y", "\\y", {}},
                    BoundaryCase{"EscapedBackslashBeforeLineFeed", "\\\\\nl=1", "\\", {{"l", "1"}}},
                    BoundaryCase{"EscapedSpaceAtTheEnd", "\\ \\ ", "", {}},
                    BoundaryCase{"Continuation", "\\\nmore", "more", {}},
                    BoundaryCase{"ContinuationWithCarriageReturn", "\\\r\nmore", "more", {}},
                    BoundaryCase{"CarriageReturnLineFeed", "\r\nl=1", "", {{"l", "1"}}},
                    BoundaryCase{"LineFeed", "\nl=1", "", {{"l", "1"}}},
                    BoundaryCase{"CommentStart", ";comment", "", {}},
                    BoundaryCase{"CommentEndingInABackslash", ";c\\\nl=1", "", {{"l", "1"}}},
                    BoundaryCase{"TrailingSpaces", "    ", "", {}},
                    BoundaryCase{"InnerSpaces", "  y", "  y", {}},
                    BoundaryCase{"BlankLines", "\n\n  \n;\nl=1", "", {{"l", "1"}}}),
    case_name<BoundaryCase>);

TEST_F(GeneratedFileTest, HeaderAcrossTheBoundary) {
    for (size_t length : {1020, 1021, 1022, 1023, 1024}) {
        SCOPED_TRACE("name of " + std::to_string(length) + " bytes");
        const std::string name(length, 'n');
        DocumentPtr document = load_bytes("[" + name + "]\nk=v\n[t]\n");
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document_text(*document), (DocumentText{{name, {{"k", "v"}}}, {"t", {}}}));
    }
}

// Files that end exactly at or around a chunk end: the read after the last
// full chunk yields nothing.
TEST_F(GeneratedFileTest, FileEndsAtTheChunkEnd) {
    for (size_t size : {1023, 1024, 1025, 2048}) {
        for (bool final_newline : {false, true}) {
            SCOPED_TRACE(std::to_string(size) + (final_newline ? " bytes with" : " bytes without") +
                         " a final line feed");
            const std::string head = "[s]\nk=";
            const std::string value(size - head.size() - (final_newline ? 1 : 0), 'v');
            const std::string bytes = head + value + (final_newline ? "\n" : "");
            ASSERT_EQ(bytes.size(), size);
            DocumentPtr document = load_bytes(bytes);
            ASSERT_NE(document, nullptr);
            EXPECT_EQ(document_text(*document), (DocumentText{{"s", {{"k", value}}}}));
        }
    }
}

// ---------------------------------------------------------------------------
// Sizes far beyond one chunk and beyond the first growth steps.

class LongInputTest : public GeneratedFileTest {};

// Compares without printing megabytes when it fails.
void expect_same_text(const std::string& actual, const std::string& expected) {
    EXPECT_EQ(actual.size(), expected.size());
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(mismatch.first == actual.end() && mismatch.second == expected.end())
        << "first difference at byte " << (mismatch.first - actual.begin());
}

TEST_F(LongInputTest, LongValues) {
    for (size_t size : {100 * 1024, 1024 * 1024}) {
        SCOPED_TRACE(std::to_string(size) + " byte value");
        std::string value;
        for (size_t i = 0; value.size() < size; ++i) {
            value += static_cast<char>('a' + i % 26);
            if (i % 97 == 0) {
                value += ' ';
            }
        }
        DocumentPtr document = load_bytes("[s]\nbefore=1\nk=" + value + "\nafter=2\n");
        ASSERT_NE(document, nullptr);
        IniSection* section = ini_find_section(document.get(), "s");
        ASSERT_NE(section, nullptr);
        ASSERT_EQ(section->count, 3);
        expect_same_text(ini_get(section, "k"), value);
        EXPECT_STREQ(ini_get(section, "after"), "2");
    }
}

TEST_F(LongInputTest, LongEscapedValue) {
    std::string written;
    std::string expected;
    while (expected.size() < 300 * 1024) {
        written += "ab\\\\c\\;";
        expected += "ab\\c;";
    }
    DocumentPtr document = load_bytes("[s]\nk=" + written + "\n");
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->count, 1);
    expect_same_text(ini_get(document->sections[0], "k"), expected);
}

// Long lines are collected in pieces of 64 KiB; what a piece boundary may
// split must come out whole: trailing spaces spanning pieces, an escape or a
// continuation at the boundary, a value that fills pieces exactly.
TEST_F(LongInputTest, PieceBoundaries) {
    const size_t piece = 64 * 1024;
    const size_t prefix = 2;  // "k=" precedes the value on its line
    struct Case {
        const char* what;
        std::string written;
        std::string expected;
    };
    const std::string fill(piece - prefix - 1, 'x');
    const Case cases[] = {
        {"value ends at the piece's end", std::string(piece - prefix, 'x'),
         std::string(piece - prefix, 'x')},
        {"value fills two pieces", std::string(2 * piece - prefix, 'y'),
         std::string(2 * piece - prefix, 'y')},
        {"trailing spaces span three pieces", "v" + std::string(2 * piece + 10, ' '), "v"},
        {"trailing spaces start a piece", fill + "z" + std::string(piece, ' '), fill + "z"},
        {"escape at the boundary", fill + "\\;" + "w", fill + ";w"},
        {"escape after a full piece", fill + "z\\;w", fill + "z;w"},
        {"escaped space at the boundary", fill + "\\ " + "w", fill + " w"},
        {"continuation at the boundary", fill + "\\\n" + "  w", fill + "  w"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocumentPtr document = load_bytes("[s]\nk=" + c.written + "\nafter=2\n");
        ASSERT_NE(document, nullptr);
        IniSection* section = ini_find_section(document.get(), "s");
        ASSERT_NE(section, nullptr);
        ASSERT_EQ(section->count, 2);
        expect_same_text(ini_get(section, "k"), c.expected);
        EXPECT_STREQ(ini_get(section, "after"), "2");
    }
}

TEST_F(LongInputTest, LongKeyAndName) {
    const std::string name(5000, 'n');
    const std::string key(100 * 1024, 'k');
    DocumentPtr document = load_bytes("[" + name + "]\n" + key + " = v\n");
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->count, 1);
    expect_same_text(document->sections[0]->name, name);
    ASSERT_EQ(document->sections[0]->count, 1);
    expect_same_text(document->sections[0]->entries[0]->key, key);
    EXPECT_STREQ(document->sections[0]->entries[0]->value, "v");
}

TEST_F(LongInputTest, LongCommentIsSkipped) {
    DocumentPtr document = load_bytes("[s]\nk=v ;" + std::string(1024 * 1024, 'c') + "\\\nl=1\n");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document_text(*document), (DocumentText{{"s", {{"k", "v"}, {"l", "1"}}}}));
}

TEST_F(LongInputTest, ManySectionsAndEntriesKeepFileOrder) {
    std::string bytes;
    DocumentText expected;
    for (int s = 0; s < 35; ++s) {
        const std::string name = "section" + std::to_string(s);
        bytes += "[" + name + "]\n";
        std::vector<EntryText> entries;
        for (int e = 0; e < s; ++e) {
            entries.emplace_back("key" + std::to_string(e), std::to_string(s * 100 + e));
            bytes += entries.back().first + " = " + entries.back().second + "\n";
        }
        expected.emplace_back(name, entries);
    }
    DocumentPtr document = load_bytes(bytes);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document_text(*document), expected);
    // Loaded documents follow the same growth rule as built ones.
    EXPECT_EQ(document->capacity, 40);
    EXPECT_EQ(document->sections[10]->capacity, 10);
    EXPECT_EQ(document->sections[11]->capacity, 20);
    EXPECT_EQ(document->sections[34]->capacity, 40);
}

// ---------------------------------------------------------------------------
// A loaded document is an ordinary document: it can be changed and released
// like a built one, even though its strings come from the reader's lines.

TEST_F(GeneratedFileTest, LoadedDocumentCanBeChanged) {
    DocumentPtr document = load_bytes("[a]\nk  =  v\nl=1\n[b]\nm=2\n");
    ASSERT_NE(document, nullptr);
    IniSection* a = ini_find_section(document.get(), "a");
    ASSERT_NE(a, nullptr);
    IniEntry* k = a->entries[0];
    EXPECT_EQ(ini_set(a, k->key, k->value), 0);
    EXPECT_EQ(ini_set(a, "k", "new"), 0);
    EXPECT_EQ(ini_remove_key(a, "l"), 0);
    EXPECT_EQ(ini_set(a, "n", "3"), 1);
    EXPECT_EQ(ini_remove_section(document.get(), "b"), 0);
    EXPECT_EQ(document_text(*document), (DocumentText{{"a", {{"k", "new"}, {"n", "3"}}}}));
}

// ---------------------------------------------------------------------------
// Loading from memory, and the report of why and where a load failed.

DocumentPtr load_text(const std::string& bytes, IniLoadReport* report = nullptr) {
    return DocumentPtr(ini_load_text(bytes.data(), bytes.size(), report));
}

void expect_report(const IniLoadReport& report, IniLoadError error, int32_t line) {
    EXPECT_EQ(report.error, error);
    EXPECT_EQ(report.line, line);
}

// Every fixture, whether it loads or not, gives the same outcome from memory
// as from its file.
TEST(MemoryLoadTest, FixturesLoadAsFromTheirFiles) {
    int checked = 0;
    for (const auto& item : std::filesystem::directory_iterator(FIXTURE_DIR)) {
        if (item.path().extension() != ".ini") {
            continue;
        }
        const std::string path = item.path().string();
        SCOPED_TRACE(path);
        IniLoadReport file_report;
        IniLoadReport text_report;
        DocumentPtr from_file(ini_load_file(path.c_str(), &file_report));
        DocumentPtr from_text = load_text(test_files::read_file(path), &text_report);
        ASSERT_EQ(from_file == nullptr, from_text == nullptr);
        expect_report(text_report, file_report.error, file_report.line);
        if (from_file != nullptr) {
            EXPECT_EQ(document_text(*from_text), document_text(*from_file));
        }
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

TEST(MemoryLoadTest, RangeIsReadExactly) {
    // A NUL inside the range is a byte; the range needs no final line feed.
    EXPECT_EQ(document_text(*load_text("[s]\nk=a\0b\nl=c"s)),
              (DocumentText{{"s", {{"k", "a"}, {"l", "c"}}}}));
    // Nothing past the range is read.
    const char bytes[] = "[s]\nk=v\nbroken\n";
    IniLoadReport report;
    DocumentPtr document(ini_load_text(bytes, 8, &report));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document_text(*document), (DocumentText{{"s", {{"k", "v"}}}}));
    // An empty range, with or without a pointer, is an empty document.
    for (const char* text : {static_cast<const char*>(nullptr), bytes}) {
        report = {INI_LOAD_BAD_LINE, 7};
        document.reset(ini_load_text(text, 0, &report));
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->count, 0);
        expect_report(report, INI_LOAD_OK, 0);
    }
}

struct ReportCase {
    std::string name;
    std::string input;
    IniLoadError error;
    int32_t line;
};

void PrintTo(const ReportCase& c, std::ostream* out) {
    *out << c.name;
}

class LoadReportTest : public GeneratedFileTest, public testing::WithParamInterface<ReportCase> {};

// From a file and from memory alike; a report is filled on success too.
TEST_P(LoadReportTest, TellsTheKindAndTheLine) {
    const ReportCase& c = GetParam();
    const std::string path = scratch_.file("input.ini");
    ASSERT_TRUE(write_file(path, c.input));
    IniLoadReport file_report = {INI_LOAD_CANNOT_OPEN, -1};
    IniLoadReport text_report = file_report;
    DocumentPtr from_file(ini_load_file(path.c_str(), &file_report));
    DocumentPtr from_text = load_text(c.input, &text_report);
    EXPECT_EQ(from_file != nullptr, c.error == INI_LOAD_OK);
    EXPECT_EQ(from_text != nullptr, c.error == INI_LOAD_OK);
    expect_report(file_report, c.error, c.line);
    expect_report(text_report, c.error, c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoadReportTest,
    testing::Values(ReportCase{"Loaded", "[s]\nk=v\n", INI_LOAD_OK, 0},
                    ReportCase{"FirstLineIsAnEntry", "k=v\n[s]\n", INI_LOAD_NO_FIRST_SECTION, 1},
                    ReportCase{"FirstLineAfterBlanksAndComments", "\n; c\n  \n  hello\n",
                               INI_LOAD_NO_FIRST_SECTION, 4},
                    ReportCase{"AfterContinuationsAndComments", "; note\n  [a]\nk=\\\nv\nbad\n",
                               INI_LOAD_BAD_LINE, 5},
                    // Counted from the first byte collected: neither from the comment
                    // nor from the lone backslash that continues an empty line.
                    ReportCase{"ContinuedBadLine", "[a]\n;c\\\n\\\n  bad\\\nline\n",
                               INI_LOAD_BAD_LINE, 4},
                    ReportCase{"AtTheEndWithoutLineFeed", "[a]\nk=v\nbad", INI_LOAD_BAD_LINE, 3},
                    ReportCase{"CrLf", "[a]\r\nk=v\r\n\r\nbad\r\n", INI_LOAD_BAD_LINE, 4},
                    ReportCase{"LaterHeaderTooShort", "[a]\n[]\n", INI_LOAD_BAD_LINE, 2},
                    ReportCase{"LineStartsWithNul", "[a]\n\n\0k=v\n"s, INI_LOAD_BAD_LINE, 3}),
    case_name<ReportCase>);

TEST_F(OpenTest, MissingFileIsReported) {
    IniLoadReport report = {INI_LOAD_OK, 9};
    EXPECT_EQ(ini_load_file(scratch_.file("missing.ini").c_str(), &report), nullptr);
    expect_report(report, INI_LOAD_CANNOT_OPEN, 0);
    EXPECT_EQ(ini_load_file(scratch_.path().c_str(), nullptr), nullptr);
}

// An unknown value, which only a C caller can pass, is tried from C and Python.
TEST(LoadErrorTextTest, EveryKindHasItsOwnText) {
    const IniLoadError kinds[] = {INI_LOAD_OK, INI_LOAD_CANNOT_OPEN, INI_LOAD_NO_FIRST_SECTION,
                                  INI_LOAD_BAD_LINE};
    std::vector<std::string> texts;
    for (IniLoadError kind : kinds) {
        const char* text = ini_load_error_text(kind);
        ASSERT_NE(text, nullptr);
        EXPECT_NE(text[0], '\0');
        texts.push_back(text);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
}

}  // namespace
