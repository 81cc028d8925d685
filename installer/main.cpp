// The installer's entry point: settle the root and the start-up choice, then
// place the files and write the launcher configuration.
#include <cstdio>
#include <string>

#include "installer.h"
#include "messages.h"
#include "platform.h"

static const int kSuccess = 0;
static const int kFailure = 1;

int main(int argc, char** argv) {
    CommandLine command_line = {false, false, std::string(), kRootFromExecutable};
    if (!parse_command_line(argc, argv, &command_line)) {
        return kFailure;
    }
    std::string root = command_line.root;
    if (!command_line.has_root && !root_from_executable(&root)) {
        return kFailure;
    }
    // Judged before anything else looks at the bytes: after a loss they
    // name some other folder.
    if (!root_is_exact(root, command_line.root_argument) || !root_is_recordable(root)) {
        return kFailure;
    }
    // A quiet run never reads standard input and takes the minimal start-up.
    bool minimal_boot = true;
    if (!command_line.quiet && !ask_minimal_boot(&minimal_boot)) {
        return kFailure;
    }
    Placement placement;
    if (!place_files(root, minimal_boot, &placement) ||
        !write_launcher_configuration(root, placement)) {
        return kFailure;
    }
    if (!command_line.quiet) {
        print_output(kInstalled, placement.release_version.c_str());
    }
    return kSuccess;
}
