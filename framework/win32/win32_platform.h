// The Win32 implementation of the platform edge.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "framework/gui/platform.h"

namespace fw::win32 {

struct Win32State;

class Win32Platform : public Platform {
public:
    Win32Platform();
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    std::string ExeName() override;
    std::string CommandLine() override;
    void Run(TApplication& application) override;
    void Terminate() override;
    void RestoreApplication() override;
    void SetApplicationTitle(const std::string& title) override;
    THandle ApplicationWindow() override;
    void SetClientSize(THandle window, int width, int height) override;
    int WindowPixelsPerInch(THandle window) override;
    THandle CreateFormWindow(TForm& form) override;
    THandle CreateControlWindow(TControl& control) override;
    void DestroyWindow(THandle window) override;
    void SetWindowText(THandle window, const std::string& text) override;
    std::string GetWindowText(THandle window) override;
    TRect WindowRect(THandle window) override;
    void SetWindowRect(THandle window, const TRect& rect) override;
    TRect ClientRect(THandle window) override;
    TPoint ClientOrigin(THandle window) override;
    void ShowWindow(THandle window, int command) override;
    bool IsWindowVisible(THandle window) override;
    void InvalidateWindow(THandle window) override;
    void UpdateWindow(THandle window) override;
    void FontChanged(TControl& control) override;
    TSize TextExtent(const TFont& font, const std::string& text) override;
    bool IsChecked(THandle window) override;
    void SetChecked(THandle window, bool checked) override;
    THandle GetFocus() override;
    void SetFocus(THandle window) override;
    std::intptr_t DefaultHandler(TForm& form, TMessage& message) override;
    void StartTimer(TTimer& timer) override;
    void StopTimer(TTimer& timer) override;
    bool GetCursorPos(TPoint& position) override;
    short GetAsyncKeyState(int key) override;
    int GetSystemMetrics(int index) override;
    TSize ScreenSize() override;
    TRect VirtualScreen() override;
    int ScreenPixelsPerInch() override;
    bool CompositionEnabled() override;
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

    // While a window's background is erased, the device context its form's
    // canvas draws on (the message's own, or a label's with the origin moved).
    void BindPaintDC(THandle form, THandle dc);
    void UnbindPaintDC(THandle form);

private:
    Win32State* state_;
    Platform* previous_;
};

// A command line as the system gives it, split into its arguments, each
// converted to code page 932 and put in double quotes, with one blank
// between: CommandLine() in the form the programs split again.  An argument
// code page 932 cannot hold is converted as a path (a name in another
// script becomes its short form).
std::string QuotedCommandLine(std::wstring_view commandLine);

}  // namespace fw::win32
