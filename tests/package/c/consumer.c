/* A C99 program on the installed module: it loads text, looks a value up,
 * sets one, saves, and loads the saved file with a report. */
#include <inifile/ini.h>

#include <stdio.h>
#include <string.h>

static const char kText[] = "; settings\n[main]\nname = first\n";

int main(int argc, char** argv) {
    IniLoadReport report;
    IniDocument* document;
    IniSection* section;
    const char* value;
    int ok;

    if (argc != 2) {
        fprintf(stderr, "usage: consumer FILE\n");
        return 2;
    }
    document = ini_load_text(kText, sizeof kText - 1, &report);
    section = document ? ini_find_section(document, "main") : NULL;
    value = section ? ini_get(section, "name") : NULL;
    ok = report.error == INI_LOAD_OK && value != NULL && strcmp(value, "first") == 0;
    if (section != NULL) {
        ini_set(section, "path", "C:\\a;b");
    }
    ok = ok && ini_save(document, argv[1]) == 0;
    ini_free_document(document);

    document = ini_load_file(argv[1], &report);
    section = document ? ini_find_section(document, "main") : NULL;
    value = section ? ini_get(section, "path") : NULL;
    ok = ok && value != NULL && strcmp(value, "C:\\a;b") == 0;
    ini_free_document(document);

    document = ini_load_text("[main]\nbroken\n", 14, &report);
    ok = ok && document == NULL && report.error == INI_LOAD_BAD_LINE && report.line == 2;
    if (document == NULL) {
        printf("expected: error on line %d: %s\n", (int)report.line,
               ini_load_error_text(report.error));
    }
    ok = ok && ini_load_error_text((IniLoadError)99) != NULL;
    puts(ok ? "package works from C" : "package broken from C");
    return ok ? 0 : 1;
}
