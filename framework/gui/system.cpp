#include "framework/gui/system.h"

#include "framework/gui/platform.h"

namespace fw {

bool GetCursorPos(TPoint* position) { return CurrentPlatform().GetCursorPos(*position); }

short GetAsyncKeyState(int key) { return CurrentPlatform().GetAsyncKeyState(key); }

int GetSystemMetrics(int index) { return CurrentPlatform().GetSystemMetrics(index); }

void ShowWindow(THandle window, int command) { CurrentPlatform().ShowWindow(window, command); }

bool DwmIsCompositionEnabled() { return CurrentPlatform().CompositionEnabled(); }

void DwmFlush() { CurrentPlatform().FlushComposition(); }

long DwmSetWindowAttribute(THandle window, unsigned attribute, const void* value, unsigned size) {
    return CurrentPlatform().SetCompositionAttribute(window, attribute, value, size);
}

PItemIDList SHBrowseForFolder(TBrowseInfo* request) { return CurrentPlatform().BrowseForFolder(*request); }

bool SHGetPathFromIDList(PItemIDList list, char* path) { return CurrentPlatform().PathFromIdList(list, path); }

void CoTaskMemFree(void* memory) {
    if (memory) CurrentPlatform().FreeIdList(memory);
}

}  // namespace fw
