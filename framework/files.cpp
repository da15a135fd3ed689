#include "framework/files.h"

#include "framework/sysutils.h"

namespace fw {

namespace {
FileSystem* installed = nullptr;
}  // namespace

bool FileSystem::ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) {
    return ReplaceFileFrom(path, [contents](const BlockWriter& write) { return write(contents); }, reason);
}

bool FileSystem::ReplaceFileFrom(const std::string& path, const Producer& produce, std::string& reason) {
    return ReplaceFrom(path, produce, nullptr, TReplaceMode::Atomic, reason, kBusyPatienceMs) == TFileResult::Done;
}

void NoteTemporaryFileLeft(std::string& reason, const std::string& temp) {
    reason += "\n一時ファイル " + temp + " を削除できませんでした。";
}

TSameFile JudgeSameFile(bool firstMissing, bool secondMissing, std::optional<bool> sameIdentity, bool sameName) {
    if (firstMissing && secondMissing) return sameName ? TSameFile::Same : TSameFile::Different;
    if (firstMissing || secondMissing) return sameName ? TSameFile::Unknown : TSameFile::Different;
    if (sameIdentity) return *sameIdentity ? TSameFile::Same : sameName ? TSameFile::Unknown : TSameFile::Different;
    return sameName ? TSameFile::Same : TSameFile::Unknown;
}

FileSystem& Files() { return installed ? *installed : NativeFiles(); }

FileSystem* SetFiles(FileSystem* files) {
    FileSystem* previous = installed ? installed : &NativeFiles();
    installed = files;
    return previous;
}

// A deletion that cannot even be asked for (the memory ran out) fails as
// any other does: quietly, for the caller to decide.
bool DeleteFile(const std::string& path) {
    bool deleted = false;
    return !RanOutOfMemory([&] { deleted = Files().DeleteFile(path); }) && deleted;
}

bool FileExists(const std::string& path) { return Files().FileExists(path); }

}  // namespace fw
