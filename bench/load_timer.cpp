// Times ini_load on one file, with nothing but the standard library around
// it, so that it builds wherever the module does: natively and for Windows,
// where Google Benchmark is not available and the program runs under wine.
//
//   load_timer [--text] [--common] FILE [REPEAT]
//
// --text: the file is read into memory first, off the clock, and each load
// is ini_load_text of those bytes.
// --common: the loads read the common dialect (ini_load_file_with, or
// ini_load_text_with with --text).
// Loads FILE REPEAT times (default 5), releasing each document off the
// clock, and prints the first load (a fresh heap, the installer's case), the
// best and the median load, and the median release. bench/growth.sh reads
// the lines that begin with "first", "best" and "median".
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inifile/ini.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_between(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

// The size of the file at `path`, or -1.
long file_size(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return -1;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    std::fclose(file);
    return size;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void print_time(const char* label, double seconds, long bytes) {
    std::printf("%-8s %12.3f ms", label, seconds * 1e3);
    if (bytes > 0) {
        std::printf("  %9.1f MB/s", static_cast<double>(bytes) / seconds / 1e6);
    }
    std::printf("\n");
}

}  // namespace

// The bytes of the file at `path` (empty when it cannot be read).
std::vector<char> file_bytes(const char* path, long size) {
    std::vector<char> bytes(size > 0 ? static_cast<size_t>(size) : 0);
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        bytes.clear();
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return bytes;
}

int main(int argc, char** argv) {
    bool from_text = argc > 1 && std::string(argv[1]) == "--text";
    argc -= from_text ? 1 : 0;
    argv += from_text ? 1 : 0;
    IniOptions options = {};
    if (argc > 1 && std::string(argv[1]) == "--common") {
        options.dialect = INI_DIALECT_COMMON;
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: load_timer [--text] [--common] FILE [REPEAT]\n");
        return 2;
    }
    const char* path = argv[1];
    long repeat = 5;
    if (argc == 3) {
        char* end = nullptr;
        repeat = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || repeat < 1) {
            std::fprintf(stderr, "load_timer: REPEAT must be a positive number\n");
            return 2;
        }
    }
    long bytes = file_size(path);
    std::vector<char> text = from_text ? file_bytes(path, bytes) : std::vector<char>();

    std::vector<double> loads;
    std::vector<double> releases;
    long entries = 0;
    int32_t sections = 0;
    for (long i = 0; i < repeat; ++i) {
        Clock::time_point start = Clock::now();
        IniDocument* document;
        if (options.dialect == INI_DIALECT_MODULE) {
            document =
                from_text ? ini_load_text(text.data(), text.size(), nullptr) : ini_load(path);
        } else {
            document = from_text ? ini_load_text_with(text.data(), text.size(), &options, nullptr)
                                 : ini_load_file_with(path, &options, nullptr);
        }
        Clock::time_point loaded = Clock::now();
        if (document == nullptr) {
            std::fprintf(stderr, "load_timer: ini_load refused %s\n", path);
            return 1;
        }
        if (i == 0) {
            sections = document->count;
            for (int32_t s = 0; s < document->count; ++s) {
                entries += document->sections[s]->count;
            }
        }
        Clock::time_point release_start = Clock::now();
        ini_free_document(document);
        Clock::time_point released = Clock::now();
        loads.push_back(seconds_between(start, loaded));
        releases.push_back(seconds_between(release_start, released));
    }

    std::printf("%s: %ld bytes, %ld sections, %ld entries, %ld loads\n", path, bytes,
                static_cast<long>(sections), entries, repeat);
    print_time("first", loads.front(), bytes);
    print_time("best", *std::min_element(loads.begin(), loads.end()), bytes);
    print_time("median", median(loads), bytes);
    print_time("release", median(releases), 0);
    return 0;
}
