# Builds the module as a shared library in a scratch build of its own
# (BUILD_SHARED_LIBS=ON, nothing but the library) and runs the Python tests
# that load it. Run with cmake -P; needs SOURCE_DIR, WORK_DIR, CXX_COMPILER,
# PYTHON and TEST_SCRIPTS (separated by commas).
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}"
                        -DBUILD_SHARED_LIBS=ON -DVANTRA_BUILD_TESTS=OFF
                        -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}" --target inifile_shared -j 2
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
string(REPLACE "," ";" scripts "${TEST_SCRIPTS}")
foreach(script IN LISTS scripts)
    execute_process(COMMAND "${PYTHON}" "${script}" "${WORK_DIR}/inifile"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
