set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The only build that serves Windows XP: nothing newer than XP may be declared or imported.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501)
# These machines cannot run 32-bit code: this build is compiled and its imports checked, never run.
set(VELTRANE_RUN_UNDER_WINE OFF CACHE BOOL "Run the test programs under wine64")
