#include "framework/files.h"

namespace fw {

namespace {
FileSystem* installed = nullptr;
}  // namespace

bool FileSystem::ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) {
    return ReplaceFileFrom(path, [contents](const BlockWriter& write) { return write(contents); }, reason);
}

bool FileSystem::ReplaceFileFrom(const std::string& path, const Producer& produce, std::string& reason) {
    const std::int64_t deadline = Milliseconds() + kBusyPatienceMs;
    for (;;) {
        TFileResult result = ReplaceFrom(path, produce, nullptr, TReplaceMode::Atomic, reason);
        if (result != TFileResult::Busy || Milliseconds() >= deadline) return result == TFileResult::Done;
        Sleep(kBusyRetryMs);
    }
}

FileSystem& Files() { return installed ? *installed : NativeFiles(); }

FileSystem* SetFiles(FileSystem* files) {
    FileSystem* previous = installed ? installed : &NativeFiles();
    installed = files;
    return previous;
}

bool DeleteFile(const std::string& path) { return Files().DeleteFile(path); }

bool FileExists(const std::string& path) { return Files().FileExists(path); }

}  // namespace fw
