# The module as its users take it, each consumer built and run:
# - installed (static), through the CMake package from C++ and from C, and
#   through pkg-config with the C compiler alone, as a Makefile would;
# - installed as a shared library, through pkg-config the same way;
# - as a subproject, with FetchContent and with add_subdirectory.
# No C program may need the C++ runtime. Run with cmake -P; needs BUILD_DIR,
# SOURCE_DIR (this folder), PROJECT_DIR (the checkout) and WORK_DIR.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
if(NOT EXISTS "${prefix}/share/man/man1/inifile.1")
    message(FATAL_ERROR "the manual page is not installed under share/man/man1")
endif()
# The headers have a folder of their own: an include/ini.h would collide
# with other libraries' ini.h.
if(EXISTS "${prefix}/include/ini.h" OR NOT EXISTS "${prefix}/include/inifile/ini.h")
    message(FATAL_ERROR "ini.h is not installed as include/inifile/ini.h alone")
endif()

# Configures the project in `source` into WORK_DIR/name with the options
# that follow, builds it and runs its `program`.
function(check_consumer name source program)
    execute_process(COMMAND ${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/${name}" ${ARGN}
                    COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/${name}" -j 2
                    COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
    execute_process(COMMAND "${WORK_DIR}/${name}/${program}" "${WORK_DIR}/${name}.ini"
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# Fails when the ELF file `file` needs a C++ runtime library.
function(check_no_cxx_runtime file)
    if(NOT READELF)
        return()
    endif()
    execute_process(COMMAND ${READELF} -d "${file}" OUTPUT_VARIABLE dynamic
                    COMMAND_ERROR_IS_FATAL ANY)
    if(dynamic MATCHES "NEEDED[^\n]*(stdc\\+\\+|c\\+\\+)")
        message(FATAL_ERROR "${file} needs the C++ runtime:\n${dynamic}")
    endif()
endfunction()

check_consumer(build "${SOURCE_DIR}" consumer "-DCMAKE_PREFIX_PATH=${prefix}")
execute_process(COMMAND "${WORK_DIR}/build/example" COMMAND_ERROR_IS_FATAL ANY)
check_consumer(c-build "${SOURCE_DIR}/c" c_consumer "-DCMAKE_PREFIX_PATH=${prefix}")
check_consumer(fetchcontent "${SOURCE_DIR}/subproject" c_consumer
               "-DINIFILE_SOURCE_DIR=${PROJECT_DIR}")
check_consumer(add_subdirectory "${SOURCE_DIR}/subproject" c_consumer
               "-DINIFILE_SOURCE_DIR=${PROJECT_DIR}" -DINIFILE_ADD_SUBDIRECTORY=ON)

find_program(READELF readelf)
find_program(PKG_CONFIG pkg-config)
find_program(C_COMPILER NAMES cc gcc clang)
if(NOT PKG_CONFIG OR NOT C_COMPILER)
    # The test is then reported as skipped (SKIP_REGULAR_EXPRESSION).
    message("skipped: the pkg-config consumers need pkg-config and a C compiler")
    return()
endif()

# Compiles the C consumer against the package installed in `installed`
# with the C compiler and pkg-config's flags (`static`: --static), runs it,
# and returns its path in `result`.
function(check_pkg_config name installed static result)
    file(GLOB_RECURSE pc_file "${installed}/*/inifile.pc")
    get_filename_component(pc_directory "${pc_file}" DIRECTORY)
    set(ENV{PKG_CONFIG_PATH} "${pc_directory}")
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs ${static} inifile
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(program "${WORK_DIR}/${name}")
    execute_process(COMMAND ${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror
                            "${SOURCE_DIR}/c/consumer.c" ${flags} -o "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
    # A Makefile's program finds a shared library only on the search path.
    get_filename_component(library_directory "${pc_directory}" DIRECTORY)
    set(ENV{LD_LIBRARY_PATH} "${library_directory}")
    execute_process(COMMAND "${program}" "${program}.ini" COMMAND_ERROR_IS_FATAL ANY)
    check_no_cxx_runtime("${program}")
    set(${result} "${program}" PARENT_SCOPE)
endfunction()

check_pkg_config(c_consumer_static "${prefix}" --static program)

# A program written when ini.h sat directly in include/ still builds with
# pkg-config's flags.
file(WRITE "${WORK_DIR}/old_include.c"
     "#include <ini.h>\nint main(void) { IniDocument* d = ini_new_document(); "
     "ini_free_document(d); return 0; }\n")
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs --static inifile
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND ${C_COMPILER} -std=c99 -Werror "${WORK_DIR}/old_include.c" ${flags}
                        -o "${WORK_DIR}/old_include"
                COMMAND_ERROR_IS_FATAL ANY)

# The C++ consumer through pkg-config too, as a Makefile would build it.
find_program(CXX_COMPILER NAMES c++ g++ clang++)
if(CXX_COMPILER)
    file(GLOB_RECURSE pc_file "${prefix}/*/inifile.pc")
    get_filename_component(pc_directory "${pc_file}" DIRECTORY)
    set(ENV{PKG_CONFIG_PATH} "${pc_directory}")
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs --static inifile
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(program "${WORK_DIR}/cxx_consumer_pkg_config")
    execute_process(COMMAND ${CXX_COMPILER} -std=c++17 -Wall -Wextra -Werror -fsanitize=address
                            "${SOURCE_DIR}/consumer.cpp" ${flags} -o "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${program}" "${program}.ini" COMMAND_ERROR_IS_FATAL ANY)
endif()

# The shared library, from a build of its own with nothing but the library.
set(shared_build "${WORK_DIR}/shared-build")
execute_process(COMMAND ${CMAKE_COMMAND} -S "${PROJECT_DIR}" -B "${shared_build}"
                        -DBUILD_SHARED_LIBS=ON -DVANTRA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${shared_build}" --target inifile_shared inifile_command -j 2
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --install "${shared_build}"
                        --prefix "${WORK_DIR}/shared-prefix"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
check_pkg_config(c_consumer_shared "${WORK_DIR}/shared-prefix" "" program)
file(GLOB shared_library "${WORK_DIR}/shared-prefix/*/libinifile.so.*.*")
check_no_cxx_runtime("${shared_library}")
