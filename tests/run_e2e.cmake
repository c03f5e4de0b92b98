# tessel-run as a build server runs it: no display, no Qt platform. The
# sample run replays the same against the built-in fleet (exit 0) and
# differently against a fleet whose terminal answers otherwise (exit 1, the
# JUnit report names the member); a bad argument and a damaged run file give 2.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})
unset(ENV{TESSEL_SIM_FLEET})
set(ENV{TESSEL_SIM_LATENCY_MS} 0)
set(ENV{TESSEL_RUN_PASSWORD} 123456)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect code)
    execute_process(COMMAND ${EXE} ${ARGN} RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT got STREQUAL code)
        message(FATAL_ERROR "tessel-run ${ARGN}: exit ${got}, expected ${code}\n${out}\n${err}")
    endif()
    set(output "${out}${err}" PARENT_SCOPE)
endfunction()

expect(0 ${RUNS}/display.jsonl --login admin --grace 50 --junit ${WORK}/same.xml)
file(READ ${WORK}/same.xml xml)
if(NOT xml MATCHES "failures=\"0\"")
    message(FATAL_ERROR "the report of the same run shows failures:\n${xml}")
endif()

set(ENV{TESSEL_SIM_FLEET} ${RUNS}/changed-fleet.json)
expect(1 ${RUNS}/display.jsonl --login admin --grace 50 --junit ${WORK}/changed.xml)
file(READ ${WORK}/changed.xml xml)
if(NOT xml MATCHES "<failure type=\"different\" message=\"differs: width\">width: recorded 1920, now 1280")
    message(FATAL_ERROR "the report does not name the differing member:\n${xml}")
endif()
unset(ENV{TESSEL_SIM_FLEET})

expect(2 ${RUNS}/display.jsonl --timeout soon)
file(WRITE ${WORK}/damaged.jsonl "{\"operation\":\"getVolume()\",\"request\":\"{}\"}\n{\"operation\":\n")
expect(2 ${WORK}/damaged.jsonl)
if(NOT output MATCHES "line 2, column 14")
    message(FATAL_ERROR "the damaged line is not named:\n${output}")
endif()
expect(2 ${WORK}/missing.jsonl)
