// The left button over the window, sampled once per poll cycle: mode steps,
// colour steps and drags, each once per press.
#include <string>
#include <vector>

#include "display_fixture.h"

namespace vistel_test {
namespace {

class PointerTest : public VistelTest {
protected:
    void SetUp() override {
        files.Put(kIni, Section({"Visible=1", "How=0"}));
        StartShown();
    }

    // Starts afresh and runs the first cycle, which shows the window; the
    // tests count the show commands that follow.
    void StartShown() {
        Restart();
        Cycle();
        Window().showCommands.clear();
    }

    const std::vector<int>& Shows() { return Window().showCommands; }
};

// At 96 pixels per inch and at 144, where the labels are laid out anew:
// the hit rectangles are the scaled labels' in screen pixels.
TEST_F(PointerTest, HitRectanglesIncludeEveryEdge) {
    enum Action { None, Mode, Colour, Drag };
    struct Case {
        int dpi;
        int dx, dy;
        Action action;
    } cases[] = {
        // LaHow: x 120 to 193, y 72 to 89.
        {96, 120, 72, Mode}, {96, 193, 72, Mode}, {96, 120, 89, Mode}, {96, 193, 89, Mode}, {96, kModeX, kModeY, Mode},
        {96, 194, 80, Drag}, {96, 156, 90, Drag}, {96, 156, 71, Drag},
        // LaColor: from x 80 and y 72, one pixel taller than its 15.
        {96, 80, 72, Colour}, {96, 100, 87, Colour}, {96, 79, 80, Drag}, {96, 100, 88, Drag}, {96, 100, 71, Drag},
        // The window: x 0 to 198, y 0 to 90; the other labels do not react.
        {96, 0, 0, Drag}, {96, 198, 90, Drag}, {96, 198, 0, Drag}, {96, 0, 90, Drag}, {96, 30, 80, Drag},
        {96, 40, 50, Drag}, {96, -1, 45, None}, {96, 199, 45, None}, {96, 100, -1, None}, {96, 100, 91, None},
        // LaHow at 180,108 sized 110 by 26; LaColor at 120,108; the window 297 by 135.
        {144, 180, 108, Mode}, {144, 290, 134, Mode}, {144, 291, 120, Drag}, {144, 120, 108, Colour},
        {144, 119, 110, Drag}, {144, 297, 135, Drag}, {144, 298, 60, None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.dx << "," << c.dy << ", " << c.dpi << " pixels per inch");
        if (platform.pixelsPerInch != c.dpi) {
            platform.pixelsPerInch = c.dpi;
            StartShown();
        }
        const std::string how = MainForm->LaHow->Caption();
        const std::int32_t colour = ColorIndex;
        const std::size_t shows = Shows().size();
        const fw::TPoint at = Position();
        Press(c.dx, c.dy);
        Cycle();
        EXPECT_EQ(MainForm->LaHow->Caption() != how, c.action == Mode);
        EXPECT_EQ(ColorIndex != colour, c.action == Colour);
        EXPECT_EQ(Shows().size() - shows, c.action == Drag ? 2u : 0u);
        EXPECT_EQ(DragLatch, c.action == Drag);
        EXPECT_EQ(Position(), at);
        Release();
        Cycle();
        EXPECT_FALSE(DragLatch || HowLatch || ColorLatch);
    }
}

TEST_F(PointerTest, ClicksStepTheModeRoundFromTheShownText) {
    files.Put(kIni, Section({"Visible=1", "How=2"}));
    Cycle();
    struct Step {
        std::string shown;
        const char* how;
    } steps[] = {{kContinuous, "0"}, {kRepeatOne, "1"}, {kStopAfterOne, "2"}, {kContinuous, "0"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.how);
        Click(kModeX, kModeY);
        EXPECT_EQ(MainForm->LaHow->Caption(), s.shown);
        EXPECT_EQ(Saved("How"), s.how);
    }
    // One write per click, and no drag.
    EXPECT_EQ(files.ReplaceCount(), 4);
    EXPECT_TRUE(Shows().empty());
}

TEST_F(PointerTest, OnlyTheUsersPrimaryButtonActsAskedAfreshAtEveryTest) {
    // The key state is the physical button's: a left-handed user who swapped
    // the buttons presses the right one.
    struct Case {
        bool swapped, left, right;
        bool acts;
    } cases[] = {
        {false, true, false, true},  {false, false, true, false}, {false, true, true, true},
        {true, false, true, true},   {true, true, false, false},  {true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "swapped " << c.swapped << ", left " << c.left << ", right " << c.right);
        platform.buttonsSwapped = c.swapped;
        const std::string how = MainForm->LaHow->Caption();
        Pointer(kModeX, kModeY, false);
        platform.leftButton = c.left;
        platform.rightButton = c.right;
        Cycle();
        EXPECT_EQ(MainForm->LaHow->Caption() != how, c.acts);
        EXPECT_EQ(HowLatch, c.acts);
        platform.leftButton = platform.rightButton = false;
        Cycle();
    }
    // The user swaps the buttons while the display runs: a right press held
    // from then on is a press, and swapping back ends it.
    platform.buttonsSwapped = false;
    Pointer(kBackX, kBackY, false);
    platform.rightButton = true;
    Cycle();
    EXPECT_FALSE(DragLatch);
    platform.buttonsSwapped = true;
    Cycle();
    EXPECT_TRUE(DragLatch);
    platform.buttonsSwapped = false;
    Cycle();
    EXPECT_FALSE(DragLatch);
}

TEST_F(PointerTest, ModeStepGoesByTheLabelNotByTheHowRead) {
    struct Case {
        const char* how;       // in the file; out of range, so the label keeps its text
        const char* shownText; // put on the label before the click
        const char* after;
        const char* written;   // How in the file after the click
    } cases[] = {
        {"7", "１曲停止", "連続再生", "0"},
        {"-1", "連続再生", "１曲リピート", "1"},
        {"3", "１曲リピート", "１曲停止", "2"},
        {"3", "？", "？", "3"},
        {"3", "", "", "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shownText);
        files.Put(kIni, Section({"Visible=1", std::string("How=") + c.how}));
        MainForm->LaHow->SetCaption(c.shownText);
        const int writes = files.ReplaceCount();
        Press(kModeX, kModeY);
        Cycle();
        EXPECT_EQ(MainForm->LaHow->Caption(), c.after);
        EXPECT_EQ(Saved("How"), c.written);
        EXPECT_EQ(files.ReplaceCount() - writes, std::string(c.how) == c.written ? 0 : 1);
        EXPECT_TRUE(HowLatch);  // set even when nothing was stepped
        Release();
        Cycle();
    }
}

TEST_F(PointerTest, PressHeldOnTheModeLabelStepsOnceThenDrags) {
    Press(kModeX, kModeY);
    Cycles(5);
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(Shows(), (std::vector<int>{SW_HIDE, SW_SHOWNOACTIVATE}));
    EXPECT_TRUE(DragLatch && HowLatch);
    EXPECT_TRUE(Window().moves.empty());
    MoveBy(20, 0);
    Cycle();
    EXPECT_EQ(Position(), (fw::TPoint{777, 136}));
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    EXPECT_EQ(files.ReplaceCount(), 1);
}

TEST_F(PointerTest, DragFollowsTheCursorAndIgnoresMovementAtRelease) {
    Press(kBackX, kBackY);
    const fw::TPoint start = platform.cursor;
    Cycle();
    EXPECT_EQ(Shows(), (std::vector<int>{SW_HIDE, SW_SHOWNOACTIVATE}));
    EXPECT_EQ(platform.bitmapsAlive, 1);
    EXPECT_EQ(LastCursorX, start.x);
    EXPECT_EQ(LastCursorY, start.y);
    EXPECT_TRUE(Window().moves.empty());
    MoveBy(10, 5);
    Cycle();
    // Horizontal first, then vertical.
    EXPECT_EQ(Window().moves, (std::vector<fw::TPoint>{{767, 136}, {767, 141}}));
    Cycle();  // held still
    EXPECT_EQ(Window().moves.size(), 2u);
    Release();
    MoveBy(7, 7);
    Cycle();
    Cycles(2);
    EXPECT_EQ(Position(), (fw::TPoint{767, 141}));
    EXPECT_EQ(Window().moves.size(), 2u);
    EXPECT_EQ(LastCursorX, start.x + 10);
    EXPECT_EQ(LastCursorY, start.y + 5);
    EXPECT_FALSE(DragLatch);
    EXPECT_EQ(Shows().size(), 2u);
    EXPECT_EQ(files.ReplaceCount(), 0);
}

TEST_F(PointerTest, DragGoesOnOutsideTheWindowAndMovesOnlyOnCursorMoves) {
    Press(kBackX, kBackY);
    Cycle();
    MoveBy(-900, 500);  // far outside the window's old place
    Cycle();
    EXPECT_EQ(Position(), (fw::TPoint{757 - 900, 136 + 500}));
    MoveBy(0, -3);
    Cycle();
    EXPECT_EQ(Window().moves, (std::vector<fw::TPoint>{{-143, 136}, {-143, 636}, {-143, 633}}));
    EXPECT_EQ(Shows().size(), 2u);
}

TEST_F(PointerTest, PressCarriedOntoTheWindowActsThere) {
    enum Action { Mode, Colour, Drag };
    struct Case {
        const char* what;
        int dx, dy;
        Action action;
    } cases[] = {
        {"background", kBackX, kBackY, Drag},
        {"LaHow", kModeX, kModeY, Mode},
        {"LaColor", kColourX, kColourY, Colour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files.Put(kIni, Section({"Visible=1", "How=0"}));
        Release();
        StartShown();
        Press(-40, 200);  // pressed in another window
        Cycle();
        EXPECT_TRUE(Shows().empty());
        EXPECT_FALSE(DragLatch || HowLatch || ColorLatch);
        Press(c.dx, c.dy);  // carried over, still held
        Cycle();
        EXPECT_EQ(HowLatch, c.action == Mode);
        EXPECT_EQ(ColorLatch, c.action == Colour);
        EXPECT_EQ(DragLatch, c.action == Drag);
        EXPECT_EQ(MainForm->LaHow->Caption(), c.action == Mode ? kRepeatOne : kContinuous);
        EXPECT_EQ(ColorIndex, c.action == Colour ? 14 : 13);
        MoveBy(5, 0);
        Cycle();
        EXPECT_EQ(Position(), (fw::TPoint{c.action == Drag ? 762 : 757, 136}));
    }
}

TEST_F(PointerTest, LatchBlocksOnlyItsOwnActionWhileTheWindowLagsTheCursor) {
    Press(kColourX, kColourY);
    Cycle();  // colour step
    Cycle();  // drag begins
    EXPECT_EQ(ColorIndex, 14);
    EXPECT_TRUE(ColorLatch && DragLatch);
    // The cursor jumps onto where LaHow is before the window follows it.
    MoveBy(kModeX - kColourX, 0);
    Cycle();
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    EXPECT_EQ(Saved("How"), "1");
    EXPECT_EQ(Position(), (fw::TPoint{757 + kModeX - kColourX, 136}));
    Cycles(3);
    EXPECT_EQ(ColorIndex, 14);
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    EXPECT_EQ(Shows().size(), 2u);
}

TEST_F(PointerTest, HiddenWindowStillReactsAndADragShowsIt) {
    fw::ShowWindow(MainForm->Handle(), SW_HIDE);  // as another program may
    Window().showCommands.clear();
    ASSERT_FALSE(MainForm->Visible());
    Click(kModeX, kModeY);
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    Click(kColourX, kColourY);
    EXPECT_EQ(ColorIndex, 14);
    EXPECT_FALSE(MainForm->Visible());
    Press(kBackX, kBackY);
    Cycle();
    EXPECT_TRUE(MainForm->Visible());
    EXPECT_EQ(Shows(), (std::vector<int>{SW_HIDE, SW_SHOWNOACTIVATE}));
}

TEST_F(PointerTest, FailedCursorQueryCountsAsTheScreenOrigin) {
    platform.cursorAvailable = false;
    Press(kModeX, kModeY);  // not seen: the query fails
    Cycles(2);
    EXPECT_EQ(MainForm->LaHow->Caption(), kContinuous);
    EXPECT_TRUE(Shows().empty());
    Release();
    Cycle();
    MainForm->SetLeft(0);
    MainForm->SetTop(0);
    platform.cursor = {100, 100};
    platform.leftButton = true;
    Cycle();
    EXPECT_TRUE(DragLatch);
    EXPECT_EQ(LastCursorX, 0);
    EXPECT_EQ(LastCursorY, 0);
    EXPECT_EQ(Shows().size(), 2u);
    EXPECT_EQ(Position(), (fw::TPoint{0, 0}));
}

TEST_F(PointerTest, HeldModeTextWinsOverTheFileUntilRelease) {
    Press(kModeX, kModeY);
    Cycle();
    ASSERT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    files.Put(kIni, Section({"Visible=1", "How=2"}));  // the player changes its mind
    Cycles(3);
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    files.Put(kIni, Section({"Visible=1", "How=0"}));
    Cycle();
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    Release();
    Cycle();  // the release cycle still keeps the clicked text
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    Cycle();
    EXPECT_EQ(MainForm->LaHow->Caption(), kContinuous);
}

TEST_F(PointerTest, CloseRequestStillFinishesThePointerStep) {
    Press(kBackX, kBackY);
    Cycle();
    files.Put(kIni, Section({"Visible=0", "Current=09:09", "How=0"}));
    MoveBy(4, 3);
    Cycle();
    EXPECT_TRUE(Closed());
    EXPECT_EQ(MainForm->LaCurrent->Caption(), "09:09");
    EXPECT_EQ(Position(), (fw::TPoint{761, 139}));
    EXPECT_EQ(Saved("ColorNum"), "13");
    EXPECT_TRUE(MainForm->Timer->Enabled());
}

TEST_F(PointerTest, CloseRequestAndModeStepInOneCycleKeepBothWrites) {
    files.Put(kIni, "[Sorbel]\r\nVolume=80\r\n" + Section({"How=0"}));
    Press(kModeX, kModeY);
    Cycle();
    EXPECT_TRUE(Closed());
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    EXPECT_EQ(Ini(), "[Sorbel]\r\nVolume=80\r\n" + Section({"How=1", "ColorNum=13"}));
}

}  // namespace
}  // namespace vistel_test
