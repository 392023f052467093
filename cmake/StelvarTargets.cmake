# Helpers that define the project's targets the same way in both builds.
#
# Portable libraries compile without windows.h; the Windows build links them into the
# deliverables, the native build into tests, fuzz targets and benchmarks.

set(STELVAR_WARNINGS -Wall -Wextra -Wno-unused-parameter)

function(stelvar_sanitize target)
  if(STELVAR_SANITIZE)
    # fuzzer-no-link adds the coverage hooks so that fuzz targets can link the same libraries.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                           -fno-omit-frame-pointer -fsanitize=fuzzer-no-link)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# stelvar_portable_library(name SOURCES ... [DEPENDS ...])
# In the native build it also makes <name>_fast: the same sources, optimised, without
# sanitizers, for the benchmarks.
function(stelvar_portable_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${STELVAR_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_DEPENDS})
  stelvar_sanitize(${name})
  if(NOT WIN32)
    add_library(${name}_fast STATIC ${A_SOURCES})
    target_include_directories(${name}_fast PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name}_fast PRIVATE -O2 -DNDEBUG)
    set(fast_deps)
    foreach(d ${A_DEPENDS})
      list(APPEND fast_deps ${d}_fast)
    endforeach()
    target_link_libraries(${name}_fast PUBLIC ${fast_deps})
  endif()
endfunction()

# stelvar_native_test(name SOURCES ... LIBS ...): a GoogleTest program of the native build.
function(stelvar_native_test name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${STELVAR_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gtest_main gtest)
  stelvar_sanitize(${name})
  add_test(NAME native.${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(native.${name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "native;${A_LABELS}"
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()

# stelvar_fuzz_target(name SOURCES ... LIBS ...): a libFuzzer program of the native build.
function(stelvar_fuzz_target name)
  if(WIN32 OR NOT STELVAR_SANITIZE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_property(GLOBAL APPEND PROPERTY STELVAR_FUZZ_TARGETS ${name})
endfunction()

# stelvar_installed_program(name SOURCES ... LIBS ...): the native build's optimised program
# <name>, without the sanitizers, built into build/<preset>/release/bin and installed into bin/
# by `cmake --install`. LIBS are the _fast twins of the portable libraries. The sanitized
# program of the same name (bin/<name>) is what the tests run.
function(stelvar_installed_program name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_release ${A_SOURCES})
  target_compile_options(${name}_release PRIVATE ${STELVAR_WARNINGS} -O2)
  target_compile_definitions(${name}_release PRIVATE NDEBUG)
  target_link_libraries(${name}_release PRIVATE ${A_LIBS})
  set_target_properties(${name}_release PROPERTIES OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/release/bin)
  install(TARGETS ${name}_release RUNTIME DESTINATION bin)
endfunction()
