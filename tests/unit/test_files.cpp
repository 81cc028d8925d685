#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace test_files {

namespace {

// Test names of parameterised tests contain '/', which must not become a
// directory level.
std::string current_test_name() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) {
            c = '_';
        }
    }
    return name;
}

// Differs between two processes started at the same time; random_device alone
// is not trusted to, as some runtimes seed it with a constant.
unsigned long process_token() {
    static const unsigned long token = [] {
        std::random_device device;
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<unsigned long>(device() ^ static_cast<unsigned long>(ticks));
    }();
    return token;
}

}  // namespace

std::string join_path(const std::string& directory, const std::string& name) {
    if (directory.empty()) {
        return name;
    }
    const char last = directory.back();
    if (last == '/' || last == '\\') {
        return directory + name;
    }
    return directory + "/" + name;
}

bool write_file(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::string read_file(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return std::string();
    }
    std::string bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
    }
    if (std::ferror(file)) {
        ADD_FAILURE() << "cannot read " << path;
    }
    std::fclose(file);
    return bytes;
}

std::string fixture_path(const std::string& name) {
    return join_path(FIXTURE_DIR, name);
}

ScratchDir::ScratchDir() {
    const fs::path base = fs::path(testing::TempDir());
    const std::string stem =
        "inifile-" + current_test_name() + "-" + std::to_string(process_token());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate = base / (stem + "-" + std::to_string(attempt));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
        if (error) {
            break;
        }
    }
    ADD_FAILURE() << "cannot create a scratch directory under " << base.string();
}

ScratchDir::~ScratchDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

std::vector<EntryText> section_text(const IniSection& section) {
    std::vector<EntryText> entries;
    for (int32_t i = 0; i < section.count; ++i) {
        entries.emplace_back(section.entries[i]->key, section.entries[i]->value);
    }
    return entries;
}

DocumentText document_text(const IniDocument& document) {
    DocumentText sections;
    for (int32_t i = 0; i < document.count; ++i) {
        const IniSection& section = *document.sections[i];
        sections.emplace_back(section.name, section_text(section));
    }
    return sections;
}

}  // namespace test_files
