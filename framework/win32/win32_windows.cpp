// The Win32 platform's windows: forms and their controls, their texts,
// places, visibility and focus, and the system's handling of a form's
// messages.
#include <cstddef>

#include "framework/win32/win32_state.h"

// clang-format off
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <vector>

namespace fw::win32 {

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TForm* form = State().FormOf(hwnd);
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        form = static_cast<TForm*>(create->lpCreateParams);
        State().forms[hwnd] = form;
    }
    // Until the form object knows its window, the system alone handles it.
    if (!form || form->Handle() != Handle(hwnd)) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        State().forms.erase(hwnd);
        State().formRects.erase(hwnd);
    }
    if (msg == WM_WINDOWPOSCHANGED) GetWindowRect(hwnd, &State().formRects[hwnd]);
    // WM_DPICHANGED's suggested place reaches the form as a TRect.
    static_assert(sizeof(TRect) == sizeof(RECT) && offsetof(TRect, Bottom) == offsetof(RECT, bottom));
    // The program's task bar button comes with its main form, just before it.
    if (msg == WM_WINDOWPOSCHANGING && (reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
        HWND application = State().applicationWindow;
        if (application && hwnd == State().MainFormWindow() && !IsWindowVisible(application))
            ::ShowWindow(application, SW_SHOWNOACTIVATE);
    }
    TMessage message{msg, wParam, lParam, 0};
    bool erase = msg == WM_ERASEBKGND;
    if (erase) Self().BindPaintDC(Handle(hwnd), static_cast<THandle>(wParam));
    Guarded([&] { form->Dispatch(message); });
    if (erase) Self().UnbindPaintDC(Handle(hwnd));
    return message.Result;
}

HICON Win32State::CheckGlyph(int size) {
    if (auto known = checkGlyphs.find(size); known != checkGlyphs.end()) return known->second;
    const double unit = size / 16.0;  // the glyph is designed on 16 x 16
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = size;
    header.bV5Height = -size;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                     nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color) return nullptr;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    // Two strokes, (2,8)-(6,12) and (6,12)-(13,3), drawn by distance so
    // that the edges come out smooth.
    auto distance = [](double px, double py, double ax, double ay, double bx, double by) {
        double dx = bx - ax, dy = by - ay;
        double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double px = (x + 0.5) / unit, py = (y + 0.5) / unit;
            double d = std::min(distance(px, py, 2.5, 8.5, 6, 12), distance(px, py, 6, 12, 13.5, 3.5)) * unit;
            double coverage = std::clamp(2.0 * unit - d, 0.0, 1.0);
            auto alpha = static_cast<std::uint32_t>(coverage * 255);
            // Premultiplied green 0x00A000.
            pixels[y * size + x] = (alpha << 24) | ((0xA0 * alpha / 255) << 8);
        }
    HBITMAP mask = ::CreateBitmap(size, size, 1, 1, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON glyph = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(color);
    if (glyph) checkGlyphs.emplace(size, glyph);
    return glyph;
}

namespace {

// The OK button's check mark, at the size of its form's scale.
void SetGlyph(HWND hwnd, TControl& control) {
    auto* bitBtn = dynamic_cast<TBitBtn*>(&control);
    if (!bitBtn || bitBtn->BitBtnKind() != bkOK) return;
    HICON glyph = State().CheckGlyph(control.Form().Scale(16));
    SendMessageW(hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph));
}

}  // namespace

// --- Windows ---------------------------------------------------------------------------

THandle Win32Platform::CreateFormWindow(TForm& form) {
    const TFormDesign& design = form.Design();
    DWORD style = WS_CLIPCHILDREN;
    if (design.BorderStyle == bsNone) {
        style |= WS_POPUP;
    } else {
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    }
    DWORD exStyle = 0;
    if (design.FormStyle == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
    if (design.AcceptFiles) exStyle |= WS_EX_ACCEPTFILES;
    RECT rect{0, 0, form.Scale(design.ClientWidth), form.Scale(design.ClientHeight)};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    int x = design.Position == poDefault ? CW_USEDEFAULT : design.Left;
    int y = design.Position == poDefault ? CW_USEDEFAULT : design.Top;
    std::wstring caption = Widen(design.Caption);
    // Owned by the application's window, a form has no task bar button of its own.
    HWND hwnd = CreateWindowExW(exStyle, kFormClass, caption.c_str(), style, x, y, rect.right - rect.left,
                                rect.bottom - rect.top, state_->applicationWindow, nullptr, state_->instance, &form);
    if (!hwnd) throw Exception("ウィンドウを作成できません。\n" + ErrorText(GetLastError()));
    GetWindowRect(hwnd, &state_->formRects[hwnd]);
    return Handle(hwnd);
}

THandle Win32Platform::CreateControlWindow(TControl& control) {
    HWND parent = Hwnd(control.Form().Handle());
    const wchar_t* windowClass = kLabelClass;
    DWORD style = WS_CHILD | (control.Visible() ? WS_VISIBLE : 0);
    DWORD exStyle = 0;
    int id = 0;
    switch (control.Kind()) {
    case TControlKind::Label: break;
    case TControlKind::Edit:
        windowClass = WC_EDITW;
        style |= ES_AUTOHSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case TControlKind::Button:
    case TControlKind::BitBtn:
        windowClass = WC_BUTTONW;
        style |= static_cast<TButton&>(control).Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        break;
    case TControlKind::CheckBox:
        windowClass = WC_BUTTONW;
        style |= BS_AUTOCHECKBOX;
        break;
    default:
        throw Exception("no window for control " + control.Name());
    }
    if (control.TabOrder() >= 0) style |= WS_TABSTOP;
    if (control.Kind() != TControlKind::Label) {
        auto* button = dynamic_cast<TButton*>(&control);
        id = button && button->Default() ? IDOK : state_->nextControlId++;
    }
    std::wstring text = Widen(control.Caption());
    RECT place = LogicalRect(control);
    if (auto* label = dynamic_cast<TLabel*>(&control)) place = LabelWindowRect(*label);
    HWND hwnd = CreateWindowExW(exStyle, windowClass, text.c_str(), style, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state_->instance, nullptr);
    if (!hwnd) throw Exception("ウィンドウを作成できません。\n" + ErrorText(GetLastError()));
    state_->controls[hwnd] = &control;
    if (control.Kind() != TControlKind::Label)
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state_->FontFor(*control.Font())), FALSE);
    SetGlyph(hwnd, control);

    // Tab order is the order of the windows: put this one after the control
    // with the highest tab order below its own.
    if (control.TabOrder() >= 0) {
        HWND after = HWND_TOP;
        int best = -1;
        for (auto& [other, otherControl] : state_->controls) {
            if (other == hwnd || GetParent(other) != parent) continue;
            int order = otherControl->TabOrder();
            if (order >= 0 && order < control.TabOrder() && order > best) {
                best = order;
                after = other;
            }
        }
        SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return Handle(hwnd);
}

void Win32Platform::DestroyWindow(THandle window) {
    HWND hwnd = Hwnd(window);
    state_->controls.erase(hwnd);
    if (IsWindow(hwnd)) ::DestroyWindow(hwnd);
    state_->forms.erase(hwnd);
    state_->formRects.erase(hwnd);
}

void Win32Platform::SetWindowText(THandle window, const std::string& text) {
    HWND hwnd = Hwnd(window);
    SetWindowTextW(hwnd, Widen(text).c_str());
    // A label's old text must be painted over: erase it from the form's
    // background and draw the new text, whose overhang may differ.
    if (auto* label = dynamic_cast<TLabel*>(state_->ControlOf(hwnd))) {
        InvalidateLabelArea(hwnd);
        PlaceLabelWindow(hwnd, *label);
    }
}

std::string Win32Platform::GetWindowText(THandle window) {
    HWND hwnd = Hwnd(window);
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    length = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return Narrow(text);
}

TRect Win32Platform::WindowRect(THandle window) {
    HWND hwnd = Hwnd(window);
    if (auto known = state_->formRects.find(hwnd); known != state_->formRects.end()) {
        const RECT& r = known->second;
        return {r.left, r.top, r.right, r.bottom};
    }
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    if (HWND parent = GetParent(hwnd); parent && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void Win32Platform::SetWindowRect(THandle window, const TRect& rect) {
    HWND hwnd = Hwnd(window);
    // A label that changes size leaves or covers text of labels around it;
    // its window follows its bounds and its text's overhang.
    if (auto* label = dynamic_cast<TLabel*>(state_->ControlOf(hwnd))) {
        PlaceLabelWindow(hwnd, *label);
        return;
    }
    SetWindowPos(hwnd, nullptr, rect.Left, rect.Top, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

TRect Win32Platform::ClientRect(THandle window) {
    RECT rect{};
    GetClientRect(Hwnd(window), &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void Win32Platform::SetClientSize(THandle window, int width, int height) {
    HWND hwnd = Hwnd(window);
    RECT outer{}, client{};
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    // The frame as the window has it now, at the scale of its display.
    width += (outer.right - outer.left) - client.right;
    height += (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Windows 7 and 8 scale every display alike, at the screen's setting.
int Win32Platform::WindowPixelsPerInch(THandle window) {
    if (state_->getDpiForWindow)
        if (const UINT dpi = state_->getDpiForWindow(Hwnd(window)); dpi > 0) return static_cast<int>(dpi);
    return ScreenPixelsPerInch();
}

TPoint Win32Platform::ClientOrigin(THandle window) {
    POINT origin{0, 0};
    ClientToScreen(Hwnd(window), &origin);
    return {origin.x, origin.y};
}

void Win32Platform::ShowWindow(THandle window, int command) { ::ShowWindow(Hwnd(window), command); }

bool Win32Platform::IsWindowVisible(THandle window) { return ::IsWindowVisible(Hwnd(window)) != FALSE; }

void Win32Platform::InvalidateWindow(THandle window) {
    RedrawWindow(Hwnd(window), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32Platform::UpdateWindow(THandle window) {
    RedrawWindow(Hwnd(window), nullptr, nullptr, RDW_UPDATENOW | RDW_ERASENOW | RDW_ALLCHILDREN);
}

void Win32Platform::FontChanged(TControl& control) {
    HWND hwnd = Hwnd(control.Handle());
    if (auto* label = dynamic_cast<TLabel*>(&control)) {
        InvalidateLabelArea(hwnd);
        PlaceLabelWindow(hwnd, *label);
    } else {
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state_->FontFor(*control.Font())), TRUE);
        SetGlyph(hwnd, control);  // a new font comes with a new scale
    }
}

TSize Win32Platform::TextExtent(const TFont& font, const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, state_->FontFor(font));
    std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {size.cx, metrics.tmHeight};
}

bool Win32Platform::IsChecked(THandle window) {
    return SendMessageW(Hwnd(window), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Platform::SetChecked(THandle window, bool checked) {
    SendMessageW(Hwnd(window), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

THandle Win32Platform::GetFocus() { return Handle(::GetFocus()); }

void Win32Platform::SetFocus(THandle window) { ::SetFocus(Hwnd(window)); }

std::intptr_t Win32Platform::DefaultHandler(TForm& form, TMessage& message) {
    HWND hwnd = Hwnd(form.Handle());
    switch (message.Msg) {
    case WM_COMMAND: {
        HWND from = reinterpret_cast<HWND>(message.LParam);
        if (from && HIWORD(message.WParam) == BN_CLICKED) {
            if (TControl* control = state_->ControlOf(from)) control->Click();
        } else if (!from && LOWORD(message.WParam) == IDOK) {
            form.PressDefaultButton();
        }
        return 0;
    }
    case DM_GETDEFID:
        return form.DefaultButton() ? MAKELRESULT(IDOK, DC_HASDEFID) : 0;
    case WM_CLOSE:
        form.Close();
        return 0;
    case WM_SYSCOMMAND:
        // Minimising the main form minimises the program: its task bar
        // button stays and the form is hidden until the program is restored.
        if ((message.WParam & 0xFFF0) == SC_MINIMIZE && hwnd == state_->MainFormWindow() &&
            state_->applicationWindow && ::IsWindowVisible(state_->applicationWindow)) {
            ::ShowWindow(state_->applicationWindow, SW_MINIMIZE);
            ::ShowWindow(hwnd, SW_HIDE);
            state_->mainFormMinimised = true;
            return 0;
        }
        return DefWindowProcW(hwnd, message.Msg, message.WParam, message.LParam);
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(message.WParam);
        std::vector<std::string> files;
        UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            UINT length = DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size()));
            name.resize(length);
            files.push_back(NarrowPath(name));
        }
        DragFinish(drop);
        form.DropFiles(files);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message.Msg, message.WParam, message.LParam);
    }
}

}  // namespace fw::win32
