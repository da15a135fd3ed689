// End-to-end tests of Vistel, the status display, under Wine: each test runs
// a copy of Vistel.exe in a fresh folder beside its own Sorbel.ini, works it
// from outside as the player and the user would (file rewrites, presses of
// the left button through the system input queue, a picture under the
// window) and ends it, expecting exit code 0.
//
// Texts are written to Sorbel.ini as code page 932 bytes and compared as
// UTF-8, so a failure prints them readably.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver.h"
#include "player_race.h"

namespace {

// Guards against a hang only; a first Wine start can take several seconds.
constexpr DWORD kTimeoutMs = 30000;
// A press the display samples every 50 ms must last across several polls.
constexpr DWORD kHoldMs = 250;
constexpr int kLeft = 757;
constexpr int kTop = 136;
constexpr int kWidth = 198;
constexpr int kHeight = 90;

std::string U8(const std::wstring& text) { return e2e::Utf8(text); }

// ---------------------------------------------------------------- Sorbel.ini

using Keys = std::vector<std::pair<std::wstring, std::wstring>>;

// The bytes of a settings file: a section of the player's own that Vistel
// must leave alone, then the status section.
std::string SettingsFile(const Keys& keys) {
    std::wstring text = L"[Sorbel]\r\nVolume=80\r\nLastDir=C:\\Music\\曲集\r\n[VISTEL]\r\n";
    for (const auto& [key, value] : keys) text += key + L"=" + value + L"\r\n";
    return e2e::ToCp932(text);
}

// The status section of the example used by most tests.
Keys DemoKeys() {
    return {{L"Visible", L"1"},    {L"CasFile", L"C:\\Music\\demo.cas"},
            {L"PlaySong", L"テスト曲 ～ 春"}, {L"Total", L"04:32"},
            {L"Current", L"01:05"}, {L"PlayingIndex", L"3"},
            {L"Count", L"12"},      {L"How", L"0"},
            {L"Play", L"1"},        {L"Stop", L"0"}};
}

Keys With(Keys keys, const std::wstring& key, const std::wstring& value) {
    for (auto& entry : keys) {
        if (entry.first == key) {
            entry.second = value;
            return keys;
        }
    }
    keys.emplace_back(key, value);
    return keys;
}

// How the player's replacements of the file went.
struct Replacements {
    int done = 0;
    // Attempts Vistel refused: the file could not be opened for writing and
    // deletion with every share flag, as a player replacing it or writing
    // it in place must be able to.  Vistel never may block the player.
    int refused = 0;
    DWORD firstRefusal = 0;
    // Renames Wine refused because the file was open at that instant: Wine
    // 8 will not rename over an open file whatever its share flags, so any
    // reader causes these now and then.  Retried, as the player would.
    int busy = 0;
};

// Replaces a file in one step, as a careful player would: a reader sees the
// old or the new content, never a half-written file.  Every attempt is
// counted in `count`; one that Vistel refused ends the replacement.
bool ReplaceAtomically(const std::wstring& path, const std::string& bytes, const std::wstring& tempName,
                       Replacements& count) {
    const std::wstring temp = e2e::FolderOf(path) + L"\\" + tempName;
    if (!e2e::WriteFileBytes(temp, bytes)) return false;
    auto refuse = [&](DWORD error) {
        ++count.refused;
        if (count.firstRefusal == 0) count.firstRefusal = error;
    };
    for (int attempt = 0; attempt < 200; ++attempt) {
        // Also right after a refused rename, while a reader may still hold
        // the file.
        HANDLE access = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (access == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
            refuse(GetLastError());
            break;
        }
        if (access != INVALID_HANDLE_VALUE) CloseHandle(access);
        if (attempt > 0) Sleep(1);
        if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            ++count.done;
            return true;
        }
        if (GetLastError() != ERROR_ACCESS_DENIED) {
            refuse(GetLastError());
            break;
        }
        ++count.busy;
    }
    DeleteFileW(temp.c_str());
    return false;
}

// Section and key names match without regard to ASCII case.
bool EqualNoCase(const std::string& a, const std::string& b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of a key of [VISTEL] in the file's bytes, decoded from code
// page 932 to UTF-8.  Read here rather than with the profile functions,
// which may answer from a cache.
std::optional<std::string> SectionValue(const std::string& bytes, const std::string& key) {
    bool inSection = false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = Trim(bytes.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            inSection = EqualNoCase(Trim(line.substr(1, line.find(']') - 1)), "VISTEL");
        } else if (inSection) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos && EqualNoCase(Trim(line.substr(0, equals)), key))
                return U8(e2e::FromCp932(Trim(line.substr(equals + 1))));
        }
    }
    return std::nullopt;
}

std::optional<std::string> FileValue(const std::wstring& path, const std::string& key) {
    std::string bytes;
    if (!e2e::ReadFileBytes(path, bytes)) return std::nullopt;
    return SectionValue(bytes, key);
}

std::string Show(const std::optional<std::string>& value) { return value ? "\"" + *value + "\"" : "(missing)"; }

// The names in a folder, other than "." and "..".
std::set<std::wstring> FolderContents(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// ---------------------------------------------------------------- labels

// The eight labels, known by their place in the window: auto-size changes
// a label's size, never its top-left corner.
// With each, its designed font (character height, italic) and alignment.
struct LabelPlace {
    const char* name;
    int left;
    int top;
    int fontHeight;
    bool italic;
    bool centred;
};
constexpr LabelPlace kLabelPlaces[] = {
    {"LaPath", 0, 0, 13, false, false},     {"LaStatusBar", 0, 16, 13, false, false},
    {"LaCurrent", 0, 32, 37, false, false}, {"Label3", 88, 32, 37, false, false},
    {"LaTotal", 112, 32, 37, false, false}, {"LaDevice", 0, 72, 15, true, false},
    {"LaColor", 80, 72, 15, true, false},   {"LaHow", 120, 72, 15, true, true},
};

std::map<std::string, e2e::ChildWindow> Labels(HWND window) {
    std::map<std::string, e2e::ChildWindow> labels;
    for (auto child : e2e::Children(window)) {
        for (const auto& place : kLabelPlaces) {
            if (child.rect.left == place.left && child.rect.top == place.top) {
                child.text = e2e::WindowText(child.handle);
                labels.emplace(place.name, child);
            }
        }
    }
    return labels;
}

std::string LabelText(HWND window, const std::string& name) {
    auto labels = Labels(window);
    auto found = labels.find(name);
    return found == labels.end() ? "(no label " + name + ")" : U8(found->second.text);
}

// What the labels show, for failure messages.
std::string AllLabelTexts(HWND window) {
    std::string out;
    for (const auto& [name, child] : Labels(window)) out += "\n  " + name + ": \"" + U8(child.text) + "\"";
    return out;
}

// ---------------------------------------------------------------- mouse

// Lets the left button go if a test ends while holding it.
class ButtonGuard {
public:
    ~ButtonGuard() { Release(); }
    bool Press() {
        pressed_ = e2e::LeftButtonDown();
        return pressed_;
    }
    bool Release() {
        if (!pressed_) return true;
        pressed_ = false;
        return e2e::LeftButtonUp();
    }

private:
    bool pressed_ = false;
};

POINT Centre(HWND window, const e2e::ChildWindow& child) {
    const POINT origin = e2e::ClientOrigin(window);
    return {origin.x + (child.rect.left + child.rect.right) / 2, origin.y + (child.rect.top + child.rect.bottom) / 2};
}

// The client point farthest from every label: a press there is a press on
// the window's background.
POINT BackgroundPoint(HWND window) {
    std::vector<RECT> rects;
    for (const auto& [name, child] : Labels(window)) rects.push_back(child.rect);
    POINT best{0, 0};
    int bestDistance = -1;
    const SIZE client = e2e::ClientSize(window);
    for (int y = 0; y < client.cy; ++y) {
        for (int x = 0; x < client.cx; ++x) {
            int distance = 1 << 20;
            for (const RECT& r : rects) {
                const int dx = std::max({static_cast<int>(r.left) - 1 - x, 0, x - static_cast<int>(r.right)});
                const int dy = std::max({static_cast<int>(r.top) - 1 - y, 0, y - static_cast<int>(r.bottom)});
                distance = std::min(distance, std::max(dx, dy));
            }
            if (distance > bestDistance) {
                bestDistance = distance;
                best = {x, y};
            }
        }
    }
    const POINT origin = e2e::ClientOrigin(window);
    return {origin.x + best.x, origin.y + best.y};
}

// ---------------------------------------------------------------- messages of the test process

// Handles the messages of the test's own windows for a while, so a picture
// put under the display is painted and repainted when uncovered.
void PumpMessages(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                  QS_ALLINPUT);
    }
}

// WaitUntil, handling the test's own window messages meanwhile.
bool WaitPumping(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        PumpMessages(20);
    }
}

// Presses at `from`, moves to `to` in steps with the button held, and holds
// it there until the window's top-left corner has reached `arrival`; then
// lets go.  The display may stall a while when a drag begins (it hides for
// its snapshot), so the release waits for the window rather than for a
// fixed time.
testing::AssertionResult DragWindow(HWND window, POINT from, POINT to, POINT arrival) {
    ButtonGuard button;
    if (!e2e::MoveCursor(from.x, from.y) || !button.Press()) return testing::AssertionFailure() << "no mouse input";
    PumpMessages(kHoldMs);
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        e2e::MoveCursor(from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps);
        PumpMessages(kHoldMs);
    }
    const bool arrived = WaitPumping(
        [&] {
            const RECT r = e2e::WindowRect(window);
            return r.left == arrival.x && r.top == arrival.y;
        },
        kTimeoutMs);
    // Held still for a few polls before the release, as a user ends a drag.
    PumpMessages(kHoldMs);
    if (!button.Release()) return testing::AssertionFailure() << "no mouse input";
    if (arrived) return testing::AssertionSuccess();
    const RECT r = e2e::WindowRect(window);
    return testing::AssertionFailure() << "dragged from " << from.x << "," << from.y << " to " << to.x << ","
                                       << to.y << ", the window stands at " << r.left << "," << r.top
                                       << " instead of " << arrival.x << "," << arrival.y;
}

// ---------------------------------------------------------------- a picture under the display

// Four colours far from the display's red text and from each other.
constexpr COLORREF kPalette[] = {RGB(0, 0, 255), RGB(0, 190, 0), RGB(255, 255, 255), RGB(255, 255, 0)};

// The picture's colour at a screen pixel: 4 by 4 cells in a pattern without
// a period, so a picture shifted by any amount does not match itself.
COLORREF PatternAt(unsigned seed, int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x / 4) * 73856093u ^ static_cast<std::uint32_t>(y / 4) * 19349663u ^
                      (seed + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return kPalette[h % 4];
}

// A plain window of the test process that shows the pattern in screen
// coordinates; not topmost, so the display stays above it.
class PatternWindow {
public:
    PatternWindow(const RECT& screen, unsigned seed) : screen_(screen), seed_(seed) {
        static const wchar_t* const kClass = L"VistelTestPattern";
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.lpszClassName = kClass;
            registered = RegisterClassExW(&wc) != 0;
        }
        Fill();
        // Disabled, so that it is never activated when the display hides
        // for a snapshot: under Wine without a window manager an activated
        // window is raised above the display on the X server, whatever the
        // Win32 stacking says.
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"pattern", WS_POPUP | WS_DISABLED,
                                screen.left,
                                screen.top, screen.right - screen.left, screen.bottom - screen.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), this);
        if (hwnd_) {
            ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
            UpdateWindow(hwnd_);
        }
    }
    ~PatternWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
        if (bitmap_) DeleteObject(bitmap_);
        PumpMessages(50);
    }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    unsigned Seed() const { return seed_; }

    void ChangeSeed(unsigned seed) {
        seed_ = seed;
        Fill();
        InvalidateRect(hwnd_, nullptr, FALSE);
        UpdateWindow(hwnd_);
    }

private:
    void Fill() {
        const int width = screen_.right - screen_.left;
        const int height = screen_.bottom - screen_.top;
        if (!bitmap_) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        }
        if (!bitmap_) return;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const COLORREF c = PatternAt(seed_, screen_.left + x, screen_.top + y);
                bits_[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        }
        GdiFlush();
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<PatternWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            if (self && self->bitmap_) {
                HDC memory = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(memory, self->bitmap_);
                BitBlt(dc, 0, 0, self->screen_.right - self->screen_.left, self->screen_.bottom - self->screen_.top,
                       memory, 0, 0, SRCCOPY);
                SelectObject(memory, old);
                DeleteDC(memory);
            }
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
    }

    RECT screen_;
    unsigned seed_;
    HWND hwnd_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// A colour as #RRGGBB.
std::string Hex(COLORREF c) {
    char text[8];
    snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// How far a screen rectangle shows the pattern.
struct PatternCount {
    int pixels = 0;
    int exact = 0;
    std::string firstMiss;
};

PatternCount CountPattern(const RECT& rect, unsigned seed) {
    PatternCount count;
    e2e::ScreenCapture shot;
    if (!e2e::CaptureScreen(rect, shot)) {
        count.firstMiss = "screen capture failed";
        return count;
    }
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            ++count.pixels;
            const COLORREF want = PatternAt(seed, rect.left + x, rect.top + y);
            if (shot.At(x, y) == want) {
                ++count.exact;
            } else if (count.firstMiss.empty()) {
                char text[80];
                snprintf(text, sizeof text, "(%ld,%ld) is %s, the pattern %s", rect.left + x, rect.top + y,
                         Hex(shot.At(x, y)).c_str(), Hex(want).c_str());
                count.firstMiss = text;
            }
        }
    }
    return count;
}

// A pixel drawn from the text colour over the background: each channel lies
// between the two (anti-aliased edges mix them).
bool Between(COLORREF pixel, COLORREF background, COLORREF text) {
    auto inRange = [](int p, int a, int b) { return p >= std::min(a, b) - 8 && p <= std::max(a, b) + 8; };
    return inRange(GetRValue(pixel), GetRValue(background), GetRValue(text)) &&
           inRange(GetGValue(pixel), GetGValue(background), GetGValue(text)) &&
           inRange(GetBValue(pixel), GetBValue(background), GetBValue(text));
}

bool NearColour(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Where the labels' texts may put ink in the client area: each text drawn
// here as the display draws it (same font, alignment and label rectangle,
// clipped to the label), then widened by two pixels to allow for a
// different rendering.  Everywhere else the display must show exactly the
// picture under it, so old glyphs left behind by a change are found.
std::vector<bool> InkMask(const std::map<std::string, e2e::ChildWindow>& labels, SIZE size) {
    std::vector<bool> ink(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy), false);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    if (!dc || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        std::fill(ink.begin(), ink.end(), true);  // nothing can be told
        return ink;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    std::fill(bits, bits + ink.size(), 0x00FFFFFFu);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    for (const auto& place : kLabelPlaces) {
        auto found = labels.find(place.name);
        if (found == labels.end()) continue;
        HFONT font = CreateFontW(-place.fontHeight, 0, 0, 0, FW_NORMAL, place.italic, FALSE, FALSE, SHIFTJIS_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 L"ＭＳ Ｐゴシック");
        HGDIOBJ oldFont = SelectObject(dc, font);
        RECT area = found->second.rect;
        std::wstring text = found->second.text;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  DT_NOPREFIX | DT_SINGLELINE | DT_TOP | (place.centred ? DT_CENTER : 0));
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    GdiFlush();
    constexpr int kMargin = 2;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            if ((bits[y * size.cx + x] & 0x00FFFFFFu) == 0x00FFFFFFu) continue;
            for (int dy = -kMargin; dy <= kMargin; ++dy)
                for (int dx = -kMargin; dx <= kMargin; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < size.cx && ny < size.cy) ink[ny * size.cx + nx] = true;
                }
        }
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

// What the display's client area shows compared with the pattern under it.
struct PictureReport {
    bool captured = false;
    int pixels = 0;
    int exact = 0;             // the pattern's colour at that spot
    int text = 0;              // a mix of the pattern and the text colour, not the pattern
    int foreign = 0;           // neither
    int solidText = 0;         // close to the text colour itself
    int outside = 0;           // pixels outside every label window
    int outsideExact = 0;
    int inkless = 0;           // pixels away from every glyph of the labels' texts
    int inklessExact = 0;
    std::map<std::string, std::pair<int, int>> perLabel;  // exact, pixels
    std::string firstForeign;
    std::string firstOutsideMiss;
    std::string firstInklessMiss;

    // Every pixel is the pattern or text over it; no text outside the
    // labels; and each label window shows the pattern around its glyphs.
    bool ShowsPattern() const {
        if (!captured || foreign != 0 || outside == 0 || outsideExact != outside || solidText < 10) return false;
        if (inklessExact != inkless) return false;
        if (perLabel.size() != std::size(kLabelPlaces)) return false;
        for (const auto& [name, counts] : perLabel) {
            if (counts.first * 5 < counts.second) return false;  // at least a fifth
        }
        return exact * 2 > pixels;
    }

    std::string Describe() const {
        std::string out = "captured " + std::to_string(captured) + ", pixels " + std::to_string(pixels) +
                          ", pattern " + std::to_string(exact) + ", text " + std::to_string(text) + " (solid " +
                          std::to_string(solidText) + "), foreign " + std::to_string(foreign) +
                          ", outside the labels " + std::to_string(outsideExact) + "/" + std::to_string(outside) +
                          " pattern, away from the glyphs " + std::to_string(inklessExact) + "/" +
                          std::to_string(inkless) + " pattern";
        for (const auto& [name, counts] : perLabel)
            out += "\n  " + name + ": " + std::to_string(counts.first) + "/" + std::to_string(counts.second) +
                   " pattern";
        if (!firstForeign.empty()) out += "\n  first foreign pixel: " + firstForeign;
        if (!firstOutsideMiss.empty()) out += "\n  first miss outside the labels: " + firstOutsideMiss;
        if (!firstInklessMiss.empty()) out += "\n  first miss away from the glyphs: " + firstInklessMiss;
        return out;
    }
};

PictureReport ComparePicture(HWND window, unsigned seed, COLORREF textColour) {
    PictureReport report;
    const POINT origin = e2e::ClientOrigin(window);
    const SIZE size = e2e::ClientSize(window);
    const RECT rect{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
    const auto labels = Labels(window);
    e2e::ScreenCapture shot;
    if (!e2e::CaptureScreen(rect, shot)) return report;
    report.captured = true;
    const std::vector<bool> ink = InkMask(labels, size);
    for (const auto& [name, child] : labels) report.perLabel[name] = {0, 0};
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF pixel = shot.At(x, y);
            const COLORREF want = PatternAt(seed, origin.x + x, origin.y + y);
            const bool exact = pixel == want;
            auto where = [&] {
                char text[80];
                snprintf(text, sizeof text, "client (%d,%d) is %s, the pattern %s", x, y, Hex(pixel).c_str(),
                         Hex(want).c_str());
                return std::string(text);
            };
            ++report.pixels;
            if (exact) {
                ++report.exact;
            } else if (Between(pixel, want, textColour)) {
                ++report.text;
            } else {
                ++report.foreign;
                if (report.firstForeign.empty()) report.firstForeign = where();
            }
            if (NearColour(pixel, textColour, 40)) ++report.solidText;
            bool inLabel = false;
            for (const auto& [name, child] : labels) {
                const RECT& r = child.rect;
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                    inLabel = true;
                    auto& counts = report.perLabel[name];
                    ++counts.second;
                    if (exact) ++counts.first;
                }
            }
            if (!ink[static_cast<size_t>(y) * static_cast<size_t>(size.cx) + static_cast<size_t>(x)]) {
                ++report.inkless;
                if (exact) ++report.inklessExact;
                else if (report.firstInklessMiss.empty()) report.firstInklessMiss = where();
            }
            if (!inLabel) {
                ++report.outside;
                if (exact) ++report.outsideExact;
                else if (report.firstOutsideMiss.empty()) report.firstOutsideMiss = where();
            }
        }
    }
    return report;
}

// Pixels of a screen rectangle with exactly this colour.
int CountColour(const RECT& rect, COLORREF colour) {
    e2e::ScreenCapture shot;
    if (!e2e::CaptureScreen(rect, shot)) return -1;
    int n = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.At(x, y) == colour) ++n;
    return n;
}

RECT ClientScreenRect(HWND window) {
    const POINT origin = e2e::ClientOrigin(window);
    const SIZE size = e2e::ClientSize(window);
    return {origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
}

// ---------------------------------------------------------------- the fixture

// A copy of Vistel in a fresh folder with its own Sorbel.ini.
class VistelTest : public testing::Test {
protected:
    void SetUp() override {
        exe_ = e2e::ProgramPath(L"Vistel");
        ASSERT_FALSE(exe_.empty()) << "no --program=Vistel=<path> argument";
        ASSERT_TRUE(e2e::FileExists(exe_)) << U8(exe_) << " does not exist";
        ASSERT_FALSE(dir_.Path().empty());
        copy_ = e2e::CopyInto(exe_, dir_.Path());
        ASSERT_FALSE(copy_.empty());
        ini_ = dir_.File(L"Sorbel.ini");
        // No press left over from another test, and the cursor away from
        // the display.
        e2e::LeftButtonUp();
        e2e::MoveCursor(5, 5);
    }

    void TearDown() override {
        if (process_.Running()) process_.Terminate();
    }

    // Writes the settings file, starts Vistel and finds its window once it
    // is shown and its first poll has filled in the cassette line.
    void Start(const std::string& settings) {
        ASSERT_TRUE(e2e::WriteFileBytes(ini_, settings));
        StartOnly();
    }

    void StartOnly() {
        process_ = e2e::Process::Start(copy_, {}, dir_.Path());
        ASSERT_TRUE(process_.Started()) << U8(process_.Error());
        window_ = e2e::WaitForWindow(process_.Id(), kTimeoutMs, [](HWND w) {
            return e2e::WindowText(w) == L"Vistel" && e2e::ClientSize(w).cx > 0;
        });
        ASSERT_NE(window_, nullptr) << "no window with the text \"Vistel\"";
        ASSERT_TRUE(WaitPumping([&] { return e2e::IsVisible(window_); }, kTimeoutMs)) << "the display never showed";
        ASSERT_TRUE(WaitPumping([&] { return !LabelText(window_, "LaPath").empty(); }, kTimeoutMs))
            << "no poll filled in the cassette line" << AllLabelTexts(window_);
    }

    // Waits until a label shows `expected`; false (with the labels in the
    // failure message) if it never does.
    testing::AssertionResult LabelBecomes(const std::string& name, const std::wstring& expected) {
        const std::string want = U8(expected);
        if (WaitPumping([&] { return LabelText(window_, name) == want; }, kTimeoutMs))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << name << " never showed \"" << want << "\"; the labels show"
                                           << AllLabelTexts(window_);
    }

    testing::AssertionResult FileValueBecomes(const std::string& key, const std::string& expected) {
        if (WaitPumping([&] { return FileValue(ini_, key) == expected; }, kTimeoutMs))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << key << " in Sorbel.ini never became \"" << expected << "\"; it is "
                                           << Show(FileValue(ini_, key));
    }

    // The player writes the file; Vistel must not refuse it once.
    testing::AssertionResult Rewrite(const Keys& keys) {
        Replacements count;
        if (ReplaceAtomically(ini_, SettingsFile(keys), L"Sorbel.ini.writing", count) && count.refused == 0)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the player's replacement of Sorbel.ini failed: " << count.refused
                                           << " refused (first with error " << count.firstRefusal << "), "
                                           << count.busy << " renames refused while the file was open";
    }

    // Waits for the end of the program and checks its exit code.
    void ExpectExitCodeZero(const char* after) {
        DWORD exitCode = 0xFFFFFFFF;
        if (!process_.WaitForExit(kTimeoutMs, exitCode)) {
            // An exception box, for one, keeps the program from ending.
            std::string boxes;
            for (HWND box : e2e::MessageBoxes(process_.Id())) {
                const e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
                boxes += "\n  message box \"" + U8(content.caption) + "\":";
                for (const auto& text : content.texts) boxes += " \"" + U8(text) + "\"";
            }
            FAIL() << "Vistel did not end after " << after << boxes;
        }
        EXPECT_EQ(exitCode, 0u) << "exit code after " << after;
    }

    // Nothing but the program and its settings file: no temporary file of
    // a write is left behind.
    void ExpectOnlyProgramAndSettings() {
        EXPECT_EQ(FolderContents(dir_.Path()), (std::set<std::wstring>{L"Vistel.exe", L"Sorbel.ini"}));
    }

    std::wstring exe_;
    e2e::TempDir dir_;
    std::wstring copy_;
    std::wstring ini_;
    e2e::Process process_;
    HWND window_ = nullptr;
};

// ---------------------------------------------------------------- labels mirror the file

TEST_F(VistelTest, LabelsMirrorTheStatusSectionAndFollowItsChanges) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));

    const auto labels = Labels(window_);
    EXPECT_EQ(labels.size(), std::size(kLabelPlaces)) << AllLabelTexts(window_);
    EXPECT_EQ(e2e::Children(window_).size(), std::size(kLabelPlaces)) << "a child window other than the labels";
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop);

    EXPECT_TRUE(LabelBecomes("LaPath", L"demo.cas 再生3/12全"));
    EXPECT_EQ(LabelText(window_, "LaStatusBar"), U8(L"テスト曲 ～ 春"));
    EXPECT_EQ(LabelText(window_, "LaCurrent"), "01:05");
    EXPECT_EQ(LabelText(window_, "Label3"), "/");
    EXPECT_EQ(LabelText(window_, "LaTotal"), "04:32");
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"連続再生"));
    EXPECT_EQ(LabelText(window_, "LaDevice"), U8(L"再生"));
    EXPECT_EQ(LabelText(window_, "LaColor"), "Color");

    // The player moves on: another cassette (its folder and its name hold
    // characters whose second byte is a backslash: ソ and 表), the next song,
    // another mode, paused.
    Keys next = DemoKeys();
    next = With(next, L"CasFile", L"D:\\ソフト\\表計算.cas");
    next = With(next, L"PlaySong", L"次の曲");
    next = With(next, L"Current", L"00:07");
    next = With(next, L"Total", L"03:10");
    next = With(next, L"PlayingIndex", L"4");
    next = With(next, L"How", L"2");
    next = With(next, L"Stop", L"1");
    ASSERT_TRUE(Rewrite(next));
    EXPECT_TRUE(LabelBecomes("LaPath", L"表計算.cas 再生4/12全"));
    EXPECT_TRUE(LabelBecomes("LaStatusBar", L"次の曲"));
    EXPECT_TRUE(LabelBecomes("LaCurrent", L"00:07"));
    EXPECT_TRUE(LabelBecomes("LaTotal", L"03:10"));
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲停止"));
    EXPECT_TRUE(LabelBecomes("LaDevice", L"一時停止"));

    // Stopped, repeat one song, a negative index; keys spelt in other cases.
    ASSERT_TRUE(Rewrite({{L"VISIBLE", L"1"}, {L"casfile", L"solo.cas"}, {L"playsong", L"停止中"},
                         {L"PlayingIndex", L"-1"}, {L"COUNT", L"0"}, {L"how", L"1"}, {L"PLAY", L"0"}}));
    EXPECT_TRUE(LabelBecomes("LaPath", L"solo.cas 再生-1/0全"));
    EXPECT_TRUE(LabelBecomes("LaStatusBar", L"停止中"));
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    EXPECT_TRUE(LabelBecomes("LaDevice", L"停止"));
    // Absent times read as their default.
    EXPECT_TRUE(LabelBecomes("LaCurrent", L"00:00"));
    EXPECT_TRUE(LabelBecomes("LaTotal", L"00:00"));
    EXPECT_TRUE(process_.Running());

    // The player no longer wants the display: it closes and saves the
    // colour scheme, the default 13 since the file held none, beside the
    // player's keys, which stay as they were.
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
    std::string bytes;
    ASSERT_TRUE(e2e::ReadFileBytes(ini_, bytes));
    EXPECT_EQ(Show(SectionValue(bytes, "ColorNum")), Show(std::string("13")));
    for (const auto& [key, value] : With(DemoKeys(), L"Visible", L"0"))
        EXPECT_EQ(Show(SectionValue(bytes, U8(key))), Show(U8(value))) << U8(key);
    EXPECT_NE(bytes.find(e2e::ToCp932(L"[Sorbel]\r\nVolume=80\r\nLastDir=C:\\Music\\曲集\r\n")), std::string::npos)
        << "the player's own section changed";
    ExpectOnlyProgramAndSettings();
}

// ---------------------------------------------------------------- appearing

// Looks at the process's top-level windows again and again, as fast as the
// calls allow, until `stop` says so, the program ends or the guard time
// passes; true if it stopped for one of the first two.
bool WatchWindows(const e2e::Process& process, const std::function<bool(const std::vector<HWND>&)>& stop) {
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while (GetTickCount64() < deadline) {
        if (!process.Running()) return true;
        if (stop(e2e::TopLevelWindows(process.Id()))) return true;
    }
    return false;
}

TEST_F(VistelTest, NoWindowEverAppearsWhenTheDisplayIsNotWanted) {
    struct Case {
        const char* name;
        std::optional<std::string> settings;
    };
    for (const Case& c : {Case{"no Sorbel.ini", std::nullopt},
                          Case{"Visible=0", SettingsFile(With(DemoKeys(), L"Visible", L"0"))}}) {
        SCOPED_TRACE(c.name);
        DeleteFileW(ini_.c_str());
        if (c.settings) {
            ASSERT_TRUE(e2e::WriteFileBytes(ini_, *c.settings));
        }
        process_ = e2e::Process::Start(copy_, {}, dir_.Path());
        ASSERT_TRUE(process_.Started()) << U8(process_.Error());
        std::set<std::string> seen;
        int looks = 0;
        EXPECT_TRUE(WatchWindows(process_, [&](const std::vector<HWND>& windows) {
            ++looks;
            for (HWND window : windows)
                if (e2e::IsVisible(window)) seen.insert(U8(e2e::WindowText(window)));
            return false;
        }));
        ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero(c.name));
        EXPECT_TRUE(seen.empty()) << seen.size() << " windows appeared, one with the text \"" << *seen.begin()
                                  << "\"";
        EXPECT_GT(looks, 10) << "the windows were hardly looked at";
        EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("13")));
    }
    ExpectOnlyProgramAndSettings();
}

TEST_F(VistelTest, TheDisplayAppearsWithThePlayersStateAlreadyShown) {
    ASSERT_TRUE(e2e::WriteFileBytes(ini_, SettingsFile(DemoKeys())));
    process_ = e2e::Process::Start(copy_, {}, dir_.Path());
    ASSERT_TRUE(process_.Started()) << U8(process_.Error());
    // The first moment the display is seen, it shows the cassette line.
    // The label's text is read as the window system keeps it, without a
    // message that would wait for the display's own thread.
    std::string firstSeen = "(never seen)";
    ASSERT_TRUE(WatchWindows(process_, [&](const std::vector<HWND>& windows) {
        for (HWND window : windows) {
            if (!e2e::IsVisible(window) || e2e::ClientSize(window).cx == 0) continue;
            window_ = window;
            firstSeen = "(no label at LaPath's place)";
            const POINT origin = e2e::ClientOrigin(window);
            for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                const RECT r = e2e::WindowRect(child);
                if (r.left != origin.x || r.top != origin.y) continue;
                wchar_t text[256] = {};
                GetWindowTextW(child, text, 256);
                firstSeen = U8(text);
            }
            return true;
        }
        return false;
    }));
    ASSERT_TRUE(process_.Running());
    EXPECT_EQ(firstSeen, U8(L"demo.cas 再生3/12全"));
    // Shown without taking the focus from the program the user works in.
    EXPECT_NE(GetForegroundWindow(), window_);
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
}

TEST_F(VistelTest, SavedColourSchemeOutsideTheCycleIsSavedAsSchemeZero) {
    // 18 lies outside 0 to 17: the display starts with scheme 0 (aqua) and
    // saves 0 at its close.
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(With(DemoKeys(), L"ColorNum", L"18"))));
    EXPECT_TRUE(WaitPumping([&] { return CountColour(ClientScreenRect(window_), RGB(0, 255, 255)) > 20; },
                            kTimeoutMs))
        << "no aqua text on the display";
    EXPECT_EQ(CountColour(ClientScreenRect(window_), RGB(255, 0, 0)), 0) << "red text on the display";
    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("WM_CLOSE"));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("0")));
}

// ---------------------------------------------------------------- the mouse

TEST_F(VistelTest, PressesOnTheModeLabelStepTheModeAndWriteHow) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));
    ASSERT_TRUE(LabelBecomes("LaHow", L"連続再生"));

    // Press and hold on the mode label: it steps once and writes How=1.
    auto labels = Labels(window_);
    ASSERT_EQ(labels.count("LaHow"), 1u);
    HWND found = e2e::FindChild(window_, L"連続再生");
    ASSERT_EQ(found, labels.at("LaHow").handle) << "the mode text is not on the mode label";
    const POINT how = Centre(window_, labels.at("LaHow"));
    ButtonGuard button;
    ASSERT_TRUE(e2e::MoveCursor(how.x, how.y));
    ASSERT_TRUE(button.Press());
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    EXPECT_TRUE(FileValueBecomes("How", "1"));

    // While the press lasts, the label keeps the stepped text whatever How
    // the file holds: the player writes How=2 together with a new time, and
    // once the time is up the mode text has not followed.
    ASSERT_TRUE(Rewrite(With(With(DemoKeys(), L"How", L"2"), L"Current", L"01:06")));
    EXPECT_TRUE(LabelBecomes("LaCurrent", L"01:06"));
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"１曲リピート"));
    // The press steps only once, however long it is held.
    EXPECT_EQ(Show(FileValue(ini_, "How")), Show(std::string("2")));

    // Released, the label follows the file again.
    ASSERT_TRUE(button.Release());
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲停止"));

    // Short presses at the centre of whatever label shows the mode text:
    // "１曲停止" steps to "連続再生" (0).
    found = e2e::FindChild(window_, L"１曲停止");
    ASSERT_NE(found, nullptr) << AllLabelTexts(window_);
    labels = Labels(window_);
    ASSERT_EQ(found, labels.at("LaHow").handle);
    EXPECT_TRUE(e2e::PressUntil(how, [&] { return LabelText(window_, "LaHow") == U8(L"連続再生"); }, kTimeoutMs))
        << AllLabelTexts(window_);
    EXPECT_TRUE(FileValueBecomes("How", "0"));

    // The file says 1 again; once the label shows it, the press is over
    // for the display, and the next one steps "１曲リピート" to "１曲停止" (2).
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"How", L"1")));
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    EXPECT_TRUE(e2e::PressUntil(how, [&] { return LabelText(window_, "LaHow") == U8(L"１曲停止"); }, kTimeoutMs))
        << AllLabelTexts(window_);
    EXPECT_TRUE(FileValueBecomes("How", "2"));

    // A press on the mode label changes nothing but How: the player's keys
    // and section stay, and the window has not moved.
    std::string bytes;
    ASSERT_TRUE(e2e::ReadFileBytes(ini_, bytes));
    EXPECT_EQ(Show(SectionValue(bytes, "CasFile")), Show(std::string("C:\\Music\\demo.cas")));
    EXPECT_EQ(Show(SectionValue(bytes, "PlaySong")), Show(U8(L"テスト曲 ～ 春")));
    EXPECT_NE(bytes.find(e2e::ToCp932(L"[Sorbel]\r\nVolume=80\r\n")), std::string::npos);
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop);

    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("WM_CLOSE"));
    EXPECT_EQ(Show(FileValue(ini_, "How")), Show(std::string("2")));
    ExpectOnlyProgramAndSettings();
}

TEST_F(VistelTest, ALeftHandedUsersPrimaryButtonIsThePhysicalRightOne) {
    // The user has swapped the buttons.  The setting is the whole
    // session's, so it is restored however the test ends.  (Wine keeps a
    // process's copy of it from that process's first look: it is set, kept
    // in the user's settings, before the display starts.)
    struct SwapGuard {
        static void Swap(BOOL swap) {
            SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, swap, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
        }
        SwapGuard() { Swap(TRUE); }
        ~SwapGuard() { Swap(FALSE); }
    } swapped;
    ASSERT_NE(GetSystemMetrics(SM_SWAPBUTTON), 0);
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));
    ASSERT_TRUE(LabelBecomes("LaHow", L"連続再生"));
    const POINT how = Centre(window_, Labels(window_).at("LaHow"));
    ASSERT_TRUE(e2e::MoveCursor(how.x, how.y));

    // The physical left button is this user's secondary one: held across a
    // poll (the one that shows the player's new time), it steps nothing.
    {
        ButtonGuard button;
        ASSERT_TRUE(button.Press());
        ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Current", L"01:06")));
        EXPECT_TRUE(LabelBecomes("LaCurrent", L"01:06"));
    }
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"連続再生"));
    EXPECT_EQ(Show(FileValue(ini_, "How")), Show(std::string("0")));

    // The physical right one steps the mode.
    ASSERT_TRUE(e2e::RightButtonDown());
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    ASSERT_TRUE(e2e::RightButtonUp());
    EXPECT_TRUE(FileValueBecomes("How", "1"));

    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("WM_CLOSE"));
}

TEST_F(VistelTest, PressOnColourStepsTheSchemeSavedAtClose) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(With(DemoKeys(), L"ColorNum", L"13"))));
    const RECT client = ClientScreenRect(window_);
    // Scheme 13 is red: red text, nothing in scheme 14's silver yet.
    ASSERT_TRUE(WaitPumping([&] { return CountColour(client, RGB(255, 0, 0)) > 20; }, kTimeoutMs))
        << "no red text on the display";
    ASSERT_EQ(CountColour(client, RGB(0xC0, 0xC0, 0xC0)), 0);

    HWND colour = e2e::FindChild(window_, L"Color");
    ASSERT_NE(colour, nullptr) << AllLabelTexts(window_);
    const auto labels = Labels(window_);
    ASSERT_EQ(colour, labels.at("LaColor").handle);
    const POINT centre = Centre(window_, labels.at("LaColor"));
    // The text turns silver; the file learns nothing until the close.
    EXPECT_TRUE(e2e::PressUntil(centre, [&] { return CountColour(client, RGB(0xC0, 0xC0, 0xC0)) > 20; }, kTimeoutMs))
        << "no silver text after a press on Color";
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("13")));
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop);

    ASSERT_TRUE(Rewrite(With(With(DemoKeys(), L"ColorNum", L"13"), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("14")));
    ExpectOnlyProgramAndSettings();
}

TEST_F(VistelTest, TheEndOfTheSessionSavesTheSchemeAndEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(With(DemoKeys(), L"ColorNum", L"17"))));
    // The user changes the scheme (17, yellow, to 0, aqua) and then logs off.
    const auto labels = Labels(window_);
    const POINT colour = Centre(window_, labels.at("LaColor"));
    ASSERT_TRUE(e2e::PressUntil(colour, [&] { return CountColour(ClientScreenRect(window_), RGB(0, 255, 255)) > 20; },
                                kTimeoutMs))
        << "no aqua text after a press on Color";
    ASSERT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("17")));

    // Asked whether the session may end, the display saves its scheme,
    // agrees and goes on until the session does end.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("0")));
    EXPECT_TRUE(process_.Running());
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &answer));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("WM_ENDSESSION"));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("0")));
    ExpectOnlyProgramAndSettings();
}

TEST_F(VistelTest, PressOnTheBackgroundDragsTheWindow) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));
    RECT before = e2e::WindowRect(window_);
    ASSERT_EQ(before.left, kLeft);
    ASSERT_EQ(before.top, kTop);

    const POINT from = BackgroundPoint(window_);
    const POINT to{from.x + 40, from.y + 25};
    EXPECT_TRUE(DragWindow(window_, from, to, {kLeft + 40, kTop + 25}));
    const RECT after = e2e::WindowRect(window_);
    EXPECT_EQ(after.left, kLeft + 40);
    EXPECT_EQ(after.top, kTop + 25);
    EXPECT_EQ(after.right - after.left, kWidth);
    EXPECT_EQ(after.bottom - after.top, kHeight);
    EXPECT_TRUE(e2e::IsVisible(window_));

    // A press on the background is no press on a label: no mode step, no
    // colour step.
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"連続再生"));
    EXPECT_EQ(Show(FileValue(ini_, "How")), Show(std::string("0")));

    // Moved by a drag, the display still follows the file.
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Current", L"02:00")));
    EXPECT_TRUE(LabelBecomes("LaCurrent", L"02:00"));
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft + 40) << "the window moved after the release";
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop + 25) << "the window moved after the release";

    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("13")));
}

// The system's move loop, as the window menu's "Move" enters it, runs on the
// display's thread: the poll goes on inside it.  The display is not closed
// inside the loop, which under Wine swallows a quit posted meanwhile.
TEST_F(VistelTest, ThePollGoesOnInsideTheSystemsMoveLoop) {
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));
    const DWORD thread = GetWindowThreadProcessId(window_, nullptr);
    auto inMoveLoop = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
    };
    ASSERT_TRUE(PostMessageW(window_, WM_SYSCOMMAND, SC_MOVE, 0));
    ASSERT_TRUE(WaitPumping(inMoveLoop, kTimeoutMs)) << "no move loop began";
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"PlaySong", L"次の曲")));
    EXPECT_TRUE(LabelBecomes("LaStatusBar", L"次の曲"));
    EXPECT_TRUE(inMoveLoop()) << "the move loop ended by itself";

    // Return ends the loop, as it ends a move made from the keyboard.  Posted
    // to the window, it reaches the loop whatever the mouse does; a press
    // would not: the loop puts the cursor on the display, whose own poll
    // takes a press there for a drag and hides the window for its snapshot,
    // and Wine sends the release to the window under the cursor (the
    // capture counts only for the foreground thread, and the display never
    // takes the foreground), so a release that comes while it is hidden
    // never reaches the loop.
    ASSERT_TRUE(e2e::PostKey(window_, VK_RETURN));
    ASSERT_TRUE(WaitPumping([&] { return !inMoveLoop(); }, kTimeoutMs)) << "the move loop never ended";
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
}

// ---------------------------------------------------------------- transparency

TEST_F(VistelTest, ShowsThePictureUnderItBehindItsTextAndAfterADrag) {
    // A picture around the display's place and where it will be dragged to,
    // on screen before the display starts.
    const RECT area{kLeft - 60, kTop - 40, kLeft + kWidth + 100, kTop + kHeight + 200};
    PatternWindow picture(area, 1);
    ASSERT_NE(picture.Handle(), nullptr);
    PatternCount shown;
    ASSERT_TRUE(WaitPumping(
        [&] {
            shown = CountPattern(area, 1);
            return shown.exact == shown.pixels;
        },
        kTimeoutMs))
        << "the picture is not on the screen: " << shown.exact << "/" << shown.pixels << "; " << shown.firstMiss;

    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(DemoKeys())));
    ASSERT_TRUE(LabelBecomes("LaPath", L"demo.cas 再生3/12全"));
    ASSERT_EQ(e2e::WindowRect(window_).left, kLeft);
    ASSERT_EQ(e2e::WindowRect(window_).top, kTop);

    const COLORREF red = RGB(255, 0, 0);
    PictureReport report;
    WaitPumping(
        [&] {
            report = ComparePicture(window_, 1, red);
            return report.ShowsPattern();
        },
        kTimeoutMs);
    EXPECT_TRUE(report.ShowsPattern()) << report.Describe();

    // A label whose text changes is painted again from the picture: no
    // pixel of the old text stays.
    ASSERT_TRUE(Rewrite(With(With(DemoKeys(), L"Current", L"1"), L"PlaySong", L"短")));
    ASSERT_TRUE(LabelBecomes("LaCurrent", L"1"));
    ASSERT_TRUE(LabelBecomes("LaStatusBar", L"短"));
    WaitPumping(
        [&] {
            report = ComparePicture(window_, 1, red);
            return report.ShowsPattern();
        },
        kTimeoutMs);
    EXPECT_TRUE(report.ShowsPattern()) << "after new texts:\n" << report.Describe();

    // The picture changes while the display stands over it; a drag takes a
    // new snapshot when it begins, so at its new place the display shows
    // the new picture there.  The new place does not overlap the old one.
    picture.ChangeSeed(2);
    const RECT left{area.left, area.top, kLeft, area.bottom};
    ASSERT_TRUE(WaitPumping([&] { shown = CountPattern(left, 2); return shown.exact == shown.pixels; },
                            kTimeoutMs))
        << "the new picture is not on the screen: " << shown.firstMiss;

    const POINT from = BackgroundPoint(window_);
    const POINT to{from.x + 30, from.y + 110};
    ASSERT_TRUE(DragWindow(window_, from, to, {kLeft + 30, kTop + 110}));
    WaitPumping(
        [&] {
            report = ComparePicture(window_, 2, red);
            return report.ShowsPattern();
        },
        kTimeoutMs);
    EXPECT_TRUE(report.ShowsPattern()) << "after the drag:\n" << report.Describe();

    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
}

// ---------------------------------------------------------------- reliability

// One state of the player, as it writes it in one piece.
struct PlayerState {
    Keys keys;
    std::wstring path, song, total, current, how, device;
};

std::vector<PlayerState> PlayerStates() {
    const std::wstring songs[] = {L"春の歌", L"夏の歌", L"秋の歌", L"冬の歌", L"表の歌"};
    const std::wstring modes[] = {L"連続再生", L"１曲リピート", L"１曲停止"};
    std::vector<PlayerState> states;
    for (int k = 0; k < 5; ++k) {
        PlayerState s;
        const std::wstring n = std::to_wstring(k);
        const bool play = k % 2 == 1;
        const bool stop = k == 3;
        s.keys = {{L"Visible", L"1"},
                  {L"CasFile", L"C:\\Music\\set" + n + L".cas"},
                  {L"PlaySong", songs[k]},
                  {L"Total", L"0" + n + L":30"},
                  {L"Current", L"00:1" + n},
                  {L"PlayingIndex", std::to_wstring(k + 1)},
                  {L"Count", std::to_wstring(10 + k)},
                  {L"How", std::to_wstring(k % 3)},
                  {L"Play", play ? L"1" : L"0"},
                  {L"Stop", stop ? L"1" : L"0"}};
        s.path = L"set" + n + L".cas 再生" + std::to_wstring(k + 1) + L"/" + std::to_wstring(10 + k) + L"全";
        s.song = songs[k];
        s.total = L"0" + n + L":30";
        s.current = L"00:1" + n;
        s.how = modes[k % 3];
        s.device = stop ? L"一時停止" : play ? L"再生" : L"停止";
        states.push_back(std::move(s));
    }
    return states;
}

TEST_F(VistelTest, KeepsRunningWhileThePlayerRewritesTheFileContinuously) {
    const std::vector<PlayerState> states = PlayerStates();
    ASSERT_NO_FATAL_FAILURE(Start(SettingsFile(states[0].keys)));
    ASSERT_TRUE(LabelBecomes("LaPath", states[0].path));

    // Every text a label may show: one that some state of the file held.
    std::map<std::string, std::set<std::string>> allowed;
    for (const auto& s : states) {
        allowed["LaPath"].insert(U8(s.path));
        allowed["LaStatusBar"].insert(U8(s.song));
        allowed["LaTotal"].insert(U8(s.total));
        allowed["LaCurrent"].insert(U8(s.current));
        allowed["LaHow"].insert(U8(s.how));
        allowed["LaDevice"].insert(U8(s.device));
    }
    allowed["Label3"] = {"/"};
    allowed["LaColor"] = {"Color"};

    // Every attempt of the player is counted: one refused by Vistel is one
    // too many.
    std::atomic<bool> stop{false};
    Replacements count;
    int failed = 0;
    std::thread writer([&] {
        for (size_t k = 1; !stop; k = (k + 1) % states.size())
            if (!ReplaceAtomically(ini_, SettingsFile(states[k].keys), L"Sorbel.ini.player", count)) ++failed;
    });

    std::map<std::string, std::set<std::string>> seen;
    std::vector<std::string> strays;
    int samples = 0;
    const ULONGLONG end = GetTickCount64() + 4000;
    while (GetTickCount64() < end && process_.Running()) {
        const auto labels = Labels(window_);
        if (labels.size() != std::size(kLabelPlaces)) {
            strays.push_back("only " + std::to_string(labels.size()) + " labels found");
        }
        for (const auto& [name, child] : labels) {
            const std::string text = U8(child.text);
            seen[name].insert(text);
            if (!allowed[name].count(text)) strays.push_back(name + ": \"" + text + "\"");
        }
        ++samples;
        Sleep(7);
    }
    stop = true;
    writer.join();

    EXPECT_TRUE(strays.empty()) << strays.size() << " label texts the file never held, first: "
                                << (strays.empty() ? "" : strays.front());
    const std::string counts = std::to_string(count.done) + " replaced, " + std::to_string(count.busy) +
                               " renames refused while the file was open, " + std::to_string(failed) + " failed";
    EXPECT_GT(count.done, 50) << counts;
    EXPECT_EQ(count.refused, 0) << "the first refused with error " << count.firstRefusal << "; " << counts;
    EXPECT_EQ(failed, 0) << counts;
    ASSERT_TRUE(process_.Running()) << "Vistel ended while the file was being rewritten";
    // The display did follow the file: several of its states were seen.
    EXPECT_GE(seen["LaPath"].size(), 3u) << samples << " samples";
    EXPECT_GE(seen["LaCurrent"].size(), 3u) << samples << " samples";

    // When the writes stop, the display settles on the last state.
    ASSERT_TRUE(Rewrite(states[2].keys));
    EXPECT_TRUE(LabelBecomes("LaPath", states[2].path));
    EXPECT_TRUE(LabelBecomes("LaStatusBar", states[2].song));
    EXPECT_TRUE(LabelBecomes("LaHow", states[2].how));
    EXPECT_TRUE(LabelBecomes("LaDevice", states[2].device));

    ASSERT_TRUE(Rewrite(With(states[2].keys, L"Visible", L"0")));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("Visible=0"));
    EXPECT_EQ(Show(FileValue(ini_, "ColorNum")), Show(std::string("13")));
    ExpectOnlyProgramAndSettings();
}

TEST_F(VistelTest, ReadOnlyFileLeavesTheDisplayRunningAndUnchanged) {
    const std::string settings = SettingsFile(DemoKeys());
    ASSERT_TRUE(e2e::WriteFileBytes(ini_, settings));
    ASSERT_TRUE(SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NO_FATAL_FAILURE(StartOnly());
    ASSERT_TRUE(LabelBecomes("LaPath", L"demo.cas 再生3/12全"));
    ASSERT_TRUE(LabelBecomes("LaHow", L"連続再生"));

    auto sameFile = [&] {
        std::string bytes;
        return e2e::ReadFileBytes(ini_, bytes) && bytes == settings;
    };

    // A held press on the mode label steps the label, but the write of How
    // is refused: the file stays as it was.
    const auto labels = Labels(window_);
    const POINT how = Centre(window_, labels.at("LaHow"));
    {
        ButtonGuard button;
        ASSERT_TRUE(e2e::MoveCursor(how.x, how.y));
        ASSERT_TRUE(button.Press());
        EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
        EXPECT_TRUE(sameFile()) << "the read-only file changed";
        ASSERT_TRUE(button.Release());
    }
    // Released, the label follows the file again, which still says 0.
    EXPECT_TRUE(LabelBecomes("LaHow", L"連続再生"));
    EXPECT_TRUE(sameFile()) << "the read-only file changed";
    EXPECT_TRUE(process_.Running());
    EXPECT_EQ(LabelText(window_, "LaPath"), U8(L"demo.cas 再生3/12全"));

    // The close cannot save the scheme either; it still ends cleanly.
    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_NO_FATAL_FAILURE(ExpectExitCodeZero("WM_CLOSE"));
    EXPECT_TRUE(sameFile()) << "the read-only file changed";
    EXPECT_NE(GetFileAttributesW(ini_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ExpectOnlyProgramAndSettings();
}

// The player writing its file while the display reads and writes it: the
// platform's own profile functions play the player (see player_race.h).
TEST_F(VistelTest, ThePlayerWritingAtTheSameMomentLosesNothing) {
    std::mt19937 random(20261207);
    race::Tally tally;
    for (int round = 0; round < 3; ++round) {
        for (race::Race r : {race::Race::Quit, race::Race::Held, race::Race::Lock}) {
            std::string error;
            ASSERT_TRUE(race::RunRound(exe_, r, random, tally, error)) << race::Name(r) << ": " << error;
        }
    }
    EXPECT_EQ(tally.rounds, 9);
    EXPECT_EQ(tally.playerKeysLost, 0) << tally.firstLoss;
    EXPECT_EQ(tally.displayWritesLost, 0) << tally.firstLoss;
    EXPECT_EQ(tally.wrongCloses, 0) << tally.firstLoss;
}

}  // namespace
