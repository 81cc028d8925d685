// One measure per process: see single_runs.h.
#include "single_runs.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#ifdef BENCH_HAVE_INIH
#include "inih_anchor.h"
#endif

namespace {

constexpr double kMega = 1e6;

}  // namespace

size_t file_size(const std::string& path) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<size_t>(size);
}

long count_entries(const IniDocument* document) {
    long entries = 0;
    for (int32_t i = 0; i < document->count; ++i) {
        entries += document->sections[i]->count;
    }
    return entries;
}

long minor_faults() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The process's peak resident set so far, in KiB (Linux counts ru_maxrss so).
static long peak_kib() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The installer's case: the first load in a process, with cold allocator,
// cold code and whatever the page cache holds. With a peer, the peer's load
// instead ("inih": its parse, which builds nothing), so that the processes
// can be compared. The last line, "cold SECONDS FAULTS PEAK", is for
// bench/cold.sh: load plus release, the minor page faults they took, and
// how far the load raised the process's peak resident set (KiB).
int load_once(const char* path, const Peer* peer, bool inih) {
    using SteadyClock = std::chrono::steady_clock;
    long peak_start = peak_kib();
    long faults_start = minor_faults();
    SteadyClock::time_point start = SteadyClock::now();
    void* document = nullptr;
    long entries = 0;
    if (inih) {
#ifdef BENCH_HAVE_INIH
        InihOutcome outcome = inih_count_entries(path);
        entries = outcome.entries;
        document = outcome.status == 0 ? &entries : nullptr;
#endif
    } else {
        document = peer != nullptr ? peer->load(path) : ini_load(path);
    }
    SteadyClock::time_point loaded = SteadyClock::now();
    if (document == nullptr) {
        fprintf(stderr, "bench: %s refused %s\n",
                inih   ? "inih"
                : peer ? peer->name
                       : "ini_load",
                path);
        return 1;
    }
    if (!inih) {
        entries = peer != nullptr ? peer->entries(document)
                                  : count_entries(static_cast<IniDocument*>(document));
    }
    SteadyClock::time_point released_start = SteadyClock::now();
    if (peer != nullptr) {
        peer->release(document);
    } else if (!inih) {
        ini_free_document(static_cast<IniDocument*>(document));
    }
    SteadyClock::time_point released = SteadyClock::now();
    long faults = minor_faults() - faults_start;
    long peak = peak_kib() - peak_start;

    double load_seconds = std::chrono::duration<double>(loaded - start).count();
    double free_seconds = std::chrono::duration<double>(released - released_start).count();
    size_t bytes = file_size(path);
    const char* name = inih ? "inih" : peer != nullptr ? peer->name : "ini_load";
    printf("%s: %zu bytes, %ld entries (%s)\n", path, bytes, entries, name);
    printf("  %-18s %12.3f ms  %9.1f MB/s\n", "load", load_seconds * 1e3,
           static_cast<double>(bytes) / load_seconds / kMega);
    printf("  %-18s %12.3f ms\n", "release", free_seconds * 1e3);
    printf("  %-18s %12ld\n", "minor faults", faults);
    printf("  %-18s %12.1f MB\n", "peak memory added", static_cast<double>(peak) * 1024 / kMega);
    printf("cold %.9f %ld %ld\n", load_seconds + free_seconds, faults, peak);
    return 0;
}

// What touching fresh memory costs here, per 4 KiB: 64 MiB of fresh
// anonymous memory, aligned to huge pages, touched once per 4 KiB, then
// written again whole (no faults); the difference per 4 KiB is the price.
// Once in small pages, once advised for huge pages (MADV_HUGEPAGE: one
// fault per 2 MiB where the system has one to give), and each again
// populated by one call per 2 MiB (MADV_POPULATE_WRITE, Linux 5.14) instead
// of a fault per page. `mode`: bit 0 huge pages, bit 1 populate.
static int fresh_memory_cost(int mode) {
    using SteadyClock = std::chrono::steady_clock;
    const size_t size = size_t(64) << 20, huge = size_t(2) << 20, page = 4096;
    void* mapped =
        mmap(nullptr, size + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return 1;
    }
    char* bytes =
        reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(mapped) + huge - 1) / huge * huge);
#ifdef MADV_HUGEPAGE
    if ((mode & 1) != 0) {
        madvise(bytes, size, MADV_HUGEPAGE);
    }
#endif
    long faults_start = minor_faults();
    SteadyClock::time_point start = SteadyClock::now();
    bool populated = false;
#ifdef MADV_POPULATE_WRITE
    if ((mode & 2) != 0) {
        populated = true;
        for (size_t at = 0; at < size && populated; at += huge) {
            populated = madvise(bytes + at, huge, MADV_POPULATE_WRITE) == 0;
        }
    }
#endif
    for (size_t at = 0; at < size; at += page) {
        bytes[at] = 1;
    }
    SteadyClock::time_point touched = SteadyClock::now();
    long faults = minor_faults() - faults_start;
    memset(bytes, 2, size);
    SteadyClock::time_point rewritten = SteadyClock::now();
    munmap(mapped, size + huge);
    double first = std::chrono::duration<double>(touched - start).count();
    double again = std::chrono::duration<double>(rewritten - touched).count();
    printf("%-12s %-9s %8.1f ms %6ld faults, written again %5.1f ms: %6.2f us per 4 KiB%s\n",
           (mode & 1) != 0 ? "huge pages" : "small pages",
           (mode & 2) != 0 ? "populated" : "touched", first * 1e3, faults, again * 1e3,
           (first - again) / double(size / page) * 1e6,
           (mode & 2) != 0 && !populated ? " (no MADV_POPULATE_WRITE here)" : "");
    return 0;
}

int fault_cost() {
    printf("64 MiB of fresh memory, first touch against a second write:\n");
    for (int mode = 0; mode < 4; ++mode) {
        if (fresh_memory_cost(mode) != 0) {
            return 1;
        }
    }
    return 0;
}

// The resident set of this process now, in bytes.
long resident_bytes() {
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr || fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
        resident = 0;
    }
    if (statm != nullptr) {
        fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A loaded document under churn: `operations` random edits, a third each
// setting an existing key to a new value, removing one, and setting a new
// key, so the entry count stays about where it was. Prints the resident set
// after the load and the peak reached during the churn.
int churn(const char* path, long operations) {
    IniDocument* document = ini_load(path);
    if (document == nullptr || document->count == 0) {
        fprintf(stderr, "bench: cannot churn %s\n", path);
        return 1;
    }
    long loaded = resident_bytes(), peak = loaded;
    std::mt19937 random(12345);
    char key[32], value[48];
    for (long i = 0; i < operations; ++i) {
        IniSection* section = document->sections[random() % uint32_t(document->count)];
        uint32_t kind = random() % 3;
        if (kind == 2 || section->count == 0) {
            snprintf(key, sizeof key, "churn_%ld", i);
            snprintf(value, sizeof value, "value %u", unsigned(random()));
            ini_set(section, key, value);
        } else {
            IniEntry* entry = section->entries[random() % uint32_t(section->count)];
            snprintf(key, sizeof key, "%.31s", entry->key);
            if (kind == 0) {
                snprintf(value, sizeof value, "new value %u", unsigned(random()));
                ini_set(section, key, value);
            } else {
                ini_remove_key(section, key);
            }
        }
        if (i % 4096 == 0) {
            long now = resident_bytes();
            peak = now > peak ? now : peak;
        }
    }
    long now = resident_bytes();
    peak = now > peak ? now : peak;
    printf("%s: %ld operations: resident %.1f MB after the load, peak %.1f MB (%.2f times)\n", path,
           operations, loaded / 1e6, peak / 1e6, double(peak) / double(loaded));
    ini_free_document(document);
    return 0;
}
