# Makes the installer package and the portable archive of Stelvar from a build's programs.
# Usage: cmake -DBIN_DIR=<build>/bin -DOUT_DIR=... -DPROJECT_VERSION=1.0.2 [-DPACKAGE_VERSION=x.y.z]
#              -DSOURCE_DIR=... -DWIXL=wixl -DWINDRES=... -DSTRIP=... -P MakePackage.cmake
# Writes OUT_DIR/Stelvar-<version>.msi and OUT_DIR/Stelvar-<version>.zip, both holding
# Stelvar.exe, VelManager.dll, velflash.exe, velinspect.exe (stripped of their symbols) and
# the user's guide; the files staged for them stay in OUT_DIR/Stelvar-<version>/.
# The programs' version resources must carry PROJECT_VERSION. The package's version is
# PROJECT_VERSION unless PACKAGE_VERSION is given (tests make a later package to upgrade to);
# the programs and their fixed texts do not change with it.
foreach(var BIN_DIR OUT_DIR PROJECT_VERSION SOURCE_DIR WIXL WINDRES STRIP)
  if(NOT ${var})
    message(FATAL_ERROR "MakePackage: ${var} is not set")
  endif()
endforeach()
if(NOT PACKAGE_VERSION)
  set(PACKAGE_VERSION ${PROJECT_VERSION})
endif()
if(NOT PACKAGE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "MakePackage: package version \"${PACKAGE_VERSION}\" is not major.minor.patch")
endif()
# Windows Installer compares three fields: major and minor up to 255, the third up to 65535.
if(CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255 OR CMAKE_MATCH_3 GREATER 65534)
  message(FATAL_ERROR "MakePackage: package version ${PACKAGE_VERSION} is beyond what Windows Installer compares")
endif()
math(EXPR next_patch "${CMAKE_MATCH_3} + 1")
set(upgrade_below "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${next_patch}")

set(programs Stelvar.exe VelManager.dll velflash.exe velinspect.exe)
set(guide "Stelvar User Guide.html")
set(stage ${OUT_DIR}/Stelvar-${PACKAGE_VERSION})
set(msi ${OUT_DIR}/Stelvar-${PACKAGE_VERSION}.msi)
set(zip ${OUT_DIR}/Stelvar-${PACKAGE_VERSION}.zip)

foreach(program ${programs})
  if(NOT EXISTS ${BIN_DIR}/${program})
    message(FATAL_ERROR "MakePackage: ${BIN_DIR}/${program} is missing: build the Windows programs first")
  endif()
endforeach()

file(REMOVE_RECURSE ${stage})
file(REMOVE ${msi} ${zip})
file(MAKE_DIRECTORY ${stage})
foreach(program ${programs})
  execute_process(COMMAND ${STRIP} --strip-all -o ${stage}/${program} ${BIN_DIR}/${program} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "MakePackage: ${STRIP} failed on ${program}")
  endif()
endforeach()

# The programs in the package carry the project's version (VelManager.dll keeps its own).
execute_process(COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${SOURCE_DIR}
                        "-DBINARIES=${stage}/Stelvar.exe|${stage}/velflash.exe|${stage}/velinspect.exe"
                        -DWINDRES=${WINDRES} -P ${SOURCE_DIR}/cmake/CheckVersion.cmake
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "MakePackage: the programs in ${BIN_DIR} do not carry version ${PROJECT_VERSION}")
endif()

set(VERSION ${PACKAGE_VERSION})
configure_file(${SOURCE_DIR}/packaging/UserGuide.html.in "${stage}/${guide}" @ONLY NEWLINE_STYLE CRLF)

# Installed size for the installed-programs list, in KiB, rounded up.
set(bytes 0)
foreach(name ${programs} ${guide})
  file(SIZE "${stage}/${name}" size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR size_kb "(${bytes} + 1023) / 1024")

# wixl finds files by paths relative to its working folder only.
file(RELATIVE_PATH stage_rel ${OUT_DIR} ${stage})
file(RELATIVE_PATH icon_rel ${OUT_DIR} ${SOURCE_DIR}/res/Stelvar.ico)
execute_process(
  COMMAND ${WIXL} --arch x86 -o ${msi}
          -D Version=${PACKAGE_VERSION} -D UpgradeBelow=${upgrade_below} -D Stage=${stage_rel}
          -D Icon=${icon_rel} -D SizeKb=${size_kb}
          ${SOURCE_DIR}/packaging/Stelvar.wxs
  WORKING_DIRECTORY ${OUT_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
# wixl passes over what it does not implement with a message: none may appear.
if(NOT rc EQUAL 0 OR NOT EXISTS ${msi} OR out MATCHES "WARNING|CRITICAL|unimplemented")
  file(REMOVE ${msi})
  message(FATAL_ERROR "MakePackage: wixl failed or passed over part of packaging/Stelvar.wxs:\n${out}")
endif()

# The archive holds the files at its top: Windows' "Extract All" puts them into a folder
# named after the archive.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${programs} ${guide}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "MakePackage: the archive could not be written")
endif()

file(SIZE ${msi} msi_size)
file(SIZE ${zip} zip_size)
message(STATUS "Stelvar ${PACKAGE_VERSION}: ${msi} (${msi_size} bytes), ${zip} (${zip_size} bytes), ${size_kb} KiB installed")
