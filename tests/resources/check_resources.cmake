# Reads the resources of the built Install.exe back with windres and fails
# unless they hold what Windows needs to run it as its caller: the
# application manifest (type 24, id 1) requesting asInvoker, and the version
# information carrying the project's version.
#
#   cmake -DWINDRES=... -DEXECUTABLE=.../Install.exe -DVERSION=1.0.0 -P check_resources.cmake

execute_process(COMMAND ${WINDRES} -i ${EXECUTABLE} -O rc
    OUTPUT_VARIABLE resources ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "windres cannot read the resources of ${EXECUTABLE}: ${error}")
endif()

# windres writes the manifest as rc string literals, each quote doubled.
string(REPLACE "\"\"" "\"" resources "${resources}")
string(REPLACE "." "\\." version_pattern "${VERSION}")
set(expected
    "manifest|\n1 24 "
    "asInvoker|<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"
    "long paths|<longPathAware [^>]*>true</longPathAware>"
    "version information|\n1 VERSIONINFO"
    "file version|VALUE \"FileVersion\", \"${version_pattern}\""
    "product version|VALUE \"ProductVersion\", \"${version_pattern}\""
    "product name|VALUE \"ProductName\", \"Vantra\""
    "original file name|VALUE \"OriginalFilename\", \"Install\\.exe\"")
set(failures "")
foreach(item IN LISTS expected)
    string(REPLACE "|" ";" item "${item}")
    list(GET item 0 what)
    list(GET item 1 pattern)
    if(NOT resources MATCHES "${pattern}")
        string(APPEND failures "\n  no ${what}")
    endif()
endforeach()
# A code page of the manifest's own would change the bytes written to vnt.ini.
if(resources MATCHES "activeCodePage")
    string(APPEND failures "\n  the manifest sets activeCodePage")
endif()
if(failures)
    message(FATAL_ERROR "${EXECUTABLE}:${failures}\nresources as windres reads them:\n${resources}")
endif()
message(STATUS "${EXECUTABLE}: manifest (asInvoker) and version ${VERSION} present")
