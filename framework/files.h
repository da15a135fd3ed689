// File access by code page 932 path.  The programs reach the disk only
// through the current FileSystem: on Windows through the wide API after an
// exact conversion with code page 932, natively through POSIX calls, and in
// tests through an in-memory file system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// How a read or a replacement ended.
enum class TFileResult {
    Done,
    NotFound,  // no such file, or no such folder on the way to it
    Busy,      // another program holds the file for the moment: try again later
    Changed,   // a conditional replacement found the file other than expected
    Failed,    // any other refusal
};

// Whether two paths name one file.  Unknown where the file system tells
// too little to be sure either way: nothing may then be done that is safe
// only for one of the other two answers.
enum class TSameFile { Same, Different, Unknown };

// What a conditional replacement expects to find: the file as it was read,
// or no file at all.
struct TFileExpectation {
    bool exists = false;
    std::string_view contents;
};

// How a replacement may reach the disk.
enum class TReplaceMode {
    // Only through a temporary file beside the target, moved over it in one
    // step: the target holds its old or its new contents, never a part.
    Atomic,
    // As Atomic; where the folder refuses new files but the file itself may
    // be written, it is rewritten in place while no other program may write
    // it, as the platform's profile functions write a settings file.
    AtomicOrInPlace,
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Takes the contents of a file block by block, in order; false when a
    // block could not be written.
    using BlockWriter = std::function<bool(std::string_view block)>;
    // Contents that need not be held whole: writes them through the
    // BlockWriter it is given and returns false as soon as a write fails
    // (and only then).  It is called once per replacement, however often
    // the replacement tries to take the target's place.
    using Producer = std::function<bool(const BlockWriter& write)>;

    // Reads the whole file.  On failure `reason` gets the system's
    // description of it and `contents` is left as it was.  `writtenAgoMs`
    // (when given) receives how long ago the file was last written, by the
    // system's clock; kLongAgo when that is unknown or in the future.
    virtual TFileResult Read(const std::string& path, std::string& contents, std::string& reason,
                             std::int64_t* writtenAgoMs) = 0;

    // Writes `contents` to a new temporary file beside the file `path` names
    // and moves it over that file in one step.  A symbolic link is followed:
    // the file it names is replaced and the link stays.  The replaced file's
    // attributes, security and creation time are kept (its mode, natively); a
    // new file gets the system's defaults.  With `expected`, the file is
    // replaced only while it still is as expected (Changed otherwise), and
    // never while another program holds it open for writing (Busy).  On any
    // failure the target is untouched, `reason` says why and the temporary
    // file is gone; where it could not be removed, `reason` ends with a line
    // that names it (NoteTemporaryFileLeft).
    TFileResult Replace(const std::string& path, std::string_view contents, const TFileExpectation* expected,
                        TReplaceMode mode, std::string& reason) {
        return ReplaceFrom(path, [contents](const BlockWriter& write) { return write(contents); }, expected, mode,
                           reason, 0);
    }
    // Replace with contents written block by block as they come: the file
    // systems on disk write each block to the temporary file at once.  While
    // another program holds the target (Busy), the one temporary file is
    // tried again every kBusyRetryMs for up to `busyPatienceMs`.
    virtual TFileResult ReplaceFrom(const std::string& path, const Producer& produce,
                                    const TFileExpectation* expected, TReplaceMode mode, std::string& reason,
                                    int busyPatienceMs) = 0;

    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // Whether the two paths name one file or folder.  The files' identities
    // on their volumes decide; where either cannot be read, two paths that
    // are one once made full, compared as Windows compares names, are the
    // same file, and others are of unknown identity.  A path that names
    // nothing is no other existing file.
    virtual TSameFile SameFile(const std::string& a, const std::string& b) = 0;

    virtual std::string CurrentDirectory() = 0;

    // `path` made full and normalised as the system does before opening it:
    // a relative path is taken from the current folder, a drive-relative one
    // ("D:list.cas") from that drive's own current folder.
    virtual std::string FullPathName(const std::string& path) = 0;

    // A clock in milliseconds and a pause, for the retries of a write that
    // finds its file busy.
    virtual std::int64_t Milliseconds() = 0;
    virtual void Sleep(int milliseconds) = 0;

    // Read, true when done.
    bool ReadFile(const std::string& path, std::string& contents, std::string& reason) {
        return Read(path, contents, reason, nullptr) == TFileResult::Done;
    }
    // Replace and ReplaceFrom, unconditional and atomic, tried again while
    // the file is busy for up to kBusyPatienceMs; true when done.
    bool ReplaceFile(const std::string& path, std::string_view contents, std::string& reason);
    bool ReplaceFileFrom(const std::string& path, const Producer& produce, std::string& reason);
};

// How long a write waits, all tries together, for a file that another
// program holds: a player saving its settings holds them for a moment.
constexpr int kBusyPatienceMs = 1000;
// The pause between two tries.
constexpr int kBusyRetryMs = 10;
// A file written less than this long ago may still be in the middle of
// being written: the platform's profile functions rewrite a settings file
// in place, emptying it first.  A write waits until the file has been quiet
// this long, so that it never edits (and cuts) a half-written file.
constexpr int kQuietMs = 50;
constexpr std::int64_t kLongAgo = INT64_C(1) << 62;

// SameFile's answer from what a file system learnt of the two paths:
// whether each names nothing at all, whether the two identities are equal
// (nothing when either could not be read), and whether the two full names
// are equal as Windows compares names.  Identity and name disagreeing
// leaves the answer unknown.
TSameFile JudgeSameFile(bool firstMissing, bool secondMissing, std::optional<bool> sameIdentity, bool sameName);

// Adds to the reason of a failed replacement the line that says its
// temporary file `temp` could not be removed, naming it for the user.
void NoteTemporaryFileLeft(std::string& reason, const std::string& temp);

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
