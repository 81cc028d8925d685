// Every text the inifile command shows, defined once. Failures go to
// standard error, one line each, naming the file.
#ifndef COMMAND_MESSAGES_H_
#define COMMAND_MESSAGES_H_

// Exit statuses.
constexpr int kDone = 0;
constexpr int kNotFound = 1;  // get: no such section or key; check: a file fails
constexpr int kTrouble = 2;   // usage, reading or writing, an unrepresentable value

// The file name that stands for standard input.
constexpr char kStandardInput[] = "-";

constexpr char kUsage[] =
    "usage: inifile get FILE SECTION KEY        print the value\n"
    "       inifile set FILE SECTION KEY VALUE  set it in place, keeping every other byte\n"
    "       inifile del FILE SECTION KEY        remove the entry in place\n"
    "       inifile sections FILE               list the section names\n"
    "       inifile keys FILE SECTION           list the keys of a section\n"
    "       inifile check FILE...               report each file that does not load\n"
    "       inifile --help | --version\n"
    "FILE may be - (standard input) for get, sections, keys and check.\n"
    "Exit status: 0 done, 1 not found (get) or a file fails (check), 2 trouble.\n";
constexpr char kVersion[] = "inifile %s\n";

constexpr char kBadUsage[] = "inifile: %s\n";
constexpr char kUnknownCommand[] = "unknown command '%s' (see inifile --help)";
constexpr char kWrongCount[] = "wrong number of arguments for '%s' (see inifile --help)";
constexpr char kNoStandardInput[] = "'%s' edits a file in place: FILE cannot be -";

constexpr char kCannotOpen[] = "inifile: %s: cannot open the file\n";
constexpr char kDoesNotLoad[] = "inifile: %s:%ld: %s\n";  // file, line, reason
constexpr char kCheckFailed[] = "%s:%ld: %s\n";           // check's own report
constexpr char kNoSection[] = "inifile: %s: no section [%s]\n";
constexpr char kNoKey[] = "inifile: %s: no key %s in section [%s]\n";
constexpr char kEditFailed[] = "inifile: %s: %s\n";  // file, the edit's result

#endif  // COMMAND_MESSAGES_H_
