# Compiler settings shared by every target of the project.

add_library(sorbel_options INTERFACE)
target_compile_options(sorbel_options INTERFACE -Wall -Wextra)
if(SORBEL_WERROR)
  target_compile_options(sorbel_options INTERFACE -Werror)
endif()

# Sources are UTF-8; every narrow string literal is stored as code page 932
# bytes, the encoding of all text the programs handle.  Clang cannot do this,
# so the clang-built fuzz targets only use sources whose literals are ASCII.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(sorbel_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8 -fexec-charset=CP932>)
endif()

# A Release build is optimised for size (-Os), but for speed (-O3, the
# build type's own) in the sources where the programs spend their time,
# named with sorbel_speed_sources in the folder that builds them: the
# converter, the line list, the relative path rule, the INI reader and the
# poll cycle.  Elsewhere (the GUI framework, the Win32 and file layers,
# start-up, dialogs, the stand-in) the time goes to the system.  Decided by
# instruction counts of the native benchmarks (README, Performance).
target_compile_options(sorbel_options INTERFACE $<$<CONFIG:Release>:-Os>)
function(sorbel_speed_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS $<$<CONFIG:Release>:-O3>)
endfunction()

if(SORBEL_SANITIZE AND NOT WIN32)
  target_compile_options(sorbel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(sorbel_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  target_compile_definitions(sorbel_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
  # One self-contained executable: no libgcc, libstdc++ or winpthread DLLs.
  target_link_options(sorbel_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Small executables: unused code is dropped and symbols are stripped.
  target_compile_options(sorbel_options INTERFACE -ffunction-sections -fdata-sections)
  target_link_options(sorbel_options INTERFACE -Wl,--gc-sections $<$<CONFIG:Release>:-s>)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # SSE2, which every processor that runs Windows 8 or later has: the line
    # splitter's fast path needs it, and a plain i686 build loses about a
    # quarter of the converter's speed without it.
    # Windows keeps a 32-bit stack aligned to 4 bytes only.  With
    # -mstackrealign every function that needs a 16-byte aligned stack (SSE2
    # values kept on it) aligns it itself and no function counts on its
    # caller for it, so an entry point, a window procedure, a console handler
    # or a thread's start is right however the system calls it, with nothing
    # to mark.  MinGW's GCC does this by default with SSE; it is spelled out
    # so that no other flag (-mincoming-stack-boundary) quietly turns it off,
    # and scripts/check_package.sh checks the code built for it.
    target_compile_options(sorbel_options INTERFACE -msse2 -mstackrealign)
    # 4 GB of address space on 64-bit Windows instead of 2.
    target_link_options(sorbel_options INTERFACE -Wl,--large-address-aware)
  endif()
endif()

# Version numbers for the programs' resource scripts.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_BINARY_DIR}/generated/version.rc.h)

# sorbel_link_map(<target>): the program's link map beside it
# (<name>.exe.map), from which scripts/size_breakdown.py tells what its size
# is made of.
function(sorbel_link_map target)
  target_link_options(${target} PRIVATE -Wl,-Map=%.map)
endfunction()

# sorbel_gui_executable(<name> <sources>...): a Windows GUI program.
function(sorbel_gui_executable name)
  add_executable(${name} WIN32 ${ARGN})
  target_link_options(${name} PRIVATE -mwindows -municode)
  sorbel_link_map(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
endfunction()

# sorbel_manifest(<resource script> <manifest.in>): the program's
# manifest, made for the processor it is built for, where its resource
# script finds it.  The manifest names no execution level: Windows then
# virtualizes a 32-bit program's files as it does the player's.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SORBEL_MANIFEST_ARCHITECTURE x86)
else()
  set(SORBEL_MANIFEST_ARCHITECTURE amd64)
endif()
set(SORBEL_MANIFEST_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
function(sorbel_manifest script template)
  get_filename_component(manifest ${template} NAME_WE)
  set(made ${CMAKE_BINARY_DIR}/generated/${manifest}.manifest)
  configure_file(${template} ${made} @ONLY)
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS ${made})
endfunction()
