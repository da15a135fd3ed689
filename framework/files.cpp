#include "framework/files.h"

namespace fw {

namespace {
FileSystem* installed = nullptr;
}  // namespace

FileSystem& Files() { return installed ? *installed : NativeFiles(); }

FileSystem* SetFiles(FileSystem* files) {
    FileSystem* previous = installed ? installed : &NativeFiles();
    installed = files;
    return previous;
}

bool FileSystem::ReplaceFileFrom(const std::string& path, const std::function<bool(const BlockWriter&)>& produce,
                                 std::string& reason) {
    std::string contents;
    produce([&contents](std::string_view block) {
        contents.append(block);
        return true;
    });
    return ReplaceFile(path, contents, reason);
}

bool DeleteFile(const std::string& path) { return Files().DeleteFile(path); }

bool FileExists(const std::string& path) { return Files().FileExists(path); }

}  // namespace fw
