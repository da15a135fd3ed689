// The poll cycle: what each key of [VISTEL] puts on the labels, when the
// display closes, and that only changes are set and painted.
#include <string>
#include <vector>

#include "display_fixture.h"

namespace vistel_test {
namespace {

TEST_F(VistelTest, ShowsTheSectionAsThePlayerWroteIt) {
    StartWith("[Sorbel]\r\nPlaySong=違う\r\nVisible=0\r\n" +
              Section({"Visible=1", "CasFile=C:\\Music\\demo.cas", "PlaySong=03 春の歌", "Total=04:31",
                       "Current=01:02", "PlayingIndex=3", "Count=12", "How=2", "Play=1", "Stop=0"}) +
              "[After]\r\nCount=99\r\n");
    Cycle();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"demo.cas 再生3/12全", "03 春の歌", "01:02", "/", "04:31", "Color",
                                                    kStopAfterOne, "再生"}));
    EXPECT_FALSE(Closed());
}

TEST_F(VistelTest, VisibleDecidesWhetherTheDisplayCloses) {
    struct Case {
        const char* line;
        bool closes;
    } cases[] = {
        {"Visible=1", false}, {"Visible=-1", false}, {"visible=2", false}, {"VISIBLE= 1 ", false},
        {"Visible=0", true},  {"Visible=", true},    {"Visible=True", true}, {"Visible=yes", true},
        {"Other=1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        files.Put(kIni, Section({c.line, "ColorNum=4"}));
        Restart();
        Cycle();
        EXPECT_EQ(Closed(), c.closes);
        // Only a close writes, and it writes ColorNum only.
        EXPECT_EQ(Ini(), Section({c.line, "ColorNum=4"}));
        EXPECT_TRUE(MainForm->Timer->Enabled());
    }
}

TEST_F(VistelTest, HowSetsTheModeTextAndOtherValuesKeepIt) {
    struct Case {
        const char* first;
        const char* then;
        std::string shown;
    } cases[] = {
        {"How=0", "How=1", kRepeatOne},   {"How=1", "How=2", kStopAfterOne}, {"How=2", "How=0", kContinuous},
        {"How=2", "How=3", kStopAfterOne}, {"How=1", "How=-1", kRepeatOne},  {"How=2", "How=one", kContinuous},
        {"How=1", "How=", kContinuous},    {"How=2", "Other=1", kContinuous}, {"How=1", "HOW=2", kStopAfterOne},
        {"How=0", "How=2147483647", kContinuous},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.then);
        files.Put(kIni, Section({"Visible=1", c.first}));
        Cycle();
        files.Put(kIni, Section({"Visible=1", c.then}));
        Cycle();
        EXPECT_EQ(MainForm->LaHow->Caption(), c.shown);
    }
    EXPECT_EQ(files.ReplaceCount(), 0);
}

// What the other keys of [VISTEL] put on their labels, as read at each
// cycle: names of any case, numbers in decimal, a missing or unreadable
// value giving the label's default.  Each label's rows run in turn, on a
// display started afresh.
TEST_F(VistelTest, EachKeyOfTheSectionSetsItsLabel) {
    struct Case {
        const char* label;
        std::vector<std::string> lines;  // after Visible=1
        std::string shown;
    } cases[] = {
        {"LaDevice", {}, "停止"},
        {"LaDevice", {"Play=0", "Stop=0"}, "停止"},
        {"LaDevice", {"Play=1", "Stop=0"}, "再生"},
        {"LaDevice", {"Play=0", "Stop=1"}, "一時停止"},
        {"LaDevice", {"Play=1", "Stop=1"}, "一時停止"},
        {"LaDevice", {"Play=-5"}, "再生"},
        {"LaDevice", {"PLAY=1"}, "再生"},
        {"LaDevice", {"play=1", "stop=1"}, "一時停止"},
        {"LaDevice", {"Play=True", "Stop=yes"}, "停止"},
        // The cassette's file name, then the song numbers.
        {"LaPath", {}, "新規カセット 再生0/0全"},
        {"LaPath", {"CasFile="}, " 再生0/0全"},
        {"LaPath", {"CasFile=demo.cas"}, "demo.cas 再生0/0全"},
        {"LaPath", {"CasFile=C:\\Music\\demo.cas", "PlayingIndex=3", "Count=12"}, "demo.cas 再生3/12全"},
        {"LaPath", {"CasFile=C:demo.cas"}, "demo.cas 再生0/0全"},
        {"LaPath", {"CasFile=C:\\Music\\"}, " 再生0/0全"},
        {"LaPath", {"CasFile=\\\\server\\share\\x.cas"}, "x.cas 再生0/0全"},
        // 0x5C trail bytes inside a name are no separators.
        {"LaPath", {"CasFile=C:\\表\\ソ.cas"}, "ソ.cas 再生0/0全"},
        {"LaPath", {"CasFile=D:\\曲\\能表.cas"}, "能表.cas 再生0/0全"},
        {"LaPath", {"CasFile=表"}, "表 再生0/0全"},
        {"LaPath", {"PlayingIndex=-1", "Count=0"}, "新規カセット 再生-1/0全"},
        {"LaPath", {"PlayingIndex=007", "Count=+5"}, "新規カセット 再生7/5全"},
        {"LaPath", {"PlayingIndex=2147483647", "Count=-2147483648"}, "新規カセット 再生2147483647/-2147483648全"},
        {"LaPath", {"PlayingIndex=x", "Count=2147483648"}, "新規カセット 再生0/0全"},
        {"LaPath", {"casfile=a.cas", "PLAYINGINDEX=2", "count=4"}, "a.cas 再生2/4全"},
        // Song and times as stored, trimmed and unquoted.
        {"LaStatusBar", {"PlaySong="}, ""},
        {"LaStatusBar", {"PlaySong=  曲名  "}, "曲名"},
        {"LaStatusBar", {"playsong=\"引用\""}, "引用"},
        {"LaTotal", {"Total="}, ""},
        {"LaTotal", {"Total=1:2:3"}, "1:2:3"},
        {"LaTotal", {"TOTAL=99:99"}, "99:99"},
        {"LaTotal", {}, "00:00"},
        {"LaCurrent", {"Current="}, ""},
        {"LaCurrent", {"Current=abc"}, "abc"},
        {"LaCurrent", {"current=-0"}, "-0"},
        {"LaCurrent", {}, "00:00"},
    };
    std::string label;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.lines));
        if (label != c.label) Restart();
        label = c.label;
        std::vector<std::string> lines = c.lines;
        lines.insert(lines.begin(), "Visible=1");
        files.Put(kIni, Section(lines));
        Cycle();
        EXPECT_EQ(MainForm->Component<fw::TLabel>(c.label)->Caption(), c.shown);
    }
}

TEST_F(VistelTest, SetsOnlyChangedLabelsAndRepaintsOncePerChangedCycle) {
    std::vector<std::string> state = {"Visible=1",  "CasFile=a.cas", "PlaySong=曲", "Total=03:00",
                                      "Current=00:01", "How=1",      "Play=1"};
    StartWith(Section(state));
    ShowSettled();
    Cycle();
    EXPECT_EQ(Window().paints, 2);  // the show, then the first cycle's changes

    struct Step {
        const char* what;
        std::size_t line;  // index in state; 0: nothing changes
        const char* value;
        fw::TLabel* label;
    } steps[] = {
        {"nothing", 0, "Visible=1", nullptr},
        {"Current", 4, "Current=00:02", MainForm->LaCurrent},
        {"nothing again", 0, "Visible=1", nullptr},
        {"Total", 3, "Total=03:01", MainForm->LaTotal},
        {"PlaySong", 2, "PlaySong=次の曲", MainForm->LaStatusBar},
        {"CasFile", 1, "CasFile=b.cas", MainForm->LaPath},
        {"How", 5, "How=2", MainForm->LaHow},
        {"Play", 6, "Play=0", MainForm->LaDevice},
        {"How out of range", 5, "How=9", nullptr},
        {"a key no label shows", 0, "Visible=7", nullptr},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        state[s.line] = s.value;
        files.Put(kIni, Section(state));
        std::vector<int> textChanges;
        for (fw::TLabel* label : Labels()) textChanges.push_back(WindowOf(label).textChanges);
        const int paints = Window().paints;
        Cycle();
        // The repaint happens within the cycle, not later.
        EXPECT_EQ(Window().paints, paints + (s.label ? 1 : 0));
        for (std::size_t i = 0; i < Labels().size(); ++i) {
            fw::TLabel* label = Labels()[i];
            SCOPED_TRACE(label->Name());
            EXPECT_EQ(WindowOf(label).textChanges, textChanges[i] + (label == s.label ? 1 : 0));
        }
        platform.ProcessPaints();
        EXPECT_EQ(Window().paints, paints + (s.label ? 1 : 0));
    }

    // Everything at once still paints once.
    files.Put(kIni, Section({"Visible=1", "CasFile=z.cas", "PlaySong=z", "Total=z", "Current=z", "How=0",
                             "Stop=1"}));
    const int paints = Window().paints;
    Cycle();
    EXPECT_EQ(Window().paints, paints + 1);
    EXPECT_FALSE(Closed());
}

TEST_F(VistelTest, LabelSetByOtherMeansIsCorrectedAtTheNextCycle) {
    StartWith(Section({"Visible=1", "Total=03:00", "How=0"}));
    ShowSettled();
    Cycle();
    MainForm->LaTotal->SetCaption("xx");
    MainForm->LaHow->SetCaption("yy");
    const int paints = Window().paints;
    Cycle();
    EXPECT_EQ(MainForm->LaTotal->Caption(), "03:00");
    EXPECT_EQ(MainForm->LaHow->Caption(), kContinuous);
    EXPECT_EQ(Window().paints, paints + 1);
}

TEST_F(VistelTest, TimerRunsOneCycleEvery50MsAndIsOffWhileItRuns) {
    StartWith(Section({"Visible=1", "Current=00:01"}));
    std::vector<bool> enabledAtRead;
    files.beforeRead = [&](const std::string&) { enabledAtRead.push_back(MainForm->Timer->Enabled()); };

    platform.Advance(49);
    EXPECT_EQ(MainForm->LaCurrent->Caption(), "00:00");
    EXPECT_TRUE(enabledAtRead.empty());
    platform.Advance(1);
    EXPECT_EQ(MainForm->LaCurrent->Caption(), "00:01");
    files.Put(kIni, Section({"Visible=1", "Current=00:02"}));
    platform.Advance(49);
    EXPECT_EQ(MainForm->LaCurrent->Caption(), "00:01");
    platform.Advance(1);
    EXPECT_EQ(MainForm->LaCurrent->Caption(), "00:02");

    ASSERT_FALSE(enabledAtRead.empty());
    EXPECT_EQ(enabledAtRead, std::vector<bool>(enabledAtRead.size(), false));
    EXPECT_TRUE(MainForm->Timer->Enabled());
}

// While a modal loop runs on the display's thread, the poll goes on as
// before: the labels follow the file and Visible=0 closes the display, after
// which no cycle runs.  The exception box of a failing cycle is such a loop:
// cycles that fail while it is up show no second box.
TEST_F(VistelTest, ThePollGoesOnWhileAModalLoopRuns) {
    struct Case {
        const char* loop;
        int failingCycles;  // from the first one in the loop's row, whose box is the loop
    } cases[] = {{"the system's move loop", 0}, {"the exception box of a failing cycle", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loop);
        files.beforeRead = nullptr;
        files.Put(kIni, Section({"Visible=1", "PlaySong=前の曲"}));
        Restart();
        platform.Advance(50);
        int failing = c.failingCycles;
        files.beforeRead = [&](const std::string&) {
            if (failing > 0 && failing--) throw fw::Exception("読めません");
        };
        std::string shownInLoop;
        bool closedInLoop = false;
        auto loop = [&] {
            files.Put(kIni, Section({"Visible=1", "PlaySong=次の曲"}));
            platform.Advance(500);
            shownInLoop = MainForm->LaStatusBar->Caption();
            files.Put(kIni, Section({"Visible=0", "PlaySong=次の曲"}));
            platform.Advance(100);
            closedInLoop = Closed();
            files.Put(kIni, Section({"Visible=1", "PlaySong=後の曲"}));
            platform.Advance(100);
        };
        platform.onModalLoop = loop;
        platform.onMessageBox = [&](const MemoryPlatform::MessageBoxCall&) {
            if (platform.messageBoxes.size() == 1) loop();
        };
        if (c.failingCycles) {
            platform.Advance(50);
        } else {
            fw::TMessage move{WM_SYSCOMMAND, SC_MOVE, 0, 0};
            MainForm->Dispatch(move);
        }
        EXPECT_EQ(shownInLoop, "次の曲");
        EXPECT_TRUE(closedInLoop);
        EXPECT_EQ(MainForm->LaStatusBar->Caption(), "次の曲");
        ASSERT_EQ(platform.messageBoxes.size(), c.failingCycles ? 1u : 0u);
        if (c.failingCycles) {
            EXPECT_EQ(platform.messageBoxes[0].text, "読めません");
        }
        platform.messageBoxes.clear();
    }
}

}  // namespace
}  // namespace vistel_test
