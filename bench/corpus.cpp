#include "corpus.h"

#include <cstdint>
#include <random>

#include "platform.h"

namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;

// The typical file is cut at the first section end past this size.
constexpr size_t kTypicalBytes = 32 * kMiB;
constexpr size_t kManySections = 200000;
constexpr size_t kReleaseBytes = 2 * kKiB;

// Each file has its own seed, so a file's bytes do not depend on which other
// files were generated before it. The C++ standard fixes the engine's
// output on every platform but not the distributions', so the arithmetic
// below is our own.
constexpr uint64_t kSeed = 0x76616e747261ULL;

class Random {
  public:
    explicit Random(uint64_t salt) : engine_(kSeed ^ (salt * 0x9e3779b97f4a7c15ULL)) {}

    // Uniform enough in [low, high] for test data; the modulo bias is harmless.
    size_t between(size_t low, size_t high) {
        return low + static_cast<size_t>(engine_() % (high - low + 1));
    }

    bool percent(size_t chance) {
        return between(0, 99) < chance;
    }

    char pick(const char* alphabet, size_t size) {
        return alphabet[between(0, size - 1)];
    }

  private:
    std::mt19937_64 engine_;
};

const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kKeyChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-";
// Spaces appear several times so that values read like words; '=' and ':'
// are in because real values hold URLs and assignments.
const char kValueChars[] =
    "abcdefghijklmnopqrstuvwxyz    ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/:.,-+_=%()";
const char kAlnum[] = "abcdefghijklmnopqrstuvwxyz0123456789";

template <size_t N>
void append_random(std::string* out, Random* random, const char (&alphabet)[N], size_t count) {
    for (size_t i = 0; i < count; ++i) {
        out->push_back(random->pick(alphabet, N - 1));
    }
}

// Spaces at either end would be trimmed by the reader and make the bytes
// read differ from the bytes meant; inside, they are just text.
void avoid_edge_spaces(std::string* text, size_t from) {
    if (text->size() > from && (*text)[from] == ' ') {
        (*text)[from] = 'v';
    }
    if (text->size() > from && text->back() == ' ') {
        text->back() = 'v';
    }
}

// 4 to 20 bytes, starting with a letter so that no key looks like a comment
// or a section to any INI reader.
void append_key(std::string* out, Random* random) {
    size_t length = random->between(4, 20);
    append_random(out, random, kLetters, 1);
    append_random(out, random, kKeyChars, length - 1);
}

// 5 to 80 bytes as written. About one value in five holds an escaped
// backslash (Windows paths), one in twelve an escaped semicolon.
void append_value(std::string* out, Random* random) {
    size_t length = random->between(5, 80);
    size_t start = out->size();
    while (out->size() - start < length) {
        size_t roll = random->between(0, 999);
        bool room = out->size() - start + 2 <= length;
        if (roll < 6 && room) {
            out->append("\\\\");
        } else if (roll < 8 && room) {
            out->append("\\;");
        } else {
            append_random(out, random, kValueChars, 1);
        }
    }
    avoid_edge_spaces(out, start);
}

void append_comment(std::string* out, Random* random, size_t low, size_t high) {
    out->append("; ");
    size_t start = out->size();
    append_random(out, random, kValueChars, random->between(low, high));
    avoid_edge_spaces(out, start);
}

// Lines stay under 150 bytes: a 20-byte key, " = ", an 80-byte value and a
// 44-byte inline comment at most, so line-buffered readers see whole lines.
std::string typical(size_t target, uint64_t salt) {
    Random random(salt);
    std::string out;
    out.reserve(target + 64 * kKiB);
    out.append("; Generated configuration: sections of 5 to 50 entries.\n");
    for (size_t section = 0; out.size() < target; ++section) {
        if (section > 0) {
            out.push_back('\n');
        }
        if (random.percent(30)) {
            append_comment(&out, &random, 10, 70);
            out.push_back('\n');
        }
        out.push_back('[');
        append_key(&out, &random);
        out.append("_" + std::to_string(section) + "]\n");
        size_t entries = random.between(5, 50);
        for (size_t i = 0; i < entries; ++i) {
            if (random.percent(8)) {
                append_comment(&out, &random, 10, 70);
                out.push_back('\n');
            }
            append_key(&out, &random);
            out.append(random.percent(25) ? " = " : "=");
            append_value(&out, &random);
            if (random.percent(5)) {
                out.append("  ");
                append_comment(&out, &random, 10, 40);
            }
            out.push_back('\n');
        }
    }
    return out;
}

// Words of 3 to 12 letters and digits separated by single spaces.
std::string long_line(size_t value_bytes, uint64_t salt) {
    Random random(salt);
    std::string out = "; One entry whose value is a single long line.\n[long]\nvalue=";
    size_t start = out.size();
    out.reserve(start + value_bytes + 1);
    while (out.size() - start < value_bytes) {
        size_t word = random.between(3, 12);
        for (size_t i = 0; i < word && out.size() - start < value_bytes; ++i) {
            append_random(&out, &random, kAlnum, 1);
        }
        if (out.size() - start < value_bytes - 1) {
            out.push_back(' ');
        }
    }
    out.push_back('\n');
    return out;
}

std::string many_entries(size_t entries, uint64_t salt) {
    Random random(salt);
    std::string out = "[entries]\n";
    out.reserve(entries * 20);
    for (size_t i = 0; i < entries; ++i) {
        out.append("k" + std::to_string(i) + "=");
        append_random(&out, &random, kAlnum, random.between(3, 10));
        out.push_back('\n');
    }
    return out;
}

std::string many_sections(size_t sections, uint64_t salt) {
    Random random(salt);
    std::string out;
    out.reserve(sections * 28);
    for (size_t i = 0; i < sections; ++i) {
        out.append("[section" + std::to_string(i) + "]\nkey=");
        append_random(&out, &random, kAlnum, random.between(3, 10));
        out.push_back('\n');
    }
    return out;
}

// What a distribution ships: the two versions the installer needs, then the
// kind of inventory a release description carries, up to about 2 KiB.
std::string release(size_t target, uint64_t salt) {
    Random random(salt);
    std::string out =
        "; Release description of the runtime distribution.\n"
        "; Read once by the installer, which needs [Install] only.\n"
        "[Install]\n"
        "VSN=5.4.2\n"
        "SYSTEM_VSN=R9\n"
        "Date=2024-05-17 ; build date\n"
        "Root=C:\\\\Program Files\\\\Vantra\n"
        "\n"
        "[Applications]\n";
    for (size_t i = 0; out.size() < target; ++i) {
        if (i % 8 == 0) {
            append_comment(&out, &random, 20, 60);
            out.push_back('\n');
        }
        append_key(&out, &random);
        out.append("=" + std::to_string(random.between(1, 9)) + "." +
                   std::to_string(random.between(0, 20)) + "." +
                   std::to_string(random.between(0, 9)) + "\n");
    }
    return out;
}

}  // namespace

std::vector<size_t> corpus_long_line_steps() {
    return {64 * kKiB, 256 * kKiB, 1 * kMiB, 4 * kMiB, 16 * kMiB};
}

std::vector<size_t> corpus_entry_steps() {
    return {15625, 62500, 250000, 1000000};
}

std::string corpus_long_line_name(size_t bytes) {
    return "long_line_" + std::to_string(bytes);
}

std::string corpus_entries_name(size_t entries) {
    return "many_entries_" + std::to_string(entries);
}

std::vector<CorpusFile> corpus_files() {
    std::vector<CorpusFile> files;
    files.push_back({"typical", CorpusKind::kTypical, kTypicalBytes, true});
    std::vector<size_t> line_steps = corpus_long_line_steps();
    for (size_t bytes : line_steps) {
        files.push_back({corpus_long_line_name(bytes), CorpusKind::kLongLine, bytes,
                         bytes == line_steps.back()});
    }
    std::vector<size_t> entry_steps = corpus_entry_steps();
    for (size_t entries : entry_steps) {
        files.push_back({corpus_entries_name(entries), CorpusKind::kManyEntries, entries,
                         entries == entry_steps.back()});
    }
    files.push_back({"many_sections", CorpusKind::kManySections, kManySections, true});
    files.push_back({"release", CorpusKind::kRelease, kReleaseBytes, true});
    return files;
}

std::string corpus_contents(const CorpusFile& file) {
    uint64_t salt = static_cast<uint64_t>(file.kind) * 1000003u + file.scale;
    switch (file.kind) {
        case CorpusKind::kTypical:
            return typical(file.scale, salt);
        case CorpusKind::kLongLine:
            return long_line(file.scale, salt);
        case CorpusKind::kManyEntries:
            return many_entries(file.scale, salt);
        case CorpusKind::kManySections:
            return many_sections(file.scale, salt);
        case CorpusKind::kRelease:
            return release(file.scale, salt);
    }
    return std::string();
}

std::string corpus_path(const std::string& directory, const CorpusFile& file) {
    return directory + kPathSeparator + file.name + ".ini";
}

bool corpus_write(const std::string& directory, bool keep_existing, std::string* error) {
    for (const CorpusFile& file : corpus_files()) {
        std::string path = corpus_path(directory, file);
        if (keep_existing && platform_exists(path.c_str())) {
            continue;
        }
        std::string contents = corpus_contents(file);
        PlatformFile* out = platform_create(path.c_str());
        if (out == nullptr) {
            *error = "cannot create " + path;
            return false;
        }
        bool written = platform_write(out, contents.data(), contents.size());
        if (!platform_close(out) || !written) {
            *error = "cannot write " + path;
            return false;
        }
    }
    return true;
}
