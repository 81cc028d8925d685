# Installs the build into a scratch prefix, then configures, builds and runs
# the consumer project against it. Run with cmake -P; needs BUILD_DIR,
# SOURCE_DIR and WORK_DIR.
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
                        "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/build"
                COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET)
execute_process(COMMAND "${WORK_DIR}/build/consumer" "${WORK_DIR}/round-trip.ini"
                COMMAND_ERROR_IS_FATAL ANY)
