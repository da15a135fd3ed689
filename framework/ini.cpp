#include "framework/ini.h"

#include <utility>

#include "framework/files.h"
#include "framework/sysutils.h"
#include "framework/text.h"

namespace fw {

namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// One line of the text: its bytes are [begin, end), its line end (CR LF, LF,
// CR or nothing at the end of the text) runs from end to next.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(Line& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) end = text_.size();
        std::size_t next = end;
        if (next < text_.size()) next += (text_[next] == '\r' && next + 1 < text_.size() && text_[next + 1] == '\n') ? 2 : 1;
        line = {pos_, end, next};
        pos_ = next;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// What one pass over the text finds out about a key, for reading and for
// writing alike, so that a write lands exactly where a read looks.
struct Location {
    bool sectionFound = false;
    // Where a new key of the section goes: just after the line end of the
    // last key line of the section's first block, or of its header.
    std::size_t insertAt = 0;
    // That line is the last of the text and has no line end.
    bool insertNeedsLineEnd = false;
    bool keyFound = false;
    // The key's value as written in the file, blanks trimmed, quotes kept.
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location location;
    bool inSection = false;
    LineReader reader(text);
    Line line;
    while (reader.Next(line)) {
        std::size_t i = line.begin;
        while (i < line.end && IsBlank(text[i])) ++i;
        if (i == line.end) continue;
        if (text[i] == '[') {
            // Only the first block of a section counts: the next header ends it.
            if (inSection) break;
            std::string_view rest = text.substr(i + 1, line.end - i - 1);
            std::string_view name = Trim(rest.substr(0, rest.find(']')));
            if (SameTextIgnoringAsciiCase(name, section)) {
                inSection = true;
                location.sectionFound = true;
                location.insertAt = line.next;
                location.insertNeedsLineEnd = line.next == line.end;
            }
            continue;
        }
        if (!inSection || text[i] == ';') continue;
        std::size_t equals = text.substr(i, line.end - i).find('=');
        if (equals == std::string_view::npos) continue;
        equals += i;
        location.insertAt = line.next;
        location.insertNeedsLineEnd = line.next == line.end;
        if (!SameTextIgnoringAsciiCase(Trim(text.substr(i, equals - i)), key)) continue;
        location.keyFound = true;
        std::size_t begin = equals + 1;
        std::size_t end = line.end;
        while (begin < end && IsBlank(text[begin])) ++begin;
        while (end > begin && IsBlank(text[end - 1])) --end;
        // An empty value is written just after the "=".
        if (begin == end) begin = end = equals + 1;
        location.valueBegin = begin;
        location.valueEnd = end;
        break;
    }
    return location;
}

// The first block of a section: from its header line up to the next header
// line or the end of the text; empty when the text has no such section.
std::string_view FindSectionBlock(std::string_view text, std::string_view section) {
    std::size_t begin = std::string_view::npos;
    LineReader reader(text);
    Line line;
    while (reader.Next(line)) {
        std::size_t i = line.begin;
        while (i < line.end && IsBlank(text[i])) ++i;
        if (i == line.end || text[i] != '[') continue;
        if (begin != std::string_view::npos) return text.substr(begin, line.begin - begin);
        std::string_view rest = text.substr(i + 1, line.end - i - 1);
        if (SameTextIgnoringAsciiCase(Trim(rest.substr(0, rest.find(']'))), section)) begin = line.begin;
    }
    return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

// The text's own line end (the first one in it), CR LF when it has none.
std::string_view LineEndOf(std::string_view text) {
    std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) return "\r\n";
    if (text[at] == '\n') return "\n";
    return (at + 1 < text.size() && text[at + 1] == '\n') ? "\r\n" : "\r";
}

// A trimmed value as a reader gets it: one pair of matching outer quotes
// removed.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

std::optional<std::string_view> IniFindValue(std::string_view text, std::string_view section,
                                             std::string_view key) {
    if (key.empty()) return std::nullopt;
    Location location = Locate(text, section, key);
    if (!location.keyFound) return std::nullopt;
    return Unquote(text.substr(location.valueBegin, location.valueEnd - location.valueBegin));
}

// A quoted value is replaced whole, quotes included, so that reading the
// key back gives exactly the value written.  Names and value are written as
// given: they must hold no line end.
std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    Location location = Locate(text, section, key);
    std::string_view lineEnd = LineEndOf(text);
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (location.keyFound) {
        result.append(text.substr(0, location.valueBegin));
        result.append(value);
        result.append(text.substr(location.valueEnd));
    } else if (location.sectionFound) {
        result.append(text.substr(0, location.insertAt));
        if (location.insertNeedsLineEnd) result.append(lineEnd);
        result.append(key).append("=").append(value).append(lineEnd);
        result.append(text.substr(location.insertAt));
    } else {
        result.append(text);
        if (!text.empty() && text.back() != '\r' && text.back() != '\n') result.append(lineEnd);
        result.append("[").append(section).append("]").append(lineEnd);
        result.append(key).append("=").append(value).append(lineEnd);
    }
    return result;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string_view TIniFile::SectionBlock(std::string_view section) {
    if (!block_ || !SameTextIgnoringAsciiCase(blockSection_, section)) {
        block_ = FindSectionBlock(Contents(), section);
        blockSection_ = section;
    }
    return *block_;
}

const std::string& TIniFile::Contents() {
    if (!contents_) {
        std::string contents;
        std::string reason;
        FileSystem& files = Files();
        const std::int64_t deadline = files.Milliseconds() + readPatience_;
        TFileResult result;
        while ((result = files.Read(fileName_, contents, reason, &writtenAgoMs_)) == TFileResult::Busy &&
               files.Milliseconds() < deadline)
            files.Sleep(kBusyRetryMs);
        busy_ = result == TFileResult::Busy;
        // A file missing, held or unreadable reads as an empty one: every
        // key gives its default.
        if (result != TFileResult::Done) contents.clear();
        contents_ = std::move(contents);
    }
    return *contents_;
}

bool TIniFile::Busy() {
    Contents();
    return busy_;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) {
    std::optional<std::string_view> value = IniFindValue(SectionBlock(section), section, key);
    return std::string(value ? *value : fallback);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) {
    std::optional<std::string_view> text = IniFindValue(SectionBlock(section), section, key);
    std::int32_t value;
    return (text && TryStrToInt(*text, value)) ? value : fallback;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) {
    std::optional<std::string_view> text = IniFindValue(SectionBlock(section), section, key);
    std::int32_t value;
    return (text && TryStrToInt(*text, value)) ? value != 0 : fallback;
}

TIniWrite IniWriteValues(const std::string& fileName, std::string_view section,
                         const std::vector<std::pair<std::string_view, std::string>>& values, std::string& reason,
                         std::string* written, int patienceMs) {
    FileSystem& files = Files();
    const std::int64_t deadline = files.Milliseconds() + patienceMs;
    // Waits a little before the next try; false once the patience is spent.
    auto waitForFile = [&] {
        if (files.Milliseconds() >= deadline) return false;
        files.Sleep(kBusyRetryMs);
        return true;
    };
    for (;;) {
        std::string text;
        std::int64_t writtenAgoMs = kLongAgo;
        TFileResult read = files.Read(fileName, text, reason, &writtenAgoMs);
        // Held by another program, or written a moment ago and perhaps
        // still being written: edited later, never now.
        if (read == TFileResult::Busy || (read == TFileResult::Done && writtenAgoMs < kQuietMs)) {
            if (waitForFile()) continue;
            return TIniWrite::Busy;
        }
        // A file that is there but cannot be read is never overwritten: its
        // other settings would be lost.
        if (read != TFileResult::Done && read != TFileResult::NotFound) return TIniWrite::Unreadable;
        const bool exists = read == TFileResult::Done;
        if (!exists) text.clear();

        bool held = exists;
        for (const auto& [key, value] : values) {
            std::optional<std::string_view> current = IniFindValue(text, section, key);
            held = held && current && *current == Unquote(Trim(value));
        }
        if (held) {
            if (written) *written = std::move(text);
            return TIniWrite::Unchanged;
        }

        std::string edited = text;
        for (const auto& [key, value] : values) edited = IniSetValue(edited, section, key, value);
        const TFileExpectation expected{exists, text};
        switch (files.Replace(fileName, edited, &expected, TReplaceMode::AtomicOrInPlace, reason)) {
        case TFileResult::Done:
            if (written) *written = std::move(edited);
            return TIniWrite::Written;
        case TFileResult::Changed:
            // Another program wrote in between: edit what it wrote.
            if (files.Milliseconds() < deadline) continue;
            return TIniWrite::Busy;
        case TFileResult::Busy:
            if (waitForFile()) continue;
            return TIniWrite::Busy;
        case TFileResult::NotFound:
        case TFileResult::Failed:
            return TIniWrite::Refused;
        }
    }
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    std::string reason;
    std::string written;
    TIniWrite result = IniWriteValues(fileName_, section, {{key, IntToStr(value)}}, reason, &written);
    if (result != TIniWrite::Written && result != TIniWrite::Unchanged) return false;
    contents_ = std::move(written);
    busy_ = false;
    block_.reset();
    return true;
}

}  // namespace fw
