// The benchmarks of one run, shared by the code that runs them and the code
// that sums them up.
#ifndef BENCH_CASES_H_
#define BENCH_CASES_H_

#include <cstddef>
#include <deque>
#include <string>

#include "corpus.h"
#include "peers.h"

// What a benchmark does with its file.
enum class Measure {
    kLoad,         // ini_load, then ini_free_document, timed together and apart
    kSave,         // ini_save of the document loaded from the file, to a new file
    kSaveReplace,  // the same over the file it wrote before
    kInih,         // inih's ini_parse with a handler that only counts
    kFloor,        // 1024-byte reads, each byte added to a sum
    kPeer,         // a peer's load of its whole document, then its release
};

const char* measure_name(Measure measure);

// One registered benchmark. Its first run fills in the rest, after checking
// that the file loads.
struct Case {
    std::string name;  // MEASURE/FILE, the benchmark's name
    Measure measure;
    const Peer* peer = nullptr;  // kPeer only
    CorpusFile file;
    std::string path;     // the file read (for ini_save, the document's source)
    std::string output;   // ini_save only: where the document is written
    size_t bytes = 0;     // bytes per operation: read, or for ini_save written
    long entries = -1;    // entries the reader (or inih, or the peer) found in the file
    long sections = -1;   // sections the reader found
    int inih_status = 0;  // ini_parse's result
    std::string failure;
};

// Every case of the run; a deque, so that the pointers handed to the
// benchmarks stay valid while cases are added.
extern std::deque<Case> g_cases;

// The case measuring `measure` on the file named `file`, or null.
const Case* find_case(Measure measure, const std::string& file);

// The case measuring `peer` on the file named `file`, or null.
const Case* find_peer_case(const Peer* peer, const std::string& file);

// Counters of the load and peer benchmarks, per operation.
extern const char kReleaseCounter[];      // seconds spent releasing the document
extern const char kAllocationsCounter[];  // the module's malloc and realloc calls
extern const char kFreesCounter[];        // the module's free calls

#endif  // BENCH_CASES_H_
