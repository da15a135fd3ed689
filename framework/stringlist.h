// A list of lines, the role of the framework's string list.  A line is a byte
// string: every byte passes through unchanged, NUL included.
//
// A playlist may have a million lines, so the list does not hold a string per
// line.  The loaded text stays in one buffer and each line is a span of it
// (eight bytes: where it lies and how long it is).  A line that is replaced
// takes the new text in place when it is no longer than the old; otherwise,
// like an added line, it goes to a second buffer of the list's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fw {

class TStrings {
public:
    int Count() const { return static_cast<int>(spans_.size()); }

    // The line at `index`.  The view holds until the list next changes.
    std::string_view operator[](int index) const {
        const LineSpan span = spans_[static_cast<std::size_t>(index)];
        const char* base = (span.length & kAddedBit) != 0 ? added_.data() : text_.data();
        std::size_t length = span.length & kLengthMask;
        if (length == kLongLength) length = longLengths_.at(static_cast<std::size_t>(index));
        return {base + span.offset, length};
    }

    // Replaces the line at `index` (the framework's Strings[index] = line).
    void Put(int index, std::string_view line);

    void Clear();
    void Add(std::string_view line);

    // Replaces the lines with those of `text`: CR LF, a lone LF or a lone CR
    // ends a line; a last line without a line end is still a line; a line
    // end at the very end adds no empty line.
    void SetText(std::string_view text);

    // Every line followed by CR LF.
    std::string Text() const;

    // Text() handed to `write` in blocks of at most `blockSize` bytes (a
    // line longer than that comes in a block of its own), so that a long
    // list is never held twice.  Stops and returns false as soon as `write`
    // does.
    static constexpr std::size_t kBlockSize = 256 * 1024;
    bool WriteText(const std::function<bool(std::string_view block)>& write, std::size_t blockSize = kBlockSize) const;

    // Replaces the lines with those of the file; throws EFOpenError when the
    // file cannot be read, leaving the lines as they were, or when it is too
    // large to hold, leaving the list empty.
    void LoadFromFile(const std::string& fileName);

    // Writes Text() to the file through a temporary file, replacing it in
    // one step, block by block (WriteText); throws EFCreateError naming the
    // file and the system's reason (or the memory running out) when it
    // cannot be written, leaving any existing file untouched.
    void SaveToFile(const std::string& fileName) const;

    // A copy of every line.
    std::vector<std::string> Lines() const;

private:
    // A span: where a line lies in its buffer, and its length, whose top
    // bit tells the buffer (added_ when set, else text_).  Two 32-bit
    // numbers, which a 32-bit program reads as cheaply as a 64-bit one: a
    // buffer holds at most 4 GiB, and a line of 2 GiB or more has
    // kLongLength there and its length in longLengths_.
    struct LineSpan {
        std::uint32_t offset;
        std::uint32_t length;
    };
    static constexpr std::uint32_t kAddedBit = std::uint32_t{1} << 31;
    static constexpr std::uint32_t kLengthMask = kAddedBit - 1;
    static constexpr std::size_t kLongLength = kLengthMask;
    static constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFu;

    LineSpan Span(bool added, std::size_t offset, std::size_t length, std::size_t index);
    // Replaces the list with the lines of text_.
    void Split();

    std::string text_;   // the text the lines were loaded from
    std::string added_;  // added lines, and replaced lines that outgrew their place
    std::size_t addedGarbage_ = 0;  // bytes of added_ no line uses any more
    std::vector<LineSpan> spans_;
    std::unordered_map<std::size_t, std::size_t> longLengths_;  // by line index
};

// The lines of `text`, split as TStrings::SetText splits them.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace fw
