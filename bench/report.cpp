#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#ifdef BENCH_HAVE_INIH
#include "inih_anchor.h"
#endif
#include "peers.h"

const char kOperationCpuCounter[] = "op_cpu_s";

namespace {

constexpr double kMega = 1e6;

double median_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        Samples& samples = samples_[run.run_name.function_name];
        if (run.error_occurred) {
            samples.error = run.error_message;
            continue;
        }
        double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
        double wall = run.GetAdjustedRealTime() / unit;
        double cpu = run.GetAdjustedCPUTime() / unit;
        auto operation_cpu = run.counters.find(kOperationCpuCounter);
        if (operation_cpu != run.counters.end()) {
            cpu = operation_cpu->second.value;
        }
        if (run.run_type == Run::RT_Iteration) {
            samples.wall.push_back(wall);
            samples.cpu.push_back(cpu);
            for (const char* name : {kReleaseCounter, kAllocationsCounter, kFreesCounter}) {
                auto counter = run.counters.find(name);
                if (counter != run.counters.end()) {
                    samples.counters[name].push_back(counter->second.value);
                }
            }
        } else if (run.aggregate_name == "median") {
            samples.wall_median = wall;
            samples.cpu_median = cpu;
        }
    }
}

double CollectingReporter::seconds(const Case& item, Clock clock, bool fastest) const {
    auto found = samples_.find(item.name);
    if (found == samples_.end() || !found->second.error.empty()) {
        return 0;
    }
    const Samples& samples = found->second;
    const std::vector<double>& values = clock == Clock::kWall ? samples.wall : samples.cpu;
    if (values.empty()) {
        // Only the aggregates were displayed (--benchmark_display_aggregates_only).
        return clock == Clock::kWall ? samples.wall_median : samples.cpu_median;
    }
    return fastest ? *std::min_element(values.begin(), values.end()) : median_of(values);
}

double CollectingReporter::counter(const Case& item, const char* name) const {
    auto found = samples_.find(item.name);
    if (found == samples_.end() || !found->second.error.empty()) {
        return -1;
    }
    auto values = found->second.counters.find(name);
    return values == found->second.counters.end() || values->second.empty()
               ? -1
               : median_of(values->second);
}

namespace {

double megabytes_per_second(const CollectingReporter& reporter, const Case* item, Clock clock) {
    if (item == nullptr) {
        return 0;
    }
    double seconds = reporter.seconds(*item, clock);
    return seconds > 0 ? static_cast<double>(item->bytes) / seconds / kMega : 0;
}

std::string format_number(double value, const char* format) {
    if (value <= 0) {
        return "-";
    }
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string format_ratio(double ours, double anchor) {
    return ours > 0 && anchor > 0 ? format_number(ours / anchor, "%.2fx") : "-";
}

void print_throughput(const CollectingReporter& reporter, Clock clock) {
    printf("\n%s\n\n", clock == Clock::kWall
                           ? "Throughput by wall-clock time, MB/s (median of the repetitions):"
                           : "Throughput by CPU time of the process, MB/s (median):");
    printf("%-20s %10s %9s %9s %9s %9s %10s %10s\n", "file", "bytes", "ini_load", "ini_save",
           "inih", "floor", "load/inih", "load/floor");
    for (const CorpusFile& file : corpus_files()) {
        const Case* load = find_case(Measure::kLoad, file.name);
        if (!file.headline || load == nullptr) {
            continue;
        }
        double ours = megabytes_per_second(reporter, load, clock);
        double save = megabytes_per_second(reporter, find_case(Measure::kSave, file.name), clock);
        double inih = megabytes_per_second(reporter, find_case(Measure::kInih, file.name), clock);
        double floor = megabytes_per_second(reporter, find_case(Measure::kFloor, file.name), clock);
        if (ours <= 0 && save <= 0 && inih <= 0 && floor <= 0) {
            continue;
        }
        printf("%-20s %10zu %9s %9s %9s %9s %10s %10s\n", file.name.c_str(), load->bytes,
               format_number(ours, "%.1f").c_str(), format_number(save, "%.1f").c_str(),
               format_number(inih, "%.1f").c_str(), format_number(floor, "%.1f").c_str(),
               format_ratio(ours, inih).c_str(), format_ratio(ours, floor).c_str());
    }
}

// Milliseconds per operation of `item`, median wall-clock time, or 0.
double milliseconds(const CollectingReporter& reporter, const Case* item) {
    return item != nullptr ? reporter.seconds(*item, Clock::kWall) * 1e3 : 0;
}

// What a program pays for the whole document of each file: ours and each
// peer's load plus release, and how many times longer the others take.
void print_peers(const CollectingReporter& reporter) {
    const std::vector<const Peer*>& peers = bench_peers();
    printf(
        "\nLoad plus release of the whole document, ms (median wall-clock time), and\n"
        "each anchor's time / ini_load's (above 1: ini_load is faster). inih builds\n"
        "no document; the floor only reads.\n\n");
    printf("%-20s %9s", "file", "ini_load");
    for (const Peer* peer : peers) {
        printf(" %10s", peer->name);
    }
    printf(" %9s %9s |", "inih", "floor");
    for (const Peer* peer : peers) {
        printf(" %10s", peer->name);
    }
    printf(" %7s %7s\n", "inih", "floor");
    for (const CorpusFile& file : corpus_files()) {
        const Case* load = find_case(Measure::kLoad, file.name);
        double ours = milliseconds(reporter, load);
        if (!file.headline || ours <= 0) {
            continue;
        }
        std::vector<double> others;
        for (const Peer* peer : peers) {
            others.push_back(milliseconds(reporter, find_peer_case(peer, file.name)));
        }
        others.push_back(milliseconds(reporter, find_case(Measure::kInih, file.name)));
        others.push_back(milliseconds(reporter, find_case(Measure::kFloor, file.name)));
        printf("%-20s %9.3f", file.name.c_str(), ours);
        for (size_t i = 0; i < others.size(); ++i) {
            printf(" %*s", i < peers.size() ? 10 : 9, format_number(others[i], "%.3f").c_str());
        }
        printf(" |");
        for (size_t i = 0; i < others.size(); ++i) {
            printf(" %*s", i < peers.size() ? 10 : 7,
                   format_number(others[i] / ours, "%.2fx").c_str());
        }
        printf("\n");
    }

    printf("\nRelease alone, ms (median), and the module's allocator calls per load:\n\n");
    printf("%-20s %9s", "file", "ini_free");
    for (const Peer* peer : peers) {
        printf(" %10s", peer->name);
    }
    printf(" %9s %9s %9s %9s %11s\n", "allocs", "frees", "entries", "sections", "per line");
    for (const CorpusFile& file : corpus_files()) {
        const Case* load = find_case(Measure::kLoad, file.name);
        if (!file.headline || load == nullptr || milliseconds(reporter, load) <= 0) {
            continue;
        }
        printf("%-20s %9.3f", file.name.c_str(), reporter.counter(*load, kReleaseCounter) * 1e3);
        for (const Peer* peer : peers) {
            const Case* other = find_peer_case(peer, file.name);
            double release = other != nullptr ? reporter.counter(*other, kReleaseCounter) : -1;
            printf(" %10s", format_number(release * 1e3, "%.3f").c_str());
        }
        double allocations = reporter.counter(*load, kAllocationsCounter);
        double lines = static_cast<double>(load->entries + load->sections);
        printf(" %9s %9s %9ld %9ld %11s\n", format_number(allocations, "%.0f").c_str(),
               format_number(reporter.counter(*load, kFreesCounter), "%.0f").c_str(), load->entries,
               load->sections, format_number(lines > 0 ? allocations / lines : 0, "%.3f").c_str());
    }
    printf(
        "(allocs: malloc and realloc calls during ini_load, frees: free calls during the\n"
        "release; counted only where the bench is linked with the allocator wrapped.)\n");
}

// Where a file is replaced rather than created, the file system adds its own
// cost; shown apart because the writer cannot change it.
void print_replacement(const CollectingReporter& reporter) {
    for (const Case& item : g_cases) {
        if (item.measure != Measure::kSaveReplace) {
            continue;
        }
        const Case* fresh = find_case(Measure::kSave, item.file.name);
        double replace = reporter.seconds(item, Clock::kWall);
        double create = fresh != nullptr ? reporter.seconds(*fresh, Clock::kWall) : 0;
        if (replace > 0 && create > 0) {
            printf(
                "\nini_save of %s (%zu bytes): %.3f ms to a new file, %.3f ms over the old\n"
                "one (CPU %.3f ms and %.3f ms).\n",
                item.file.name.c_str(), item.bytes, create * 1e3, replace * 1e3,
                reporter.seconds(*fresh, Clock::kCpu) * 1e3,
                reporter.seconds(item, Clock::kCpu) * 1e3);
        }
    }
}

void print_entries() {
#ifdef BENCH_HAVE_INIH
    printf("\nEntries found (ini_load / inih) and inih's result (0, or its first bad line):\n");
    for (const CorpusFile& file : corpus_files()) {
        const Case* load = find_case(Measure::kLoad, file.name);
        const Case* inih = find_case(Measure::kInih, file.name);
        if (load == nullptr || inih == nullptr || inih->entries < 0) {
            continue;
        }
        printf("  %-20s %9ld / %-9ld result %d%s\n", file.name.c_str(), load->entries,
               inih->entries, inih->inih_status,
               inih->inih_status > 0 ? "  (longer lines than inih's buffer: cut into pieces)" : "");
    }
    printf("  inih's header sets a line buffer of %d bytes.\n", inih_max_line());
#else
    printf("\ninih was not found when this was built: no inih column.\n");
#endif
}

struct GrowthStep {
    size_t n;
    double wall;  // medians, seconds per operation
    double cpu;
    double fastest;  // the fastest repetition, wall clock
};

std::vector<GrowthStep> growth_steps(const CollectingReporter& reporter, Measure measure,
                                     bool long_line) {
    std::vector<GrowthStep> steps;
    std::vector<size_t> scales = long_line ? corpus_long_line_steps() : corpus_entry_steps();
    for (size_t scale : scales) {
        const Case* item = find_case(
            measure, long_line ? corpus_long_line_name(scale) : corpus_entries_name(scale));
        if (item != nullptr && reporter.seconds(*item, Clock::kWall) > 0) {
            steps.push_back({scale, reporter.seconds(*item, Clock::kWall),
                             reporter.seconds(*item, Clock::kCpu),
                             reporter.seconds(*item, Clock::kWall, true)});
        }
    }
    return steps;
}

double exponent(double t1, double t2, size_t n1, size_t n2) {
    return std::log(t2 / t1) / std::log(static_cast<double>(n2) / static_cast<double>(n1));
}

struct Worst {
    double wall = 0;
    double cpu = 0;
    double fastest = 0;
};

Worst print_growth(const CollectingReporter& reporter) {
    printf(
        "\nGrowth: exponent log(t2/t1) / log(n2/n1) between consecutive steps (1 linear,\n"
        "2 quadratic), from the median wall-clock time, the median CPU time and the\n"
        "fastest repetition; t1 and t2 are median wall-clock times.\n\n");
    printf("%-25s %8s %8s %10s %10s %6s %6s %7s\n", "series", "n1", "n2", "t1 (ms)", "t2 (ms)",
           "wall", "cpu", "fastest");
    Worst worst;
    for (Measure measure : {Measure::kLoad, Measure::kSave}) {
        for (bool long_line : {true, false}) {
            std::vector<GrowthStep> steps = growth_steps(reporter, measure, long_line);
            std::string series = std::string(measure_name(measure)) +
                                 (long_line ? " long line (bytes)" : " entries");
            for (size_t i = 1; i < steps.size(); ++i) {
                const GrowthStep& a = steps[i - 1];
                const GrowthStep& b = steps[i];
                double wall = exponent(a.wall, b.wall, a.n, b.n);
                double cpu = exponent(a.cpu, b.cpu, a.n, b.n);
                double fastest = exponent(a.fastest, b.fastest, a.n, b.n);
                worst.wall = std::max(worst.wall, wall);
                worst.cpu = std::max(worst.cpu, cpu);
                worst.fastest = std::max(worst.fastest, fastest);
                printf("%-25s %8zu %8zu %10.3f %10.3f %6.2f %6.2f %7.2f\n", series.c_str(), a.n,
                       b.n, a.wall * 1e3, b.wall * 1e3, wall, cpu, fastest);
            }
        }
    }
    return worst;
}

double load_ratio(const CollectingReporter& reporter, const std::string& file, Measure anchor,
                  Clock clock) {
    double ours = megabytes_per_second(reporter, find_case(Measure::kLoad, file), clock);
    double other = megabytes_per_second(reporter, find_case(anchor, file), clock);
    return ours > 0 && other > 0 ? ours / other : 0;
}

const char* verdict(double value, double limit, bool at_most) {
    if (value <= 0) {
        return "not measured";
    }
    return (at_most ? value <= limit : value >= limit) ? "met" : "NOT met";
}

void print_target(const char* target, double wall, double cpu, double limit, bool at_most) {
    printf("  %-46s %7s %7s   %-12s %s\n", target, format_number(wall, "%.2f").c_str(),
           format_number(cpu, "%.2f").c_str(), verdict(wall, limit, at_most),
           verdict(cpu, limit, at_most));
}

void print_targets(const CollectingReporter& reporter, const Worst& worst) {
    printf("\nTargets (medians):%39s %7s   %-12s %s\n", "wall", "cpu", "by wall", "by cpu");
    std::string many_entries = corpus_entries_name(corpus_entry_steps().back());
    struct Anchored {
        const char* target;
        std::string file;
        Measure anchor;
        double limit;
    };
    const Anchored anchored[] = {
        {"ini_load / inih, typical (at least 2)", "typical", Measure::kInih, 2.0},
        {"ini_load / inih, many entries (at least 1)", many_entries, Measure::kInih, 1.0},
        {"ini_load / inih, many sections (at least 1)", "many_sections", Measure::kInih, 1.0},
        {"ini_load / byte floor, typical (at least 0.6)", "typical", Measure::kFloor, 0.6},
    };
    for (const Anchored& item : anchored) {
        print_target(item.target, load_ratio(reporter, item.file, item.anchor, Clock::kWall),
                     load_ratio(reporter, item.file, item.anchor, Clock::kCpu), item.limit, false);
    }
    print_target("worst growth exponent (at most 1.1)", worst.wall, worst.cpu, 1.1, true);
    printf("  %-46s %7s %7s   %s\n", "  the same from the fastest repetitions",
           format_number(worst.fastest, "%.2f").c_str(), "", verdict(worst.fastest, 1.1, true));
}

}  // namespace

void print_summary(const CollectingReporter& reporter) {
    printf(
        "\nMB/s are 10^6 bytes per second. ini_save counts the bytes it writes, which\n"
        "lack the comments and spaces of the file read. A ratio is ours / anchor.\n");
    print_throughput(reporter, Clock::kWall);
    print_throughput(reporter, Clock::kCpu);
    print_peers(reporter);
    print_replacement(reporter);
    print_entries();
    Worst worst = print_growth(reporter);
    print_targets(reporter, worst);
}
