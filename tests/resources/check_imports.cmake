# Reads the built executable's headers back with objdump and fails unless it
# is a PE image for the expected machine that imports only the DLLs every
# Windows has: a bare Windows must run it with nothing beside it.
#
#   cmake -DOBJDUMP=... -DEXECUTABLE=.../Install.exe -DFORMAT=pei-i386
#         -DALLOWED=KERNEL32.dll,msvcrt.dll -P check_imports.cmake

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE}
    OUTPUT_VARIABLE headers ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump cannot read ${EXECUTABLE}: ${error}")
endif()

string(REPLACE "," ";" ALLOWED "${ALLOWED}")
set(failures "")
if(NOT headers MATCHES "file format ${FORMAT}\n")
    string(REGEX MATCH "file format [^\n]*" found "${headers}")
    string(APPEND failures "\n  not ${FORMAT} (${found})")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${headers}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(dll IN LISTS imports)
    if(NOT dll IN_LIST ALLOWED)
        string(APPEND failures "\n  imports ${dll}")
    endif()
endforeach()
if(failures)
    message(FATAL_ERROR "${EXECUTABLE}:${failures}")
endif()
message(STATUS "${EXECUTABLE}: ${FORMAT}, imports ${imports}")
