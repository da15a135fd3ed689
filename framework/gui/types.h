// Plain value types of the GUI layer, and the Win32 constants the programs
// name.  The constants keep their Win32 names and values so that program code
// reads like the platform it runs on without including <windows.h>; where a
// file does include <windows.h> first, its own definitions are used.
#pragma once

#include <cstdint>

namespace fw {

// Identifies a window, a bitmap or another platform object; 0 is none.
using THandle = std::uintptr_t;

struct TPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

// A colour in the Windows colour-reference layout 0x00BBGGRR, or a system
// colour: 0x80000000 plus the system colour index.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;

// A window message as the form's message dispatch sees it.
struct TMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

}  // namespace fw

#ifndef WM_MOVE
constexpr unsigned WM_MOVE = 0x0003;
#endif
#ifndef WM_ACTIVATE
constexpr unsigned WM_ACTIVATE = 0x0006;
#endif
#ifndef WA_INACTIVE
constexpr unsigned WA_INACTIVE = 0;
#endif
#ifndef WM_SETFOCUS
constexpr unsigned WM_SETFOCUS = 0x0007;
#endif
#ifndef WM_QUERYENDSESSION
constexpr unsigned WM_QUERYENDSESSION = 0x0011;
#endif
#ifndef WM_ENDSESSION
constexpr unsigned WM_ENDSESSION = 0x0016;
#endif
#ifndef WM_DPICHANGED
constexpr unsigned WM_DPICHANGED = 0x02E0;
#endif
#ifndef WM_SYSCOMMAND
constexpr unsigned WM_SYSCOMMAND = 0x0112;
#endif
#ifndef SC_MOVE
constexpr unsigned SC_MOVE = 0xF010;
#endif
#ifndef WM_ERASEBKGND
constexpr unsigned WM_ERASEBKGND = 0x0014;
#endif
#ifndef VK_LBUTTON
constexpr int VK_LBUTTON = 0x01;
#endif
#ifndef VK_RBUTTON
constexpr int VK_RBUTTON = 0x02;
#endif
#ifndef SM_SWAPBUTTON
constexpr int SM_SWAPBUTTON = 23;
#endif
#ifndef SW_HIDE
constexpr int SW_HIDE = 0;
#endif
#ifndef SW_SHOWNORMAL
constexpr int SW_SHOWNORMAL = 1;
#endif
#ifndef SW_SHOWMINIMIZED
constexpr int SW_SHOWMINIMIZED = 2;
#endif
#ifndef SW_SHOWNOACTIVATE
constexpr int SW_SHOWNOACTIVATE = 4;
#endif
#ifndef SW_SHOW
constexpr int SW_SHOW = 5;
#endif
#ifndef SW_MINIMIZE
constexpr int SW_MINIMIZE = 6;
#endif
#ifndef SW_SHOWMINNOACTIVE
constexpr int SW_SHOWMINNOACTIVE = 7;
#endif
#ifndef SW_SHOWNA
constexpr int SW_SHOWNA = 8;
#endif
#ifndef SW_RESTORE
constexpr int SW_RESTORE = 9;
#endif
#ifndef SW_SHOWDEFAULT
constexpr int SW_SHOWDEFAULT = 10;
#endif
#ifndef DWMWA_TRANSITIONS_FORCEDISABLED
constexpr unsigned DWMWA_TRANSITIONS_FORCEDISABLED = 3;
#endif
#ifndef MB_OK
constexpr unsigned MB_OK = 0x00;
#endif
#ifndef MB_ICONERROR
constexpr unsigned MB_ICONERROR = 0x10;
#endif
#ifndef IDOK
constexpr int IDOK = 1;
#endif
#ifndef SHIFTJIS_CHARSET
constexpr int SHIFTJIS_CHARSET = 128;
#endif
#ifndef DEFAULT_CHARSET
constexpr int DEFAULT_CHARSET = 1;
#endif
#ifndef BIF_RETURNONLYFSDIRS
constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;
#endif
#ifndef OFN_HIDEREADONLY
constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
#endif
#ifndef OFN_NOCHANGEDIR
constexpr unsigned OFN_NOCHANGEDIR = 0x00000008;
#endif
#ifndef OFN_ENABLESIZING
constexpr unsigned OFN_ENABLESIZING = 0x00800000;
#endif
#ifndef MAX_PATH
constexpr int MAX_PATH = 260;
#endif
