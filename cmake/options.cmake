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
endif()

# Version numbers for the programs' resource scripts.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_BINARY_DIR}/generated/version.rc.h)

# sorbel_gui_executable(<name> <sources>...): a Windows GUI program.
function(sorbel_gui_executable name)
  add_executable(${name} WIN32 ${ARGN})
  target_link_options(${name} PRIVATE -mwindows -municode)
  target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
endfunction()
