# Fails when a text or a built program disagrees with the product's one version.
# Usage: cmake -DVERSION=1.0.2 -DSOURCE_DIR=... -DTEXTS=a|b|... [-DBINARIES=x.exe|y.exe -DWINDRES=...]
#        [-DSTAMP=file] -P CheckVersion.cmake
#  - res/Stelvar.rc holds the window title "Stelvar v<VERSION>" (the first field of string
#    128) and the application title "Stelvar V<VERSION>" (string 57344), which also names
#    the settings key;
#  - every "Stelvar v<x.y.z>" or "Stelvar V<x.y.z>" in TEXTS carries VERSION;
#  - every program in BINARIES has FILEVERSION and PRODUCTVERSION <VERSION>.0 and the strings
#    "FileVersion" and "ProductVersion" equal to VERSION (read back with windres).
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "version check: \"${VERSION}\" is not major.minor.patch")
endif()
set(fixed "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, 0")
set(problems)

file(READ ${SOURCE_DIR}/res/Stelvar.rc rc)
if(NOT rc MATCHES "IDR_MAINFRAME L?\"Stelvar v${VERSION}\\\\n")
  list(APPEND problems "res/Stelvar.rc: the window title (string 128) is not \"Stelvar v${VERSION}\"")
endif()
if(NOT rc MATCHES "AFX_IDS_APP_TITLE L?\"Stelvar V${VERSION}\"")
  list(APPEND problems "res/Stelvar.rc: the application title (string 57344) is not \"Stelvar V${VERSION}\"")
endif()

string(REPLACE "|" ";" texts "${TEXTS}")
foreach(path ${texts})
  file(STRINGS ${path} lines REGEX "Stelvar [vV][0-9]+\\.[0-9]+\\.[0-9]+")
  foreach(line ${lines})
    string(REGEX MATCHALL "Stelvar [vV][0-9]+\\.[0-9]+\\.[0-9]+" found "${line}")
    foreach(text ${found})
      string(REGEX REPLACE "^Stelvar [vV]" "" v "${text}")
      if(NOT v STREQUAL VERSION)
        file(RELATIVE_PATH rel ${SOURCE_DIR} ${path})
        list(APPEND problems "${rel}: \"${text}\"")
      endif()
    endforeach()
  endforeach()
endforeach()

string(REPLACE "|" ";" binaries "${BINARIES}")
foreach(binary ${binaries})
  get_filename_component(name ${binary} NAME)
  execute_process(COMMAND ${WINDRES} -i ${binary} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE rc_status
                  ERROR_VARIABLE err)
  if(NOT rc_status EQUAL 0)
    list(APPEND problems "${name}: windres cannot read its resources (${err})")
    continue()
  endif()
  string(REGEX MATCH "FILEVERSION ([0-9, ]+)" m "${resources}")
  string(STRIP "${CMAKE_MATCH_1}" file_version)
  string(REGEX MATCH "PRODUCTVERSION ([0-9, ]+)" m "${resources}")
  string(STRIP "${CMAKE_MATCH_1}" product_version)
  string(REGEX MATCH "VALUE \"FileVersion\", \"([^\"]*)\"" m "${resources}")
  set(file_string "${CMAKE_MATCH_1}")
  string(REGEX MATCH "VALUE \"ProductVersion\", \"([^\"]*)\"" m "${resources}")
  set(product_string "${CMAKE_MATCH_1}")
  if(NOT file_version STREQUAL fixed OR NOT product_version STREQUAL fixed
     OR NOT file_string STREQUAL VERSION OR NOT product_string STREQUAL VERSION)
    list(APPEND problems "${name}: version resource says FILEVERSION \"${file_version}\", PRODUCTVERSION \"${product_version}\", FileVersion \"${file_string}\", ProductVersion \"${product_string}\"")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "version check: the project's version is ${VERSION} (project() in CMakeLists.txt), but\n  ${text}\n"
                      "Change the project's version and these texts together.")
endif()
list(LENGTH texts n_texts)
list(LENGTH binaries n_binaries)
message(STATUS "version ${VERSION}: the titles in res/Stelvar.rc, ${n_texts} more files' texts and ${n_binaries} programs' version resources agree")
if(STAMP)
  file(TOUCH ${STAMP})
endif()
