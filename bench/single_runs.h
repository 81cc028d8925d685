// The modes of bench that measure one thing per process (a first load, the
// price of a page fault, memory under churn), and the measures of the
// process that the benchmarks share with them.
#ifndef BENCH_SINGLE_RUNS_H_
#define BENCH_SINGLE_RUNS_H_

#include <cstddef>
#include <string>

#include "inifile/ini.h"
#include "peers.h"

// The size of the file at `path`, or 0 when it cannot be read.
size_t file_size(const std::string& path);

// Entries in all sections of `document`.
long count_entries(const IniDocument* document);

// Page faults the process has taken so far that needed no disk: on a loaded
// file these are fresh heap pages, which the kernel zeroes on first touch.
long minor_faults();

// One load and release of `path` by the module, or by `peer`, or with
// `inih` by inih's parse, timed with its page faults. 0, or 1 when refused.
int load_once(const char* path, const Peer* peer, bool inih);

// Prints what touching fresh memory costs on this machine per 4 KiB, in
// small pages and in huge pages, touched or populated: 0, or 1.
int fault_cost();

// Prints the resident set after loading `path` and its peak under
// `operations` random edits: 0, or 1 when the file does not load.
int churn(const char* path, long operations);

#endif  // BENCH_SINGLE_RUNS_H_
