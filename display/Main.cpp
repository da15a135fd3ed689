#include "Main.h"

#include <cstdint>
#include <exception>
#include <string>

#include "framework/files.h"
#include "framework/gui/system.h"
#include "framework/paths.h"
#include "framework/sysutils.h"
#include "framework/text.h"

TMainForm* MainForm = nullptr;

std::int32_t ColorIndex = 13;
bool DragLatch = false;
bool HowLatch = false;
bool ColorLatch = false;
std::int32_t LastCursorX = 0;
std::int32_t LastCursorY = 0;

namespace {

const char kSection[] = "VISTEL";

// The play modes in the order a click steps through them; the index is the
// value of How.
const char* const kModeTexts[] = {"連続再生", "１曲リピート", "１曲停止"};

// Font colour of every label, by scheme number.
const TColor kSchemes[18] = {
    clAqua, clBlack, clBlue,  clGray,   clFuchsia, clGray, clGreen, clLime,  clSilver,
    clMaroon, clNavy, clOlive, clPurple, clRed,     clSilver, clTeal, clWhite, clYellow,
};

// 32-bit steps that wrap instead of overflowing.
std::int32_t WrappingAdd(std::int32_t value, std::int32_t step) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(step));
}

// The user's primary button, asked afresh each time: down while the sign
// bit is set.  The key state is the physical button's, so a left-handed user
// who swapped the buttons presses the right one; the other does nothing.
bool ButtonDown() { return GetAsyncKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) < 0; }

// Every edge belongs to the rectangle.
bool Inside(const TPoint& p, int left, int top, int width, int height) {
    return p.x >= left && p.x <= left + width && p.y >= top && p.y <= top + height;
}

bool SetIfDifferent(TLabel* label, const std::string& text) {
    if (label->Caption() == text) return false;
    label->SetCaption(text);
    return true;
}

// Switches the timer back on when the cycle ends, however it ends.
class TimerPause {
public:
    explicit TimerPause(TTimer* timer) : timer_(timer) { timer_->SetEnabled(false); }
    ~TimerPause() { timer_->SetEnabled(true); }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    TTimer* timer_;
};

}  // namespace

TMainForm::TMainForm(TComponent* Owner) : TForm(Owner, MainDesign) {}

TMainForm::~TMainForm() = default;

std::unique_ptr<TIniFile> TMainForm::OpenSettings() {
    std::string folder = ExtractFileDir(Application->ExeName());
    if (!EndsWithBackslash(folder)) folder += "\\";
    return std::make_unique<TIniFile>(folder + "Sorbel.ini");
}

void TMainForm::FormCreate(TObject*) {
    std::unique_ptr<TIniFile> settings = OpenSettings();
    // The player may be saving its settings at this moment: the saved
    // scheme is worth a short wait, or the close would save the default
    // over it.
    settings->SetReadPatience(kBusyPatienceMs);
    ColorIndex = settings->ReadInteger(kSection, "ColorNum", 13);
    // One step back, so that the step forward applies the saved scheme.
    ColorIndex = WrappingAdd(ColorIndex, -1);
    NextColorScheme();
    // A compositor animates a window's hide: the snapshot that follows a
    // drag's hide could catch the display fading out, its own text on its
    // own background.  Its shows and hides are not animated.
    const int noTransitions = 1;
    DwmSetWindowAttribute(Handle(), DWMWA_TRANSITIONS_FORCEDISABLED, &noTransitions, sizeof noTransitions);
    Application->Restore();
    CaptureScreen(false);
}

void TMainForm::FormCloseQuery(TObject*, bool&) {
    // A write the file system refuses, or that the player blocks for longer
    // than a second, changes nothing: the scheme is lost.
    OpenSettings()->WriteInteger(kSection, "ColorNum", ColorIndex);
}

void TMainForm::FormDestroy(TObject*) { ScreenBitmap.reset(); }

void TMainForm::TimerTimer(TObject*) {
    TimerPause pause(Timer);
    std::unique_ptr<TIniFile> settings = OpenSettings();

    // A file that the player holds for the moment tells nothing: the labels
    // stay as they are and the display stays open until a later cycle reads
    // it.  Nor does a file that says the display is not wanted but was
    // written a moment ago: the player's profile functions empty a file
    // before they write it anew, so such a reading may be half a file.  The
    // next cycle, once the file is quiet, confirms it.
    const bool visible = settings->ReadBool(kSection, "Visible", false);
    if (settings->Busy() || (!visible && settings->WrittenAgoMs() < kQuietMs)) {
        HandlePointer(*settings);
        return;
    }

    // The cycle goes on to the end even when the player wants no display.
    if (!visible) Close();

    std::string casFile = ExtractFileName(settings->ReadString(kSection, "CasFile", "新規カセット"));
    std::string playSong = settings->ReadString(kSection, "PlaySong", "停止");
    std::string total = settings->ReadString(kSection, "Total", "00:00");
    std::string current = settings->ReadString(kSection, "Current", "00:00");
    std::int32_t playingIndex = settings->ReadInteger(kSection, "PlayingIndex", 0);
    std::int32_t count = settings->ReadInteger(kSection, "Count", 0);
    std::string path = casFile + " 再生" + IntToStr(playingIndex) + "/" + IntToStr(count) + "全";
    std::int32_t how = settings->ReadInteger(kSection, "How", 0);

    bool changed = false;
    // While a click on the mode label is held, its new text stays up.
    if (!HowLatch && how >= 0 && how <= 2) changed |= SetIfDifferent(LaHow, kModeTexts[how]);
    changed |= SetIfDifferent(LaPath, path);
    changed |= SetIfDifferent(LaTotal, total);
    changed |= SetIfDifferent(LaCurrent, current);
    changed |= SetIfDifferent(LaStatusBar, playSong);

    std::string device = "停止";
    if (settings->ReadBool(kSection, "Play", false)) device = "再生";
    if (settings->ReadBool(kSection, "Stop", false)) device = "一時停止";
    changed |= SetIfDifferent(LaDevice, device);

    if (changed) Repaint();
    ShowOnceWanted(visible);
    HandlePointer(*settings);
}

// The display appears when the player first wants it, with the labels
// already showing the player's state: never with the design captions, and
// not at all when the player wants none.  It does not take the focus from
// the program the user works in.
void TMainForm::ShowOnceWanted(bool Wanted) {
    if (!Wanted || FirstShown) return;
    FirstShown = true;
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TMainForm::HandlePointer(TIniFile& Settings) {
    // With the button up no press can be taken and no drag goes on: the
    // latches are cleared and the cursor, dear to ask for, is not needed.
    if (!ButtonDown()) {
        DragLatch = HowLatch = ColorLatch = false;
        return;
    }
    TPoint p;
    if (!GetCursorPos(&p)) p = {0, 0};
    const int left = Left();
    const int top = Top();

    if (Inside(p, left + LaHow->Left(), top + LaHow->Top(), LaHow->Width(), LaHow->Height()) && ButtonDown() &&
        !HowLatch) {
        StepMode(Settings);
        HowLatch = true;
    } else if (Inside(p, left + LaColor->Left(), top + LaColor->Top(), LaColor->Width(), LaColor->Height()) &&
               ButtonDown() && !ColorLatch) {
        ColorLatch = true;
        NextColorScheme();
    } else if (Inside(p, left, top, Width(), Height()) && ButtonDown() && !DragLatch) {
        DragLatch = true;
        LastCursorX = p.x;
        LastCursorY = p.y;
        CaptureScreen(true);
    }

    if (!ButtonDown() && (DragLatch || HowLatch || ColorLatch)) {
        DragLatch = false;
        HowLatch = false;
        ColorLatch = false;
    }

    if (DragLatch && (p.x != LastCursorX || p.y != LastCursorY)) {
        SetLeft(Left() + (p.x - LastCursorX));
        SetTop(Top() + (p.y - LastCursorY));
        LastCursorX = p.x;
        LastCursorY = p.y;
    }
}

// The step goes by the text the label shows, not by the How just read.
void TMainForm::StepMode(TIniFile& Settings) {
    const std::string shown = LaHow->Caption();
    for (int mode = 0; mode < 3; ++mode) {
        if (shown != kModeTexts[mode]) continue;
        int next = (mode + 1) % 3;
        LaHow->SetCaption(kModeTexts[next]);
        Settings.WriteInteger(kSection, "How", next);
        return;
    }
}

void TMainForm::NextColorScheme() {
    ColorIndex = WrappingAdd(ColorIndex, 1);
    if (static_cast<std::uint32_t>(ColorIndex) > 17) ColorIndex = 0;
    const TColor color = kSchemes[ColorIndex];
    for (TLabel* label : {LaPath, LaStatusBar, LaCurrent, Label3, LaTotal, LaColor, LaHow, LaDevice})
        label->Font()->SetColor(color);
}

void TMainForm::CaptureScreen(bool DragStart) {
    if (DragStart) {
        ShowWindow(Handle(), SW_HIDE);
        // A compositor may still show the window in its next frame: let it
        // present one without the window before the copy.
        if (DwmIsCompositionEnabled()) DwmFlush();
    }
    // All displays, whatever their places around the primary one.  The new
    // snapshot replaces the old one only once it is taken: where the system
    // refuses a bitmap that large, the display paints on from the old one
    // (none at start: black), reports nothing, and is shown all the same.
    try {
        const TRect desktop = Screen->DesktopRect();
        auto snapshot = std::make_unique<TBitmap>();
        snapshot->SetWidth(desktop.Width());
        snapshot->SetHeight(desktop.Height());
        {
            TScreenCanvas screen;
            snapshot->Canvas()->CopyRect(Rect(0, 0, snapshot->Width(), snapshot->Height()), screen, desktop);
        }
        ScreenBitmap = std::move(snapshot);
        ScreenOrigin = {desktop.Left, desktop.Top};
    } catch (const std::exception&) {
    }
    // Shown again as it was before, never as the launcher asked for the
    // program's first window (minimised, say), and without the focus.
    if (DragStart) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TMainForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOVE:
        Invalidate();
        break;
    case WM_ERASEBKGND:
        EraseBackground();
        Message.Result = 1;
        break;
    case WM_DPICHANGED: {
        // Laid out anew for the display it came onto.  While a drag goes on
        // the window follows the cursor: it keeps the place the drag gave it
        // and takes only the suggested size.  Otherwise (the display's scale
        // changed, or the window was put on another display) it takes the
        // suggested place.  The snapshot, in the screen's own pixels, stays.
        TRect place = *reinterpret_cast<const TRect*>(Message.LParam);
        if (DragLatch) place = Bounds(Left(), Top(), place.Width(), place.Height());
        ScaleForPPI(static_cast<int>(Message.WParam & 0xFFFF), place);
        Message.Result = 0;
        break;
    }
    default:
        TForm::Dispatch(Message);
    }
}

// The part of the snapshot that lies under the window, so that only the
// text seems to float on the desktop.  The snapshot starts at the desktop's
// top-left corner, which a display left of or above the primary one puts at
// negative screen coordinates.
void TMainForm::EraseBackground() {
    TRect client = ClientRect();
    TPoint origin = ClientOrigin();
    TRect source = Bounds(origin.x - ScreenOrigin.x, origin.y - ScreenOrigin.y, client.Width(), client.Height());
    if (ScreenBitmap) {
        Canvas()->CopyRect(client, *ScreenBitmap->Canvas(), source);
    } else {
        Canvas()->FillRect(client, clBlack);
    }
}
