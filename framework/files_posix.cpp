// The native file system on Linux, for the native tests and tools.  Paths
// are Linux paths.  Files and folders without any write permission behave
// as read-only ones do on Windows: a file is neither replaced nor deleted,
// a folder takes no new file, even for root.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/files.h"
#include "framework/sysutils.h"

namespace fw {

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

TFileResult Fail(std::string& reason, int error = errno) {
    reason = ErrorText(error);
    return (error == ENOENT || error == ENOTDIR) ? TFileResult::NotFound : TFileResult::Failed;
}

// True when a file exists and may not be written: either the system says so
// or no write permission bit is set (root may write anything, Windows may
// not write a read-only file, and the programs should see Windows' answer).
bool WriteProtected(const std::string& path, int& error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
        return true;
    }
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
        error = EACCES;
        return true;
    }
    return false;
}

// A NUL would cut the path short at the system call and name another file.
bool ValidPath(const std::string& path, std::string& reason) {
    if (!path.empty() && path.find('\0') == std::string::npos) return true;
    reason = ErrorText(path.empty() ? ENOENT : EINVAL);
    return false;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a path names in the end: symbolic links are followed (also to a
// file that does not exist yet), so that the file is replaced and the link
// stays a link.
std::string FinalPath(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) break;
        link.resize(static_cast<std::size_t>(length));
        path = link.front() == '/' ? link : FolderOf(path) + link;
    }
    return path;
}

bool WriteAll(int fd, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t written = ::write(fd, p, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes every block `produce` gives to `fd`; false with errno at the first
// failure.  `written` counts the bytes.
bool WriteBlocks(int fd, const FileSystem::Producer& produce, std::size_t& written) {
    int error = 0;
    written = 0;
    const bool ok = produce([&](std::string_view block) {
        if (WriteAll(fd, block)) {
            written += block.size();
            return true;
        }
        error = errno;
        return false;
    });
    if (!ok) errno = error != 0 ? error : EIO;
    return ok;
}

// Reads from `fd` to the end of the file; `sizeHint` is a first guess.  A
// file too large to hold fails with ENOMEM.
bool ReadAll(int fd, std::size_t sizeHint, std::string& data) {
    std::size_t used = 0;
    bool failed = false;
    if (RanOutOfMemory([&] {
            data.resize(sizeHint + 1);
            for (;;) {
                if (used == data.size()) data.resize(data.size() * 2);
                ssize_t got = ::read(fd, data.data() + used, data.size() - used);
                if (got < 0) {
                    if (errno == EINTR) continue;
                    failed = true;
                    return;
                }
                if (got == 0) break;
                used += static_cast<std::size_t>(got);
            }
        })) {
        std::string().swap(data);
        errno = ENOMEM;
        return false;
    }
    if (failed) return false;
    data.resize(used);
    return true;
}

// Done when the file at `path` is as expected: present with the same bytes,
// or absent.
TFileResult Check(const std::string& path, const TFileExpectation& expected, std::string& reason) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return expected.exists ? TFileResult::Changed : TFileResult::Done;
        return Fail(reason);
    }
    std::string now;
    bool read = expected.exists && ReadAll(fd, expected.contents.size(), now);
    int error = errno;
    ::close(fd);
    if (!expected.exists) return TFileResult::Changed;
    if (!read) return Fail(reason, error);
    return now == expected.contents ? TFileResult::Done : TFileResult::Changed;
}

// Rewrites an existing file where it stands, after checking that it still
// is as expected.
TFileResult WriteInPlace(const std::string& path, const FileSystem::Producer& produce,
                         const TFileExpectation* expected, std::string& reason) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Fail(reason);
    std::string now;
    bool ok = true;
    if (expected) {
        ok = ReadAll(fd, expected->contents.size(), now);
        if (ok && now != expected->contents) {
            ::close(fd);
            return TFileResult::Changed;
        }
    }
    std::size_t written = 0;
    ok = ok && ::lseek(fd, 0, SEEK_SET) == 0 && WriteBlocks(fd, produce, written) &&
         ::ftruncate(fd, static_cast<off_t>(written)) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? TFileResult::Done : Fail(reason, error);
}

class PosixFiles final : public FileSystem {
public:
    TFileResult Read(const std::string& path, std::string& contents, std::string& reason,
                     std::int64_t* writtenAgoMs) override {
        if (!ValidPath(path, reason)) return TFileResult::Failed;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail(reason);
        struct stat st;
        int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
        if (error == 0 && writtenAgoMs) {
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            const std::int64_t ago = (static_cast<std::int64_t>(now.tv_sec) - st.st_mtim.tv_sec) * 1000 +
                                     (now.tv_nsec - st.st_mtim.tv_nsec) / 1000000;
            *writtenAgoMs = ago < 0 ? kLongAgo : ago;
        }
        std::string data;
        // The size is a hint only: the file may grow or shrink while it is read.
        if (error == 0 && !ReadAll(fd, static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0), data)) error = errno;
        ::close(fd);
        if (error != 0) return Fail(reason, error);
        contents = std::move(data);
        return TFileResult::Done;
    }

    // Nothing on Linux holds a file against a rename: no try is repeated.
    TFileResult ReplaceFrom(const std::string& path, const Producer& produce, const TFileExpectation* expected,
                            TReplaceMode mode, std::string& reason, int /*busyPatienceMs*/) override {
        if (!ValidPath(path, reason)) return TFileResult::Failed;
        const std::string target = FinalPath(path);
        int error = 0;
        if (WriteProtected(target, error)) return Fail(reason, error);
        struct stat st;
        const bool exists = ::stat(target.c_str(), &st) == 0;
        if (expected && expected->exists != exists) return TFileResult::Changed;

        const std::string folder = FolderOf(target);
        std::string temp;
        int fd = -1;
        struct stat folderStat;
        if (::stat(folder.empty() ? "." : folder.c_str(), &folderStat) == 0 && (folderStat.st_mode & 0222) == 0) {
            errno = EACCES;
        } else {
            std::size_t slash = target.rfind('/');
            const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
            for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
                temp = folder + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(++counter_) +
                       ".tmp";
                // A new file gets the mode the umask leaves of 0666; the
                // replacement of a file keeps that file's mode and owner.
                fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
                if (fd < 0 && errno != EEXIST) break;
            }
        }
        if (fd < 0) {
            error = errno;
            if ((error == EACCES || error == EPERM) && exists && mode == TReplaceMode::AtomicOrInPlace)
                return WriteInPlace(target, produce, expected, reason);
            return Fail(reason, error);
        }
        std::size_t written = 0;
        bool ok = false;
        try {
            ok = WriteBlocks(fd, produce, written);
        } catch (...) {
            // The producer failed (out of memory, say): its half-written
            // file goes, and the target was never touched.
            ::close(fd);
            ::unlink(temp.c_str());
            throw;
        }
        if (ok && exists) {
            ok = ::fchmod(fd, st.st_mode & 07777) == 0;
            // Only root may give a file away; anyone else's replacement
            // stays theirs.
            if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
                ::fchown(fd, st.st_uid, st.st_gid) != 0) {
            }
        }
        ok = ok && ::fsync(fd) == 0;
        if (!ok) error = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        TFileResult result = ok ? TFileResult::Done : Fail(reason, error);
        if (result == TFileResult::Done && expected) result = Check(target, *expected, reason);
        if (result == TFileResult::Done) result = MoveOver(temp, target, !expected || expected->exists, reason);
        if (result != TFileResult::Done && ::unlink(temp.c_str()) != 0 && errno != ENOENT)
            NoteTemporaryFileLeft(reason, temp);
        return result;
    }

    bool DeleteFile(const std::string& path) override {
        int error = 0;
        std::string reason;
        if (!ValidPath(path, reason) || WriteProtected(path, error)) return false;
        return ::unlink(path.c_str()) == 0;
    }

    bool FileExists(const std::string& path) override {
        struct stat st;
        std::string reason;
        return ValidPath(path, reason) && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }

    TSameFile SameFile(const std::string& a, const std::string& b) override {
        std::string reason;
        struct stat sa;
        struct stat sb;
        const Found first = ValidPath(a, reason) ? Stat(a, sa) : Found::Unknown;
        const Found second = ValidPath(b, reason) ? Stat(b, sb) : Found::Unknown;
        std::optional<bool> sameIdentity;
        if (first == Found::Yes && second == Found::Yes) sameIdentity = sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
        return JudgeSameFile(first == Found::No, second == Found::No, sameIdentity, FullPathName(a) == FullPathName(b));
    }

    std::string CurrentDirectory() override {
        std::string buffer(256, '\0');
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE) return std::string();
            buffer.resize(buffer.size() * 2);
        }
        buffer.resize(std::strlen(buffer.c_str()));
        return buffer;
    }

    std::string FullPathName(const std::string& path) override {
        if (path.empty() || path.front() == '/') return path;
        std::string current = CurrentDirectory();
        if (current.empty()) return path;
        return current + (current.back() == '/' ? "" : "/") + path;
    }

    std::int64_t Milliseconds() override {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

    void Sleep(int milliseconds) override {
        timespec pause{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }

private:
    enum class Found { Yes, No, Unknown };
    static Found Stat(const std::string& path, struct stat& st) {
        if (::stat(path.c_str(), &st) == 0) return Found::Yes;
        return errno == ENOENT || errno == ENOTDIR ? Found::No : Found::Unknown;
    }

    // Moves the finished temporary file over the target in one step.
    // Without `replaceExisting`, a file that appeared meanwhile is kept.
    static TFileResult MoveOver(const std::string& temp, const std::string& target, bool replaceExisting,
                                std::string& reason) {
        if (replaceExisting) return ::rename(temp.c_str(), target.c_str()) == 0 ? TFileResult::Done : Fail(reason);
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return TFileResult::Done;
        if (errno == EEXIST) return TFileResult::Changed;
        if (errno != EINVAL && errno != ENOSYS) return Fail(reason);
        // A file system without that kind of rename: a hard link refuses an
        // existing name just as well.
        if (::link(temp.c_str(), target.c_str()) != 0) return errno == EEXIST ? TFileResult::Changed : Fail(reason);
        ::unlink(temp.c_str());
        return TFileResult::Done;
    }

    std::atomic<unsigned> counter_{0};
};

}  // namespace

FileSystem& NativeFiles() {
    static PosixFiles files;
    return files;
}

}  // namespace fw
