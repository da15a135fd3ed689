// The imitated transparency: the client area shows the screen snapshot
// under the window, the snapshot is taken at start and at each drag start,
// and moves repaint.
#include <algorithm>
#include <string>

#include "display_fixture.h"

namespace vistel_test {
namespace {

// A picture whose every pixel differs from its neighbours and from black.
fw::TPixels Picture(int width, int height, fw::TColor base) {
    fw::TPixels picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.At(x, y) = base + static_cast<fw::TColor>(y * 2048 + x + 1);
    return picture;
}

constexpr fw::TColor kFirst = 0x000000;
constexpr fw::TColor kSecond = 0x400000;

class BackgroundTest : public VistelTest {
protected:
    void SetUp() override {
        platform.screen = Picture(1280, 1024, kFirst);
        StartWith(Section({"Visible=1"}));
        Cycle();  // shows the window
        platform.ProcessPaints();
    }

    // The client area shows `picture` as seen from the window's place `at`,
    // and black where that lies outside the picture.
    void ExpectClientShows(const fw::TPixels& picture, fw::TPoint at) {
        int wrong = 0;
        const fw::TRect client = MainForm->ClientRect();
        for (int y = 0; y < client.Height(); ++y)
            for (int x = 0; x < client.Width(); ++x) {
                const int sx = at.x + x, sy = at.y + y;
                const fw::TColor expected = picture.Contains(sx, sy) ? picture.At(sx, sy) : fw::clBlack;
                if (platform.ClientPixel(MainForm->Handle(), x, y) != expected && wrong++ == 0)
                    ADD_FAILURE() << "client pixel " << x << "," << y << " (screen " << sx << "," << sy << ")";
            }
        EXPECT_EQ(wrong, 0);
    }

    void Drag(int dx, int dy) {
        Press(150, 5);
        Cycle();
        MoveBy(dx, dy);
        Cycle();
        Release();
        Cycle();
        platform.ProcessPaints();
    }
};

// The client area shows the snapshot under the window, painted at the
// form's erase, never the window's own colour.
TEST_F(BackgroundTest, EraseBackgroundPaintsTheSnapshotUnderTheWindow) {
    ExpectClientShows(Picture(1280, 1024, kFirst), {757, 136});
    fw::TMessage erase{WM_ERASEBKGND, 0, 0, 0};
    MainForm->Dispatch(erase);
    EXPECT_EQ(erase.Result, 1);
    ExpectClientShows(Picture(1280, 1024, kFirst), {757, 136});
    for (fw::TColor pixel : Window().surface.pixels) ASSERT_NE(pixel, fw::clBtnFace);
}

TEST_F(BackgroundTest, MoveRepaintsTheSnapshotAtTheNewPlace) {
    fw::TMessage move{WM_MOVE, 0, 0, 0};
    const int invalidations = Window().invalidations;
    MainForm->Dispatch(move);
    EXPECT_TRUE(Window().invalid);
    EXPECT_EQ(Window().invalidations, invalidations + 1);
    const int paints = Window().paints;
    MainForm->SetLeft(600);
    MainForm->SetTop(300);
    platform.ProcessPaints();
    EXPECT_EQ(Window().paints, paints + 1);
    ExpectClientShows(Picture(1280, 1024, kFirst), {600, 300});
}

TEST_F(BackgroundTest, SnapshotIsRetakenOnlyWhenADragBegins) {
    platform.screen = Picture(1280, 1024, kSecond);
    MainForm->Invalidate();
    platform.ProcessPaints();
    ExpectClientShows(Picture(1280, 1024, kFirst), {757, 136});
    files.Put(kIni, Section({"Visible=1", "Current=00:05"}));
    Cycle();  // a repaint for a changed label takes no snapshot either
    ExpectClientShows(Picture(1280, 1024, kFirst), {757, 136});

    Drag(10, 5);
    ExpectClientShows(Picture(1280, 1024, kSecond), {767, 141});
    EXPECT_EQ(platform.bitmapsAlive, 1);
}

TEST_F(BackgroundTest, WhereTheWindowLiesOffTheSnapshotItPaintsBlack) {
    const fw::TPixels first = Picture(1280, 1024, kFirst);
    struct Case {
        fw::TPoint at;
    } cases[] = {{{1200, 136}}, {{-50, -20}}, {{1100, 980}}, {{1279, 1023}}, {{2000, 2000}}, {{-300, 10}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.at));
        MainForm->SetLeft(c.at.x);
        MainForm->SetTop(c.at.y);
        platform.ProcessPaints();
        ExpectClientShows(first, c.at);
    }
}

TEST_F(BackgroundTest, SnapshotCoversEveryDisplayAtItsScreenCoordinates) {
    // A 1920 x 1080 display left of the 1280 x 1024 primary one: the
    // desktop runs from (-1920, 0) to (1280, 1080).
    const fw::TPixels desktop = Picture(3200, 1080, kSecond);
    platform.screen = desktop;
    platform.screenOrigin = {-1920, 0};
    platform.primarySize = {1280, 1024};
    Restart();
    Cycle();
    platform.ProcessPaints();
    // Picture coordinates are screen coordinates moved by 1920.
    ExpectClientShows(desktop, {757 + 1920, 136});
    MainForm->SetLeft(-1500);
    MainForm->SetTop(900);
    platform.ProcessPaints();
    ExpectClientShows(desktop, {-1500 + 1920, 900});
    // A drag on the left display takes the new snapshot of all displays.
    const fw::TPixels changed = Picture(3200, 1080, kFirst);
    platform.screen = changed;
    Drag(-20, 10);
    ExpectClientShows(changed, {-1520 + 1920, 910});
    EXPECT_EQ(platform.bitmapsAlive, 1);
}

// Displays at 96 and 144 pixels per inch, the other one right of the
// primary one or left of it at negative coordinates.  Everything is in the
// screen's own pixels: the window, laid out anew for each display it comes
// onto, shows the snapshot exactly under it, and presses land on its labels
// at either scale.
TEST_F(BackgroundTest, AcrossDisplaysOfTwoScalesTheBackgroundAndTheLabelsFollowTheWindow) {
    struct Case {
        int primary, other;  // pixels per inch
        int otherLeft;       // the other display's left edge
        int dragBy;          // from the primary display fully onto the other one
    } cases[] = {
        {96, 144, 1024, 500}, {144, 96, 1024, 500}, {96, 144, -1024, -1300}, {144, 96, -1024, -1300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.primary << " with " << c.other << " at " << c.otherLeft);
        const int originX = std::min(0, c.otherLeft);
        const fw::TPixels desktop = Picture(2048, 768, kSecond);
        platform.screen = desktop;
        platform.screenOrigin = {originX, 0};
        platform.primarySize = {1024, 768};
        platform.pixelsPerInch = c.primary;
        platform.monitors = {{fw::Bounds(0, 0, 1024, 768), c.primary},
                             {fw::Bounds(c.otherLeft, 0, 1024, 768), c.other}};
        Restart();
        Cycle();
        platform.ProcessPaints();
        auto scaled = [](int length, int dpi) { return fw::MulDiv(length, dpi, 96); };
        for (const int dpi : {c.primary, c.other}) {
            SCOPED_TRACE(dpi);
            const fw::TPoint at = Position();
            EXPECT_EQ(MainForm->ClientRect(), fw::Rect(0, 0, scaled(198, dpi), scaled(90, dpi)));
            ExpectClientShows(desktop, {at.x - originX, at.y});
            // The mode and colour labels, where they lie at this scale.
            const std::string how = MainForm->LaHow->Caption();
            Click(scaled(156, dpi), scaled(80, dpi));
            EXPECT_NE(MainForm->LaHow->Caption(), how);
            const std::int32_t colour = ColorIndex;
            Click(scaled(90, dpi), scaled(80, dpi));
            EXPECT_NE(ColorIndex, colour);
            if (dpi == c.other) break;
            // The drag keeps the place it gives the window, whatever the
            // display suggests when the window comes onto it.
            Press(scaled(150, dpi), scaled(5, dpi));
            Cycle();
            MoveBy(c.dragBy, 0);
            Cycle();
            EXPECT_EQ(Position(), (fw::TPoint{at.x + c.dragBy, at.y}));
            Release();
            Cycle();
            platform.ProcessPaints();
        }
        // The other display set to the primary one's scale: the window takes
        // the place it suggests, its size about its centre.
        const fw::TRect before = platform.WindowRect(MainForm->Handle());
        platform.SetMonitorPixelsPerInch(1, c.primary);
        platform.ProcessPaints();
        const fw::TRect after = platform.WindowRect(MainForm->Handle());
        EXPECT_EQ(after.Width(), 198 * c.primary / 96);
        EXPECT_NEAR(after.Left + after.Right, before.Left + before.Right, 1);
        ExpectClientShows(desktop, {after.Left - originX, after.Top});
        EXPECT_EQ(platform.bitmapsAlive, 1);
    }
}

TEST_F(BackgroundTest, WithACompositorTheHiddenWindowIsNotInTheDragSnapshot) {
    // A compositor drops a hidden window from the screen at its next frame,
    // or, where it animates hides, lets it fade out over many: the display
    // has its transitions disabled, so one frame is all it waits for.
    for (const bool animates : {false, true}) {
        SCOPED_TRACE(animates ? "hides animated" : "hides not animated");
        platform.screen = Picture(1280, 1024, kFirst);
        Restart();
        Cycle();
        platform.ProcessPaints();
        platform.compositionEnabled = true;
        platform.hideAnimations = animates;
        platform.compositionFlushes = 0;
        // The window shows the first picture; then the screen beneath it changes.
        const fw::TPixels second = Picture(1280, 1024, kSecond);
        platform.screen = second;
        Drag(10, 5);
        // The snapshot was taken after the compositor dropped the hidden window.
        ExpectClientShows(second, {767, 141});
        EXPECT_EQ(platform.compositionFlushes, 1);
        EXPECT_EQ(Window().dwmAttributes[DWMWA_TRANSITIONS_FORCEDISABLED], 1);

        platform.compositionEnabled = false;
        Drag(10, 5);
        EXPECT_EQ(platform.compositionFlushes, 1);  // no compositor, nothing to wait for
        ExpectClientShows(second, {777, 146});
    }
}

TEST_F(BackgroundTest, ManyDragsKeepOneSnapshotAndReleaseTheScreen) {
    for (int i = 0; i < 12; ++i) Drag(3, 2);
    EXPECT_EQ(Position(), (fw::TPoint{757 + 36, 136 + 24}));
    EXPECT_EQ(platform.bitmapsAlive, 1);
    EXPECT_EQ(platform.screenDCsOutstanding, 0);
    EXPECT_EQ(Window().showCommands.size(), 1u + 2u * 12u);  // the first cycle's show, then hide and show per drag
    application.reset();
    EXPECT_EQ(platform.bitmapsAlive, 0);
}

TEST_F(BackgroundTest, ScreenSizeChangeTakesEffectAtTheNextCapture) {
    const fw::TPixels small = Picture(800, 600, kSecond);
    platform.screen = small;
    MainForm->Invalidate();
    platform.ProcessPaints();
    ExpectClientShows(Picture(1280, 1024, kFirst), {757, 136});  // the old snapshot, whole

    Press(150, 5);
    Cycle();
    platform.ProcessPaints();
    // The new snapshot is 800 wide: the window's columns from 800 on are black.
    ExpectClientShows(small, {757, 136});
    EXPECT_EQ(platform.ClientPixel(MainForm->Handle(), 42, 0), small.At(799, 136));
    EXPECT_EQ(platform.ClientPixel(MainForm->Handle(), 43, 0), fw::clBlack);
}

// A snapshot the system refuses (a bitmap as large as all displays, which it
// may have no memory for) leaves the old one: the window paints from it and
// is shown again after the drag's hide.  Nothing is reported.
TEST_F(BackgroundTest, ASnapshotTheSystemRefusesLeavesTheOldOneAndTheWindowShown) {
    platform.screen = Picture(1280, 1024, kSecond);
    platform.largestBitmap = 1280 * 1024 - 1;
    Drag(10, 5);
    EXPECT_TRUE(Window().visible);
    ExpectClientShows(Picture(1280, 1024, kFirst), {767, 141});
    EXPECT_EQ(platform.bitmapsAlive, 1);
    platform.largestBitmap = 1280 * 1024;
    Drag(10, 5);
    ExpectClientShows(Picture(1280, 1024, kSecond), {777, 146});

    // Refused at start there is none: black behind the text.
    platform.largestBitmap = 0;
    Restart();
    Cycle();
    platform.ProcessPaints();
    EXPECT_TRUE(Window().visible);
    EXPECT_EQ(platform.ClientPixel(MainForm->Handle(), 0, 0), fw::clBlack);
    EXPECT_EQ(platform.bitmapsAlive, 0);
}

}  // namespace
}  // namespace vistel_test
