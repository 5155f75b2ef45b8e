# Compiles installer/quillmont.wxs with wixl over a staged package folder (and the icon in
# res/) into Quillmont-<version>-x64.msi. The console twin goes in when the folder holds it.
#   cmake -DWIXL=<wixl> -DWXS=<wxs> -DSOURCE_DIR=<folder> -DVERSION=<x.y[.z]> -DOUTPUT=<msi>
#         -P build_msi.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var WIXL WXS SOURCE_DIR VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_msi: ${var} is not set")
  endif()
endforeach()
# Windows Installer compares the first three fields: 1.3 installs as 1.3.0.
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+(\\.[0-9]+)?$")
  message(FATAL_ERROR "build_msi: version '${VERSION}' is not major.minor[.patch]")
endif()
set(msi_version ${VERSION})
if(VERSION MATCHES "^[0-9]+\\.[0-9]+$")
  set(msi_version ${VERSION}.0)
endif()
string(REGEX MATCH "[0-9]+$" patch ${msi_version})
string(REGEX REPLACE "[0-9]+$" "" major_minor ${msi_version})
math(EXPR patch_above "${patch} + 1")
# wixl takes the files' paths relative to where it runs.
file(RELATIVE_PATH icon ${SOURCE_DIR} ${CMAKE_CURRENT_LIST_DIR}/../res/quillmnt.ico)
set(defines -D Version=${msi_version} -D VersionAbove=${major_minor}${patch_above} -D SourceDir=.
            -D IconFile=${icon})
if(EXISTS ${SOURCE_DIR}/quillmnt.com)
  list(APPEND defines -D ConsoleTwin=1)
endif()
get_filename_component(output ${OUTPUT} ABSOLUTE)
get_filename_component(wxs ${WXS} ABSOLUTE)
execute_process(COMMAND ${WIXL} -a x64 ${defines} -o ${output} ${wxs}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${output})
  message(FATAL_ERROR "build_msi: wixl failed (${rc}): ${err}")
endif()
