// inifile: reads and edits INI files in place, for scripts. What it reads
// is what the readers of the file's dialect see (the last of a repeated key
// in the common dialect); bytes go out as they are stored.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "diff.h"
#include "files.h"
#include "formats.h"
#include "inifile/ini.h"
#include "messages.h"
#include "options.h"
#include "streams.h"
#include "typed.h"

namespace {

// The module's options for a load or an edit.
IniOptions module_options(const Options& options) {
    IniOptions chosen = {};
    chosen.dialect = options.dialect;
    chosen.flags = options.read_flags | INI_UTF8_NAMES;
    chosen.edit_wait_ms = options.wait_ms > 0 ? int32_t(options.wait_ms) : -1;
    return chosen;
}

// Whether `name` names `wanted`: byte for byte, or with --ignore-case
// without regard to ASCII case, as the module matches them.
bool names(const Options& options, const char* name, const char* wanted) {
    if ((options.read_flags & INI_IGNORE_CASE) == 0) {
        return strcmp(name, wanted) == 0;
    }
    auto lower = [](char byte) { return byte >= 'A' && byte <= 'Z' ? char(byte + 32) : byte; };
    for (; *name != '\0' && lower(*name) == lower(*wanted); ++name, ++wanted) {
    }
    return lower(*name) == lower(*wanted);
}

// Says on standard error that `what` failed for `name`, with the system's
// reason: the exit status of such a failure.
int fail(const char* name, const char* what, const std::string& reason) {
    print_error(kFailedWithReason, name, what, reason.c_str());
    return kTrouble;
}

int usage_error(const char* format, const char* word) {
    char message[512];
    snprintf(message, sizeof message, format, word);
    print_error(kBadUsage, message);
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
// load failure in check's own form, on standard output. `text`, when not
// null, gets the bytes.
IniDocument* load(const Options& options, const char* path, bool check, int* status, Output* out,
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
    char line[4096];
    if (report.error == INI_LOAD_CANNOT_READ || (report.error == INI_LOAD_CANNOT_OPEN && !check)) {
        const char* what = report.error == INI_LOAD_CANNOT_OPEN ? kCannotOpen : kCannotRead;
        *status = fail(path, what, ini_system_error());
        return nullptr;
    }
    if (report.error == INI_LOAD_CANNOT_OPEN) {
        snprintf(line, sizeof line, kCheckCannotOpen, path, kCannotOpen, ini_system_error());
    } else if (check) {
        snprintf(line, sizeof line, kCheckFailed, path, static_cast<long>(report.line),
                 ini_load_error_text(report.error));
    } else {
        print_error(kDoesNotLoad, path, static_cast<long>(report.line),
                    ini_load_error_text(report.error));
        *status = kTrouble;
        return nullptr;
    }
    out->write(line, strlen(line));
    *status = kNotFound;
    return nullptr;
}

// Writes `text` and a line feed, bytes as they are.
void print_line(Output* out, const char* text) {
    out->write(text, strlen(text));
    out->write("\n", 1);
}

// The section of the readers' view named `name`, or null after saying so.
IniSection* find_section(IniDocument* view, const Options& options, const char* path,
                         const char* name) {
    for (int32_t i = 0; i < view->count; ++i) {
        if (names(options, view->sections[i]->name, name)) {
            return view->sections[i];
        }
    }
    print_error(kNoSection, path, name);
    return nullptr;
}

// Prints every value of `key` in the sections the readers read as
// `section`, in file order.
// Says that the section `arguments[1]`, or its key `arguments[2]`, is not
// in `document`: the exit status of not found.
int not_found(const Options& options, const IniDocument* document, const char* path,
              char** arguments) {
    bool section = false;
    for (int32_t i = 0; i < document->count && !section; ++i) {
        section = names(options, document->sections[i]->name, arguments[1]);
    }
    print_error(section ? kNoKey : kNoSection, path, section ? arguments[2] : arguments[1],
                arguments[1]);
    return kNotFound;
}

int get_every_value(const Options& options, const IniDocument* document, const char* path,
                    char** arguments, Output* out) {
    bool found = false;
    for (int32_t i = 0; i < document->count; ++i) {
        const IniSection* section = document->sections[i];
        if (!names(options, section->name, arguments[1])) {
            continue;
        }
        for (int32_t j = 0; j < section->count; ++j) {
            if (names(options, section->entries[j]->key, arguments[2])) {
                print_line(out, section->entries[j]->value);
                found = true;
            }
        }
        if (options.dialect != INI_DIALECT_COMMON) {
            break;  // the first section of the name alone is read
        }
    }
    return found ? kDone : not_found(options, document, path, arguments);
}

// Prints the value of `key` the readers see: as it is stored (nothing for
// a key without one), or read as --type says.
int get_value(const Options& options, IniDocument* document, const char* path,
              const std::string& text, char** arguments, Output* out) {
    IniOptions chosen = module_options(options);
    const IniEntry* entry = ini_lookup(document, arguments[1], arguments[2], &chosen);
    if (entry == nullptr) {
        return not_found(options, document, path, arguments);
    }
    if (!options.has_type) {
        if (ini_has_value(entry)) {
            print_line(out, entry->value);
        }
        return kDone;
    }
    // The typed getters read a section's entry: one that holds this one.
    IniEntry* alone = const_cast<IniEntry*>(entry);
    IniSection holder = {1, 1, const_cast<char*>(""), &alone};
    std::string shown;
    IniValueStatus status = read_typed(&holder, entry->key, options.type, &shown);
    if (status != INI_VALUE_OK) {
        long line = ini_entry_line(text.data(), text.size(), &chosen, arguments[1], arguments[2]);
        print_error(kNotOfType, path, line, arguments[2], entry->value, type_name(options.type),
                    ini_value_status_text(status));
        return kTrouble;
    }
    print_line(out, shown.c_str());
    return kDone;
}

int run_get(const Options& options, int count, char** arguments, Output* out) {
    if (options.has_type && (count != 3 || options.has_format || options.all)) {
        return usage_error(kTypeNeedsKey, "");
    }
    if (options.has_format && count == 3) {
        return usage_error(kFormatNeedsNoKey, arguments[2]);
    }
    if (options.all && count != 3) {
        return usage_error(kAllNeedsKey, "");
    }
    if (options.format == Format::kShell && count < 2) {
        return usage_error(kShellNeedsSection, "");
    }
    int status = kNotFound;
    std::string text;
    const char* path = arguments[0];
    IniDocument* document =
        load(options, path, false, &status, out, options.has_type ? &text : nullptr);
    if (document == nullptr) {
        return status;
    }
    IniOptions chosen = module_options(options);
    IniDocument* view = nullptr;
    if (options.all) {
        status = get_every_value(options, document, path, arguments, out);
    } else if (count == 3) {
        status = get_value(options, document, path, text, arguments, out);
    } else {
        view = ini_read_view(document, &chosen);
        // One section is shown through a document that holds it alone.
        IniSection* section =
            count == 2 ? find_section(view, options, path, arguments[1]) : nullptr;
        IniDocument alone = {1, 1, &section};
        std::string formatted;
        std::string refusal;
        status = kNotFound;
        if (count == 1 || section != nullptr) {
            bool carried = format_sections(count == 1 ? view : &alone, options.format, chosen,
                                           &formatted, &refusal);
            if (!carried) {
                print_error(kCannotFormat, path, refusal.c_str());
            }
            out->write(formatted);
            status = carried ? kDone : kTrouble;
        }
    }
    ini_free_document(view);
    ini_free_document(document);
    return status;
}

int run_sections(const Options& options, int, char** arguments, Output* out) {
    int status = kDone;
    IniDocument* document = load(options, arguments[0], false, &status, out);
    if (document == nullptr) {
        return status;
    }
    IniOptions chosen = module_options(options);
    IniDocument* view = ini_read_view(document, &chosen);
    for (int i = 0; i < view->count; ++i) {
        // The entries before the first header (common dialect) have no name.
        if (view->sections[i]->name[0] != '\0' || options.dialect != INI_DIALECT_COMMON) {
            print_line(out, view->sections[i]->name);
        }
    }
    ini_free_document(view);
    ini_free_document(document);
    return status;
}

int run_keys(const Options& options, int, char** arguments, Output* out) {
    int status = kNotFound;
    IniDocument* document = load(options, arguments[0], false, &status, out);
    if (document == nullptr) {
        return status;
    }
    IniOptions chosen = module_options(options);
    IniDocument* view = ini_read_view(document, &chosen);
    IniSection* section = find_section(view, options, arguments[0], arguments[1]);
    for (int i = 0; section != nullptr && i < section->count; ++i) {
        print_line(out, ini_key_at(section, i));
    }
    status = section != nullptr ? kDone : kNotFound;
    ini_free_document(view);
    ini_free_document(document);
    return status;
}

int run_check(const Options& options, int, char** arguments, Output* out) {
    int status = kDone;
    for (; *arguments != nullptr; ++arguments) {
        int file_status = kDone;
        ini_free_document(load(options, *arguments, true, &file_status, out));
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
// section and key a change of INI_EDIT_EXISTING did not find.
int edit_status(IniEditResult result, const char* path, const IniLoadReport& report,
                const std::vector<IniEdit>& edits, const IniOptions& chosen) {
    switch (result) {
        case INI_EDIT_CHANGED:
            if (const char* warning = ini_edit_warning()) {
                print_error(kEditWarning, path, warning, ini_system_error());
            }
            return kDone;
        case INI_EDIT_UNCHANGED:
            return kDone;
        case INI_EDIT_FOLDER_REFUSED:
            print_error(kFolderRefused, path, folder_of(path).c_str(), ini_system_error());
            return kTrouble;
        case INI_EDIT_CANNOT_OPEN:
            return fail(path, kCannotOpen, ini_system_error());
        case INI_EDIT_CANNOT_READ:
            return fail(path, kCannotRead, ini_system_error());
        case INI_EDIT_CANNOT_WRITE:
            return fail(path, kCannotWrite, ini_system_error());
        case INI_EDIT_DOES_NOT_LOAD:
            print_error(kDoesNotLoad, path, static_cast<long>(report.line),
                        ini_load_error_text(report.error));
            return kTrouble;
        case INI_EDIT_NO_SECTION:
            print_error(kNoSection, path, edits[0].section);
            return kNotFound;
        case INI_EDIT_NOT_FOUND:
            print_error(kNoKey, path, edits[0].key, edits[0].section);
            return kNotFound;
        case INI_EDIT_NOT_REPRESENTABLE: {
            const char* why = ini_edit_refusal(edits.data(), edits.size(), &chosen);
            print_error(kNotRepresentable, path,
                        why != nullptr ? why : ini_edit_result_text(result));
            return kTrouble;
        }
        default:
            print_error(kEditFailed, path, ini_edit_result_text(result));
            return kTrouble;
    }
}

// Makes `edits` in the file at `path`, in place (creating it where it is
// missing and `create` says so), or, where `path` is "-", in the text on
// standard input, which goes to standard output edited or not. With
// --dry-run nothing is written, and with it or --diff the diff of the
// change is printed (in place of the text, for standard input).
int edit(const Options& options, const char* path, const std::vector<IniEdit>& edits, bool create,
         Output* out) {
    IniOptions chosen = module_options(options);
    chosen.flags |= (create ? INI_CREATE_MISSING : 0) | (options.in_place ? INI_IN_PLACE : 0) |
                    (options.dry_run ? INI_DRY_RUN : 0);
    bool show_diff = options.diff || options.dry_run;
    IniLoadReport report;
    IniEditResult result;
    std::string before;
    std::string after;
    if (is_standard_input(path)) {
        int status = kDone;
        if (!read_text(path, &before, &status)) {
            return status;
        }
        char* edited = nullptr;
        size_t size = 0;
        result = ini_edit_text_with(before.data(), before.size(), edits.data(), edits.size(),
                                    &chosen, &edited, &size, &report);
        after = result == INI_EDIT_CHANGED ? std::string(edited, size) : before;
        ini_free_text(edited);
        // A filter passes the text on, also where what it was to change is
        // not there.
        bool passed = result == INI_EDIT_CHANGED || result == INI_EDIT_UNCHANGED ||
                      result == INI_EDIT_NOT_FOUND || result == INI_EDIT_NO_SECTION;
        if (!show_diff && passed) {
            out->write(after);
        }
    } else {
        char* old_text = nullptr;
        char* new_text = nullptr;
        size_t old_size = 0;
        size_t new_size = 0;
        result = ini_edit_file_texts(path, edits.data(), edits.size(), &chosen, &report,
                                     show_diff ? &old_text : nullptr, &old_size,
                                     show_diff ? &new_text : nullptr, &new_size);
        if (old_text != nullptr) {
            before.assign(old_text, old_size);
            after.assign(new_text, new_size);
        }
        ini_free_text(old_text);
        ini_free_text(new_text);
    }
    if (show_diff && result == INI_EDIT_CHANGED) {
        out->write(unified_diff(path, before, after));
    }
    if (options.verbose && (result == INI_EDIT_CHANGED || result == INI_EDIT_UNCHANGED)) {
        print_error(result == INI_EDIT_CHANGED ? kChanged : kUnchanged, path);
    }
    return edit_status(result, path, report, edits, chosen);
}

int run_set(const Options& options, int count, char** arguments, Output* out) {
    bool list = options.list_add || options.list_del;
    if (count == 3 || (count > 4 && !options.all) ||
        (count == 2 && (options.all || list || options.existing || options.uncomment))) {
        return usage_error(kWrongCount, "set");
    }
    if (list && (options.all || (options.list_add && options.list_del))) {
        return usage_error(kListNeedsOne, "");
    }
    if (count == 2) {
        return edit(options, arguments[0],
                    {{INI_EDIT_ADD_SECTION, arguments[1], nullptr, nullptr, 0}}, true, out);
    }
    uint32_t flags = (options.existing || options.list_del ? INI_EDIT_EXISTING : 0) |
                     (options.uncomment ? INI_EDIT_UNCOMMENT : 0) |
                     (options.list_add ? INI_EDIT_LIST_ADD : 0) |
                     (options.list_del ? INI_EDIT_LIST_REMOVE : 0) |
                     (list ? INI_EDIT_LIST_SEPARATOR(options.list_separator) : 0);
    std::vector<IniEdit> edits;
    IniEditKind first = options.all ? INI_EDIT_SET_ALL : INI_EDIT_SET;
    edits.push_back({first, arguments[1], arguments[2], arguments[3], flags});
    for (int i = 4; i < count; ++i) {
        edits.push_back({INI_EDIT_ADD, arguments[1], arguments[2], arguments[i], 0});
    }
    return edit(options, arguments[0], edits, true, out);
}

int run_add(const Options& options, int, char** arguments, Output* out) {
    uint32_t flags = options.uncomment ? INI_EDIT_UNCOMMENT : 0;
    return edit(options, arguments[0],
                {{INI_EDIT_ADD, arguments[1], arguments[2], arguments[3], flags}}, true, out);
}

int run_del(const Options& options, int count, char** arguments, Output* out) {
    if (options.all && count != 3) {
        return usage_error(kAllNeedsKey, "");
    }
    if (count == 2) {
        return edit(options, arguments[0],
                    {{INI_EDIT_REMOVE_SECTION, arguments[1], nullptr, nullptr, INI_EDIT_EXISTING}},
                    false, out);
    }
    IniEditKind kind = options.all ? INI_EDIT_REMOVE_ALL : INI_EDIT_REMOVE_KEY;
    return edit(options, arguments[0],
                {{kind, arguments[1], arguments[2], nullptr, INI_EDIT_EXISTING}}, false, out);
}

int run_merge(const Options& options, int count, char** arguments, Output* out) {
    const char* from = count == 2 ? arguments[1] : kStandardInput;
    if (is_standard_input(arguments[0]) && is_standard_input(from)) {
        return usage_error(kMergeFromInput, "");
    }
    int status = kTrouble;
    IniDocument* merged = load(options, from, false, &status, out);
    if (merged == nullptr) {
        return status;
    }
    IniOptions chosen = module_options(options);
    IniDocument* view = ini_read_view(merged, &chosen);
    std::vector<IniEdit> edits;
    for (int32_t i = 0; i < view->count; ++i) {
        const IniSection* section = view->sections[i];
        edits.push_back({INI_EDIT_ADD_SECTION, section->name, nullptr, nullptr, 0});
        for (int32_t j = 0; j < section->count; ++j) {
            const IniEntry* entry = section->entries[j];
            edits.push_back({INI_EDIT_SET, section->name, entry->key, entry->value, 0});
        }
    }
    status = edit(options, arguments[0], edits, true, out);
    ini_free_document(view);
    ini_free_document(merged);
    return status;
}

const Command kCommands[] = {
    {"get", kGet, 1, 3, run_get},       {"set", kSet, 2, -1, run_set},
    {"add", kAdd, 4, 4, run_add},       {"del", kDel, 2, 3, run_del},
    {"merge", kMerge, 1, 2, run_merge}, {"sections", kSections, 1, 1, run_sections},
    {"keys", kKeys, 2, 2, run_keys},    {"check", kCheck, 1, -1, run_check},
};

}  // namespace

int main(int argc, char** argv) {
    platform_binary_stdio();
    // Arguments and file names in UTF-8, whatever the code page holds.
    platform_utf8_arguments(&argc, &argv);
    platform_use_utf8_names(true);
    Output out;
    Options options;
    const Command* command = nullptr;
    int first = 0;
    int status = read_command_line(argc, argv, kCommands, int(sizeof kCommands / sizeof *kCommands),
                                   &options, &command, &first, &out);
    if (status < 0) {
        status = command->run(options, argc - first, argv + first, &out);
    }
    std::string reason;
    if (!out.flush(&reason)) {
        return fail(kStandardOutputName, kCannotWrite, reason);
    }
    return status;
}
