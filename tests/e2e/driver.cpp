// Win32 implementation of the end-to-end driver.
#include "driver.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <utility>

namespace e2e {

namespace {

DWORD TimeoutFromEnvironment() {
    wchar_t text[16];
    const DWORD length = GetEnvironmentVariableW(L"SORBEL_E2E_TIMEOUT_MS", text, 16);
    if (length == 0 || length >= 16) return 30000;
    const unsigned long ms = wcstoul(text, nullptr, 10);
    return ms > 0 ? static_cast<DWORD>(ms) : 30000;
}

std::map<std::wstring, std::wstring>& ProgramPaths() {
    static std::map<std::wstring, std::wstring> paths;
    return paths;
}

std::wstring Convert(UINT codePage, const std::string& bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string Convert(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring LastErrorText(const wchar_t* what) {
    return std::wstring(what) + L" failed, error " + std::to_wstring(GetLastError());
}

struct EnumRequest {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<EnumRequest*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == request->processId) request->windows.push_back(window);
    return TRUE;
}

std::wstring WithoutAmpersands(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        // "&&" stands for one "&"; a single "&" marks the accelerator.
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        else if (text[i] == L'&') continue;
        out += text[i];
    }
    return out;
}

bool SendInputs(INPUT* inputs, UINT count) {
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

bool SendMouseButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return SendInputs(&input, 1);
}

LPARAM KeyLParam(WORD virtualKey, bool up) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    return up ? (1 | scan | (LPARAM{1} << 30) | (LPARAM{1} << 31)) : (1 | scan);
}

}  // namespace

const DWORD kTimeoutMs = TimeoutFromEnvironment();

// ---------------------------------------------------------------- programs under test

void ReadProgramPaths() {
    const std::wstring prefix = L"--program=";
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg.compare(0, prefix.size(), prefix) != 0) continue;
        size_t equals = arg.find(L'=', prefix.size());
        if (equals == std::wstring::npos) continue;
        ProgramPaths()[arg.substr(prefix.size(), equals - prefix.size())] = WinePath(arg.substr(equals + 1));
    }
    LocalFree(argv);
}

testing::AssertionResult ProgramAvailable(const std::wstring& name, std::wstring& path) {
    const auto found = ProgramPaths().find(name);
    path = found == ProgramPaths().end() ? std::wstring() : found->second;
    if (path.empty()) return testing::AssertionFailure() << "no --program=" << Utf8(name) << "=<path> argument";
    if (!FileExists(path)) return testing::AssertionFailure() << Utf8(path) << " does not exist";
    return testing::AssertionSuccess();
}

// ---------------------------------------------------------------- text, paths

std::wstring Widen(const std::string& utf8) { return Convert(CP_UTF8, utf8); }
std::string Utf8(const std::wstring& text) { return Convert(CP_UTF8, text); }
std::string ToCp932(const std::wstring& text) { return Convert(932, text); }
std::wstring FromCp932(const std::string& bytes) { return Convert(932, bytes); }

std::wstring WinePath(const std::wstring& path) {
    std::wstring out = path;
    for (auto& c : out)
        if (c == L'/') c = L'\\';
    if (!path.empty() && path[0] == L'/') out = L"Z:" + out;
    return out;
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    return CloseHandle(file) && ok;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring CopyInto(const std::wstring& file, const std::wstring& folder) {
    std::wstring target = folder + L"\\" + file.substr(file.find_last_of(L"\\/") + 1);
    return CopyFileW(file.c_str(), target.c_str(), FALSE) ? target : std::wstring();
}

std::vector<std::string> NamesIn(const std::wstring& folder) {
    std::vector<std::string> names;
    for (const std::wstring& name : testfolders::NamesIn(folder)) names.push_back(Utf8(name));
    return names;
}

std::optional<std::string> IniValue(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return std::nullopt;
    return IniValueIn(bytes, section, key);
}

std::optional<std::string> IniValueIn(const std::string& bytes, const std::wstring& section, const std::wstring& key) {
    static TempDir copies;
    static unsigned count = 0;
    const std::wstring copy = copies.File(L"read" + std::to_wstring(++count) + L".ini");
    const std::wstring text = L"\xFEFF" + FromCp932(bytes);
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (!WriteFileBytes(copy, utf16)) return std::nullopt;
    // A default no file holds: a key that is there but empty reads empty.
    const wchar_t missing[] = L"\x01";
    std::wstring value(65536, L'\0');
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, value.data(),
                                             static_cast<DWORD>(value.size()), copy.c_str());
    DeleteFileW(copy.c_str());
    value.resize(n);
    if (value == missing) return std::nullopt;
    return Utf8(value);
}

// ---------------------------------------------------------------- waiting

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD intervalMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Pause(intervalMs);
    }
}

void Pause(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64();; now = GetTickCount64()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

// ---------------------------------------------------------------- processes

Process::~Process() { Close(); }

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(other.id_), error_(std::move(other.error_)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        process_ = std::exchange(other.process_, nullptr);
        id_ = other.id_;
        error_ = std::move(other.error_);
    }
    return *this;
}

void Process::Close() {
    if (!process_) return;
    Terminate();
    CloseHandle(process_);
    process_ = nullptr;
}

std::wstring BuildCommandLine(const std::wstring& exe, const std::vector<std::wstring>& args) {
    auto quoted = [](const std::wstring& arg) {
        return arg.empty() || arg.find_first_of(L" \t") != std::wstring::npos ? L"\"" + arg + L"\"" : arg;
    };
    std::wstring line = L"\"" + exe + L"\"";
    for (const auto& arg : args) {
        if (arg.find(L'"') != std::wstring::npos) return {};
        line += L" " + quoted(arg);
    }
    return line;
}

Process Process::Start(const std::wstring& exe, const std::vector<std::wstring>& args,
                       const std::wstring& workDir) {
    Process started;
    std::wstring line = BuildCommandLine(exe, args);
    if (line.empty()) {
        started.error_ = L"an argument holds a double quote";
        return started;
    }
    const std::wstring folder = workDir.empty() ? FolderOf(exe) : workDir;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        started.error_ = LastErrorText(L"CreateProcessW") + L" for " + exe;
        return started;
    }
    CloseHandle(info.hThread);
    started.process_ = info.hProcess;
    started.id_ = info.dwProcessId;
    return started;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD& exitCode) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_, &exitCode) != 0;
}

testing::AssertionResult EndsWithExitCode(Process& process, DWORD expected) {
    DWORD exitCode = 0xFFFFFFFF;
    if (!process.WaitForExit(kTimeoutMs, exitCode)) {
        auto failure = testing::AssertionFailure() << "the program did not end";
        for (HWND box : MessageBoxes(process.Id())) {
            const MessageBoxContent content = ReadMessageBox(box);
            failure << "; it shows a message box \"" << Utf8(content.caption) << "\":";
            for (const auto& text : content.texts) failure << " \"" << Utf8(text) << "\"";
        }
        return failure;
    }
    if (exitCode != expected) return testing::AssertionFailure() << "exit code " << exitCode;
    return testing::AssertionSuccess();
}

void Process::Terminate() {
    if (Running()) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 10000);
    }
}

// ---------------------------------------------------------------- windows

std::vector<HWND> TopLevelWindows(DWORD processId) {
    EnumRequest request{processId, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&request));
    return request.windows;
}

// The first top-level window of the process that satisfies match, waiting up
// to timeoutMs for it to appear; nullptr if none.
static HWND WaitForWindow(DWORD processId, DWORD timeoutMs, const std::function<bool(HWND)>& match) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId))
                if (match(window)) return (found = window) != nullptr;
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> TaskbarWindows(DWORD processId) {
    std::vector<HWND> buttons;
    for (HWND window : TopLevelWindows(processId)) {
        if (!IsWindowVisible(window)) continue;
        const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        const bool unowned = GetWindow(window, GW_OWNER) == nullptr;
        if ((exStyle & WS_EX_APPWINDOW) || (unowned && !(exStyle & WS_EX_TOOLWINDOW))) buttons.push_back(window);
    }
    return buttons;
}

HWND WaitForWindowWithText(DWORD processId, const std::wstring& text, DWORD timeoutMs) {
    return WaitForWindow(processId, timeoutMs,
                         [&](HWND window) { return IsVisible(window) && WindowText(window) == text; });
}

HWND StartVistelIn(const std::wstring& exe, const std::wstring& folder, const std::string& settings,
                   Process& process, std::string& error) {
    const std::wstring copy = CopyInto(exe, folder);
    if (copy.empty() || !WriteFileBytes(folder + L"\\Sorbel.ini", settings)) {
        error = "cannot set up Vistel's folder";
        return nullptr;
    }
    process = Process::Start(copy, {}, folder);
    if (!process.Started()) {
        error = "cannot start Vistel: " + Utf8(process.Error());
        return nullptr;
    }
    // The program's own hidden window has the same text but no size.
    HWND window = WaitForWindow(process.Id(), kTimeoutMs, [](HWND w) {
        return IsVisible(w) && ClientSize(w).cx > 0 && WindowText(w) == L"Vistel";
    });
    if (!window) error = "Vistel's window never showed";
    return window;
}

namespace {

// WM_GETTEXT, not GetWindowTextW: for a window of another process the latter
// returns only the caption stored by the system, never the text of an edit
// control the user typed into.  One message per try, into a buffer that
// grows until the text fits: a length asked for first could be out of date
// by the time the text is fetched, as the program may change it in between.
// False when the window does not answer.
bool ReadText(HWND window, std::wstring& text) {
    for (std::size_t size = 1024;; size *= 4) {
        text.assign(size, L'\0');
        DWORD_PTR got = 0;
        if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                 SMTO_ABORTIFHUNG, 5000, &got)) {
            text.clear();
            return false;
        }
        if (got + 1 < size || size >= (1u << 20)) {
            text.resize(std::min<size_t>(static_cast<size_t>(got), size - 1));
            return true;
        }
    }
}

}  // namespace

std::wstring WindowText(HWND window) {
    std::wstring text;
    ReadText(window, text);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(n > 0 ? n : 0));
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

SIZE ClientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

POINT ClientOrigin(HWND window) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return origin;
}

RECT ClientRectOnScreen(HWND window) {
    const POINT origin = ClientOrigin(window);
    const SIZE size = ClientSize(window);
    return {origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
}

POINT CentreOf(HWND window) {
    const RECT r = WindowRect(window);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

LONG_PTR Style(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyle(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }
bool IsVisible(HWND window) { return IsWindowVisible(window) != 0; }

std::vector<ChildWindow> Children(HWND parent) {
    std::vector<ChildWindow> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = WindowRect(child);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        children.push_back(ChildWindow{child, ClassName(child), WindowText(child), rect,
                                       GetDlgCtrlID(child), IsVisible(child)});
    }
    return children;
}

HWND FindChild(HWND parent, const std::wstring& text, const std::wstring& className) {
    for (const auto& child : Children(parent)) {
        if (child.text == text && (className.empty() || child.className == className)) return child.handle;
    }
    return nullptr;
}

bool PostClose(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0) != 0; }

// ---------------------------------------------------------------- message boxes

std::vector<HWND> MessageBoxes(DWORD processId) {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(processId)) {
        if (ClassName(window) == L"#32770" && IsVisible(window)) boxes.push_back(window);
    }
    return boxes;
}

MessageBoxContent ReadMessageBox(HWND box) {
    MessageBoxContent content;
    content.answered = ReadText(box, content.caption);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsVisible(child)) continue;
        std::wstring text;
        content.answered &= ReadText(child, text);
        const std::wstring className = ClassName(child);
        if (className == L"Button") {
            content.buttons.push_back(WithoutAmpersands(text));
        } else if (className == L"Static" && (Style(child) & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            content.answered &= SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon) != 0;
            content.hasIcon |= icon != 0;
        } else if (className == L"Static" && !text.empty()) {
            content.texts.push_back(text);
        }
    }
    return content;
}

bool MessageBoxContent::Complete() const {
    return answered && !caption.empty() && !texts.empty() && !buttons.empty() &&
           std::none_of(buttons.begin(), buttons.end(), [](const std::wstring& b) { return b.empty(); });
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs, MessageBoxContent* content,
                       const std::function<void(const std::vector<HWND>&)>& look) {
    HWND box = nullptr;
    MessageBoxContent last;
    WaitUntil(
        [&] {
            const std::vector<HWND> windows = TopLevelWindows(processId);
            if (look) look(windows);
            const auto found = std::find_if(windows.begin(), windows.end(), [](HWND w) {
                return IsVisible(w) && ClassName(w) == L"#32770";
            });
            HWND seen = found == windows.end() ? nullptr : *found;
            MessageBoxContent now = seen ? ReadMessageBox(seen) : MessageBoxContent{};
            const bool steady = seen && seen == box && now.Complete() && now == last;
            box = seen;
            last = std::move(now);
            return steady;
        },
        timeoutMs);
    if (content) *content = last;
    return box;
}

bool AnswerMessageBox(HWND box, int commandId) {
    HWND button = GetDlgItem(box, commandId);
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

bool PressButton(HWND dialog, const std::wstring& caption) {
    for (const auto& child : Children(dialog)) {
        if (child.className == L"Button" && WithoutAmpersands(child.text) == WithoutAmpersands(caption)) {
            return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(child.id, BN_CLICKED),
                                reinterpret_cast<LPARAM>(child.handle)) != 0;
        }
    }
    return false;
}

// ---------------------------------------------------------------- input

bool MoveCursor(int x, int y) { return SetCursorPos(x, y) != 0; }
bool LeftButtonUp() { return SendMouseButton(MOUSEEVENTF_LEFTUP); }

bool Click(int x, int y, DWORD holdMs) {
    if (!MoveCursor(x, y) || !SendMouseButton(MOUSEEVENTF_LEFTDOWN)) return false;
    Pause(holdMs);
    return LeftButtonUp();
}

bool PressUntil(POINT at, const std::function<bool()>& done, DWORD timeoutMs) {
    HeldButton button;
    if (!MoveCursor(at.x, at.y) || !button.Press()) return false;
    const bool held = WaitUntil(done, timeoutMs);
    return button.Release() && held;
}

bool HeldButton::Press() {
    pressed_ = SendMouseButton(right_ ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    return pressed_;
}

bool HeldButton::Release() {
    if (!pressed_) return true;
    pressed_ = false;
    return SendMouseButton(right_ ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

bool Activate(HWND window) {
    return SetForegroundWindow(window) != 0 &&
           WaitUntil([&] { return GetForegroundWindow() == window; });
}

bool SendEnter() {
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = VK_RETURN;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInputs(inputs, 2);
}

bool TypeUnicode(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT inputs[2]{};
        inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
        inputs[0].ki.wScan = inputs[1].ki.wScan = c;
        inputs[0].ki.dwFlags = KEYEVENTF_UNICODE;
        inputs[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        if (!SendInputs(inputs, 2)) return false;
    }
    return true;
}

bool PostKey(HWND window, WORD virtualKey) {
    return PostMessageW(window, WM_KEYDOWN, virtualKey, KeyLParam(virtualKey, false)) &&
           PostMessageW(window, WM_KEYUP, virtualKey, KeyLParam(virtualKey, true));
}

// ---------------------------------------------------------------- screen

COLORREF ScreenCapture::At(int x, int y) const {
    std::uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool CaptureScreen(const RECT& rect, ScreenCapture& capture) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            const auto* first = static_cast<const std::uint32_t*>(bits);
            capture.rect = rect;
            capture.width = width;
            capture.height = height;
            capture.pixels.assign(first, first + static_cast<size_t>(width) * static_cast<size_t>(height));
            for (auto& p : capture.pixels) p &= 0x00FFFFFF;
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

int CountColour(const RECT& rect, COLORREF colour) {
    ScreenCapture shot;
    if (!CaptureScreen(rect, shot)) return -1;
    const std::uint32_t want = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    return static_cast<int>(std::count(shot.pixels.begin(), shot.pixels.end(), want));
}

}  // namespace e2e
