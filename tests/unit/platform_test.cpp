// The platform layer: binary file I/O, existence, copying, directories and
// the executable's own path, as the module and the installer rely on them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;  // "...\0..."s keeps embedded NUL bytes

using test_files::read_file;
using test_files::ScratchDir;
using test_files::write_file;

// Every byte value, with the sequences that text-mode I/O would alter: CR LF,
// a lone LF and CR, NUL and the DOS end-of-file byte.
std::string awkward_bytes() {
    std::string bytes = "\r\n\n\r\0\x1A\r\n"s;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes + "\r\n";
}

class PlatformTest : public testing::Test {
  protected:
    // A file of the scratch directory holding `bytes`.
    std::string make_file(const std::string& name, const std::string& bytes) {
        const std::string path = scratch_.file(name);
        EXPECT_TRUE(write_file(path, bytes));
        return path;
    }

    std::string make_directory(const std::string& name) {
        const std::string path = scratch_.file(name);
        EXPECT_TRUE(fs::create_directory(path));
        return path;
    }

    ScratchDir scratch_;
};

// ---------------------------------------------------------------------------
// Opening and reading

class OpenReadTest : public PlatformTest {};

TEST_F(OpenReadTest, MissingFileIsNull) {
    EXPECT_EQ(platform_open_read(scratch_.file("missing").c_str()), nullptr);
    EXPECT_EQ(platform_open_read(scratch_.file("missing/file").c_str()), nullptr);
}

TEST_F(OpenReadTest, DirectoryIsNull) {
    EXPECT_EQ(platform_open_read(scratch_.path().c_str()), nullptr);
    EXPECT_EQ(platform_open_read(make_directory("dir").c_str()), nullptr);
}

TEST_F(OpenReadTest, ReadsUpToTheSizeThenZeroAtTheEnd) {
    PlatformFile* file = platform_open_read(make_file("f", "abcdefg").c_str());
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(platform_read(file, buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(platform_read(file, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "defg");
    EXPECT_EQ(platform_read(file, buffer, sizeof buffer), 0);
    EXPECT_EQ(platform_read(file, buffer, sizeof buffer), 0);
    EXPECT_TRUE(platform_close(file));
}

TEST_F(OpenReadTest, EmptyFileReadsZero) {
    PlatformFile* file = platform_open_read(make_file("f", "").c_str());
    ASSERT_NE(file, nullptr);
    char buffer[4];
    EXPECT_EQ(platform_read(file, buffer, sizeof buffer), 0);
    platform_close(file);
}

TEST_F(OpenReadTest, TwoReadersAtOnce) {
    const std::string path = make_file("f", "shared");
    PlatformFile* first = platform_open_read(path.c_str());
    PlatformFile* second = platform_open_read(path.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    char buffer[16];
    EXPECT_EQ(platform_read(second, buffer, sizeof buffer), 6);
    EXPECT_EQ(platform_read(first, buffer, sizeof buffer), 6);
    platform_close(first);
    platform_close(second);
}

TEST_F(OpenReadTest, CloseOfNullIsIgnored) {
    platform_close(nullptr);
}

// ---------------------------------------------------------------------------
// Creating and writing

class CreateTest : public PlatformTest {};

TEST_F(CreateTest, CreatesAnEmptyFile) {
    const std::string path = scratch_.file("new");
    PlatformFile* file = platform_create(path.c_str());
    ASSERT_NE(file, nullptr);
    platform_close(file);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(read_file(path), "");
}

TEST_F(CreateTest, TruncatesAnExistingFile) {
    const std::string path = make_file("f", std::string(3000, 'o'));
    PlatformFile* file = platform_create(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(platform_write(file, "xy", 2));
    EXPECT_TRUE(platform_close(file));
    EXPECT_EQ(read_file(path), "xy");
}

TEST_F(CreateTest, FailsInAMissingDirectoryOrOnADirectory) {
    EXPECT_EQ(platform_create(scratch_.file("missing/file").c_str()), nullptr);
    EXPECT_EQ(platform_create(make_directory("dir").c_str()), nullptr);
    EXPECT_TRUE(fs::is_directory(scratch_.file("dir")));
}

TEST_F(CreateTest, EmptyWriteSucceeds) {
    const std::string path = scratch_.file("f");
    PlatformFile* file = platform_create(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(platform_write(file, "", 0));
    platform_close(file);
    EXPECT_EQ(read_file(path), "");
}

TEST_F(CreateTest, TwoWritersAtOnce) {
    const std::string path = scratch_.file("f");
    PlatformFile* first = platform_create(path.c_str());
    ASSERT_NE(first, nullptr);
    PlatformFile* second = platform_create(path.c_str());
    EXPECT_NE(second, nullptr);
    platform_close(second);
    platform_close(first);
}

// Bytes must pass unchanged in both directions, whoever wrote them.
class BinaryModeTest : public PlatformTest {};

TEST_F(BinaryModeTest, WrittenBytesReadBackUnchanged) {
    const std::string bytes = awkward_bytes();
    const std::string path = scratch_.file("f");
    PlatformFile* out = platform_create(path.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(platform_write(out, bytes.data(), 5));
    EXPECT_TRUE(platform_write(out, bytes.data() + 5, bytes.size() - 5));
    EXPECT_TRUE(platform_close(out));
    EXPECT_EQ(read_file(path), bytes);

    PlatformFile* in = platform_open_read(path.c_str());
    ASSERT_NE(in, nullptr);
    std::string back(bytes.size() + 10, '?');
    long got = 0;
    long n;
    while ((n = platform_read(in, &back[got], back.size() - got)) > 0) {
        got += n;
    }
    platform_close(in);
    EXPECT_EQ(n, 0);
    back.resize(got);
    EXPECT_EQ(back, bytes);
}

// Linux has a device that refuses every byte; other systems skip.
TEST_F(BinaryModeTest, FailedWriteIsReported) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    PlatformFile* file = platform_create("/dev/full");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(platform_write(file, "x", 1));
    platform_close(file);
}

// ---------------------------------------------------------------------------
// Existence

class ExistsTest : public PlatformTest {};

TEST_F(ExistsTest, FileDirectoryAndMissing) {
    EXPECT_TRUE(platform_exists(make_file("f", "x").c_str()));
    EXPECT_TRUE(platform_exists(make_file("empty", "").c_str()));
    EXPECT_TRUE(platform_exists(make_directory("dir").c_str()));
    EXPECT_TRUE(platform_exists(scratch_.path().c_str()));
    EXPECT_FALSE(platform_exists(scratch_.file("missing").c_str()));
    EXPECT_FALSE(platform_exists(scratch_.file("missing/f").c_str()));
}

// ---------------------------------------------------------------------------
// Copying

class CopyFileTest : public PlatformTest {};

TEST_F(CopyFileTest, CreatesTheTarget) {
    const std::string source = make_file("source", awkward_bytes());
    const std::string target = scratch_.file("target");
    EXPECT_TRUE(platform_copy_file(source.c_str(), target.c_str()));
    EXPECT_EQ(read_file(target), awkward_bytes());
    EXPECT_EQ(read_file(source), awkward_bytes());
}

TEST_F(CopyFileTest, ReplacesALongerTarget) {
    const std::string source = make_file("source", "new");
    const std::string target = make_file("target", std::string(5000, 'o'));
    EXPECT_TRUE(platform_copy_file(source.c_str(), target.c_str()));
    EXPECT_EQ(read_file(target), "new");
}

TEST_F(CopyFileTest, EmptyAndLargeFiles) {
    std::string large;
    for (int i = 0; large.size() < 3 * 1024 * 1024 + 17; ++i) {
        large += static_cast<char>(i * 7 + i / 256);
    }
    for (const std::string& bytes : {std::string(), large}) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
        const std::string source = make_file("source", bytes);
        const std::string target = scratch_.file("target");
        EXPECT_TRUE(platform_copy_file(source.c_str(), target.c_str()));
        const std::string copied = read_file(target);
        EXPECT_EQ(copied.size(), bytes.size());
        EXPECT_TRUE(copied == bytes);
    }
}

TEST_F(CopyFileTest, MissingSourceFails) {
    const std::string target = scratch_.file("target");
    EXPECT_FALSE(platform_copy_file(scratch_.file("missing").c_str(), target.c_str()));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(CopyFileTest, MissingSourceLeavesAnExistingTarget) {
    const std::string target = make_file("target", "keep");
    EXPECT_FALSE(platform_copy_file(scratch_.file("missing").c_str(), target.c_str()));
    EXPECT_EQ(read_file(target), "keep");
}

TEST_F(CopyFileTest, DirectorySourceFails) {
    const std::string source = make_directory("dir");
    const std::string target = scratch_.file("target");
    EXPECT_FALSE(platform_copy_file(source.c_str(), target.c_str()));
    EXPECT_FALSE(fs::is_regular_file(target));
}

TEST_F(CopyFileTest, DirectoryTargetFails) {
    const std::string source = make_file("source", "bytes");
    const std::string target = make_directory("dir");
    EXPECT_FALSE(platform_copy_file(source.c_str(), target.c_str()));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(read_file(source), "bytes");
}

TEST_F(CopyFileTest, TargetInAMissingDirectoryFails) {
    const std::string source = make_file("source", "bytes");
    EXPECT_FALSE(platform_copy_file(source.c_str(), scratch_.file("missing/target").c_str()));
}

// Truncating the target first would destroy the source.
TEST_F(CopyFileTest, RefusesToCopyAFileOntoItself) {
    const std::string path = make_file("self", awkward_bytes());
    EXPECT_FALSE(platform_copy_file(path.c_str(), path.c_str()));
    EXPECT_EQ(read_file(path), awkward_bytes());
}

TEST_F(CopyFileTest, RefusesTheSameFileUnderAnotherSpelling) {
    const std::string path = make_file("self", awkward_bytes());
    make_directory("sub");
    const std::string other = scratch_.file("sub/../self");
    EXPECT_FALSE(platform_copy_file(path.c_str(), other.c_str()));
    EXPECT_EQ(read_file(path), awkward_bytes());
    EXPECT_FALSE(platform_copy_file(other.c_str(), path.c_str()));
    EXPECT_EQ(read_file(path), awkward_bytes());
}

// ---------------------------------------------------------------------------
// Replacing a file in place

class ReplaceFileTest : public PlatformTest {
  protected:
    // The names in the scratch directory.
    std::vector<std::string> names() {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(scratch_.path())) {
            found.push_back(entry.path().filename().string());
        }
        return found;
    }
};

TEST_F(ReplaceFileTest, ReplacesTheBytesAndLeavesNothingBeside) {
    const std::string path = make_file("f.ini", "old");
    const std::string bytes = awkward_bytes();
    EXPECT_TRUE(platform_replace_file(path.c_str(), bytes.data(), bytes.size()));
    EXPECT_EQ(read_file(path), bytes);
    EXPECT_EQ(names(), std::vector<std::string>{"f.ini"});
}

// Something in the way of a temporary name (a folder, under either
// platform's name): never a mix. Windows' one name per file is blocked and
// the old bytes stay; POSIX's names are each edit's own.
TEST_F(ReplaceFileTest, AFolderInTheWayLeavesOneTextOrTheOther) {
    const std::string path = make_file("f.ini", "old");
    make_directory(".f.ini.inifile-new");
    make_directory("f.ini.inifile-new");
    bool replaced = platform_replace_file(path.c_str(), "new", 3);
    EXPECT_EQ(read_file(path), replaced ? "new" : "old");
}

// Another program saves the file the usual way (a new file, renamed over
// it) while an edit holds it; a second edit may then edit that new file
// (POSIX locks a file, not a name) or leave it. The first edit writes
// nothing, and the file holds the other program's text or the second
// edit's, never nothing.
TEST_F(ReplaceFileTest, AnotherProgramsSaveDuringAnEditIsKept) {
    const std::string path = make_file("f.ini", "old");
    PlatformEdit* first = nullptr;
    ASSERT_EQ(platform_edit_begin(path.c_str(), 0, 0, &first), PLATFORM_EDIT_OK);
    const std::string saved = make_file("saved.tmp", "saved");
    fs::rename(saved, path);
    PlatformEdit* second = nullptr;
    bool second_edited = platform_edit_begin(path.c_str(), 0, 0, &second) == PLATFORM_EDIT_OK;
    if (second_edited) {
        size_t size = 0;
        const char* text = platform_edit_text(second, &size);
        EXPECT_EQ(std::string(text, size), "saved");
        EXPECT_EQ(platform_edit_commit(second, "second", 6), PLATFORM_COMMIT_DONE);
        platform_edit_end(second);
    }
    EXPECT_EQ(platform_edit_commit(first, "first", 5), PLATFORM_COMMIT_CONFLICT);
    platform_edit_end(first);
    EXPECT_EQ(read_file(path), second_edited ? "second" : "saved");
    EXPECT_EQ(names(), std::vector<std::string>{"f.ini"});
}

TEST_F(ReplaceFileTest, ReadOnlyFileIsRefused) {
    const std::string path = make_file("f.ini", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(platform_replace_file(path.c_str(), "new", 3));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(read_file(path), "old");
}

TEST_F(ReplaceFileTest, SymbolicLinkStays) {
    const std::string target = make_file("target.ini", "old");
    const std::string link = scratch_.file("link.ini");
    std::error_code error;
    fs::create_symlink("target.ini", link, error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    EXPECT_TRUE(platform_replace_file(link.c_str(), "new", 3));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file(target), "new");
}

// ---------------------------------------------------------------------------
// Memory pieces

// Where the system tells a process's size (Linux), a large piece released
// gives back all it took: the alignment's slack before and after included.
TEST(PageTest, LargePiecesReleasedLeaveNothingMapped) {
    auto mapped_pages = [] {
        std::ifstream statm("/proc/self/statm");
        long pages = -1;
        statm >> pages;
        return pages;
    };
    if (mapped_pages() < 0) {
        GTEST_SKIP() << "no /proc/self/statm here";
    }
    const size_t size = 4 * 1024 * 1024;
    long before = mapped_pages();
    for (int i = 0; i < 20; ++i) {
        void* piece = platform_page_allocate(size);
        ASSERT_NE(piece, nullptr);
        platform_page_release(piece, size);
    }
    // 4 KiB pages: growth of a little bytes at most, against 20 MiB or more
    // where each piece left its slack mapped.
    EXPECT_LT(mapped_pages() - before, 1024);
}

// ---------------------------------------------------------------------------
// Directories

class MakeDirectoryTest : public PlatformTest {};

TEST_F(MakeDirectoryTest, CreatesADirectory) {
    const std::string path = scratch_.file("bin");
    platform_make_directory(path.c_str());
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(MakeDirectoryTest, ExistingDirectoryIsKept) {
    const std::string path = make_directory("bin");
    ASSERT_TRUE(write_file(scratch_.file("bin/start.boot"), "boot"));
    platform_make_directory(path.c_str());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(read_file(scratch_.file("bin/start.boot")), "boot");
}

TEST_F(MakeDirectoryTest, ExistingFileIsKept) {
    const std::string path = make_file("bin", "file");
    platform_make_directory(path.c_str());
    EXPECT_EQ(read_file(path), "file");
}

// ---------------------------------------------------------------------------
// The executable's own path

TEST(ExecutablePathTest, NamesThisTestBinary) {
    std::string path;
    ASSERT_TRUE(platform_executable_path(&path));
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(kPathSeparator), std::string::npos) << path;

    const size_t slash = path.find_last_of(kPathSeparator);
    ASSERT_NE(slash, std::string::npos);
    const std::string file_name = path.substr(slash + 1);
    EXPECT_TRUE(file_name == "unit_tests" || file_name == "unit_tests.exe") << path;
    EXPECT_TRUE(platform_exists(path.c_str())) << path;
}

}  // namespace
