// The one way framework code includes <windows.h>.  Only files in this folder
// include it.  Win32 names that are macros for their A/W forms would rename the
// framework's own functions of the same name, so they are undefined here and
// the W forms are called by their full names.
#pragma once

#include <windows.h>

#undef MessageBox
#undef DeleteFile
#undef GetCurrentDirectory
#undef CreateWindow
#undef SHBrowseForFolder
#undef SHGetPathFromIDList
#undef GetWindowText
#undef SetWindowText
#undef ReplaceFile
#undef CopyFile
#undef CreateBitmap
#undef DrawText
