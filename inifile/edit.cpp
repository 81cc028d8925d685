// Edits in place: the changes of an edit made to a text, every other byte
// kept. The reader notes where each section and entry stands as it loads
// the text (the line rules are its alone); the plan says what becomes of
// each; the edited text is written from both, and loaded again and compared
// with the plan: an edit that would not read back as intended is refused,
// never written.
#include <cstdlib>
#include <cstring>

#include "edit_plan.h"
#include "files.h"
#include "internal.h"
#include "layout.h"
#include "text_buffer.h"
#include "writer.h"

namespace {

// The edited text as it is written: the original's bytes up to `copied`,
// with the changes between them.
struct Writer {
    const char* text;
    size_t size;
    const IniLayout* layout;
    IniDialect dialect;
    TextBuffer out;
    size_t copied;       // the original's bytes taken so far
    size_t text_end_at;  // the output's length when it ended with the original's
                         // last byte; SIZE_MAX before
};

}  // namespace

// Copies the original's bytes up to `to`.
static void copy_to(Writer* writer, size_t to) {
    if (to > writer->copied) {
        text_append_run(&writer->out, writer->text + writer->copied, to - writer->copied);
        if (to == writer->size) {
            writer->text_end_at = writer->out.length;
        }
    }
    writer->copied = to;
}

// Passes over the original's bytes up to `to`: they are left out.
static void skip_to(Writer* writer, size_t to) {
    writer->copied = to;
}

// The line ending of a line that follows what is written so far: as the last
// line written ends, or where it has no ending, as the text's last line does.
static const char* ending_after(const Writer* writer) {
    const TextBuffer& out = writer->out;
    if (out.length > 0 && out.data[out.length - 1] == '\n') {
        return out.length > 1 && out.data[out.length - 2] == '\r' ? "\r\n" : "\n";
    }
    size_t size = writer->size;
    while (size > 0 && writer->text[size - 1] != '\n') {
        --size;
    }
    return size >= 2 && writer->text[size - 2] == '\r' ? "\r\n" : "\n";
}

// Ends the line written last, where it has no ending or is continued at the
// text's end, so that a new line can follow: twice where the text ends in an
// escape, which would take the first for a continuation. True when it had to.
static bool break_line(Writer* writer) {
    const TextBuffer& out = writer->out;
    bool at_text_end = out.length == writer->text_end_at;
    bool open = at_text_end && (writer->layout->open_line || writer->layout->open_escape);
    if (!open && (out.length == 0 || out.data[out.length - 1] == '\n')) {
        return false;
    }
    // A carriage return there already is half of the ending: another would
    // be a byte of the line in the common dialect.
    bool half = out.length > 0 && out.data[out.length - 1] == '\r';
    const char* ending = half ? "\n" : ending_after(writer);
    bool escaped = at_text_end && writer->layout->open_escape;
    text_append_string(&writer->out, ending);
    if (escaped) {
        text_append_string(&writer->out, ending);
    }
    return true;
}

// Blanks that begin a line: bytes of the text, or none.
struct Indent {
    const char* bytes;
    size_t size;
};

// Appends the new entries of `section` where a line may begin, after
// `indent`: each ended; but after a last line without an ending, the text
// stays unended and the endings go before them.
static void append_new_entries(Writer* writer, const PlanSection& section, Indent indent) {
    bool first = true;
    bool unended = false;
    const char* ending = "\n";
    for (int32_t i = 0; i < section.count; ++i) {
        const PlanEntry& entry = section.entries[i];
        if (entry.removed || entry.spot >= 0) {
            continue;
        }
        if (first) {
            unended = break_line(writer);
            ending = ending_after(writer);
            first = false;
        } else if (unended) {
            text_append_string(&writer->out, ending);
        }
        ini_append_entry(&writer->out, writer->dialect, entry.key, entry.value, ending,
                         indent.bytes, indent.size);
        if (!unended) {
            text_append_string(&writer->out, ending);
        }
    }
}

// Writes a loaded entry whose value changed. Where its value stands on one
// line, and stays on one, only the value's bytes change; otherwise its lines
// become one key line (the common dialect keeps what stands before the
// value) and the value's own lines.
static void write_changed(Writer* writer, const PlanEntry& entry) {
    const IniEntrySpot& spot = writer->layout->entries[entry.spot];
    const char* ending = spot.crlf ? "\r\n" : "\n";
    bool common = writer->dialect == INI_DIALECT_COMMON;
    bool one_line = strchr(entry.value, '\n') == nullptr || !common;
    if (!spot.continued && one_line) {
        copy_to(writer, spot.value_begin);
        ini_append_value(&writer->out, writer->dialect, entry.value, ending, "", 0);
        skip_to(writer, spot.value_end);
        return;
    }
    copy_to(writer, spot.first);
    if (common) {
        // Continuation lines are indented as the first one was, or one step
        // deeper than the key.
        const char* text = writer->text;
        text_append_run(&writer->out, text + spot.first, spot.value_begin - spot.first);
        if (spot.continuation_indent_length > 0) {
            ini_append_value(&writer->out, INI_DIALECT_COMMON, entry.value, ending,
                             text + spot.continuation_indent, spot.continuation_indent_length);
        } else {
            ini_append_continued(&writer->out, entry.value, ending, text + spot.first, spot.indent);
        }
    } else {
        ini_append_entry(&writer->out, INI_DIALECT_MODULE, entry.key, entry.value, ending, "", 0);
    }
    if (spot.ended) {
        text_append_string(&writer->out, ending);
    }
    skip_to(writer, spot.end);
}

// Where the section after loaded section `spot` begins: its region ends there.
static size_t region_end(const Writer* writer, int32_t spot) {
    const IniLayout* layout = writer->layout;
    return size_t(spot) + 1 < layout->section_count ? layout->sections[spot + 1].first
                                                    : writer->size;
}

// The blanks that new entries of loaded section `index` are indented by,
// in the common dialect: those of its last entry that stays, or where none
// does, those of the next header that stays. A line indented deeper than
// the entry before it would continue that entry's value, so entries after a
// header are indented no deeper than the lines after them.
static Indent new_entry_indent(const Writer* writer, const Plan* plan, int32_t index) {
    if (writer->dialect != INI_DIALECT_COMMON) {
        return {"", 0};
    }
    const PlanSection& section = plan->sections[index];
    for (int32_t i = section.count - 1; i >= 0; --i) {
        const PlanEntry& entry = section.entries[i];
        if (entry.spot >= 0 && !entry.removed) {
            const IniEntrySpot& spot = writer->layout->entries[entry.spot];
            return {writer->text + spot.first, spot.indent};
        }
    }
    for (int32_t i = index + 1; i < plan->count; ++i) {
        const PlanSection& next = plan->sections[i];
        if (next.spot >= 0 && !next.removed) {
            const IniSectionSpot& spot = writer->layout->sections[next.spot];
            return {writer->text + spot.first, spot.indent};
        }
    }
    return {"", 0};
}

// Writes loaded section `index` of the plan: its header as it is, its
// entries as the plan has them, its new entries right after its last loaded
// entry (or its header).
static void write_loaded_section(Writer* writer, const Plan* plan, int32_t index) {
    const PlanSection& section = plan->sections[index];
    const IniSectionSpot& spot = writer->layout->sections[section.spot];
    copy_to(writer, spot.first);
    if (section.removed) {
        skip_to(writer, region_end(writer, section.spot));
        return;
    }
    size_t last_end = spot.end;
    for (int32_t i = 0; i < section.count; ++i) {
        const PlanEntry& entry = section.entries[i];
        if (entry.spot < 0) {
            continue;
        }
        const IniEntrySpot& entry_spot = writer->layout->entries[entry.spot];
        last_end = entry_spot.end;
        if (entry.removed) {
            copy_to(writer, entry_spot.first);
            skip_to(writer, entry_spot.end);
        } else if (strcmp(entry.value, entry.loaded_value) != 0) {
            write_changed(writer, entry);
        }
    }
    copy_to(writer, last_end);
    append_new_entries(writer, section, new_entry_indent(writer, plan, index));
}

// Writes new section `section` at the end: its header and its entries.
static void write_new_section(Writer* writer, const PlanSection& section) {
    if (section.removed) {
        return;
    }
    break_line(writer);
    const char* ending = ending_after(writer);
    text_append(&writer->out, '[');
    text_append_string(&writer->out, section.name);
    text_append(&writer->out, ']');
    text_append_string(&writer->out, ending);
    append_new_entries(writer, section, {"", 0});
}

// The edited text of `text` as `plan` has it, in `out`.
static void write_edited(const char* text, size_t size, const IniLayout* layout, IniDialect dialect,
                         const Plan* plan, size_t room, TextBuffer* out) {
    Writer writer = {text, size, layout, dialect, {}, 0, SIZE_MAX};
    text_init(&writer.out);
    text_reserve(&writer.out, size + room);
    for (int32_t i = 0; i < plan->count; ++i) {
        if (plan->sections[i].spot >= 0) {
            write_loaded_section(&writer, plan, i);
        }
    }
    copy_to(&writer, size);
    for (int32_t i = 0; i < plan->count; ++i) {
        if (plan->sections[i].spot < 0) {
            write_new_section(&writer, plan->sections[i]);
        }
    }
    *out = writer.out;
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
        bool entry = edit.kind == INI_EDIT_SET || edit.kind == INI_EDIT_REMOVE_KEY ||
                     edit.kind == INI_EDIT_REMOVE_ALL;
        bool known =
            entry || edit.kind == INI_EDIT_ADD_SECTION || edit.kind == INI_EDIT_REMOVE_SECTION;
        if (!known || edit.section == nullptr || (entry && edit.key == nullptr) ||
            (edit.kind == INI_EDIT_SET && edit.value == nullptr)) {
            return false;
        }
    }
    return true;
}

// The edit of a text: the plan of its document, changed as `edits` say,
// then written, loaded again and compared.
static IniEditResult edit_text(const char* text, size_t size, const IniEdit* edits, size_t count,
                               IniDialect dialect, TextBuffer* out, IniLoadReport* report) {
    IniLayout layout;
    IniDocument* before = ini_load_laid_out(text, size, dialect, report, &layout);
    if (before == nullptr) {
        return INI_EDIT_DOES_NOT_LOAD;
    }
    Plan plan;
    plan_init(&plan, before);
    IniEditResult result = INI_EDIT_CHANGED;
    for (size_t i = 0; i < count && result == INI_EDIT_CHANGED; ++i) {
        result = plan_apply(&plan, edits[i]);
    }
    if (result == INI_EDIT_CHANGED && !plan_changes(&plan)) {
        result = INI_EDIT_UNCHANGED;
    }
    if (result == INI_EDIT_CHANGED) {
        write_edited(text == nullptr ? "" : text, text == nullptr ? 0 : size, &layout, dialect,
                     &plan, room_for(edits, count), out);
        IniDocument* after = ini_load_laid_out(out->data, out->length, dialect, nullptr, nullptr);
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

// The dialect and wait of `options`; null means the defaults.
static IniOptions options_or_defaults(const IniOptions* options) {
    IniOptions chosen = {};
    if (options != nullptr) {
        chosen = *options;
    }
    return chosen;
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
    IniEditResult result = edit_text(text, size, edits, count, options_or_defaults(options).dialect,
                                     &out, report == nullptr ? &unused : report);
    if (result == INI_EDIT_CHANGED) {
        *edited = out.data;
        *edited_size = out.length;
    }
    return result;
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

IniEditResult ini_edit_file_with(const char* path, const IniEdit* edits, size_t count,
                                 const IniOptions* options, IniLoadReport* report) {
    IniLoadReport unused;
    if (report == nullptr) {
        report = &unused;
    }
    *report = {INI_LOAD_CANNOT_OPEN, 0};
    if (!well_formed(edits, count)) {
        *report = {INI_LOAD_OK, 0};
        return INI_EDIT_NOT_REPRESENTABLE;
    }
    IniOptions chosen = options_or_defaults(options);
    long wait = chosen.edit_wait_ms == 0  ? kPlatformEditWaitMs
                : chosen.edit_wait_ms < 0 ? 0
                                          : chosen.edit_wait_ms;
    PlatformEdit* edit = nullptr;
    PlatformEditStatus status =
        platform_edit_begin(path, wait, (chosen.flags & INI_CREATE_MISSING) != 0, &edit);
    if (status != PLATFORM_EDIT_OK) {
        if (status == PLATFORM_EDIT_CANNOT_READ) {
            *report = {INI_LOAD_CANNOT_READ, 0};
        }
        return result_of(status);
    }
    size_t size = 0;
    const char* text = platform_edit_text(edit, &size);
    TextBuffer out = {};
    IniEditResult result = edit_text(text, size, edits, count, chosen.dialect, &out, report);
    if (result == INI_EDIT_CHANGED) {
        platform_edit_drop_text(edit);
        if (!platform_edit_commit(edit, out.data, out.length)) {
            result = INI_EDIT_CANNOT_WRITE;
        }
        text_free(&out);
    }
    platform_edit_end(edit);
    return result;
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
    }
    return "unknown edit result";
}
