// A small window program with known properties, for the tests of the
// end-to-end driver itself: they can then run whether or not the real
// programs build.  It records its arguments and working folder, shows a
// popup window with a few child controls, counts clicks (as messages and as
// polled button states), Enter keys and message-box answers in a status
// label, shows a box that is filled in only after it shows, and ends with
// exit code 7 when its window closes.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

constexpr int kStatusId = 104;
int g_clicks = 0;
int g_polled = 0;
int g_enters = 0;
int g_box = 0;
bool g_wasDown = false;
HWND g_edit = nullptr;
HWND g_late = nullptr;
int g_lateStep = 0;

void WriteUtf8(const wchar_t* name, const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void RecordStart() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring args;
    for (int i = 1; i < argc; ++i) args += std::wstring(argv[i]) + L"\n";
    LocalFree(argv);
    WriteUtf8(L"args.txt", args);
    wchar_t folder[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    WriteUtf8(L"cwd.txt", std::wstring(folder, n));
}

void ShowStatus(HWND window) {
    std::wstring text = L"clicks=" + std::to_wstring(g_clicks) + L" polled=" + std::to_wstring(g_polled) +
                        L" enters=" + std::to_wstring(g_enters) + L" box=" + std::to_wstring(g_box);
    SetWindowTextW(GetDlgItem(window, kStatusId), text.c_str());
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Child(window, L"Static", L"ラベル", WS_VISIBLE | SS_LEFT, 10, 10, 100, 20, 100);
        Child(window, L"Button", L"&Box", WS_VISIBLE | BS_PUSHBUTTON, 10, 40, 80, 24, 101);
        g_edit = Child(window, L"Edit", L"", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 80, 200, 24, 102);
        Child(window, L"Static", L"hidden", SS_LEFT, 120, 10, 60, 20, 103);
        Child(window, L"Static", L"", WS_VISIBLE | SS_LEFT, 10, 110, 220, 20, kStatusId);
        Child(window, L"Button", L"&Plain", WS_VISIBLE | BS_PUSHBUTTON, 100, 40, 80, 24, 105);
        Child(window, L"Button", L"&Late", WS_VISIBLE | BS_PUSHBUTTON, 190, 40, 40, 24, 106);
        ShowStatus(window);
        SetTimer(window, 1, 50, nullptr);
        return 0;
    case WM_TIMER: {
        // The late box gets its caption, its text and its button's name
        // one at a time.
        if (wParam == 2) {
            ++g_lateStep;
            if (g_lateStep == 1) SetWindowTextW(g_late, L"遅い箱");
            if (g_lateStep == 2) SetDlgItemTextW(g_late, 10, L"遅れて出る本文");
            if (g_lateStep == 3) SetDlgItemTextW(g_late, IDOK, L"OK");
            if (g_lateStep == 3) KillTimer(window, 2);
            return 0;
        }
        // Samples the button the way a polling display does.
        bool down = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
        if (down && !g_wasDown) {
            ++g_polled;
            ShowStatus(window);
        }
        g_wasDown = down;
        return 0;
    }
    case WM_LBUTTONDOWN:
        ++g_clicks;
        ShowStatus(window);
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_edit);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == 101) {
            g_box = MessageBoxW(window, L"本文です", L"見出し", MB_OK | MB_ICONERROR);
            ShowStatus(window);
        } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == 105) {
            g_box = MessageBoxW(window, L"ただの本文", L"Fixture", MB_OK);
            ShowStatus(window);
        } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == 106) {
            g_late = CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_CAPTION | WS_VISIBLE, 360, 120, 200, 100, window,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
            Child(g_late, L"Static", L"", WS_VISIBLE, 10, 10, 180, 20, 10);
            Child(g_late, L"Button", L"", WS_VISIBLE | BS_PUSHBUTTON, 10, 40, 60, 24, IDOK);
            SetTimer(window, 2, 200, nullptr);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    RecordStart();
    WNDCLASSW cls{};
    cls.lpfnWndProc = WindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = CreateSolidBrush(RGB(10, 200, 30));
    cls.lpszClassName = L"E2EFixture";
    RegisterClassW(&cls);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"E2EFixture", L"Fixture 表示", WS_POPUP | WS_VISIBLE, 100, 120,
                                  240, 160, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
            ++g_enters;
            ShowStatus(window);
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
