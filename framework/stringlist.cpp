#include "framework/stringlist.h"

#include <cstring>

#include "framework/files.h"
#include "framework/sysutils.h"

namespace fw {

namespace {

// The error messages are spelled as code page 932 bytes so that this file
// holds only ASCII literals and builds the same with every compiler (the
// fuzz targets are built with clang, which cannot re-encode literals).
constexpr const char kFile[] = "\x83\x74\x83\x40\x83\x43\x83\x8B ";  // "ファイル "
constexpr const char kCannotOpen[] =                                   // " を開けません。"
    " \x82\xF0\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42";
constexpr const char kCannotCreate[] =                                 // " を作成できません。"
    " \x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42";

// Position of the next CR or LF at or after `from`, or `end`.  Two memchr
// scans whose results are kept until passed, so a long text is walked once
// at memchr speed rather than byte by byte.
class LineEndFinder {
public:
    LineEndFinder(const char* begin, const char* end)
        : end_(end), nextCr_(Find(begin, '\r')), nextLf_(Find(begin, '\n')) {}

    const char* Next(const char* from) {
        if (nextCr_ != end_ && nextCr_ < from) nextCr_ = Find(from, '\r');
        if (nextLf_ != end_ && nextLf_ < from) nextLf_ = Find(from, '\n');
        return nextCr_ < nextLf_ ? nextCr_ : nextLf_;
    }

private:
    const char* Find(const char* from, char c) const {
        const void* found = std::memchr(from, c, static_cast<std::size_t>(end_ - from));
        return found ? static_cast<const char*>(found) : end_;
    }

    const char* end_;
    const char* nextCr_;
    const char* nextLf_;
};

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    const char* p = text.data();
    const char* const end = p + text.size();

    // Counting first lets the vector be sized once; a playlist may have a
    // million lines.
    std::size_t count = 0;
    {
        LineEndFinder finder(p, end);
        for (const char* q = p; q < end;) {
            const char* eol = finder.Next(q);
            ++count;
            if (eol == end) break;
            q = eol + ((*eol == '\r' && eol + 1 < end && eol[1] == '\n') ? 2 : 1);
        }
    }
    lines.reserve(count);

    LineEndFinder finder(p, end);
    while (p < end) {
        const char* eol = finder.Next(p);
        lines.emplace_back(p, static_cast<std::size_t>(eol - p));
        if (eol == end) break;
        p = eol + ((*eol == '\r' && eol + 1 < end && eol[1] == '\n') ? 2 : 1);
    }
    return lines;
}

void TStrings::SetText(std::string_view text) { lines_ = SplitLines(text); }

std::string TStrings::Text() const {
    std::size_t size = 0;
    for (const std::string& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines_) {
        text.append(line);
        text.append("\r\n", 2);
    }
    return text;
}

void TStrings::LoadFromFile(const std::string& fileName) {
    std::string contents;
    std::string reason;
    if (!Files().ReadFile(fileName, contents, reason))
        throw EFOpenError(kFile + fileName + kCannotOpen + "\n" + reason);
    // Split before assigning, so that a failure leaves the old lines.
    std::vector<std::string> lines = SplitLines(contents);
    lines_.swap(lines);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    std::string reason;
    if (!Files().ReplaceFile(fileName, Text(), reason))
        throw EFCreateError(kFile + fileName + kCannotCreate + "\n" + reason);
}

}  // namespace fw
