// The files the benchmarks read. They are generated, never checked in: the
// large ones would bloat the repository, and a fixed seed makes every run
// read the same bytes anyway.
#ifndef BENCH_CORPUS_H_
#define BENCH_CORPUS_H_

#include <cstddef>
#include <string>
#include <vector>

// What a generated file is made of; the benchmarks pick their anchors and
// their growth series by kind.
enum class CorpusKind {
    kTypical,       // sections of 5 to 50 entries, comments, escapes, short lines
    kLongLine,      // one entry whose value is a single line of `scale` bytes
    kManyEntries,   // one section of `scale` short entries
    kManySections,  // `scale` sections of one entry each
    kRelease,       // a release description of about 2 KiB
};

struct CorpusFile {
    std::string name;  // file name inside the corpus directory, without ".ini"
    CorpusKind kind;
    size_t scale;   // the size parameter the kind is measured in (bytes, entries, sections)
    bool headline;  // one of the five files of the main table, not only a growth step
};

// The whole corpus: the five headline files and the growth steps (the
// largest growth step of a series is the headline file itself).
std::vector<CorpusFile> corpus_files();

// The steps of the two growth series, smallest first.
std::vector<size_t> corpus_long_line_steps();
std::vector<size_t> corpus_entry_steps();

// The name of the long-line or many-entries file of that scale.
std::string corpus_long_line_name(size_t bytes);
std::string corpus_entries_name(size_t entries);

// The bytes of `file`; the same on every run and every platform.
std::string corpus_contents(const CorpusFile& file);

// DIR/NAME.ini.
std::string corpus_path(const std::string& directory, const CorpusFile& file);

// Writes the corpus into `directory`, which must exist. With `keep_existing`
// a file already there is trusted and left alone, so a corpus written once
// with --generate serves many runs. False, with `error` set, when a file
// cannot be written.
bool corpus_write(const std::string& directory, bool keep_existing, std::string* error);

#endif  // BENCH_CORPUS_H_
