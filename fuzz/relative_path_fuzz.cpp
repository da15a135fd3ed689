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
#include "tests/support/resolve_windows_path.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

using reference::ResolveWindowsPath;

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
    const std::string expected = ResolveWindowsPath(dest);
    Check(!expected.empty() && ResolveWindowsPath(baseFolder + result) == expected);
    // Converting an already converted line changes nothing.
    Check(fw::ExtractRelativePath(base, result) == result);
    return 0;
}
