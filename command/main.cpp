// inifile: reads and edits files of the module's format in place, for
// scripts. Bytes go out as they are stored, with no conversion.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "files.h"
#include "ini.h"
#include "messages.h"

#ifndef INIFILE_VERSION
#define INIFILE_VERSION "unknown"
#endif

namespace {

// One command: its name, its arguments after FILE, and whether it reads only.
struct Command {
    const char* name;
    int arguments;  // after the file; -1: one or more files
    bool reads_only;
    int (*run)(char** arguments);
};

// Standard input as one text, owned by the caller (released with free).
char* read_standard_input(size_t* size) {
    size_t capacity = 64 * 1024;
    char* text = static_cast<char*>(malloc(capacity));
    *size = 0;
    size_t got;
    while (text != nullptr && (got = fread(text + *size, 1, capacity - *size, stdin)) > 0) {
        *size += got;
        if (*size == capacity) {
            capacity *= 2;
            char* larger = static_cast<char*>(realloc(text, capacity));
            if (larger == nullptr) {
                free(text);
            }
            text = larger;
        }
    }
    return text;
}

// The document in `path` ("-": standard input), or null after saying why on
// standard error (`status` then holds the exit status). `check` reports a
// load failure in check's own form.
IniDocument* load(const char* path, bool check, int* status) {
    IniLoadReport report;
    IniDocument* document;
    if (strcmp(path, kStandardInput) == 0) {
        size_t size = 0;
        char* text = read_standard_input(&size);
        document = ini_load_text(text, size, &report);
        free(text);
    } else {
        document = ini_load_file(path, &report);
    }
    if (document != nullptr) {
        return document;
    }
    if (report.error == INI_LOAD_CANNOT_OPEN) {
        fprintf(stderr, kCannotOpen, path);
        *status = kTrouble;
    } else {
        fprintf(stderr, check ? kCheckFailed : kDoesNotLoad, path, static_cast<long>(report.line),
                ini_load_error_text(report.error));
        *status = check ? kNotFound : kTrouble;
    }
    return nullptr;
}

// Prints `text` and a line feed, bytes as they are.
void print_line(const char* text) {
    fwrite(text, 1, strlen(text), stdout);
    fputc('\n', stdout);
}

// The first section named `name`, or null after saying so.
IniSection* find_section(IniDocument* document, const char* path, const char* name) {
    IniSection* section = ini_find_section(document, name);
    if (section == nullptr) {
        fprintf(stderr, kNoSection, path, name);
    }
    return section;
}

int run_get(char** arguments) {
    int status = kNotFound;
    IniDocument* document = load(arguments[0], false, &status);
    IniSection* section = document ? find_section(document, arguments[0], arguments[1]) : nullptr;
    const char* value = section ? ini_get(section, arguments[2]) : nullptr;
    if (value != nullptr) {
        print_line(value);
        status = kDone;
    } else if (section != nullptr) {
        fprintf(stderr, kNoKey, arguments[0], arguments[2], arguments[1]);
    }
    ini_free_document(document);
    return status;
}

int run_sections(char** arguments) {
    int status = kDone;
    IniDocument* document = load(arguments[0], false, &status);
    for (int i = 0; document != nullptr && i < document->count; ++i) {
        print_line(ini_section_name_at(document, i));
    }
    ini_free_document(document);
    return status;
}

int run_keys(char** arguments) {
    int status = kNotFound;
    IniDocument* document = load(arguments[0], false, &status);
    IniSection* section = document ? find_section(document, arguments[0], arguments[1]) : nullptr;
    for (int i = 0; section != nullptr && i < section->count; ++i) {
        print_line(ini_key_at(section, i));
    }
    status = section != nullptr ? kDone : status;
    ini_free_document(document);
    return status;
}

// Sets (a non-null `value`) or removes the entry, in place.
int edit(char** arguments, const char* value) {
    IniLoadReport report;
    const char* path = arguments[0];
    IniEditResult result = ini_edit_file(path, arguments[1], arguments[2], value, &report);
    switch (result) {
        case INI_EDIT_CHANGED:
        case INI_EDIT_UNCHANGED:
            return kDone;
        case INI_EDIT_CANNOT_OPEN:
            fprintf(stderr, kCannotOpen, path);
            return kTrouble;
        case INI_EDIT_DOES_NOT_LOAD:
            fprintf(stderr, kDoesNotLoad, path, static_cast<long>(report.line),
                    ini_load_error_text(report.error));
            return kTrouble;
        default:
            fprintf(stderr, kEditFailed, path, ini_edit_result_text(result));
            return kTrouble;
    }
}

int run_set(char** arguments) {
    return edit(arguments, arguments[3]);
}

int run_del(char** arguments) {
    return edit(arguments, nullptr);
}

int run_check(char** arguments) {
    int status = kDone;
    for (; *arguments != nullptr; ++arguments) {
        int file_status = kDone;
        ini_free_document(load(*arguments, true, &file_status));
        status = file_status > status ? file_status : status;
    }
    return status;
}

const Command kCommands[] = {
    {"get", 2, true, run_get},   {"set", 3, false, run_set},
    {"del", 2, false, run_del},  {"sections", 0, true, run_sections},
    {"keys", 1, true, run_keys}, {"check", -1, true, run_check},
};

int usage_error(const char* format, const char* word) {
    char message[256];
    snprintf(message, sizeof message, format, word);
    fprintf(stderr, kBadUsage, message);
    return kTrouble;
}

}  // namespace

int main(int argc, char** argv) {
    platform_binary_stdio();
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, stdout);
        return kDone;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf(kVersion, INIFILE_VERSION);
        return kDone;
    }
    if (argc < 2) {
        fputs(kUsage, stderr);
        return kTrouble;
    }
    for (const Command& command : kCommands) {
        if (strcmp(argv[1], command.name) != 0) {
            continue;
        }
        int given = argc - 3;  // after the command and the file
        if (given < 0 || (command.arguments >= 0 && given != command.arguments)) {
            return usage_error(kWrongCount, command.name);
        }
        if (!command.reads_only && strcmp(argv[2], kStandardInput) == 0) {
            return usage_error(kNoStandardInput, command.name);
        }
        int status = command.run(argv + 2);
        return fflush(stdout) == 0 ? status : kTrouble;
    }
    return usage_error(kUnknownCommand, argv[1]);
}
