// What the parts of the Win32 platform share: the platform's state, the
// window procedures and the labels' placement.  Only the files of the Win32
// platform include it.
#pragma once

// clang-format off
#include "framework/win32/win32.h"
// clang-format on

#include <map>
#include <string>
#include <tuple>

#include "framework/gui/forms.h"
#include "framework/win32/win32_platform.h"
#include "framework/win32/wide.h"

namespace fw::win32 {

inline constexpr wchar_t kApplicationClass[] = L"FwApplication";
inline constexpr wchar_t kFormClass[] = L"FwForm";
inline constexpr wchar_t kLabelClass[] = L"FwLabel";
inline constexpr int kFirstControlId = 100;

inline HWND Hwnd(THandle handle) { return reinterpret_cast<HWND>(handle); }
inline THandle Handle(HWND hwnd) { return reinterpret_cast<THandle>(hwnd); }

inline COLORREF ColorRef(TColor color) {
    if (color & clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color);
}

// Runs a handler on a form with exceptions reported, never passed on
// through the window system.
template <class F>
void Guarded(F&& handler) {
    if (Application) {
        Application->Guard(handler);
        return;
    }
    try {
        handler();
    } catch (...) {
    }
}

struct Win32State {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bool comInitialized = false;
    // The application's own window: never seen (it has no size), it owns
    // every form and stands for the program on the task bar and in the list
    // of running programs under the application's title, while each form
    // keeps its own caption.  It is shown when the main form first is.
    HWND applicationWindow = nullptr;
    // The main form was hidden because the program was minimised.
    bool mainFormMinimised = false;
    // The desktop compositor's functions, from the system's dwmapi.dll,
    // which Windows versions before Vista lack.
    HMODULE dwmapi = nullptr;
    HRESULT(WINAPI* dwmIsCompositionEnabled)(BOOL*) = nullptr;
    HRESULT(WINAPI* dwmFlush)() = nullptr;
    HRESULT(WINAPI* dwmSetWindowAttribute)(HWND, DWORD, LPCVOID, DWORD) = nullptr;
    // From Windows 10's user32 (version 1607 on): the scale of the display a
    // window stands on.
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    std::string exeName;
    std::map<HWND, TForm*> forms;
    // Where each form's window stands, kept up to date from the window's
    // own position messages, so that reading a form's place costs nothing.
    std::map<HWND, RECT> formRects;
    std::map<HWND, TControl*> controls;
    std::map<THandle, HDC> paintDCs;
    // Each timer is a window timer of the application's window, whose
    // WM_TIMER every message loop on the thread dispatches, modal ones too.
    // Switching a timer off and on again, as the display's poll does at
    // every tick, leaves the window timer running: the next tick is due
    // when the timer's own interval says (times in GetTickCount64
    // milliseconds), and the window timer is set anew only where it would
    // otherwise elapse before that.  A timer switched off is killed when
    // its window timer next elapses, if it is still off by then.
    struct Timer {
        UINT_PTR id;
        bool on;
        ULONGLONG due;      // when its handler runs next
        UINT period;        // of the window timer; 0 while there is none
        ULONGLONG elapses;  // when the window timer elapses next
    };
    std::map<TTimer*, Timer> timers;
    UINT_PTR nextTimerId = 1;

    // Sets the timer's window timer to elapse in `milliseconds`, and every
    // `milliseconds` after.
    void SetWindowTimer(Timer& timer, ULONGLONG milliseconds);
    // WM_TIMER of the application's window.
    void TimerElapsed(UINT_PTR id);
    struct Bitmap {
        HBITMAP bitmap;
        HDC dc;
        HGDIOBJ old;
        int width;
        int height;
    };
    std::map<THandle, Bitmap> bitmaps;
    THandle nextBitmap = 1;
    std::map<std::tuple<std::string, int, int, unsigned>, HFONT> fonts;
    std::map<int, HICON> checkGlyphs;  // by size in pixels
    int nextControlId = kFirstControlId;

    HFONT FontFor(const TFont& font) {
        auto key = std::make_tuple(font.Name(), font.Height(), font.Charset(), font.Style());
        auto found = fonts.find(key);
        if (found != fonts.end()) return found->second;
        std::wstring face = Widen(font.Name());
        HFONT created = CreateFontW(font.Height(), 0, 0, 0, (font.Style() & fsBold) ? FW_BOLD : FW_NORMAL,
                                    (font.Style() & fsItalic) != 0, (font.Style() & fsUnderline) != 0,
                                    (font.Style() & fsStrikeOut) != 0, static_cast<BYTE>(font.Charset()),
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, face.c_str());
        fonts.emplace(key, created);
        return created;
    }

    TForm* FormOf(HWND hwnd) {
        auto found = forms.find(hwnd);
        return found == forms.end() ? nullptr : found->second;
    }
    TControl* ControlOf(HWND hwnd) {
        auto found = controls.find(hwnd);
        return found == controls.end() ? nullptr : found->second;
    }
    HWND MainFormWindow() const {
        return Application && Application->MainForm() ? Hwnd(Application->MainForm()->Handle()) : nullptr;
    }

    // A green check mark, the OK button's glyph, size by size pixels,
    // drawn once for each size asked for.
    HICON CheckGlyph(int size);
};

// The platform in use and its state (one per process).
Win32Platform& Self();
Win32State& State();

// The window procedures of forms, labels and the application's own window.
LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND hwnd);
// Where a control stands in its form, as the control itself says.
RECT LogicalRect(const TControl& control);
// A label's window: its bounds widened by its text's overhang.
RECT LabelWindowRect(const TLabel& label);
// Repaints a label's area of the form, and every label that reaches into it.
void InvalidateLabelArea(HWND hwnd);
// Gives a label's window the rectangle its bounds and text call for.
void PlaceLabelWindow(HWND hwnd, const TLabel& label);

}  // namespace fw::win32
