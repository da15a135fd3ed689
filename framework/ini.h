// INI files as the platform's profile functions read them, with writes that
// change nothing but the one value written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw {

// Reading rules (those of the Windows profile functions): section and key
// names match without regard to ASCII case; blanks and tabs around names and
// values are trimmed; one pair of matching outer quotes (' or ") is removed
// from a value of two or more characters; a line whose first non-blank
// character is ";" is a comment; a section name ends at its first "]"; lines
// without "=" are no keys; the first of duplicate keys wins, and only the
// first block of a section that appears twice is searched; CR LF, LF and CR
// all end lines.
//
// The value of `key` in `section` of the INI text, or nothing.
std::optional<std::string_view> IniFindValue(std::string_view text, std::string_view section,
                                             std::string_view key);

// `text` with `key` of `section` set to `value`: an existing key's value is
// replaced in its line (keeping the line's spelling, spacing and line end);
// a new key goes after the last key of the section's first block; a new
// section is added at the end of the file.  Every other byte stays.
std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// How a write of an INI file on disk ended.
enum class TIniWrite { Written, Unreadable, Refused };

// Sets `values` (key and value) in `section` of the INI file on disk, each as
// IniSetValue does.  The file is read afresh, so that a value another program
// stored a moment ago is kept, and replaced in one step.  A file that is
// there but cannot be read is never overwritten (its other settings would be
// lost): Unreadable.  A replacement the file system refuses: Refused, with the
// file as it was.  `reason` tells why; `written` (when given) receives the
// new contents.
TIniWrite IniWriteValues(const std::string& fileName, std::string_view section,
                         const std::vector<std::pair<std::string_view, std::string>>& values, std::string& reason,
                         std::string* written = nullptr);

// An INI file on disk.  Opening touches nothing; the file is read at the
// first read operation and that one reading answers every read of the
// object's life, so one handler run sees one consistent state of the file.
// A write reads the file afresh, changes the one value and replaces the file
// in one step.
class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback);
    // Decimal with optional sign, 32-bit; anything else gives `fallback`.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback);
    // An integer; 0 is false, any other integer true; anything else gives `fallback`.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback);

    // Returns false when the file system refused the write; the file is then
    // as it was.
    bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

private:
    const std::string& Contents();
    // The first block of `section` in the contents, header included; the
    // last one asked for is kept, so the keys of one section read in a row
    // do not each scan the whole file.
    std::string_view SectionBlock(std::string_view section);

    std::string fileName_;
    std::optional<std::string> contents_;
    std::string blockSection_;
    std::optional<std::string_view> block_;
};

}  // namespace fw
