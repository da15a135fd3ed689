// A reference for checks of relative paths: a path resolved the way Windows
// resolves it, written independently of the code under test.  Shared by the
// property test and the fuzz target; its literals stay ASCII, since the fuzz
// target is built with clang.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/text.h"

namespace reference {

// The small letters of code page 932 that Windows file systems fold, as
// ranges of double-byte codes, and how far below each lies its capital:
// full-width Latin, Greek, and Cyrillic (whose small letters skip 84 7F).
struct SmallLetters {
    unsigned first, last, distance;
};
constexpr SmallLetters kDoubleByteSmallLetters[] = {
    {0x8281, 0x829A, 0x21}, {0x83BF, 0x83D6, 0x20}, {0x8470, 0x847E, 0x30}, {0x8480, 0x8491, 0x31}};

// A double-byte character in its upper case.
inline std::string UpperDoubleByte(std::string_view character) {
    unsigned code = static_cast<unsigned char>(character[0]) * 256u + static_cast<unsigned char>(character[1]);
    for (const SmallLetters& range : kDoubleByteSmallLetters)
        if (code >= range.first && code <= range.last) code -= range.distance;
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// One spelling per file: empty names and "." dropped, ".." taken back (never
// above the root, "X:" or "\\server\share"), letters in upper case (ASCII
// and the double-byte ones above), and a final "\" when the path names a
// folder.  Empty for a path without a root.
inline std::string ResolveWindowsPath(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); i += fw::CharLength(path, i)) {
        const char c = path[i];
        if (fw::CharLength(path, i) == 2)
            parts.back().append(UpperDoubleByte(path.substr(i, 2)));
        else if (c == '\\')
            parts.emplace_back();
        else
            parts.back() += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::size_t first = 1;
    std::string root = parts[0];
    if (parts[0].empty() && parts.size() > 4 && parts[1].empty()) {
        root = "\\\\" + parts[2] + "\\" + parts[3];
        first = 4;
    } else if (parts[0].size() != 2 || parts[0][1] != ':' || parts.size() == 1) {
        return {};
    }
    std::vector<std::string> names;
    for (std::size_t i = first; i < parts.size(); ++i) {
        if (parts[i] == ".." && !names.empty()) names.pop_back();
        if (!parts[i].empty() && parts[i] != "." && parts[i] != "..") names.push_back(parts[i]);
    }
    for (const std::string& name : names) root += "\\" + name;
    const std::string& last = parts.back();
    return root + (last.empty() || last == "." || last == ".." ? "\\" : "");
}

}  // namespace reference
