#include "streams.h"

#include <cstdarg>

#include "files.h"

namespace {

// Bytes gathered before they are written, and asked of standard input at a
// time.
constexpr size_t kPieceBytes = 64 * 1024;

}  // namespace

std::string system_reason() {
    char text[256];
    platform_error_text(platform_last_error(), text, sizeof text);
    return text;
}

// Everything `input` holds, into `text`: false on a read error.
static bool read_all(PlatformFile* input, std::string* text, std::string* reason) {
    text->clear();
    for (;;) {
        size_t size = text->size();
        text->resize(size + kPieceBytes);
        long got = platform_read(input, &(*text)[size], kPieceBytes);
        text->resize(size + (got > 0 ? size_t(got) : 0));
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            *reason = system_reason();
            return false;
        }
    }
}

bool read_standard_input(std::string* text, std::string* reason) {
    return read_all(platform_standard_input(), text, reason);
}

bool read_file(const char* path, std::string* text, std::string* reason, bool* opened) {
    PlatformFile* file = platform_open_read(path);
    *opened = file != nullptr;
    if (file == nullptr) {
        *reason = system_reason();
        return false;
    }
    bool read = read_all(file, text, reason);
    platform_close(file);
    return read;
}

void Output::write(const char* bytes, size_t size) {
    if (pending_.size() + size < kPieceBytes) {
        pending_.append(bytes, size);
        return;
    }
    // Large pieces go out as they are, never copied.
    std::string ignored;
    flush(&ignored);
    if (!failed_ &&
        !platform_write_text(platform_standard_output(), bytes, size, PLATFORM_DATA_UTF8)) {
        failed_ = true;
        reason_ = system_reason();
    }
}

bool Output::flush(std::string* reason) {
    if (!failed_ && !pending_.empty() &&
        !platform_write_text(platform_standard_output(), pending_.data(), pending_.size(),
                             PLATFORM_DATA_UTF8)) {
        failed_ = true;
        reason_ = system_reason();
    }
    pending_.clear();
    *reason = reason_;
    return !failed_;
}

void print_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    // A message that cannot be written has nowhere else to go.
    static_cast<void>(
        platform_print_text(platform_standard_error(), PLATFORM_MESSAGE_UTF8, format, arguments));
    va_end(arguments);
}
