#include "peers.h"

#include <cstring>

#ifdef BENCH_HAVE_SIMPLEINI
extern const Peer kSimpleIniPeer;
#endif
#ifdef BENCH_HAVE_INIREADER
extern const Peer kIniReaderPeer;
#endif
#ifdef BENCH_HAVE_INIPARSER
extern const Peer kIniParserPeer;
#endif

const std::vector<const Peer*>& bench_peers() {
    static const std::vector<const Peer*> peers = {
#ifdef BENCH_HAVE_SIMPLEINI
        &kSimpleIniPeer,
#endif
#ifdef BENCH_HAVE_INIREADER
        &kIniReaderPeer,
#endif
#ifdef BENCH_HAVE_INIPARSER
        &kIniParserPeer,
#endif
    };
    return peers;
}

const Peer* find_peer(const char* name) {
    for (const Peer* peer : bench_peers()) {
        if (strcmp(peer->name, name) == 0) {
            return peer;
        }
    }
    return nullptr;
}
