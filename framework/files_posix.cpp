// The native file system on Linux, for the native tests and tools.  Paths
// are Linux paths.  Files without any write permission behave as read-only
// files do on Windows: they are neither replaced nor deleted, even by root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/files.h"

namespace fw {

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

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

class PosixFiles final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string& contents, std::string& reason) override {
        if (!ValidPath(path, reason)) return false;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            reason = ErrorText(errno);
            return false;
        }
        struct stat st;
        int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
        if (error != 0) {
            reason = ErrorText(error);
            ::close(fd);
            return false;
        }
        std::string data;
        // The size is a hint only: the file may grow or shrink while it is read.
        data.resize(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 1);
        std::size_t used = 0;
        for (;;) {
            if (used == data.size()) data.resize(data.size() * 2);
            ssize_t got = ::read(fd, data.data() + used, data.size() - used);
            if (got < 0) {
                if (errno == EINTR) continue;
                reason = ErrorText(errno);
                ::close(fd);
                return false;
            }
            if (got == 0) break;
            used += static_cast<std::size_t>(got);
        }
        ::close(fd);
        data.resize(used);
        contents = std::move(data);
        return true;
    }

    bool ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) override {
        return ReplaceFileFrom(path, [contents](const BlockWriter& write) { return write(contents); }, reason);
    }

    bool ReplaceFileFrom(const std::string& path, const std::function<bool(const BlockWriter&)>& produce,
                         std::string& reason) override {
        if (!ValidPath(path, reason)) return false;
        int error = 0;
        if (WriteProtected(path, error)) {
            reason = ErrorText(error);
            return false;
        }
        std::size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);

        // The new file keeps the permissions of the file it replaces.
        struct stat st;
        mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;

        std::string temp;
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            temp = folder + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(++counter_) + ".tmp";
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            reason = ErrorText(errno);
            return false;
        }
        int writeError = 0;
        const BlockWriter write = [fd, &writeError](std::string_view block) {
            if (WriteAll(fd, block)) return true;
            writeError = errno;
            return false;
        };
        bool ok = produce(write) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
        if (!ok) error = writeError != 0 ? writeError : errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
            ok = false;
            error = errno;
        }
        if (!ok) {
            ::unlink(temp.c_str());
            reason = ErrorText(error);
        }
        return ok;
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

    bool SameFile(const std::string& a, const std::string& b) override {
        std::string reason;
        if (!ValidPath(a, reason) || !ValidPath(b, reason)) return false;
        struct stat sa;
        struct stat sb;
        return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
               sa.st_ino == sb.st_ino;
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

private:
    std::atomic<unsigned> counter_{0};
};

}  // namespace

FileSystem& NativeFiles() {
    static PosixFiles files;
    return files;
}

}  // namespace fw
