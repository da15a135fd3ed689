#include <gtest/gtest.h>

#include <string>
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

TEST(TStrings, TextEndsEveryLineWithCrLf) {
    TStrings list;
    EXPECT_EQ(list.Text(), "");
    list.Add("");
    EXPECT_EQ(list.Text(), "\r\n");
    list.Clear();
    for (const char* line : {"C:\\表\\a.mid", "", "b"}) list.Add(line);
    EXPECT_EQ(list.Text(), "C:\\表\\a.mid\r\n\r\nb\r\n");
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
