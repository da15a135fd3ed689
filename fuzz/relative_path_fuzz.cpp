// Fuzzes ExtractRelativePath with a base and a destination separated by the
// first line feed of the input.  Besides running clean under the sanitizers,
// every result that is not the destination itself must be a plain relative
// path that, taken from the base's folder, names the same file.
//
// Literals here stay ASCII: this file is built with clang, which cannot store
// them as code page 932.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/paths.h"
#include "framework/text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The path as Windows resolves it, in one spelling per file: empty names and
// "." dropped, ".." taken back but never above the root ("X:" or
// "\\server\share"), single-byte letters upper-cased, a final "\" when it
// names a folder.  Empty when the path has no root.
std::string Resolve(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); i += fw::CharLength(path, i)) {
        if (fw::CharLength(path, i) == 2) {
            parts.back().append(path.substr(i, 2));
        } else if (path[i] == '\\') {
            parts.emplace_back();
        } else {
            const char c = path[i];
            parts.back() += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    std::string root = parts[0];
    std::size_t first = 1;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    if (split == std::string_view::npos) return 0;
    const std::string_view base = input.substr(0, split);
    const std::string_view dest = input.substr(split + 1);

    const std::string result = fw::ExtractRelativePath(base, dest);
    if (result == dest) return 0;

    // A plain relative path: no root, no drive, no empty name.
    Check(!result.empty() && result[0] != '\\');
    for (std::size_t i = 0; i < result.size(); i += fw::CharLength(result, i)) {
        Check(result[i] != ':');
        Check(!(result[i] == '\\' && i + 1 < result.size() && result[i + 1] == '\\'));
    }
    // Taken from the base's folder, it names the destination's file.
    const std::string baseFolder(base.substr(0, base.size() - fw::ExtractFileName(base).size()));
    const std::string expected = Resolve(dest);
    Check(!expected.empty() && Resolve(baseFolder + result) == expected);
    // Converting an already converted line changes nothing.
    Check(fw::ExtractRelativePath(base, result) == result);
    return 0;
}
