#include "framework/win32/win32_platform.h"

// clang-format off
#include "framework/win32/win32.h"
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "framework/cmdline.h"
#include "framework/gui/forms.h"
#include "framework/gui/system.h"
#include "framework/win32/wide.h"

#undef SHBrowseForFolder
#undef SHGetPathFromIDList

namespace fw::win32 {

namespace {

constexpr wchar_t kApplicationClass[] = L"FwApplication";
constexpr wchar_t kFormClass[] = L"FwForm";
constexpr wchar_t kLabelClass[] = L"FwLabel";
constexpr int kFirstControlId = 100;

HWND Hwnd(THandle handle) { return reinterpret_cast<HWND>(handle); }
THandle Handle(HWND hwnd) { return reinterpret_cast<THandle>(hwnd); }

COLORREF ColorRef(TColor color) {
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

}  // namespace

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
    std::string exeName;
    std::map<HWND, TForm*> forms;
    // Where each form's window stands, kept up to date from the window's
    // own position messages, so that reading a form's place costs nothing.
    std::map<HWND, RECT> formRects;
    std::map<HWND, TControl*> controls;
    std::map<THandle, HDC> paintDCs;
    // When each running timer falls due, in GetTickCount64 milliseconds.
    std::map<TTimer*, ULONGLONG> timerDue;

    // Ticks the timers that are due, one at a time, each restarting its
    // interval before its handler runs; returns the milliseconds until the
    // next one falls due, INFINITE when none runs.
    DWORD FireDueTimers();
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
    HICON checkGlyph = nullptr;
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

    // A green check mark, the OK button's glyph, drawn once at the size the
    // screen's pixels per inch call for.
    HICON CheckGlyph();
};

namespace {

Win32Platform* self = nullptr;
Win32State* state = nullptr;

Win32State& State() { return *state; }

FW_SYSTEM_ENTRY LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
    // The program's task bar button comes with its main form, just before it.
    if (msg == WM_WINDOWPOSCHANGING && (reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
        HWND application = State().applicationWindow;
        if (application && hwnd == State().MainFormWindow() && !IsWindowVisible(application))
            ::ShowWindow(application, SW_SHOWNOACTIVATE);
    }
    TMessage message{msg, wParam, lParam, 0};
    bool erase = msg == WM_ERASEBKGND;
    if (erase) self->BindPaintDC(Handle(hwnd), static_cast<THandle>(wParam));
    Guarded([&] { form->Dispatch(message); });
    if (erase) self->UnbindPaintDC(Handle(hwnd));
    return message.Result;
}

// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Where a control stands in its form, as the control itself says.
RECT LogicalRect(const TControl& control) {
    return {control.Left(), control.Top(), control.Left() + control.Width(), control.Top() + control.Height()};
}

// How far a text drawn in this font reaches past the end of its advance: an
// italic letter leans out to the right of the place the next letter would
// take.  Measured on the glyphs' black boxes as the system renders them
// (synthesised slants included).
int InkOverhang(HFONT font, const std::wstring& text) {
    if (text.empty()) return 0;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    long pen = 0;
    long inkRight = 0;
    for (wchar_t c : text) {
        GLYPHMETRICS metrics{};
        if (GetGlyphOutlineW(dc, c, GGO_METRICS, &metrics, 0, nullptr, &identity) == GDI_ERROR) {
            ABC abc{};
            if (!GetCharABCWidthsW(dc, c, c, &abc)) continue;
            inkRight = std::max<long>(inkRight, pen + abc.abcA + static_cast<long>(abc.abcB));
            pen += abc.abcA + static_cast<long>(abc.abcB) + abc.abcC;
            continue;
        }
        inkRight = std::max<long>(inkRight, pen + metrics.gmptGlyphOrigin.x + static_cast<long>(metrics.gmBlackBoxX));
        pen += metrics.gmCellIncX;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return static_cast<int>(std::max<long>(inkRight - pen, 0));
}

// A label's window: its own rectangle, widened to the right by its text's
// overhang, so that an italic last letter is drawn whole.  The label's
// bounds (and so any hit rectangle made from them) stay as they are.
RECT LabelWindowRect(const TLabel& label) {
    RECT rect = LogicalRect(label);
    rect.right += InkOverhang(State().FontFor(label.Font()), Widen(label.Caption()));
    return rect;
}

// Draws a label's text in its own rectangle (`area`, in the device
// context's coordinates).  The text is not clipped to that rectangle: what
// reaches beyond it, an italic overhang, lies in the label's widened window.
void DrawLabelText(HDC dc, TLabel& label, RECT area) {
    HGDIOBJ old = SelectObject(dc, State().FontFor(*label.Font()));
    SetTextColor(dc, ColorRef(label.Font()->Color()));
    SetBkMode(dc, TRANSPARENT);
    UINT format = DT_NOPREFIX | DT_SINGLELINE | DT_TOP | DT_NOCLIP;
    if (label.Alignment() == taCenter) format |= DT_CENTER;
    if (label.Alignment() == taRightJustify) format |= DT_RIGHT;
    std::wstring text = Widen(label.Caption());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
    SelectObject(dc, old);
}

// Repaints a label's area of the form, and every label that reaches into it.
void InvalidateLabelArea(HWND hwnd) {
    RECT rect = ChildRect(hwnd);
    RedrawWindow(GetParent(hwnd), &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Gives a label's window the rectangle its bounds and text call for, and
// repaints what it leaves and what it covers.
void PlaceLabelWindow(HWND hwnd, const TLabel& label) {
    const RECT want = LabelWindowRect(label);
    const RECT now = ChildRect(hwnd);
    if (EqualRect(&want, &now)) return;
    InvalidateLabelArea(hwnd);
    SetWindowPos(hwnd, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateLabelArea(hwnd);
}

// Labels are child windows that draw only their text.  Their background is
// whatever the form paints there: the form's own erase handling is run on the
// label's device context, moved so that form coordinates land in place.
FW_SYSTEM_ENTRY LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* label = dynamic_cast<TLabel*>(State().ControlOf(hwnd));
    if (!label) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        TForm& form = label->Form();
        RECT rect = ChildRect(hwnd);
        POINT origin;
        SetViewportOrgEx(dc, -rect.left, -rect.top, &origin);
        self->BindPaintDC(form.Handle(), reinterpret_cast<THandle>(dc));
        TMessage message{WM_ERASEBKGND, wParam, 0, 0};
        Guarded([&] { form.Dispatch(message); });
        self->UnbindPaintDC(form.Handle());
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT own = ChildRect(hwnd);
        // Labels may overlap.  Each label window shows everything that lies
        // in its area: the form's background, then the text of every label
        // that reaches into it, in creation order.  So the picture is the
        // same whichever window happens to paint a spot.
        for (TControl* control : label->Form().Controls()) {
            auto* other = dynamic_cast<TLabel*>(control);
            if (!other || !other->Visible() || !other->Handle()) continue;
            RECT reach = ChildRect(Hwnd(other->Handle()));
            RECT overlap;
            if (!IntersectRect(&overlap, &reach, &own)) continue;
            RECT area = LogicalRect(*other);
            OffsetRect(&area, -own.left, -own.top);
            DrawLabelText(dc, *other, area);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCHITTEST:
        // Presses go to the form underneath, as on a window without children.
        return HTTRANSPARENT;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The application's window passes what the user asks of the program's task
// bar button on to the main form: the focus when it is activated, and a
// request to close.
FW_SYSTEM_ENTRY LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND main = State().MainFormWindow();
    switch (msg) {
    case WM_SETFOCUS:
        if (main && IsWindowVisible(main)) {
            // A message box the main form waits for takes it instead.
            HWND target = GetLastActivePopup(main);
            SetActiveWindow(target && IsWindowEnabled(target) ? target : main);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (main) SendMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    case WM_WINDOWPOSCHANGED:
        // Restored from the task bar: the main form comes back.
        if (State().mainFormMinimised && !IsIconic(hwnd)) {
            State().mainFormMinimised = false;
            if (main) ::ShowWindow(main, SW_SHOW);
        }
        break;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

HICON Win32State::CheckGlyph() {
    if (checkGlyph) return checkGlyph;
    HDC screenDC = GetDC(nullptr);
    const int size = fw::MulDiv(16, GetDeviceCaps(screenDC, LOGPIXELSY), 96);
    ReleaseDC(nullptr, screenDC);
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
    checkGlyph = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(color);
    return checkGlyph;
}

// --- Construction ------------------------------------------------------------------

Win32Platform::Win32Platform() : state_(new Win32State), previous_(InstallPlatform(this)) {
    self = this;
    state = state_;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The shell's folder browser needs a single-threaded apartment.
    state_->comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));

    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = FormProc;
    form.hInstance = state_->instance;
    form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    form.hIcon = LoadIconW(state_->instance, L"MAINICON");
    if (!form.hIcon) form.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    form.lpszClassName = kFormClass;
    RegisterClassExW(&form);

    WNDCLASSEXW label{};
    label.cbSize = sizeof label;
    label.lpfnWndProc = LabelProc;
    label.hInstance = state_->instance;
    label.hCursor = form.hCursor;
    label.lpszClassName = kLabelClass;
    RegisterClassExW(&label);

    WNDCLASSEXW application{};
    application.cbSize = sizeof application;
    application.lpfnWndProc = ApplicationProc;
    application.hInstance = state_->instance;
    application.hIcon = form.hIcon;  // the task bar button's icon
    application.lpszClassName = kApplicationClass;
    RegisterClassExW(&application);
    state_->applicationWindow =
        CreateWindowExW(0, kApplicationClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                        nullptr, nullptr, state_->instance, nullptr);

    // By its full path, so that no other folder can offer a dwmapi.dll.
    std::wstring system(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (length > 0 && length < system.size()) {
        system.resize(length);
        state_->dwmapi = LoadLibraryW((system + L"\\dwmapi.dll").c_str());
    }
    if (state_->dwmapi) {
        state_->dwmIsCompositionEnabled = reinterpret_cast<HRESULT(WINAPI*)(BOOL*)>(
            reinterpret_cast<void*>(GetProcAddress(state_->dwmapi, "DwmIsCompositionEnabled")));
        state_->dwmFlush = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(state_->dwmapi, "DwmFlush")));
    }
}

Win32Platform::~Win32Platform() {
    for (auto& [handle, bitmap] : state_->bitmaps) {
        SelectObject(bitmap.dc, bitmap.old);
        DeleteDC(bitmap.dc);
        DeleteObject(bitmap.bitmap);
    }
    for (auto& [key, font] : state_->fonts) DeleteObject(font);
    if (state_->checkGlyph) DestroyIcon(state_->checkGlyph);
    if (state_->applicationWindow) ::DestroyWindow(state_->applicationWindow);
    if (state_->dwmapi) FreeLibrary(state_->dwmapi);
    if (state_->comInitialized) CoUninitialize();
    InstallPlatform(previous_);
    delete state_;
    state = nullptr;
    self = nullptr;
}

// --- Process and message loop ---------------------------------------------------------

// The program's path does not change while it runs, and the display asks
// for it in every poll: it is worked out once.
std::string Win32Platform::ExeName() {
    if (state_->exeName.empty()) {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            path.resize(path.size() * 2);
        }
        state_->exeName = NarrowPath(path);
    }
    return state_->exeName;
}

// Each argument is converted on its own, so that a path with a name code page
// 932 cannot hold (a file dropped from a folder named in another script) is
// passed in its short form, which names the same file.
std::string QuotedCommandLine(std::wstring_view commandLine) {
    std::string line;
    for (const std::wstring& argument : SplitCommandLine<wchar_t>(commandLine)) {
        if (!line.empty()) line += ' ';
        line += '"' + NarrowPath(argument) + '"';
    }
    return line;
}

std::string Win32Platform::CommandLine() { return QuotedCommandLine(GetCommandLineW()); }

DWORD Win32State::FireDueTimers() {
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        auto next = std::min_element(timerDue.begin(), timerDue.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
        if (next == timerDue.end()) return INFINITE;
        if (next->second > now) return static_cast<DWORD>(std::min<ULONGLONG>(next->second - now, INFINITE - 1));
        TTimer* timer = next->first;
        next->second = now + timer->Interval();
        timer->Tick();
    }
}

// The application's message loop, which also keeps its timers: it waits
// for the next message or the next timer, whichever comes first.  Timers
// tick here only, not in the modal loops of message boxes and dialogs.
void Win32Platform::Run(TApplication& application) {
    MSG msg;
    while (!application.Terminated()) {
        DWORD wait = state_->FireDueTimers();
        if (application.Terminated()) break;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (msg.message == WM_QUIT) break;
        // Tab, Enter and the other dialog keys work in every form.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && state_->FormOf(root) && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Win32Platform::Terminate() {
    // Wakes the loop so that it sees the application terminated.  No WM_QUIT:
    // it would also end any message box still to be shown.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void Win32Platform::RestoreApplication() {
    if (state_->applicationWindow && IsIconic(state_->applicationWindow))
        ::ShowWindow(state_->applicationWindow, SW_RESTORE);
    if (HWND main = state_->MainFormWindow(); main && IsIconic(main)) ::ShowWindow(main, SW_RESTORE);
}

void Win32Platform::SetApplicationTitle(const std::string& title) {
    if (state_->applicationWindow) SetWindowTextW(state_->applicationWindow, Widen(title).c_str());
}

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
    if (auto* bitBtn = dynamic_cast<TBitBtn*>(&control); bitBtn && bitBtn->BitBtnKind() == bkOK)
        SendMessageW(hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(state_->CheckGlyph()));

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

// --- Timers and pointer -----------------------------------------------------------------

// Timers are kept by the message loop itself (see Run): switching one on or
// off touches nothing outside the process, which matters to a poll that
// switches its timer off and on again twenty times a second.
void Win32Platform::StartTimer(TTimer& timer) { state_->timerDue[&timer] = GetTickCount64() + timer.Interval(); }

void Win32Platform::StopTimer(TTimer& timer) { state_->timerDue.erase(&timer); }

bool Win32Platform::GetCursorPos(TPoint& position) {
    POINT point;
    if (!::GetCursorPos(&point)) return false;
    position = {point.x, point.y};
    return true;
}

short Win32Platform::GetAsyncKeyState(int key) { return ::GetAsyncKeyState(key); }

// --- Drawing ---------------------------------------------------------------------------------

TSize Win32Platform::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

TRect Win32Platform::VirtualScreen() {
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        TSize primary = ScreenSize();
        return Bounds(0, 0, primary.cx, primary.cy);
    }
    return Bounds(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), width, height);
}

// The system's setting, which a program that declares itself aware of it
// (as ours do in their manifests) sees unchanged.
int Win32Platform::ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

bool Win32Platform::CompositionEnabled() {
    BOOL enabled = FALSE;
    return state_->dwmIsCompositionEnabled && SUCCEEDED(state_->dwmIsCompositionEnabled(&enabled)) && enabled;
}

void Win32Platform::FlushComposition() {
    if (state_->dwmFlush) state_->dwmFlush();
}

THandle Win32Platform::GetScreenDC() { return reinterpret_cast<THandle>(GetDC(nullptr)); }

void Win32Platform::ReleaseScreenDC(THandle dc) { ReleaseDC(nullptr, reinterpret_cast<HDC>(dc)); }

THandle Win32Platform::CreateBitmap(int width, int height) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        throw Exception("ビットマップを作成できません。");
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    THandle handle = state_->nextBitmap++;
    state_->bitmaps[handle] = {bitmap, dc, old, width, height};
    return handle;
}

void Win32Platform::DeleteBitmap(THandle handle) {
    auto found = state_->bitmaps.find(handle);
    if (found == state_->bitmaps.end()) return;
    SelectObject(found->second.dc, found->second.old);
    DeleteDC(found->second.dc);
    DeleteObject(found->second.bitmap);
    state_->bitmaps.erase(found);
}

void Win32Platform::BindPaintDC(THandle form, THandle dc) { state_->paintDCs[form] = reinterpret_cast<HDC>(dc); }

void Win32Platform::UnbindPaintDC(THandle form) { state_->paintDCs.erase(form); }

namespace {

// The device context of a surface, released when this goes out of scope if
// it was fetched for the occasion.
class SurfaceDC {
public:
    SurfaceDC(Win32State& state, const TSurface& surface) {
        switch (surface.kind) {
        case TSurface::Window: {
            auto bound = state.paintDCs.find(surface.handle);
            if (bound != state.paintDCs.end()) {
                dc_ = bound->second;
            } else {
                window_ = Hwnd(surface.handle);
                dc_ = GetDC(window_);
            }
            break;
        }
        case TSurface::Bitmap: {
            auto found = state.bitmaps.find(surface.handle);
            if (found != state.bitmaps.end()) dc_ = found->second.dc;
            break;
        }
        case TSurface::Screen: dc_ = reinterpret_cast<HDC>(surface.handle); break;
        case TSurface::None: break;
        }
    }
    ~SurfaceDC() {
        if (window_) ReleaseDC(window_, dc_);
    }
    SurfaceDC(const SurfaceDC&) = delete;
    SurfaceDC& operator=(const SurfaceDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace

TSize Win32Platform::SurfaceSize(const TSurface& surface) {
    switch (surface.kind) {
    case TSurface::Window: {
        TRect client = ClientRect(surface.handle);
        return {client.Width(), client.Height()};
    }
    case TSurface::Bitmap: {
        auto found = state_->bitmaps.find(surface.handle);
        return found == state_->bitmaps.end() ? TSize{} : TSize{found->second.width, found->second.height};
    }
    case TSurface::Screen: return ScreenSize();
    case TSurface::None: break;
    }
    return {};
}

void Win32Platform::CopyRect(const TSurface& dest, const TRect& destRect, const TSurface& source,
                             const TRect& sourceRect) {
    SurfaceDC to(*state_, dest);
    SurfaceDC from(*state_, source);
    if (!to.get() || !from.get()) return;
    BitBlt(to.get(), destRect.Left, destRect.Top, destRect.Width(), destRect.Height(), from.get(), sourceRect.Left,
           sourceRect.Top, SRCCOPY);
}

void Win32Platform::FillRect(const TSurface& dest, const TRect& rect, TColor color) {
    SurfaceDC to(*state_, dest);
    if (!to.get()) return;
    HBRUSH brush = CreateSolidBrush(ColorRef(color));
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(to.get(), &r, brush);
    DeleteObject(brush);
}

// --- Dialogs -------------------------------------------------------------------------------------

int Win32Platform::MessageBox(THandle owner, const std::string& text, const std::string& caption, unsigned flags) {
    return MessageBoxW(Hwnd(owner), Widen(text).c_str(), Widen(caption).c_str(), flags);
}

bool Win32Platform::ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                                      std::string& fileName) {
    // "description|pattern|..." becomes "description\0pattern\0...\0\0".
    std::wstring filters = Widen(filter);
    std::replace(filters.begin(), filters.end(), L'|', L'\0');
    filters.append(2, L'\0');
    std::wstring buffer = Widen(fileName);
    buffer.resize(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = Hwnd(owner);
    request.lpstrFilter = filters.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.Flags = OFN_EXPLORER | options;
    if (!GetOpenFileNameW(&request)) return false;
    fileName = NarrowPath(buffer.c_str());
    return true;
}

void* Win32Platform::BrowseForFolder(const TBrowseInfo& request) {
    std::wstring title = request.lpszTitle ? Widen(request.lpszTitle) : L"";
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = Hwnd(request.hwndOwner);
    info.pidlRoot = static_cast<PCIDLIST_ABSOLUTE>(request.pidlRoot);
    info.pszDisplayName = displayName;
    info.lpszTitle = request.lpszTitle ? title.c_str() : nullptr;
    info.ulFlags = request.ulFlags;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (list && request.pszDisplayName) {
        std::string name = Narrow(displayName);
        std::size_t length = std::min(name.size(), static_cast<std::size_t>(MAX_PATH - 1));
        std::memcpy(request.pszDisplayName, name.data(), length);
        request.pszDisplayName[length] = '\0';
    }
    return list;
}

bool Win32Platform::PathFromIdList(void* idList, char* path) {
    wchar_t wide[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(idList), wide)) return false;
    std::string narrow = NarrowPath(wide);
    if (narrow.size() >= static_cast<std::size_t>(MAX_PATH)) return false;
    std::memcpy(path, narrow.c_str(), narrow.size() + 1);
    return true;
}

void Win32Platform::FreeIdList(void* idList) { ::CoTaskMemFree(idList); }

}  // namespace fw::win32
