// The installer's stages. Each one that can fail prints its own messages to
// standard error and returns false; main turns that into exit status 1.
#ifndef INSTALLER_INSTALLER_H_
#define INSTALLER_INSTALLER_H_

#include <string>

// What the command line settles.
struct CommandLine {
    bool quiet;         // -s: no question, no success line
    bool has_root;      // a root directory was given
    std::string root;   // that root, verbatim
    int root_argument;  // its index in argv, when given
};

// Walks the arguments (argv[1] .. argv[argc - 1]), stopping at the first fault.
bool parse_command_line(int argc, char** argv, CommandLine* command_line);

// The directory holding the running executable, without a trailing separator.
bool root_from_executable(std::string* root);

// False (after saying why) for a root that vnt.ini could not record as it is:
// one with a line break, or with a space at either end, would read back as a
// different path.
bool root_is_recordable(const std::string& root);

// False (after saying why) for a root that the system's code page could not
// hand over exactly as the user has it: the file functions would reach
// another folder or none. `source` is the root's index in argv, or
// kRootFromExecutable.
bool root_is_exact(const std::string& root, int source);

// Asks whether the minimal start-up is wanted and reads one answer line.
// False when no answer can be read.
bool ask_minimal_boot(bool* minimal_boot);

// What placing the files hands on to writing the launcher configuration.
struct Placement {
    std::string release_version;  // the VSN value
    std::string runtime_bin;      // root/vrun-VSN/bin
    std::string bin_dir;          // root/bin
};

// Reads root/Install.ini, creates root/bin, copies the launchers and boot
// scripts into it and installs the chosen start.boot.
bool place_files(const std::string& root, bool minimal_boot, Placement* placement);

// Writes vnt.ini into the runtime's bin directory and copies it to root/bin.
bool write_launcher_configuration(const std::string& root, const Placement& placement);

// Copies `source` over `target`; on failure says so, then `outcome` (whether
// the installation goes on), and returns false.
bool copy_or_report(const std::string& source, const std::string& target, const char* outcome);

// Prints `format` with its arguments to standard error (print_error) or
// output (print_output), text in the system's code page, as a console shows
// it; redirected output gets the bytes as they are.
void print_error(const char* format, ...);
void print_output(const char* format, ...);

// `directory`, the platform's separator, `name`.
std::string join_path(const std::string& directory, const char* name);

#endif  // INSTALLER_INSTALLER_H_
