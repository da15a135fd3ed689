#include <gtest/gtest.h>

#include "standin_fixture.h"

namespace standin::testing_support {
namespace {

class SetShow : public StandInTest {};

constexpr const char kPlayerFile[] =
    "; Sorbel settings\r\n[Sorbel]\r\nVolume=80\r\nLast=C:\\表\\曲.cas\r\n\r\n[VISTEL]\r\nColorNum=4\r\n"
    "Total = 01:00\r\nplaysong=old\r\n\r\n[Window]\r\nLeft=10\r\n";

TEST_F(SetShow, SetChangesOnlyTheValuesWrittenInOneReplacement) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // nothing: no file, its folder there
        std::vector<std::string> assignments;
        std::string after;
    } cases[] = {
        {"player's file: new keys after the last, existing lines keep their spelling and spacing",
         kPlayerFile,
         {"Visible=1", "PLAYSONG=新曲", "total=02:30"},
         "; Sorbel settings\r\n[Sorbel]\r\nVolume=80\r\nLast=C:\\表\\曲.cas\r\n\r\n[VISTEL]\r\nColorNum=4\r\n"
         "Total = 02:30\r\nplaysong=新曲\r\nVisible=1\r\n\r\n[Window]\r\nLeft=10\r\n"},
        {"LF-only file keeps LF", "[VISTEL]\nHow=0\n", {"How=2", "Count=12"}, "[VISTEL]\nHow=2\nCount=12\n"},
        {"new file", std::nullopt, {"Visible=1"}, "[VISTEL]\r\nVisible=1\r\n"},
        {"file without the section", "[Sorbel]\r\nVolume=80", {"Play=1"},
         "[Sorbel]\r\nVolume=80\r\n[VISTEL]\r\nPlay=1\r\n"},
        {"integers in canonical decimal, last of a key wins", "[VISTEL]\r\n",
         {"count=+007", "How=-1", "PlayingIndex=3", "PlayingIndex=4"},
         "[VISTEL]\r\nCount=7\r\nHow=-1\r\nPlayingIndex=4\r\n"},
        {"a blank at the end alone is quoted too", "[VISTEL]\r\n", {"PlaySong=曲\t"}, "[VISTEL]\r\nPlaySong=\"曲\t\"\r\n"},
        {"strings a reader would trim or unquote are quoted", "[VISTEL]\r\n",
         {"PlaySong= a ", "CasFile='x'", "Total=", "Current=\"5"},
         "[VISTEL]\r\nPlaySong=\" a \"\r\nCasFile=\"'x'\"\r\nTotal=\r\nCurrent=\"5\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files_ = fw::MemoryFileSystem();
        files_.AddFolder("C:\\Sorbel");
        if (c.before) files_.Put(kIni, *c.before);
        std::vector<std::string> args = {"set", kIni};
        args.insert(args.end(), c.assignments.begin(), c.assignments.end());
        EXPECT_EQ(Run(args), kExitOk);
        EXPECT_EQ(File(), c.after);
        EXPECT_EQ(files_.ReplaceCount(), 1);
        EXPECT_EQ(Joined(err_), "");
    }
    // Every value written reads back as given.
    EXPECT_EQ(Value("PlaySong"), " a ");
    EXPECT_EQ(Value("CasFile"), "'x'");
    EXPECT_EQ(Value("Current"), "\"5");
}

TEST_F(SetShow, SetRejectsWrongInputAndLeavesTheFileAlone) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* message;
    } cases[] = {
        {{"set", kIni, "Volume=3"}, kExitUsage, "unknown key \"Volume\""},
        {{"set", kIni, "Visible=1", "Colour=2"}, kExitUsage, "unknown key \"Colour\""},
        {{"set", kIni, "Visible=yes"}, kExitUsage, "bad value for Visible: \"yes\""},
        {{"set", kIni, "count="}, kExitUsage, "bad value for Count"},
        {{"set", kIni, "How=1.5"}, kExitUsage, "bad value for How"},
        {{"set", kIni, "ColorNum=2147483648"}, kExitUsage, "bad value for ColorNum"},
        {{"set", kIni, "PlaySong=a\r\nb"}, kExitUsage, "bad value for PlaySong"},
        {{"set", kIni, "Visible"}, kExitUsage, "expected Key=Value, got \"Visible\""},
        {{"set", kIni}, kExitUsage, "at least one Key=Value"},
        {{"show"}, kExitUsage, "exactly one settings file"},
        {{"stop", kIni}, kExitUsage, "unknown command \"stop\""},
        {{}, kExitUsage, "SorbelStandIn set <ini>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        files_.Put(kIni, kPlayerFile);
        err_.clear();
        EXPECT_EQ(Run(c.args), c.exit);
        EXPECT_NE(Joined(err_).find(c.message), std::string::npos) << Joined(err_);
        EXPECT_EQ(File(), kPlayerFile);
    }
    EXPECT_EQ(files_.ReplaceCount(), 0);
    EXPECT_TRUE(out_.empty());
}

TEST_F(SetShow, SetReportsAFileItCannotReadOrWrite) {
    files_.Put(kIni, kPlayerFile);
    files_.SetReadOnly(kIni, true);
    EXPECT_EQ(Run({"set", kIni, "Visible=1", "How=2"}), kExitFailed);
    EXPECT_EQ(Joined(err_).rfind(std::string("cannot write ") + kIni + ": ", 0), 0u) << Joined(err_);
    files_.SetReadOnly(kIni, false);
    files_.SetLocked(kIni, true);
    err_.clear();
    EXPECT_EQ(Run({"set", kIni, "Visible=1"}), kExitFailed);
    EXPECT_EQ(Joined(err_).rfind(std::string("another program holds ") + kIni + ": ", 0), 0u) << Joined(err_);
    files_.SetLocked(kIni, false);
    EXPECT_EQ(File(), kPlayerFile);
    EXPECT_EQ(Run({"set", "C:\\NoSuchFolder\\Sorbel.ini", "Visible=1"}), kExitFailed);
}

TEST_F(SetShow, StringValuesTakeTheConsoleConversionAndNumbersDoNot) {
    valueText_ = [](const std::string& text) { return "<" + text + ">"; };
    files_.AddFolder("C:\\Sorbel");
    EXPECT_EQ(Run({"set", kIni, "PlaySong=x", "Count=3"}), kExitOk);
    EXPECT_EQ(Value("PlaySong"), "<x>");
    EXPECT_EQ(Value("Count"), "3");
}

TEST_F(SetShow, ShowPrintsWhatVistelReadsWithDefaultsMarked) {
    files_.Put(kIni, "[VISTEL]\r\nvisible=1\r\nCasFile=\r\nPlaySong=\"曲 1\"\r\nCount=x\r\nHow=1\r\nPlay=5\r\nStop=1\r\n");
    EXPECT_EQ(Run({"show", kIni}), kExitOk);
    EXPECT_EQ(Joined(out_),
              "ColorNum=13  (default)\n"
              "Visible=true\n"
              "CasFile=\n"
              "PlaySong=曲 1\n"
              "Total=00:00  (default)\n"
              "Current=00:00  (default)\n"
              "PlayingIndex=0  (default)\n"
              "Count=0  (default; the file has \"x\")\n"
              "How=1  (repeat one)\n"
              "Play=true\n"
              "Stop=true\n"
              "Transport: paused\n");
    EXPECT_EQ(files_.ReplaceCount(), 0);
}

TEST_F(SetShow, ShowOfAMissingFileGivesEveryDefaultAndOfALockedOneFails) {
    EXPECT_EQ(Run({"show", kIni}), kExitOk);
    EXPECT_EQ(out_[2], "CasFile=新規カセット  (default)");
    EXPECT_EQ(out_[3], "PlaySong=停止  (default)");
    EXPECT_EQ(out_[8], "How=0  (continuous; default)");
    EXPECT_EQ(out_.back(), "Transport: stopped");
    EXPECT_NE(Joined(err_).find("does not exist"), std::string::npos);
    EXPECT_FALSE(files_.Exists(kIni));

    files_.Put(kIni, "[VISTEL]\r\nHow=7\r\nPlay=1\r\n");
    out_.clear();
    EXPECT_EQ(Run({"show", kIni}), kExitOk);
    EXPECT_EQ(out_[8], "How=7  (no mode: Vistel keeps its mode text)");
    EXPECT_EQ(out_.back(), "Transport: playing");

    files_.SetLocked(kIni, true);
    EXPECT_EQ(Run({"show", kIni}), kExitFailed);
}

}  // namespace
}  // namespace standin::testing_support
