// Builds against the installed header and libraries only: a round trip
// through a file proves that the package links completely.
#include <ini.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer FILE\n");
        return 2;
    }
    IniDocument* document = ini_new_document();
    IniSection* section = ini_new_section("main");
    ini_add_section(document, section);
    ini_set(section, "path", "C:\\a;b");
    int saved = ini_save(document, argv[1]);
    ini_free_document(document);

    document = ini_load(argv[1]);
    const IniSection* loaded = document ? ini_find_section(document, "main") : nullptr;
    const char* value = loaded ? ini_get(loaded, "path") : nullptr;
    bool same = saved == 0 && value != nullptr && std::strcmp(value, "C:\\a;b") == 0;
    ini_free_document(document);
    std::puts(same ? "package works" : "package broken");
    return same ? 0 : 1;
}
