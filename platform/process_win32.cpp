// Win32 process services: the running executable's own path, and whether
// the system's code page has lost anything of the root on the way in. Only
// documented Win32 functions are used, so the file builds with any Windows
// toolchain and C runtime.
#include <windows.h>

#include <string>
#include <vector>

#include "process.h"

// Start with MAX_PATH, the size a Windows path usually fits.
static const DWORD kInitialModulePathSize = MAX_PATH;

// The running executable's full path from GetModuleFileNameA or
// GetModuleFileNameW (`query`). Both truncate a path that does not fit and
// still succeed; a result that fills the buffer may be cut, so the buffer
// doubles until the path fits with room to spare.
template <typename Char, typename Query>
static bool module_path(Query query, std::basic_string<Char>* path) {
    std::vector<Char> buffer(kInitialModulePathSize);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = query(nullptr, buffer.data(), size);
        if (length == 0) {
            return false;
        }
        if (length < size) {
            path->assign(buffer.data(), length);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool platform_executable_path(std::string* path) {
    return module_path(GetModuleFileNameA, path);
}

// Argument `index` of `line` split by the C runtime's documented rules: the
// program name runs to the next space or tab, or between quotes; then
// arguments are separated by spaces and tabs, quotes group and are removed,
// "" inside quotes is a quote, and backslashes are literal except before a
// quote, where each pair gives one and an odd one makes the quote literal.
// False when the line has fewer arguments.
template <typename Char>
static bool command_line_argument(const Char* line, int index, std::basic_string<Char>* argument) {
    const Char kQuote = '"', kBackslash = '\\';
    auto blank = [](Char c) { return c == ' ' || c == '\t'; };
    argument->clear();
    bool quoted = *line == kQuote;
    line += quoted ? 1 : 0;
    for (; *line != 0 && (quoted ? *line != kQuote : !blank(*line)); ++line) {
        argument->push_back(*line);
    }
    line += *line == kQuote ? 1 : 0;
    for (int found = 0;; ++found) {
        while (blank(*line)) {
            ++line;
        }
        if (found == index || *line == 0) {
            return found == index;
        }
        argument->clear();
        quoted = false;
        while (*line != 0 && (quoted || !blank(*line))) {
            size_t backslashes = 0;
            while (*line == kBackslash) {
                ++backslashes;
                ++line;
            }
            if (*line != kQuote) {
                argument->append(backslashes, kBackslash);
                if (*line != 0 && (quoted || !blank(*line))) {
                    argument->push_back(*line++);
                }
                continue;
            }
            argument->append(backslashes / 2, kBackslash);
            if (backslashes % 2 == 1) {
                argument->push_back(kQuote);
            } else if (quoted && line[1] == kQuote) {
                argument->push_back(kQuote);
                ++line;
            } else {
                quoted = !quoted;
            }
            ++line;
        }
    }
}

// The wide string `wide` in the ANSI code page, each character that the code
// page cannot hold exactly as '?'. True when converting the bytes back gives
// `wide` again: that is what the ANSI file functions will do with them.
static bool to_code_page(const std::wstring& wide, std::string* bytes) {
    bytes->clear();
    if (wide.empty()) {
        return true;
    }
    // Without WC_NO_BEST_FIT_CHARS a look-alike would be shown instead of
    // '?'. A UTF-8 code page (65001) holds every character, and
    // WideCharToMultiByte refuses the flag there (ERROR_INVALID_FLAGS); an
    // unpaired surrogate, which UTF-8 cannot hold, still fails the round trip.
    DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int length = static_cast<int>(wide.size());
    int size =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, &(*bytes)[0], size, nullptr, nullptr);
    int back_size = MultiByteToWideChar(CP_ACP, 0, bytes->data(), size, nullptr, 0);
    if (back_size <= 0) {
        return false;
    }
    std::wstring back(static_cast<size_t>(back_size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes->data(), size, &back[0], back_size);
    return back == wide;
}

// The wide form of argument `root_index`, whose bytes are `root`. The ANSI
// command line, which the C runtime split into main's argv, is split by the
// same rules first: where that does not give `root` back at that index, the
// runtime splits otherwise (wildcards expanded, say) and the wide argument
// at that index could be another one, so none is given.
static bool wide_argument(const std::string& root, int root_index, std::wstring* argument) {
    std::string bytes;
    return command_line_argument(GetCommandLineA(), root_index, &bytes) && bytes == root &&
           command_line_argument(GetCommandLineW(), root_index, argument);
}

// The wide directory of the running executable, cut at its last separator
// as root_from_executable cuts the ANSI path.
static bool wide_executable_directory(std::wstring* directory) {
    if (!module_path(GetModuleFileNameW, directory)) {
        return false;
    }
    size_t separator = directory->rfind(L'\\');
    if (separator == std::wstring::npos) {
        return false;
    }
    directory->resize(separator);
    return true;
}

bool platform_root_is_exact(const std::string& root, int source, std::string* shown) {
    std::wstring wide;
    bool found = source == kRootFromExecutable ? wide_executable_directory(&wide)
                                               : wide_argument(root, source, &wide);
    if (!found) {
        // Nothing to compare with: the root cannot be vouched for.
        *shown = root;
        return false;
    }
    // Equal bytes as well: a look-alike of the separator in the executable's
    // own name (fullwidth U+FF3C becomes '\') would cut the ANSI path
    // elsewhere than the wide one.
    bool exact = to_code_page(wide, shown) && *shown == root;
    if (shown->empty()) {
        *shown = root;  // the conversion itself failed
    }
    return exact;
}
