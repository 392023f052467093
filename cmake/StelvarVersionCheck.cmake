# One version for the product: project(Stelvar VERSION ...) in the top CMakeLists.txt.
#
# The version resources of Stelvar.exe, velflash.exe and velinspect.exe are generated from
# it (StelvarVersionInfo.rc). The system's fixed texts that carry the version ("Stelvar
# v1.0.2", the window title; "Stelvar V1.0.2", the application title and settings key) are
# written out where they are used. Target stelvar_version_check (part of every build) fails
# the build when any of them, or a built program's version resource, disagrees with the
# project's version: cmake/CheckVersion.cmake.

set(generated_info ${CMAKE_BINARY_DIR}/generated/StelvarVersionInfo.rc)

# Resource scripts are compiled without a dependency scan: name the generated file.
if(WIN32)
  set_property(SOURCE ${STELVAR_RC} DIRECTORY ${CMAKE_SOURCE_DIR}/app APPEND PROPERTY OBJECT_DEPENDS ${generated_info})
  set(STELVAR_RC_DEPENDS ${STELVAR_RC_DEPENDS} ${generated_info} CACHE INTERNAL "")
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/cli/flash/velflash.rc DIRECTORY ${CMAKE_SOURCE_DIR}/cli/flash
    APPEND PROPERTY OBJECT_DEPENDS ${generated_info})
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/cli/inspect/velinspect.rc DIRECTORY ${CMAKE_SOURCE_DIR}/cli/inspect
    APPEND PROPERTY OBJECT_DEPENDS ${generated_info})
endif()

# Every text file of the sources that could carry the fixed texts.
set(version_text_globs)
foreach(dir app cli controls docs framework manager packaging res sim tests tools usb)
  foreach(ext cpp h rc py md txt cmake sh in)
    list(APPEND version_text_globs ${CMAKE_SOURCE_DIR}/${dir}/*.${ext})
  endforeach()
endforeach()
file(GLOB_RECURSE version_texts CONFIGURE_DEPENDS ${version_text_globs})
file(GLOB version_tools CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*)
list(APPEND version_texts ${version_tools} ${CMAKE_SOURCE_DIR}/README.md)
list(FILTER version_texts EXCLUDE REGEX "/tests/googletest/|/__pycache__/")
string(REPLACE ";" "|" version_texts_arg "${version_texts}")

set(version_binaries)
set(version_binary_targets)
if(WIN32)
  set(version_binaries $<TARGET_FILE:Stelvar> $<TARGET_FILE:velflash> $<TARGET_FILE:velinspect>)
  set(version_binary_targets Stelvar velflash velinspect)
endif()
string(REPLACE ";" "|" version_binaries_arg "${version_binaries}")

set(version_stamp ${CMAKE_BINARY_DIR}/generated/version-check.stamp)
add_custom_command(OUTPUT ${version_stamp}
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          "-DTEXTS=${version_texts_arg}" "-DBINARIES=${version_binaries_arg}" -DWINDRES=${CMAKE_RC_COMPILER}
          -DSTAMP=${version_stamp} -P ${CMAKE_SOURCE_DIR}/cmake/CheckVersion.cmake
  DEPENDS ${version_texts} ${version_binary_targets} ${CMAKE_SOURCE_DIR}/cmake/CheckVersion.cmake
  COMMENT "Checking that the fixed texts and version resources carry version ${PROJECT_VERSION}"
  VERBATIM)
add_custom_target(stelvar_version_check ALL DEPENDS ${version_stamp})
