// Records of one load released on two threads at once: two sections of one
// document, taken out of it, are separate objects by ini.h's contract, but
// their records share pages. Built with ThreadSanitizer by scripts/test.sh,
// which fails on any report.
#include <cstdio>
#include <string>
#include <thread>

#include "inifile/ini.h"

int main() {
    // Enough entries that both sections share pages, and some span two.
    std::string text;
    for (int section = 0; section < 2; ++section) {
        text += "[s" + std::to_string(section) + "]\n";
        for (int entry = 0; entry < 2000; ++entry) {
            text += "key" + std::to_string(entry) + " = value\n";
        }
    }
    for (int round = 0; round < 200; ++round) {
        IniDocument* document = ini_load_text(text.data(), text.size(), nullptr);
        if (document == nullptr || document->count != 2) {
            std::fprintf(stderr, "the text did not load\n");
            return 1;
        }
        IniSection* first = document->sections[0];
        IniSection* second = document->sections[1];
        document->count = 0;
        ini_free_document(document);
        std::thread other([first] { ini_free_section(first); });
        ini_free_section(second);
        other.join();
    }
    std::puts("released on two threads: no race reported");
    return 0;
}
