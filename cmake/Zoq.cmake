# Shared build rules for the program's folders.

# Warnings on for our own code.
function(zoq_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# Narrow string literals of the target are stored as code-page 936 bytes,
# as every text of the program is. Only for targets without Qt's own
# narrow literals (forms, settings, app and their tests).
function(zoq_cp936_literals target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /source-charset:utf-8 /execution-charset:.936)
  else()
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=CP936)
  endif()
endfunction()

# Collects a folder's sources: *_test.cpp are tests, *_posix.cpp and *_qt.cpp
# build everywhere but Windows, *_win.cpp only on Windows (likewise the tests
# *_posix_test.cpp, *_qt_test.cpp and *_win_test.cpp). foo_qt_test.cpp tests
# foo_qt.cpp; foo_on_qt_test.cpp tests the toolkit-free foo.cpp through Qt's
# widgets, so it builds where *_qt_test.cpp does.
function(zoq_sources out_sources out_tests)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(srcs)
  set(tests)
  foreach(f ${all})
    get_filename_component(n ${f} NAME)
    if(n MATCHES "_test\\.cpp$")
      if((n MATCHES "_win_test\\.cpp$" AND NOT WIN32) OR
         (n MATCHES "_(posix|qt)_test\\.cpp$" AND WIN32))
        continue()
      endif()
      list(APPEND tests ${f})
    elseif(n MATCHES "_win\\.cpp$")
      if(WIN32)
        list(APPEND srcs ${f})
      endif()
    elseif(n MATCHES "_(posix|qt)\\.cpp$")
      if(NOT WIN32)
        list(APPEND srcs ${f})
      endif()
    else()
      list(APPEND srcs ${f})
    endif()
  endforeach()
  set(${out_sources} ${srcs} PARENT_SCOPE)
  set(${out_tests} ${tests} PARENT_SCOPE)
endfunction()

# A hung test gives up after this many seconds: every test follows it (the
# installer test, which installs, runs and uninstalls, twice over).
set(ZOQ_TEST_TIMEOUT 120 CACHE STRING "Seconds before a test counts as hung")

# Tests that serve a fixed loopback port run through this, each in a network
# namespace of its own, so that test runs side by side never meet on a port.
set(ZOQ_NETNS_RUN ${PROJECT_SOURCE_DIR}/scripts/netns-run)

# One test binary per folder, each case registered with CTest. WINDOWS: the
# tests build windows; tests/support's main() makes the one application of
# the run (on Qt, each case on an X server of its own; or on Win32).
function(zoq_test_binary name)
  cmake_parse_arguments(ARG "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ZOQ_WITH_TESTS OR NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  zoq_warnings(${name})
  if(ARG_WINDOWS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} zoq_ui_test_main)
    if(WIN32)
      # Under Wine every process of the prefix shares one desktop, and so one
      # active window: tests that look at the focus run one at a time.
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                           PROPERTIES TIMEOUT ${ZOQ_TEST_TIMEOUT} RESOURCE_LOCK zoq_wine_desktop)
    else()
      set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
                   ${PROJECT_SOURCE_DIR}/scripts/on-xvfb)
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ZOQ_TEST_TIMEOUT})
    endif()
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ZOQ_TEST_TIMEOUT})
  endif()
endfunction()
