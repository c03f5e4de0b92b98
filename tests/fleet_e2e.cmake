# The README's fleet example as a new user pastes it: the checklist on the
# built-in fleet passes (exit 0); on a changed fleet one terminal fails, its
# test suite names it and the --failed file lists it alone; the rerun from
# that file sends to it only. Then bad targets and checklists give 2.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})
unset(ENV{TESSEL_SIM_FLEET})
set(ENV{TESSEL_SIM_LATENCY_MS} 0)
set(ENV{TESSEL_RUN_PASSWORD} 123456)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(checklist ${FLEET}/checklist.jsonl)
set(targets ${FLEET}/targets.csv)

function(expect code)
    execute_process(COMMAND ${EXE} ${ARGN} RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT got STREQUAL code)
        message(FATAL_ERROR "tessel-run ${ARGN}: exit ${got}, expected ${code}\n${out}\n${err}")
    endif()
    set(output "${out}${err}" PARENT_SCOPE)
endfunction()

function(require text what)
    if(NOT output MATCHES "${text}")
        message(FATAL_ERROR "${what}:\n${output}")
    endif()
endfunction()

# --grace 50: the README's run waits the default half second for late results.
set(run ${checklist} --targets ${targets} --login admin --parallel 4 --max-fail 20% --grace 50
        --junit ${WORK}/fleet.xml --failed ${WORK}/failed.csv)
expect(0 ${run})
require("10 terminals: 10 passed, 0 failed, 0 error, 0 skipped" "the built-in fleet does not pass")
file(READ ${WORK}/failed.csv failed)
if(NOT failed MATCHES "^sn,name,ip,group\r?\n$")
    message(FATAL_ERROR "terminals listed as failed after a passing run:\n${failed}")
endif()

set(ENV{TESSEL_SIM_FLEET} ${FLEET}/changed-fleet.json)
expect(1 ${run})
require("failed   BZSA79353N1310006847 门头条屏" "the changed terminal is not reported as failed")
require("width: expected 3840, now 1920" "the differing member is not named")
file(READ ${WORK}/fleet.xml xml)
if(NOT xml MATCHES "<testsuite name=\"BZSA79353N1310006847 门头条屏\" tests=\"5\" failures=\"1\"")
    message(FATAL_ERROR "the report has no failing suite for the changed terminal:\n${xml}")
endif()
file(STRINGS ${WORK}/failed.csv failed ENCODING UTF-8)
list(LENGTH failed rows)
if(NOT rows EQUAL 2 OR NOT failed MATCHES "BZSA79353N1310006847")
    message(FATAL_ERROR "failed.csv should list the changed terminal alone:\n${failed}")
endif()

expect(1 ${checklist} --targets ${WORK}/failed.csv --login admin --grace 50)
require("^5 lines on 1 terminal[^\n]*\nfailed   BZSA79353N1310006847[^\n]*\n.*1 terminal: 0 passed, 1 failed" "the rerun went elsewhere")
unset(ENV{TESSEL_SIM_FLEET})

# --record writes each terminal's own baseline; --baseline compares with it.
expect(0 ${checklist} --targets ${targets} --login admin --grace 50 --record ${WORK}/baseline)
file(GLOB recorded ${WORK}/baseline/*.jsonl)
list(LENGTH recorded count)
if(NOT count EQUAL 10)
    message(FATAL_ERROR "--record wrote ${count} files, not one per terminal: ${recorded}")
endif()
set(ENV{TESSEL_SIM_FLEET} ${FLEET}/changed-fleet.json)
expect(1 ${checklist} --targets ${targets} --login admin --grace 50 --baseline ${WORK}/baseline)
require("1 different[^\n]*\n[^\n]*width: expected 3840, now 1920" "the baseline is not compared")
unset(ENV{TESSEL_SIM_FLEET})

expect(0 ${checklist} --targets ${targets} --limit street --shard 2/2 --list-targets)
require("^BZSA79353N1310006847 name=门头条屏 ip=192.168.1.23 group=street width=3840\n$" "the listing")

# --all: the terminals a broadcast search finds, once it has settled.
expect(0 ${checklist} --all --limit BZSA07* --list-targets)
require("^BZSA07194A0049999716 name=大厅主屏 ip=192.168.1.21 width=1920 height=1080\nBZSA07201A0010000183 [^\n]*\nBZSA07313J0350000997 [^\n]*\n$"
        "the search's terminals")

# Bad input: exit 2, the place named, nothing sent.
file(WRITE ${WORK}/twice.csv "sn,name\nA1,x\nA1,y\n")
file(WRITE ${WORK}/ragged.csv "sn,name\nA1,x,extra\n")
file(WRITE ${WORK}/open.jsonl "{\"operation\":\"getVolume()\",\"request\":\"{\\\"sn\\\":\\\"{{ver\\\"}\"}\n")
file(WRITE ${WORK}/unfilled.jsonl "{\"operation\":\"getVolume()\",\"request\":{\"sn\":\"{{floor}}\"}}\n")
expect(2 ${checklist} --targets ${WORK}/twice.csv)
require("twice.csv: line 3" "a serial given twice is not named")
expect(2 ${checklist} --targets ${WORK}/ragged.csv)
require("ragged.csv: line 2" "a ragged row is not named")
expect(2 ${WORK}/open.jsonl --targets ${targets})
require("open.jsonl: line 1, column 49" "an open placeholder is not placed")
expect(2 ${WORK}/unfilled.jsonl --targets ${targets})
require("line 1: [{][{]floor[}][}] has no value for BZSA07194A0049999716" "a variable no terminal has")
expect(2 ${checklist} --sn BZSA07194A0049999716)
require("checklist.jsonl: line 1 checks its reply" "a replay that would skip the checks")
