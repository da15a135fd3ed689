// ExtractRelativePath over generated pairs of paths: whatever it returns must,
// taken from the base's folder, name the same file as the destination.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "framework/text.h"

namespace fw {
namespace {

// A path resolved the way Windows resolves it, in one spelling per file:
// empty names and "." dropped, ".." taken back (never above the root, "X:"
// or "\\server\share"), single-byte letters in upper case, and a final "\"
// when the path names a folder.  Empty for a path without a root.
std::string Resolve(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        const char c = path[i];
        if (c == '\\' && CharLength(path, i) == 1)
            parts.emplace_back();
        else if (CharLength(path, i) == 1)
            parts.back() += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        else
            parts.back().append(path.substr(i, 2));
    }
    std::size_t first = 1;
    std::string root = parts[0];
    if (parts[0].empty() && parts.size() > 4 && parts[1].empty()) {
        root = "\\\\" + parts[2] + "\\" + parts[3];
        first = 4;
    } else if (parts[0].size() != 2 || parts[0][1] != ':' || parts.size() == 1) {
        return {};
    }
    std::vector<std::string> names;
    for (std::size_t i = first; i < parts.size(); ++i) {
        if (parts[i] == ".." && !names.empty()) names.pop_back();
        if (!parts[i].empty() && parts[i] != "." && parts[i] != "..") names.push_back(parts[i]);
    }
    for (const std::string& name : names) root += "\\" + name;
    const std::string& last = parts.back();
    return root + (last.empty() || last == "." || last == ".." ? "\\" : "");
}

bool HasDoubledBackslash(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); i += CharLength(text, i))
        if (text[i] == '\\' && text[i + 1] == '\\') return true;
    return false;
}

// Pairs that share a leading part more often than not, built from names
// chosen to catch the rule's pitfalls: trail bytes 0x5C ("表", "ソ", "能"),
// trail bytes that look like letters (88 41 and 88 61 differ), names that
// differ in ASCII case, ".", "..", empty names.  `plain` is false when a pair
// holds something that makes a relative form uncertain.
struct Generator {
    std::mt19937 random{20240611};
    bool plain = true;

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    template <std::size_t N>
    const char* Pick(const char* const (&pool)[N]) { return pool[Below(N)]; }

    std::string Name() {
        static const char* const usual[] = {"Data", "data", "DATA", "Pop", "表", "ソ", "能",
                                            "\x88\x41", "\x88\x61", "a b", ".", "..", ""};
        static const char* const uncertain[] = {"x.", "x ", "a/b", "a?", "...", "a:b"};
        if (Below(40) != 0) return Pick(usual);
        plain = false;
        return Pick(uncertain);
    }
    std::string Folders(std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) text += Name() + "\\";
        return text;
    }
    void Next(std::string& base, std::string& dest) {
        static const char* const drives[] = {"C:", "c:", "D:", "\\\\srv\\share", "\\\\SRV\\Share", "\\\\srv\\x"};
        static const char* const destFiles[] = {"a.mid", "A.MID", "表", "", ".", ".."};
        const std::string baseDrive = Pick(drives), destDrive = Pick(drives);
        plain = SameTextIgnoringAsciiCase(baseDrive, destDrive);
        const std::string common = Folders(Below(3));
        base = baseDrive + "\\" + common + Folders(Below(3)) + (Below(20) ? "list.cas" : Name());
        plain = plain && base.back() != '\\' && base.back() != '.';
        dest = destDrive + "\\" + common + Folders(Below(4)) + Pick(destFiles);
    }
};

TEST(ExtractRelativePath, AlwaysNamesTheSameFileAsTheDestination) {
    Generator generate;
    int relative = 0, plainPairs = 0;
    for (int n = 0; n < 5000; ++n) {
        std::string base, dest;
        generate.Next(base, dest);
        const std::string result = ExtractRelativePath(base, dest);
        SCOPED_TRACE(base + " | " + dest + " -> " + result);
        plainPairs += generate.plain;
        if (result == dest) {  // an absolute line is always right, but a relative one was due
            EXPECT_FALSE(generate.plain);
            continue;
        }
        ++relative;
        EXPECT_FALSE(result.empty() || result[0] == '\\' || HasDoubledBackslash(result));
        const std::string baseFolder = base.substr(0, base.size() - ExtractFileName(base).size());
        EXPECT_NE(Resolve(dest), "");
        EXPECT_EQ(Resolve(baseFolder + result), Resolve(dest));
    }
    // The pairs must give the rule real work, not only lines to keep.
    EXPECT_GT(plainPairs, 1000);
    EXPECT_GE(relative, plainPairs);
}

}  // namespace
}  // namespace fw
