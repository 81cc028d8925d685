// The installer's messages: text in the system's code page, to standard
// output or error, as a console shows it (files.h, platform_print_text).
#include <cstdarg>

#include "installer.h"
#include "platform.h"

// A message that cannot be written has nowhere else to go.

void print_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    static_cast<void>(
        platform_print_text(platform_standard_error(), PLATFORM_MESSAGE, format, arguments));
    va_end(arguments);
}

void print_output(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    static_cast<void>(
        platform_print_text(platform_standard_output(), PLATFORM_MESSAGE, format, arguments));
    va_end(arguments);
}
