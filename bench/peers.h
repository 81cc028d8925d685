// The document-building INI libraries the module is measured against. Each
// adapter is compiled in a file of its own, only where the library's Debian
// package is installed; this header is all the rest of the benchmark sees.
#ifndef BENCH_PEERS_H_
#define BENCH_PEERS_H_

#include <vector>

struct Peer {
    const char* name;       // in benchmark names: PEER/FILE
    bool small_files_only;  // its document grows worse than linearly
    // The library's whole document of the file at `path`, or null when it
    // refuses the file.
    void* (*load)(const char* path);
    // Entries in a loaded document, or -1 where the library cannot tell.
    long (*entries)(const void* document);
    void (*release)(void* document);
};

// The peers this build was compiled with, in a fixed order.
const std::vector<const Peer*>& bench_peers();

// The peer called `name`, or null.
const Peer* find_peer(const char* name);

#endif  // BENCH_PEERS_H_
