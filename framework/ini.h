// INI files as the platform's profile functions read them, with writes that
// change nothing but the one value written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/files.h"

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
enum class TIniWrite {
    Written,
    Unchanged,   // the file already held every value: nothing was written
    Unreadable,  // the file is there but cannot be read: never overwritten
    Busy,        // another program held the file longer than the patience given
    Refused,     // the file system refused the write; the file is as it was
};

// Sets `values` (key and value) in `section` of the INI file on disk, each as
// IniSetValue does, so that every other byte of the file stays.  The edit is
// made on the file as it is when it is replaced: a file that another program
// changed after it was read is read again and the edit made anew, and a file
// that another program holds is waited for, up to `patienceMs` in all.  A
// file that holds every value already is not written.  Where no temporary
// file can be made beside it, the file is rewritten in place under the same
// rule.  A missing file is created.  `reason` tells why a write failed;
// `written` (when given) receives the contents the file now has.
TIniWrite IniWriteValues(const std::string& fileName, std::string_view section,
                         const std::vector<std::pair<std::string_view, std::string>>& values, std::string& reason,
                         std::string* written = nullptr, int patienceMs = kBusyPatienceMs);

// An INI file on disk.  Opening touches nothing; the file is read at the
// first read operation and that one reading answers every read of the
// object's life, so one handler run sees one consistent state of the file.
// A missing file reads as an empty one.  A write goes through
// IniWriteValues.
class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // How long the first read waits for a file that another program holds
    // (0 by default: the reads then give their defaults).
    void SetReadPatience(int milliseconds) { readPatience_ = milliseconds; }
    // True when the file is there but another program held it, so that it
    // could not be read: the reads give their defaults and tell nothing.
    bool Busy();
    // How long ago the file read was last written (kLongAgo when unknown,
    // missing or unread).
    std::int64_t WrittenAgoMs() {
        Contents();
        return writtenAgoMs_;
    }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback);
    // Decimal with optional sign, 32-bit; anything else gives `fallback`.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback);
    // An integer; 0 is false, any other integer true; anything else gives `fallback`.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback);

    // Returns false when the value could not be written (the file refused,
    // unreadable, or held by another program for longer than a second); the
    // file is then as it was.
    bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

private:
    const std::string& Contents();
    // The first block of `section` in the contents, header included; the
    // last one asked for is kept, so the keys of one section read in a row
    // do not each scan the whole file.
    std::string_view SectionBlock(std::string_view section);

    std::string fileName_;
    int readPatience_ = 0;
    bool busy_ = false;
    std::int64_t writtenAgoMs_ = kLongAgo;
    std::optional<std::string> contents_;
    std::string blockSection_;
    std::optional<std::string_view> block_;
};

}  // namespace fw
