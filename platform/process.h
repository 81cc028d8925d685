// The process services of the platform layer, which only the installer uses:
// its own path, and whether the root it was given reached it intact. One
// implementation per platform (process_posix.cpp, process_win32.cpp); they
// may use the C++ runtime.
#ifndef PLATFORM_PROCESS_H_
#define PLATFORM_PROCESS_H_

#include <string>

// Stores the full path of the running executable in `path`. Returns false,
// leaving `path` unspecified, when the platform cannot tell it in full.
bool platform_executable_path(std::string* path);

// Where the installer's root directory came from, for platform_root_is_exact.
// A positive value is the index of the root argument in main's argv.
constexpr int kRootFromExecutable = 0;

// Whether `root`, the root directory as the program holds it, reaches the
// file functions exactly as the user has it. `source` is the index in main's
// argv of the argument it was taken from, or kRootFromExecutable when it is
// the directory of the running executable. Windows hands a program its
// command line and its own path through the system's code page, which turns
// a character that the code page cannot hold into '?' or a look-alike
// (fullwidth U+FF41 into 'a' in code page 1252): the bytes then name another
// folder, or none. On such a loss this returns false and stores in `shown`
// the root as far as the code page can show it, each lost character as '?'.
// POSIX hands bytes over verbatim: always true.
bool platform_root_is_exact(const std::string& root, int source, std::string* shown);

#endif  // PLATFORM_PROCESS_H_
