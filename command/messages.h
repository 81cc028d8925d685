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

// Options, before the command and after it; a value after "=" or as the
// next argument.
constexpr char kEndOfOptions[] = "--";
constexpr char kHelpOption[] = "--help";
constexpr char kShortHelpOption[] = "-h";
constexpr char kVersionOption[] = "--version";
constexpr char kDialectOption[] = "--dialect";
constexpr char kWaitOption[] = "--wait";  // seconds an edit waits for another
constexpr char kIgnoreCaseOption[] = "--ignore-case";
constexpr char kInlineCommentsOption[] = "--inline-comments";
constexpr char kAllowNoValueOption[] = "--allow-no-value";
constexpr char kFormatOption[] = "--format";
constexpr char kTypeOption[] = "--type";
constexpr char kVerboseOption[] = "--verbose";
constexpr char kShortVerboseOption[] = "-v";
constexpr char kExistingOption[] = "--existing";
constexpr char kAllOption[] = "--all";
constexpr char kInPlaceOption[] = "--in-place";
constexpr char kUncommentOption[] = "--uncomment";
constexpr char kListAddOption[] = "--list-add";
constexpr char kListDelOption[] = "--list-del";
constexpr char kListSeparatorOption[] = "--list-sep";
constexpr char kDryRunOption[] = "--dry-run";
constexpr char kShortDryRunOption[] = "-n";
constexpr char kDiffOption[] = "--diff";
constexpr char kNoExtraSpacesOption[] = "--no-extra-spaces";

// Seconds an edit waits for another edit of the same file, unless told.
constexpr long kLargestWaitSeconds = 24 * 60 * 60;

constexpr char kUsage[] =
    "usage: inifile [OPTIONS] COMMAND [OPTIONS] [--] ARGUMENTS\n"
    "\n"
    "  get [--format=ini|lines|sh|json] FILE [SECTION [KEY]]\n"
    "      the value of KEY; without KEY the section, without SECTION the whole\n"
    "      file, as the writer writes it (ini), as '[section] key = value' lines\n"
    "      (line feeds and backslashes escaped), as key='value' lines for eval\n"
    "      (sh, with a SECTION), or as JSON\n"
    "  get --all FILE SECTION KEY     every value of a repeated KEY, in file order\n"
    "  get --type=integer|real|boolean FILE SECTION KEY\n"
    "      the value read as that type, printed normalised\n"
    "  set [--existing] [--uncomment] FILE SECTION KEY VALUE\n"
    "      set KEY to VALUE in place, keeping every other byte (a missing FILE is\n"
    "      created); --existing: only an entry that is there; --uncomment: an\n"
    "      absent KEY takes the place of a line that comments it out\n"
    "  set --all FILE SECTION KEY VALUE...    KEY holds exactly these values\n"
    "  set --list-add|--list-del [--list-sep=C] FILE SECTION KEY ITEM\n"
    "      add ITEM to the list KEY holds, or remove it (items separated by C, ',')\n"
    "  set FILE SECTION       add SECTION where there is none\n"
    "  add FILE SECTION KEY VALUE     one more entry of KEY, after its last one\n"
    "  del [--all] FILE SECTION [KEY]\n"
    "      remove KEY (with --all every entry of it in the module format); without\n"
    "      KEY, SECTION with all its lines\n"
    "  merge FILE [FROM]      set every entry of FROM (standard input without it)\n"
    "                         in FILE, in one edit: all of them or none\n"
    "  sections FILE          the section names, one a line\n"
    "  keys FILE SECTION      the keys of SECTION, one a line\n"
    "  check FILE...          FILE:LINE: reason on standard output, for each file\n"
    "                         that does not load\n"
    "  --help | -h | --version\n"
    "\n"
    "Options, before or after the command:\n"
    "  --dialect=common|module   common (the default) reads what most\n"
    "      configuration files are written in, as Python's configparser does:\n"
    "      '#' and ';' comment lines, '=' or ':', indented continuation lines,\n"
    "      no escapes, the last of a repeated key wins; module is the format the\n"
    "      installer writes (Install.ini, vnt.ini): escapes, ';' comments\n"
    "      anywhere, the first of a repeated key wins\n"
    "  --ignore-case             match sections and keys without regard to case\n"
    "  --inline-comments         a ';' or '#' after a blank starts a comment\n"
    "  --allow-no-value          a line without '=' or ':' is a key without a value\n"
    "  --wait=SECONDS            how long an edit waits for another edit (10)\n"
    "  -v, --verbose             say 'FILE: changed' or 'FILE: unchanged'\n"
    "Options of set, add, del and merge:\n"
    "  -n, --dry-run             write nothing; print the diff of what would change\n"
    "  --diff                    print the diff of what the edit changed\n"
    "  --in-place                write over the file itself (its inode kept)\n"
    "  --no-extra-spaces         new entries as key=value where the file shows\n"
    "                            no style of its own (else as its entries are)\n"
    "\n"
    "FILE - is standard input; an edit then writes the edited text (or its\n"
    "diff) to standard output.\n"
    "Exit status, for every command: 0 done (an edit changed the file or found\n"
    "it as asked); 1 not found (a section or key that get, keys, del, set\n"
    "--existing or --list-del needs; check: a file that does not load); 2\n"
    "trouble (usage, reading, writing, a value the format cannot hold).\n";
constexpr char kVersion[] = "inifile %s\n";

constexpr char kBadUsage[] = "inifile: %s\n";
constexpr char kUnknownCommand[] = "unknown command '%s' (see inifile --help)";
constexpr char kUnknownOption[] = "unknown option '%s' (see inifile --help)";
constexpr char kBadDialect[] = "--dialect is common or module, not '%s'";
constexpr char kNeedsValue[] = "%s needs a value";
constexpr char kNotForCommand[] = "%s is not an option of '%s' (see inifile --help)";
constexpr char kBadListSeparator[] = "--list-sep is one character, not '%s'";
constexpr char kBadWait[] = "--wait takes whole seconds from 0 to 86400, not '%s'";
constexpr char kBadFormat[] = "--format is ini, lines, sh or json, not '%s'";
constexpr char kBadType[] = "--type is integer, real or boolean, not '%s'";
constexpr char kWrongCount[] = "wrong number of arguments for '%s' (see inifile --help)";
constexpr char kFormatNeedsNoKey[] = "--format is for a section or a whole file, not '%s'";
constexpr char kTypeNeedsKey[] = "--type reads one value: it needs a KEY, and no --format";
constexpr char kShellNeedsSection[] = "--format=sh prints one section: it needs a SECTION";
constexpr char kAllNeedsKey[] = "--all is for the entries of a KEY: it needs one";
constexpr char kListNeedsOne[] = "--list-add and --list-del change one KEY's list";
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
// file, what the format cannot hold and why
constexpr char kNotRepresentable[] = "inifile: %s: cannot write that as it is: %s\n";
constexpr char kCheckCannotOpen[] = "%s: %s: %s\n";  // check: file, what failed, the reason
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
