// simpleini, the way a program that wants every entry uses it: case-sensitive
// names, multiple keys allowed so that duplicates are kept as the module
// keeps them, no multi-line values.
#include <SimpleIni.h>

#include "peers.h"

namespace {

void* load(const char* path) {
    auto* ini = new CSimpleIniCaseA(/*a_bIsUtf8=*/false, /*a_bMultiKey=*/true,
                                    /*a_bMultiLine=*/false);
    if (ini->LoadFile(path) != SI_OK) {
        delete ini;
        return nullptr;
    }
    return ini;
}

long entries(const void* document) {
    const auto* ini = static_cast<const CSimpleIniCaseA*>(document);
    CSimpleIniCaseA::TNamesDepend sections;
    ini->GetAllSections(sections);
    long count = 0;
    for (const auto& section : sections) {
        const CSimpleIniCaseA::TKeyVal* keys = ini->GetSection(section.pItem);
        count += keys != nullptr ? static_cast<long>(keys->size()) : 0;
    }
    return count;
}

void release(void* document) {
    delete static_cast<CSimpleIniCaseA*>(document);
}

}  // namespace

extern const Peer kSimpleIniPeer = {"simpleini", false, load, entries, release};
