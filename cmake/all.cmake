# The "all" preset: builds the native, tsan, fuzz, bench, win64 and win32 presets
# one after the other (each uses every core), then lets CTest run the tests of
# all of them as one list, so that `ctest --preset all -R NAME` finds any test.
enable_testing()

set(PLIX_PRESETS native tsan fuzz bench win64 win32)
set(previous "")
foreach(preset IN LISTS PLIX_PRESETS)
  add_custom_target(preset-${preset} ALL
    COMMAND ${CMAKE_COMMAND} --preset ${preset} -S ${CMAKE_SOURCE_DIR}
    COMMAND ${CMAKE_COMMAND} --build --preset ${preset}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    USES_TERMINAL
    COMMENT "Building preset ${preset}")
  if(previous)
    add_dependencies(preset-${preset} ${previous})
  endif()
  set(previous preset-${preset})
endforeach()

# Read by CTest when it runs: the builds' own test lists, once they exist.
set(include_file ${CMAKE_BINARY_DIR}/preset-tests.cmake)
set(text "")
foreach(preset IN LISTS PLIX_PRESETS)
  set(dir ${CMAKE_SOURCE_DIR}/build/${preset})
  string(APPEND text "if(EXISTS \"${dir}/CTestTestfile.cmake\")\n  subdirs(\"${dir}\")\nendif()\n")
endforeach()
file(WRITE ${include_file} "${text}")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})

# The release zip, made twice from a clean checkout of HEAD: the same bytes,
# the five files, their sums (scripts/package --check).
add_test(NAME package.reproducible COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/package --check
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(package.reproducible PROPERTIES TIMEOUT 1500 PASS_REGULAR_EXPRESSION "package reproducible: "
                                                      LABELS slow)
