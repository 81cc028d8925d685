// Reading the release description and placing the launchers and boot scripts.
#include <cstdio>
#include <cstring>

#include "inifile/ini.h"
#include "installer.h"
#include "messages.h"
#include "platform.h"

std::string join_path(const std::string& directory, const char* name) {
    std::string path = directory;
    path += kPathSeparator;
    path += name;
    return path;
}

// Whether `value` of `key` names one directory: no separator, so nothing
// that leads out of the root, and for SYSTEM_VSN (`bare`) not "." or "..",
// which would name releases itself or the root. Says why when not.
static bool names_one_directory(const char* key, const char* value, bool bare, const char* path) {
    bool dots = bare && (strcmp(value, ".") == 0 || strcmp(value, "..") == 0);
    if (platform_has_separator(value) || dots) {
        print_error(kNotOneDirectory, key, path, value);
        return false;
    }
    return true;
}

// Takes VSN and SYSTEM_VSN from root/Install.ini and derives the directories.
// Each value is checked as soon as it is found, in the order of the messages.
static bool read_description(const std::string& root, Placement* placement,
                             std::string* release_dir) {
    std::string description_path = join_path(root, kDescriptionFile);
    const char* path = description_path.c_str();
    IniDocument* description = ini_load(path);
    if (description == nullptr) {
        print_error(kCannotOpenDescription, path);
        return false;
    }
    const IniSection* section = ini_find_section(description, kInstallSection);
    const char* version = section ? ini_get(section, kVersionKey) : nullptr;
    bool found = false;
    if (section == nullptr) {
        print_error(kNoInstallSection, path);
    } else if (version == nullptr) {
        print_error(kNoVersionKey, path);
    } else if (names_one_directory(kVersionKey, version, false, path)) {
        const char* system_version = ini_get(section, kSystemVersionKey);
        if (system_version == nullptr) {
            print_error(kNoSystemVersionKey, path);
        } else if (names_one_directory(kSystemVersionKey, system_version, true, path)) {
            // Copied: the values die with the description.
            placement->release_version = version;
            placement->runtime_bin =
                join_path(join_path(root, kRuntimePrefix) + version, kRuntimeBinDir);
            *release_dir = join_path(join_path(root, kReleasesDir), system_version);
            placement->bin_dir = join_path(root, kBinDir);
            found = true;
        }
    }
    ini_free_document(description);
    return found;
}

namespace {
enum class Copy { kDone, kSourceMissing, kFailed };
}  // namespace

bool copy_or_report(const std::string& source, const std::string& target, const char* outcome) {
    if (platform_copy_file(source.c_str(), target.c_str())) {
        return true;
    }
    print_error(kCannotCopyFile, source.c_str(), target.c_str());
    print_error("%s", outcome);
    return false;
}

// Copies file `name` from directory `from` to directory `to`; a missing
// source is reported here, a failed copy with `outcome`.
static Copy copy_listed_file(const std::string& from, const std::string& to, const char* name,
                             const char* outcome) {
    std::string source = join_path(from, name);
    if (!platform_exists(source.c_str())) {
        print_error(kCannotFindFile, source.c_str());
        return Copy::kSourceMissing;
    }
    return copy_or_report(source, join_path(to, name), outcome) ? Copy::kDone : Copy::kFailed;
}

bool place_files(const std::string& root, bool minimal_boot, Placement* placement) {
    std::string release_dir;
    if (!read_description(root, placement, &release_dir)) {
        return false;
    }
    // Not checked: on a repeated run the directory exists already, and any
    // other failure shows as failed copies below.
    platform_make_directory(placement->bin_dir.c_str());

    // A launcher that cannot be copied (one in use, say) does not stop the
    // installation; a missing one does.
    for (const char* launcher : kLauncherFiles) {
        if (copy_listed_file(placement->runtime_bin, placement->bin_dir, launcher, kContinuing) ==
            Copy::kSourceMissing) {
            return false;
        }
    }
    for (const char* boot : kBootFiles) {
        if (copy_listed_file(release_dir, placement->bin_dir, boot, kBailingOut) != Copy::kDone) {
            return false;
        }
    }
    const char* chosen = minimal_boot ? kMinimalBootFile : kFullBootFile;
    return copy_or_report(join_path(placement->bin_dir, chosen),
                          join_path(placement->bin_dir, kDefaultBootFile), kBailingOut);
}
