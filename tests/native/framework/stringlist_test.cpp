#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "framework/files.h"
#include "framework/memory/memory_files.h"
#include "framework/stringlist.h"
#include "framework/sysutils.h"

namespace fw {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, EndsLinesAtCrLfLoneLfAndLoneCr) {
    const std::string nulLine("a\0b", 3);
    struct Case {
        std::string text;
        Lines expected;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\n", {"a"}},
        {"a\r", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        // A CR before a CR LF, and an LF before a CR, are two line ends.
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\r\r", {"", "", ""}},
        // Blanks belong to the line.
        {" a \t\r\n\t", {" a \t", "\t"}},
        // NUL bytes are ordinary bytes.
        {nulLine + "\r\n" + std::string(1, '\0'), {nulLine, std::string(1, '\0')}},
        // Double-byte characters, one with a trail byte 0x5C ("表").
        {"C:\\表\\曲.mid\r\n歌\n", {"C:\\表\\曲.mid", "歌"}},
        // A lead byte cannot swallow a line end: LF is never a trail byte.
        {"\x82\n\x82", {"\x82", "\x82"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(SplitLines(c.text), c.expected);
        TStrings list;
        list.Add("old");
        list.SetText(c.text);
        EXPECT_EQ(list.Lines(), c.expected);
    }
}

TEST(TStrings, KeepsEveryLineThroughManyReplacements) {
    std::mt19937 random(20240703);
    const auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    TStrings list;
    list.SetText("a\nb\nc\nd\ne\nf\ng\nh");
    Lines model = {"a", "b", "c", "d", "e", "f", "g", "h"};
    for (int n = 0; n < 5000; ++n) {
        const int index = static_cast<int>(below(model.size()));
        if (n % 7 == 0) {
            const int from = static_cast<int>(below(model.size()));
            model[index] = model[from];
            list.Put(index, list[from]);
        } else {
            model[index] = std::string(below(300), static_cast<char>('a' + n % 26));
            list.Put(index, model[index]);
        }
        if (n % 500 == 0) {
            ASSERT_EQ(list.Lines(), model) << "after " << n << " replacements";
        }
    }
    EXPECT_EQ(list.Lines(), model);
}

TEST(TStrings, WritesTheTextInBlocksOfTheGivenSize) {
    TStrings list;
    for (const char* line : {"ab", "", "cdefgh", "i"}) list.Add(line);
    const std::string text = "ab\r\n\r\ncdefgh\r\ni\r\n";
    struct Case {
        std::size_t blockSize;
        Lines blocks;
    } cases[] = {
        {1000, {text}},
        {8, {"ab\r\n\r\n", "cdefgh\r\n", "i\r\n"}},
        {7, {"ab\r\n\r\n", "cdefgh", "\r\ni\r\n"}},  // a line too long is handed over from where it lies
        {2, {"ab", "\r\n", "\r\n", "cdefgh", "\r\n", "i", "\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blockSize);
        Lines blocks;
        EXPECT_TRUE(list.WriteText(
            [&](std::string_view block) {
                blocks.emplace_back(block);
                return true;
            },
            c.blockSize));
        EXPECT_EQ(blocks, c.blocks);
    }
    // A refused block ends the writing.
    int calls = 0;
    EXPECT_FALSE(list.WriteText([&](std::string_view) { return ++calls < 2; }, 2));
    EXPECT_EQ(calls, 2);
    TStrings empty;
    EXPECT_TRUE(empty.WriteText([](std::string_view) { return false; }));
}

TEST(TStrings, KeepsLinesOfSixteenMebibytesAndMore) {
    // Lengths around the one the list keeps beside its spans.
    const std::size_t limit = std::size_t{1} << 24;
    const std::size_t lengths[] = {limit - 2, limit - 1, limit, 3};
    std::string text;
    for (std::size_t i = 0; i < std::size(lengths); ++i) text += std::string(lengths[i], static_cast<char>('a' + i)) + "\r\n";
    TStrings list;
    list.SetText(text);
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].size(), lengths[i]);
        EXPECT_EQ(list[i].back(), static_cast<char>('a' + i));
    }
    list.Put(1, "short");                             // long to short, in place
    list.Put(3, std::string(limit + 5, 'z'));         // short to long, moved
    list.Put(2, list[2].substr(1));                   // long, one shorter, in place
    list.Add(std::string(limit - 1, 'y'));
    EXPECT_EQ(list[1], "short");
    EXPECT_EQ(list[3].size(), limit + 5);
    EXPECT_EQ(list[2].size(), limit - 1);
    EXPECT_EQ(list[4].size(), limit - 1);
    EXPECT_EQ(list[0].size(), limit - 2);
    EXPECT_EQ(list.Text().size(), (limit - 2) + 5 + (limit - 1) + (limit + 5) + (limit - 1) + 5 * 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Add("x");
    EXPECT_EQ(list[0], "x");
}

class TStringsFiles : public testing::Test {
protected:
    TStringsFiles() : previous_(SetFiles(&files_)) {}
    ~TStringsFiles() override { SetFiles(previous_); }

    MemoryFileSystem files_;

private:
    FileSystem* previous_;
};

TEST_F(TStringsFiles, LoadReplacesTheLinesAndSaveWritesCrLf) {
    files_.Put("C:\\Music\\list.cas", "a\nb\rc");
    TStrings list;
    list.Add("old");
    list.LoadFromFile("c:\\music\\LIST.CAS");
    EXPECT_EQ(list.Lines(), (Lines{"a", "b", "c"}));
    list.SaveToFile("C:\\Music\\out.cas");
    EXPECT_EQ(files_.Get("C:\\Music\\out.cas"), "a\r\nb\r\nc\r\n");

    files_.Put("C:\\Music\\empty.cas", "");
    list.LoadFromFile("C:\\Music\\empty.cas");
    EXPECT_EQ(list.Count(), 0);
    list.SaveToFile("C:\\Music\\out.cas");
    EXPECT_EQ(files_.Get("C:\\Music\\out.cas"), "");
}

// The message of the exception `E` that `action` throws, or "" when none.
template <class E, class F>
std::string MessageOf(F action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return "";
}

TEST_F(TStringsFiles, FailuresNameTheFileAndTheReasonAndChangeNothing) {
    files_.Put("C:\\Music\\locked.cas", "x");
    files_.SetLocked("C:\\Music\\locked.cas", true);
    files_.Put("C:\\Music\\ro.cas", "old");
    files_.SetReadOnly("C:\\Music\\ro.cas", true);
    struct Case {
        bool load;
        std::string path;
        std::string reason;
    } cases[] = {
        {true, "C:\\Music\\none.cas", MemoryFileSystem::kFileNotFound},
        {true, "C:\\表\\a.cas", MemoryFileSystem::kPathNotFound},
        {true, "C:\\Music\\locked.cas", MemoryFileSystem::kSharingViolation},
        {false, "C:\\Music\\ro.cas", MemoryFileSystem::kAccessDenied},
        {false, "C:\\None\\a.cas", MemoryFileSystem::kPathNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TStrings list;
        list.Add("kept");
        if (c.load)
            EXPECT_EQ(MessageOf<EFOpenError>([&] { list.LoadFromFile(c.path); }),
                      "ファイル " + c.path + " を開けません。\n" + c.reason);
        else
            EXPECT_EQ(MessageOf<EFCreateError>([&] { list.SaveToFile(c.path); }),
                      "ファイル " + c.path + " を作成できません。\n" + c.reason);
        EXPECT_EQ(list.Lines(), Lines{"kept"});
    }
    EXPECT_EQ(files_.Get("C:\\Music\\ro.cas"), "old");
    EXPECT_EQ(files_.FilePaths(), (Lines{"C:\\Music\\locked.cas", "C:\\Music\\ro.cas"}));
}

}  // namespace
}  // namespace fw
