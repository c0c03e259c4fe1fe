# Cross build for 64-bit Windows with Debian's MinGW-w64. The posix-threads
# variant of the compiler is the one whose libstdc++ has std::thread and
# std::mutex. Executables are linked statically so that they need no DLL
# beyond the system's own, and run under Wine through cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZOQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZOQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZOQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZOQ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZOQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest and gtest_discover_tests run the test programs through this; the
# Wine prefix and the Chinese locale live in the build directory.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
