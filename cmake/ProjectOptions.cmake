# Settings shared by every target: warnings, sanitizers, static Windows builds.

option(VANTRA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# Applies the project's warning set to `target`; both g++ and clang must stay clean.
function(vantra_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

if(VANTRA_SANITIZE)
    # Any report must fail the test that triggered it, so nothing recovers.
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer)
    add_compile_options(${sanitize_flags})
    add_link_options(${sanitize_flags})
endif()

option(VANTRA_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(VANTRA_FUZZ)
    # Everything is instrumented for coverage and checked by the sanitizers;
    # only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    # Lines are collected in pieces; pieces of 7 bytes let inputs of a few
    # hundred bytes cross many of their boundaries.
    add_compile_definitions(INIFILE_LINE_PIECE_BYTES=7)
endif()

if(WIN32)
    # The executables must run on a bare Windows: no runtime DLL beside them.
    add_link_options(-static)
endif()
