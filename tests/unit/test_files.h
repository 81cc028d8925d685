// Helpers shared by the unit tests: a scratch directory per test, whole-file
// reads and writes in binary mode, the checked-in fixture files, and owning
// handles and plain-value snapshots of documents so that tests can compare
// whole documents with EXPECT_EQ.
//
// Everything here goes through the standard library only: the same sources
// are built for 32-bit Windows and run under wine.
#ifndef TESTS_UNIT_TEST_FILES_H_
#define TESTS_UNIT_TEST_FILES_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "inifile/ini.h"

namespace test_files {

// "directory/name", keeping whatever separator `directory` already ends with.
std::string join_path(const std::string& directory, const std::string& name);

// Replaces the file at `path` with exactly `bytes`. False when it cannot.
[[nodiscard]] bool write_file(const std::string& path, const std::string& bytes);

// The whole content of the file at `path`. A file that cannot be read records
// a test failure and gives an empty string.
std::string read_file(const std::string& path);

// The checked-in file `name` of tests/unit/fixtures.
std::string fixture_path(const std::string& name);

// A directory that belongs to the current test alone: created empty under
// testing::TempDir() and removed with all its content when it goes out of
// scope. The name carries the test's name, which helps when a run is left
// behind, and a per-process token, so that two runs at once never share one.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const {
        return path_;
    }
    // The path of `name` inside the directory; nothing is created.
    std::string file(const std::string& name) const {
        return join_path(path_, name);
    }

  private:
    std::string path_;
};

struct DocumentDeleter {
    void operator()(IniDocument* document) const {
        ini_free_document(document);
    }
};
struct SectionDeleter {
    void operator()(IniSection* section) const {
        ini_free_section(section);
    }
};
using DocumentPtr = std::unique_ptr<IniDocument, DocumentDeleter>;
using SectionPtr = std::unique_ptr<IniSection, SectionDeleter>;

// A document as plain values, in slot order, duplicates included: what a test
// expects a file to load as, or what a document held before it was saved.
using EntryText = std::pair<std::string, std::string>;
using SectionText = std::pair<std::string, std::vector<EntryText>>;
using DocumentText = std::vector<SectionText>;

std::vector<EntryText> section_text(const IniSection& section);
DocumentText document_text(const IniDocument& document);

}  // namespace test_files

#endif  // TESTS_UNIT_TEST_FILES_H_
