// Standard input and output of the inifile command, through the platform
// layer: bytes as they are, and every failure with the system's reason.
#ifndef COMMAND_STREAMS_H_
#define COMMAND_STREAMS_H_

#include <cstddef>
#include <string>

// Everything on standard input, into `text`: false on a read error, with
// the system's reason in `reason`.
bool read_standard_input(std::string* text, std::string* reason);

// The whole file at `path`, into `text`: false when it cannot be opened
// (`*opened` false) or read, with the system's reason in `reason`.
bool read_file(const char* path, std::string* text, std::string* reason, bool* opened);

// Standard output, gathered and written in large pieces. Once a write has
// failed nothing more is written, and `failed` says so with the reason.
class Output {
  public:
    void write(const char* bytes, size_t size);
    void write(const std::string& text) {
        write(text.data(), text.size());
    }
    // Writes what is gathered: false (with the reason) when any write failed.
    bool flush(std::string* reason);

  private:
    std::string pending_;
    bool failed_ = false;
    std::string reason_;
};

// Prints `format` with its arguments to standard error: text in UTF-8 (or
// the code page where it is not), as a console shows it.
void print_error(const char* format, ...);

// The system's wording of the reason of the platform layer's last failure.
std::string system_reason();

#endif  // COMMAND_STREAMS_H_
