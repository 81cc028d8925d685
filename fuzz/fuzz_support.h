// What the fuzz targets share: a check that stops the run where it fails, a
// scratch file of the process's own, and whole-file reads and writes.
//
// Only the standard library is used, so that the targets can also be built
// without libFuzzer and fed the files of fuzz/regressions/ one by one.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace fuzz_support {

// Prints which expectation broke and aborts: libFuzzer then keeps the input
// as a crash artifact, and a replay stops on the spot.
[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// A token for this process's scratch files, so that parallel jobs and forked
// workers never share one.
inline const std::string& process_token() {
    static const std::string token = std::to_string(std::random_device{}());
    return token;
}

// A file in the temporary directory whose name carries the process token. It is removed when
// the process ends normally; a crash leaves it behind, which does no harm
// because every run rewrites it.
class ScratchFile {
  public:
    explicit ScratchFile(const char* tag) {
        std::string name = "vantra-fuzz-" + std::string(tag) + "-" + process_token() + ".ini";
        path_ = (scratch_directory() / name).string();
    }
    ~ScratchFile() {
        std::remove(path_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* path() const {
        return path_.c_str();
    }

  private:
    // The system's temporary directory (TMPDIR); scripts/fuzz.sh points it
    // at memory where it can, since every input costs several file
    // creations and reads.
    static std::filesystem::path scratch_directory() {
        std::error_code error;
        std::filesystem::path directory = std::filesystem::temp_directory_path(error);
        return error ? std::filesystem::path(".") : directory;
    }

    std::string path_;
};

// Replaces the file at `path` with exactly `size` bytes of `data`, in binary
// mode so that no line ending is translated on the way.
inline bool write_file(const char* path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// The whole content of the file at `path`; false when it cannot be read.
inline bool read_file(const char* path, std::string* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bytes->clear();
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->append(chunk, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

// The slot count that a pointer array holding `count` elements has when it
// was filled by appending only: 10, then 10 more each time it was full.
inline int32_t appended_capacity(size_t count) {
    return count <= 10 ? 10 : static_cast<int32_t>((count + 9) / 10 * 10);
}

}  // namespace fuzz_support

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : fuzz_support::fail(#condition, __FILE__, __LINE__))

#endif  // FUZZ_FUZZ_SUPPORT_H_
