#include <gtest/gtest.h>

#include <string>

#include "framework/paths.h"

namespace fw {
namespace {

struct PathCase {
    const char* path;
    const char* expected;
};

// "表" (95 5C), "ソ" (83 5C) and "能" (94 5C) end in a trail byte with the
// value of a backslash.
TEST(ExtractFileName, TakesTheTextAfterTheLastSeparator) {
    const PathCase cases[] = {
        {R"(C:\Data\a.mid)", "a.mid"}, {"C:a.mid", "a.mid"},       {"a.mid", "a.mid"},
        {R"(C:\Data\)", ""},           {"", ""},                   {R"(\\srv\share\x)", "x"},
        {R"(C:\表)", "表"},            {"表", "表"},               {R"(C:\Data\表.mid)", "表.mid"},
        {R"(ソ\能.mid)", "能.mid"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractFileName(c.path), c.expected);
    }
}

TEST(ExtractFileDir, KeepsTheBackslashOnlyAtARoot) {
    const PathCase cases[] = {
        {R"(C:\a.cas)", R"(C:\)"},        {R"(C:\x\a.cas)", R"(C:\x)"},  {R"(\a.cas)", R"(\)"},
        {"C:a.cas", "C:"},                {"a.cas", ""},                 {"", ""},
        {"C:", "C:"},                     {R"(C:\)", R"(C:\)"},          {R"(C:\x\)", R"(C:\x)"},
        {R"(C:\x\\a.cas)", R"(C:\x\\)"},  {R"(\\a)", R"(\\)"},           {R"(\\srv\share\a.cas)", R"(\\srv\share)"},
        {R"(C:\表\a.cas)", R"(C:\表)"},   {R"(C:\表\)", R"(C:\表)"},     {R"(x\表)", "x"},
        {"表", ""},                        {R"(ソ\a.cas)", "ソ"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractFileDir(c.path), c.expected);
    }
}

TEST(ExtractRelativePath, FollowsTheConversionRule) {
    struct Case {
        const char *base, *dest, *expected;  // expected nullptr: the destination unchanged
    } cases[] = {
        // The worked examples of the converter.
        {R"(C:\Data\Out\list.cas)", R"(C:\Data\Songs\a.mid)", R"(..\Songs\a.mid)"},
        {R"(C:\Data\list.cas)", R"(C:\Data\a.mid)", "a.mid"},
        {R"(C:\Data\list.cas)", R"(C:\Data\Pop\a.mid)", R"(Pop\a.mid)"},
        {R"(C:\A\B\list.cas)", R"(C:\C\a.mid)", R"(..\..\C\a.mid)"},
        {R"(C:\Data\list.cas)", R"(c:\data\pop\a.mid)", R"(pop\a.mid)"},
        {R"(C:\Data\list.cas)", R"(D:\Data\a.mid)", nullptr},
        {R"(C:\list.cas)", R"(C:\Data\a.mid)", R"(Data\a.mid)"},
        // Roots and folders.
        {R"(C:\A\B\list.cas)", R"(C:\)", R"(..\..\)"},         {R"(C:\list.cas)", R"(C:\)", R"(.\)"},
        {R"(C:\Data\list.cas)", R"(C:\Data\)", R"(.\)"},       {R"(C:\Data\list.cas)", R"(C:\Data\..)", R"(..\)"},
        {R"(C:\Data\list.cas)", R"(C:\Data\Pop\.)", R"(Pop\)"}, {R"(C:\Data\list.cas)", R"(C:\Data\Pop\..)", R"(.\)"},
        // Doubled backslashes, "." and ".." resolve as on Windows.
        {R"(X:\\list.cas)", R"(X:\a\b.mid)", R"(a\b.mid)"},    {R"(C:\D\\Out\list.cas)", R"(C:\D\a.mid)", R"(..\a.mid)"},
        {R"(C:\list.cas)", R"(C:\..\..\a.mid)", "a.mid"},      {R"(C:\D\list.cas)", R"(C:\D\.\a.mid)", "a.mid"},
        {R"(C:\A\..\B\list.cas)", R"(C:\B\a.mid)", "a.mid"},
        {R"(C:\Data\list.cas)", R"(C:\Data\..\Other\a.mid)", R"(..\Other\a.mid)"},
        // Shift-JIS names: a trail byte is neither a separator nor folded.
        {R"(C:\表\list.cas)", R"(C:\表\a.mid)", "a.mid"},      {R"(C:\表\list.cas)", R"(C:\能\a.mid)", R"(..\能\a.mid)"},
        {R"(C:\ソ\list.cas)", R"(C:\ソ\x\a.mid)", R"(x\a.mid)"},
        {"C:\\\x83\x41\\list.cas", "C:\\\x83\x61\\a.mid", "..\\\x83\x61\\a.mid"},
        {R"(C:\D\list.cas)", "C:\\D\\\x83\x7C\\a.mid", "\x83\x7C\\a.mid"},
        // Double-byte letters fold as Windows folds file names: full-width
        // Latin, Greek and Cyrillic (Ё, and Ы with its trail byte 0x5C).
        // The result keeps the destination's spelling.
        {R"(C:\Ｍｕｓｉｃ\list.cas)", R"(C:\ＭＵＳＩＣ\a.mid)", "a.mid"},
        {R"(C:\Ｄａｔａ\Ｏｕｔ\list.cas)", R"(c:\ＤＡＴＡ\ｓｏｎｇｓ\a.mid)", R"(..\ｓｏｎｇｓ\a.mid)"},
        {R"(C:\ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ\list.cas)",
         R"(C:\ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ\Ｓｕｂ\a.mid)", R"(Ｓｕｂ\a.mid)"},
        {R"(C:\αβγδεζηθικλμνξοπρστυφχψω\list.cas)", R"(C:\ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ\a.mid)", "a.mid"},
        {R"(C:\АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ\list.cas)",
         R"(C:\абвгдеёжзийклмнопрстуфхцчшщъыьэюя\a.mid)", "a.mid"},
        {R"(C:\Ы\Ё\list.cas)", R"(C:\ы\ё\Я\a.mid)", R"(Я\a.mid)"},
        // Kana and digits have no case; a full-width letter is no ASCII one.
        {R"(C:\ァ\list.cas)", R"(C:\ア\a.mid)", R"(..\ア\a.mid)"},
        {R"(C:\ぁ\list.cas)", R"(C:\あ\a.mid)", R"(..\あ\a.mid)"},
        {R"(C:\Ａ\list.cas)", R"(C:\A\a.mid)", R"(..\A\a.mid)"},
        {R"(C:\０\list.cas)", R"(C:\0\a.mid)", R"(..\0\a.mid)"},
        // Bases without a sound folder, destinations without a root.
        {R"(C:foo\x.cas)", R"(C:\foo\a.mid)", nullptr},   {R"(out\x.cas)", R"(C:\out\a.mid)", nullptr},
        {R"(\out\x.cas)", R"(C:\out\a.mid)", nullptr},    {R"(C:\Data\)", R"(C:\Data\a.mid)", nullptr},
        {R"(C:\Data\..)", R"(C:\a.mid)", nullptr},        {R"(C:\Data.\list.cas)", R"(C:\Data\a.mid)", nullptr},
        {R"(C:\list.cas)", R"(C:a.mid)", nullptr},         {R"(C:\list.cas)", "", nullptr},
        {R"(C:\Data \list.cas)", R"(C:\Data\a.mid)", nullptr}, {R"(C:\Data\Out/list.cas)", R"(C:\Data\a.mid)", nullptr},
        // The base's file name takes no part, however Windows would spell it.
        {R"(C:\Music\list.cas )", R"(C:\Music\a.mid)", "a.mid"}, {R"(C:\Music\list.cas.)", R"(C:\Music\a.mid)", "a.mid"},
        {R"(C:\Music\list?.cas)", R"(C:\Pop\a.mid)", R"(..\Pop\a.mid)"},
        // Network paths.
        {R"(\\srv\share\Out\list.cas)", R"(\\SRV\Share\Songs\a.mid)", R"(..\Songs\a.mid)"},
        {R"(\\srv\share\x\list.cas)", R"(\\srv\share\..\..\a.mid)", R"(..\a.mid)"},
        {R"(\\srv\share\list.cas)", R"(\\srv\other\a.mid)", nullptr}, {R"(\\srv\share\x)", R"(C:\a.mid)", nullptr},
        {R"(C:\list.cas)", R"(\\srv\share\a.mid)", nullptr},      {R"(\\srv\x)", R"(\\srv\x\a.mid)", nullptr},
        {R"(\\?\C:\list.cas)", R"(\\?\C:\a.mid)", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " | " + c.dest);
        EXPECT_EQ(ExtractRelativePath(c.base, c.dest), c.expected ? c.expected : c.dest);
    }
}

TEST(ExtractRelativePath, KeepsLinesWithNamesWindowsWouldAlterOrRefuse) {
    const char* const lines[] = {
        R"(C:\Data.\a.mid)",   R"(C:\Data \a.mid)",  R"(C:\Data\a.mid.)",  R"(C:\Data\...\a.mid)",
        R"(C:\Data/Pop\a.mid)", R"(C:\Data\a:s.mid)", R"(C:\Data\a?.mid)",  R"(C:\Data\a*.mid)",
        R"(C:\Data\a"b.mid)",  R"(C:\Data\a<b>.mid)", R"(C:\Data\a|b.mid)", "C:\\Data\\a\tb.mid",
        "C:\\Data\\a\x81",    // a lead byte without its trail byte
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ExtractRelativePath(R"(C:\Data\list.cas)", line), line);
    }
}

}  // namespace
}  // namespace fw
