#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "framework/files.h"
#include "framework/ini.h"
#include "framework/memory/memory_files.h"

namespace fw {
namespace {

std::optional<std::string> Find(std::string_view text, std::string_view section, std::string_view key) {
    std::optional<std::string_view> value = IniFindValue(text, section, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

TEST(IniFindValue, ReadsAsTheProfileFunctionsDo) {
    const std::optional<std::string> none;
    struct Case {
        const char* text;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"[VISTEL]\r\nHow=1\r\n", "VISTEL", "How", "1"},
        {"[vistel]\r\nhOW=1\r\n", "VISTEL", "How", "1"},
        {"[VISTEL]\r\nHow=Abc\r\n", "VISTEL", "How", "Abc"},
        {"[VISTEL]\nHow=1\n", "VISTEL", "How", "1"},
        {"[VISTEL]\rHow=1\rCount=2", "VISTEL", "Count", "2"},
        {"[VISTEL]\r\nHow=", "VISTEL", "How", ""},
        {"[VISTEL]\r\nHow=  \t\r\n", "VISTEL", "How", ""},
        {"", "VISTEL", "How", none},
        {"[VISTEL]\r\n", "VISTEL", "How", none},
        {"[Other]\r\nHow=1\r\n", "VISTEL", "How", none},
        {"[VISTEL]\r\nHow=1\r\n", "VISTEL", "", none},
        // Blanks and tabs around the line, the key, the value and the name.
        {" \t[ \tVISTEL\t ] \r\n \tHow \t= \t1 2\t \r\n", "VISTEL", "How", "1 2"},
        // One pair of matching outer quotes goes, after trimming.
        {"[S]\r\nk= \"a b\" \r\n", "S", "k", "a b"},
        {"[S]\r\nk='a'\r\n", "S", "k", "a"},
        {"[S]\r\nk=\"\"\r\n", "S", "k", ""},
        {"[S]\r\nk=\"\"\"\r\n", "S", "k", "\""},
        {"[S]\r\nk=\"\r\n", "S", "k", "\""},
        {"[S]\r\nk='a\"\r\n", "S", "k", "'a\""},
        {"[S]\r\nk=\"a\" b\r\n", "S", "k", "\"a\" b"},
        // Only a leading ";" makes a comment; "#" and a later ";" are text.
        {"[S]\r\n;k=1\r\nk=2\r\n", "S", "k", "2"},
        {"[S]\r\n  ;k=1\r\n", "S", "k", none},
        {"[S]\r\n#k=1\r\n", "S", "#k", "1"},
        {"[S]\r\nk=1 ; note\r\n", "S", "k", "1 ; note"},
        // The section name ends at the first "]"; a header without one counts.
        {"[S] junk=1\r\nk=1\r\n", "S", "k", "1"},
        {"[S]x]\r\nk=1\r\n", "S", "k", "1"},
        {"[S\r\nk=1\r\n", "S", "k", "1"},
        {"[S]\r\n[T\r\nk=1\r\n", "S", "k", none},
        // A header line is never a key, even with "=" in it.
        {"[S]\r\n[k=1]\r\nk=2\r\n", "k=1", "k", "2"},
        // Lines without "=" are no keys; the first "=" splits.
        {"[S]\r\nk\r\nk=1\r\n", "S", "k", "1"},
        {"[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"[S]\r\n=1\r\n", "S", "", none},
        // Lines before the first section belong to none.
        {"k=1\r\n[S]\r\n", "S", "k", none},
        {"k=1\r\n[S]\r\nk=2\r\n", "S", "k", "2"},
        // The first duplicate wins; only the first block of a section is searched.
        {"[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
        {"[S]\r\na=1\r\n[T]\r\n[s]\r\nk=2\r\n", "S", "k", none},
        {"[S]\r\nk=1\r\n[T]\r\n[S]\r\nk=2\r\n", "S", "k", "1"},
        // Names are matched whole, and only ASCII letters fold.
        {"[S]\r\nkey=1\r\n", "S", "ke", none},
        {"[S]\r\nke=1\r\n", "S", "key", none},
        {"[表]\r\n曲=歌\r\n", "表", "曲", "歌"},
        {"[\x88\x41]\r\nk=1\r\n", "\x88\x61", "k", none},
        // Shift-JIS values keep every byte, 0x5C trail bytes included.
        {"[VISTEL]\r\nCasFile=C:\\表\\新規.cas\r\n", "VISTEL", "CasFile", "C:\\表\\新規.cas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " [" + c.section + "] " + c.key);
        EXPECT_EQ(Find(c.text, c.section, c.key), c.expected);
    }
}

// A settings file as the player keeps it, with the status section among its own.
const std::string kSorbelIni =
    "; Sorbel 設定\r\n"
    "[Sorbel]\r\n"
    "Folder=C:\\表示\\MIDI\r\n"
    "Volume = 80 \r\n"
    "\r\n"
    "[VISTEL]\r\n"
    "Visible=1\r\n"
    "CasFile=C:\\表示\\新規カセット.cas\r\n"
    "  How = 0  \r\n"
    "ColorNum=\"5\"\r\n"
    "; 最後\r\n"
    "\r\n"
    "[Window]\r\n"
    "Left=10\r\n";

// `text` with its one occurrence of `from` replaced by `to`.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(text.find(from, at + 1), std::string::npos);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(IniSetValue, ChangesOnlyTheValueWritten) {
    struct Case {
        std::string name;
        std::string text;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    } cases[] = {
        {"value replaced in place, spacing kept", kSorbelIni, "vistel", "HOW", "12",
         Edited(kSorbelIni, "  How = 0  ", "  How = 12  ")},
        {"quoted value replaced with its quotes", kSorbelIni, "VISTEL", "ColorNum", "7",
         Edited(kSorbelIni, "ColorNum=\"5\"", "ColorNum=7")},
        {"new key after the last key, before comment and blank line", kSorbelIni, "VISTEL", "Count", "3",
         Edited(kSorbelIni, "ColorNum=\"5\"\r\n", "ColorNum=\"5\"\r\nCount=3\r\n")},
        {"new section at the end", kSorbelIni, "Other", "k", "v", kSorbelIni + "[Other]\r\nk=v\r\n"},
        {"empty file", "", "VISTEL", "ColorNum", "13", "[VISTEL]\r\nColorNum=13\r\n"},
        {"LF file keeps LF", "[A]\nx=1\n", "VISTEL", "How", "1", "[A]\nx=1\n[VISTEL]\nHow=1\n"},
        {"CR file keeps CR", "[VISTEL]\rx=1\r", "VISTEL", "How", "1", "[VISTEL]\rx=1\rHow=1\r"},
        {"first line end decides", "[A]\nx=1\r\n", "A", "y", "2", "[A]\nx=1\r\ny=2\n"},
        {"no final line end, new section", "[A]\r\nx=1", "B", "y", "2", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"no final line end, new key", "[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        {"no line end at all", "[A]", "A", "y", "2", "[A]\r\ny=2\r\n"},
        {"no final line end, existing key", "[A]\r\nx=1", "A", "x", "22", "[A]\r\nx=22"},
        {"section without keys", "[A]\r\n\r\n[B]\r\n", "A", "y", "2", "[A]\r\ny=2\r\n\r\n[B]\r\n"},
        {"empty value filled after =", "[A]\r\nx= \r\n", "A", "x", "5", "[A]\r\nx=5 \r\n"},
        {"value emptied", "[A]\r\nx=12 \r\n", "A", "x", "", "[A]\r\nx= \r\n"},
        {"first of duplicate keys", "[A]\r\nx=1\r\nx=2\r\n", "A", "x", "3", "[A]\r\nx=3\r\nx=2\r\n"},
        {"duplicated section: first block only", "[A]\r\nx=1\r\n[B]\r\n[A]\r\ny=2\r\n", "A", "y", "3",
         "[A]\r\nx=1\r\ny=3\r\n[B]\r\n[A]\r\ny=2\r\n"},
        {"keys before any section are not the section's", "y=1\r\n[A]\r\n", "A", "y", "2",
         "y=1\r\n[A]\r\ny=2\r\n"},
        {"commented key is not the key", "[A]\r\n;x=1\r\n", "A", "x", "2", "[A]\r\nx=2\r\n;x=1\r\n"},
        {"file ending in a lone CR", "[A]\r\nx=1\r", "B", "y", "2", "[A]\r\nx=1\r[B]\r\ny=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string result = IniSetValue(c.text, c.section, c.key, c.value);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(Find(result, c.section, c.key), c.value);
    }
}

class TIniFileTest : public testing::Test {
protected:
    TIniFileTest() : previous_(SetFiles(&files_)) {}
    ~TIniFileTest() override { SetFiles(previous_); }

    static constexpr const char* kPath = "C:\\Sorbel\\Sorbel.ini";
    MemoryFileSystem files_;

private:
    FileSystem* previous_;
};

TEST_F(TIniFileTest, ReadsTypedValuesWithDefaults) {
    files_.Put(kPath,
               "[VISTEL]\r\nVisible=1\r\nStop=0\r\nPlay=True\r\nHow=one\r\nCount=-12\r\nBig=2147483648\r\n"
               "CasFile=\r\nTotal= 03:15 \r\nNeg=-1\r\n");
    TIniFile ini(kPath);
    EXPECT_EQ(ini.ReadString("VISTEL", "CasFile", "新規カセット"), "");
    EXPECT_EQ(ini.ReadString("VISTEL", "PlaySong", "停止"), "停止");
    EXPECT_EQ(ini.ReadString("VISTEL", "Total", "00:00"), "03:15");
    EXPECT_EQ(ini.ReadInteger("VISTEL", "Count", 0), -12);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 0), 0);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 7), 7);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "Big", 5), 5);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "CasFile", 5), 5);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "ColorNum", 13), 13);
    EXPECT_TRUE(ini.ReadBool("VISTEL", "Visible", false));
    EXPECT_TRUE(ini.ReadBool("VISTEL", "Neg", false));
    EXPECT_FALSE(ini.ReadBool("VISTEL", "Stop", true));
    EXPECT_FALSE(ini.ReadBool("VISTEL", "Play", false));
    EXPECT_TRUE(ini.ReadBool("VISTEL", "Play", true));
    EXPECT_FALSE(ini.ReadBool("visTEL", "Missing", false));
}

TEST_F(TIniFileTest, MissingOrLockedFileReadsAsEmpty) {
    EXPECT_EQ(TIniFile(kPath).ReadInteger("VISTEL", "ColorNum", 13), 13);
    files_.Put(kPath, "[VISTEL]\r\nColorNum=4\r\n");
    files_.SetLocked(kPath, true);
    EXPECT_EQ(TIniFile(kPath).ReadInteger("VISTEL", "ColorNum", 13), 13);
}

TEST_F(TIniFileTest, OneObjectSeesOneReadingOfTheFile) {
    files_.Put(kPath, "[VISTEL]\r\nHow=1\r\n");
    TIniFile ini(kPath);
    files_.Put(kPath, "[VISTEL]\r\nHow=2\r\n");  // opening read nothing
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 0), 2);
    files_.Put(kPath, "[VISTEL]\r\nHow=0\r\nPlay=1\r\n");
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 0), 2);
    EXPECT_FALSE(ini.ReadBool("VISTEL", "Play", false));
    files_.SetLocked(kPath, true);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 0), 2);
    files_.SetLocked(kPath, false);
    EXPECT_EQ(TIniFile(kPath).ReadInteger("VISTEL", "How", 9), 0);
}

TEST_F(TIniFileTest, WriteKeepsTheRestOfTheFileAndIsSeenByLaterReads) {
    files_.Put(kPath, kSorbelIni);
    TIniFile ini(kPath);
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 9), 0);
    // The player stores a new value after our first read: the write keeps it.
    files_.Put(kPath, IniSetValue(kSorbelIni, "VISTEL", "Visible", "0"));
    EXPECT_TRUE(ini.WriteInteger("VISTEL", "How", 2));
    EXPECT_EQ(files_.ReplaceCount(), 1);
    EXPECT_EQ(files_.Get(kPath), IniSetValue(IniSetValue(kSorbelIni, "VISTEL", "Visible", "0"), "VISTEL", "How", "2"));
    EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 9), 2);
    EXPECT_FALSE(ini.ReadBool("VISTEL", "Visible", true));
    EXPECT_EQ(files_.FilePaths(), std::vector<std::string>{kPath});
}

TEST_F(TIniFileTest, RefusedWriteLeavesFileAndReadsAlone) {
    const std::string original = "[VISTEL]\r\nHow=1\r\n";
    struct Case {
        const char* name;
        bool readOnly;
        bool locked;
        int failing;
    } cases[] = {{"read-only", true, false, 0}, {"locked", false, true, 0}, {"replace fails", false, false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files_.Put(kPath, original);
        files_.SetReadOnly(kPath, c.readOnly);
        files_.SetLocked(kPath, c.locked);
        files_.FailNextReplaces(c.failing);
        TIniFile ini(kPath);
        EXPECT_FALSE(ini.WriteInteger("VISTEL", "How", 2));
        files_.SetLocked(kPath, false);
        EXPECT_EQ(files_.Get(kPath), original);
        EXPECT_EQ(ini.ReadInteger("VISTEL", "How", 9), 1);
    }
    EXPECT_EQ(files_.ReplaceCount(), 0);
    EXPECT_FALSE(TIniFile("C:\\NoFolder\\Sorbel.ini").WriteInteger("VISTEL", "How", 1));
}

}  // namespace
}  // namespace fw
