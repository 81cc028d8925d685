// The installer's messages: text in the system's code page, to standard
// output or error, as a console shows it (files.h, platform_print_text).
#include <cstdarg>

#include "installer.h"
#include "platform.h"

// Prints `format` with `arguments` to `file`. A message that cannot be
// written has nowhere else to go.
static void print_to(PlatformFile* file, const char* format, va_list arguments) {
    static_cast<void>(platform_print_text(file, PLATFORM_MESSAGE, format, arguments));
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
