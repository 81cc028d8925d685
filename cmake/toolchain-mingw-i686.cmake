# 32-bit Windows: the Install.exe that ships. Tests run under wine's 32-bit
# loader, which Debian's wine script picks whenever wine32 is installed.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_target i686-w64-mingw32)
set(mingw_wine wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
