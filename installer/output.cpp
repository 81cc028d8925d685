// The installer's messages: text in the system's code page, to standard
// output or error, as a console shows it (files.h, platform_write_text).
#include <cstdarg>
#include <cstdio>
#include <string>

#include "installer.h"
#include "platform.h"

// Formats `format` with `arguments` and writes it to `file` as text in the
// code page.
static void print_to(PlatformFile* file, const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    int size = vsnprintf(nullptr, 0, format, arguments);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0) {
        vsnprintf(&text[0], text.size() + 1, format, again);
    }
    va_end(again);
    // A message that cannot be written has nowhere else to go.
    static_cast<void>(platform_write_text(file, text.data(), text.size(), PLATFORM_MESSAGE));
}

void print_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    print_to(platform_standard_error(), format, arguments);
    va_end(arguments);
}

void print_output(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    print_to(platform_standard_output(), format, arguments);
    va_end(arguments);
}
