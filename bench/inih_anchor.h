// The comparison with a generic small INI parser (inih). Its header is also
// called ini.h, so it is included by one translation unit only, which never
// sees the module's include directory; this header is all the rest sees.
#ifndef BENCH_INIH_ANCHOR_H_
#define BENCH_INIH_ANCHOR_H_

struct InihOutcome {
    long entries;  // handler calls: one per name=value pair inih accepted
    int status;    // ini_parse's result: 0, the first bad line's number, or negative
};

// Parses the file with inih and a handler that only counts.
InihOutcome inih_count_entries(const char* path);

// inih's line buffer in bytes: longer lines are cut into pieces.
int inih_max_line();

#endif  // BENCH_INIH_ANCHOR_H_
