// inifile: reads and edits INI files in place, for scripts. Bytes go out as
// they are stored, with no conversion.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "files.h"
#include "formats.h"
#include "inifile/ini.h"
#include "messages.h"
#include "names.h"
#include "streams.h"
#include "typed.h"

#ifndef INIFILE_VERSION
#define INIFILE_VERSION "unknown"
#endif

namespace {

// The names of the dialects, as --dialect takes them.
constexpr Named<IniDialect> kDialects[] = {{"module", INI_DIALECT_MODULE},
                                           {"common", INI_DIALECT_COMMON}};

// What the options say: those before the command, then the command's own.
struct Options {
    IniDialect dialect = INI_DIALECT_MODULE;
    long wait_ms = kDefaultWaitSeconds * 1000;
    bool has_format = false;
    Format format = Format::kIni;
    bool has_type = false;
    ValueType type = ValueType::kInteger;
    bool verbose = false;
    bool existing = false;
    bool all = false;
    bool in_place = false;
};

// The options a command takes after its name.
enum Accepts : unsigned {
    kFormat = 1,
    kType = 2,
    kVerbose = 4,
    kExisting = 8,
    kAll = 16,
    kInPlace = 32
};

// One command: its name, the options it takes, how many arguments, and
// whether it only reads (and so may read standard input).
struct Command {
    const char* name;
    unsigned accepts;
    int fewest;
    int most;  // -1: any number
    int (*run)(const Options& options, int count, char** arguments, Output* out);
};

// The module's options for a load or an edit.
IniOptions module_options(const Options& options) {
    IniOptions chosen = {};
    chosen.dialect = options.dialect;
    chosen.edit_wait_ms = options.wait_ms > 0 ? int32_t(options.wait_ms) : -1;
    return chosen;
}

// Says on standard error that `what` failed for `name`, with the system's
// reason: the exit status of such a failure.
int fail(const char* name, const char* what, const std::string& reason) {
    fprintf(stderr, kFailedWithReason, name, what, reason.c_str());
    return kTrouble;
}

int usage_error(const char* format, const char* word) {
    char message[512];
    snprintf(message, sizeof message, format, word);
    fprintf(stderr, kBadUsage, message);
    return kTrouble;
}

bool is_standard_input(const char* path) {
    return strcmp(path, kStandardInput) == 0;
}

// The bytes of `path` ("-": standard input) in `text`, or false after
// saying why (`status` then holds the exit status).
bool read_text(const char* path, std::string* text, int* status) {
    std::string reason;
    if (is_standard_input(path)) {
        if (!read_standard_input(text, &reason)) {
            *status = fail(kStandardInputName, kCannotRead, reason);
            return false;
        }
        return true;
    }
    bool opened = false;
    if (!read_file(path, text, &reason, &opened)) {
        *status = fail(path, opened ? kCannotRead : kCannotOpen, reason);
        return false;
    }
    return true;
}

// The document in `path` ("-": standard input), or null after saying why on
// standard error (`status` then holds the exit status). `check` reports a
// load failure in check's own form. `text`, when not null, gets the bytes.
IniDocument* load(const Options& options, const char* path, bool check, int* status,
                  std::string* text = nullptr) {
    IniOptions chosen = module_options(options);
    IniLoadReport report;
    IniDocument* document;
    if (is_standard_input(path) || text != nullptr) {
        std::string bytes;
        std::string* kept = text != nullptr ? text : &bytes;
        if (!read_text(path, kept, status)) {
            return nullptr;
        }
        document = ini_load_text_with(kept->data(), kept->size(), &chosen, &report);
    } else {
        document = ini_load_file_with(path, &chosen, &report);
    }
    if (document != nullptr) {
        return document;
    }
    if (report.error == INI_LOAD_CANNOT_OPEN || report.error == INI_LOAD_CANNOT_READ) {
        const char* what = report.error == INI_LOAD_CANNOT_OPEN ? kCannotOpen : kCannotRead;
        *status = fail(path, what, ini_system_error());
    } else {
        fprintf(stderr, check ? kCheckFailed : kDoesNotLoad, path, static_cast<long>(report.line),
                ini_load_error_text(report.error));
        *status = check ? kNotFound : kTrouble;
    }
    return nullptr;
}

// Writes `text` and a line feed, bytes as they are.
void print_line(Output* out, const char* text) {
    out->write(text, strlen(text));
    out->write("\n", 1);
}

// The first section named `name`, or null after saying so.
IniSection* find_section(IniDocument* document, const char* path, const char* name) {
    IniSection* section = ini_find_section(document, name);
    if (section == nullptr) {
        fprintf(stderr, kNoSection, path, name);
    }
    return section;
}

// Prints one value: as it is stored, or read as --type says.
int get_value(const Options& options, IniDocument* document, const char* path,
              const std::string& text, char** arguments, Output* out) {
    IniSection* section = find_section(document, path, arguments[1]);
    if (section == nullptr) {
        return kNotFound;
    }
    const char* value = ini_get(section, arguments[2]);
    if (value == nullptr) {
        fprintf(stderr, kNoKey, path, arguments[2], arguments[1]);
        return kNotFound;
    }
    if (!options.has_type) {
        print_line(out, value);
        return kDone;
    }
    std::string shown;
    IniValueStatus status = read_typed(section, arguments[2], options.type, &shown);
    if (status != INI_VALUE_OK) {
        IniOptions chosen = module_options(options);
        long line = ini_entry_line(text.data(), text.size(), &chosen, arguments[1], arguments[2]);
        fprintf(stderr, kNotOfType, path, line, arguments[2], value, type_name(options.type),
                ini_value_status_text(status));
        return kTrouble;
    }
    print_line(out, shown.c_str());
    return kDone;
}

int run_get(const Options& options, int count, char** arguments, Output* out) {
    if (options.has_type && (count != 3 || options.has_format)) {
        return usage_error(kTypeNeedsKey, "");
    }
    if (options.has_format && count == 3) {
        return usage_error(kFormatNeedsNoKey, arguments[2]);
    }
    if (options.format == Format::kShell && count < 2) {
        return usage_error(kShellNeedsSection, "");
    }
    int status = kNotFound;
    std::string text;
    const char* path = arguments[0];
    IniDocument* document = load(options, path, false, &status, options.has_type ? &text : nullptr);
    if (document == nullptr) {
        return status;
    }
    if (count == 3) {
        status = get_value(options, document, path, text, arguments, out);
    } else {
        // One section is shown through a document that holds it alone.
        IniSection* section = count == 2 ? find_section(document, path, arguments[1]) : nullptr;
        IniDocument alone = {1, 1, &section};
        std::string formatted;
        std::string refusal;
        status = kNotFound;
        if (count == 1 || section != nullptr) {
            bool carried = format_sections(count == 1 ? document : &alone, options.format,
                                           module_options(options), &formatted, &refusal);
            if (!carried) {
                fprintf(stderr, kCannotFormat, path, refusal.c_str());
            }
            out->write(formatted);
            status = carried ? kDone : kTrouble;
        }
    }
    ini_free_document(document);
    return status;
}

int run_sections(const Options& options, int, char** arguments, Output* out) {
    int status = kDone;
    IniDocument* document = load(options, arguments[0], false, &status);
    for (int i = 0; document != nullptr && i < document->count; ++i) {
        print_line(out, ini_section_name_at(document, i));
    }
    ini_free_document(document);
    return status;
}

int run_keys(const Options& options, int, char** arguments, Output* out) {
    int status = kNotFound;
    IniDocument* document = load(options, arguments[0], false, &status);
    IniSection* section = document ? find_section(document, arguments[0], arguments[1]) : nullptr;
    for (int i = 0; section != nullptr && i < section->count; ++i) {
        print_line(out, ini_key_at(section, i));
    }
    status = section != nullptr ? kDone : status;
    ini_free_document(document);
    return status;
}

int run_check(const Options& options, int, char** arguments, Output*) {
    int status = kDone;
    for (; *arguments != nullptr; ++arguments) {
        int file_status = kDone;
        ini_free_document(load(options, *arguments, true, &file_status));
        status = file_status > status ? file_status : status;
    }
    return status;
}

// The folder of `path`, as the messages name it: "." for a bare name.
std::string folder_of(const char* path) {
    const char* last = nullptr;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '/' || *at == kPathSeparator) {
            last = at;
        }
    }
    return last == nullptr ? std::string(".") : std::string(path, size_t(last - path) + 1);
}

// The exit status, and the message, of an edit's result. `edits` names the
// entry an INI_EDIT_EXISTING set did not find.
int edit_status(IniEditResult result, const char* path, const IniLoadReport& report,
                const IniEdit* edits) {
    switch (result) {
        case INI_EDIT_CHANGED:
            if (const char* warning = ini_edit_warning()) {
                fprintf(stderr, kEditWarning, path, warning, ini_system_error());
            }
            return kDone;
        case INI_EDIT_UNCHANGED:
            return kDone;
        case INI_EDIT_FOLDER_REFUSED:
            fprintf(stderr, kFolderRefused, path, folder_of(path).c_str(), ini_system_error());
            return kTrouble;
        case INI_EDIT_CANNOT_OPEN:
            return fail(path, kCannotOpen, ini_system_error());
        case INI_EDIT_CANNOT_READ:
            return fail(path, kCannotRead, ini_system_error());
        case INI_EDIT_CANNOT_WRITE:
            return fail(path, kCannotWrite, ini_system_error());
        case INI_EDIT_DOES_NOT_LOAD:
            fprintf(stderr, kDoesNotLoad, path, static_cast<long>(report.line),
                    ini_load_error_text(report.error));
            return kTrouble;
        case INI_EDIT_NOT_FOUND:
            fprintf(stderr, kNoKey, path, edits->key, edits->section);
            return kNotFound;
        default:
            fprintf(stderr, kEditFailed, path, ini_edit_result_text(result));
            return kTrouble;
    }
}

// Makes `edits` in the file at `path`, in place (creating it where it is
// missing and `create` says so), or, where `path` is "-", in the text on
// standard input, which goes to standard output edited or not.
int edit(const Options& options, const char* path, const std::vector<IniEdit>& edits, bool create,
         Output* out) {
    IniOptions chosen = module_options(options);
    chosen.flags = (create ? INI_CREATE_MISSING : 0) | (options.in_place ? INI_IN_PLACE : 0);
    IniLoadReport report;
    IniEditResult result;
    if (is_standard_input(path)) {
        std::string text;
        int status = kDone;
        if (!read_text(path, &text, &status)) {
            return status;
        }
        char* edited = nullptr;
        size_t size = 0;
        result = ini_edit_text_with(text.data(), text.size(), edits.data(), edits.size(), &chosen,
                                    &edited, &size, &report);
        if (result == INI_EDIT_CHANGED) {
            out->write(edited, size);
        } else if (result == INI_EDIT_UNCHANGED) {
            out->write(text);
        }
        ini_free_text(edited);
    } else {
        result = ini_edit_file_with(path, edits.data(), edits.size(), &chosen, &report);
    }
    if (options.verbose && (result == INI_EDIT_CHANGED || result == INI_EDIT_UNCHANGED)) {
        fprintf(stderr, result == INI_EDIT_CHANGED ? kChanged : kUnchanged, path);
    }
    return edit_status(result, path, report, edits.data());
}

int run_set(const Options& options, int count, char** arguments, Output* out) {
    if (count == 3) {
        return usage_error(kWrongCount, "set");
    }
    if (count == 2) {
        return edit(options, arguments[0],
                    {{INI_EDIT_ADD_SECTION, arguments[1], nullptr, nullptr, 0}}, true, out);
    }
    unsigned flags = options.existing ? INI_EDIT_EXISTING : 0;
    return edit(options, arguments[0],
                {{INI_EDIT_SET, arguments[1], arguments[2], arguments[3], flags}}, true, out);
}

int run_del(const Options& options, int count, char** arguments, Output* out) {
    if (options.all && count != 3) {
        return usage_error(kAllNeedsKey, "");
    }
    if (count == 2) {
        return edit(options, arguments[0],
                    {{INI_EDIT_REMOVE_SECTION, arguments[1], nullptr, nullptr, 0}}, false, out);
    }
    IniEditKind kind = options.all ? INI_EDIT_REMOVE_ALL : INI_EDIT_REMOVE_KEY;
    return edit(options, arguments[0], {{kind, arguments[1], arguments[2], nullptr, 0}}, false,
                out);
}

int run_merge(const Options& options, int count, char** arguments, Output* out) {
    const char* from = count == 2 ? arguments[1] : kStandardInput;
    if (is_standard_input(arguments[0]) && is_standard_input(from)) {
        return usage_error(kMergeFromInput, "");
    }
    int status = kTrouble;
    IniDocument* merged = load(options, from, false, &status);
    if (merged == nullptr) {
        return status;
    }
    std::vector<IniEdit> edits;
    for (int32_t i = 0; i < merged->count; ++i) {
        const IniSection* section = merged->sections[i];
        edits.push_back({INI_EDIT_ADD_SECTION, section->name, nullptr, nullptr, 0});
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            edits.push_back({INI_EDIT_SET, section->name, entry->key, entry->value, 0});
        }
    }
    status = edit(options, arguments[0], edits, true, out);
    ini_free_document(merged);
    return status;
}

const Command kCommands[] = {
    {"get", kFormat | kType, 1, 3, run_get},
    {"set", kVerbose | kExisting | kInPlace, 2, 4, run_set},
    {"del", kVerbose | kAll | kInPlace, 2, 3, run_del},
    {"merge", kVerbose | kInPlace, 1, 2, run_merge},
    {"sections", 0, 1, 1, run_sections},
    {"keys", 0, 2, 2, run_keys},
    {"check", 0, 1, -1, run_check},
};

bool is_help(const char* argument) {
    return strcmp(argument, kHelpOption) == 0 || strcmp(argument, kShortHelpOption) == 0;
}

// Whether `argument` begins with the option `name` ("--x="), its value then
// in `*value`.
bool has_value(const char* argument, const char* name, const char** value) {
    size_t size = strlen(name);
    if (strncmp(argument, name, size) != 0) {
        return false;
    }
    *value = argument + size;
    return true;
}

// Reads SECONDS of --wait into `options`: false unless a whole number in range.
bool read_wait(const char* digits, Options* options) {
    char* end = nullptr;
    long seconds = *digits >= '0' && *digits <= '9' ? strtol(digits, &end, 10) : -1;
    if (end == nullptr || *end != '\0' || seconds < 0 || seconds > kLargestWaitSeconds) {
        return false;
    }
    options->wait_ms = seconds * 1000;
    return true;
}

// Reads one option of `command` into `options`: the exit status of a usage
// error, or -1 when it was read.
int read_command_option(const Command& command, const char* option, Options* options) {
    const char* value = nullptr;
    if ((command.accepts & kFormat) && has_value(option, kFormatOption, &value)) {
        options->has_format = true;
        return format_named(value, &options->format) ? -1 : usage_error(kBadFormat, value);
    }
    if ((command.accepts & kType) && has_value(option, kTypeOption, &value)) {
        options->has_type = true;
        return type_named(value, &options->type) ? -1 : usage_error(kBadType, value);
    }
    bool* flag = nullptr;
    if ((command.accepts & kVerbose) &&
        (strcmp(option, kVerboseOption) == 0 || strcmp(option, kShortVerboseOption) == 0)) {
        flag = &options->verbose;
    } else if ((command.accepts & kExisting) && strcmp(option, kExistingOption) == 0) {
        flag = &options->existing;
    } else if ((command.accepts & kAll) && strcmp(option, kAllOption) == 0) {
        flag = &options->all;
    } else if ((command.accepts & kInPlace) && strcmp(option, kInPlaceOption) == 0) {
        flag = &options->in_place;
    }
    if (flag == nullptr) {
        return usage_error(kUnknownOption, option);
    }
    *flag = true;
    return -1;
}

// Runs the command of `arguments` (its name first), its output into `out`.
int run_command(Options options, int count, char** arguments, Output* out) {
    for (const Command& command : kCommands) {
        if (strcmp(arguments[0], command.name) != 0) {
            continue;
        }
        int at = 1;
        for (; at < count && arguments[at][0] == '-' && arguments[at][1] != '\0'; ++at) {
            if (strcmp(arguments[at], kEndOfOptions) == 0) {
                ++at;
                break;
            }
            if (is_help(arguments[at])) {
                out->write(kUsage, strlen(kUsage));
                return kDone;
            }
            int status = read_command_option(command, arguments[at], &options);
            if (status >= 0) {
                return status;
            }
        }
        int given = count - at;
        if (given < command.fewest || (command.most >= 0 && given > command.most)) {
            return usage_error(kWrongCount, command.name);
        }
        return command.run(options, given, arguments + at, out);
    }
    return usage_error(kUnknownCommand, arguments[0]);
}

// Reads the options before the command, then runs it: the exit status.
int run(int argc, char** argv, Output* out) {
    Options options;
    int at = 1;
    for (; at < argc && argv[at][0] == '-' && argv[at][1] != '\0'; ++at) {
        const char* option = argv[at];
        const char* value = nullptr;
        if (strcmp(option, kEndOfOptions) == 0) {
            ++at;
            break;
        }
        if (is_help(option)) {
            out->write(kUsage, strlen(kUsage));
            return kDone;
        }
        if (strcmp(option, kVersionOption) == 0) {
            char version[64];
            snprintf(version, sizeof version, kVersion, INIFILE_VERSION);
            out->write(version, strlen(version));
            return kDone;
        }
        if (has_value(option, kDialectOption, &value)) {
            if (!look_up(kDialects, value, &options.dialect)) {
                return usage_error(kBadDialect, value);
            }
        } else if (has_value(option, kWaitOption, &value)) {
            if (!read_wait(value, &options)) {
                return usage_error(kBadWait, value);
            }
        } else {
            return usage_error(kUnknownOption, option);
        }
    }
    if (at >= argc) {
        fputs(kUsage, stderr);
        return kTrouble;
    }
    return run_command(options, argc - at, argv + at, out);
}

}  // namespace

int main(int argc, char** argv) {
    platform_binary_stdio();
    Output out;
    int status = run(argc, argv, &out);
    std::string reason;
    if (!out.flush(&reason)) {
        return fail(kStandardOutputName, kCannotWrite, reason);
    }
    return status;
}
