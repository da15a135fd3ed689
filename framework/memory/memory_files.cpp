#include "framework/memory/memory_files.h"

#include <algorithm>
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

// Index of the first byte of the last character of a non-empty text.
std::size_t LastCharAt(std::string_view text) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) last = i;
    return last;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Letters upper-cased as Windows folds file names: single-byte ASCII
// letters and the double-byte letters of code page 932 (UpperTrailByte);
// every other character untouched.
std::string Fold(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); i += CharLength(folded, i)) {
        if (CharLength(folded, i) == 1)
            folded[i] = FoldAscii(folded[i]);
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

// Adds `names` to `parts` as Windows does: empty and "." names vanish,
// ".." goes up one folder, never above the root, and the last name loses
// its trailing dots and blanks (a trail byte is never either).
bool Append(Parts& parts, std::vector<std::string> names) {
    if (!names.empty() && names.back() != "." && names.back() != "..") {
        std::string& last = names.back();
        last.erase(last.find_last_not_of(". ") + 1);
    }
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

// `drives` holds the current folder of each drive, by folded drive ("D:").
std::optional<Parts> Parse(std::string_view path, const Parts& current,
                           const std::map<std::string, std::string>& drives = {}) {
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
        parts.root = std::string(1, FoldAscii(path[0])) + ":";
        rest = path.substr(2);
        // "D:name" is relative to drive D's own current folder: the current
        // directory when that is on D:, else the folder D: last had.
        if (rest.empty() || !IsSeparatorAt(rest, 0)) {
            if (Fold(parts.root) == Fold(current.root)) {
                parts.names = current.names;
            } else if (auto drive = drives.find(Fold(parts.root)); drive != drives.end()) {
                std::optional<Parts> folder = Parse(drive->second, Parts{});
                if (folder) parts.names = folder->names;
            }
        }
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
    std::optional<Parts> parts = Parse(path, *current, driveDirectories_);
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

TFileResult MemoryFileSystem::Read(const std::string& path, std::string& contents, std::string& reason,
                                   std::int64_t* writtenAgoMs) {
    if (beforeRead) beforeRead(path);
    std::optional<Name> name = Resolve(path);
    if (!name) {
        reason = kInvalidName;
        return TFileResult::Failed;
    }
    auto file = files_.find(name->key);
    if (file == files_.end()) {
        if (FolderExists(name->key)) {
            reason = kAccessDenied;
            return TFileResult::Failed;
        }
        reason = FolderExists(name->parentKey) ? kFileNotFound : kPathNotFound;
        return TFileResult::NotFound;
    }
    if (locked_.count(name->key)) {
        reason = kSharingViolation;
        return TFileResult::Busy;
    }
    contents = file->second.contents;
    if (writtenAgoMs) *writtenAgoMs = std::min(now_ - file->second.written, kLongAgo);
    return TFileResult::Done;
}

TFileResult MemoryFileSystem::ReplaceFrom(const std::string& path, const Producer& produce,
                                          const TFileExpectation* expected, TReplaceMode mode, std::string& reason,
                                          int busyPatienceMs) {
    if (beforeReplace) beforeReplace(path);
    if (failReplaces_ > 0) {
        --failReplaces_;
        reason = failReason_;
        return TFileResult::Failed;
    }
    std::optional<Name> name = Resolve(path);
    if (!name) {
        reason = kInvalidName;
        return TFileResult::Failed;
    }
    if (FolderExists(name->key)) {
        reason = kAccessDenied;
        return TFileResult::Failed;
    }
    if (!FolderExists(name->parentKey)) {
        reason = kPathNotFound;
        return TFileResult::NotFound;
    }
    const bool exists = files_.count(name->key) != 0;
    if (exists && readOnly_.count(name->key)) {
        reason = kAccessDenied;
        return TFileResult::Failed;
    }
    // No temporary file beside it: only an existing file, written in place.
    if (noNewFiles_.count(name->parentKey)) {
        if (!exists || mode != TReplaceMode::AtomicOrInPlace) {
            reason = kAccessDenied;
            return TFileResult::Failed;
        }
        return WriteInPlace(*name, produce, expected, reason);
    }

    // The temporary file is written once; its move over the target is tried
    // again while another program holds the target.
    const std::string temp = TemporaryName(name->parentKey);
    std::string& contents = files_.emplace(Fold(temp), File{temp, {}, now_}).first->second.contents;
    bool produced = false;
    try {
        produced = produce([&contents](std::string_view block) {
            contents.append(block);
            return true;
        });
    } catch (...) {
        RemoveTemporary(temp, reason);
        throw;
    }
    TFileResult result = TFileResult::Failed;
    if (produced) {
        const std::int64_t deadline = now_ + busyPatienceMs;
        while ((result = MoveTemporary(temp, *name, expected, reason)) == TFileResult::Busy && now_ < deadline)
            Sleep(kBusyRetryMs);
    } else {
        reason = kAccessDenied;
    }
    if (result != TFileResult::Done) RemoveTemporary(temp, reason);
    return result;
}

TFileResult MemoryFileSystem::WriteInPlace(const Name& name, const Producer& produce,
                                           const TFileExpectation* expected, std::string& reason) {
    if (locked_.count(name.key) || held_.count(name.key)) {
        reason = kSharingViolation;
        return TFileResult::Busy;
    }
    File& file = files_.at(name.key);
    if (expected && (!expected->exists || file.contents != expected->contents)) return TFileResult::Changed;
    std::string contents;
    if (!produce([&contents](std::string_view block) {
            contents.append(block);
            return true;
        })) {
        reason = kAccessDenied;
        return TFileResult::Failed;
    }
    file.contents = std::move(contents);
    file.written = now_;
    ++replaceCount_;
    ++inPlaceCount_;
    return TFileResult::Done;
}

std::string MemoryFileSystem::TemporaryName(const std::string& folderKey) {
    const std::string& folder = folders_.at(folderKey);
    std::string temp;
    do {
        temp = folder + (EndsWithBackslash(folder) ? "" : "\\") + "~sorbel" + std::to_string(++tempCounter_) + ".tmp";
    } while (files_.count(Fold(temp)) || FolderExists(Fold(temp)));
    return temp;
}

TFileResult MemoryFileSystem::MoveTemporary(const std::string& temp, const Name& target,
                                            const TFileExpectation* expected, std::string& reason) {
    if (locked_.count(target.key) || held_.count(target.key)) {
        reason = kSharingViolation;
        return TFileResult::Busy;
    }
    auto file = files_.find(target.key);
    const bool exists = file != files_.end();
    if (expected && (expected->exists != exists || (exists && file->second.contents != expected->contents)))
        return TFileResult::Changed;
    // A move is refused as it is where the target is held open: Windows
    // gives the same words for both, so it is tried again as well.
    if (noDeletes_.count(target.parentKey)) {
        reason = kAccessDenied;
        return TFileResult::Busy;
    }
    auto moved = files_.find(Fold(temp));
    if (!exists) file = files_.emplace(target.key, File{target.full, {}}).first;
    file->second.contents = std::move(moved->second.contents);
    file->second.written = now_;
    files_.erase(moved);
    ++replaceCount_;
    return TFileResult::Done;
}

void MemoryFileSystem::RemoveTemporary(const std::string& temp, std::string& reason) {
    Name name = Require(temp);
    if (noDeletes_.count(name.parentKey))
        NoteTemporaryFileLeft(reason, temp);
    else
        files_.erase(name.key);
}

bool MemoryFileSystem::DeleteFile(const std::string& path) {
    std::optional<Name> name = Resolve(path);
    if (!name || !files_.count(name->key) || readOnly_.count(name->key) || locked_.count(name->key) ||
        held_.count(name->key) || noDeletes_.count(name->parentKey))
        return false;
    files_.erase(name->key);
    return true;
}

bool MemoryFileSystem::FileExists(const std::string& path) {
    std::optional<Name> name = Resolve(path);
    return name && files_.count(name->key);
}

TSameFile MemoryFileSystem::SameFile(const std::string& a, const std::string& b) {
    // What one look at a path finds: nothing there, and its identity if it
    // has one.
    struct Look {
        bool missing = false;
        std::optional<std::string> identity;
    };
    const auto look = [this](const std::optional<Name>& name) {
        Look found;
        if (!name) return found;
        found.missing = !files_.count(name->key) && !FolderExists(name->key);
        if (!found.missing && !Covered(noIdentity_, name->key)) found.identity = IdentityOf(name->key);
        return found;
    };
    const std::optional<Name> first = Resolve(a);
    const std::optional<Name> second = Resolve(b);
    const Look one = look(first);
    if (betweenSameFileLooks) betweenSameFileLooks();
    const Look other = look(second);
    std::optional<bool> sameIdentity;
    if (one.identity && other.identity) sameIdentity = *one.identity == *other.identity;
    return JudgeSameFile(one.missing, other.missing, sameIdentity, first && second && first->key == second->key);
}

bool MemoryFileSystem::Covered(const std::set<std::string>& marked, const std::string& key) {
    for (const std::string& folder : marked) {
        if (key == folder) return true;
        const std::string below = EndsWithBackslash(folder) ? folder : folder + "\\";
        if (key.compare(0, below.size(), below) == 0) return true;
    }
    return false;
}

std::string MemoryFileSystem::IdentityOf(const std::string& key) {
    if (Covered(unstableIdentity_, key)) return key + "#" + std::to_string(++identityLooks_);
    auto shared = sharedIdentities_.find(key);
    return shared == sharedIdentities_.end() ? key : shared->second;
}

std::string MemoryFileSystem::CurrentDirectory() { return currentDirectory_; }

std::string MemoryFileSystem::FullPathName(const std::string& path) {
    std::optional<Name> name = Resolve(path);
    if (!name) return path;
    const bool folder = !path.empty() && IsSeparatorAt(path, LastCharAt(path));
    return folder && !EndsWithBackslash(name->full) ? name->full + "\\" : name->full;
}

void MemoryFileSystem::Sleep(int milliseconds) {
    now_ += milliseconds;
    ++sleepCount_;
    if (onSleep) onSleep(now_);
}

void MemoryFileSystem::Put(const std::string& path, std::string_view contents) {
    Name name = Require(path);
    if (FolderExists(name.key) || name.parentKey.empty())
        throw std::invalid_argument("a folder stands where a file is wanted: " + path);
    MakeFolders(Require(name.full + "\\.."));
    auto file = files_.find(name.key);
    if (file == files_.end()) file = files_.emplace(name.key, File{name.full, {}}).first;
    file->second.contents.assign(contents);
    file->second.written = -kLongAgo;
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
    if (name.full.size() >= 2 && name.full[1] == ':') driveDirectories_[Fold(name.full.substr(0, 2))] = name.full;
}

void MemoryFileSystem::Mark(std::set<std::string>& marked, const std::string& path, bool on) const {
    std::string key = Require(path).key;
    if (on)
        marked.insert(std::move(key));
    else
        marked.erase(key);
}

void MemoryFileSystem::SetReadOnly(const std::string& path, bool readOnly) { Mark(readOnly_, path, readOnly); }
void MemoryFileSystem::SetLocked(const std::string& path, bool locked) { Mark(locked_, path, locked); }
void MemoryFileSystem::SetHeld(const std::string& path, bool held) { Mark(held_, path, held); }
void MemoryFileSystem::SetNoNewFiles(const std::string& folder, bool refuse) { Mark(noNewFiles_, folder, refuse); }
void MemoryFileSystem::SetNoDeletes(const std::string& folder, bool refuse) { Mark(noDeletes_, folder, refuse); }

void MemoryFileSystem::SetNoIdentity(const std::string& path, bool none) { Mark(noIdentity_, path, none); }
void MemoryFileSystem::SetUnstableIdentity(const std::string& path, bool unstable) {
    Mark(unstableIdentity_, path, unstable);
}

void MemoryFileSystem::ShareIdentity(const std::string& a, const std::string& b) {
    sharedIdentities_[Require(b).key] = IdentityOf(Require(a).key);
}

void MemoryFileSystem::SetWrittenAt(const std::string& path, std::int64_t when) {
    auto file = files_.find(Require(path).key);
    if (file == files_.end()) throw std::invalid_argument("no such file: " + path);
    file->second.written = when;
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
