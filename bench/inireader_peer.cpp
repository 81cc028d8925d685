// inih's C++ INIReader: a map from "section=key" to the value. It merges a
// duplicate key into the first one's value and offers no way to list the
// entries, so it cannot say how many it holds.
#include <INIReader.h>

#include "peers.h"

namespace {

void* load(const char* path) {
    auto* reader = new INIReader(path);
    if (reader->ParseError() < 0) {
        delete reader;
        return nullptr;
    }
    return reader;
}

long entries(const void* /*document*/) {
    return -1;
}

void release(void* document) {
    delete static_cast<INIReader*>(document);
}

}  // namespace

extern const Peer kIniReaderPeer = {"INIReader", false, load, entries, release};
