// Folders for the Windows test programs: a fresh temporary folder removed
// with all it holds, and the names in a folder.  Shared by the Win32 file
// layer's tests and the end-to-end driver.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testfolders {

// Calls each(name, isFolder) for every entry of a folder but "." and "..".
template <class Each>
void ForEachIn(const std::wstring& folder, Each&& each) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") each(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The names in a folder, sorted: what a run left behind, a temporary file
// included.
inline std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    ForEachIn(folder, [&](const std::wstring& name, bool) { names.push_back(name); });
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a folder and everything in it, read-only files too.
inline void RemoveTree(const std::wstring& folder) {
    ForEachIn(folder, [&](const std::wstring& name, bool isFolder) {
        const std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (isFolder) RemoveTree(path);
        else DeleteFileW(path.c_str());
    });
    RemoveDirectoryW(folder.c_str());
}

// A fresh, empty folder under the temp folder, removed with its contents when
// the object goes; Path() is empty if none could be made.
class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH + 1];
        std::wstring root(base, GetTempPathW(MAX_PATH + 1, base));
        if (!root.empty() && root.back() == L'\\') root.pop_back();
        for (unsigned attempt = 0; attempt <= 1000; ++attempt) {
            const std::wstring candidate = root + L"\\sorbel-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) {
                path_ = candidate;
                return;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS) return;
        }
    }
    ~TempDir() {
        if (!path_.empty()) RemoveTree(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Path() + L"\\" + name.
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

}  // namespace testfolders
