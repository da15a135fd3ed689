// File access by code page 932 path.  The programs reach the disk only
// through the current FileSystem: on Windows through the wide API after an
// exact conversion with code page 932, natively through POSIX calls, and in
// tests through an in-memory file system.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace fw {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Reads the whole file.  On failure returns false and sets `reason` to
    // the system's description of the failure.
    virtual bool ReadFile(const std::string& path, std::string& contents, std::string& reason) = 0;

    // Writes `contents` to a new temporary file in the folder of `path` and
    // then moves it over `path` in one step, so that `path` holds either its
    // old or its new contents, never a part.  On failure the temporary file
    // is removed, `path` is untouched, and `reason` describes the failure.
    virtual bool ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) = 0;

    // Takes the new contents of a file block by block, in order; false when
    // a block could not be written.
    using BlockWriter = std::function<bool(std::string_view block)>;

    // ReplaceFile for contents that need not be held whole: `produce` writes
    // them through the BlockWriter it is given and returns false as soon as
    // a write fails (and only then).  The file systems on disk write each
    // block to the temporary file as it comes, then flush and replace as
    // ReplaceFile does.  This default gathers the blocks and calls ReplaceFile.
    virtual bool ReplaceFileFrom(const std::string& path, const std::function<bool(const BlockWriter&)>& produce,
                                 std::string& reason);

    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // True when both paths name one existing file.
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;

    virtual std::string CurrentDirectory() = 0;
};

// The file system in use.
FileSystem& Files();

// Installs `files` as the file system in use (for tests); null restores the
// platform's own.  Returns the one that was in use.
FileSystem* SetFiles(FileSystem* files);

// The platform's own file system (POSIX natively, the wide Win32 API on Windows).
FileSystem& NativeFiles();

// Shorthands on the file system in use.
bool DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace fw
