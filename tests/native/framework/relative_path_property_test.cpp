// ExtractRelativePath over generated pairs of paths: whatever it returns must,
// taken from the base's folder, name the same file as the destination.

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
        EXPECT_NE(ResolveWindowsPath(dest), "");
        EXPECT_EQ(ResolveWindowsPath(baseFolder + result), ResolveWindowsPath(dest));
    }
    // The pairs must give the rule real work, not only lines to keep.
    EXPECT_GT(plainPairs, 1000);
    EXPECT_GE(relative, plainPairs);
}

}  // namespace
}  // namespace fw
