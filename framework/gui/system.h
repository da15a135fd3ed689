// The platform services the programs call by their Win32 names.
#pragma once

#include "framework/gui/types.h"

namespace fw {

// The cursor position in screen pixels; false when it cannot be had.
bool GetCursorPos(TPoint* position);
// The key's state now; the sign bit is set while it is down.
short GetAsyncKeyState(int key);
// A system setting or measure by its SM_ index, asked afresh.
int GetSystemMetrics(int index);
void ShowWindow(THandle window, int command);

// The desktop compositor: true while it composes the screen; DwmFlush waits
// until it has presented a frame that shows every change made so far (a
// window just hidden is then gone from the screen).
bool DwmIsCompositionEnabled();
void DwmFlush();
// Sets an attribute of the compositor's for the window; 0 when done, an
// error where the system has no compositor or no such attribute.
long DwmSetWindowAttribute(THandle window, unsigned attribute, const void* value, unsigned size);

// The shell's folder browser.  Fields as the Win32 BROWSEINFOA request.
struct TBrowseInfo {
    THandle hwndOwner = 0;
    const void* pidlRoot = nullptr;
    char* pszDisplayName = nullptr;  // MAX_PATH bytes
    const char* lpszTitle = nullptr;
    unsigned ulFlags = 0;
    const void* lpfn = nullptr;
};
using PItemIDList = void*;

// Modal; the item-id list of the chosen folder, or null when cancelled.
PItemIDList SHBrowseForFolder(TBrowseInfo* request);
// Writes the folder's path into `path` (MAX_PATH bytes).
bool SHGetPathFromIDList(PItemIDList list, char* path);
// Releases memory the shell handed out, such as an item-id list.
void CoTaskMemFree(void* memory);

}  // namespace fw
