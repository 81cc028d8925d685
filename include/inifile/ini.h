// INI-style configuration files: an in-memory document of named sections
// holding key/value entries, a reader and a writer.
//
// Strings are NUL-terminated 8-bit byte strings; no encoding is interpreted
// and names and keys compare byte for byte, case-sensitively. Nothing here
// prints; every outcome is a return value. A document must not be used
// from two threads at once; but sections and entries that no document or
// section holds any more are objects of their own, and may be released on
// different threads at once, loaded ones too.
//
// Ownership: a document owns its sections, a section owns its name and its
// entries, an entry owns its key and its value. A section's name and an
// entry's key and value are released only with their record (for the key
// and value, also when ini_set replaces them), never on their own. Strings
// passed in are only read (and copied where they are stored); strings handed
// out belong to the document and stay valid until their entry or section is
// replaced, removed or released.
//
// Running out of memory is not reported through these functions: the process
// is aborted instead, so no caller ever sees a half-built document.
//
// The header is C99 as well as C++: C programs and foreign-function
// interfaces call the same functions, whose names are not mangled.
#ifndef INIFILE_INI_H_
#define INIFILE_INI_H_

#include <stddef.h>
#include <stdint.h>

// Marks the functions a shared build exports; everything else in the library
// stays hidden. Calls from outside need no import marking on Windows: the
// import library resolves them.
#if defined(_WIN32)
#if defined(INIFILE_BUILDING_DLL)
#define INI_API __declspec(dllexport)
#else
#define INI_API
#endif
#elif defined(__GNUC__)
#define INI_API __attribute__((visibility("default")))
#else
#define INI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct IniEntry {
    char* key;    // the key, then its terminator; released with the entry
    char* value;  // follows the key's terminator; never released on its own
} IniEntry;

typedef struct IniSection {
    int32_t count;     // entries in use: slots 0 .. count - 1
    int32_t capacity;  // 10, 20, 30, ...: grows by 10 when an append finds
                       // count equal to it; slots from count on are the
                       // module's and may be fewer (a loaded section)
    char* name;        // owned by the section, released with it
    IniEntry** entries;
} IniSection;

typedef struct IniDocument {
    int32_t count;     // sections in use: slots 0 .. count - 1
    int32_t capacity;  // slots allocated in `sections`: 10, 20, 30, ...
    IniSection** sections;
} IniDocument;

// A new empty document (10 slots), owned by the caller; release it with
// ini_free_document.
INI_API IniDocument* ini_new_document(void);

// A new empty section (10 slots) holding a private copy of `name`, owned by
// the caller until it is handed to ini_add_section.
INI_API IniSection* ini_new_section(const char* name);

// Release an entry, a section with all its entries, or a document with all
// its sections. Only for what no document or section holds any more (or
// never held); null is ignored.
INI_API void ini_free_entry(IniEntry* entry);
INI_API void ini_free_section(IniSection* section);
INI_API void ini_free_document(IniDocument* document);

// The first section named `name`, or null.
INI_API IniSection* ini_find_section(const IniDocument* document, const char* name);

// Hands `section` to the document. When a section of the same name is present
// (first match), `section` takes its slot, the old one is released and the
// result is 0; otherwise `section` is appended and the result is 1.
// `section` must not already belong to a document.
INI_API int ini_add_section(IniDocument* document, IniSection* section);

// Releases the first section named `name` and moves the last section into its
// slot: 0. No such section: 1, nothing changes.
INI_API int ini_remove_section(IniDocument* document, const char* name);

// The name of the section in slot `index`, or null outside 0 .. count - 1.
INI_API const char* ini_section_name_at(const IniDocument* document, int index);

// The value of the first entry whose key is `key`, or null.
INI_API const char* ini_get(const IniSection* section, const char* key);

// Sets `key` to `value`: replaces the first entry of that key in place (0) or
// appends a new entry (1). `key` and `value` may point into the entry being
// replaced.
INI_API int ini_set(IniSection* section, const char* key, const char* value);

// The key of the entry in slot `index`, or null outside 0 .. count - 1.
INI_API const char* ini_key_at(const IniSection* section, int index);

// Releases the first entry of `key` and moves the last entry into its slot: 0.
// No such entry: 1, nothing changes.
INI_API int ini_remove_key(IniSection* section, const char* key);

// A new section named `new_name`, owned by the caller, holding each distinct
// key of `section` once, in order of first occurrence, with the value of its
// first occurrence.
INI_API IniSection* ini_copy_section(const IniSection* section, const char* new_name);

// How a value read as a number or a switch turned out.
typedef enum IniValueStatus {
    INI_VALUE_OK = 0,      /* read; `*value` holds it */
    INI_VALUE_MISSING,     /* no such entry, or a null section */
    INI_VALUE_MALFORMED,   /* the value is not of that type, as a whole */
    INI_VALUE_OUT_OF_RANGE /* it is, but no value of the type can hold it */
} IniValueStatus;

// The value of the first entry of `key` (as ini_get finds it), read as a
// number or a switch. `*value` is written only on INI_VALUE_OK. A null
// section is INI_VALUE_MISSING, so a lookup can go straight in:
// ini_get_integer(ini_find_section(document, "net"), "port", &port).
// - Integer: an optional sign, then decimal digits ("010" is ten), or "0x"
//   or "0X" and hexadecimal digits; nothing else ("80ms", "", "1 000" are
//   MALFORMED). What int64_t cannot hold is INI_VALUE_OUT_OF_RANGE.
// - Real: strtod's syntax in the C locale whatever the process's locale
//   ("1.5", never "1,5"), "inf" and "nan" as strtod takes them; an
//   overflow is INI_VALUE_OUT_OF_RANGE, an underflow gives 0 or a
//   subnormal.
// - Boolean: "1", "yes", "true", "on" give 1 and "0", "no", "false", "off"
//   give 0, in any letter case, as configparser reads them.
INI_API IniValueStatus ini_get_integer(const IniSection* section, const char* key, int64_t* value);
INI_API IniValueStatus ini_get_real(const IniSection* section, const char* key, double* value);
INI_API IniValueStatus ini_get_boolean(const IniSection* section, const char* key, int* value);

// A short fixed English text for `status`, never null; static storage.
INI_API const char* ini_value_status_text(IniValueStatus status);

// Reads the file at `path`. Returns a new document owned by the caller, or
// null when the file cannot be opened or its structure is invalid (the two
// are not told apart). A read error midway counts as the end of the file:
// the lines before it stand (ini_load_file tells it apart).
INI_API IniDocument* ini_load(const char* path);

// Why a load gave no document.
typedef enum IniLoadError {
    INI_LOAD_OK = 0,           /* a document was returned */
    INI_LOAD_CANNOT_OPEN,      /* missing, a directory, or unreadable */
    INI_LOAD_NO_FIRST_SECTION, /* the first logical line is not a section header */
    INI_LOAD_BAD_LINE,         /* a later line is neither an entry nor a section header */
    INI_LOAD_CANNOT_READ       /* a read failed midway (ini_load_file) */
} IniLoadError;

// The outcome of a load. `line` is the 1-based number of the physical line
// holding the first byte collected for the offending logical line: one more
// than the line feeds before that byte, comment lines and continued lines
// counted as the lines they are. It is 0 with INI_LOAD_OK and
// INI_LOAD_CANNOT_OPEN. (It stops at INT32_MAX in inputs of more lines.)
typedef struct IniLoadReport {
    IniLoadError error;
    int32_t line;
} IniLoadReport;

// ini_load with a report: when `report` is not null it is filled on every
// call, success included. Unlike ini_load, a read error midway gives no
// document but INI_LOAD_CANNOT_READ. On INI_LOAD_CANNOT_OPEN and
// INI_LOAD_CANNOT_READ, ini_system_error tells why.
INI_API IniDocument* ini_load_file(const char* path, IniLoadReport* report);

// Reads the `size` bytes at `text` exactly as ini_load reads a file holding
// them: the same format, structure rules and result. NUL bytes inside the
// range are bytes like any other; no terminator or final line feed is
// needed. The text is only read, and may be released once this returns. A
// null `text` reads as no bytes (an empty document). Never reports
// INI_LOAD_CANNOT_OPEN. `report` as for ini_load_file.
INI_API IniDocument* ini_load_text(const char* text, size_t size, IniLoadReport* report);

// A short fixed English text for `error`, never null (an unknown value gets
// one too); static storage, not to be released.
INI_API const char* ini_load_error_text(IniLoadError error);

// The dialects a text can be read and edited in.
typedef enum IniDialect {
    /* The module's own format, the default: backslash escapes, ';' comments
       anywhere on a line, a trailing backslash continues it, only spaces
       are blank, the first line is a section header. */
    INI_DIALECT_MODULE = 0,
    /* The format most configuration files are written in, read as Python's
       configparser reads it by default: '#' and ';' comment lines, '=' or
       ':', indented continuation lines, no escapes, spaces and tabs blank,
       entries before the first header in a section named "". */
    INI_DIALECT_COMMON = 1
} IniDialect;

// Flags of IniOptions.
// An edit of a missing file creates it.
#define INI_CREATE_MISSING 1u
// An edit of a file writes over it in place, its inode kept, with a copy of
// the old text beside it until the new one is flushed.
#define INI_IN_PLACE 2u
// Lookups and edits match section names and keys without regard to ASCII
// case.
#define INI_IGNORE_CASE 4u
// Common dialect: a ';' or '#' after a blank starts a comment to the end of
// the line (configparser's inline_comment_prefixes).
#define INI_INLINE_COMMENTS 8u
// Common dialect: a line without '=' or ':' is a key without a value
// (configparser's allow_no_value); see ini_has_value.
#define INI_ALLOW_NO_VALUE 16u
// An edit of a file does everything but write it.
#define INI_DRY_RUN 32u
// Common dialect: a new entry is written "key=value" where the file shows
// no style of its own (else as its entries are).
#define INI_NO_EXTRA_SPACES 64u
// File names are UTF-8 (Windows: any name opens, whatever the system's code
// page; elsewhere names are bytes either way).
#define INI_UTF8_NAMES 128u

// How a text is read and a file edited. A zeroed record is the default:
// the module's format, a wait of 10 s for another edit of the same file.
// Fields may be added in place of `reserved`, which must stay zero.
typedef struct IniOptions {
    IniDialect dialect;
    uint32_t flags;       /* INI_CREATE_MISSING, ... */
    int32_t edit_wait_ms; /* edits of a file: the wait for another edit of it;
                             0: 10 s, negative: none */
    int32_t reserved[5];
} IniOptions;

// ini_load_text and ini_load_file in the dialect of `options` (null: the
// defaults), with its INI_INLINE_COMMENTS and INI_ALLOW_NO_VALUE. A null
// `text` reads as no bytes.
INI_API IniDocument* ini_load_text_with(const char* text, size_t size, const IniOptions* options,
                                        IniLoadReport* report);
INI_API IniDocument* ini_load_file_with(const char* path, const IniOptions* options,
                                        IniLoadReport* report);

// Whether `entry` has a value: false only for a key that a text of the
// common dialect, read with INI_ALLOW_NO_VALUE, gave none (its value then
// reads as ""). Writers write such a key alone.
INI_API int ini_has_value(const IniEntry* entry);

// The entry of `key` in the sections named `section`, as the readers of the
// dialect of `options` (null: the module's format) see it, or null. In the
// module's format that is the first entry of the key in the first section
// of the name (ini_find_section, then ini_get); in the common dialect the
// sections of one name read as one and the last entry of a key wins, as
// configparser (strict=False), GLib's key files, PHP and systemd read them.
// With INI_IGNORE_CASE names and keys match without regard to ASCII case.
INI_API const IniEntry* ini_lookup(const IniDocument* document, const char* section,
                                   const char* key, const IniOptions* options);

// `document` as those readers see it: a new document, owned by the caller,
// with each section name once (where it first stands) holding each of its
// keys once (where it first stands, with the value ini_lookup gives), in
// file order. With INI_IGNORE_CASE names and keys that differ in ASCII case
// alone are one, spelled as they first are.
INI_API IniDocument* ini_read_view(const IniDocument* document, const IniOptions* options);

// Why the last failed file operation of this module on this thread failed,
// as the system words it ("No such file or directory", "Access is denied");
// "" when it gave no reason. Valid until the next call on this thread.
INI_API const char* ini_system_error(void);

// Writes `document` to `path`, replacing any file there. Returns 0 on
// success, -1 when the file cannot be created, -2 when a write fails or comes
// up short (the bytes already written stay). The document is not changed.
INI_API int ini_save(const IniDocument* document, const char* path);

// The physical line (from 1) on which the first entry of `key` in the first
// section named `section` begins, in the `size` bytes at `text` read in the
// dialect of `options` (null: the module's format); 0 where there is none or
// the text does not load. For messages that point at an entry.
INI_API int32_t ini_entry_line(const char* text, size_t size, const IniOptions* options,
                               const char* section, const char* key);

// The document as text, in the form the writer gives it in the dialect of
// `options` (null: the module's format): in the module's format the bytes
// ini_save writes; in the common dialect "[name]" and "key = value" lines, a
// value of several lines on continuation lines indented by a tab, and a
// first section named "" without a header. `*size` bytes, not terminated,
// owned by the caller and released with ini_free_text.
INI_API char* ini_write_text(const IniDocument* document, const IniOptions* options, size_t* size);

// What an edit in place did.
typedef enum IniEditResult {
    INI_EDIT_CHANGED = 0,       /* the edit was made */
    INI_EDIT_UNCHANGED,         /* the value is set already, or the entry is absent */
    INI_EDIT_CANNOT_OPEN,       /* the file is missing or cannot be opened or locked */
    INI_EDIT_DOES_NOT_LOAD,     /* the text does not load: the report says why and where */
    INI_EDIT_NOT_REPRESENTABLE, /* the name, key or value would not read back as given */
    INI_EDIT_CANNOT_WRITE,      /* the edited file cannot be written */
    INI_EDIT_CANNOT_READ,       /* a read of the file failed: nothing was written */
    INI_EDIT_NOT_A_FILE,        /* a directory, a FIFO or a device: not read */
    INI_EDIT_READ_ONLY,         /* the file is read-only: not read */
    INI_EDIT_BUSY,              /* another edit held the file for the whole wait */
    INI_EDIT_NOT_FOUND,         /* an INI_EDIT_EXISTING set met no such entry */
    INI_EDIT_CONFLICT,          /* another program changed the file during the edit:
                                   nothing was written */
    INI_EDIT_FOLDER_REFUSED,    /* the file's folder refused the new file: nothing
                                   was written */
    INI_EDIT_NO_SECTION         /* an INI_EDIT_EXISTING change met no such section */
} IniEditResult;

// Edits the `size` bytes at `text` as ini_set (or, with a null `value`,
// ini_remove_key) would edit its document, keeping every other byte: the
// first section named `section` and in it the first entry of `key`.
// - An entry that exists keeps its key, spacing, comment and line ending;
//   only the value's bytes change (those of an entry continued over
//   several lines too: the lines they spanned become one, and a comment
//   after them stays).
// - A new key becomes a line "key=value" right after the section's last
//   entry (or its header), ended like that line.
// - A new section becomes "[section]" and "key=value" at the end.
// - A removed entry loses all its physical lines.
// Names, keys and values are written in the writer's escaping, and the
// result is loaded again: unless it reads back as that edit of the
// document, the edit is refused (a key with '=', a value with a line break
// or an outer space, ...). The text must load under the rules of ini_load;
// `report`, when not null, says how it loaded. On INI_EDIT_CHANGED,
// `*edited` is a new text of `*edited_size` bytes (not terminated), owned by
// the caller and released with ini_free_text; otherwise it is null. A null
// `section` or `key` is INI_EDIT_NOT_REPRESENTABLE.
INI_API IniEditResult ini_edit_text(const char* text, size_t size, const char* section,
                                    const char* key, const char* value, char** edited,
                                    size_t* edited_size, IniLoadReport* report);

// ini_edit_text on the file at `path`, written back only when it changed,
// as ini_edit_file_with (one edit at a time, durably, everything about the
// file kept).
INI_API IniEditResult ini_edit_file(const char* path, const char* section, const char* key,
                                    const char* value, IniLoadReport* report);

// One change of an edit.
typedef enum IniEditKind {
    INI_EDIT_SET = 0,        /* `key` to `value` in `section`, as ini_edit_text */
    INI_EDIT_REMOVE_KEY,     /* the first entry of `key` in `section` */
    INI_EDIT_REMOVE_ALL,     /* every entry of `key` in `section` */
    INI_EDIT_ADD_SECTION,    /* an empty `section` at the end, where there is none */
    INI_EDIT_REMOVE_SECTION, /* the first `section`: its header and every line
                                up to the next header */
    INI_EDIT_SET_ALL,        /* `key` to `value` where its first entry stands,
                                every other entry of it removed */
    INI_EDIT_ADD             /* one more entry of `key`, right after its last
                                one (or where a set would put it) */
} IniEditKind;

// Flags of IniEdit.
// A set changes, a removal removes, only what exists: else the whole edit
// fails with INI_EDIT_NO_SECTION or INI_EDIT_NOT_FOUND.
#define INI_EDIT_EXISTING 1u
// Common dialect: a set of an absent key takes the place of a line that
// comments out an entry of exactly that key in its section (";key =",
// "# key = old").
#define INI_EDIT_UNCOMMENT 2u
// A set adds `value` as an item of the list the value holds, where it is
// not one yet, or removes every item equal to it; the other items and their
// separators stay.
#define INI_EDIT_LIST_ADD 4u
#define INI_EDIT_LIST_REMOVE 8u
// The separator of a list (INI_EDIT_LIST_ADD, _REMOVE), in the flags: ','
// where none is given. Blanks around items are not part of them.
#define INI_EDIT_LIST_SEPARATOR(byte) ((uint32_t)(unsigned char)(byte) << 8)

typedef struct IniEdit {
    IniEditKind kind;
    const char* section;
    const char* key;   /* the entry kinds */
    const char* value; /* INI_EDIT_SET, _SET_ALL, _ADD */
    uint32_t flags;
} IniEdit;

// ini_edit_text with `count` changes, made in order as the document
// operations would make them (a removal keeping the order of what stays),
// and in the dialect of `options` (null: the defaults). All of them are
// made or none: one that cannot be represented refuses the whole edit. In
// the common dialect values are written without escapes, a new entry as
// "key = value", and a value of several lines as indented continuation
// lines (its blank lines empty); comment lines that stood among an edited
// or removed entry's lines stay, before it. Nothing is written where the
// document would not change.
INI_API IniEditResult ini_edit_text_with(const char* text, size_t size, const IniEdit* edits,
                                         size_t count, const IniOptions* options, char** edited,
                                         size_t* edited_size, IniLoadReport* report);

// The same edit of the file at `path`, in place. One edit of a file at a
// time, from any number of processes: it waits for the one before it (see
// IniOptions), then reads the file, which must be a regular file that may
// be read and written, and replaces it, durably, only when it changed: an
// interrupted edit, or a power loss, leaves the old text or the new one.
// - Everything about the file is kept: owner, group, mode, ACLs and
//   extended attributes (POSIX), attributes, ACLs and streams (Windows).
//   Where a new file could not carry them, or the file has other hard
//   links, or INI_IN_PLACE asks, the file is written over in place, with a
//   flushed copy of the old text beside it until the new one is flushed: a
//   crash then leaves the old text, the new one, or the old one in that
//   copy (".NAME.inifile-old-XXXXXX").
// - A file that another program changes, replaces, removes or creates
//   during the edit is left as that program left it: INI_EDIT_CONFLICT.
// - Through a symbolic link the file it names is edited, and a link to a
//   missing file creates the file it names (INI_CREATE_MISSING).
// - The edit has succeeded once the new text is in place: a folder that
//   cannot be flushed afterwards is told by ini_edit_warning.
// On INI_EDIT_CANNOT_OPEN, _CANNOT_READ, _CANNOT_WRITE and
// _FOLDER_REFUSED, ini_system_error tells why.
INI_API IniEditResult ini_edit_file_with(const char* path, const IniEdit* edits, size_t count,
                                         const IniOptions* options, IniLoadReport* report);

// After an edit of a file on this thread that returned INI_EDIT_CHANGED:
// null, or a short fixed English text for what it could not do though the
// new text is in place (its folder could not be flushed, so a power loss may
// still bring the old text back; ini_system_error tells why). Static
// storage; valid until the next edit on this thread.
INI_API const char* ini_edit_warning(void);

// ini_edit_file_with that also hands out the file's text before and after
// the edit (on INI_EDIT_CHANGED; otherwise both are null), each owned by the
// caller and released with ini_free_text: what a diff of the edit needs.
// With INI_DRY_RUN in `options` the file is not written.
INI_API IniEditResult ini_edit_file_texts(const char* path, const IniEdit* edits, size_t count,
                                          const IniOptions* options, IniLoadReport* report,
                                          char** before, size_t* before_size, char** after,
                                          size_t* after_size);

// After INI_EDIT_NOT_REPRESENTABLE for `edits`: which of a section's name,
// a key or a value the dialect of `options` cannot hold, and why, as a
// short fixed English text ("the value holds a line feed"); null where the
// edits are well formed and each part would read back. Static storage.
INI_API const char* ini_edit_refusal(const IniEdit* edits, size_t count, const IniOptions* options);

// Releases a text that ini_edit_text made; null is ignored.
INI_API void ini_free_text(char* text);

// A short fixed English text for `result`, never null; static storage.
INI_API const char* ini_edit_result_text(IniEditResult result);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // INIFILE_INI_H_
