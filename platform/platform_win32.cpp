// Win32 implementation of the platform layer. The file functions are the
// ANSI ones: paths are byte strings in the system's code page, never
// converted. Only platform_root_is_exact looks at the wide forms, to tell
// whether that code page has lost anything on the way in.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform.h"

const char kPathSeparator = '\\';

// A HANDLE is stored as the PlatformFile pointer itself: nothing to allocate.
static PlatformFile* file_from_handle(HANDLE handle) {
    return static_cast<PlatformFile*>(handle);
}

static HANDLE handle_of(PlatformFile* file) {
    return static_cast<HANDLE>(file);
}

PlatformFile* platform_open_read(const char* path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory cannot be opened, so a
    // directory path fails here as it must.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : file_from_handle(handle);
}

PlatformFile* platform_create(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : file_from_handle(handle);
}

long platform_read(PlatformFile* file, void* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(handle_of(file), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<long>(got);
}

bool platform_write(PlatformFile* file, const void* data, size_t size) {
    // WriteFile may succeed and still store fewer bytes than asked; that is a
    // failure too.
    DWORD wrote = 0;
    return WriteFile(handle_of(file), data, static_cast<DWORD>(size), &wrote, nullptr) &&
           wrote == size;
}

bool platform_close(PlatformFile* file) {
    return file == nullptr || CloseHandle(handle_of(file));
}

bool platform_has_separator(const char* text) {
    return strpbrk(text, "\\/") != nullptr;
}

bool platform_exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool platform_copy_file(const char* source, const char* target) {
    // A copy keeps the source's attributes, so a read-only launcher gives a
    // read-only copy, which CopyFileA then refuses to replace on the next
    // run; clearing the flag first lets every run replace every copy.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(target, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    // FALSE: an existing target is replaced.
    return CopyFileA(source, target, FALSE);
}

void platform_make_directory(const char* path) {
    CreateDirectoryA(path, nullptr);
}

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

// msvcrt's _startupinfo, and its parser of the wide command line: the rules
// by which the startup code made main's argv, so both count alike.
struct StartupInfo {
    int new_mode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                              int expand_wildcards, StartupInfo* info);
// Whether mingw-w64's startup code expanded wildcards in argv (0 unless
// CRT_glob.o is linked); the wide parse must do the same to keep the indexes.
extern "C" int _dowildcard;

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

// The wide form of argument `index` of the command line; false when the
// wide command line does not have it.
static bool wide_argument(int index, std::wstring* argument) {
    int count = 0;
    wchar_t** arguments = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo info = {0};
    if (__wgetmainargs(&count, &arguments, &environment, _dowildcard, &info) < 0 ||
        arguments == nullptr || index >= count) {
        return false;
    }
    argument->assign(arguments[index]);
    return true;
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
                                               : wide_argument(source, &wide);
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
