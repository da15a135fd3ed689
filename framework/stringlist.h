// A list of lines, the role of the framework's string list.  A line is a byte
// string: every byte passes through unchanged, NUL included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class TStrings {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_[static_cast<std::size_t>(index)]; }
    std::string& operator[](int index) { return lines_[static_cast<std::size_t>(index)]; }

    void Clear() { lines_.clear(); }
    void Add(std::string line) { lines_.push_back(std::move(line)); }

    // Replaces the lines with those of `text`: CR LF, a lone LF or a lone CR
    // ends a line; a last line without a line end is still a line; a line
    // end at the very end adds no empty line.
    void SetText(std::string_view text);

    // Every line followed by CR LF.
    std::string Text() const;

    // Replaces the lines with those of the file; throws EFOpenError when the
    // file cannot be read, leaving the lines as they were.
    void LoadFromFile(const std::string& fileName);

    // Writes Text() to the file through a temporary file, replacing it in
    // one step; throws EFCreateError naming the file and the system's reason
    // when it cannot be written, leaving any existing file untouched.
    void SaveToFile(const std::string& fileName) const;

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// The lines of `text`, split as TStrings::SetText splits them.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace fw
