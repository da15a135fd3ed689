// The native file system on Windows.  Every path is converted exactly from
// code page 932 to UTF-16 and only the wide API is called, so a name with
// double-byte characters (a trail byte 0x5C among them) reaches the disk as
// it is, whatever the system's ANSI code page.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "framework/files.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"

namespace fw {

namespace {

// Closes a file handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    // Returns false when closing failed (for a written file: data may be lost).
    bool Close() {
        if (!Valid()) return true;
        BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok != FALSE;
    }

private:
    HANDLE handle_;
};

// The wide form of a path, or false with the reason when the path is not
// valid code page 932 text (or holds a NUL, which would end it early).
bool WidePath(const std::string& path, std::wstring& wide, std::string& reason) {
    if (!path.empty() && path.find('\0') == std::string::npos && win32::TryWiden(path, wide)) return true;
    reason = win32::ErrorText(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
    return false;
}

bool Fail(std::string& reason, DWORD error = GetLastError()) {
    reason = win32::ErrorText(error);
    return false;
}

// The folder part of a wide path, with its final separator ("" for a bare
// name, "C:" for "C:name").  Splitting after the conversion is safe: in
// UTF-16 a backslash is always a backslash.
std::wstring FolderOf(const std::wstring& path) {
    std::size_t at = path.find_last_of(L"\\/");
    if (at != std::wstring::npos) return path.substr(0, at + 1);
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    return std::wstring();
}

// Reads up to the end of the file into `data`, whose size is a first guess.
// Reads to the end of the file.  A disk file gives fewer bytes than asked
// only at its end, so a file smaller than the buffer costs one read: the
// display reads its settings twenty times a second.
bool ReadAll(HANDLE file, std::string& data, std::string& reason) {
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) data.resize(data.size() * 2 + 65536);
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - used, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file, data.data() + used, chunk, &got, nullptr)) return Fail(reason);
        used += got;
        if (got < chunk) break;
    }
    data.resize(used);
    return true;
}

bool WriteAll(HANDLE file, std::string_view contents) {
    while (!contents.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, contents.data(), chunk, &written, nullptr) || written == 0) return false;
        contents.remove_prefix(written);
    }
    return true;
}

// Moves the finished temporary file over the target.  Another program (the
// player, a virus scanner) may hold the target open for a moment, so a
// refusal is retried a few times before it counts.
bool MoveOver(const std::wstring& from, const std::wstring& to, DWORD& error) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 4) return false;
        Sleep(10);
    }
}

class Win32Files final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string& contents, std::string& reason) override {
        std::wstring wide;
        if (!WidePath(path, wide, reason)) return false;
        // Every share flag: the player must never find its file blocked by us.
        Handle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.Valid()) return Fail(reason);
        std::string data;
        if (!ReadAll(file.Get(), data, reason)) return false;
        contents = std::move(data);
        return true;
    }

    bool ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) override {
        return ReplaceFileFrom(path, [contents](const BlockWriter& write) { return write(contents); }, reason);
    }

    bool ReplaceFileFrom(const std::string& path, const std::function<bool(const BlockWriter&)>& produce,
                         std::string& reason) override {
        std::wstring target;
        if (!WidePath(path, target, reason)) return false;
        // A read-only file is not replaced, as Windows would not write to it
        // in place either; a folder is never replaced by a file.
        DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
            return Fail(reason, ERROR_ACCESS_DENIED);

        std::wstring temp;
        HANDLE created = INVALID_HANDLE_VALUE;
        std::wstring folder = FolderOf(target);
        for (int attempt = 0; created == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
            temp = folder + L"~sorbel" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter_) +
                   L".tmp";
            created = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
        }
        Handle file(created);
        if (!file.Valid()) return Fail(reason);

        DWORD error = ERROR_SUCCESS;
        DWORD writeError = ERROR_SUCCESS;
        const BlockWriter write = [&file, &writeError](std::string_view block) {
            if (WriteAll(file.Get(), block)) return true;
            writeError = GetLastError();
            return false;
        };
        bool ok = produce(write) && FlushFileBuffers(file.Get());
        if (!ok) error = writeError != ERROR_SUCCESS ? writeError : GetLastError();
        if (!file.Close() && ok) {
            ok = false;
            error = GetLastError();
        }
        if (ok) ok = MoveOver(temp, target, error);
        if (!ok) {
            DeleteFileW(temp.c_str());
            return Fail(reason, error);
        }
        return true;
    }

    bool DeleteFile(const std::string& path) override {
        std::wstring wide;
        std::string reason;
        return WidePath(path, wide, reason) && DeleteFileW(wide.c_str());
    }

    bool FileExists(const std::string& path) override {
        std::wstring wide;
        std::string reason;
        if (!WidePath(path, wide, reason)) return false;
        DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool SameFile(const std::string& a, const std::string& b) override {
        BY_HANDLE_FILE_INFORMATION first;
        BY_HANDLE_FILE_INFORMATION second;
        return Identify(a, first) && Identify(b, second) &&
               first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
    }

    std::string CurrentDirectory() override {
        DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length == 0) return std::string();
        std::wstring buffer(length, L'\0');
        DWORD written = GetCurrentDirectoryW(length, buffer.data());
        if (written == 0 || written >= length) return std::string();
        buffer.resize(written);
        return win32::Narrow(buffer);
    }

private:
    // Volume and file index of an existing file or folder; opening it asks
    // for no access and shares everything, so it disturbs no other program.
    static bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        std::wstring wide;
        std::string reason;
        if (!WidePath(path, wide, reason)) return false;
        Handle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file.Valid() && GetFileInformationByHandle(file.Get(), &info);
    }

    unsigned counter_ = 0;
};

}  // namespace

FileSystem& NativeFiles() {
    static Win32Files files;
    return files;
}

}  // namespace fw
