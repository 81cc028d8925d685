# The document-building peers, each from its Debian package through
# pkg-config, each adapter in a file of its own. A peer that is missing is
# left out with the reason, so the benchmarks build on any machine;
# bench/setup.sh installs them all.

# Adds the adapter `source` for the peer `define` (BENCH_HAVE_...) linked
# with `target`.
function(bench_add_peer name source define target)
    add_library(bench_${name} STATIC ${source})
    target_link_libraries(bench_${name} PRIVATE ${target})
    vantra_warnings(bench_${name})
    target_link_libraries(bench PRIVATE bench_${name})
    target_compile_definitions(bench PRIVATE ${define})
    message(STATUS "bench: comparing with ${name}")
endfunction()

if(PKG_CONFIG_FOUND)
    # Debian's simpleini converts through ICU: its header needs SI_CONVERT_ICU
    # and its .pc file requires icu-io.
    pkg_check_modules(SIMPLEINI QUIET IMPORTED_TARGET simpleini)
    pkg_check_modules(INIREADER QUIET IMPORTED_TARGET INIReader)
endif()

if(SIMPLEINI_FOUND)
    bench_add_peer(simpleini simpleini_peer.cpp BENCH_HAVE_SIMPLEINI PkgConfig::SIMPLEINI)
    target_compile_definitions(bench_simpleini PRIVATE SI_CONVERT_ICU)
else()
    message(STATUS "bench: simpleini not found (libsimpleini-dev, libicu-dev, pkg-config); "
                   "the comparison with it is left out")
endif()

if(INIREADER_FOUND)
    bench_add_peer(INIReader inireader_peer.cpp BENCH_HAVE_INIREADER PkgConfig::INIREADER)
else()
    message(STATUS "bench: INIReader not found (libinih-dev, pkg-config); "
                   "the comparison with it is left out")
endif()

# Debian ships no .pc file for iniparser.
find_path(INIPARSER_INCLUDE_DIR iniparser/iniparser.h)
find_library(INIPARSER_LIBRARY iniparser)
if(INIPARSER_INCLUDE_DIR AND INIPARSER_LIBRARY)
    bench_add_peer(iniparser iniparser_peer.cpp BENCH_HAVE_INIPARSER "${INIPARSER_LIBRARY}")
    target_include_directories(bench_iniparser PRIVATE "${INIPARSER_INCLUDE_DIR}")
else()
    message(STATUS "bench: iniparser not found (libiniparser-dev); "
                   "the comparison with it is left out")
endif()
