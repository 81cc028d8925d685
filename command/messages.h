// Every text the inifile command shows, defined once. Failures go to
// standard error, one line each, naming the file and the system's reason.
#ifndef COMMAND_MESSAGES_H_
#define COMMAND_MESSAGES_H_

// Exit statuses, the same for every command.
constexpr int kDone = 0;
constexpr int kNotFound = 1;  // a section or key, or check: a file that does not load
constexpr int kTrouble = 2;   // usage, reading or writing, an unrepresentable value

// The file name that stands for standard input.
constexpr char kStandardInput[] = "-";

// Options.
constexpr char kEndOfOptions[] = "--";
constexpr char kHelpOption[] = "--help";
constexpr char kShortHelpOption[] = "-h";
constexpr char kVersionOption[] = "--version";
constexpr char kWaitOption[] = "--wait=";  // seconds an edit waits for another
constexpr char kDialectOption[] = "--dialect=";

// Seconds an edit waits for another edit of the same file, unless told.
constexpr long kDefaultWaitSeconds = 10;
constexpr long kLargestWaitSeconds = 24 * 60 * 60;

constexpr char kUsage[] =
    "usage: inifile [--dialect=module|common] [--wait=SECONDS] COMMAND [--] ARGUMENTS\n"
    "       inifile get FILE SECTION KEY        print the value\n"
    "       inifile set FILE SECTION KEY VALUE  set it in place, keeping every other byte\n"
    "       inifile del FILE SECTION KEY        remove the entry in place\n"
    "       inifile sections FILE               list the section names\n"
    "       inifile keys FILE SECTION           list the keys of a section\n"
    "       inifile check FILE...               report each file that does not load\n"
    "       inifile --help | -h | --version     (and inifile COMMAND --help)\n"
    "FILE may be - (standard input) for get, sections, keys and check.\n"
    "--dialect=common reads what most configuration files are written in:\n"
    "'#' and ';' comment lines, '=' or ':', indented continuation lines, no\n"
    "escapes; module (the default) is the format the installer writes.\n"
    "set and del edit one file at a time: they wait up to SECONDS (10) for\n"
    "another edit of the same file to end.\n"
    "Exit status: 0 done, 1 not found (a section, a key; check: a file that\n"
    "does not load), 2 trouble (usage, reading, writing, a value the format\n"
    "cannot hold).\n";
constexpr char kVersion[] = "inifile %s\n";

constexpr char kBadUsage[] = "inifile: %s\n";
constexpr char kUnknownCommand[] = "unknown command '%s' (see inifile --help)";
constexpr char kUnknownOption[] = "unknown option '%s' (see inifile --help)";
constexpr char kBadDialect[] = "--dialect is module or common, not '%s'";
constexpr char kBadWait[] = "--wait takes whole seconds from 0 to 86400, not '%s'";
constexpr char kWrongCount[] = "wrong number of arguments for '%s' (see inifile --help)";
constexpr char kNoStandardInput[] = "'%s' edits a file in place: FILE cannot be -";

// The file (or "standard input"), what failed, the system's reason.
constexpr char kFailedWithReason[] = "inifile: %s: %s: %s\n";
constexpr char kStandardInputName[] = "standard input";
constexpr char kStandardOutputName[] = "standard output";
constexpr char kCannotRead[] = "cannot read";
constexpr char kCannotWrite[] = "cannot write";
constexpr char kCannotOpen[] = "cannot open the file";

constexpr char kDoesNotLoad[] = "inifile: %s:%ld: %s\n";  // file, line, reason
constexpr char kCheckFailed[] = "%s:%ld: %s\n";           // check's own report
constexpr char kNoSection[] = "inifile: %s: no section [%s]\n";
constexpr char kNoKey[] = "inifile: %s: no key %s in section [%s]\n";
constexpr char kEditFailed[] = "inifile: %s: %s\n";  // file, the edit's result

#endif  // COMMAND_MESSAGES_H_
