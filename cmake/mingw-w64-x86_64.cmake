# Cross build of the 64-bit Windows program with mingw-w64; CTest runs the
# resulting programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Wine, with a prefix of the build's own, no display (a message box would wait
# for a click) and no debug chatter. The prefix can be moved with
# DATEMILL_WINEPREFIX; the wine64 binary with DATEMILL_WINE.
if(DEFINED ENV{DATEMILL_WINEPREFIX})
  set(DATEMILL_WINEPREFIX "$ENV{DATEMILL_WINEPREFIX}")
else()
  set(DATEMILL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
endif()
if(DEFINED ENV{DATEMILL_WINE})
  set(DATEMILL_WINE "$ENV{DATEMILL_WINE}")
else()
  set(DATEMILL_WINE /usr/lib/wine/wine64)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env -u DISPLAY WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d
    WINEPREFIX=${DATEMILL_WINEPREFIX} LANG=C.UTF-8 ${DATEMILL_WINE})
