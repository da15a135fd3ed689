#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "framework/sysutils.h"
#include "framework/text.h"

namespace fw {
namespace {

TEST(StrToIntDef, ReadsWholeDecimalNumbersOnly) {
    struct Case {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"0", 0}, {"17", 17}, {"-1", -1}, {"+5", 5}, {"-0", 0}, {"007", 7},
        {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", 99}, {"-2147483649", 99}, {"99999999999999999999", 99},
        {"", 99}, {"-", 99}, {"+", 99}, {"1a", 99}, {"a1", 99}, {" 1", 99}, {"1 ", 99},
        {"0x10", 99}, {"$10", 99}, {"1.5", 99}, {"True", 99}, {"--1", 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToIntDef(c.text, 99), c.expected);
    }
}

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
    struct Case {
        std::int32_t number, numerator, denominator, expected;
    } cases[] = {
        {198, 144, 96, 297}, {90, 144, 96, 135}, {442, 144, 96, 663}, {100, 144, 96, 150},
        {73, 144, 96, 110},   // 109.5
        {17, 144, 96, 26},    // 25.5
        {-13, 144, 96, -20},  // -19.5: a font height, away from zero
        {-12, 144, 96, -18}, {-37, 120, 96, -46},  // -46.25
        {757, 96, 96, 757}, {0, 144, 96, 0}, {5, 1, 3, 2}, {4, 1, 3, 1}, {-5, 1, 3, -2}, {5, -1, 3, -2},
        {5, 1, -3, -2}, {-5, -1, -3, -2},
        {2147483647, 2, 2, 2147483647},  // the product does not overflow
        {2147483647, 2, 1, -1}, {1, 1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << " * " << c.numerator << " / " << c.denominator);
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected);
    }
}

TEST(ByteType, TellsLeadAndTrailBytesOfShiftJis) {
    // "表" is 0x95 0x5C: its trail byte has the value of a backslash.
    const std::string text = "a\x95\x5C\\\x82\xA0\xB1\x81";
    const TMbcsByteType expected[] = {mbSingleByte, mbLeadByte,   mbTrailByte, mbSingleByte,
                                      mbLeadByte,   mbTrailByte, mbSingleByte, mbSingleByte};
    for (std::size_t i = 0; i < text.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ByteType(text, i), expected[i]);
    }
}

TEST(LastDelimiter, NeverTakesATrailByteForABackslash) {
    EXPECT_EQ(LastDelimiter("\\:", "C:\\\x95\x5C"), 2u);
    EXPECT_EQ(LastDelimiter("\\:", "\x95\x5C"), std::string::npos);
    EXPECT_EQ(LastDelimiter("\\:", "a:b"), 1u);
    EXPECT_TRUE(EndsWithBackslash("C:\\\x95\x5C\\"));
    EXPECT_FALSE(EndsWithBackslash("C:\\\x95\x5C"));
    EXPECT_FALSE(EndsWithBackslash(""));
}

TEST(SameTextIgnoringAsciiCase, FoldsOnlySingleByteLetters) {
    EXPECT_TRUE(SameTextIgnoringAsciiCase("Data\\Pop", "dATA\\pOP"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase("Data", "Date"));
    // 0x88 0x41 and 0x88 0x61 are two different kanji; their trail bytes
    // look like 'A' and 'a' but must not be folded.
    EXPECT_FALSE(SameTextIgnoringAsciiCase("\x88\x41", "\x88\x61"));
    EXPECT_TRUE(SameTextIgnoringAsciiCase("\x88\x41x", "\x88\x41X"));
    // Settings names are ASCII: double-byte letters keep their case here.
    EXPECT_FALSE(SameTextIgnoringAsciiCase("Ａ", "ａ"));
}

TEST(SameFileName, FoldsTheLettersWindowsFoldsInFileNames) {
    struct Case {
        const char *a, *b;
        bool same;
    } cases[] = {
        {"Data\\Pop", "dATA\\pOP", true},
        {"Data", "Date", false},
        {"", "", true},
        // Whole alphabets: full-width Latin, Greek, Cyrillic with Ё.
        {"ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ", "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ", true},
        {"ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ", "αβγδεζηθικλμνξοπρστυφχψω", true},
        {"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдеёжзийклмнопрстуфхцчшщъыьэюя", true},
        // Neighbours stay apart: each letter has one partner.
        {"Ａ", "ｂ", false},
        {"Ｚ", "ｚ", true},
        {"Ω", "ψ", false},
        {"П", "о", false},
        {"О", "о", true},
        {"Е", "ё", false},
        // Bytes just outside the ranges are no letters (82 5F / 82 80, 82 7A / 82 9B,
        // 83 9E / 83 BE, 83 B7 / 83 D7, 84 61 / 84 92).
        {"\x82\x5F", "\x82\x80", false},
        {"\x82\x7A", "\x82\x9B", false},
        {"\x83\x9E", "\x83\xBE", false},
        {"\x83\xB7", "\x83\xD7", false},
        {"\x84\x61", "\x84\x92", false},
        // No case: kana, full-width digits; no width folding; trail bytes
        // that look like ASCII letters are not letters.
        {"ァィゥ", "アイウ", false},
        {"ぁ", "あ", false},
        {"０", "0", false},
        {"Ａ", "A", false},
        {"\x88\x41", "\x88\x61", false},
        {"\x88\x41x", "\x88\x41X", true},
        // A lead byte at the very end stands alone.
        {"a\x82", "A\x82", true},
        {"a\x82", "a\x83", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::string(c.a)) << " | "
                                        << testing::PrintToString(std::string(c.b)));
        EXPECT_EQ(SameFileName(c.a, c.b), c.same);
        EXPECT_EQ(SameFileName(c.b, c.a), c.same);
    }
}

}  // namespace
}  // namespace fw
