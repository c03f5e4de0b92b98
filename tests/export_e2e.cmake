# End-to-end check of "tessel-console -export ROOT" on copies of
# examples/export-tree, run without any display or Qt platform set.
# Arguments: -DEXE=<tessel-console> -DTREE=<examples/export-tree> -DWORK=<scratch dir>

set(java demo/java/src/tesselcore.java)
set(csharp "demo/c#/tesselcoresample/tesselcore.cs")

function(copy_tree name)
    file(REMOVE_RECURSE "${WORK}/${name}")
    file(MAKE_DIRECTORY "${WORK}/${name}")
    file(COPY "${TREE}/src" "${TREE}/sdk-root" DESTINATION "${WORK}/${name}")
endfunction()

# Sets rc and err in the caller.
function(run_export root)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=DISPLAY --unset=WAYLAND_DISPLAY
                "${EXE}" -export "${root}"
        RESULT_VARIABLE code ERROR_VARIABLE stderr OUTPUT_VARIABLE stdout)
    message(STATUS "export ${root}: exit ${code}\n${stdout}${stderr}")
    set(rc "${code}" PARENT_SCOPE)
    set(err "${stderr}" PARENT_SCOPE)
endfunction()

function(expect_same actual expected)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${expected}" RESULT_VARIABLE differ)
    if(differ)
        message(FATAL_ERROR "${actual} differs from ${expected}")
    endif()
endfunction()

# 1. The whole tree: both bindings written as expected, exit 0.
copy_tree(full)
run_export("${WORK}/full/sdk-root")
# Qt may note its own environment on stderr; the export itself reports nothing.
if(NOT rc EQUAL 0 OR err MATCHES "tessel-console:")
    message(FATAL_ERROR "expected exit 0 and no diagnostics, got ${rc}")
endif()
expect_same("${WORK}/full/sdk-root/${java}" "${TREE}/expected/tesselcore.java")
expect_same("${WORK}/full/sdk-root/${csharp}" "${TREE}/expected/tesselcore.cs")

# 2. Again on the filled tree: the markers are gone, nothing is rewritten, exit 1.
run_export("${WORK}/full/sdk-root")
if(NOT rc EQUAL 1 OR NOT err MATCHES "tesselcore.java" OR NOT err MATCHES "tesselcore.cs")
    message(FATAL_ERROR "expected exit 1 naming both templates, got ${rc}")
endif()
expect_same("${WORK}/full/sdk-root/${java}" "${TREE}/expected/tesselcore.java")
expect_same("${WORK}/full/sdk-root/${csharp}" "${TREE}/expected/tesselcore.cs")

# 3. The C# header missing: Java written, the C# template kept with its marker, exit 1.
copy_tree(noheader)
file(REMOVE "${WORK}/noheader/src/libs/tesselcore/exporttesselcoreasyncunicode.h")
run_export("${WORK}/noheader/sdk-root")
if(NOT rc EQUAL 1 OR NOT err MATCHES "exporttesselcoreasyncunicode.h")
    message(FATAL_ERROR "expected exit 1 naming the missing header, got ${rc}")
endif()
expect_same("${WORK}/noheader/sdk-root/${java}" "${TREE}/expected/tesselcore.java")
expect_same("${WORK}/noheader/sdk-root/${csharp}" "${TREE}/sdk-root/${csharp}")

file(REMOVE_RECURSE "${WORK}")
