# Cross-compiling for 32-bit (x86) Windows: the release.  The player is a
# 32-bit program, and Windows treats a 32-bit program without an execution
# level in its manifest as it treats the player (file virtualization under
# Program Files), so ours see the files the player sees.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
