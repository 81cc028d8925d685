# The shared library's ABI against the one released, which is kept in
# inifile/abi/libinifile.so.1.xml: any change but an addition (a new
# function, a new enumerator at the end) fails, with abidiff's account of
# what changed. Builds the library with debug information in a scratch build
# of its own; abidw and abidiff come from Debian's abigail-tools.
#
#   cmake -P tests/abi/check_abi.cmake               check
#   cmake -DUPDATE=ON -P tests/abi/check_abi.cmake   record the built ABI as released
#
# The record is updated, in the commit that makes it, when an addition is
# released; a change that is not an addition needs a new SOVERSION instead.
# Optional: SOURCE_DIR (the checkout), WORK_DIR (the scratch build),
# CXX_COMPILER.
get_filename_component(here "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
if(NOT SOURCE_DIR)
    get_filename_component(SOURCE_DIR "${here}/../.." ABSOLUTE)
endif()
if(NOT WORK_DIR)
    set(WORK_DIR "${SOURCE_DIR}/build/abi")
endif()
set(record "${SOURCE_DIR}/inifile/abi/libinifile.so.1.xml")

find_program(ABIDW abidw)
find_program(ABIDIFF abidiff)
if(NOT ABIDW OR NOT ABIDIFF)
    # The test is then reported as skipped (SKIP_REGULAR_EXPRESSION).
    message("skipped: the ABI check needs abidw and abidiff (Debian's abigail-tools)")
    return()
endif()

set(compiler)
if(CXX_COMPILER)
    set(compiler "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}"
                        -DBUILD_SHARED_LIBS=ON -DVANTRA_BUILD_TESTS=OFF
                        -DCMAKE_BUILD_TYPE=RelWithDebInfo ${compiler}
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}" --target inifile_shared -j 2
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
file(GLOB library "${WORK_DIR}/inifile/libinifile.so.1.*")

if(UPDATE)
    # No paths of this machine in the record.
    execute_process(COMMAND ${ABIDW} --no-corpus-path --no-comp-dir-path --no-show-locs
                            --out-file "${record}" "${library}"
                    COMMAND_ERROR_IS_FATAL ANY)
    message("recorded ${record}")
    return()
endif()

# --no-added-syms: new functions are no change to callers. What abidiff
# still reports (a removed function, a record's field, an enumerator's
# value) breaks them. Its exit status is a set of bits: 4, a change; 8, an
# incompatible one; 1 and 2, abidiff's own trouble.
execute_process(COMMAND ${ABIDIFF} --no-added-syms "${record}" "${library}"
                RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the ABI of ${library} is not the released one plus additions "
                        "(abidiff status ${status}):\n${report}")
endif()
execute_process(COMMAND ${ABIDIFF} "${record}" "${library}" OUTPUT_VARIABLE additions)
if(additions MATCHES "[1-9][0-9]* Added")
    message("additions to the released ABI (record them with -DUPDATE=ON when released):\n"
            "${additions}")
endif()
message("the ABI is the released one, or adds to it")
