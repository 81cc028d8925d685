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

if(WIN32)
    # The executables must run on a bare Windows: no runtime DLL beside them.
    add_link_options(-static)
endif()
