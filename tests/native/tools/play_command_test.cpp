#include <gtest/gtest.h>

#include <set>

#include "standin/command_queue.h"
#include "standin/status.h"
#include "standin_fixture.h"

namespace standin::testing_support {
namespace {

constexpr const char kCas[] = "C:\\Music\\demo.cas";

class PlayCommand : public StandInTest {
protected:
    PlayCommand() { files_.Put(kIni, "[Sorbel]\r\nVolume=80\r\n"); }
};

TEST_F(PlayCommand, CassetteLinesBecomeSongsNamedByTheirFileNamePart) {
    // "表" ends in the byte 0x5C: not a separator.
    files_.Put(kCas, "C:\\Music\\表.mid\r\n\r\n  \t\r\nD:\\曲\\b.mid\nc.mid\rsub\\d.mid");
    std::vector<Song> songs;
    std::string error;
    ASSERT_TRUE(LoadCassette(kCas, 0, songs, error)) << error;
    std::vector<std::string> names;
    for (const Song& song : songs) names.push_back(song.name);
    EXPECT_EQ(names, (std::vector<std::string>{"表.mid", "b.mid", "c.mid", "d.mid"}));
    EXPECT_EQ(songs[0].seconds, DefaultSongSeconds(1));
    EXPECT_EQ(songs[3].seconds, DefaultSongSeconds(4));
    ASSERT_TRUE(LoadCassette(kCas, 7, songs, error));
    EXPECT_EQ(songs[2].seconds, 7);
}

TEST_F(PlayCommand, DefaultLengthsVaryByPositionWithinTwentyToSixtySeconds) {
    std::set<int> lengths;
    for (int position = 1; position <= 200; ++position) lengths.insert(DefaultSongSeconds(position));
    EXPECT_EQ(*lengths.begin(), 20);
    EXPECT_LE(*lengths.rbegin(), 60);
    EXPECT_GT(lengths.size(), 10u);
}

TEST_F(PlayCommand, FormatsTimesAsMinutesAndSeconds) {
    struct Case {
        int seconds;
        const char* text;
    } cases[] = {{0, "00:00"}, {1, "00:01"}, {59, "00:59"}, {60, "01:00"}, {754, "12:34"}, {5999, "99:59"},
                 {6000, "100:00"}, {-3, "00:00"}};
    for (const Case& c : cases) EXPECT_EQ(FormatTime(c.seconds), c.text) << c.seconds;
}

TEST_F(PlayCommand, StartsTheWritesAndHandsThePlayerToTheLoop) {
    files_.Put(kCas, "C:\\Music\\a.mid\r\nC:\\Music\\b.mid\r\n");
    valueText_ = [](const std::string& text) { return "<" + text + ">"; };
    run_ = [this](Player& player) {
        EXPECT_EQ(Value("Visible"), "1");
        EXPECT_EQ(Value("CasFile"), std::string("<") + kCas + ">");
        EXPECT_EQ(Value("Count"), "2");
        EXPECT_EQ(Value("Total"), "00:05");
        EXPECT_EQ(Value("How"), "2");
        for (int second = 0; second < 5; ++second) player.Tick();
        EXPECT_EQ(Value("Play"), "0");  // stopped after one
        EXPECT_FALSE(player.Finished());
        player.Tick();  // the sixth second: --quit-after
        EXPECT_TRUE(player.Finished());
        return 7;
    };
    EXPECT_EQ(Run({"play", kIni, "--seconds", "5", kCas, "--how", "2", "--quit-after", "6"}), 7);
    EXPECT_EQ(runs_, 1);
    EXPECT_EQ(Value("Visible"), "0");
    EXPECT_EQ(File().rfind("[Sorbel]\r\nVolume=80\r\n[VISTEL]\r\n", 0), 0u);
    EXPECT_EQ(out_.front(), "Song 1/2: a.mid (00:05)");
}

TEST_F(PlayCommand, RejectsBadInputWithoutTouchingTheSettings) {
    files_.Put("C:\\Music\\empty.cas", "");
    files_.Put("C:\\Music\\blank.cas", "\r\n  \r\n\t\n");
    files_.Put("C:\\Music\\locked.cas", "a.mid\r\n");
    files_.SetLocked("C:\\Music\\locked.cas", true);
    files_.Put(kCas, "a.mid\r\n");
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* message;
    } cases[] = {
        {{"play", kIni, "C:\\Music\\none.cas"}, kExitFailed, "cannot read cassette C:\\Music\\none.cas: "},
        {{"play", kIni, "C:\\Music\\locked.cas"}, kExitFailed, "cannot read cassette C:\\Music\\locked.cas: "},
        {{"play", kIni, "C:\\Music\\empty.cas"}, kExitFailed, "cassette C:\\Music\\empty.cas holds no songs"},
        {{"play", kIni, "C:\\Music\\blank.cas"}, kExitFailed, "holds no songs"},
        {{"play", kIni, "C:\\Music\\a\nb.cas"}, kExitUsage, "bad cassette path: a line end"},
        {{"play", kIni}, kExitUsage, "a settings file and a cassette file"},
        {{"play", kIni, kCas, "extra"}, kExitUsage, "a settings file and a cassette file"},
        {{"play", kIni, kCas, "--seconds"}, kExitUsage, "--seconds needs a number"},
        {{"play", kIni, kCas, "--seconds", "0"}, kExitUsage, "bad value for --seconds: \"0\" (1 to 5999)"},
        {{"play", kIni, kCas, "--seconds", "6000"}, kExitUsage, "bad value for --seconds"},
        {{"play", kIni, kCas, "--seconds", "ten"}, kExitUsage, "bad value for --seconds"},
        {{"play", kIni, kCas, "--quit-after", "0"}, kExitUsage, "bad value for --quit-after"},
        {{"play", kIni, kCas, "--how", "3"}, kExitUsage, "bad value for --how: \"3\" (0 to 2)"},
        {{"play", kIni, kCas, "--how", "-1"}, kExitUsage, "bad value for --how"},
        {{"play", kIni, kCas, "--loop"}, kExitUsage, "unknown option \"--loop\""},
    };
    const std::string before = File();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        err_.clear();
        EXPECT_EQ(Run(c.args), c.exit);
        EXPECT_NE(Joined(err_).find(c.message), std::string::npos) << Joined(err_);
    }
    EXPECT_EQ(File(), before);
    EXPECT_EQ(files_.ReplaceCount(), 0);
    EXPECT_EQ(runs_, 0);
}

TEST_F(PlayCommand, ASettingsFileItCannotWriteEndsThePlayBeforeItStarts) {
    files_.Put(kCas, "a.mid\r\n");
    files_.SetReadOnly(kIni, true);
    EXPECT_EQ(Run({"play", kIni, kCas}), kExitFailed);
    EXPECT_EQ(Joined(err_).rfind(std::string("cannot write ") + kIni, 0), 0u) << Joined(err_);
    EXPECT_EQ(File(), "[Sorbel]\r\nVolume=80\r\n");
    EXPECT_EQ(runs_, 0);
    EXPECT_TRUE(out_.empty());
}

TEST(CommandQueue, HandsOverLinesInOrderThenTheEnd) {
    using Clock = std::chrono::steady_clock;
    CommandQueue queue;
    std::string line;
    Clock::time_point past = Clock::now() - std::chrono::seconds(1);
    EXPECT_EQ(queue.Pop(past, line), CommandQueue::Result::Timeout);
    queue.Push("p");
    queue.Push("q");
    queue.End();
    EXPECT_EQ(queue.Pop(past, line), CommandQueue::Result::Line);
    EXPECT_EQ(line, "p");
    EXPECT_EQ(queue.Pop(past, line), CommandQueue::Result::Line);
    EXPECT_EQ(line, "q");
    EXPECT_EQ(queue.Pop(past, line), CommandQueue::Result::Ended);
    EXPECT_EQ(queue.Pop(past, line), CommandQueue::Result::Ended);
}

}  // namespace
}  // namespace standin::testing_support
