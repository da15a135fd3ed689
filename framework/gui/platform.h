// The one edge between the GUI layer and the system it runs on.  Everything
// the framework asks of the window system, the pointer, the screen and the
// shell goes through the one Platform installed at start: the Win32 one in the
// real programs, an in-memory one in native tests.
#pragma once

#include <string>

#include "framework/gui/types.h"

namespace fw {

class TApplication;
class TControl;
class TFont;
class TForm;
class TTimer;
struct TBrowseInfo;

// A drawing surface: a window's client area, a bitmap, or the screen.
struct TSurface {
    enum Kind { None, Window, Bitmap, Screen };
    Kind kind = None;
    THandle handle = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Process.
    virtual std::string ExeName() = 0;      // full path of the running program
    virtual std::string CommandLine() = 0;  // the whole command line, program name first

    // Message loop: runs until the application is terminated.
    virtual void Run(TApplication& application) = 0;
    virtual void Terminate() = 0;  // makes a running loop return
    virtual void RestoreApplication() = 0;
    // The name of the program as the system shows it: on the task bar and
    // in the list of running programs.
    virtual void SetApplicationTitle(const std::string& title) = 0;
    // The application's own top-level window: never shown by itself, it
    // holds the program's task bar button while the main form is shown.
    virtual THandle ApplicationWindow() = 0;

    // Windows.  A form's window is top level; a control's window is a child
    // of its form's window.  Both are created hidden.
    virtual THandle CreateFormWindow(TForm& form) = 0;
    virtual THandle CreateControlWindow(TControl& control) = 0;
    virtual void DestroyWindow(THandle window) = 0;
    virtual void SetWindowText(THandle window, const std::string& text) = 0;
    virtual std::string GetWindowText(THandle window) = 0;
    // Outer rectangle: in screen coordinates for a form, in the form's
    // client coordinates for a control.
    virtual TRect WindowRect(THandle window) = 0;
    virtual void SetWindowRect(THandle window, const TRect& rect) = 0;
    virtual TRect ClientRect(THandle window) = 0;
    virtual TPoint ClientOrigin(THandle window) = 0;  // screen position of the client area
    // Gives a form's window this client size, its top-left corner staying.
    virtual void SetClientSize(THandle window, int width, int height) = 0;
    // The pixels per inch of the display a form's window stands on; the
    // screen's where the system scales all displays alike.  When the
    // window comes to stand on a display of another scale, the form gets
    // WM_DPICHANGED: the new pixels per inch in both halves of WParam, and
    // in LParam the address of the place suggested for it (a TRect).
    virtual int WindowPixelsPerInch(THandle window) = 0;
    virtual void ShowWindow(THandle window, int command) = 0;
    virtual bool IsWindowVisible(THandle window) = 0;
    virtual void InvalidateWindow(THandle window) = 0;  // whole window, children included
    virtual void UpdateWindow(THandle window) = 0;      // paints what is invalid, now
    virtual void FontChanged(TControl& control) = 0;
    virtual TSize TextExtent(const TFont& font, const std::string& text) = 0;
    virtual bool IsChecked(THandle window) = 0;
    virtual void SetChecked(THandle window, bool checked) = 0;
    // The window with the keyboard focus (0: none of the program's); moving
    // it activates the window's form.
    virtual THandle GetFocus() = 0;
    virtual void SetFocus(THandle window) = 0;
    // The system's handling of a form's message that the form's dispatch
    // passed on; returns the message result.
    virtual std::intptr_t DefaultHandler(TForm& form, TMessage& message) = 0;

    // Timers: `Start` (re)starts the interval.  A timer ticks in every
    // message loop on the program's thread, as the system's timers do: the
    // application's own and the modal ones (a message box, a menu, the
    // system's move loop).
    virtual void StartTimer(TTimer& timer) = 0;
    virtual void StopTimer(TTimer& timer) = 0;

    // Pointer.  The key state is the physical button's (VK_LBUTTON is the
    // left button even where the user swapped the buttons); the system
    // metrics tell which is the user's primary one (SM_SWAPBUTTON).
    virtual bool GetCursorPos(TPoint& position) = 0;
    virtual short GetAsyncKeyState(int key) = 0;
    virtual int GetSystemMetrics(int index) = 0;

    // Drawing.  Screen coordinates are physical pixels; the primary
    // display's top-left corner is (0, 0), other displays may lie at
    // negative coordinates.
    virtual TSize ScreenSize() = 0;     // the primary display
    virtual TRect VirtualScreen() = 0;  // the bounding rectangle of all displays
    virtual int ScreenPixelsPerInch() = 0;
    // The desktop compositor: whether it runs, and waiting until it has
    // presented a frame with every change made so far.
    virtual bool CompositionEnabled() = 0;
    virtual void FlushComposition() = 0;
    // An attribute of the compositor's for one window (DWMWA_, as
    // DwmSetWindowAttribute takes it); an HRESULT, 0 when done.
    virtual long SetCompositionAttribute(THandle window, unsigned attribute, const void* value, unsigned size) = 0;
    virtual THandle GetScreenDC() = 0;
    virtual void ReleaseScreenDC(THandle dc) = 0;
    // Throws when the system refuses a bitmap of that size.
    virtual THandle CreateBitmap(int width, int height) = 0;
    virtual void DeleteBitmap(THandle bitmap) = 0;
    virtual TSize SurfaceSize(const TSurface& surface) = 0;
    virtual void CopyRect(const TSurface& dest, const TRect& destRect, const TSurface& source,
                          const TRect& sourceRect) = 0;
    virtual void FillRect(const TSurface& dest, const TRect& rect, TColor color) = 0;

    // Dialogs.
    virtual int MessageBox(THandle owner, const std::string& text, const std::string& caption,
                           unsigned flags) = 0;
    // Filter in the framework's form: "description|pattern|..."; options are
    // OFN_ flags.
    virtual bool ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                                   std::string& fileName) = 0;
    // Returns an item-id list, or null when the user cancelled.
    virtual void* BrowseForFolder(const TBrowseInfo& request) = 0;
    virtual bool PathFromIdList(void* idList, char* path) = 0;  // path: MAX_PATH bytes
    virtual void FreeIdList(void* idList) = 0;
};

// The platform in use.
Platform& CurrentPlatform();
// Installs the platform in use; returns the one before (null at first).
Platform* InstallPlatform(Platform* platform);

}  // namespace fw
