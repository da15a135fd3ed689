// Code page 932 (Shift-JIS) text.  Every string in the programs is a byte
// string in this code page; a double-byte character is a lead byte followed by
// a trail byte, and a trail byte may have the value of an ASCII character,
// the backslash 0x5C among them.  Path code must never take such a trail byte
// for a separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

enum TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };

constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

constexpr bool IsTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length in bytes of the character that starts at `index`: 2 for a lead byte
// followed by a valid trail byte, otherwise 1.
inline std::size_t CharLength(std::string_view text, std::size_t index) {
    return index + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[index])) &&
                   IsTrailByte(static_cast<unsigned char>(text[index + 1]))
               ? 2
               : 1;
}

// Role of the byte at `index`, scanning characters from the start of `text`.
TMbcsByteType ByteType(std::string_view text, std::size_t index);

// Index of the last single-byte character of `text` that is one of
// `delimiters`, or npos when there is none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view text);

// True when the last character of `text` is a single-byte backslash.
bool EndsWithBackslash(std::string_view text);

// An ASCII small letter as its capital; every other byte as it is.
constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Compares two texts byte for byte, except that ASCII letters that stand as
// single-byte characters match without regard to case.  Trail bytes are never
// folded, so two different double-byte characters never compare equal.  For
// names in settings files; file names compare with SameFileName.
bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b);

// The trail byte of the capital of the double-byte character (lead, trail)
// when that character is a small letter that Windows file systems fold:
// full-width Latin ａ-ｚ (82 81-9A), Greek α-ω (83 BF-D6) and Cyrillic а-я
// with ё (84 70-7E and 84 80-91, around 7F, which is no trail byte).  A capital
// shares the lead byte of its small letter.  Every other character gives its
// own trail byte back: kana, kanji and full-width digits have no case.
constexpr unsigned char UpperTrailByte(unsigned char lead, unsigned char trail) {
    switch (lead) {
    case 0x82: return trail >= 0x81 && trail <= 0x9A ? static_cast<unsigned char>(trail - 0x21) : trail;
    case 0x83: return trail >= 0xBF && trail <= 0xD6 ? static_cast<unsigned char>(trail - 0x20) : trail;
    case 0x84:
        if (trail >= 0x70 && trail <= 0x7E) return static_cast<unsigned char>(trail - 0x30);
        return trail >= 0x80 && trail <= 0x91 ? static_cast<unsigned char>(trail - 0x31) : trail;
    default: return trail;
    }
}

// Compares two file names, or paths, as Windows compares them: byte for byte,
// except that letters match without regard to case, both the single-byte
// ASCII letters and the double-byte letters of UpperTrailByte.  A trail byte
// is never taken for a single-byte letter.
bool SameFileName(std::string_view a, std::string_view b);

}  // namespace fw
