// An in-memory platform for native tests.  Tests script what the system
// would give (cursor, left button, screen picture, clock, dialog answers)
// and read back what the program did (window texts and places, paints,
// moves, show commands, message boxes with text, caption and style).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/gui/platform.h"

namespace fw {

// A picture: width x height colours, row by row.
struct TPixels {
    int width = 0;
    int height = 0;
    std::vector<TColor> pixels;

    TPixels() = default;
    TPixels(int w, int h, TColor fill = clBlack)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    TColor At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    TColor& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

class MemoryPlatform : public Platform {
public:
    // Frame of a bsSingle window in the memory world: border and caption bar.
    static constexpr int kFrame = 3;
    static constexpr int kCaption = 22;

    struct Window {
        TForm* form = nullptr;
        TControl* control = nullptr;
        THandle parent = 0;
        std::string text;
        TRect rect;  // outer; screen coordinates for forms, parent client for controls
        TRect client;
        bool visible = false;
        bool minimized = false;  // iconic: on the task bar only
        int pixelsPerInch = 96;  // forms: of the display the window stands on
        bool invalid = false;
        bool checked = false;
        TPixels surface;  // forms: the client area as painted
        int paints = 0;
        int invalidations = 0;
        int textChanges = 0;
        int fontChanges = 0;
        std::vector<int> showCommands;
        std::map<unsigned, int> dwmAttributes;  // set with DwmSetWindowAttribute
        std::vector<TPoint> moves;  // positions after each move
    };
    struct MessageBoxCall {
        THandle owner;
        std::string text;
        std::string caption;
        unsigned flags;
    };
    struct OpenDialogCall {
        THandle owner;
        std::string filter;
        unsigned options;
    };
    struct BrowseCall {
        THandle owner;
        const void* root;
        bool displayNameZeroed;
        std::string title;
        unsigned flags;
        const void* callback;
    };

    MemoryPlatform();
    ~MemoryPlatform() override;

    // --- What the system gives (scripted by the test) -------------------------
    std::string exeName = "C:\\Sorbel\\Vistel.exe";
    std::string commandLine;
    void SetArguments(const std::vector<std::string>& arguments);  // quotes each one
    TPoint cursor;
    bool cursorAvailable = true;
    // The physical buttons, and whether the user made the right one the
    // primary one (SM_SWAPBUTTON), as a left-handed user does.
    bool leftButton = false;
    bool rightButton = false;
    bool buttonsSwapped = false;
    // The picture of all displays together, whose top-left pixel lies at
    // screenOrigin in screen coordinates; the primary display is the part
    // from (0, 0) of primarySize (none given: the whole picture).
    TPixels screen{1280, 1024, clBlack};
    TPoint screenOrigin;
    TSize primarySize;
    // The screen's pixels per inch: the system's, which Windows fixes when
    // the user signs in.
    int pixelsPerInch = 96;
    // The largest bitmap the system grants, in pixels: a larger one is
    // refused, as GDI refuses one it has no memory for.
    long long largestBitmap = 1LL << 40;
    // Displays, each with its own scale, the first being the primary one;
    // none given: one display at the screen's pixels per inch.  A form's
    // window stands on the display that holds the most of it (the first,
    // when none does).  A window that comes to stand on a display of another
    // scale, or whose display changes scale, gets WM_DPICHANGED with a
    // suggested place: its client area scaled about the window's centre.
    struct Monitor {
        TRect rect;
        int pixelsPerInch;
    };
    std::vector<Monitor> monitors;
    // The user sets another scale for a display, as in the system's settings.
    void SetMonitorPixelsPerInch(std::size_t monitor, int pixelsPerInch);
    // The show command the launcher put in the start-up information, if
    // any.  As on Windows, the process's first show command is carried out
    // as that one, whatever it asks, and SW_SHOWDEFAULT always is (as
    // SW_SHOWNORMAL without one).  A new process starts with firstShowMade
    // false.
    std::optional<int> launcherShowCommand;
    bool firstShowMade = false;
    // With a compositor, a window just hidden stays in the picture of the
    // screen (as its client area last looked) until a frame is presented;
    // one that animates hides keeps it for kHideAnimationFrames frames, as
    // the window fades out, unless the window has its transitions disabled
    // (DWMWA_TRANSITIONS_FORCEDISABLED).
    bool compositionEnabled = false;
    bool hideAnimations = false;
    static constexpr int kHideAnimationFrames = 12;
    std::deque<int> messageBoxAnswers;                         // default IDOK
    std::deque<std::optional<std::string>> openDialogAnswers;  // nullopt: cancel
    std::deque<std::optional<std::string>> folderAnswers;      // nullopt: cancel; "": no path
    // Called while a message box is up (the box is already recorded).
    std::function<void(const MessageBoxCall&)> onMessageBox;
    // Modal loops on the program's thread, such as the system's move loop
    // that a window's default handling of WM_SYSCOMMAND SC_MOVE enters, run
    // inside the call that began them and, like the application's loop,
    // paint and tick the timers as the clock moves on (Advance).  This is
    // what happens while one runs; its return ends the loop.  A message
    // box's loop is onMessageBox.
    std::function<void()> onModalLoop;
    // Called at every turn of the message loop; the loop returns when the
    // application is terminated, when no timer runs and there is no idle
    // hook, or when the clock passes runLimitMs.
    std::function<void()> onIdle;
    long long runLimitMs = 10 * 60 * 1000;

    // --- What the program did ---------------------------------------------------
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<OpenDialogCall> openDialogs;
    std::vector<BrowseCall> browses;
    int idListsOutstanding = 0;
    int screenDCsOutstanding = 0;
    int bitmapsAlive = 0;
    int keyStateQueries = 0;
    int restores = 0;
    int compositionFlushes = 0;
    std::string applicationTitle;
    // Called at every show command, before it takes effect.
    std::function<void(THandle window, int command)> onShowWindow;

    // --- Activation and keyboard focus ------------------------------------------
    // As the window system does: a form shown with an activating command
    // becomes the active window; a message box takes the activation from its
    // owner and gives it back; activating a form sends it WM_ACTIVATE, and
    // the system's handling of that gives the form itself the focus.
    THandle activeWindow = 0;
    THandle focused = 0;
    // The user turns to another program (Deactivate) and back (Activate).
    void Activate(THandle form);
    void Deactivate(THandle form);
    Window& WindowOf(THandle handle);
    TColor ClientPixel(THandle form, int x, int y) { return WindowOf(form).surface.At(x, y); }

    // --- Clock ---------------------------------------------------------------
    long long Now() const { return now_; }
    // Moves the clock on, painting what is invalid and firing the timers
    // that fall due, in time order.
    void Advance(long long milliseconds);
    // Paints every visible window that is invalid, as the message loop does.
    void ProcessPaints();

    // --- Platform ----------------------------------------------------------------
    std::string ExeName() override { return exeName; }
    std::string CommandLine() override { return commandLine; }
    void Run(TApplication& application) override;
    void Terminate() override {}
    void RestoreApplication() override { ++restores; }
    void SetApplicationTitle(const std::string& title) override { applicationTitle = title; }
    THandle ApplicationWindow() override;
    THandle CreateFormWindow(TForm& form) override;
    THandle CreateControlWindow(TControl& control) override;
    void DestroyWindow(THandle window) override;
    void SetWindowText(THandle window, const std::string& text) override;
    std::string GetWindowText(THandle window) override;
    TRect WindowRect(THandle window) override;
    void SetWindowRect(THandle window, const TRect& rect) override;
    TRect ClientRect(THandle window) override;
    TPoint ClientOrigin(THandle window) override;
    void SetClientSize(THandle window, int width, int height) override;
    int WindowPixelsPerInch(THandle window) override;
    void ShowWindow(THandle window, int command) override;
    bool IsWindowVisible(THandle window) override;
    void InvalidateWindow(THandle window) override;
    void UpdateWindow(THandle window) override;
    void FontChanged(TControl& control) override;
    TSize TextExtent(const TFont& font, const std::string& text) override;
    bool IsChecked(THandle window) override;
    void SetChecked(THandle window, bool checked) override;
    THandle GetFocus() override { return focused; }
    void SetFocus(THandle window) override;
    std::intptr_t DefaultHandler(TForm& form, TMessage& message) override;
    void StartTimer(TTimer& timer) override;
    void StopTimer(TTimer& timer) override;
    bool GetCursorPos(TPoint& position) override;
    short GetAsyncKeyState(int key) override;
    int GetSystemMetrics(int index) override;
    TSize ScreenSize() override;
    TRect VirtualScreen() override;
    int ScreenPixelsPerInch() override { return pixelsPerInch; }
    bool CompositionEnabled() override { return compositionEnabled; }
    void FlushComposition() override;
    long SetCompositionAttribute(THandle window, unsigned attribute, const void* value, unsigned size) override;
    THandle GetScreenDC() override;
    void ReleaseScreenDC(THandle dc) override;
    THandle CreateBitmap(int width, int height) override;
    void DeleteBitmap(THandle bitmap) override;
    TSize SurfaceSize(const TSurface& surface) override;
    void CopyRect(const TSurface& dest, const TRect& destRect, const TSurface& source,
                  const TRect& sourceRect) override;
    void FillRect(const TSurface& dest, const TRect& rect, TColor color) override;
    int MessageBox(THandle owner, const std::string& text, const std::string& caption, unsigned flags) override;
    bool ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                           std::string& fileName) override;
    void* BrowseForFolder(const TBrowseInfo& request) override;
    bool PathFromIdList(void* idList, char* path) override;
    void FreeIdList(void* idList) override;

private:
    TPixels* Pixels(const TSurface& surface);
    void Paint(THandle window);
    void SendActivate(THandle form, unsigned state);
    int PixelsPerInchAt(const TRect& rect) const;
    // Sends WM_DPICHANGED when the window's display has another scale than
    // the window; not again while the window handles it.
    void FollowDisplayScale(THandle form);
    bool changingScale_ = false;

    // Screen areas still showing a hidden window, until the next frame.
    struct StaleFrame {
        THandle window;
        TRect rect;
        TPixels pixels;
        int framesLeft;  // frames still to be presented with it
    };
    std::vector<StaleFrame> staleFrames_;

    THandle applicationWindow_ = 0;
    THandle nextHandle_ = 0x100;
    long long now_ = 0;
    std::map<THandle, Window> windows_;
    std::map<THandle, TPixels> bitmaps_;
    std::map<TTimer*, long long> timers_;  // due time
    Platform* previous_;
};

}  // namespace fw
