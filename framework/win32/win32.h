// The one way framework code includes <windows.h>.  Only files in this folder
// include it.  Win32 names that are macros for their A/W forms would rename the
// framework's own functions of the same name, so they are undefined here and
// the W forms are called by their full names.  Functions newer than Windows 7
// are found at run time with LookUp, so that they are no imports.
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

namespace fw::win32 {

// A function of a system DLL that older Windows may lack, found at run time;
// null where there is none.
template <class Function>
void LookUp(Function*& function, HMODULE module, const char* name) {
    function = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace fw::win32
