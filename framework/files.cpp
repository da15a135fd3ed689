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

bool DeleteFile(const std::string& path) { return Files().DeleteFile(path); }

bool FileExists(const std::string& path) { return Files().FileExists(path); }

}  // namespace fw
