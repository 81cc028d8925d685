// The inifile command's options: one table of them, each with the commands
// it is for, read wherever they stand before the command's arguments.
#include "options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "messages.h"
#include "names.h"

#ifndef INIFILE_VERSION
#define INIFILE_VERSION "unknown"
#endif

namespace {

// The names of the dialects, as --dialect takes them.
constexpr Named<IniDialect> kDialects[] = {{"module", INI_DIALECT_MODULE},
                                           {"common", INI_DIALECT_COMMON}};

// What an option sets.
enum class Sets {
    kDialect,
    kWait,
    kFormat,
    kType,
    kListSeparator,
    kReadFlag,  // a flag of IniOptions, in `flag`
    kSwitch     // a bool of Options, at `member`
};

struct OptionSpec {
    const char* name;
    const char* short_name;  // or null
    unsigned commands;       // which commands take it
    Sets sets;
    uint32_t flag;
    bool Options::*member;
};

constexpr OptionSpec kOptions[] = {
    {kDialectOption, nullptr, kAny, Sets::kDialect, 0, nullptr},
    {kWaitOption, nullptr, kAny, Sets::kWait, 0, nullptr},
    {kIgnoreCaseOption, nullptr, kAny, Sets::kReadFlag, INI_IGNORE_CASE, nullptr},
    {kInlineCommentsOption, nullptr, kAny, Sets::kReadFlag, INI_INLINE_COMMENTS, nullptr},
    {kAllowNoValueOption, nullptr, kAny, Sets::kReadFlag, INI_ALLOW_NO_VALUE, nullptr},
    {kNoExtraSpacesOption, nullptr, kEdits, Sets::kReadFlag, INI_NO_EXTRA_SPACES, nullptr},
    {kVerboseOption, kShortVerboseOption, kAny, Sets::kSwitch, 0, &Options::verbose},
    {kFormatOption, nullptr, kGet, Sets::kFormat, 0, nullptr},
    {kTypeOption, nullptr, kGet, Sets::kType, 0, nullptr},
    {kAllOption, nullptr, kGet | kSet | kDel, Sets::kSwitch, 0, &Options::all},
    {kExistingOption, nullptr, kSet, Sets::kSwitch, 0, &Options::existing},
    {kUncommentOption, nullptr, kSet | kAdd, Sets::kSwitch, 0, &Options::uncomment},
    {kListAddOption, nullptr, kSet, Sets::kSwitch, 0, &Options::list_add},
    {kListDelOption, nullptr, kSet, Sets::kSwitch, 0, &Options::list_del},
    {kListSeparatorOption, nullptr, kSet, Sets::kListSeparator, 0, nullptr},
    {kInPlaceOption, nullptr, kEdits, Sets::kSwitch, 0, &Options::in_place},
    {kDryRunOption, kShortDryRunOption, kEdits, Sets::kSwitch, 0, &Options::dry_run},
    {kDiffOption, nullptr, kEdits, Sets::kSwitch, 0, &Options::diff},
};

bool takes_value(const OptionSpec& known) {
    return known.sets != Sets::kSwitch && known.sets != Sets::kReadFlag;
}

int usage_error(const char* format, const char* word) {
    char message[512];
    snprintf(message, sizeof message, format, word);
    print_error(kBadUsage, message);
    return kTrouble;
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

// Sets what option `known` sets from `value`: the exit status of a usage error, or -1.
int apply(const OptionSpec& known, const char* value, Options* options) {
    switch (known.sets) {
        case Sets::kDialect:
            return look_up(kDialects, value, &options->dialect) ? -1
                                                                : usage_error(kBadDialect, value);
        case Sets::kWait:
            return read_wait(value, options) ? -1 : usage_error(kBadWait, value);
        case Sets::kFormat:
            options->has_format = true;
            return format_named(value, &options->format) ? -1 : usage_error(kBadFormat, value);
        case Sets::kType:
            options->has_type = true;
            return type_named(value, &options->type) ? -1 : usage_error(kBadType, value);
        case Sets::kListSeparator:
            if (strlen(value) != 1) {
                return usage_error(kBadListSeparator, value);
            }
            options->list_separator = value[0];
            return -1;
        case Sets::kReadFlag:
            options->read_flags |= known.flag;
            return -1;
        case Sets::kSwitch:
            options->*known.member = true;
            return -1;
    }
    return -1;
}

// The option `argument` names ("--name", "--name=value", "-n"), with its
// value where it is given with "=": null where there is no such option.
const OptionSpec* find_option(const char* argument, const char** value) {
    *value = nullptr;
    for (const OptionSpec& known : kOptions) {
        size_t size = strlen(known.name);
        if (strncmp(argument, known.name, size) == 0 &&
            (argument[size] == '\0' || (argument[size] == '=' && takes_value(known)))) {
            *value = argument[size] == '=' ? argument + size + 1 : nullptr;
            return &known;
        }
        if (known.short_name != nullptr && strcmp(argument, known.short_name) == 0) {
            return &known;
        }
    }
    return nullptr;
}

}  // namespace

int read_command_line(int argc, char** argv, const Command* commands, int command_count,
                      Options* options, const Command** command, int* first, Output* out) {
    *command = nullptr;
    // The options read, as spelled: checked against the command once it is known.
    std::vector<std::pair<const OptionSpec*, const char*>> given;
    int at = 1;
    for (; at < argc; ++at) {
        const char* argument = argv[at];
        if (strcmp(argument, kEndOfOptions) == 0) {
            ++at;
            break;
        }
        if (argument[0] != '-' || argument[1] == '\0') {
            if (*command != nullptr) {
                break;  // the first of the command's arguments
            }
            for (int i = 0; i < command_count && *command == nullptr; ++i) {
                if (strcmp(argument, commands[i].name) == 0) {
                    *command = &commands[i];
                }
            }
            if (*command == nullptr) {
                return usage_error(kUnknownCommand, argument);
            }
            continue;
        }
        if (strcmp(argument, kHelpOption) == 0 || strcmp(argument, kShortHelpOption) == 0) {
            out->write(kUsage, strlen(kUsage));
            return kDone;
        }
        if (strcmp(argument, kVersionOption) == 0) {
            char version[64];
            snprintf(version, sizeof version, kVersion, INIFILE_VERSION);
            out->write(version, strlen(version));
            return kDone;
        }
        const char* value = nullptr;
        const OptionSpec* known = find_option(argument, &value);
        if (known == nullptr) {
            return usage_error(kUnknownOption, argument);
        }
        if (takes_value(*known) && value == nullptr) {
            if (at + 1 == argc) {
                return usage_error(kNeedsValue, known->name);
            }
            value = argv[++at];
        }
        int status = apply(*known, value, options);
        if (status >= 0) {
            return status;
        }
        given.emplace_back(known, argument);
    }
    if (*command == nullptr) {
        if (at < argc) {
            return usage_error(kUnknownCommand, argv[at]);
        }
        print_error("%s", kUsage);
        return kTrouble;
    }
    for (const auto& [known, spelling] : given) {
        if ((known->commands & (*command)->bit) == 0) {
            char message[256];
            snprintf(message, sizeof message, kNotForCommand, spelling, (*command)->name);
            print_error(kBadUsage, message);
            return kTrouble;
        }
    }
    int count = argc - at;
    if (count < (*command)->fewest || ((*command)->most >= 0 && count > (*command)->most)) {
        return usage_error(kWrongCount, (*command)->name);
    }
    *first = at;
    return -1;
}
