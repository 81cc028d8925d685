// The program's arguments on Windows in UTF-8: from the wide command line
// (GetCommandLineW, split as the C runtime splits it, CommandLineToArgvW),
// so that no character is lost to the code page as in main's argv. A file
// of its own, so that a program that never asks does not import SHELL32.
#include <windows.h>

#include <shellapi.h>
#include <stdlib.h>

#include "files.h"

void platform_utf8_arguments(int* argc, char*** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    char** arguments =
        wide == nullptr ? nullptr : static_cast<char**>(calloc(size_t(count) + 1, sizeof(char*)));
    bool converted = arguments != nullptr;
    for (int i = 0; converted && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        arguments[i] = size > 0 ? static_cast<char*>(malloc(size_t(size))) : nullptr;
        converted =
            arguments[i] != nullptr && WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arguments[i],
                                                           size, nullptr, nullptr) == size;
    }
    LocalFree(wide);
    if (converted) {  // else main's arguments stay, as the code page gave them
        *argc = count;
        *argv = arguments;
    }
}
