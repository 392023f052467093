# Windows tests run under Wine through ctest, with a harness per build tree
# (private prefix, display, serial pty pairs): see tests/harness/setup.sh.

set(STELVAR_HARNESS_DIR ${CMAKE_BINARY_DIR}/harness)
# Native programs the Windows tests drive (the box simulator): the native preset's build.
set(STELVAR_NATIVE_BIN ${CMAKE_SOURCE_DIR}/build/native/bin CACHE PATH "bin folder of the native build")
set(STELVAR_HARNESS_SCRIPTS ${CMAKE_SOURCE_DIR}/tests/harness)
set(CMAKE_CROSSCOMPILING_EMULATOR ${STELVAR_HARNESS_SCRIPTS}/wine-run ${STELVAR_HARNESS_DIR})

add_test(NAME harness.setup COMMAND ${STELVAR_HARNESS_SCRIPTS}/setup.sh ${STELVAR_HARNESS_DIR})
set_tests_properties(harness.setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME harness.cleanup COMMAND ${STELVAR_HARNESS_SCRIPTS}/cleanup.sh ${STELVAR_HARNESS_DIR})
set_tests_properties(harness.cleanup PROPERTIES FIXTURES_CLEANUP wine)

# stelvar_wine_test(name SOURCES ... LIBS ... [SERIAL] [TIMEOUT s]): a GoogleTest program
# of the Windows build, run under Wine. SERIAL tests use the harness's COM ports and run
# one at a time.
function(stelvar_wine_test name)
  cmake_parse_arguments(A "SERIAL;GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${STELVAR_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gtest_main gtest)
  add_test(NAME win.${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(win.${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${A_TIMEOUT}
    LABELS "windows;${A_LABELS}")
  if(A_SERIAL)
    set_tests_properties(win.${name} PROPERTIES RESOURCE_LOCK serial)
  endif()
endfunction()

# stelvar_wine_script_test(name script args...): a shell script that drives Windows
# programs through tests/harness/wine-run (given to it as $STELVAR_WINE_RUN).
function(stelvar_wine_script_test name)
  cmake_parse_arguments(A "SERIAL" "TIMEOUT" "COMMAND;LABELS" ${ARGN})
  add_test(NAME win.${name} COMMAND ${A_COMMAND})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(win.${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${A_TIMEOUT}
    LABELS "windows;${A_LABELS}"
    ENVIRONMENT "STELVAR_WINE_RUN=${STELVAR_HARNESS_SCRIPTS}/wine-run ${STELVAR_HARNESS_DIR};STELVAR_HARNESS=${STELVAR_HARNESS_DIR};STELVAR_BIN=${CMAKE_BINARY_DIR}/bin;STELVAR_NATIVE_BIN=${STELVAR_NATIVE_BIN}")
  if(A_SERIAL)
    set_tests_properties(win.${name} PROPERTIES RESOURCE_LOCK serial)
  endif()
endfunction()
