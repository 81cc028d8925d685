# Installs the build into a scratch prefix, then configures, builds and runs
# the consumer projects against it: the C++ one and the C one through the
# CMake package, and the C program once more through pkg-config, compiled
# the way a Makefile would. Run with cmake -P; needs BUILD_DIR, SOURCE_DIR
# and WORK_DIR.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)

# Configures and builds the project in $2 as $1 and runs its program $3.
function(check_consumer name source program)
    execute_process(COMMAND ${CMAKE_COMMAND} -S "${source}" -B "${WORK_DIR}/${name}"
                            "-DCMAKE_PREFIX_PATH=${prefix}"
                    COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/${name}"
                    COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
    execute_process(COMMAND "${WORK_DIR}/${name}/${program}" "${WORK_DIR}/${name}.ini"
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

check_consumer(build "${SOURCE_DIR}" consumer)
check_consumer(c-build "${SOURCE_DIR}/c" c_consumer)

find_program(PKG_CONFIG pkg-config)
find_program(C_COMPILER NAMES cc gcc clang)
if(NOT PKG_CONFIG OR NOT C_COMPILER)
    # The test is then reported as skipped (SKIP_REGULAR_EXPRESSION).
    message("skipped: the pkg-config consumer needs pkg-config and a C compiler")
    return()
endif()
file(GLOB_RECURSE pc_file "${prefix}/*/inifile.pc")
get_filename_component(pc_directory "${pc_file}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${pc_directory}")
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs inifile
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND ${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror
                        "${SOURCE_DIR}/c/consumer.c" ${flags} -o "${WORK_DIR}/c_consumer_pc"
                COMMAND_ERROR_IS_FATAL ANY)
# A Makefile's program finds a shared build's library only on the search path.
get_filename_component(library_directory "${pc_directory}" DIRECTORY)
set(ENV{LD_LIBRARY_PATH} "${library_directory}")
execute_process(COMMAND "${WORK_DIR}/c_consumer_pc" "${WORK_DIR}/pkg-config.ini"
                COMMAND_ERROR_IS_FATAL ANY)
