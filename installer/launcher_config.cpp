// The launcher configuration vnt.ini: written beside the launchers, then
// copied beside their copies in root/bin.
#include <cstdio>

#include "inifile/ini.h"
#include "installer.h"
#include "messages.h"

bool write_launcher_configuration(const std::string& root, const Placement& placement) {
    IniDocument* document = ini_new_document();
    IniSection* section = ini_new_section(kLauncherSection);
    ini_add_section(document, section);
    ini_set(section, kBindirKey, placement.runtime_bin.c_str());
    ini_set(section, kPrognameKey, kProgname);
    ini_set(section, kRootdirKey, root.c_str());

    std::string primary = join_path(placement.runtime_bin, kLauncherConfigFile);
    std::string secondary = join_path(placement.bin_dir, kLauncherConfigFile);
    bool saved = ini_save(document, primary.c_str()) == 0;
    ini_free_document(document);
    if (!saved) {
        print_error(kCannotCreateFile, primary.c_str());
        print_error("%s", kBailingOut);
        return false;
    }
    return copy_or_report(primary, secondary, kBailingOut);
}
