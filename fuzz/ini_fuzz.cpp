// Fuzzes the INI reader and writer.  The input is a section name, a key and
// a value, each ended by a line feed, then the INI text.  Reading must never
// fail; when the names and value are ones a program would write (no line
// end, no outer blanks, no "]" in the section, no "=" in the key, a value
// that is not quoted), setting the value and reading it back gives the
// value, and the write changes nothing but the one value's bytes (an
// existing key) or only adds bytes (a new key or section).
//
// Literals here stay ASCII: this file is built with clang, which cannot store
// them as code page 932.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "framework/ini.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string_view TakeField(std::string_view& input, std::string_view fallback) {
    std::size_t end = input.find('\n');
    if (end == std::string_view::npos) return fallback;
    std::string_view field = input.substr(0, end);
    input.remove_prefix(end + 1);
    return field;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

bool Plain(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos &&
           (text.empty() || (!Blank(text.front()) && !Blank(text.back())));
}

bool Writable(std::string_view section, std::string_view key, std::string_view value) {
    if (!Plain(section) || !Plain(key) || !Plain(value)) return false;
    if (section.find(']') != std::string_view::npos) return false;
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
        return false;
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return !quoted;
}

std::size_t CommonPrefix(std::string_view a, std::string_view b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

// The common suffix, not reaching into the first `prefix` bytes of either.
std::size_t CommonSuffix(std::string_view a, std::string_view b, std::size_t prefix) {
    std::size_t limit = std::min(a.size(), b.size()) - prefix;
    std::size_t n = 0;
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n]) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view section = TakeField(input, "VISTEL");
    const std::string_view key = TakeField(input, "How");
    const std::string_view value = TakeField(input, "1");
    const std::string_view text = input;

    const std::optional<std::string_view> before = fw::IniFindValue(text, section, key);
    if (before) {
        // A value is a part of the text, never longer than it.
        Check(before->data() >= text.data() && before->data() + before->size() <= text.data() + text.size());
    }
    const std::string result = fw::IniSetValue(text, section, key, value);
    if (!Writable(section, key, value)) return 0;

    const std::optional<std::string_view> after = fw::IniFindValue(result, section, key);
    Check(after && *after == value);

    const std::size_t prefix = CommonPrefix(text, result);
    const std::size_t suffix = CommonSuffix(text, result, prefix);
    const std::string_view removed = text.substr(prefix, text.size() - prefix - suffix);
    const std::string_view added = std::string_view(result).substr(prefix, result.size() - prefix - suffix);
    if (before) {
        // Only bytes inside the key's line changed.
        Check(removed.find_first_of("\r\n") == std::string_view::npos);
        Check(added.find_first_of("\r\n") == std::string_view::npos);
    } else {
        // Bytes were only added.
        Check(removed.empty());
        Check(added.size() >= key.size() + 1 + value.size());
    }
    return 0;
}
