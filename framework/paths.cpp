#include "framework/paths.h"

#include <array>
#include <vector>

#include "framework/text.h"

namespace fw {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Index of the first single-byte backslash at or after `from` (which must
// start a character), or npos.  Stepping a character at a time never lands
// on a trail byte, and a backslash is never a lead byte.
std::size_t FindBackslash(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == '\\') return i;
    }
    return npos;
}

// True for a name that Windows takes exactly as written, so that comparing
// its bytes tells what Windows would tell.  Windows strips a final dot or
// blank, gives "/" and ":" meanings of their own, rejects wildcards, quotes,
// pipes and control bytes, and may read a broken double-byte sequence in
// more than one way; a name with any of these makes a relative form
// uncertain.  "." and ".." are handled by the caller before this test.
constexpr bool IsSpecialByte(unsigned char c) {
    switch (c) {
    case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|': return true;
    default: return c < 0x20;
    }
}

bool IsPlainName(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t length = CharLength(name, i);
        if (length == 1 && (IsLeadByte(c) || IsSpecialByte(c))) return false;
        i += length;
    }
    return true;
}

// True when the last name of a base names a file in the folder before it,
// however Windows spells that file: only the folder takes part in a
// relative form, so a trailing dot or blank, which Windows drops, or a
// character it would refuse at the write, changes nothing here.  A "/"
// would add a folder, a ":" makes a drive or a stream of its own, and an
// empty name, "." or ".." name no file.
bool NamesAFileInItsFolder(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/:") == std::string_view::npos;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of the drive at the start of `path`: "X:" for a drive letter,
// "\\server\share" for a network path; 0 when it has none.
std::size_t DriveLength(std::string_view path) {
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return 2;
    if (!path.starts_with("\\\\")) return 0;
    const std::size_t serverEnd = FindBackslash(path, 2);
    if (serverEnd == npos) return 0;
    std::size_t shareEnd = FindBackslash(path, serverEnd + 1);
    if (shareEnd == npos) shareEnd = path.size();
    if (!IsPlainName(path.substr(2, serverEnd - 2)) ||
        !IsPlainName(path.substr(serverEnd + 1, shareEnd - serverEnd - 1)))
        return 0;
    return shareEnd;
}

// Applies one name of a folder part to the folder names found so far, the
// way Windows normalises a path: empty names and "." change nothing, ".."
// goes up (at the root it stays there).  False for a name that is not plain.
bool ApplyName(std::string_view name, std::vector<std::string_view>& names) {
    if (name.empty() || name == ".") return true;
    if (name == "..") {
        if (!names.empty()) names.pop_back();
        return true;
    }
    if (!IsPlainName(name)) return false;
    names.push_back(name);
    return true;
}

// Splits a rooted path (after its drive, starting with "\") into the
// normalised names of its folders and its last name.  False when a name
// makes the path uncertain.
bool SplitRooted(std::string_view rest, std::vector<std::string_view>& folders, std::string_view& last) {
    folders.clear();
    std::size_t start = 1;
    for (std::size_t end; (end = FindBackslash(rest, start)) != npos; start = end + 1) {
        if (!ApplyName(rest.substr(start, end - start), folders)) return false;
    }
    last = rest.substr(start);
    return true;
}

}  // namespace

std::string ExtractFileName(std::string_view path) {
    const std::size_t last = LastDelimiter("\\:", path);
    return std::string(last == npos ? path : path.substr(last + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::size_t last = LastDelimiter("\\:", path);
    if (last == npos) return {};
    // A final backslash goes, except at a root: the first character, or
    // after a drive colon or another (single-byte) backslash.
    if (path[last] == '\\' && last > 0 && LastDelimiter("\\:", path.substr(0, last)) != last - 1)
        return std::string(path.substr(0, last));
    return std::string(path.substr(0, last + 1));
}

TRelativePathBase::TRelativePathBase(std::string_view baseName) {
    const std::size_t driveLength = DriveLength(baseName);
    const std::string_view rest = baseName.substr(driveLength);
    // Without a root after the drive ("C:dir\x") a path depends on the
    // drive's current folder, which is not known here.
    if (driveLength == 0 || !rest.starts_with('\\')) return;
    std::vector<std::string_view> folders;
    std::string_view file;
    if (!SplitRooted(rest, folders, file) || !NamesAFileInItsFolder(file)) return;
    drive_ = baseName.substr(0, driveLength);
    folders_.assign(folders.begin(), folders.end());
}

namespace {

// What a byte of a destination's names can be, for the scan below.
enum ByteClass : unsigned char { kOrdinary, kSeparator, kSpecial, kLead };

constexpr auto kByteClasses = [] {
    std::array<ByteClass, 256> classes{};
    for (unsigned c = 0; c < 256; ++c) {
        const auto byte = static_cast<unsigned char>(c);
        classes[c] = c == '\\' ? kSeparator : IsSpecialByte(byte) ? kSpecial : IsLeadByte(byte) ? kLead : kOrdinary;
    }
    return classes;
}();

constexpr auto kTrailBytes = [] {
    std::array<bool, 256> trail{};
    for (unsigned c = 0; c < 256; ++c) trail[c] = IsTrailByte(static_cast<unsigned char>(c));
    return trail;
}();

// The end of the name that starts at `i`: the index of the single-byte
// backslash after it, or the end of `text`; npos when the name holds a
// special byte or a lead byte without its trail byte.
inline std::size_t NameEnd(const char* text, std::size_t i, std::size_t size) {
    while (i < size) {
        const ByteClass kind = kByteClasses[static_cast<unsigned char>(text[i])];
        if (kind == kOrdinary) {
            ++i;
        } else if (kind == kLead && i + 1 < size && kTrailBytes[static_cast<unsigned char>(text[i + 1])]) {
            i += 2;
        } else {
            return kind == kSeparator ? i : npos;
        }
    }
    return size;
}

bool IsDots(const char* name, std::size_t length) {
    return (length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.');
}

}  // namespace

bool TRelativePathBase::AppendRelativePath(std::string_view destName, std::string& out) const {
    if (drive_.empty()) return false;
    std::size_t destDrive = 2;
    if (drive_.size() == 2) {
        // "X:": the destination's drive matches when it is the same letter.
        if (destName.size() < 2 || destName[1] != ':' || !IsAsciiLetter(destName[0]) ||
            FoldAscii(destName[0]) != FoldAscii(drive_[0]))
            return false;
    } else {
        destDrive = DriveLength(destName);
        if (destDrive == 0 || !SameFileName(drive_, destName.substr(0, destDrive))) return false;
    }
    const std::string_view rest = destName.substr(destDrive);
    if (!rest.starts_with('\\')) return false;

    // One pass over the names after the root, each folder name compared
    // with the base's folder at its depth where it lies, as long as all
    // before it matched.  A line that needs normalising (an empty name, "."
    // or "..") is rare and goes the general way.
    const char* const text = rest.data();
    const std::size_t size = rest.size();
    std::size_t common = 0;  // leading folder names shared with the base
    std::size_t depth = 0;   // folder names so far
    std::size_t tail = npos; // where the first name not shared with the base starts
    std::size_t start = 1;
    for (;;) {
        const std::size_t end = NameEnd(text, start, size);
        if (end == npos) return false;
        const std::size_t length = end - start;
        if (end == size) {
            if (IsDots(text + start, length)) return AppendNormalised(rest, out);
            if (length > 0 && (text[end - 1] == '.' || text[end - 1] == ' ')) return false;
            break;
        }
        if (length == 0 || IsDots(text + start, length)) return AppendNormalised(rest, out);
        // A trail byte is never a dot or a blank, so the last byte tells.
        if (text[end - 1] == '.' || text[end - 1] == ' ') return false;
        if (common == depth && depth < folders_.size() && folders_[depth].size() == length &&
            SameFileName(folders_[depth], rest.substr(start, length)))
            ++common;
        else if (tail == npos)
            tail = start;
        ++depth;
        start = end + 1;
    }
    if (tail == npos) tail = start;

    // Steps up, then the line's own text from its first name not shared on.
    const std::size_t before = out.size();
    for (std::size_t up = common; up < folders_.size(); ++up) out.append("..\\", 3);
    out.append(text + tail, size - tail);
    // The base's own folder: "." keeps the line from turning blank.
    if (out.size() == before) out.append(".\\", 2);
    return true;
}

bool TRelativePathBase::AppendNormalised(std::string_view rest, std::string& out) const {
    std::string_view destLast;
    if (!SplitRooted(rest, destFolders_, destLast)) return false;
    // A destination whose last name is empty, "." or ".." names a folder.
    const bool destIsFolder = destLast.empty() || destLast == "." || destLast == "..";
    if (destIsFolder) {
        ApplyName(destLast, destFolders_);
        destLast = {};
    } else if (!IsPlainName(destLast)) {
        return false;
    }

    std::size_t common = 0;
    while (common < folders_.size() && common < destFolders_.size() &&
           SameFileName(folders_[common], destFolders_[common]))
        ++common;

    const std::size_t before = out.size();
    for (std::size_t up = common; up < folders_.size(); ++up) out.append("..\\", 3);
    for (std::size_t i = common; i < destFolders_.size(); ++i) {
        out.append(destFolders_[i]);
        out += '\\';
    }
    out.append(destLast);
    if (out.size() == before) out.append(".\\", 2);
    return true;
}

std::string TRelativePathBase::RelativePath(std::string_view destName) const {
    std::string result;
    if (!AppendRelativePath(destName, result)) return std::string(destName);
    return result;
}

std::string ExtractRelativePath(std::string_view baseName, std::string_view destName) {
    return TRelativePathBase(baseName).RelativePath(destName);
}

}  // namespace fw
