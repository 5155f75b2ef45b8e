# Fails when an executable imports a DLL that is not part of Windows: the package must run
# on a plain system with nothing installed beside it.
#   cmake -DOBJDUMP=<objdump> -DFILES="a.exe;b.exe" -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls
  advapi32 bcrypt comctl32 comdlg32 crypt32 gdi32 kernel32 msvcrt ntdll ole32 oleaut32
  psapi rpcrt4 secur32 shell32 shlwapi ucrtbase user32 userenv uxtheme version winmm
  ws2_32 wtsapi32)
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "check_imports: cannot read ${file}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  if(NOT names)
    message(FATAL_ERROR "check_imports: no imports found in ${file}")
  endif()
  foreach(entry IN LISTS names)
    string(REGEX REPLACE "DLL Name: *" "" dll "${entry}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    string(REGEX REPLACE "\\.dll$" "" base "${lower}")
    if(NOT base IN_LIST system_dlls AND NOT base MATCHES "^api-ms-win-")
      message(FATAL_ERROR "check_imports: ${file} imports ${dll}, which Windows does not provide")
    endif()
    message(STATUS "check_imports: ${file}: ${dll}")
  endforeach()
endforeach()
