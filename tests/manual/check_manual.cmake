# The manual page renders without a warning, as man shows it. Run with
# cmake -P; needs GROFF (empty where groff is missing: skipped) and PAGE.
if(NOT GROFF)
    message("skipped: groff is missing")
    return()
endif()
execute_process(COMMAND ${GROFF} -ww -man -Tutf8 -z "${PAGE}"
                RESULT_VARIABLE status ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff -ww on ${PAGE} (status ${status}):\n${warnings}")
endif()
