# Checks a built PE: 32-bit i386, imports only from Windows' own DLLs, and (optionally)
# exports every symbol listed in EXPORTS_FILE.
# Usage: cmake -DOBJDUMP=... -DBINARY=... [-DEXPORTS_FILE=...] [-DPROJECT_DLLS=a.dll;b.dll]
#        -P CheckPeImports.cmake
# PROJECT_DLLS names the project's own DLLs the binary may import besides Windows' own.
set(system_dlls
  kernel32.dll user32.dll gdi32.dll advapi32.dll comdlg32.dll comctl32.dll shell32.dll
  ole32.dll oleaut32.dll setupapi.dll winmm.dll msvcrt.dll ntdll.dll shlwapi.dll version.dll
  uxtheme.dll)

execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${BINARY}")
endif()
if(NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "${BINARY} is not a 32-bit i386 PE")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "${BINARY} has no import table")
endif()
foreach(line ${imports})
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  string(TOLOWER "${PROJECT_DLLS}" own_dlls)
  list(FIND system_dlls "${lower}" found)
  if(found EQUAL -1)
    list(FIND own_dlls "${lower}" found)
  endif()
  if(found EQUAL -1)
    message(FATAL_ERROR "${BINARY} depends on ${dll}, which is not one of Windows' own DLLs")
  endif()
  message(STATUS "imports ${dll}")
endforeach()

if(EXPORTS_FILE)
  file(STRINGS ${EXPORTS_FILE} wanted REGEX "^[^#]")
  foreach(sym ${wanted})
    string(STRIP "${sym}" sym)
    string(FIND "${dump}" "] ${sym}\n" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${BINARY} does not export ${sym}")
    endif()
  endforeach()
  list(LENGTH wanted n)
  message(STATUS "all ${n} expected exports present")
endif()
