// inifile: reads and edits INI files in place, for scripts. Bytes go out as
// they are stored, with no conversion.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "files.h"
#include "ini.h"
#include "messages.h"
#include "streams.h"

// The names of the dialects, as --dialect takes them.
struct DialectName {
    const char* name;
    IniDialect dialect;
};
constexpr DialectName kDialects[] = {{"module", INI_DIALECT_MODULE},
                                     {"common", INI_DIALECT_COMMON}};

#ifndef INIFILE_VERSION
#define INIFILE_VERSION "unknown"
#endif

namespace {

// What the options before the command say.
struct Options {
    IniDialect dialect = INI_DIALECT_MODULE;
    long wait_ms = kDefaultWaitSeconds * 1000;
};

// The module's options for a load or an edit.
IniOptions module_options(const Options& options) {
    IniOptions chosen = {};
    chosen.dialect = options.dialect;
    chosen.edit_wait_ms = options.wait_ms > 0 ? int32_t(options.wait_ms) : -1;
    return chosen;
}

// One command: its name, how many arguments it takes, whether it only
// reads (and so may read standard input), and what it does.
struct Command {
    const char* name;
    int fewest;
    int most;  // -1: any number
    bool reads_only;
    int (*run)(const Options& options, char** arguments, Output* out);
};

// Says on standard error that `what` failed for `name`, with the system's
// reason; the exit status of such a failure.
int fail(const char* name, const char* what, const std::string& reason) {
    fprintf(stderr, kFailedWithReason, name, what, reason.c_str());
    return kTrouble;
}

// How `path` is named in messages.
const char* shown(const char* path) {
    return strcmp(path, kStandardInput) == 0 ? kStandardInputName : path;
}

// The document in `path` ("-": standard input), or null after saying why on
// standard error (`status` then holds the exit status). `check` reports a
// load failure in check's own form.
IniDocument* load(const Options& options, const char* path, bool check, int* status) {
    IniOptions chosen = module_options(options);
    IniLoadReport report;
    IniDocument* document;
    if (strcmp(path, kStandardInput) == 0) {
        std::string text;
        std::string reason;
        if (!read_standard_input(&text, &reason)) {
            *status = fail(shown(path), kCannotRead, reason);
            return nullptr;
        }
        document = ini_load_text_with(text.data(), text.size(), &chosen, &report);
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

int run_get(const Options& options, char** arguments, Output* out) {
    int status = kNotFound;
    IniDocument* document = load(options, arguments[0], false, &status);
    IniSection* section = document ? find_section(document, arguments[0], arguments[1]) : nullptr;
    const char* value = section ? ini_get(section, arguments[2]) : nullptr;
    if (value != nullptr) {
        print_line(out, value);
        status = kDone;
    } else if (section != nullptr) {
        fprintf(stderr, kNoKey, arguments[0], arguments[2], arguments[1]);
    }
    ini_free_document(document);
    return status;
}

int run_sections(const Options& options, char** arguments, Output* out) {
    int status = kDone;
    IniDocument* document = load(options, arguments[0], false, &status);
    for (int i = 0; document != nullptr && i < document->count; ++i) {
        print_line(out, ini_section_name_at(document, i));
    }
    ini_free_document(document);
    return status;
}

int run_keys(const Options& options, char** arguments, Output* out) {
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

// Makes `edits` in the file at `path`, in place.
int edit(const Options& options, const char* path, const IniEdit* edits, size_t count) {
    IniLoadReport report;
    IniOptions chosen = module_options(options);
    IniEditResult result = ini_edit_file_with(path, edits, count, &chosen, &report);
    switch (result) {
        case INI_EDIT_CHANGED:
        case INI_EDIT_UNCHANGED:
            return kDone;
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
            fprintf(stderr, kEditFailed, path, ini_edit_result_text(result));
            return kNotFound;
        default:
            fprintf(stderr, kEditFailed, path, ini_edit_result_text(result));
            return kTrouble;
    }
}

int run_set(const Options& options, char** arguments, Output*) {
    IniEdit change = {INI_EDIT_SET, arguments[1], arguments[2], arguments[3], 0};
    return edit(options, arguments[0], &change, 1);
}

int run_del(const Options& options, char** arguments, Output*) {
    IniEdit change = {INI_EDIT_REMOVE_KEY, arguments[1], arguments[2], nullptr, 0};
    return edit(options, arguments[0], &change, 1);
}

int run_check(const Options& options, char** arguments, Output*) {
    int status = kDone;
    for (; *arguments != nullptr; ++arguments) {
        int file_status = kDone;
        ini_free_document(load(options, *arguments, true, &file_status));
        status = file_status > status ? file_status : status;
    }
    return status;
}

const Command kCommands[] = {
    {"get", 3, 3, true, run_get},   {"set", 4, 4, false, run_set},
    {"del", 3, 3, false, run_del},  {"sections", 1, 1, true, run_sections},
    {"keys", 2, 2, true, run_keys}, {"check", 1, -1, true, run_check},
};

int usage_error(const char* format, const char* word) {
    char message[512];
    snprintf(message, sizeof message, format, word);
    fprintf(stderr, kBadUsage, message);
    return kTrouble;
}

bool is_help(const char* argument) {
    return strcmp(argument, kHelpOption) == 0 || strcmp(argument, kShortHelpOption) == 0;
}

// Reads "--wait=SECONDS" into `options`: false when SECONDS is not a whole
// number in range.
bool read_wait(const char* argument, Options* options) {
    const char* digits = argument + strlen(kWaitOption);
    char* end = nullptr;
    long seconds = *digits >= '0' && *digits <= '9' ? strtol(digits, &end, 10) : -1;
    if (end == nullptr || *end != '\0' || seconds < 0 || seconds > kLargestWaitSeconds) {
        return false;
    }
    options->wait_ms = seconds * 1000;
    return true;
}

// Reads the dialect named `name` into `options`: false for an unknown name.
bool read_dialect(const char* name, Options* options) {
    for (const DialectName& dialect : kDialects) {
        if (strcmp(name, dialect.name) == 0) {
            options->dialect = dialect.dialect;
            return true;
        }
    }
    return false;
}

// Runs the command of `arguments` (its name first), its output into `out`.
int run_command(const Options& options, int count, char** arguments, Output* out) {
    for (const Command& command : kCommands) {
        if (strcmp(arguments[0], command.name) != 0) {
            continue;
        }
        int first = 1;
        if (first < count && is_help(arguments[first])) {
            out->write(kUsage, strlen(kUsage));
            return kDone;
        }
        if (first < count && strcmp(arguments[first], kEndOfOptions) == 0) {
            ++first;
        }
        int given = count - first;
        if (given < command.fewest || (command.most >= 0 && given > command.most)) {
            return usage_error(kWrongCount, command.name);
        }
        if (!command.reads_only && strcmp(arguments[first], kStandardInput) == 0) {
            return usage_error(kNoStandardInput, command.name);
        }
        return command.run(options, arguments + first, out);
    }
    return usage_error(kUnknownCommand, arguments[0]);
}

// Reads the options before the command, then runs it: the exit status.
int run(int argc, char** argv, Output* out) {
    Options options;
    int at = 1;
    for (; at < argc && argv[at][0] == '-' && argv[at][1] != '\0'; ++at) {
        const char* option = argv[at];
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
        if (strncmp(option, kDialectOption, strlen(kDialectOption)) == 0) {
            if (!read_dialect(option + strlen(kDialectOption), &options)) {
                return usage_error(kBadDialect, option + strlen(kDialectOption));
            }
            continue;
        }
        if (strncmp(option, kWaitOption, strlen(kWaitOption)) != 0) {
            return usage_error(kUnknownOption, option);
        }
        if (!read_wait(option, &options)) {
            return usage_error(kBadWait, option + strlen(kWaitOption));
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
