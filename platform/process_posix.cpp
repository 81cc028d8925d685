// POSIX process services: the running executable's own path. Command-line
// bytes reach the program verbatim, so a root is always exact.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "process.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#elif defined(__FreeBSD__) || defined(__DragonFly__)
#include <sys/sysctl.h>
#endif

#if defined(__APPLE__)
bool platform_executable_path(std::string* path) {
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1);
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
        return false;
    }
    char* resolved = realpath(buffer.data(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    path->assign(resolved);
    free(resolved);
    return true;
}
#elif defined(__FreeBSD__) || defined(__DragonFly__)
bool platform_executable_path(std::string* path) {
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PATHNAME, -1};
    size_t size = 0;
    if (sysctl(query, 4, nullptr, &size, nullptr, 0) != 0) {
        return false;
    }
    std::vector<char> buffer(size);
    if (sysctl(query, 4, buffer.data(), &size, nullptr, 0) != 0) {
        return false;
    }
    path->assign(buffer.data());
    return true;
}
#else
// Linux, and other systems that keep a link to the running executable in /proc.
#if defined(__NetBSD__)
static const char kSelfLink[] = "/proc/curproc/exe";
#else
static const char kSelfLink[] = "/proc/self/exe";
#endif

bool platform_executable_path(std::string* path) {
    // readlink() truncates silently; a result that fills the buffer may have
    // been cut, so the buffer doubles until the link fits with room to spare.
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        ssize_t length = readlink(kSelfLink, buffer.data(), buffer.size());
        if (length < 0) {
            return false;
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            path->assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}
#endif

bool platform_root_is_exact(const std::string&, int, std::string*) {
    // No code page stands between the command line, the kernel and the file
    // functions: whatever bytes the user gave are the bytes used.
    return true;
}
