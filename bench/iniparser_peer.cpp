// iniparser: a dictionary of "section:key" strings. Its lookups while loading
// are linear in the entries so far, so a file of 500,000 entries takes
// minutes: it is measured on the small files only.
#include <iniparser/iniparser.h>

#include "peers.h"

namespace {

// iniparser reports what it dislikes on stderr unless told otherwise.
int quiet(const char* /*format*/, ...) {
    return 0;
}

void* load(const char* path) {
    iniparser_set_error_callback(quiet);
    return iniparser_load(path);
}

long entries(const void* document) {
    const dictionary* dict = static_cast<const dictionary*>(document);
    long count = 0;
    for (int i = 0; i < iniparser_getnsec(dict); ++i) {
        count += iniparser_getsecnkeys(dict, iniparser_getsecname(dict, i));
    }
    return count;
}

void release(void* document) {
    iniparser_freedict(static_cast<dictionary*>(document));
}

}  // namespace

extern const Peer kIniParserPeer = {"iniparser", true, load, entries, release};
