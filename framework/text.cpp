#include "framework/text.h"

namespace fw {

TMbcsByteType ByteType(std::string_view text, std::size_t index) {
    std::size_t i = 0;
    while (i < index) {
        std::size_t length = CharLength(text, i);
        if (i + length > index) return mbTrailByte;
        i += length;
    }
    return CharLength(text, index) == 2 ? mbLeadByte : mbSingleByte;
}

std::size_t LastDelimiter(std::string_view delimiters, std::string_view text) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (CharLength(text, i) == 1 && delimiters.find(text[i]) != std::string_view::npos) last = i;
    }
    return last;
}

bool EndsWithBackslash(std::string_view text) {
    return !text.empty() && LastDelimiter("\\", text) == text.size() - 1;
}

bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t length = CharLength(a, i);
        if (CharLength(b, i) != length) return false;
        if (length == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += length;
    }
    return true;
}

bool SameFileName(std::string_view a, std::string_view b) {
    // Folding keeps every character's length, so names of different lengths
    // differ, and equal bytes need no folding.
    if (a.size() != b.size()) return false;
    // Names are short, and mostly spelled alike: one plain pass, in line
    // (a call of the runtime's memcmp costs more than a folder name).
    std::size_t same = 0;
    while (same < a.size() && a[same] == b[same]) ++same;
    if (same == a.size()) return true;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t length = CharLength(a, i);
        if (CharLength(b, i) != length) return false;
        if (length == 2) {
            const auto lead = static_cast<unsigned char>(a[i]);
            if (a[i] != b[i] || UpperTrailByte(lead, static_cast<unsigned char>(a[i + 1])) !=
                                    UpperTrailByte(lead, static_cast<unsigned char>(b[i + 1])))
                return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace fw
