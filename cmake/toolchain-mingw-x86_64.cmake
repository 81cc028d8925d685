# 64-bit Windows: the same code where a machine cannot run 32-bit programs.
# Debian's wine script always prefers the 32-bit loader once wine32 is
# installed, so the tests call the 64-bit loader itself, which Debian keeps
# out of PATH.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_target x86_64-w64-mingw32)
find_program(VANTRA_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
set(mingw_wine ${VANTRA_WINE64})
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
