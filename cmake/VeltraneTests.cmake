# Test harness: GoogleTest natively (Debian's googletest), and the same sources built with
# the MinGW toolchains, whose test programs CTest runs under Wine in a throwaway prefix inside
# the build tree: a win64 prefix for the x86_64 build, a win32 one for the i686 build (XP and
# 32-bit 7), which also has a win64 one (64-bit 7, the program under WoW64) for the tests
# registered with WOW64 (tests/wine/wine_harness.cmake).

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VELTRANE_WINE_ARCH win32)
else()
  set(VELTRANE_WINE_ARCH win64)
endif()
set(VELTRANE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VELTRANE_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
set(VELTRANE_WINE_WOW64_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template-wow64)
set(VELTRANE_WINE_ENV "WINEPREFIX=${VELTRANE_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
# A Windows test program counts as passed only on its own success line: under Wine without
# wine32 a 32-bit program exits 0 having run nothing.
set(VELTRANE_GTEST_PASSED "\\[  PASSED  \\] [0-9]+ test")
set(VELTRANE_GTEST_FAILED "\\[  FAILED  \\]")

# One prefix (and its untouched template) of the given kind, made by a fixture test.
function(_veltrane_wine_prefix_fixture name arch prefix template)
  add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/wine_prefix.py
                                setup ${arch} ${prefix} ${template})
  set_tests_properties(${name} PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 300)
endfunction()

macro(veltrane_setup_gtest)
  if(VELTRANE_WINDOWS)
    if(NOT TARGET gtest)
      set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
      # GCC's win32 thread model has no std::mutex. GoogleTest uses it only for a helper of its
      # own tests (Notification); declaring that helper present keeps the rest, which locks with
      # Win32 critical sections, as it is.
      target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
      target_compile_options(gtest PUBLIC -include ${PROJECT_SOURCE_DIR}/cmake/gtest_mingw_notification.h)
    endif()
    set(VELTRANE_GTEST_LIBS gmock gtest_main)
  else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
    set(VELTRANE_GTEST_LIBS GTest::gmock GTest::gtest_main)
  endif()
  get_property(prefix_registered GLOBAL PROPERTY VELTRANE_WINE_PREFIX_REGISTERED)
  if(VELTRANE_WINDOWS AND VELTRANE_RUN_UNDER_WINE AND NOT prefix_registered)
    set_property(GLOBAL PROPERTY VELTRANE_WINE_PREFIX_REGISTERED ON)
    # One prefix per build tree, created once before the first Windows test runs. Its
    # graphics driver is Wine's null driver: windows and controls exist and take messages
    # without a display (the screenshot tests bring their own X server and prefix). A copy
    # of it, untouched by any test, is the template that the Wine harness's tests copy
    # again for themselves (tests/wine/README.md).
    _veltrane_wine_prefix_fixture(wine_prefix_setup ${VELTRANE_WINE_ARCH} ${VELTRANE_WINE_PREFIX}
                                  ${VELTRANE_WINE_TEMPLATE})
    if(VELTRANE_WINE_ARCH STREQUAL "win32")
      _veltrane_wine_prefix_fixture(wine_prefix_setup_wow64 win64 ${CMAKE_BINARY_DIR}/wineprefix-wow64
                                    ${VELTRANE_WINE_WOW64_TEMPLATE})
    endif()
    add_test(NAME wine_prefix_stop COMMAND sh -c "wineserver -k || true")
    set_tests_properties(wine_prefix_stop PROPERTIES
      ENVIRONMENT "${VELTRANE_WINE_ENV}" FIXTURES_CLEANUP wineprefix)
  endif()
endmacro()

# veltrane_add_gtest(NAME SOURCES files... LIBS libs... [NATIVE_ONLY] [WORKING_DIRECTORY dir])
function(veltrane_add_gtest name)
  cmake_parse_arguments(ARG "NATIVE_ONLY" "WORKING_DIRECTORY;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(ARG_NATIVE_ONLY AND VELTRANE_WINDOWS)
    return()
  endif()
  veltrane_setup_gtest()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${VELTRANE_GTEST_LIBS})
  veltrane_warnings(${name})
  veltrane_check_no_marker(${name})
  # GoogleTest's macros trip some of our stricter warnings.
  target_compile_options(${name} PRIVATE -Wno-conversion -Wno-pedantic)
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT VELTRANE_WINDOWS)
    gtest_discover_tests(${name} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY}
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} DISCOVERY_TIMEOUT 60)
  elseif(VELTRANE_RUN_UNDER_WINE)
    add_test(NAME wine.${name} COMMAND wine $<TARGET_FILE:${name}> --gtest_brief=1
             WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    set_tests_properties(wine.${name} PROPERTIES
      ENVIRONMENT "${VELTRANE_WINE_ENV}" FIXTURES_REQUIRED wineprefix TIMEOUT ${ARG_TIMEOUT}
      PASS_REGULAR_EXPRESSION "${VELTRANE_GTEST_PASSED}" FAIL_REGULAR_EXPRESSION "${VELTRANE_GTEST_FAILED}")
  endif()
endfunction()
