// Every text the inifile command shows, defined once. Failures go to
// standard error, one line each, naming the file and the system's reason.
#ifndef COMMAND_MESSAGES_H_
#define COMMAND_MESSAGES_H_

// Exit statuses, the same for every command.
constexpr int kDone = 0;
constexpr int kNotFound = 1;  // a section or key, or check: a file that does not load
constexpr int kTrouble = 2;   // usage, reading or writing, an unrepresentable value

// The file name that stands for standard input (and, for an edit, output).
constexpr char kStandardInput[] = "-";

// Options, before the command and after it.
constexpr char kEndOfOptions[] = "--";
constexpr char kHelpOption[] = "--help";
constexpr char kShortHelpOption[] = "-h";
constexpr char kVersionOption[] = "--version";
constexpr char kDialectOption[] = "--dialect=";
constexpr char kWaitOption[] = "--wait=";  // seconds an edit waits for another
constexpr char kFormatOption[] = "--format=";
constexpr char kTypeOption[] = "--type=";
constexpr char kVerboseOption[] = "--verbose";
constexpr char kShortVerboseOption[] = "-v";
constexpr char kExistingOption[] = "--existing";
constexpr char kAllOption[] = "--all";
constexpr char kInPlaceOption[] = "--in-place";

// Seconds an edit waits for another edit of the same file, unless told.
constexpr long kDefaultWaitSeconds = 10;
constexpr long kLargestWaitSeconds = 24 * 60 * 60;

constexpr char kUsage[] =
    "usage: inifile [--dialect=module|common] [--wait=SECONDS] COMMAND [OPTIONS] [--] ARGUMENTS\n"
    "\n"
    "  get [--format=ini|lines|sh|json] FILE [SECTION [KEY]]\n"
    "      the value of KEY; without KEY the section, without SECTION the\n"
    "      whole file, as the writer writes it (ini), as '[section] key = value'\n"
    "      lines, as key='value' lines for eval (sh, with a SECTION), or as JSON\n"
    "  get --type=integer|real|boolean FILE SECTION KEY\n"
    "      the value read as that type, printed normalised\n"
    "  set [-v] [--existing] [--in-place] FILE SECTION [KEY VALUE]\n"
    "      set KEY to VALUE in place, keeping every other byte (a missing FILE\n"
    "      is created); without KEY, add SECTION where there is none; with\n"
    "      --existing, only change an entry that is there\n"
    "  del [-v] [--all] [--in-place] FILE SECTION [KEY]\n"
    "      remove the first entry of KEY (with --all, every one); without KEY,\n"
    "      the first SECTION with all its lines\n"
    "  merge [-v] [--in-place] FILE [FROM]\n"
    "      set every entry of FROM (standard input without it) in FILE, section\n"
    "      by section, in one edit: all of them or none\n"
    "  sections FILE          the section names, one a line\n"
    "  keys FILE SECTION      the keys of SECTION, one a line\n"
    "  check FILE...          FILE:LINE: reason, for each file that does not load\n"
    "  --help | -h | --version   (and inifile COMMAND --help)\n"
    "\n"
    "--dialect=common reads what most configuration files are written in: '#'\n"
    "and ';' comment lines, '=' or ':', indented continuation lines, no\n"
    "escapes; module (the default) is the format the installer writes.\n"
    "--wait: how long an edit waits for another edit of the same file (10).\n"
    "-v, --verbose: say 'FILE: changed' or 'FILE: unchanged' on standard error.\n"
    "--in-place: write over the file itself (its inode kept), a copy of the old\n"
    "text beside it until the new one is on the disk; without it the file is\n"
    "replaced whole, owner, mode, ACLs and attributes kept.\n"
    "FILE - is standard input; set, del and merge then write the edited text\n"
    "to standard output.\n"
    "Exit status: 0 done, 1 not found (a section, a key; check: a file that\n"
    "does not load), 2 trouble (usage, reading, writing, a value the format\n"
    "cannot hold).\n";
constexpr char kVersion[] = "inifile %s\n";

constexpr char kBadUsage[] = "inifile: %s\n";
constexpr char kUnknownCommand[] = "unknown command '%s' (see inifile --help)";
constexpr char kUnknownOption[] = "unknown option '%s' (see inifile --help)";
constexpr char kBadDialect[] = "--dialect is module or common, not '%s'";
constexpr char kBadWait[] = "--wait takes whole seconds from 0 to 86400, not '%s'";
constexpr char kBadFormat[] = "--format is ini, lines, sh or json, not '%s'";
constexpr char kBadType[] = "--type is integer, real or boolean, not '%s'";
constexpr char kWrongCount[] = "wrong number of arguments for '%s' (see inifile --help)";
constexpr char kFormatNeedsNoKey[] = "--format is for a section or a whole file, not '%s'";
constexpr char kTypeNeedsKey[] = "--type reads one value: it needs a KEY, and no --format";
constexpr char kShellNeedsSection[] = "--format=sh prints one section: it needs a SECTION";
constexpr char kAllNeedsKey[] = "--all removes the entries of a KEY: it needs one";
constexpr char kMergeFromInput[] =
    "merge of - reads the file from standard input: FROM must be a file";

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
// file, its folder, the system's reason
constexpr char kFolderRefused[] = "inifile: %s: cannot write in its folder %s: %s\n";
// file, the warning, the system's reason
constexpr char kEditWarning[] = "inifile: %s: warning: %s: %s\n";
constexpr char kCannotFormat[] = "inifile: %s: %s\n";  // file, what the format cannot carry
constexpr char kNotAShellName[] = "--format=sh cannot carry a key that is not a shell name: ";
constexpr char kNotUtf8[] = "--format=json cannot carry text that is not UTF-8";
// file, line, key, value, the type, why not
constexpr char kNotOfType[] = "inifile: %s:%ld: %s = '%s' cannot be read as %s: %s\n";
constexpr char kChanged[] = "%s: changed\n";
constexpr char kUnchanged[] = "%s: unchanged\n";

#endif  // COMMAND_MESSAGES_H_
