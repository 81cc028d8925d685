// The README's C++ example, as it stands there; built with -Wall -Wextra
// -Werror.
// clang-format off
#include <inifile/inifile.hpp>
#include <cstdio>
int main() {
    auto doc = inifile::Document::load_text("[net]\nport = 8080\nverbose = yes\n");
    if (!doc) return 1;
    for (auto section : doc)
        for (auto entry : section)
            std::printf("%.*s.%.*s\n", int(section.name().size()), section.name().data(),
                        int(entry.key().size()), entry.key().data());
    auto net = doc.section("net");
    return net.get<std::int64_t>("port").value_or(80) == 8080 && net.get<bool>("verbose").value_or(false) ? 0 : 1;
}
