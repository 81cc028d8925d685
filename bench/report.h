// Collects the times of a benchmark run and prints what they mean: the
// throughput table, the ratios to the anchors, the growth exponents and the
// project's targets.
#ifndef BENCH_REPORT_H_
#define BENCH_REPORT_H_

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "cases.h"

// The counter in which the load and save benchmarks report the CPU time of
// the operation alone; their CPU column also holds what they do off the
// clock (releasing the document, removing the old file).
extern const char kOperationCpuCounter[];

enum class Clock {
    kWall,  // what a user waits for, including time lost to other processes
    kCpu,   // what the process itself spends, user and system
};

// A console reporter that also keeps every repetition's time.
class CollectingReporter : public benchmark::ConsoleReporter {
  public:
    explicit CollectingReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override;

    // Seconds per operation (one load, save, parse or read of the file): the
    // median over the repetitions, or with `fastest` their minimum; 0 when
    // the case did not run.
    double seconds(const Case& item, Clock clock, bool fastest = false) const;

    // The median over the repetitions of the counter `name`, or -1 when the
    // case did not report it.
    double counter(const Case& item, const char* name) const;

  private:
    struct Samples {
        std::vector<double> wall;  // one per repetition
        std::vector<double> cpu;
        double wall_median = 0;  // from the aggregate, when only aggregates were shown
        double cpu_median = 0;
        std::map<std::string, std::vector<double>> counters;  // one value per repetition
        std::string error;
    };
    std::map<std::string, Samples> samples_;
};

// Prints the summary of the run to standard output.
void print_summary(const CollectingReporter& reporter);

#endif  // BENCH_REPORT_H_
