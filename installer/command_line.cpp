// The command line and the root directory.
#include <cstdio>
#include <cstring>

#include "installer.h"
#include "messages.h"
#include "platform.h"

bool parse_command_line(int argc, char** argv, CommandLine* command_line) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] == '-') {
            // Only the second character counts, so -silent is -s too.
            if (argument[1] != kQuietSwitch) {
                print_error(kUnknownSwitch, argument);
                return false;
            }
            command_line->quiet = true;
        } else if (command_line->has_root) {
            print_error(kSecondRoot, argument);
            return false;
        } else {
            command_line->has_root = true;
            command_line->root = argument;
            command_line->root_argument = i;
        }
    }
    return true;
}

bool root_from_executable(std::string* root) {
    std::string path;
    if (!platform_executable_path(&path)) {
        print_error("%s", kNoModuleFileName);
        return false;
    }
    // Cut by character: in a double-byte code page a trail byte may look
    // like the separator.
    size_t separator = platform_last_separator(path.c_str());
    if (separator == size_t(-1)) {
        print_error("%s", kBrokenModuleFileName);
        return false;
    }
    // An executable directly under the top directory gives an empty root.
    root->assign(path, 0, separator);
    return true;
}

bool root_is_recordable(const std::string& root) {
    bool recordable = root.find_first_of("\r\n") == std::string::npos &&
                      (root.empty() || (root.front() != ' ' && root.back() != ' '));
    if (!recordable) {
        print_error(kUnrecordableRoot, root.c_str());
    }
    return recordable;
}

bool root_is_exact(const std::string& root, int source) {
    std::string shown;
    if (!platform_root_is_exact(root, source, &shown)) {
        print_error(kInexactRoot, shown.c_str());
        return false;
    }
    return true;
}
