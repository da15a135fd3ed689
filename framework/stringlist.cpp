#include "framework/stringlist.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
constexpr const char kOutOfMemory[] =                                  // "メモリが足りません。"
    "\x83\x81\x83\x82\x83\x8A\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";

// Calls line(start, length) for each line of `text`, in order: CR LF, a lone
// LF or a lone CR ends a line, and a last line needs no line end.  One pass:
// sixteen bytes at a time are tested for CR and LF together, and only the
// line ends found are looked at one by one.
template <class F>
void ForEachLine(std::string_view text, F&& line) {
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t start = 0;  // of the line being read
    const auto lineEnd = [&](std::size_t at) {
        if (at < start) return;  // the LF of a CR LF, taken with its CR
        line(start, at - start);
        start = at + (data[at] == '\r' && at + 1 < size && data[at + 1] == '\n' ? 2 : 1);
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
        for (; ends != 0; ends &= ends - 1) lineEnd(i + static_cast<std::size_t>(__builtin_ctz(ends)));
    }
#endif
    for (; i < size; ++i)
        if (data[i] == '\r' || data[i] == '\n') lineEnd(i);
    if (start < size) line(start, size - start);
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](std::size_t start, std::size_t length) { lines.emplace_back(text.substr(start, length)); });
    return lines;
}

TStrings::LineSpan TStrings::Span(bool added, std::size_t offset, std::size_t length, std::size_t index) {
    if (length >= kLongLength) {
        longLengths_[index] = length;
        length = kLongLength;
    }
    return {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length) | (added ? kAddedBit : 0)};
}

void TStrings::Split() {
    if (text_.size() > kMaxOffset) throw std::length_error("TStrings: text too long");
    // A first guess of the line count, so that a long list rarely moves as
    // it grows; room reserved but never used is never touched either.
    spans_.reserve(text_.size() / 16 + 1);
    ForEachLine(text_, [&](std::size_t start, std::size_t length) {
        spans_.push_back(Span(false, start, length, spans_.size()));
    });
}

void TStrings::Clear() {
    std::string().swap(text_);
    std::string().swap(added_);
    addedGarbage_ = 0;
    std::vector<LineSpan>().swap(spans_);
    longLengths_.clear();
}

void TStrings::Add(std::string_view line) {
    if (added_.size() + line.size() > kMaxOffset) throw std::length_error("TStrings: lines too long");
    const std::size_t offset = added_.size();
    added_.append(line);
    spans_.push_back(Span(true, offset, line.size(), spans_.size()));
}

void TStrings::Put(int index, std::string_view line) {
    const auto i = static_cast<std::size_t>(index);
    LineSpan& span = spans_.at(i);
    const std::size_t oldLength = (*this)[index].size();
    const bool added = (span.length & kAddedBit) != 0;
    if ((span.length & kLengthMask) == kLongLength) longLengths_.erase(i);
    if (line.size() <= oldLength) {
        // In place.  memmove, since the new text may be part of the old.
        const std::size_t offset = span.offset;
        if (!line.empty()) std::memmove((added ? added_.data() : text_.data()) + offset, line.data(), line.size());
        if (added) addedGarbage_ += oldLength - line.size();
        span = Span(added, offset, line.size(), i);
        return;
    }
    if (added_.size() + line.size() > kMaxOffset) throw std::length_error("TStrings: lines too long");
    if (added) addedGarbage_ += oldLength;
    const std::size_t offset = added_.size();
    added_.append(line);  // safe when `line` lies in added_ itself
    span = Span(true, offset, line.size(), i);
    // Lines that keep outgrowing their places would leave added_ mostly
    // unused: once more than half of it is, it is written afresh.
    if (addedGarbage_ > 4096 && addedGarbage_ > added_.size() / 2) {
        std::string fresh;
        fresh.reserve(added_.size() - addedGarbage_);
        for (std::size_t n = 0; n < spans_.size(); ++n) {
            if ((spans_[n].length & kAddedBit) == 0) continue;
            const std::string_view text = (*this)[static_cast<int>(n)];
            spans_[n].offset = static_cast<std::uint32_t>(fresh.size());
            fresh.append(text);
        }
        added_.swap(fresh);
        addedGarbage_ = 0;
    }
}

void TStrings::SetText(std::string_view text) {
    std::string copy(text);  // `text` may be one of the lines
    Clear();
    text_ = std::move(copy);
    Split();
}

std::string TStrings::Text() const {
    std::string text;
    WriteText([&text](std::string_view block) {
        text.append(block);
        return true;
    });
    return text;
}

bool TStrings::WriteText(const std::function<bool(std::string_view block)>& write, std::size_t blockSize) const {
    // The block is filled in place: a line costs one copy, not a call of
    // the string's append for it and another for its line end.
    blockSize = std::max<std::size_t>(blockSize, 2);  // room for a line end
    std::string block(blockSize, '\0');
    char* const start = block.data();
    char* at = start;
    for (int i = 0; i < Count(); ++i) {
        const std::string_view line = (*this)[i];
        if (static_cast<std::size_t>(at - start) + line.size() + 2 > blockSize) {
            if (at != start && !write({start, static_cast<std::size_t>(at - start)})) return false;
            at = start;
            if (line.size() + 2 > blockSize) {
                // Too long for a block: written from where it lies.
                if (!write(line)) return false;
                *at++ = '\r';
                *at++ = '\n';
                continue;
            }
        }
        if (!line.empty()) std::memcpy(at, line.data(), line.size());
        at += line.size();
        *at++ = '\r';
        *at++ = '\n';
    }
    return at == start || write({start, static_cast<std::size_t>(at - start)});
}

std::vector<std::string> TStrings::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(spans_.size());
    for (int i = 0; i < Count(); ++i) lines.emplace_back((*this)[i]);
    return lines;
}

// A file too large to hold, in a 32-bit program's address space above all,
// fails to be read or split like any file that cannot be read: with an
// error that says so, never with a crash.
void TStrings::LoadFromFile(const std::string& fileName) {
    std::string contents;
    std::string reason;
    bool read = false;
    if (RanOutOfMemory([&] { read = Files().ReadFile(fileName, contents, reason); })) reason = kOutOfMemory;
    if (!read) throw EFOpenError(kFile + fileName + kCannotOpen + "\n" + reason);
    // The old lines go once the file has been read, before the new ones are
    // split: a long cassette is then held twice only while it is read.  So a
    // file that is read but cannot be split leaves the list empty.
    Clear();
    text_ = std::move(contents);
    if (RanOutOfMemory([this] { Split(); })) {
        Clear();
        throw EFOpenError(kFile + fileName + kCannotOpen + "\n" + kOutOfMemory);
    }
}

void TStrings::SaveToFile(const std::string& fileName) const {
    std::string reason;
    const auto produce = [this](const FileSystem::BlockWriter& write) { return WriteText(write); };
    bool saved = false;
    if (RanOutOfMemory([&] { saved = Files().ReplaceFileFrom(fileName, produce, reason); })) reason = kOutOfMemory;
    if (!saved) throw EFCreateError(kFile + fileName + kCannotCreate + "\n" + reason);
}

}  // namespace fw
