#include "framework/memory/memory_files.h"

#include <stdexcept>
#include <utility>

#include "framework/text.h"

namespace fw {

const std::string MemoryFileSystem::kFileNotFound = "指定されたファイルが見つかりません。";
const std::string MemoryFileSystem::kPathNotFound = "指定されたパスが見つかりません。";
const std::string MemoryFileSystem::kAccessDenied = "アクセスが拒否されました。";
const std::string MemoryFileSystem::kSharingViolation =
    "別のプロセスが使用中のため、プロセスはファイルにアクセスできません。";
const std::string MemoryFileSystem::kInvalidName =
    "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。";

namespace {

// A path taken apart: its root ("C:" or "\\server\share") and its names.
struct Parts {
    std::string root;
    std::vector<std::string> names;
};

bool IsSeparatorAt(std::string_view text, std::size_t i) {
    return CharLength(text, i) == 1 && (text[i] == '\\' || text[i] == '/');
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Letters upper-cased as Windows folds file names: single-byte ASCII
// letters and the double-byte letters of code page 932 (UpperTrailByte);
// every other character untouched.
std::string Fold(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); i += CharLength(folded, i)) {
        if (CharLength(folded, i) == 1)
            folded[i] = Upper(folded[i]);
        else
            folded[i + 1] = static_cast<char>(
                UpperTrailByte(static_cast<unsigned char>(folded[i]), static_cast<unsigned char>(folded[i + 1])));
    }
    return folded;
}

// The names of `text` between separators, as they stand.
std::vector<std::string> SplitNames(std::string_view text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (IsSeparatorAt(text, i)) {
            names.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    names.emplace_back(text.substr(start));
    return names;
}

bool ValidName(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
        if (CharLength(name, i) == 2) continue;
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

// Adds `names` to `parts` as Windows does: empty and "." names vanish and
// ".." goes up one folder, never above the root.
bool Append(Parts& parts, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!parts.names.empty()) parts.names.pop_back();
            continue;
        }
        if (!ValidName(name)) return false;
        parts.names.push_back(name);
    }
    return true;
}

std::optional<Parts> Parse(std::string_view path, const Parts& current) {
    if (path.empty()) return std::nullopt;
    Parts parts;
    if (path.size() >= 2 && IsSeparatorAt(path, 0) && IsSeparatorAt(path, 1)) {
        // \\server\share\...: the first two names are the root.
        std::vector<std::string> names = SplitNames(path.substr(2));
        if (names.size() < 2 || names[0].empty() || names[1].empty() || !ValidName(names[0]) ||
            !ValidName(names[1]))
            return std::nullopt;
        parts.root = "\\\\" + names[0] + "\\" + names[1];
        names.erase(names.begin(), names.begin() + 2);
        if (!Append(parts, names)) return std::nullopt;
        return parts;
    }
    std::string_view rest = path;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
        parts.root = std::string(1, Upper(path[0])) + ":";
        rest = path.substr(2);
        // "D:name" is relative to the current directory when that is on D:.
        if ((rest.empty() || !IsSeparatorAt(rest, 0)) && Fold(parts.root) == Fold(current.root))
            parts.names = current.names;
    } else if (IsSeparatorAt(path, 0)) {
        parts.root = current.root;
    } else {
        parts = current;
    }
    if (!Append(parts, SplitNames(rest))) return std::nullopt;
    return parts;
}

std::string Join(const Parts& parts, std::size_t count) {
    std::string full = parts.root;
    if (count == 0) return full + "\\";
    for (std::size_t i = 0; i < count; ++i) full += "\\" + parts.names[i];
    return full;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() : currentDirectory_("C:\\"), failReason_(kAccessDenied) {
    folders_.emplace(Fold(currentDirectory_), currentDirectory_);
}

std::optional<MemoryFileSystem::Name> MemoryFileSystem::Resolve(const std::string& path) const {
    std::optional<Parts> current = Parse(currentDirectory_, Parts{});
    std::optional<Parts> parts = Parse(path, *current);
    if (!parts) return std::nullopt;
    Name name;
    name.full = Join(*parts, parts->names.size());
    name.key = Fold(name.full);
    if (!parts->names.empty()) name.parentKey = Fold(Join(*parts, parts->names.size() - 1));
    return name;
}

MemoryFileSystem::Name MemoryFileSystem::Require(const std::string& path) const {
    std::optional<Name> name = Resolve(path);
    if (!name) throw std::invalid_argument("not a valid path: " + path);
    return *name;
}

std::optional<std::string> MemoryFileSystem::FullPath(const std::string& path) const {
    std::optional<Name> name = Resolve(path);
    if (!name) return std::nullopt;
    return name->full;
}

void MemoryFileSystem::MakeFolders(const Name& name) {
    std::optional<Parts> parts = Parse(name.full, Parts{});
    for (std::size_t count = 0; count <= parts->names.size(); ++count) {
        std::string full = Join(*parts, count);
        std::string key = Fold(full);
        if (files_.count(key)) throw std::invalid_argument("a file stands where a folder is wanted: " + full);
        folders_.emplace(key, full);
    }
}

bool MemoryFileSystem::ReadFile(const std::string& path, std::string& contents, std::string& reason) {
    std::optional<Name> name = Resolve(path);
    if (!name) {
        reason = kInvalidName;
        return false;
    }
    auto file = files_.find(name->key);
    if (file == files_.end()) {
        reason = FolderExists(name->key)         ? kAccessDenied
                 : FolderExists(name->parentKey) ? kFileNotFound
                                                 : kPathNotFound;
        return false;
    }
    if (locked_.count(name->key)) {
        reason = kSharingViolation;
        return false;
    }
    contents = file->second.contents;
    return true;
}

bool MemoryFileSystem::ReplaceFile(const std::string& path, std::string_view contents, std::string& reason) {
    if (failReplaces_ > 0) {
        --failReplaces_;
        reason = failReason_;
        return false;
    }
    std::optional<Name> name = Resolve(path);
    if (!name) {
        reason = kInvalidName;
        return false;
    }
    if (FolderExists(name->key)) {
        reason = kAccessDenied;
        return false;
    }
    if (!FolderExists(name->parentKey)) {
        reason = kPathNotFound;
        return false;
    }
    if (locked_.count(name->key)) {
        reason = kSharingViolation;
        return false;
    }
    auto file = files_.find(name->key);
    if (file != files_.end() && readOnly_.count(name->key)) {
        reason = kAccessDenied;
        return false;
    }
    if (file == files_.end()) file = files_.emplace(name->key, File{name->full, {}}).first;
    file->second.contents.assign(contents);
    ++replaceCount_;
    return true;
}

bool MemoryFileSystem::DeleteFile(const std::string& path) {
    std::optional<Name> name = Resolve(path);
    if (!name || !files_.count(name->key) || readOnly_.count(name->key) || locked_.count(name->key))
        return false;
    files_.erase(name->key);
    return true;
}

bool MemoryFileSystem::FileExists(const std::string& path) {
    std::optional<Name> name = Resolve(path);
    return name && files_.count(name->key);
}

bool MemoryFileSystem::SameFile(const std::string& a, const std::string& b) {
    std::optional<Name> first = Resolve(a);
    std::optional<Name> second = Resolve(b);
    return first && second && first->key == second->key && Exists(a);
}

std::string MemoryFileSystem::CurrentDirectory() { return currentDirectory_; }

void MemoryFileSystem::Put(const std::string& path, std::string_view contents) {
    Name name = Require(path);
    if (FolderExists(name.key) || name.parentKey.empty())
        throw std::invalid_argument("a folder stands where a file is wanted: " + path);
    MakeFolders(Require(name.full + "\\.."));
    auto file = files_.find(name.key);
    if (file == files_.end()) file = files_.emplace(name.key, File{name.full, {}}).first;
    file->second.contents.assign(contents);
}

std::optional<std::string> MemoryFileSystem::Get(const std::string& path) const {
    Name name = Require(path);
    auto file = files_.find(name.key);
    if (file == files_.end()) return std::nullopt;
    return file->second.contents;
}

bool MemoryFileSystem::Exists(const std::string& path) const {
    Name name = Require(path);
    return files_.count(name.key) || FolderExists(name.key);
}

void MemoryFileSystem::AddFolder(const std::string& path) { MakeFolders(Require(path)); }

void MemoryFileSystem::SetCurrentDirectory(const std::string& path) {
    Name name = Require(path);
    MakeFolders(name);
    currentDirectory_ = name.full;
}

void MemoryFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
    std::string key = Require(path).key;
    if (readOnly)
        readOnly_.insert(key);
    else
        readOnly_.erase(key);
}

void MemoryFileSystem::SetLocked(const std::string& path, bool locked) {
    std::string key = Require(path).key;
    if (locked)
        locked_.insert(key);
    else
        locked_.erase(key);
}

void MemoryFileSystem::FailNextReplaces(int count, std::string reason) {
    failReplaces_ = count;
    failReason_ = std::move(reason);
}

std::vector<std::string> MemoryFileSystem::FilePaths() const {
    std::vector<std::string> paths;
    paths.reserve(files_.size());
    for (const auto& entry : files_) paths.push_back(entry.second.path);
    return paths;
}

}  // namespace fw
