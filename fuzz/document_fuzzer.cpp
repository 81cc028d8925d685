// The input bytes as a program of document operations, each checked against
// a plain model built from std::vector and std::string: order, first-match
// lookups, replacement in place, swap-with-last removal, growth by 10 slots,
// results 0 and 1, and who releases what (the leak checker and AddressSanitizer
// see to the last part).
//
// Names, keys and values come from a small alphabet whose size the first byte
// picks, so that most operations hit something already there; a few come
// from the raw input. A second document, loaded from a file that the program
// composes, brings in what the operations alone never make: duplicate section
// names and duplicate keys.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "inifile/ini.h"

namespace {

// ---------------------------------------------------------------------------
// The model.

struct EntryModel {
    std::string key;
    std::string value;
    // Built by ini_set: key and value share one block of exactly their two
    // lengths plus two terminators. The loader's entries use the line's
    // storage, where the value may start further on.
    bool exact;
};

struct SectionModel {
    IniSection* section;
    std::string name;
    std::vector<EntryModel> entries;
    int32_t capacity;
};

struct DocumentModel {
    IniDocument* document = nullptr;
    std::vector<SectionModel> sections;
    int32_t capacity = 0;
};

// Appending grows a full array by 10 slots first.
void grow_for_append(size_t count, int32_t* capacity) {
    if (count == size_t(*capacity)) {
        *capacity += 10;
    }
}

int first_entry(const SectionModel& model, const std::string& key) {
    for (size_t i = 0; i < model.entries.size(); ++i) {
        if (model.entries[i].key == key) {
            return int(i);
        }
    }
    return -1;
}

int first_section(const DocumentModel& model, const std::string& name) {
    for (size_t i = 0; i < model.sections.size(); ++i) {
        if (model.sections[i].name == name) {
            return int(i);
        }
    }
    return -1;
}

int model_set(SectionModel* model, const std::string& key, const std::string& value) {
    int index = first_entry(*model, key);
    if (index >= 0) {
        model->entries[size_t(index)] = {key, value, true};
        return 0;
    }
    grow_for_append(model->entries.size(), &model->capacity);
    model->entries.push_back({key, value, true});
    return 1;
}

// Swap-with-last, as the document does it.
template <typename T>
void remove_slot(std::vector<T>* slots, size_t index) {
    if (index + 1 != slots->size()) {
        (*slots)[index] = std::move(slots->back());
    }
    slots->pop_back();
}

// ---------------------------------------------------------------------------
// Comparing the real thing with the model.

void check_section(const SectionModel& model) {
    const IniSection* section = model.section;
    FUZZ_CHECK(section != nullptr);
    FUZZ_CHECK(section->name != nullptr && model.name == section->name);
    FUZZ_CHECK(size_t(section->count) == model.entries.size());
    FUZZ_CHECK(section->capacity == model.capacity);
    FUZZ_CHECK(section->capacity > 0 && section->capacity % 10 == 0);
    FUZZ_CHECK(section->count <= section->capacity);
    FUZZ_CHECK(section->entries != nullptr);
    for (int i = 0; i < section->count; ++i) {
        const IniEntry* entry = section->entries[i];
        const EntryModel& expected = model.entries[size_t(i)];
        FUZZ_CHECK(entry != nullptr && entry->key != nullptr && entry->value != nullptr);
        FUZZ_CHECK(expected.key == entry->key);
        FUZZ_CHECK(expected.value == entry->value);
        size_t key_size = std::strlen(entry->key) + 1;
        if (expected.exact) {
            FUZZ_CHECK(entry->value == entry->key + key_size);
        } else {
            FUZZ_CHECK(entry->value >= entry->key + key_size);
        }
        FUZZ_CHECK(ini_key_at(section, i) == entry->key);
    }
    FUZZ_CHECK(ini_key_at(section, section->count) == nullptr);
    FUZZ_CHECK(ini_key_at(section, section->count + 1) == nullptr);
}

void check_document(const DocumentModel& model) {
    const IniDocument* document = model.document;
    if (document == nullptr) {
        return;
    }
    FUZZ_CHECK(size_t(document->count) == model.sections.size());
    FUZZ_CHECK(document->capacity == model.capacity);
    FUZZ_CHECK(document->capacity > 0 && document->capacity % 10 == 0);
    FUZZ_CHECK(document->count <= document->capacity);
    FUZZ_CHECK(document->sections != nullptr);
    for (int i = 0; i < document->count; ++i) {
        const SectionModel& expected = model.sections[size_t(i)];
        FUZZ_CHECK(document->sections[i] == expected.section);
        check_section(expected);
        FUZZ_CHECK(ini_section_name_at(document, i) == expected.section->name);
    }
    FUZZ_CHECK(ini_section_name_at(document, document->count) == nullptr);
    FUZZ_CHECK(ini_section_name_at(document, document->count + 1) == nullptr);
}

// ---------------------------------------------------------------------------
// The program.

// Hands out the input byte by byte; past its end every byte is 0.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool done() const {
        return position_ >= size_;
    }
    uint8_t byte() {
        return done() ? 0 : data_[position_++];
    }
    // Up to `length` raw bytes as a C string would see them.
    std::string raw(size_t length) {
        std::string text;
        for (size_t i = 0; i < length && !done(); ++i) {
            text += static_cast<char>(byte());
        }
        return std::string(text.c_str());
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// The first words are chosen for what tends to go wrong: the empty string,
// outer spaces, case, bytes that the file format gives a meaning, bytes from
// the upper half, a string longer than any short-string buffer; then values
// at the edges of what the typed getters read.
// clang-format off
const char* const kChosenWords[] = {
    "a", "b", "A", "", " ", "a ", " a", "ab", "VSN", "x;y", "\\", "=", "k=v", "[s]", "\t",
    "\xff", "\xc3\xa9", "Install", "a-name-well-past-any-small-buffer-size-0123456789",
    "010", "-0x8000000000000000", "9223372036854775808", "1e309", "0x1.8p3", "nan(x)", "On",
};
// clang-format on
constexpr size_t kChosenCount = sizeof kChosenWords / sizeof kChosenWords[0];

// Words past the chosen ones are numbered.
std::string word(size_t index) {
    return index < kChosenCount ? std::string(kChosenWords[index]) : "w" + std::to_string(index);
}

class Program {
  public:
    Program(const uint8_t* data, size_t size) : input_(data, size) {
        // From 2 words (nearly every name collides) to 49 (sections and
        // sections' entries pass 10, 20, 30 and 40 slots).
        alphabet_ = 2 + input_.byte() % 48;
        main_.document = ini_new_document();
        main_.capacity = 10;
    }

    ~Program() {
        for (SectionModel& model : pending_) {
            ini_free_section(model.section);
        }
        ini_free_document(main_.document);
        ini_free_document(loaded_.document);
    }

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void run() {
        check_all();
        while (!input_.done()) {
            step(input_.byte() % 11);
            check_all();
        }
    }

  private:
    // A name, key or value: mostly from the alphabet, now and then raw bytes.
    std::string token() {
        uint8_t choice = input_.byte();
        if (choice >= 0xf0) {
            return input_.raw(choice & 0x0f);
        }
        return word(choice % alphabet_);
    }

    DocumentModel* pick_document() {
        if (loaded_.document != nullptr && input_.byte() % 2 == 1) {
            return &loaded_;
        }
        return &main_;
    }

    size_t live_sections() const {
        return main_.sections.size() + loaded_.sections.size() + pending_.size();
    }

    // Any section alive: one of either document's, or one not handed over.
    SectionModel* pick_section() {
        size_t total = live_sections();
        if (total == 0) {
            return nullptr;
        }
        size_t index = input_.byte() % total;
        if (index < main_.sections.size()) {
            return &main_.sections[index];
        }
        index -= main_.sections.size();
        if (index < loaded_.sections.size()) {
            return &loaded_.sections[index];
        }
        return &pending_[index - loaded_.sections.size()];
    }

    void check_all() {
        check_document(main_);
        check_document(loaded_);
        for (const SectionModel& model : pending_) {
            check_section(model);
        }
    }

    // At most a few sections wait to be handed over; the oldest one is
    // released unadopted to make room.
    void keep_pending(IniSection* section, std::string name, std::vector<EntryModel> entries,
                      int32_t capacity) {
        if (pending_.size() == 4) {
            ini_free_section(pending_.front().section);
            pending_.erase(pending_.begin());
        }
        pending_.push_back({section, std::move(name), std::move(entries), capacity});
    }

    void step(uint8_t operation) {
        switch (operation) {
            case 0:
                new_section();
                break;
            case 1:
                add_section();
                break;
            case 2:
                remove_section();
                break;
            case 3:
                set();
                break;
            case 4:
                set_from_entry();
                break;
            case 5:
                remove_key();
                break;
            case 6:
                copy_section();
                break;
            case 7:
                look_up();
                break;
            case 8:
                look_up_at();
                break;
            case 9:
                release_pending();
                break;
            default:
                load();
                break;
        }
    }

    void new_section() {
        std::string name = token();
        keep_pending(ini_new_section(name.c_str()), name, {}, 10);
    }

    void add_section() {
        if (pending_.empty()) {
            return;
        }
        size_t which = input_.byte() % pending_.size();
        DocumentModel* model = pick_document();
        SectionModel adopted = std::move(pending_[which]);
        pending_.erase(pending_.begin() + long(which));
        int result = ini_add_section(model->document, adopted.section);
        int index = first_section(*model, adopted.name);
        if (index >= 0) {
            FUZZ_CHECK(result == 0);
            model->sections[size_t(index)] = std::move(adopted);
        } else {
            FUZZ_CHECK(result == 1);
            grow_for_append(model->sections.size(), &model->capacity);
            model->sections.push_back(std::move(adopted));
        }
    }

    void remove_section() {
        DocumentModel* model = pick_document();
        uint8_t how = input_.byte();
        std::string name;
        const char* argument;
        // Half the time the name is the section's own storage, released by
        // the very call that reads it.
        if (how % 2 == 1 && !model->sections.empty()) {
            argument = model->sections[(how / 2) % model->sections.size()].section->name;
            name = argument;
        } else {
            name = token();
            argument = name.c_str();
        }
        int index = first_section(*model, name);
        int result = ini_remove_section(model->document, argument);
        if (index >= 0) {
            FUZZ_CHECK(result == 0);
            remove_slot(&model->sections, size_t(index));
        } else {
            FUZZ_CHECK(result == 1);
        }
    }

    void set() {
        // One statement each: the order in which arguments are evaluated is up to the compiler, and
        // a replay built by another compiler must consume the bytes alike.
        std::string key = token();
        std::string value = token();
        SectionModel* model = pick_section();
        if (model == nullptr) {
            return;
        }
        int result = ini_set(model->section, key.c_str(), value.c_str());
        FUZZ_CHECK(result == model_set(model, key, value));
    }

    // ini_set with the key or the value, or both, pointing into an entry of
    // the section itself, often the one being replaced.
    void set_from_entry() {
        SectionModel* model = pick_section();
        if (model == nullptr || model->entries.empty()) {
            return;
        }
        const IniEntry* entry = model->section->entries[input_.byte() % model->entries.size()];
        uint8_t how = input_.byte();
        size_t key_length = std::strlen(entry->key);
        size_t value_length = std::strlen(entry->value);
        std::string own_token;
        const char* key = entry->key;
        const char* value = entry->value;
        switch (how % 6) {
            case 0:  // the entry set to itself
                break;
            case 1:
                value = entry->key;
                break;
            case 2:  // a key that may be new, taken from the old block
                key = entry->value;
                value = entry->key;
                break;
            case 3:
                own_token = token();
                key = own_token.c_str();
                break;
            case 4:
                value = entry->value + (how / 6) % (value_length + 1);
                break;
            default:
                key = entry->key + (how / 6) % (key_length + 1);
                break;
        }
        std::string key_copy = key;
        std::string value_copy = value;
        int result = ini_set(model->section, key, value);
        FUZZ_CHECK(result == model_set(model, key_copy, value_copy));
    }

    void remove_key() {
        SectionModel* model = pick_section();
        if (model == nullptr) {
            return;
        }
        uint8_t how = input_.byte();
        std::string key;
        const char* argument;
        if (how % 2 == 1 && !model->entries.empty()) {
            argument = model->section->entries[(how / 2) % model->entries.size()]->key;
            key = argument;
        } else {
            key = token();
            argument = key.c_str();
        }
        int index = first_entry(*model, key);
        int result = ini_remove_key(model->section, argument);
        if (index >= 0) {
            FUZZ_CHECK(result == 0);
            remove_slot(&model->entries, size_t(index));
        } else {
            FUZZ_CHECK(result == 1);
        }
    }

    // The copy keeps each key once, where it first occurs, with the value it
    // has there.
    void copy_section() {
        SectionModel* source = pick_section();
        if (source == nullptr) {
            return;
        }
        std::string name = input_.byte() % 4 == 0 ? std::string(source->section->name) : token();
        IniSection* copy = ini_copy_section(source->section, name.c_str());
        std::vector<EntryModel> entries;
        int32_t capacity = 10;
        for (const EntryModel& entry : source->entries) {
            bool seen = false;
            for (const EntryModel& kept : entries) {
                seen = seen || kept.key == entry.key;
            }
            if (!seen) {
                grow_for_append(entries.size(), &capacity);
                entries.push_back({entry.key, entry.value, true});
            }
        }
        keep_pending(copy, std::move(name), std::move(entries), capacity);
    }

    void look_up() {
        DocumentModel* document = pick_document();
        std::string name = token();
        int index = first_section(*document, name);
        IniSection* found = ini_find_section(document->document, name.c_str());
        FUZZ_CHECK(found == (index < 0 ? nullptr : document->sections[size_t(index)].section));

        SectionModel* model = pick_section();
        if (model == nullptr) {
            return;
        }
        std::string key = token();
        int entry = first_entry(*model, key);
        const char* value = ini_get(model->section, key.c_str());
        if (entry < 0) {
            FUZZ_CHECK(value == nullptr);
        } else {
            FUZZ_CHECK(value == model->section->entries[entry]->value);
        }
        read_typed(model->section, key, value);
    }

    // The typed getters on whatever the value is: missing exactly where
    // ini_get finds nothing, and an integer read prints back to a text that
    // reads as the same number.
    static void read_typed(const IniSection* section, const std::string& key, const char* value) {
        int64_t number = 0;
        double real = 0;
        int flag = 0;
        IniValueStatus integer = ini_get_integer(section, key.c_str(), &number);
        FUZZ_CHECK((integer == INI_VALUE_MISSING) == (value == nullptr));
        FUZZ_CHECK((ini_get_real(section, key.c_str(), &real) == INI_VALUE_MISSING) ==
                   (value == nullptr));
        FUZZ_CHECK((ini_get_boolean(section, key.c_str(), &flag) == INI_VALUE_MISSING) ==
                   (value == nullptr));
        if (integer == INI_VALUE_OK) {
            IniSection* printed = ini_new_section("printed");
            ini_set(printed, "n", std::to_string(number).c_str());
            int64_t again = 0;
            FUZZ_CHECK(ini_get_integer(printed, "n", &again) == INI_VALUE_OK && again == number);
            ini_free_section(printed);
        }
    }

    // An index from -2 to two past the end: only 0 .. count - 1 name a slot.
    int slot_index(size_t count) {
        return int(input_.byte() % (count + 4)) - 2;
    }

    void look_up_at() {
        DocumentModel* document = pick_document();
        int index = slot_index(document->sections.size());
        const char* name = ini_section_name_at(document->document, index);
        if (index >= 0 && size_t(index) < document->sections.size()) {
            FUZZ_CHECK(name == document->sections[size_t(index)].section->name);
        } else {
            FUZZ_CHECK(name == nullptr);
        }
        SectionModel* model = pick_section();
        if (model == nullptr) {
            return;
        }
        index = slot_index(model->entries.size());
        const char* key = ini_key_at(model->section, index);
        if (index >= 0 && size_t(index) < model->entries.size()) {
            FUZZ_CHECK(key == model->section->entries[index]->key);
        } else {
            FUZZ_CHECK(key == nullptr);
        }
    }

    void release_pending() {
        if (pending_.empty()) {
            // Releasing nothing is allowed and must do nothing.
            ini_free_entry(nullptr);
            ini_free_section(nullptr);
            ini_free_document(nullptr);
            return;
        }
        size_t which = input_.byte() % pending_.size();
        ini_free_section(pending_[which].section);
        pending_.erase(pending_.begin() + long(which));
    }

    // A key or value as the file format carries it unchanged: no line
    // breaks, no NUL, no outer spaces, and `banned` left out.
    static std::string clean(std::string text, const char* banned, const char* fallback) {
        std::string kept;
        for (char byte : text) {
            if (byte != '\0' && std::strchr(banned, byte) == nullptr) {
                kept += byte;
            }
        }
        size_t first = kept.find_first_not_of(' ');
        size_t last = kept.find_last_not_of(' ');
        kept = first == std::string::npos ? std::string() : kept.substr(first, last - first + 1);
        return kept.empty() && fallback != nullptr ? fallback : kept;
    }

    static void append_escaped(std::string* line, const std::string& text) {
        for (char byte : text) {
            if (byte == ';' || byte == '\\') {
                *line += '\\';
            }
            *line += byte;
        }
    }

    // Replaces the second document with one loaded from a file of up to four
    // sections of up to fifteen entries, names and keys repeating freely.
    void load() {
        static fuzz_support::ScratchFile file("document-load");
        size_t section_count = 1 + input_.byte() % 4;
        std::string bytes;
        std::vector<SectionModel> sections;
        for (size_t i = 0; i < section_count; ++i) {
            // Spaces inside the brackets belong to the name, so only the
            // characters the reader would act on are taken out of names.
            std::string name;
            for (char byte : token()) {
                if (byte != '\0' && std::strchr(";\\=\n\r", byte) == nullptr) {
                    name += byte;
                }
            }
            if (name.empty()) {
                name = "s";
            }
            bytes += '[' + name + "]\n";
            SectionModel section{nullptr, name, {}, 10};
            size_t entry_count = input_.byte() % 16;
            for (size_t j = 0; j < entry_count; ++j) {
                std::string key = clean(token(), "=\n\r", "k");
                std::string value = clean(token(), "\n\r", nullptr);
                append_escaped(&bytes, key);
                bytes += " = ";
                append_escaped(&bytes, value);
                bytes += '\n';
                grow_for_append(section.entries.size(), &section.capacity);
                section.entries.push_back({key, value, false});
            }
            sections.push_back(std::move(section));
        }
        FUZZ_CHECK(fuzz_support::write_file(file.path(), bytes.data(), bytes.size()));
        IniDocument* document = ini_load(file.path());
        FUZZ_CHECK(document != nullptr);
        FUZZ_CHECK(size_t(document->count) == sections.size());
        for (size_t i = 0; i < sections.size(); ++i) {
            sections[i].section = document->sections[i];
        }
        ini_free_document(loaded_.document);
        loaded_.document = document;
        loaded_.sections = std::move(sections);
        loaded_.capacity = 10;
    }

    Input input_;
    size_t alphabet_;
    DocumentModel main_;
    DocumentModel loaded_;
    std::vector<SectionModel> pending_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Program program(data, size);
    program.run();
    return 0;
}
