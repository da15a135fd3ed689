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

// One spelling per file: empty names and "." dropped, ".." taken back (never
// above the root, "X:" or "\\server\share"), single-byte letters in upper
// case, and a final "\" when the path names a folder.  Empty for a path
// without a root.
inline std::string ResolveWindowsPath(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); i += fw::CharLength(path, i)) {
        const char c = path[i];
        if (fw::CharLength(path, i) == 2)
            parts.back().append(path.substr(i, 2));
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
