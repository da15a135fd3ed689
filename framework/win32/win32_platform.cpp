// The Win32 platform: its construction, the application's own window, the
// process and the message loop.
#include "framework/win32/win32_state.h"

// clang-format off
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "framework/cmdline.h"

namespace fw::win32 {

namespace {

Win32Platform* self = nullptr;
Win32State* state = nullptr;

}  // namespace

Win32Platform& Self() { return *self; }
Win32State& State() { return *state; }

// The application's window passes what the user asks of the program's task
// bar button on to the main form: the focus when it is activated, and a
// request to close.  Its window timers are the framework's timers.
LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
    case WM_TIMER:
        State().TimerElapsed(wParam);
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

    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) LookUp(state_->getDpiForWindow, user32, "GetDpiForWindow");

    // By its full path, so that no other folder can offer a dwmapi.dll.
    std::wstring system(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (length > 0 && length < system.size()) {
        system.resize(length);
        state_->dwmapi = LoadLibraryW((system + L"\\dwmapi.dll").c_str());
    }
    if (state_->dwmapi) {
        LookUp(state_->dwmIsCompositionEnabled, state_->dwmapi, "DwmIsCompositionEnabled");
        LookUp(state_->dwmFlush, state_->dwmapi, "DwmFlush");
        LookUp(state_->dwmSetWindowAttribute, state_->dwmapi, "DwmSetWindowAttribute");
    }
}

Win32Platform::~Win32Platform() {
    for (auto& [handle, bitmap] : state_->bitmaps) {
        SelectObject(bitmap.dc, bitmap.old);
        DeleteDC(bitmap.dc);
        DeleteObject(bitmap.bitmap);
    }
    for (auto& [key, font] : state_->fonts) DeleteObject(font);
    for (auto& [size, glyph] : state_->checkGlyphs) DestroyIcon(glyph);
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

// The application's message loop.  The timers tick in it as in every other
// loop on the thread (see StartTimer).
void Win32Platform::Run(TApplication& application) {
    MSG msg;
    while (!application.Terminated() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
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

THandle Win32Platform::ApplicationWindow() { return Handle(state_->applicationWindow); }

}  // namespace fw::win32
