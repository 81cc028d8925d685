// C++17 classes over the C interface of ini.h: a document that releases
// itself, range-for over sections and entries, std::string_view names and
// values, std::optional lookups, values read as types, edits in place.
//
// Header only, and it only wraps: every call goes to a function of ini.h.
// It throws nothing of its own, so it builds with -fno-exceptions; the
// standard library it uses may still report running out of memory.
//
// Lifetime: a string_view handed out (a name, a key, a value) points into
// the document and stays valid exactly as long as the C string it views:
// until its entry is set again or removed, its section removed or replaced,
// or the document released. Section and Entry are views too, valid as long
// as what they view.
#ifndef INIFILE_INIFILE_HPP_
#define INIFILE_INIFILE_HPP_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "ini.h"

namespace inifile {

enum class Dialect { module = INI_DIALECT_MODULE, common = INI_DIALECT_COMMON };

// How reading a value as a type turned out (IniValueStatus).
enum class ValueStatus {
    ok = INI_VALUE_OK,
    missing = INI_VALUE_MISSING,
    malformed = INI_VALUE_MALFORMED,
    out_of_range = INI_VALUE_OUT_OF_RANGE
};

// A name, key, value or path as the C interface takes it: terminated. A
// C string or a std::string is used as it is; a string_view is copied.
class Name {
  public:
    Name(const char* text) : text_(text) {}
    Name(const std::string& text) : text_(text.c_str()) {}
    Name(std::string_view text) : copy_(text), text_(copy_.c_str()) {}
    Name(const Name&) = delete;
    Name& operator=(const Name&) = delete;

    const char* c_str() const {
        return text_;
    }

  private:
    std::string copy_;
    const char* text_;
};

// One entry: a view of its key and value.
class Entry {
  public:
    explicit Entry(const IniEntry* entry) : entry_(entry) {}

    std::string_view key() const {
        return entry_->key;
    }
    std::string_view value() const {
        return entry_->value;
    }
    const IniEntry* c_entry() const {
        return entry_;
    }

  private:
    const IniEntry* entry_;
};

namespace detail {

// Walks the slots of a document's or section's array, handing out views.
template <typename Slot, typename View>
class Iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = View;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = View;

    explicit Iterator(Slot* const* slot) : slot_(slot) {}
    View operator*() const {
        return View(*slot_);
    }
    Iterator& operator++() {
        ++slot_;
        return *this;
    }
    Iterator operator++(int) {
        Iterator before = *this;
        ++slot_;
        return before;
    }
    bool operator==(const Iterator& other) const {
        return slot_ == other.slot_;
    }
    bool operator!=(const Iterator& other) const {
        return slot_ != other.slot_;
    }

  private:
    Slot* const* slot_;
};

}  // namespace detail

// A section of a document: a view, which tests false where a lookup found
// none. Lookups on an absent section find nothing.
class Section {
  public:
    using iterator = detail::Iterator<IniEntry, Entry>;

    Section() = default;
    explicit Section(IniSection* section) : section_(section) {}

    explicit operator bool() const {
        return section_ != nullptr;
    }
    std::string_view name() const {
        return section_ != nullptr ? section_->name : "";
    }
    std::size_t size() const {
        return section_ != nullptr ? std::size_t(section_->count) : 0;
    }
    iterator begin() const {
        return iterator(section_ != nullptr ? section_->entries : nullptr);
    }
    iterator end() const {
        return iterator(section_ != nullptr ? section_->entries + section_->count : nullptr);
    }

    // The value of the first entry of `key`, or nothing.
    std::optional<std::string_view> get(const Name& key) const {
        const char* value = section_ != nullptr ? ini_get(section_, key.c_str()) : nullptr;
        return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
    }

    // The value of the first entry of `key` read as std::int64_t, double or
    // bool (ini_get_integer, _real, _boolean), or nothing; `status`, when
    // not null, tells a missing entry from a malformed value.
    template <typename T>
    std::optional<T> get(const Name& key, ValueStatus* status = nullptr) const {
        static_assert(
            std::is_same_v<T, std::int64_t> || std::is_same_v<T, double> || std::is_same_v<T, bool>,
            "values are read as std::int64_t, double or bool");
        IniValueStatus read;
        T value{};
        if constexpr (std::is_same_v<T, bool>) {
            int flag = 0;
            read = ini_get_boolean(section_, key.c_str(), &flag);
            value = flag != 0;
        } else if constexpr (std::is_same_v<T, double>) {
            read = ini_get_real(section_, key.c_str(), &value);
        } else {
            int64_t number = 0;
            read = ini_get_integer(section_, key.c_str(), &number);
            value = number;
        }
        if (status != nullptr) {
            *status = ValueStatus(read);
        }
        return read == INI_VALUE_OK ? std::optional<T>(value) : std::nullopt;
    }

    // Sets `key` to `value` (the first entry of it, or a new one at the
    // end): true when it was added. The section must be there.
    bool set(const Name& key, const Name& value) {
        return ini_set(section_, key.c_str(), value.c_str()) == 1;
    }

    // Removes the first entry of `key`, moving the last into its place:
    // true when there was one.
    bool remove(const Name& key) {
        return section_ != nullptr && ini_remove_key(section_, key.c_str()) == 0;
    }

    IniSection* c_section() const {
        return section_;
    }

  private:
    IniSection* section_ = nullptr;
};

// A document, owned: released when it goes. A failed load gives one that
// tests false and says why and where.
class Document {
  public:
    using iterator = detail::Iterator<IniSection, Section>;

    // A new, empty document.
    Document() : document_(ini_new_document()), report_{INI_LOAD_OK, 0} {}

    static Document load_text(std::string_view text, Dialect dialect = Dialect::module) {
        IniOptions options = options_of(dialect);
        Document loaded(nullptr);
        loaded.document_ = ini_load_text_with(text.data(), text.size(), &options, &loaded.report_);
        loaded.dialect_ = dialect;
        return loaded;
    }

    static Document load_file(const Name& path, Dialect dialect = Dialect::module) {
        IniOptions options = options_of(dialect);
        Document loaded(nullptr);
        loaded.document_ = ini_load_file_with(path.c_str(), &options, &loaded.report_);
        loaded.dialect_ = dialect;
        return loaded;
    }

    Document(Document&& other) noexcept
        : document_(std::exchange(other.document_, nullptr)),
          report_(other.report_),
          dialect_(other.dialect_) {}
    Document& operator=(Document&& other) noexcept {
        if (this != &other) {
            ini_free_document(document_);
            document_ = std::exchange(other.document_, nullptr);
            report_ = other.report_;
            dialect_ = other.dialect_;
        }
        return *this;
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document() {
        ini_free_document(document_);
    }

    // Whether there is a document: false after a failed load.
    explicit operator bool() const {
        return document_ != nullptr;
    }
    // Why a load failed (INI_LOAD_OK otherwise), the line it failed on (0
    // where none), and a short text for it.
    IniLoadError error() const {
        return report_.error;
    }
    std::int32_t line() const {
        return report_.line;
    }
    const char* error_text() const {
        return ini_load_error_text(report_.error);
    }

    std::size_t size() const {
        return document_ != nullptr ? std::size_t(document_->count) : 0;
    }
    iterator begin() const {
        return iterator(document_ != nullptr ? document_->sections : nullptr);
    }
    iterator end() const {
        return iterator(document_ != nullptr ? document_->sections + document_->count : nullptr);
    }

    // The value of `key` in the sections named `section` as the readers of
    // the dialect the document was loaded in see it (ini_lookup): in the
    // common dialect the sections of one name read as one and the last
    // entry of a key wins, as configparser and systemd read them; in the
    // module's format the first wins. Nothing where there is none.
    std::optional<std::string_view> get(const Name& section, const Name& key,
                                        bool ignore_case = false) const {
        IniOptions options = options_of(dialect_);
        options.flags = ignore_case ? INI_IGNORE_CASE : 0;
        const IniEntry* entry = ini_lookup(document_, section.c_str(), key.c_str(), &options);
        return entry != nullptr ? std::optional<std::string_view>(entry->value) : std::nullopt;
    }

    // The first section named `name`, or one that tests false.
    Section section(const Name& name) const {
        return Section(document_ != nullptr ? ini_find_section(document_, name.c_str()) : nullptr);
    }

    // The first section named `name`, made empty at the end where there is
    // none. The document must be there.
    Section add_section(const Name& name) {
        IniSection* found = ini_find_section(document_, name.c_str());
        if (found == nullptr) {
            found = ini_new_section(name.c_str());
            ini_add_section(document_, found);
        }
        return Section(found);
    }

    // Removes the first section named `name`, moving the last into its
    // place: true when there was one.
    bool remove_section(const Name& name) {
        return document_ != nullptr && ini_remove_section(document_, name.c_str()) == 0;
    }

    // Writes the document to `path` in the module's format (ini_save):
    // true when every byte was written.
    bool save(const Name& path) const {
        return document_ != nullptr && ini_save(document_, path.c_str()) == 0;
    }

    // The document as text in `dialect`'s writer's form (ini_write_text).
    std::string text(Dialect dialect = Dialect::module) const {
        if (document_ == nullptr) {
            return std::string();
        }
        IniOptions options = options_of(dialect);
        std::size_t size = 0;
        char* written = ini_write_text(document_, &options, &size);
        std::string text(written, size);
        ini_free_text(written);
        return text;
    }

    IniDocument* c_document() const {
        return document_;
    }
    // Hands the C document over: the caller releases it (ini_free_document).
    IniDocument* release() {
        return std::exchange(document_, nullptr);
    }

  private:
    explicit Document(std::nullptr_t) : document_(nullptr), report_{INI_LOAD_OK, 0} {}

    static IniOptions options_of(Dialect dialect) {
        IniOptions options = {};
        options.dialect = IniDialect(dialect);
        return options;
    }

    IniDocument* document_;
    IniLoadReport report_;
    Dialect dialect_ = Dialect::module;
};

// Changes made to a text or a file in place, every other byte kept (see
// ini_edit_text_with and ini_edit_file_with): all of them or none.
class Edit {
  public:
    Edit& set(const Name& section, const Name& key, const Name& value) {
        return add(INI_EDIT_SET, section, key.c_str(), value.c_str(), 0);
    }
    // Sets `key` only where the entry is there; otherwise the whole edit
    // fails with INI_EDIT_NOT_FOUND.
    Edit& set_existing(const Name& section, const Name& key, const Name& value) {
        return add(INI_EDIT_SET, section, key.c_str(), value.c_str(), INI_EDIT_EXISTING);
    }
    Edit& remove(const Name& section, const Name& key) {
        return add(INI_EDIT_REMOVE_KEY, section, key.c_str(), nullptr, 0);
    }
    Edit& remove_all(const Name& section, const Name& key) {
        return add(INI_EDIT_REMOVE_ALL, section, key.c_str(), nullptr, 0);
    }
    Edit& add_section(const Name& section) {
        return add(INI_EDIT_ADD_SECTION, section, nullptr, nullptr, 0);
    }
    Edit& remove_section(const Name& section) {
        return add(INI_EDIT_REMOVE_SECTION, section, nullptr, nullptr, 0);
    }

    // Makes the changes in the file at `path`, waiting for another edit of
    // it as `options` say (the defaults: 10 s); `report` says how it loaded.
    IniEditResult apply_file(const Name& path, Dialect dialect = Dialect::module,
                             IniLoadReport* report = nullptr) const {
        std::vector<IniEdit> edits = c_edits();
        IniOptions options = {};
        options.dialect = IniDialect(dialect);
        return ini_edit_file_with(path.c_str(), edits.data(), edits.size(), &options, report);
    }

    // Makes the changes in `text`: on INI_EDIT_CHANGED the new text goes to
    // `edited`, which is otherwise left alone.
    IniEditResult apply_text(std::string_view text, std::string* edited,
                             Dialect dialect = Dialect::module,
                             IniLoadReport* report = nullptr) const {
        std::vector<IniEdit> edits = c_edits();
        IniOptions options = {};
        options.dialect = IniDialect(dialect);
        char* made = nullptr;
        std::size_t size = 0;
        IniEditResult result = ini_edit_text_with(text.data(), text.size(), edits.data(),
                                                  edits.size(), &options, &made, &size, report);
        if (made != nullptr) {
            edited->assign(made, size);
            ini_free_text(made);
        }
        return result;
    }

  private:
    struct Change {
        IniEditKind kind;
        std::string section;
        std::string key;
        std::string value;
        bool has_key;
        bool has_value;
        std::uint32_t flags;
    };

    Edit& add(IniEditKind kind, const Name& section, const char* key, const char* value,
              std::uint32_t flags) {
        changes_.push_back({kind, section.c_str(), key != nullptr ? key : "",
                            value != nullptr ? value : "", key != nullptr, value != nullptr,
                            flags});
        return *this;
    }

    // The changes as the C interface takes them, pointing into changes_.
    std::vector<IniEdit> c_edits() const {
        std::vector<IniEdit> edits;
        for (const Change& change : changes_) {
            edits.push_back({change.kind, change.section.c_str(),
                             change.has_key ? change.key.c_str() : nullptr,
                             change.has_value ? change.value.c_str() : nullptr, change.flags});
        }
        return edits;
    }

    std::vector<Change> changes_;
};

}  // namespace inifile

#endif  // INIFILE_INIFILE_HPP_
