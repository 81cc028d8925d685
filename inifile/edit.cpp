// Edits in place: the changes of an edit made to a text, every other byte
// kept. The reader notes where each section and entry stands as it loads
// the text (the line rules are its alone); the plan says what becomes of
// each; the edited text is spliced from the original's bytes and the
// writer's lines (how a line looks is the writer's alone), then loaded
// again and compared with the plan: an edit that would not read back as
// intended is refused, never written.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "edit_plan.h"
#include "files.h"
#include "internal.h"
#include "layout.h"
#include "text_buffer.h"
#include "writer.h"

namespace {

// The edited text as it is spliced together: the original's bytes up to
// `copied`, with the writer's lines for the changes between them.
struct Splice {
    const char* text;
    size_t size;
    const IniLayout* layout;
    IniDialect dialect;
    bool compact;  // INI_NO_EXTRA_SPACES
    TextBuffer out;
    size_t copied;       // the original's bytes taken so far
    size_t text_end_at;  // the output's length when it ended with the original's
                         // last byte; SIZE_MAX before
};

}  // namespace

// Copies the original's bytes up to `to`, where they are not taken yet.
static void copy_to(Splice* splice, size_t to) {
    if (to > splice->copied) {
        text_append_run(&splice->out, splice->text + splice->copied, to - splice->copied);
        if (to == splice->size) {
            splice->text_end_at = splice->out.length;
        }
        splice->copied = to;
    }
}

// Passes over the original's bytes up to `to`: they are left out.
static void skip_to(Splice* splice, size_t to) {
    if (to > splice->copied) {
        splice->copied = to;
    }
}

// The line ending of a line that follows what is written so far: as the last
// line written ends, or where it has no ending, as the text's last line does.
static const char* ending_after(const Splice* splice) {
    const TextBuffer& out = splice->out;
    if (out.length > 0 && out.data[out.length - 1] == '\n') {
        return out.length > 1 && out.data[out.length - 2] == '\r' ? "\r\n" : "\n";
    }
    size_t size = splice->size;
    while (size > 0 && splice->text[size - 1] != '\n') {
        --size;
    }
    return size >= 2 && splice->text[size - 2] == '\r' ? "\r\n" : "\n";
}

// Ends the line written last where a new line cannot simply follow it: it
// has no ending, or the text ends in it inside a logical line. True when it
// had to.
static bool break_line(Splice* splice) {
    const TextBuffer& out = splice->out;
    bool at_text_end = out.length == splice->text_end_at;
    bool open = at_text_end && (splice->layout->open_line || splice->layout->open_escape);
    if (!open && (out.length == 0 || out.data[out.length - 1] == '\n')) {
        return false;
    }
    ini_append_line_break(&splice->out, ending_after(splice),
                          at_text_end && splice->layout->open_escape);
    return true;
}

// Appends new entry `entry` in `style` where a line may begin: ended; but
// after a last line without an ending the text stays unended, and the
// ending goes before it.
static void write_new_entry(Splice* splice, const PlanEntry& entry, const IniEntryStyle& style) {
    bool unended = break_line(splice);
    const char* ending = ending_after(splice);
    ini_append_entry(&splice->out, splice->dialect, entry.key, entry.value, ending, &style);
    if (!unended) {
        text_append_string(&splice->out, ending);
    }
}

// Writes new entry `entry` in the place of the line that comments it out:
// that line's blanks, the key, the line's delimiter (or `style`'s where it
// has none), the value, the line's ending.
static void write_uncommented(Splice* splice, const PlanEntry& entry, const IniEntryStyle& style) {
    const IniCommentedEntry& line = splice->layout->commented[entry.commented];
    const char* text = splice->text;
    copy_to(splice, line.first);
    IniEntryStyle own = style;
    own.indent = {text + line.first, line.indent};
    if (line.value_begin > line.key_end) {
        own.delimiter = text + line.key_end;
        own.delimiter_size = line.value_begin - line.key_end;
    }
    const char* ending = line.crlf ? "\r\n" : "\n";
    ini_append_entry(&splice->out, splice->dialect, entry.key, entry.value, ending, &own);
    if (line.ended) {
        text_append_string(&splice->out, ending);
    }
    skip_to(splice, line.end);
}

// Copies the comment lines that stand among the lines of the entry at
// `spot`: an edit of the entry keeps them, before it.
static void copy_comments(Splice* splice, const IniEntrySpot& spot) {
    const IniLineSpan* comments = splice->layout->comments + spot.comments;
    for (size_t i = 0; i < spot.comment_count; ++i) {
        text_append_run(&splice->out, splice->text + comments[i].first,
                        comments[i].end - comments[i].first);
    }
}

// Writes a loaded entry whose value changed. In the module's format, and
// where its value stands on one line and stays on one, only the value's
// bytes change (the key, the spacing, a comment after it stay; a key that
// had no value gets the delimiter of `style`); otherwise its lines become
// the comments among them, then its key line as it stood up to the value,
// then the value's own lines.
static void write_changed(Splice* splice, const PlanEntry& entry, const IniEntryStyle& style) {
    const IniEntrySpot& spot = splice->layout->entries[entry.spot];
    const char* ending = spot.crlf ? "\r\n" : "\n";
    bool common = splice->dialect == INI_DIALECT_COMMON;
    if (!common || (!spot.continued && strchr(entry.value, '\n') == nullptr)) {
        copy_to(splice, spot.value_begin);
        if (common && !spot.has_delimiter) {
            ini_append_delimiter(&splice->out, &style, entry.value[0] == '\0');
        }
        ini_append_value(&splice->out, splice->dialect, entry.value, ending, "", 0);
        skip_to(splice, spot.value_end);
        return;
    }
    copy_to(splice, spot.first);
    copy_comments(splice, spot);
    const char* text = splice->text;
    text_append_run(&splice->out, text + spot.first, spot.value_begin - spot.first);
    if (!spot.has_delimiter) {
        ini_append_delimiter(&splice->out, &style, false);
    } else if (entry.value[0] != '\n' && entry.value[0] != '\0' &&
               spot.value_begin < splice->size &&
               (text[spot.value_begin] == '\n' || text[spot.value_begin] == '\r')) {
        // "key =" with the value on the lines below: a value now on this
        // line stands after a blank where the delimiter has one before it.
        if (text[spot.key_end] == ' ' || text[spot.key_end] == '\t') {
            text_append(&splice->out, ' ');
        }
    }
    // Continuation lines are indented as the first one was, or one step
    // deeper than the key.
    if (spot.continuation_indent_length > 0) {
        ini_append_value(&splice->out, INI_DIALECT_COMMON, entry.value, ending,
                         text + spot.continuation_indent, spot.continuation_indent_length);
    } else {
        ini_append_continued(&splice->out, entry.value, ending, text + spot.first, spot.indent);
    }
    if (spot.ended) {
        text_append_string(&splice->out, ending);
    }
    skip_to(splice, spot.end);
}

// Where the section after loaded section `spot` begins: its region ends there.
static size_t region_end(const Splice* splice, int32_t spot) {
    const IniLayout* layout = splice->layout;
    return size_t(spot) + 1 < layout->section_count ? layout->sections[spot + 1].first
                                                    : splice->size;
}

// The delimiter of the loaded entry at `spot`, where it has a value to show
// it with its blanks; the null style otherwise.
static bool take_delimiter(const Splice* splice, int32_t spot, IniEntryStyle* style) {
    const IniEntrySpot& entry = splice->layout->entries[spot];
    if (!entry.has_delimiter || entry.value_begin == entry.value_end) {
        return false;
    }
    style->delimiter = splice->text + entry.key_end;
    style->delimiter_size = entry.value_begin - entry.key_end;
    return true;
}

// How new entries of plan section `index` look in the common dialect: the
// delimiter of the section's last entry with a value, or of the file's last
// one (the indentation is each new entry's own, new_entry_indent).
static IniEntryStyle new_entry_style(const Splice* splice, const Plan* plan, int32_t index) {
    IniEntryStyle style = {{nullptr, 0}, nullptr, 0};
    if (splice->dialect != INI_DIALECT_COMMON) {
        return style;
    }
    const PlanSection& section = plan->sections[index];
    for (int32_t i = section.count - 1; i >= 0 && style.delimiter == nullptr; --i) {
        const PlanEntry& entry = section.entries[i];
        if (entry.spot >= 0 && !entry.removed) {
            take_delimiter(splice, entry.spot, &style);
        }
    }
    for (size_t i = splice->layout->entry_count; i > 0 && style.delimiter == nullptr; --i) {
        take_delimiter(splice, int32_t(i - 1), &style);
    }
    if (style.delimiter == nullptr && splice->compact) {
        style.delimiter = "=";
        style.delimiter_size = 1;
    }
    return style;
}

// The blanks of the loaded entry at `spot`.
static IniIndent indent_of(const Splice* splice, int32_t spot) {
    const IniEntrySpot& entry = splice->layout->entries[spot];
    return {splice->text + entry.first, entry.indent};
}

// The indentation of new entry `at` of plan section `index`: after the
// stayed loaded entry before it in the section, before the stayed loaded
// entry after it or else the next stayed header (ini_new_entry_indent).
static IniIndent new_entry_indent(const Splice* splice, const Plan* plan, int32_t index,
                                  int32_t at) {
    const PlanSection& section = plan->sections[index];
    IniIndent before = {nullptr, 0};
    IniIndent after = {nullptr, 0};
    for (int32_t i = at - 1; i >= 0 && before.bytes == nullptr; --i) {
        if (section.entries[i].spot >= 0 && !section.entries[i].removed) {
            before = indent_of(splice, section.entries[i].spot);
        }
    }
    for (int32_t i = at + 1; i < section.count && after.bytes == nullptr; ++i) {
        if (section.entries[i].spot >= 0 && !section.entries[i].removed) {
            after = indent_of(splice, section.entries[i].spot);
        }
    }
    for (int32_t i = index + 1; i < plan->count && after.bytes == nullptr; ++i) {
        const PlanSection& next = plan->sections[i];
        if (next.spot >= 0 && !next.removed) {
            const IniSectionSpot& spot = splice->layout->sections[next.spot];
            after = {splice->text + spot.first, spot.indent};
        }
    }
    return ini_new_entry_indent(splice->dialect, before, after);
}

// Writes loaded section `index` of the plan: its header as it is, its
// entries as the plan has them, each new one where the plan puts it: in the
// place of a line that comments it out, or right after the loaded entry
// before it (or the header).
static void write_loaded_section(Splice* splice, const Plan* plan, int32_t index) {
    const PlanSection& section = plan->sections[index];
    const IniSectionSpot& spot = splice->layout->sections[section.spot];
    copy_to(splice, spot.first);
    if (section.removed) {
        skip_to(splice, region_end(splice, section.spot));
        return;
    }
    IniEntryStyle style = new_entry_style(splice, plan, index);
    size_t last_end = spot.end;
    for (int32_t i = 0; i < section.count; ++i) {
        const PlanEntry& entry = section.entries[i];
        if (entry.spot < 0) {
            if (entry.removed) {
                continue;
            }
            if (entry.commented >= 0) {
                write_uncommented(splice, entry, style);
            } else {
                copy_to(splice, last_end);
                IniEntryStyle placed = style;
                placed.indent = new_entry_indent(splice, plan, index, i);
                write_new_entry(splice, entry, placed);
            }
            continue;
        }
        const IniEntrySpot& entry_spot = splice->layout->entries[entry.spot];
        last_end = entry_spot.end;
        if (entry.removed) {
            copy_to(splice, entry_spot.first);
            copy_comments(splice, entry_spot);
            skip_to(splice, entry_spot.end);
        } else if (strcmp(entry.value, entry.loaded_value) != 0) {
            write_changed(splice, entry, style);
        }
    }
    copy_to(splice, last_end);
}

// Writes new section `section` at the end: its header, after an empty line
// where the text separates its sections so, and its entries.
static void write_new_section(Splice* splice, const Plan* plan, int32_t index) {
    const PlanSection& section = plan->sections[index];
    if (section.removed) {
        return;
    }
    break_line(splice);
    const IniLayout* layout = splice->layout;
    bool separated = false;
    for (size_t i = layout->section_count; i > 0 && !separated; --i) {
        separated = ini_sections_separated(splice->text, layout->sections[i - 1].first);
    }
    if (separated && splice->out.length > 0) {
        text_append_string(&splice->out, ending_after(splice));
    }
    ini_append_header(&splice->out, section.name, ending_after(splice));
    IniEntryStyle style = new_entry_style(splice, plan, index);
    style.indent = {"", 0};
    for (int32_t i = 0; i < section.count; ++i) {
        if (!section.entries[i].removed) {
            write_new_entry(splice, section.entries[i], style);
        }
    }
}

// The edited text of `text` as `plan` has it, in `out`.
static void write_edited(const char* text, size_t size, const IniLayout* layout,
                         const IniOptions& options, const Plan* plan, size_t room,
                         TextBuffer* out) {
    bool compact = (options.flags & INI_NO_EXTRA_SPACES) != 0;
    Splice splice = {text, size, layout, options.dialect, compact, {}, 0, SIZE_MAX};
    text_init(&splice.out);
    text_reserve(&splice.out, size + room);
    for (int32_t i = 0; i < plan->count; ++i) {
        if (plan->sections[i].spot >= 0) {
            write_loaded_section(&splice, plan, i);
        }
    }
    copy_to(&splice, size);
    for (int32_t i = 0; i < plan->count; ++i) {
        if (plan->sections[i].spot < 0) {
            write_new_section(&splice, plan, i);
        }
    }
    *out = splice.out;
}

// Bytes the changes may add, beyond the text: the escaped strings and a
// line or two each. Only a first guess for the output's size.
static size_t room_for(const IniEdit* edits, size_t count) {
    size_t room = 0;
    for (size_t i = 0; i < count; ++i) {
        const IniEdit& edit = edits[i];
        size_t strings = (edit.section ? strlen(edit.section) : 0) +
                         (edit.key ? strlen(edit.key) : 0) + (edit.value ? strlen(edit.value) : 0);
        room += 2 * strings + 16;
    }
    return room;
}

// Whether every change names what its kind needs.
static bool well_formed(const IniEdit* edits, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const IniEdit& edit = edits[i];
        bool valued =
            edit.kind == INI_EDIT_SET || edit.kind == INI_EDIT_SET_ALL || edit.kind == INI_EDIT_ADD;
        bool entry = valued || edit.kind == INI_EDIT_REMOVE_KEY || edit.kind == INI_EDIT_REMOVE_ALL;
        bool known =
            entry || edit.kind == INI_EDIT_ADD_SECTION || edit.kind == INI_EDIT_REMOVE_SECTION;
        if (!known || edit.section == nullptr || (entry && edit.key == nullptr) ||
            (valued && edit.value == nullptr)) {
            return false;
        }
    }
    return true;
}

// `options`, or the defaults where it is null.
static IniOptions options_or_defaults(const IniOptions* options) {
    IniOptions chosen = {};
    if (options != nullptr) {
        chosen = *options;
    }
    return chosen;
}

// The edit of a text: the plan of its document, changed as `edits` say,
// then written, loaded again and compared.
static IniEditResult edit_text(const char* text, size_t size, const IniEdit* edits, size_t count,
                               const IniOptions& options, TextBuffer* out, IniLoadReport* report) {
    IniLayout layout;
    IniDocument* before = ini_load_laid_out(text, size, &options, report, &layout);
    if (before == nullptr) {
        return INI_EDIT_DOES_NOT_LOAD;
    }
    const char* original = text == nullptr ? "" : text;
    size_t original_size = text == nullptr ? 0 : size;
    Plan plan;
    plan_init(&plan, before, original, &layout,
              {options.dialect == INI_DIALECT_COMMON, (options.flags & INI_IGNORE_CASE) != 0});
    IniEditResult result = INI_EDIT_CHANGED;
    for (size_t i = 0; i < count && result == INI_EDIT_CHANGED; ++i) {
        result = plan_apply(&plan, edits[i]);
    }
    if (result == INI_EDIT_CHANGED && !plan_changes(&plan)) {
        result = INI_EDIT_UNCHANGED;
    }
    if (result == INI_EDIT_CHANGED) {
        write_edited(original, original_size, &layout, options, &plan, room_for(edits, count), out);
        IniDocument* after = ini_load_laid_out(out->data, out->length, &options, nullptr, nullptr);
        if (after == nullptr || !plan_matches(&plan, after)) {
            result = INI_EDIT_NOT_REPRESENTABLE;
            text_free(out);
        }
        ini_free_document(after);
    }
    plan_free(&plan);
    ini_layout_free(&layout);
    ini_free_document(before);
    return result;
}

IniEditResult ini_edit_text_with(const char* text, size_t size, const IniEdit* edits, size_t count,
                                 const IniOptions* options, char** edited, size_t* edited_size,
                                 IniLoadReport* report) {
    *edited = nullptr;
    *edited_size = 0;
    if (!well_formed(edits, count)) {
        return INI_EDIT_NOT_REPRESENTABLE;
    }
    IniLoadReport unused;
    TextBuffer out = {};
    IniEditResult result = edit_text(text, size, edits, count, options_or_defaults(options), &out,
                                     report == nullptr ? &unused : report);
    if (result == INI_EDIT_CHANGED) {
        *edited = out.data;
        *edited_size = out.length;
    }
    return result;
}

// Which part of `edit` the dialect of `options` cannot hold, and why; null
// where each part reads back. Each part is tried alone, beside plain words.
static const char* refusal_of(const IniEdit& edit, const IniOptions& options) {
    struct Part {
        const char* text;
        const char* name;
    };
    const Part parts[] = {{edit.section, "section name"}, {edit.key, "key"}, {edit.value, "value"}};
    for (int i = 0; i < 3; ++i) {
        if (parts[i].text == nullptr) {
            continue;
        }
        IniEdit alone = {INI_EDIT_SET, i == 0 ? parts[i].text : "s", i == 1 ? parts[i].text : "k",
                         i == 2 ? parts[i].text : "v", 0};
        TextBuffer out = {};
        IniLoadReport report;
        IniEditResult result = edit_text("", 0, &alone, 1, options, &out, &report);
        text_free(&out);
        if (result != INI_EDIT_NOT_REPRESENTABLE) {
            continue;
        }
        const char* text = parts[i].text;
        size_t length = strlen(text);
        static thread_local char why[64];
        const char* reason = strchr(text, '\n') != nullptr || strchr(text, '\r') != nullptr
                                 ? "holds a line break"
                             : length == 0 ? "is empty"
                             : text[0] == ' ' || text[0] == '\t' || text[length - 1] == ' ' ||
                                     text[length - 1] == '\t'
                                 ? "begins or ends with a blank"
                                 : "holds a character the format reads otherwise";
        snprintf(why, sizeof why, "the %s %s", parts[i].name, reason);
        return why;
    }
    return nullptr;
}

const char* ini_edit_refusal(const IniEdit* edits, size_t count, const IniOptions* options) {
    if (!well_formed(edits, count)) {
        return "an edit lacks its section, key or value";
    }
    IniOptions chosen = options_or_defaults(options);
    chosen.flags &= ~uint32_t(INI_DRY_RUN);
    for (size_t i = 0; i < count; ++i) {
        if (const char* refusal = refusal_of(edits[i], chosen)) {
            return refusal;
        }
    }
    return nullptr;
}

IniEditResult ini_edit_text(const char* text, size_t size, const char* section, const char* key,
                            const char* value, char** edited, size_t* edited_size,
                            IniLoadReport* report) {
    IniEdit edit = {value == nullptr ? INI_EDIT_REMOVE_KEY : INI_EDIT_SET, section, key, value, 0};
    return ini_edit_text_with(text, size, &edit, 1, nullptr, edited, edited_size, report);
}

void ini_free_text(char* text) {
    free(text);
}

// What a refusal of the platform's edit means for the module's caller.
static IniEditResult result_of(PlatformEditStatus status) {
    switch (status) {
        case PLATFORM_EDIT_OK:
            return INI_EDIT_CHANGED;
        case PLATFORM_EDIT_NOT_REGULAR:
            return INI_EDIT_NOT_A_FILE;
        case PLATFORM_EDIT_READ_ONLY:
            return INI_EDIT_READ_ONLY;
        case PLATFORM_EDIT_BUSY:
            return INI_EDIT_BUSY;
        case PLATFORM_EDIT_CANNOT_READ:
            return INI_EDIT_CANNOT_READ;
        case PLATFORM_EDIT_MISSING:
        case PLATFORM_EDIT_CANNOT_OPEN:
            break;
    }
    return INI_EDIT_CANNOT_OPEN;
}

// The warning of the last edit of a file on this thread.
static thread_local const char* edit_warning = nullptr;

// What the platform's commit means for the module's caller.
static IniEditResult result_of(PlatformCommitStatus status) {
    switch (status) {
        case PLATFORM_COMMIT_DONE:
            return INI_EDIT_CHANGED;
        case PLATFORM_COMMIT_UNFLUSHED:
            edit_warning = "the folder could not be flushed";
            return INI_EDIT_CHANGED;
        case PLATFORM_COMMIT_CONFLICT:
            return INI_EDIT_CONFLICT;
        case PLATFORM_COMMIT_FOLDER_REFUSED:
            return INI_EDIT_FOLDER_REFUSED;
        case PLATFORM_COMMIT_FAILED:
            break;
    }
    return INI_EDIT_CANNOT_WRITE;
}

const char* ini_edit_warning() {
    return edit_warning;
}

IniEditResult ini_edit_file_texts(const char* path, const IniEdit* edits, size_t count,
                                  const IniOptions* options, IniLoadReport* report, char** before,
                                  size_t* before_size, char** after, size_t* after_size) {
    IniLoadReport unused;
    if (report == nullptr) {
        report = &unused;
    }
    *report = {INI_LOAD_CANNOT_OPEN, 0};
    edit_warning = nullptr;
    if (before != nullptr) {
        *before = *after = nullptr;
        *before_size = *after_size = 0;
    }
    if (!well_formed(edits, count)) {
        *report = {INI_LOAD_OK, 0};
        return INI_EDIT_NOT_REPRESENTABLE;
    }
    IniOptions chosen = options_or_defaults(options);
    long wait = chosen.edit_wait_ms == 0  ? kPlatformEditWaitMs
                : chosen.edit_wait_ms < 0 ? 0
                                          : chosen.edit_wait_ms;
    unsigned flags = ((chosen.flags & INI_CREATE_MISSING) != 0 ? PLATFORM_EDIT_CREATE : 0) |
                     ((chosen.flags & INI_IN_PLACE) != 0 ? PLATFORM_EDIT_IN_PLACE : 0);
    PlatformEdit* edit = nullptr;
    bool names = platform_use_utf8_names((chosen.flags & INI_UTF8_NAMES) != 0);
    PlatformEditStatus status = platform_edit_begin(path, wait, flags, &edit);
    platform_use_utf8_names(names);
    if (status != PLATFORM_EDIT_OK) {
        if (status == PLATFORM_EDIT_CANNOT_READ) {
            *report = {INI_LOAD_CANNOT_READ, 0};
        }
        return result_of(status);
    }
    size_t size = 0;
    const char* text = platform_edit_text(edit, &size);
    TextBuffer out = {};
    IniEditResult result = edit_text(text, size, edits, count, chosen, &out, report);
    if (result == INI_EDIT_CHANGED) {
        if (before != nullptr) {
            *before = static_cast<char*>(ini_allocate(size + 1));
            memcpy(*before, text == nullptr ? "" : text, size);
            *before_size = size;
        }
        platform_edit_drop_text(edit);
        if ((chosen.flags & INI_DRY_RUN) == 0) {
            result = result_of(platform_edit_commit(edit, out.data, out.length));
        }
        if (before != nullptr && result == INI_EDIT_CHANGED) {
            *after = out.data;
            *after_size = out.length;
            out = {};
        } else if (before != nullptr) {
            free(*before);
            *before = nullptr;
            *before_size = 0;
        }
        text_free(&out);
    }
    platform_edit_end(edit);
    return result;
}

IniEditResult ini_edit_file_with(const char* path, const IniEdit* edits, size_t count,
                                 const IniOptions* options, IniLoadReport* report) {
    return ini_edit_file_texts(path, edits, count, options, report, nullptr, nullptr, nullptr,
                               nullptr);
}

IniEditResult ini_edit_file(const char* path, const char* section, const char* key,
                            const char* value, IniLoadReport* report) {
    IniEdit edit = {value == nullptr ? INI_EDIT_REMOVE_KEY : INI_EDIT_SET, section, key, value, 0};
    return ini_edit_file_with(path, &edit, 1, nullptr, report);
}

const char* ini_edit_result_text(IniEditResult result) {
    int kind;
    memcpy(&kind, &result, sizeof kind);
    switch (kind) {
        case INI_EDIT_CHANGED:
            return "changed";
        case INI_EDIT_UNCHANGED:
            return "unchanged";
        case INI_EDIT_CANNOT_OPEN:
            return "cannot open the file";
        case INI_EDIT_DOES_NOT_LOAD:
            return "the file does not load";
        case INI_EDIT_NOT_REPRESENTABLE:
            return "the file format cannot hold that name, key or value as it is";
        case INI_EDIT_CANNOT_WRITE:
            return "cannot write the file";
        case INI_EDIT_CANNOT_READ:
            return "cannot read the file";
        case INI_EDIT_NOT_A_FILE:
            return "not a regular file";
        case INI_EDIT_READ_ONLY:
            return "the file is read-only";
        case INI_EDIT_BUSY:
            return "the file is being edited";
        case INI_EDIT_NOT_FOUND:
            return "no such entry";
        case INI_EDIT_CONFLICT:
            return "another program changed the file during the edit";
        case INI_EDIT_FOLDER_REFUSED:
            return "cannot write in the file's folder";
        case INI_EDIT_NO_SECTION:
            return "no such section";
    }
    return "unknown edit result";
}
