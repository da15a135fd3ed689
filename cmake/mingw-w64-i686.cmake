# Cross-compiling for 32-bit (x86) Windows with Debian's MinGW-w64 (posix
# threads): the release.  The player is a 32-bit program, and Windows treats
# a 32-bit program without an execution level in its manifest as it treats
# the player (file virtualization under Program Files), so ours see the
# files the player sees.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows test programs run under Wine; its 64-bit launcher starts 32-bit
# programs too, once Wine's 32-bit half (wine32:i386) is installed.
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT WINE64)
  find_program(WINE64 NAMES wine64 wine)
endif()
if(WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64})
endif()
