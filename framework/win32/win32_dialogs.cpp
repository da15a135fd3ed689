// The Win32 platform's dialogs: message boxes, the open-file dialog and the
// shell's folder browser.
#include "framework/win32/win32_state.h"

// clang-format off
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cstring>

#include "framework/gui/system.h"

#undef SHBrowseForFolder
#undef SHGetPathFromIDList

namespace fw::win32 {

// --- Dialogs -------------------------------------------------------------------------------------

int Win32Platform::MessageBox(THandle owner, const std::string& text, const std::string& caption, unsigned flags) {
    return MessageBoxW(Hwnd(owner), Widen(text).c_str(), Widen(caption).c_str(), flags);
}

bool Win32Platform::ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                                      std::string& fileName) {
    // "description|pattern|..." becomes "description\0pattern\0...\0\0".
    std::wstring filters = Widen(filter);
    std::replace(filters.begin(), filters.end(), L'|', L'\0');
    filters.append(2, L'\0');
    std::wstring buffer = Widen(fileName);
    buffer.resize(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = Hwnd(owner);
    request.lpstrFilter = filters.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.Flags = OFN_EXPLORER | options;
    if (!GetOpenFileNameW(&request)) return false;
    fileName = NarrowPath(buffer.c_str());
    return true;
}

void* Win32Platform::BrowseForFolder(const TBrowseInfo& request) {
    std::wstring title = request.lpszTitle ? Widen(request.lpszTitle) : L"";
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = Hwnd(request.hwndOwner);
    info.pidlRoot = static_cast<PCIDLIST_ABSOLUTE>(request.pidlRoot);
    info.pszDisplayName = displayName;
    info.lpszTitle = request.lpszTitle ? title.c_str() : nullptr;
    info.ulFlags = request.ulFlags;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (list && request.pszDisplayName) {
        std::string name = Narrow(displayName);
        std::size_t length = std::min(name.size(), static_cast<std::size_t>(MAX_PATH - 1));
        std::memcpy(request.pszDisplayName, name.data(), length);
        request.pszDisplayName[length] = '\0';
    }
    return list;
}

bool Win32Platform::PathFromIdList(void* idList, char* path) {
    wchar_t wide[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(idList), wide)) return false;
    std::string narrow = NarrowPath(wide);
    if (narrow.size() >= static_cast<std::size_t>(MAX_PATH)) return false;
    std::memcpy(path, narrow.c_str(), narrow.size() + 1);
    return true;
}

void Win32Platform::FreeIdList(void* idList) { ::CoTaskMemFree(idList); }

}  // namespace fw::win32
