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
# Its test programs run under 32-bit Wine (Debian's wine32), as XP, 32-bit 7 and, under WoW64, 64-bit 7.
set(VELTRANE_RUN_UNDER_WINE ON CACHE BOOL "Run the test programs under Wine")
