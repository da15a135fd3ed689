#include <gtest/gtest.h>

#include "standin_fixture.h"

namespace standin::testing_support {
namespace {

constexpr const char kPlayerPart[] = "; Sorbel\r\n[Sorbel]\r\nVolume=80\r\n\r\n";

class PlayerTest : public StandInTest {
protected:
    PlayerTest() { files_.Put(kIni, std::string(kPlayerPart) + "[VISTEL]\r\nColorNum=5\r\nHow=0\r\n"); }

    Player& Started(int quitAfter = 0, std::optional<int> how = std::nullopt) {
        PlayerSetup setup{kIni, "C:\\Music\\demo.cas", {{"a.mid", 3}, {"b.mid", 2}, {"曲.mid", 2}}, how, quitAfter};
        player_.emplace(
            setup, [this](const std::string& line) { out_.push_back(line); },
            [this](const std::string& line) { err_.push_back(line); });
        std::string error;
        EXPECT_TRUE(player_->Start(error)) << error;
        return *player_;
    }

    // What Vistel would show of the file: position, song, times, Play and Stop.
    std::string State() const {
        return Value("PlayingIndex").value_or("-") + " " + Value("PlaySong").value_or("-") + " " +
               Value("Current").value_or("-") + "/" + Value("Total").value_or("-") + " P" +
               Value("Play").value_or("-") + "S" + Value("Stop").value_or("-");
    }

    void Do(const std::string& action) {
        if (action == "t")
            player_->Tick();
        else if (action == "end")
            player_->InputEnded();
        else if (action.find('=') != std::string::npos)
            VistelWrites(action.substr(0, action.find('=')), action.substr(action.find('=') + 1));
        else
            EXPECT_TRUE(player_->Command(action));
    }

    struct Step {
        const char* action;
        const char* state;  // after the action
        int writes;         // file replacements the action made
    };

    void Script(std::initializer_list<Step> steps) {
        int step = 0;
        for (const Step& s : steps) {
            SCOPED_TRACE("step " + std::to_string(++step) + ": " + s.action);
            int before = files_.ReplaceCount();
            Do(s.action);
            EXPECT_EQ(State(), s.state);
            EXPECT_EQ(files_.ReplaceCount() - before, s.writes);
        }
    }

    std::optional<Player> player_;
};

TEST_F(PlayerTest, StartShowsTheWindowAndTheFirstSongKeepingTheRest) {
    Started();
    EXPECT_EQ(File(), std::string(kPlayerPart) +
                          "[VISTEL]\r\nColorNum=5\r\nHow=0\r\nVisible=1\r\nCasFile=C:\\Music\\demo.cas\r\n"
                          "PlaySong=a.mid\r\nTotal=00:03\r\nCurrent=00:00\r\nPlayingIndex=1\r\nCount=3\r\n"
                          "Play=1\r\nStop=0\r\n");
    EXPECT_EQ(files_.ReplaceCount(), 1);
    EXPECT_EQ(Joined(out_), "Song 1/3: a.mid (00:03)\n");
}

TEST_F(PlayerTest, ContinuousPlayCountsSecondsStepsSongsAndStopsRewoundAtTheEnd) {
    Started();
    Script({
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"t", "1 a.mid 00:02/00:03 P1S0", 1},
        {"t", "2 b.mid 00:00/00:02 P1S0", 1},
        {"t", "2 b.mid 00:01/00:02 P1S0", 1},
        {"t", "3 曲.mid 00:00/00:02 P1S0", 1},
        {"t", "3 曲.mid 00:01/00:02 P1S0", 1},
        {"t", "1 a.mid 00:00/00:03 P0S0", 1},
        {"t", "1 a.mid 00:00/00:03 P0S0", 0},  // stopped: nothing changes, nothing written
        {"p", "1 a.mid 00:00/00:03 P1S0", 1},  // play again from the start
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
    });
    EXPECT_EQ(Joined(out_),
              "Song 1/3: a.mid (00:03)\nSong 2/3: b.mid (00:02)\nSong 3/3: 曲.mid (00:02)\n"
              "End of cassette: stopped\nSong 1/3: a.mid (00:03)\n");
}

TEST_F(PlayerTest, HowWrittenByVistelMidSongIsObeyedAtTheEndOfTheSong) {
    Started();
    Script({
        {"How=1", "1 a.mid 00:00/00:03 P1S0", 0},
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"t", "1 a.mid 00:02/00:03 P1S0", 1},
        {"t", "1 a.mid 00:00/00:03 P1S0", 1},  // repeat one: the same song again
        {"How=2", "1 a.mid 00:00/00:03 P1S0", 0},
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"How=0", "1 a.mid 00:01/00:03 P1S0", 0},  // changed back before the end: goes on
        {"t", "1 a.mid 00:02/00:03 P1S0", 1},
        {"t", "2 b.mid 00:00/00:02 P1S0", 1},
        {"How=2", "2 b.mid 00:00/00:02 P1S0", 0},
        {"t", "2 b.mid 00:01/00:02 P1S0", 1},
        {"t", "2 b.mid 00:00/00:02 P0S0", 1},  // stop after one: stopped on that song
        {"t", "2 b.mid 00:00/00:02 P0S0", 0},
        {"How=7", "2 b.mid 00:00/00:02 P0S0", 0},  // no mode: plays on as continuous
        {"p", "2 b.mid 00:00/00:02 P1S0", 1},
        {"t", "2 b.mid 00:01/00:02 P1S0", 1},
        {"t", "3 曲.mid 00:00/00:02 P1S0", 1},
    });
    EXPECT_EQ(Value("How"), "7");
}

TEST_F(PlayerTest, PauseHoldsTheClockAndNextKeepsTheTransport) {
    Started();
    Script({
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"p", "1 a.mid 00:01/00:03 P1S1", 1},
        {"t", "1 a.mid 00:01/00:03 P1S1", 0},
        {"n", "2 b.mid 00:00/00:02 P1S1", 1},  // paused stays paused
        {"t", "2 b.mid 00:00/00:02 P1S1", 0},
        {"p", "2 b.mid 00:00/00:02 P1S0", 1},
        {"t", "2 b.mid 00:01/00:02 P1S0", 1},
        {"n", "3 曲.mid 00:00/00:02 P1S0", 1},
        {"n", "1 a.mid 00:00/00:03 P1S0", 1},  // after the last, the first
        {"How=2", "1 a.mid 00:00/00:03 P1S0", 0},
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"t", "1 a.mid 00:02/00:03 P1S0", 1},
        {"t", "1 a.mid 00:00/00:03 P0S0", 1},
        {"n", "2 b.mid 00:00/00:02 P0S0", 1},  // stopped stays stopped
    });
}

TEST_F(PlayerTest, QuitHidesTheWindowAndEndsEverything) {
    Started();
    Script({
        {"p", "1 a.mid 00:00/00:03 P1S1", 1},
        {"q", "1 a.mid 00:00/00:03 P0S0", 1},
        {"t", "1 a.mid 00:00/00:03 P0S0", 0},
        {"p", "1 a.mid 00:00/00:03 P0S0", 0},
    });
    EXPECT_TRUE(player_->Finished());
    EXPECT_EQ(Value("Visible"), "0");
    EXPECT_EQ(out_.back(), "Quit");
}

TEST_F(PlayerTest, CommandsIgnoreBlanksAndCaseAndRefuseTheRest) {
    Started();
    for (const char* known : {"", " \t", " P\r", "n", "p"}) EXPECT_TRUE(player_->Command(known)) << known;
    for (const char* unknown : {"pause", "x", "n n"}) EXPECT_FALSE(player_->Command(unknown)) << unknown;
    EXPECT_EQ(State(), "2 b.mid 00:00/00:02 P1S0");
}

TEST_F(PlayerTest, VistelsWritesBetweenSecondsSurvive) {
    Started(0, 2);
    EXPECT_EQ(Value("How"), "2");
    Script({
        {"ColorNum=9", "1 a.mid 00:00/00:03 P1S0", 0},
        {"How=1", "1 a.mid 00:00/00:03 P1S0", 0},
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"p", "1 a.mid 00:01/00:03 P1S1", 1},
        {"q", "1 a.mid 00:01/00:03 P0S0", 1},
    });
    EXPECT_EQ(Value("ColorNum"), "9");
    EXPECT_EQ(Value("How"), "1");
    EXPECT_EQ(File().rfind(kPlayerPart, 0), 0u);
}

TEST_F(PlayerTest, QuitAfterCountsSecondsOfTheRunPausedOrNot) {
    Started(3);
    Script({
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"p", "1 a.mid 00:01/00:03 P1S1", 1},
        {"t", "1 a.mid 00:01/00:03 P1S1", 0},
        {"t", "1 a.mid 00:01/00:03 P0S0", 1},
    });
    EXPECT_TRUE(player_->Finished());
    EXPECT_EQ(Value("Visible"), "0");
}

TEST_F(PlayerTest, WithoutInputItQuitsOnceNothingPlays) {
    Started();
    Script({
        {"end", "1 a.mid 00:00/00:03 P1S0", 0},
        {"t", "1 a.mid 00:01/00:03 P1S0", 1},
        {"How=2", "1 a.mid 00:01/00:03 P1S0", 0},
        {"t", "1 a.mid 00:02/00:03 P1S0", 1},
        {"t", "1 a.mid 00:00/00:03 P0S0", 1},  // stopped and quit in one write
    });
    EXPECT_EQ(Value("Visible"), "0");
    EXPECT_TRUE(player_->Finished());

    PlayerTest::Started();
    Do("p");
    Do("end");  // paused with no way to resume
    EXPECT_TRUE(player_->Finished());
    EXPECT_EQ(Value("Visible"), "0");
}

TEST_F(PlayerTest, AFailedWriteIsReportedOnceAndCaughtUpLater) {
    Started();
    files_.FailNextReplaces(2);
    Do("t");
    Do("t");
    EXPECT_EQ(Value("Current"), "00:00");
    EXPECT_TRUE(player_->WritePending());
    ASSERT_EQ(err_.size(), 1u);
    EXPECT_EQ(err_[0].rfind(std::string("warning: cannot write ") + kIni, 0), 0u) << err_[0];
    Script({{"t", "2 b.mid 00:00/00:02 P1S0", 1}});
    EXPECT_FALSE(player_->WritePending());

    files_.FailNextReplaces(1);
    Do("q");
    EXPECT_EQ(Value("Visible"), "1");
    EXPECT_TRUE(player_->RetryWrite());
    EXPECT_EQ(Value("Visible"), "0");
    EXPECT_EQ(Value("Play"), "0");
}

TEST_F(PlayerTest, AFileRemovedWhilePlayingIsWrittenWhole) {
    Started();
    files_.DeleteFile(kIni);
    Do("t");
    EXPECT_EQ(File(),
              "[VISTEL]\r\nVisible=1\r\nCasFile=C:\\Music\\demo.cas\r\nPlaySong=a.mid\r\nTotal=00:03\r\n"
              "Current=00:01\r\nPlayingIndex=1\r\nCount=3\r\nPlay=1\r\nStop=0\r\n");
}

}  // namespace
}  // namespace standin::testing_support
