# The Debian packages as a user gets them: built from a copy of the
# checkout with dpkg-buildpackage, checked by lintian (no error, no warning
# that debian/ does not explain as an override), unpacked into a scratch
# root with dpkg -x, and a C and a C++ program built against that root with
# pkg-config and run on its shared library. Run with cmake -P; needs
# SOURCE_DIR (the checkout) and WORK_DIR.
foreach(tool dpkg-buildpackage dh lintian dpkg-deb pkg-config cc c++ readelf)
    find_program(tool_path_${tool} ${tool})
    if(NOT tool_path_${tool})
        # Reported as skipped (SKIP_REGULAR_EXPRESSION).
        message("skipped: building the Debian packages needs ${tool} "
                "(dpkg-dev, debhelper, lintian, pkg-config, a compiler)")
        return()
    endif()
endforeach()

# dpkg-buildpackage writes into the tree and its parent folder: a copy.
file(REMOVE_RECURSE "${WORK_DIR}")
set(tree "${WORK_DIR}/src")
file(MAKE_DIRECTORY "${tree}")
file(GLOB entries RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^(build|\\.git)$")
        file(COPY "${SOURCE_DIR}/${entry}" DESTINATION "${tree}")
    endif()
endforeach()

execute_process(COMMAND dpkg-buildpackage -b -us -uc WORKING_DIRECTORY "${tree}"
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-buildpackage failed:\n${log}")
endif()

file(GLOB changes "${WORK_DIR}/*.changes")
execute_process(COMMAND lintian --fail-on none "${changes}"
                OUTPUT_VARIABLE findings ERROR_VARIABLE lintian_log)
message("lintian:\n${findings}")
if(findings MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian reports errors or warnings that debian/ does not explain")
endif()

set(root "${WORK_DIR}/root")
foreach(package libinifile1 libinifile-dev inifile)
    file(GLOB deb "${WORK_DIR}/${package}_*.deb")
    execute_process(COMMAND dpkg-deb -x "${deb}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(file usr/bin/inifile usr/share/man/man1/inifile.1.gz usr/include/inifile/ini.h
             usr/include/inifile/inifile.hpp)
    if(NOT EXISTS "${root}/${file}")
        message(FATAL_ERROR "the packages do not install ${file}")
    endif()
endforeach()

# The .pc file finds its prefix from its own place, so no sysroot is needed.
file(GLOB_RECURSE pc_file "${root}/*/inifile.pc")
get_filename_component(pc_directory "${pc_file}" DIRECTORY)
get_filename_component(library_directory "${pc_directory}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${pc_directory}")
set(ENV{LD_LIBRARY_PATH} "${library_directory}")
execute_process(COMMAND pkg-config --cflags --libs inifile OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
# Builds `source` with `compiler` and pkg-config's flags, checks that it
# needs the packaged shared library, and runs it.
function(check_consumer name compiler standard source)
    set(program "${WORK_DIR}/${name}")
    execute_process(COMMAND ${compiler} ${standard} -Wall -Wextra -Werror "${source}" ${flags}
                            -o "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND readelf -d "${program}" OUTPUT_VARIABLE dynamic
                    COMMAND_ERROR_IS_FATAL ANY)
    if(NOT dynamic MATCHES "libinifile\\.so\\.1")
        message(FATAL_ERROR "${name} is not linked with the packaged libinifile.so.1")
    endif()
    execute_process(COMMAND "${program}" "${program}.ini" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
check_consumer(c_consumer cc -std=c99 "${SOURCE_DIR}/tests/package/c/consumer.c")
check_consumer(cxx_consumer c++ -std=c++17 "${SOURCE_DIR}/tests/package/consumer.cpp")

execute_process(COMMAND "${root}/usr/bin/inifile" --version COMMAND_ERROR_IS_FATAL ANY)
