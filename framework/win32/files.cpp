// The native file system on Windows.  Every path is converted exactly from
// code page 932 to UTF-16 and only the wide API is called, so a name with
// double-byte characters (a trail byte 0x5C among them) reaches the disk as
// it is, whatever the system's ANSI code page.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/files.h"
#include "framework/sysutils.h"
#include "framework/text.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"

namespace fw {

namespace {

// Every share flag: another program (the player) must never find a file
// blocked by our reading it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

// What a failed call means for the caller, with the system's reason.
TFileResult Fail(std::string& reason, DWORD error = GetLastError()) {
    reason = win32::ErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return TFileResult::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return TFileResult::Busy;
    default: return TFileResult::Failed;
    }
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

// `path` made full as the system makes it before opening it; nothing when
// the system cannot.
std::optional<std::wstring> FullWidePath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return std::nullopt;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

// `path` in the form that reaches a file however long its path: made full,
// then marked "\\?\" ("\\?\UNC\" for a network path), as the system
// gives the final path of an existing file.  A path marked so already, or
// naming a device, stays as the system made it.
std::wstring ExtendedPath(const std::wstring& path) {
    const std::wstring full = FullWidePath(path).value_or(path);
    if (full.rfind(L"\\\\", 0) == 0) {
        if (full.size() > 2 && (full[2] == L'?' || full[2] == L'.')) return full;
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return full;
}

// A path as the user writes it, without the mark of ExtendedPath.
std::string UserPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return win32::NarrowPath(L"\\\\" + path.substr(8));
    if (path.rfind(L"\\\\?\\", 0) == 0) return win32::NarrowPath(path.substr(4));
    return win32::NarrowPath(path);
}

// Reads to the end of the file into `data`, whose size is a first guess.  A
// disk file gives fewer bytes than asked only at its end, so a file smaller
// than the buffer costs one read: the display reads its settings twenty
// times a second.  A file that fills the first guess is asked its size, so
// that a large cassette is read into a buffer of its own size.
// A file too large to hold (in a 32-bit program, one of a gigabyte or two
// may be) fails with ERROR_NOT_ENOUGH_MEMORY, at once when its size says so.
bool ReadAll(HANDLE file, std::string& data) {
    std::size_t used = 0;
    bool sized = false;
    DWORD error = ERROR_SUCCESS;
    const bool outOfMemory = RanOutOfMemory([&] {
        for (;;) {
            if (used == data.size() && used > 0 && !sized) {
                sized = true;
                LARGE_INTEGER size{};
                if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) >= used) {
                    if (static_cast<unsigned long long>(size.QuadPart) >= data.max_size()) throw std::bad_alloc();
                    data.resize(static_cast<std::size_t>(size.QuadPart) + 1);
                }
            }
            if (used == data.size()) data.resize(data.size() * 2 + 65536);
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - used, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(file, data.data() + used, chunk, &got, nullptr)) {
                error = GetLastError();
                return;
            }
            used += got;
            if (got < chunk) break;
        }
    });
    if (outOfMemory) {
        std::string().swap(data);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
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

// Writes every block `produce` gives to `file`; false with the system's
// last error at the first failure.
bool WriteBlocks(HANDLE file, const FileSystem::Producer& produce) {
    DWORD error = ERROR_SUCCESS;
    const bool ok = produce([&](std::string_view block) {
        if (WriteAll(file, block)) return true;
        error = GetLastError();
        return false;
    });
    if (!ok) SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return ok;
}

// The file a path names in the end: a symbolic link is followed, so that
// the file it names is replaced and the link stays a link.  Without a file
// (or when the system cannot tell) the path itself.
std::wstring FinalPath(const std::wstring& path) {
    Handle file(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.Valid()) return path;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return path;
        if (length < final.size()) {
            final.resize(length);
            return final;
        }
        final.resize(length);
    }
}

// How long ago an open file was last written, by the system's clock.
std::int64_t WrittenAgoMs(HANDLE file) {
    FILETIME written{};
    FILETIME now{};
    if (!GetFileTime(file, nullptr, nullptr, &written)) return kLongAgo;
    GetSystemTimeAsFileTime(&now);
    const ULARGE_INTEGER a{{written.dwLowDateTime, written.dwHighDateTime}};
    const ULARGE_INTEGER b{{now.dwLowDateTime, now.dwHighDateTime}};
    if (b.QuadPart < a.QuadPart) return kLongAgo;
    return static_cast<std::int64_t>((b.QuadPart - a.QuadPart) / 10000);
}

// Makes the file's write time later than `before`.  New contents must look
// newer than the old to a reader that watches the write time (the
// platform's profile functions keep a copy of the file until it changes),
// even when both fall within one tick of the system's clock.
void WrittenAfter(HANDLE file, const FILETIME& before) {
    FILETIME now{};
    if (!GetFileTime(file, nullptr, nullptr, &now) || CompareFileTime(&now, &before) > 0) return;
    ULARGE_INTEGER later{{before.dwLowDateTime, before.dwHighDateTime}};
    later.QuadPart += 1;
    now = {later.LowPart, later.HighPart};
    SetFileTime(file, nullptr, nullptr, &now);
}

// What the system keeps for a file across its replacement: attributes,
// creation time and access rights, read from the file being replaced and
// given to the new one before it takes the file's place.
struct Keepsake {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    FILETIME created{};
    FILETIME written{};
    std::vector<BYTE> security;  // a self-relative security descriptor with the DACL

    void ReadFrom(const std::wstring& path, const WIN32_FILE_ATTRIBUTE_DATA& data) {
        constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        attributes = (data.dwFileAttributes & kept) ? (data.dwFileAttributes & kept) : FILE_ATTRIBUTE_NORMAL;
        created = data.ftCreationTime;
        written = data.ftLastWriteTime;
        DWORD needed = 0;
        GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
        security.resize(needed);
        if (needed == 0 || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, security.data(), needed, &needed))
            security.clear();
    }

    // Best effort: a file system without creation times or access rights
    // keeps what it can.
    void GiveTo(HANDLE file) const {
        if (created.dwLowDateTime || created.dwHighDateTime) SetFileTime(file, &created, nullptr, nullptr);
        WrittenAfter(file, written);
        if (!security.empty())
            SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION,
                                    const_cast<BYTE*>(security.data()));
    }
};

// A number's decimal digits.  std::to_wstring formats through the C
// runtime's swprintf, which would bring its whole formatter into the program.
std::wstring Decimal(unsigned long value) {
    const std::string digits = std::to_string(value);
    return std::wstring(digits.begin(), digits.end());
}

// The temporary file of one replacement, open from its making until the
// replacement ends.  Its handle was given the right to delete when the file
// was made, so it removes the file even where the folder's access list
// would refuse a deletion by name; it shares everything, so that the file
// can be moved by name while it is open.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() { Remove(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes a new file of a name not yet taken in `folder`; false with the
    // system's last error.
    bool Create(const std::wstring& folder, DWORD attributes, unsigned& counter) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = folder + L"~sorbel" + Decimal(GetCurrentProcessId()) + L"-" + Decimal(++counter) + L".tmp";
            handle_ = CreateFileW(path_.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE, kShareAll, nullptr, CREATE_NEW,
                                  attributes, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) return true;
            if (GetLastError() != ERROR_FILE_EXISTS) break;
        }
        path_.clear();
        return false;
    }

    HANDLE Get() const { return handle_; }
    const std::wstring& Path() const { return path_; }

    // After the file took the target's place: it is only closed.
    void Keep() {
        Close();
        path_.clear();
    }

    // Removes the file; false when it stays.
    bool Remove() {
        if (path_.empty()) return true;
        FILE_DISPOSITION_INFO dispose{TRUE};
        bool removed = SetFileInformationByHandle(handle_, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
        Close();
        if (!removed) removed = DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
        path_.clear();
        return removed;
    }

private:
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring path_;
};

// What could be read of a file's identity on its volume: the volume's
// serial number with the file's 128-bit identity (Windows 8 and later), and
// with its 64-bit index.  Empty where the system gives none: a file system
// may answer with an index of zero, or of all ones, for every file.
struct Identity {
    bool missing = false;  // no such file or folder
    std::string wide;
    std::string narrow;

    // True or false when both files have an identity of one kind; nothing
    // when they have none in common.
    std::optional<bool> Equals(const Identity& other) const {
        if (!wide.empty() && !other.wide.empty()) return wide == other.wide;
        if (!narrow.empty() && !other.narrow.empty()) return narrow == other.narrow;
        return std::nullopt;
    }
};

// The bytes of an identity, or nothing when its file part says "none".
std::string IdentityBytes(const void* volume, std::size_t volumeSize, const void* id, std::size_t idSize) {
    const auto* bytes = static_cast<const unsigned char*>(id);
    const bool none = std::all_of(bytes, bytes + idSize, [](unsigned char b) { return b == 0; }) ||
                      std::all_of(bytes, bytes + idSize, [](unsigned char b) { return b == 0xFF; });
    if (none) return std::string();
    return std::string(static_cast<const char*>(volume), volumeSize) + std::string(static_cast<const char*>(id), idSize);
}

// FILE_ID_INFO and its class number, which the headers for Windows 7 leave out.
struct FileIdInformation {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

class Win32Files final : public FileSystem {
public:
    Win32Files() {
        if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll"))
            win32::LookUp(getFileInformationByHandleEx_, kernel32, "GetFileInformationByHandleEx");
    }

    TFileResult Read(const std::string& path, std::string& contents, std::string& reason,
                     std::int64_t* writtenAgoMs) override {
        std::wstring wide;
        if (!WidePath(path, wide, reason)) return TFileResult::Failed;
        Handle file(CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.Valid()) return Fail(reason);
        // Asked of the open file, which knows a write still in progress.
        if (writtenAgoMs) *writtenAgoMs = WrittenAgoMs(file.Get());
        std::string data;
        if (!ReadAll(file.Get(), data)) return Fail(reason);
        contents = std::move(data);
        return TFileResult::Done;
    }

    TFileResult ReplaceFrom(const std::string& path, const Producer& produce, const TFileExpectation* expected,
                            TReplaceMode mode, std::string& reason, int busyPatienceMs) override {
        std::wstring named;
        if (!WidePath(path, named, reason)) return TFileResult::Failed;
        // Target and temporary file are reached in the same form, which
        // takes paths of any length: the temporary file's name is longer
        // than the target's.
        const std::wstring target = FinalPath(ExtendedPath(named));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const bool exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) != FALSE;
        if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return Fail(reason);
        // A read-only file is not replaced, as Windows would not write to it
        // in place either; a folder is never replaced by a file.
        if (exists && (data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
            return Fail(reason, ERROR_ACCESS_DENIED);
        if (expected && expected->exists != exists) return TFileResult::Changed;
        Keepsake keepsake;
        if (exists) keepsake.ReadFrom(target, data);

        TemporaryFile temp;
        if (!temp.Create(FolderOf(target), keepsake.attributes, counter_)) {
            const DWORD error = GetLastError();
            // A folder that refuses new files may still let the file itself be written.
            if (error == ERROR_ACCESS_DENIED && exists && mode == TReplaceMode::AtomicOrInPlace)
                return WriteInPlace(target, produce, expected, reason);
            return Fail(reason, error);
        }
        // Should the producer fail (out of memory, say), its half-written
        // file goes with `temp`, and the target was never touched.
        TFileResult result = TFileResult::Done;
        if (!WriteBlocks(temp.Get(), produce) || !FlushFileBuffers(temp.Get())) result = Fail(reason);
        if (result == TFileResult::Done && exists) keepsake.GiveTo(temp.Get());
        // Written once; only taking the target's place is tried again.
        const std::int64_t deadline = Milliseconds() + busyPatienceMs;
        while (result == TFileResult::Done) {
            // Checked as late as can be, just before the move: the file must
            // still hold what the edit was made on.
            if (expected) result = Check(target, *expected, reason);
            if (result == TFileResult::Done)
                result = MoveOver(temp.Path(), target, !expected || expected->exists, reason);
            if (result != TFileResult::Busy || Milliseconds() >= deadline) break;
            Sleep(kBusyRetryMs);
            result = TFileResult::Done;
        }
        if (result == TFileResult::Done) {
            temp.Keep();
        } else {
            const std::wstring left = temp.Path();
            if (!temp.Remove()) NoteTemporaryFileLeft(reason, UserPath(left));
        }
        return result;
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

    TSameFile SameFile(const std::string& a, const std::string& b) override {
        const Identity first = Identify(a);
        const Identity second = Identify(b);
        return JudgeSameFile(first.missing, second.missing, first.Equals(second),
                             SameFileName(FullPathName(a), FullPathName(b)));
    }

    std::string CurrentDirectory() override {
        DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length == 0) return std::string();
        std::wstring buffer(length, L'\0');
        DWORD written = GetCurrentDirectoryW(length, buffer.data());
        if (written == 0 || written >= length) return std::string();
        buffer.resize(written);
        return win32::NarrowPath(buffer);
    }

    std::string FullPathName(const std::string& path) override {
        std::wstring wide;
        std::string reason;
        if (!WidePath(path, wide, reason)) return path;
        const std::optional<std::wstring> full = FullWidePath(wide);
        return full ? win32::NarrowPath(*full) : path;
    }

    std::int64_t Milliseconds() override { return static_cast<std::int64_t>(GetTickCount64()); }
    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }

private:
    // The identity of an existing file or folder; opening it asks for no
    // access and shares everything, so it disturbs no other program.
    Identity Identify(const std::string& path) const {
        Identity identity;
        std::wstring wide;
        std::string reason;
        if (!WidePath(path, wide, reason)) return identity;
        Handle file(CreateFileW(ExtendedPath(wide).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.Valid()) {
            const DWORD error = GetLastError();
            identity.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            return identity;
        }
        FileIdInformation id{};
        if (getFileInformationByHandleEx_ && getFileInformationByHandleEx_(file.Get(), kFileIdInfo, &id, sizeof id))
            identity.wide = IdentityBytes(&id.volumeSerialNumber, sizeof id.volumeSerialNumber, id.fileId,
                                          sizeof id.fileId);
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(file.Get(), &info)) {
            const ULONGLONG index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            identity.narrow =
                IdentityBytes(&info.dwVolumeSerialNumber, sizeof info.dwVolumeSerialNumber, &index, sizeof index);
        }
        return identity;
    }

    // Done when the file is as expected: present with the same bytes, or
    // absent.  Busy while another program has it open for writing: the
    // check does not share writing, so it fails then, and no program can
    // start writing while the file is being compared (a moment).  What is
    // compared is therefore never a half-written file.
    static TFileResult Check(const std::wstring& target, const TFileExpectation& expected, std::string& reason) {
        Handle file(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            TFileResult result = Fail(reason);
            if (result == TFileResult::NotFound) return expected.exists ? TFileResult::Changed : TFileResult::Done;
            return result;
        }
        if (!expected.exists) return TFileResult::Changed;
        std::string now(expected.contents.size() + 1, '\0');
        if (!ReadAll(file.Get(), now)) return Fail(reason);
        return now == expected.contents ? TFileResult::Done : TFileResult::Changed;
    }

    // Moves the finished temporary file over the target in one step: a
    // rename, which the system makes atomic.  (The system's ReplaceFileW is
    // not used: some implementations move the target aside first, leaving a
    // moment with no file, in which the player would start a new one.)
    // Without `replaceExisting`, a file that another program created
    // meanwhile is never replaced.
    static TFileResult MoveOver(const std::wstring& temp, const std::wstring& target, bool replaceExisting,
                                std::string& reason) {
        DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
        if (MoveFileExW(temp.c_str(), target.c_str(), flags)) return TFileResult::Done;
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: reason = win32::ErrorText(error); return TFileResult::Changed;
        // Another program holds the target open: the system refuses to
        // rename over it, in one of these words.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: reason = win32::ErrorText(error); return TFileResult::Busy;
        default: return Fail(reason, error);
        }
    }

    // Rewrites the file where it stands, holding it so that no other program
    // may write it meanwhile (others may still read it), after checking that
    // it still is as expected.
    static TFileResult WriteInPlace(const std::wstring& target, const Producer& produce,
                                    const TFileExpectation* expected, std::string& reason) {
        Handle file(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return Fail(reason);
        FILETIME before{};
        GetFileTime(file.Get(), nullptr, nullptr, &before);
        if (expected) {
            std::string now(expected->contents.size() + 1, '\0');
            if (!ReadAll(file.Get(), now)) return Fail(reason);
            if (now != expected->contents) return TFileResult::Changed;
        }
        if (SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !WriteBlocks(file.Get(), produce) || !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get()))
            return Fail(reason);
        WrittenAfter(file.Get(), before);
        if (!file.Close()) return Fail(reason);
        return TFileResult::Done;
    }

    unsigned counter_ = 0;
    // Found at run time; its FileIdInfo class answers from Windows 8 on.
    decltype(&::GetFileInformationByHandleEx) getFileInformationByHandleEx_ = nullptr;
};

// Made before the program's own code runs, so without the guard that a
// function's static object takes against two threads making it at once:
// the runtime's guard code is 2 KB of each program for an object no second
// thread asks for.
Win32Files nativeFiles;

}  // namespace

FileSystem& NativeFiles() { return nativeFiles; }

}  // namespace fw
