// Fuzzes the INI reader and writer.  The input is a section name, a key and
// a value, each ended by a line feed, then the INI text.  Reading must never
// fail; when the names and value are ones a program would write (no line
// end, no outer blanks, no "]" in the section, no "=" in the key, a value
// that is not quoted), setting the value and reading it back gives the
// value, and the write changes nothing but the one value's bytes (an
// existing key) or only adds bytes (a new key or section).
//
// TIniFile, which answers from the section it looked up last, must read
// every key of every section as IniFindValue reads it in the whole text,
// in whatever order the sections are asked for (A, then B, then A again),
// with the text as given and with a second block of a section appended,
// and again after a write of its own.
//
// Literals here stay ASCII: this file is built with clang, which cannot store
// them as code page 932.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/files.h"
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

// One file, held in memory, for TIniFile to read and write.
class OneFile final : public fw::FileSystem {
public:
    std::string contents;

    fw::TFileResult Read(const std::string&, std::string& out, std::string&, std::int64_t* writtenAgoMs) override {
        out = contents;
        if (writtenAgoMs) *writtenAgoMs = fw::kLongAgo;
        return fw::TFileResult::Done;
    }
    fw::TFileResult ReplaceFrom(const std::string&, const Producer& produce, const fw::TFileExpectation* expected,
                                fw::TReplaceMode, std::string&, int) override {
        if (expected && (!expected->exists || expected->contents != contents)) return fw::TFileResult::Changed;
        std::string text;
        produce([&text](std::string_view block) {
            text.append(block);
            return true;
        });
        contents = std::move(text);
        return fw::TFileResult::Done;
    }
    bool DeleteFile(const std::string&) override { return false; }
    bool FileExists(const std::string&) override { return true; }
    fw::TSameFile SameFile(const std::string&, const std::string&) override { return fw::TSameFile::Unknown; }
    std::string CurrentDirectory() override { return std::string(); }
    std::string FullPathName(const std::string& path) override { return path; }
    std::int64_t Milliseconds() override { return 0; }
    void Sleep(int) override {}
};

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
    return text;
}

// The section names and key names the text holds (at most a few of each,
// first come), each also in upper case, which must read the same.
void CollectNames(std::string_view text, std::vector<std::string>& sections, std::vector<std::string>& keys) {
    auto add = [](std::vector<std::string>& names, std::string_view name) {
        if (names.size() >= 8 || std::find(names.begin(), names.end(), name) != names.end()) return;
        names.emplace_back(name);
        std::string upper(name);
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (upper != name) names.push_back(upper);
    };
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        std::string_view line = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            line.remove_prefix(1);
            add(sections, TrimBlanks(line.substr(0, line.find(']'))));
        } else if (std::size_t equals = line.find('='); equals != std::string_view::npos) {
            add(keys, TrimBlanks(line.substr(0, equals)));
        }
    }
}

// Reads every key of every section through one TIniFile over `text`, in the
// orders A B C ..., then A B A, B C B, ..., comparing each answer with
// IniFindValue over the whole text.
void CompareWithTheWholeText(OneFile& file, const std::string& text, const std::vector<std::string>& sections,
                             const std::vector<std::string>& keys) {
    file.contents = text;
    fw::TIniFile ini("Sorbel.ini");
    auto check = [&](const std::string& section) {
        for (const std::string& key : keys) {
            const std::optional<std::string_view> found = fw::IniFindValue(text, section, key);
            const std::string missing("\x01missing");
            Check(ini.ReadString(section, key, missing) == (found ? std::string(*found) : missing));
        }
    };
    for (const std::string& section : sections) check(section);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        check(sections[i]);
        check(sections[(i + 1) % sections.size()]);
        check(sections[i]);
    }
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
    std::vector<std::string> sections{std::string(section)};
    std::vector<std::string> keys{std::string(key)};
    CollectNames(text, sections, keys);
    OneFile file;
    fw::FileSystem* previous = fw::SetFiles(&file);
    CompareWithTheWholeText(file, std::string(text), sections, keys);
    // A second block of every section, whose keys must never be read.
    std::string twice(text);
    for (const std::string& s : sections) {
        twice.append("\n[").append(s).append("]\n");
        for (const std::string& k : keys) twice.append(k).append("=second block\n");
    }
    CompareWithTheWholeText(file, twice, sections, keys);
    // A write of the object's own: later reads answer from the new text.
    if (Writable(section, key, "7")) {
        file.contents = std::string(text);
        fw::TIniFile ini("Sorbel.ini");
        for (const std::string& s : sections) ini.ReadString(s, key, "");
        Check(ini.WriteInteger(section, key, 7));
        for (const std::string& s : sections)
            for (const std::string& k : keys) {
                const std::optional<std::string_view> found = fw::IniFindValue(file.contents, s, k);
                Check(ini.ReadString(s, k, "\x01missing") == (found ? std::string(*found) : "\x01missing"));
            }
    }
    fw::SetFiles(previous);

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
