// Throughput of ini_load and ini_save on generated files, side by side with
// two anchors read from the same files: inih, a generic small INI parser,
// with a handler that only counts, and a byte floor that reads the file in
// 1024-byte calls as the reader does and touches each byte once. Ratios and
// growth exponents are printed after the run, so one run answers whether
// the reader is fast enough and whether it stays linear.
//
//   bench [--data DIR] [--growth] [benchmark flags]   the benchmarks
//   bench --generate DIR                               writes the files only
//   bench --load-once FILE [PEER | inih]               one load, fresh process, with faults
//   bench --fault-cost                                 what fresh memory costs here, per 4 KiB
//   bench --churn FILE                                 memory under 10^6 random edits
//
// The module and the document-building peers (peers.h) are timed loading and
// releasing the whole document, which is what a program pays for it.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "cases.h"
#include "corpus.h"
#include "inifile/ini.h"
#include "peers.h"
#include "platform.h"
#include "report.h"
#include "single_runs.h"

#ifdef BENCH_HAVE_INIH
#include "inih_anchor.h"
constexpr bool kHaveInih = true;
#else
constexpr bool kHaveInih = false;
#endif

namespace {

// Applied before the caller's own flags, which therefore win. Five
// repetitions, interleaved, because the machine is shared: a burst of
// someone else's work then spoils one sample of one benchmark, and the
// median ignores it.
const char* const kDefaultFlags[] = {
    "--benchmark_repetitions=5",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_min_time=0.3",
};

const char kGrowthFilter[] = "--benchmark_filter=^ini_(load|save)/(long_line|many_entries)_";

}  // namespace

const char* measure_name(Measure measure) {
    switch (measure) {
        case Measure::kLoad:
            return "ini_load";
        case Measure::kSave:
            return "ini_save";
        case Measure::kSaveReplace:
            return "ini_save_replace";
        case Measure::kInih:
            return "inih";
        case Measure::kFloor:
            return "floor";
        case Measure::kPeer:
            return "peer";
    }
    return "?";
}

const char kReleaseCounter[] = "release_s";
const char kAllocationsCounter[] = "allocs";
const char kFreesCounter[] = "frees";

std::deque<Case> g_cases;

const Case* find_case(Measure measure, const std::string& file) {
    for (const Case& item : g_cases) {
        if (item.measure == measure && item.file.name == file) {
            return &item;
        }
    }
    return nullptr;
}

const Case* find_peer_case(const Peer* peer, const std::string& file) {
    for (const Case& item : g_cases) {
        if (item.measure == Measure::kPeer && item.peer == peer && item.file.name == file) {
            return &item;
        }
    }
    return nullptr;
}

namespace {

// Documents for ini_save, loaded once: a load of the 32 MiB file takes longer
// than the save being measured, and the benchmark function is entered many
// times per run.
std::map<std::string, IniDocument*> g_documents;

double thread_cpu_seconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times `work` alone on each iteration, leaving `before` and `after` off the
// clock. PauseTiming would do the same at a higher price: it reads the
// process CPU clock, a system call, twice, which is a few percent of a 2 KiB
// load. The wall clock is read without one, right around the work; the
// thread CPU clock and the page-fault count are read outside those two
// readings.
template <typename Before, typename Work, typename After>
void run_timed(benchmark::State& state, const Case* item, Before before, Work work, After after) {
    using SteadyClock = std::chrono::steady_clock;
    double cpu_seconds = 0;
    double faults = 0;
    for (auto _ : state) {
        before();
        long faults_start = minor_faults();
        double cpu_start = thread_cpu_seconds();
        SteadyClock::time_point start = SteadyClock::now();
        bool done = work();
        SteadyClock::time_point end = SteadyClock::now();
        cpu_seconds += thread_cpu_seconds() - cpu_start;
        faults += static_cast<double>(minor_faults() - faults_start);
        after();
        if (!done) {
            state.SkipWithError("the operation failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(item->bytes));
    state.counters[kOperationCpuCounter] =
        benchmark::Counter(cpu_seconds, benchmark::Counter::kAvgIterations);
    state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
}

// Loads and releases a whole document; the iteration time is both, and the
// release is also reported alone, with the allocator calls the module made.
// `load` returns the document or null; `release` takes what `load` returned.
template <typename Load, typename Release>
void run_document(benchmark::State& state, const Case* item, Load load, Release release) {
    using SteadyClock = std::chrono::steady_clock;
    double cpu_seconds = 0;
    double faults = 0;
    double release_seconds = 0;
    double allocations = 0;
    double frees = 0;
    for (auto _ : state) {
        long faults_start = minor_faults();
        AllocationCount counts_start = allocation_count();
        double cpu_start = thread_cpu_seconds();
        SteadyClock::time_point start = SteadyClock::now();
        void* document = load();
        SteadyClock::time_point loaded = SteadyClock::now();
        AllocationCount counts_loaded = allocation_count();
        if (document != nullptr) {
            release(document);
        }
        SteadyClock::time_point end = SteadyClock::now();
        cpu_seconds += thread_cpu_seconds() - cpu_start;
        AllocationCount counts_end = allocation_count();
        faults += static_cast<double>(minor_faults() - faults_start);
        if (document == nullptr) {
            state.SkipWithError("the load failed");
            break;
        }
        allocations += static_cast<double>(counts_loaded.allocations - counts_start.allocations);
        frees += static_cast<double>(counts_end.frees - counts_loaded.frees);
        release_seconds += std::chrono::duration<double>(end - loaded).count();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(item->bytes));
    using benchmark::Counter;
    state.counters[kOperationCpuCounter] = Counter(cpu_seconds, Counter::kAvgIterations);
    state.counters["faults"] = Counter(faults, Counter::kAvgIterations);
    state.counters[kReleaseCounter] = Counter(release_seconds, Counter::kAvgIterations);
    if (item->measure == Measure::kLoad) {
        state.counters[kAllocationsCounter] = Counter(allocations, Counter::kAvgIterations);
        state.counters[kFreesCounter] = Counter(frees, Counter::kAvgIterations);
    }
}

void run_load(benchmark::State& state, const Case* item) {
    run_document(
        state, item, [&] { return static_cast<void*>(ini_load(item->path.c_str())); },
        [](void* document) { ini_free_document(static_cast<IniDocument*>(document)); });
}

void run_peer(benchmark::State& state, const Case* item) {
    run_document(
        state, item, [&] { return item->peer->load(item->path.c_str()); },
        [&](void* document) { item->peer->release(document); });
}

// The file is removed first, off the clock: replacing a file by truncating
// it makes this file system wait for the writeback of the old contents,
// milliseconds that have nothing to do with the writer and vary with
// whatever else the disk is doing. ini_save_replace measures that case.
void run_save(benchmark::State& state, const Case* item, const IniDocument* document) {
    run_timed(
        state, item, [&] { std::remove(item->output.c_str()); },
        [&] { return ini_save(document, item->output.c_str()) == 0; }, [] {});
}

// The installer's case on a repeated run: the file is there already.
void run_save_replace(benchmark::State& state, const Case* item, const IniDocument* document) {
    run_timed(
        state, item, [] {}, [&] { return ini_save(document, item->output.c_str()) == 0; }, [] {});
}

// The least any reader that goes through the same 1024-byte reads can do.
uint64_t read_floor(const char* path) {
    PlatformFile* file = platform_open_read(path);
    if (file == nullptr) {
        return 0;
    }
    unsigned char buffer[1024];
    uint64_t sum = 0;
    long got;
    while ((got = platform_read(file, buffer, sizeof buffer)) > 0) {
        for (long i = 0; i < got; ++i) {
            sum += buffer[i];
        }
    }
    platform_close(file);
    return sum;
}

void run_floor(benchmark::State& state, Case* item) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_floor(item->path.c_str()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(item->bytes));
}

#ifdef BENCH_HAVE_INIH
void run_inih(benchmark::State& state, Case* item) {
    for (auto _ : state) {
        InihOutcome outcome = inih_count_entries(item->path.c_str());
        benchmark::DoNotOptimize(outcome.entries);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(item->bytes));
}
#endif

// Loads the file once outside the clock: a file that does not load would
// otherwise be timed as a very fast failure.
bool prepare(benchmark::State& state, Case* item) {
    if (!item->failure.empty()) {
        state.SkipWithError(item->failure.c_str());
        return false;
    }
    if (item->entries >= 0) {
        return true;
    }
    item->bytes = file_size(item->path);
    IniDocument* document = ini_load(item->path.c_str());
    if (document == nullptr) {
        item->failure = "ini_load refused " + item->path;
        state.SkipWithError(item->failure.c_str());
        return false;
    }
    item->entries = count_entries(document);
    item->sections = document->count;
    if (item->measure == Measure::kPeer) {
        ini_free_document(document);
        void* peer_document = item->peer->load(item->path.c_str());
        if (peer_document == nullptr) {
            item->failure = std::string(item->peer->name) + " refused " + item->path;
            state.SkipWithError(item->failure.c_str());
            return false;
        }
        item->entries = item->peer->entries(peer_document);
        item->peer->release(peer_document);
        return true;
    }
    if (item->measure == Measure::kSave || item->measure == Measure::kSaveReplace) {
        if (ini_save(document, item->output.c_str()) != 0) {
            item->failure = "ini_save failed on " + item->output;
            ini_free_document(document);
            state.SkipWithError(item->failure.c_str());
            return false;
        }
        item->bytes = file_size(item->output);
        g_documents[item->name] = document;
    } else {
        ini_free_document(document);
    }
#ifdef BENCH_HAVE_INIH
    if (item->measure == Measure::kInih) {
        InihOutcome outcome = inih_count_entries(item->path.c_str());
        item->entries = outcome.entries;
        item->inih_status = outcome.status;
    }
#endif
    return true;
}

void run_case(benchmark::State& state, Case* item) {
    if (!prepare(state, item)) {
        for (auto _ : state) {
        }
        return;
    }
    switch (item->measure) {
        case Measure::kLoad:
            run_load(state, item);
            break;
        case Measure::kSave:
            run_save(state, item, g_documents[item->name]);
            break;
        case Measure::kSaveReplace:
            run_save_replace(state, item, g_documents[item->name]);
            break;
        case Measure::kFloor:
            run_floor(state, item);
            break;
        case Measure::kPeer:
            run_peer(state, item);
            break;
        case Measure::kInih:
#ifdef BENCH_HAVE_INIH
            run_inih(state, item);
#endif
            break;
    }
    state.counters["entries"] = static_cast<double>(item->entries);
}

void register_case(Measure measure, const CorpusFile& file, const std::string& directory,
                   const Peer* peer = nullptr) {
    Case item;
    item.name = std::string(peer != nullptr ? peer->name : measure_name(measure)) + "/" + file.name;
    item.measure = measure;
    item.peer = peer;
    item.file = file;
    item.path = corpus_path(directory, file);
    if (measure == Measure::kSave || measure == Measure::kSaveReplace) {
        item.output = directory + kPathSeparator +
                      (measure == Measure::kSave ? "saved_" : "replaced_") + file.name + ".ini";
    }
    g_cases.push_back(item);
    Case* stored = &g_cases.back();
    benchmark::internal::Benchmark* benchmark =
        benchmark::RegisterBenchmark(stored->name.c_str(), run_case, stored);
    if (measure == Measure::kLoad || measure == Measure::kSave ||
        measure == Measure::kSaveReplace || measure == Measure::kPeer) {
        benchmark->UseManualTime();
    } else {
        benchmark->UseRealTime();
    }
    benchmark->Unit(benchmark::kMillisecond);
}

void register_all(const std::string& directory) {
    for (const CorpusFile& file : corpus_files()) {
        register_case(Measure::kLoad, file, directory);
        register_case(Measure::kSave, file, directory);
        if (file.headline) {
#ifdef BENCH_HAVE_INIH
            register_case(Measure::kInih, file, directory);
#endif
            register_case(Measure::kFloor, file, directory);
            for (const Peer* peer : bench_peers()) {
                if (!peer->small_files_only || file.kind == CorpusKind::kRelease) {
                    register_case(Measure::kPeer, file, directory, peer);
                }
            }
        }
        if (file.kind == CorpusKind::kRelease) {
            // The installer writes a file of this size, over an old one when
            // it runs again.
            register_case(Measure::kSaveReplace, file, directory);
        }
    }
}

// Removes what this run wrote into a scratch directory of its own.
void remove_scratch(const std::string& directory) {
    std::error_code error;
    std::filesystem::remove_all(directory, error);
}

void remove_saved_files() {
    for (const Case& item : g_cases) {
        if (!item.output.empty()) {
            std::remove(item.output.c_str());
        }
    }
}

int generate(const char* directory) {
    platform_make_directory(directory);
    std::string error;
    if (!corpus_write(directory, false, &error)) {
        fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    for (const CorpusFile& file : corpus_files()) {
        std::string path = corpus_path(directory, file);
        printf("%12zu  %s\n", file_size(path), path.c_str());
    }
    return 0;
}

int run_benchmarks(int argc, char** argv, const std::string& data_directory, bool growth_only) {
    std::string directory = data_directory;
    bool scratch = directory.empty();
    if (scratch) {
        const char* temp = getenv("TMPDIR");
        std::string pattern =
            std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/vantra-bench-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) {
            fprintf(stderr, "bench: cannot create a scratch directory like %s\n", pattern.c_str());
            return 1;
        }
        directory = name.data();
    } else {
        platform_make_directory(directory.c_str());
    }
    std::string error;
    fprintf(stderr, "bench: files in %s\n", directory.c_str());
    if (!corpus_write(directory, !scratch, &error)) {
        fprintf(stderr, "bench: %s\n", error.c_str());
        if (scratch) {
            remove_scratch(directory);
        }
        return 1;
    }
    register_all(directory);

    std::vector<char*> arguments = {argv[0]};
    for (const char* flag : kDefaultFlags) {
        arguments.push_back(const_cast<char*>(flag));
    }
    if (growth_only) {
        arguments.push_back(const_cast<char*>(kGrowthFilter));
    }
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        if (scratch) {
            remove_scratch(directory);
        }
        return 1;
    }
    CollectingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (ran > 0) {
        print_summary(reporter);
    }

    for (auto& [name, document] : g_documents) {
        ini_free_document(document);
    }
    if (scratch) {
        remove_scratch(directory);
    } else {
        remove_saved_files();
    }
    return ran > 0 ? 0 : 1;
}

void usage() {
    fprintf(stderr,
            "usage: bench [--data DIR] [--growth] [--benchmark_... flags]\n"
            "       bench --generate DIR\n"
            "       bench --load-once FILE [PEER | inih]\n"
            "       bench --fault-cost\n"
            "       bench --churn FILE\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--churn") == 0) {
        return churn(argv[2], 1000000);
    }
    if (argc == 2 && strcmp(argv[1], "--fault-cost") == 0) {
        return fault_cost();
    }
    if (argc == 3 && strcmp(argv[1], "--generate") == 0) {
        return generate(argv[2]);
    }
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "--load-once") == 0) {
        bool inih = argc == 4 && strcmp(argv[3], "inih") == 0 && kHaveInih;
        const Peer* peer = argc == 4 && !inih ? find_peer(argv[3]) : nullptr;
        if (argc == 4 && peer == nullptr && !inih) {
            fprintf(stderr, "bench: no peer %s in this build\n", argv[3]);
            return 2;
        }
        return load_once(argv[2], peer, inih);
    }
    std::string data_directory;
    bool growth_only = false;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            data_directory = argv[++i];
        } else if (strcmp(argv[i], "--growth") == 0) {
            growth_only = true;
        } else if (strncmp(argv[i], "--benchmark_", 12) == 0) {
            rest.push_back(argv[i]);
        } else {
            usage();
            return 2;
        }
    }
    return run_benchmarks(static_cast<int>(rest.size()), rest.data(), data_directory, growth_only);
}
