// Fuzzes the line splitting of playlists.  Every byte of the input must come
// back in the lines, in order, with only the line ends taken out; no line
// holds a CR or LF; and the lines written out with CR LF split back into
// the same lines.
//
// Literals here stay ASCII: this file is built with clang, which cannot store
// them as code page 932.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/stringlist.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = fw::SplitLines(text);
    Check(lines.empty() == text.empty());

    // Walk the input alongside the lines: each line is the next bytes of the
    // input, followed by exactly one line end (or the end of the input).
    std::size_t pos = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        Check(line.find_first_of("\r\n") == std::string::npos);
        Check(text.substr(pos, line.size()) == line);
        pos += line.size();
        if (pos == text.size()) {
            Check(i + 1 == lines.size());
            break;
        }
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')
            pos += 2;
        else
            pos += 1;
    }
    Check(pos == text.size());

    fw::TStrings list;
    list.SetText(text);
    Check(list.Lines() == lines);
    const std::string written = list.Text();
    std::size_t expectedSize = 0;
    for (const std::string& line : lines) expectedSize += line.size() + 2;
    Check(written.size() == expectedSize);
    Check(fw::SplitLines(written) == lines);
    return 0;
}
