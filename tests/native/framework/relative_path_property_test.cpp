// ExtractRelativePath over generated pairs of paths: whatever it returns must,
// taken from the base's folder, name the same file as the destination, and
// climb out of the base's folder no higher than the two paths part.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "framework/text.h"
#include "tests/support/resolve_windows_path.h"

namespace fw {
namespace {

using reference::ResolveWindowsPath;

bool HasDoubledBackslash(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); i += CharLength(text, i))
        if (text[i] == '\\' && text[i + 1] == '\\') return true;
    return false;
}

// The number of "..\" a relative path starts with.
std::size_t StepsUp(std::string_view path) {
    std::size_t steps = 0;
    while (path.substr(3 * steps).starts_with("..\\")) ++steps;
    return steps;
}

// The parts of a path resolved by the reference, split at single-byte
// backslashes ("C:\A\" gives "C:", "A", "").
std::vector<std::string> Parts(std::string_view resolved) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < resolved.size(); i += CharLength(resolved, i)) {
        if (CharLength(resolved, i) == 1 && resolved[i] == '\\')
            parts.emplace_back();
        else
            parts.back().append(resolved.substr(i, CharLength(resolved, i)));
    }
    return parts;
}

// How many steps up a relative form needs: one for each folder of the base
// below the deepest folder it shares with the destination, letters compared
// without regard to case as the reference resolves them.
std::size_t StepsNeeded(const std::string& baseFolder, const std::string& dest) {
    std::vector<std::string> base = Parts(ResolveWindowsPath(baseFolder));
    std::vector<std::string> destFolders = Parts(ResolveWindowsPath(dest));
    base.pop_back();         // the empty part after the base folder's last "\"
    destFolders.pop_back();  // the destination's file name, or that empty part
    std::size_t common = 0;
    while (common < base.size() && common < destFolders.size() && base[common] == destFolders[common]) ++common;
    return base.size() - common;
}

// Pairs that share a leading part more often than not, built from names
// chosen to catch the rule's pitfalls: trail bytes 0x5C ("表", "ソ", "能",
// "Ы"), trail bytes that look like letters (88 41 and 88 61 differ), names
// that differ in the case of ASCII or of double-byte letters (full-width
// Latin, Greek, Cyrillic), kana that have no case, ".", "..", empty names.
// `plain` is false when a pair holds something that makes a relative form
// uncertain.
struct Generator {
    std::mt19937 random{20240611};
    bool plain = true;

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    template <std::size_t N>
    const char* Pick(const char* const (&pool)[N]) { return pool[Below(N)]; }

    std::string Name() {
        static const char* const usual[] = {"Data", "data", "DATA", "Pop", "表", "ソ", "能",
                                            "\x88\x41", "\x88\x61", "a b", ".", "..", "",
                                            "Ｍｕｓｉｃ", "ＭＵＳＩＣ", "ΑΩ", "αω", "Ёы", "ёЫ", "ァ", "ア"};
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
        plain = SameFileName(baseDrive, destDrive);
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
        EXPECT_NE(ResolveWindowsPath(dest), "");
        EXPECT_EQ(ResolveWindowsPath(baseFolder + result), ResolveWindowsPath(dest));
        // It climbs no higher than it must: folders that differ only in
        // letter case are common to both.
        EXPECT_EQ(StepsUp(result), StepsNeeded(baseFolder, dest));
    }
    // The pairs must give the rule real work, not only lines to keep.
    EXPECT_GT(plainPairs, 1000);
    EXPECT_GE(relative, plainPairs);
}

}  // namespace
}  // namespace fw
