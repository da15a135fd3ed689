// An in-memory file system that answers as Windows would, for native tests
// of the programs' handlers.  Paths are Windows paths in code page 932
// ("C:\Music\list.cas"): "\" and "/" separate names (a double-byte
// character whose second byte is 0x5C is never split), letters match
// without regard to case as Windows folds them (ASCII, and the full-width
// Latin, Greek and Cyrillic letters of code page 932), empty and "." names
// are dropped, ".." goes up one folder, the last name loses its trailing
// dots and blanks, and a relative path is taken from the current directory.
// Folders exist only when added (or made by Put); a file cannot be written
// into a missing folder.  Failures give the Japanese texts Windows gives.
// Each drive keeps its own current folder, as on Windows.  The clock stands
// still but for Sleep, which moves it on.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "framework/files.h"

namespace fw {

class MemoryFileSystem : public FileSystem {
public:
    // Failure reasons, as Windows words them.
    static const std::string kFileNotFound;     // 指定されたファイルが見つかりません。
    static const std::string kPathNotFound;     // 指定されたパスが見つかりません。
    static const std::string kAccessDenied;     // アクセスが拒否されました。
    static const std::string kSharingViolation; // 別のプロセスが使用中のため、...
    static const std::string kInvalidName;      // ファイル名、ディレクトリ名、... 構文が間違っています。

    // Starts with the one folder "C:\", which is also the current directory.
    MemoryFileSystem();

    // A file counts as written long ago, unless Replace wrote it or a test
    // said otherwise (SetWrittenAt), by the clock of Sleep.
    TFileResult Read(const std::string& path, std::string& contents, std::string& reason,
                     std::int64_t* writtenAgoMs) override;
    // A replacement writes a temporary file "~sorbel<n>.tmp" beside the
    // target, once, and moves it over the target.
    TFileResult ReplaceFrom(const std::string& path, const Producer& produce, const TFileExpectation* expected,
                            TReplaceMode mode, std::string& reason, int busyPatienceMs) override;
    bool DeleteFile(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    // A file's identity is its full path, unless it lies where the file
    // system gives none (SetNoIdentity), shares another's (ShareIdentity) or
    // gives a new one at every look (SetUnstableIdentity).  Each path is
    // looked at once, the first before the second (betweenSameFileLooks).
    TSameFile SameFile(const std::string& a, const std::string& b) override;
    // The current directory without a final "\" (except at a drive root).
    std::string CurrentDirectory() override;
    // As Windows makes a path full: from the current folder, or from the
    // drive's own current folder for "D:name"; a final "\" stays.  A path
    // that is no valid path comes back as it is.
    std::string FullPathName(const std::string& path) override;
    std::int64_t Milliseconds() override { return now_; }
    void Sleep(int milliseconds) override;

    // Test hooks.  Each throws std::invalid_argument on a path that is no
    // valid Windows path (or, for Put and AddFolder, that names a folder
    // where a file is wanted or the other way round).

    // Creates or overwrites a file, making its folders; ignores the flags
    // below and does not count as a ReplaceFile.  The file counts as
    // written long ago.
    void Put(const std::string& path, std::string_view contents);
    // The contents of a file, or nothing when there is no such file.
    std::optional<std::string> Get(const std::string& path) const;
    // True when a file or a folder of that name exists.
    bool Exists(const std::string& path) const;
    // Creates a folder and its parents.
    void AddFolder(const std::string& path);
    // Makes a relative path start from `path` (created when missing); its
    // drive keeps it as its own current folder.
    void SetCurrentDirectory(const std::string& path);

    // A read-only file cannot be replaced or deleted (kAccessDenied).  A
    // locked file (held open by another program) cannot be read, replaced
    // or deleted (kSharingViolation).  The flags belong to the path: they
    // stay when the file is missing or is replaced by Put.
    void SetReadOnly(const std::string& path, bool readOnly);
    void SetLocked(const std::string& path, bool locked);
    // A file another program holds open for writing: it can be read, but
    // neither replaced nor deleted (kSharingViolation).
    void SetHeld(const std::string& path, bool held);
    // A folder that takes no new file (kAccessDenied), so that no temporary
    // file can be made in it; its files may still be written in place.
    void SetNoNewFiles(const std::string& folder, bool refuse);
    // A folder whose access list lets files be written but not deleted: no
    // file in it can be deleted, nor moved over another (kAccessDenied), so
    // a temporary file made there stays.
    void SetNoDeletes(const std::string& folder, bool refuse);
    // A file or folder, and everything in it, of which no identity can be
    // read, as on some network redirectors and virtual drives.
    void SetNoIdentity(const std::string& path, bool none);
    // Gives `b` the identity of `a`, as a hard link or a short name has, or
    // as two files may have where the file system's index is not unique.
    void ShareIdentity(const std::string& a, const std::string& b);
    // A file or folder, and everything in it, whose identity differs at
    // every look, as on a file system whose identities are not stable: the
    // same file asked twice gives two identities.
    void SetUnstableIdentity(const std::string& path, bool unstable);
    // When an existing file was last written, by the clock of Sleep.
    void SetWrittenAt(const std::string& path, std::int64_t when);

    // Called at the start of every Read and every Replace with its path, so
    // that a test can play another program writing between two reads, or
    // between a read and a replacement.
    std::function<void(const std::string& path)> beforeRead;
    std::function<void(const std::string& path)> beforeReplace;
    // Called by SameFile between its looks at its two paths, so that a test
    // can play a file that goes or comes in between.
    std::function<void()> betweenSameFileLooks;
    // Called after every Sleep with the clock.
    std::function<void(std::int64_t now)> onSleep;

    // The number of Replace calls that succeeded; how many of them wrote in
    // place; how many Sleep calls were made.
    int ReplaceCount() const { return replaceCount_; }
    int InPlaceCount() const { return inPlaceCount_; }
    int SleepCount() const { return sleepCount_; }
    // Makes the next `count` ReplaceFile calls fail with `reason`, touching nothing.
    void FailNextReplaces(int count, std::string reason = kAccessDenied);

    // The full path of every file, in the spelling it was created with,
    // ordered without regard to case.
    std::vector<std::string> FilePaths() const;

    // The full path `path` names ("c:\A\..\b" -> "C:\b"), or nothing when it
    // is no valid path.
    std::optional<std::string> FullPath(const std::string& path) const;

private:
    struct File {
        std::string path;
        std::string contents;
        std::int64_t written = -kLongAgo;
    };

    // Full path and its case-folded key; nothing for an invalid path.
    struct Name {
        std::string full;
        std::string key;
        std::string parentKey;  // empty for a root
    };
    std::optional<Name> Resolve(const std::string& path) const;
    Name Require(const std::string& path) const;
    bool FolderExists(const std::string& key) const { return folders_.count(key) != 0; }
    // Adds the path's key to a set of marked paths, or takes it out.
    void Mark(std::set<std::string>& marked, const std::string& path, bool on) const;
    void MakeFolders(const Name& name);
    TFileResult WriteInPlace(const Name& name, const Producer& produce, const TFileExpectation* expected,
                             std::string& reason);
    std::string TemporaryName(const std::string& folderKey);
    TFileResult MoveTemporary(const std::string& temp, const Name& target, const TFileExpectation* expected,
                              std::string& reason);
    void RemoveTemporary(const std::string& temp, std::string& reason);
    // Whether the path's key is one of the marked paths or lies below one.
    static bool Covered(const std::set<std::string>& marked, const std::string& key);
    std::string IdentityOf(const std::string& key);

    std::map<std::string, File> files_;          // by key
    std::map<std::string, std::string> folders_; // key -> full path
    std::set<std::string> readOnly_;
    std::set<std::string> locked_;
    std::set<std::string> held_;
    std::set<std::string> noNewFiles_;
    std::set<std::string> noDeletes_;
    std::set<std::string> noIdentity_;
    std::set<std::string> unstableIdentity_;
    unsigned identityLooks_ = 0;
    std::map<std::string, std::string> sharedIdentities_;  // key -> the identity it shares
    std::string currentDirectory_;
    std::map<std::string, std::string> driveDirectories_;  // folded drive -> its current folder
    std::int64_t now_ = 0;
    int replaceCount_ = 0;
    int inPlaceCount_ = 0;
    int sleepCount_ = 0;
    int failReplaces_ = 0;
    unsigned tempCounter_ = 0;
    std::string failReason_;
};

}  // namespace fw
