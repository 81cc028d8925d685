// Builds against the installed headers and libraries only, through the C++
// classes: a document made and saved, loaded back, walked, read as types,
// a failed load and an edit in place. Built with AddressSanitizer.
#include <inifile/inifile.hpp>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

int failures = 0;

void expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "consumer: %s does not hold\n", what);
        ++failures;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer FILE\n");
        return 2;
    }
    const std::string path = argv[1];
    {
        inifile::Document made;
        auto net = made.add_section("net");
        expect(net.set("port", "0x1F90") && net.set("path", "C:\\a;b"), "set adds");
        expect(!net.set("port", "8080"), "set replaces");
        made.add_section("empty");
        expect(made.save(path), "save");
    }
    auto document = inifile::Document::load_file(path);
    expect(bool(document), "the saved file loads");
    std::string walked;
    for (auto section : document) {
        for (auto entry : section) {
            walked += std::string(section.name()) + "." + std::string(entry.key()) + "=" +
                      std::string(entry.value()) + ";";
        }
    }
    expect(walked == "net.port=8080;net.path=C:\\a;b;", "iteration in file order");
    auto net = document.section("net");
    expect(net.get<std::int64_t>("port") == 8080, "an integer");
    inifile::ValueStatus status = inifile::ValueStatus::ok;
    expect(!net.get<std::int64_t>("path", &status) && status == inifile::ValueStatus::malformed,
           "a malformed value told from a missing one");
    expect(!document.section("none").get<bool>("x", &status) &&
               status == inifile::ValueStatus::missing,
           "a missing section's value is missing");

    auto unit = inifile::Document::load_text("[Unit]\nAfter=a\nAfter=b\n[Unit]\nWants=c\n",
                                             inifile::Dialect::common);
    expect(unit.get("Unit", "After") == "b" && unit.get("Unit", "Wants") == "c" &&
               unit.get("unit", "after", true) == "b" && !unit.get("unit", "after"),
           "the common dialect's readers: the last wins, sections read as one");

    auto broken = inifile::Document::load_text("[s]\nk=v\nbroken\n");
    expect(!broken && broken.error() == INI_LOAD_BAD_LINE && broken.line() == 3,
           "a failed load says why and where");

    std::string edited;
    IniEditResult result = inifile::Edit()
                               .set("net", "port", "9090")
                               .remove_section("empty")
                               .apply_text("; kept\n[net]\nport = 1 ; here\n[empty]\n", &edited);
    expect(result == INI_EDIT_CHANGED && edited == "; kept\n[net]\nport = 9090 ; here\n",
           "an edit of a text keeps every other byte");
    expect(inifile::Edit().set("net", "port", "7").apply_file(path) == INI_EDIT_CHANGED &&
               inifile::Document::load_file(path).section("net").get<double>("port") == 7.0,
           "an edit of a file");
    std::puts(failures == 0 ? "package works" : "package broken");
    return failures == 0 ? 0 : 1;
}
