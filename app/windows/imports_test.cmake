# Fails unless PROGRAM imports only DLLs that every Windows carries: no C++
# or MinGW runtime DLL, no redistributable, nothing to install.
#   cmake -DOBJDUMP=... -DPROGRAM=zoq.exe -P imports_test.cmake
set(system_dlls kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll
    ole32.dll oleaut32.dll advapi32.dll wininet.dll msvcrt.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no import table found in ${PROGRAM}")
endif()
set(foreign)
foreach(line ${lines})
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(FIND system_dlls "${dll}" known)
  if(known EQUAL -1)
    list(APPEND foreign ${dll})
  endif()
  list(APPEND seen ${dll})
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs not on every Windows: ${foreign}")
endif()
message(STATUS "imports: ${seen}")
