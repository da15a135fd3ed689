// End-to-end tests of Vistel, the status display, under Wine: each test runs
// a copy of Vistel.exe in a fresh folder beside its own Sorbel.ini, works it
// from outside as the player and the user would (file rewrites, presses of
// the mouse buttons through the system input queue, a picture under the
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

using e2e::kTimeoutMs;
constexpr int kLeft = 757;
constexpr int kTop = 136;
constexpr int kWidth = 198;
constexpr int kHeight = 90;
constexpr COLORREF kRed = RGB(255, 0, 0), kSilver = RGB(0xC0, 0xC0, 0xC0), kAqua = RGB(0, 255, 255),
                   kYellow = RGB(255, 255, 0);

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
// counted in `count`; one that Vistel refused ends the replacement, and a
// rename refused while a reader holds the file is tried again (for as long
// as a hang allows, however long a slow reader takes).
bool ReplaceAtomically(const std::wstring& path, const std::string& bytes, const std::wstring& tempName,
                       Replacements& count) {
    const std::wstring temp = e2e::FolderOf(path) + L"\\" + tempName;
    if (!e2e::WriteFileBytes(temp, bytes)) return false;
    auto refuse = [&](DWORD error) {
        ++count.refused;
        if (count.firstRefusal == 0) count.firstRefusal = error;
    };
    const ULONGLONG end = GetTickCount64() + e2e::kTimeoutMs;
    for (int attempt = 0; GetTickCount64() < end; ++attempt) {
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
    for (const auto& child : e2e::Children(window)) {
        for (const auto& place : kLabelPlaces)
            if (child.rect.left == place.left && child.rect.top == place.top) labels.emplace(place.name, child);
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

// A top-down 32-bit bitmap whose pixels are 0x00RRGGBB.
HBITMAP NewBitmap(SIZE size, std::uint32_t*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
}

// A static control of the test process showing the pattern in screen
// coordinates; not topmost, so the display stays above it.  Disabled, so
// that it is never activated when the display hides for a snapshot: under
// Wine without a window manager an activated window is raised above the
// display on the X server, whatever the Win32 stacking says.
class PatternWindow {
public:
    PatternWindow(const RECT& screen, unsigned seed)
        : screen_(screen), size_{screen.right - screen.left, screen.bottom - screen.top} {
        bitmap_ = NewBitmap(size_, bits_);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Static", nullptr,
                                  WS_POPUP | WS_DISABLED | SS_BITMAP, screen.left, screen.top, size_.cx, size_.cy,
                                  nullptr, nullptr, nullptr, nullptr);
        if (!bitmap_ || !window_) return;
        ChangeSeed(seed);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    ~PatternWindow() {
        if (window_) DestroyWindow(window_);
        if (bitmap_) DeleteObject(bitmap_);
        e2e::Pause(50);
    }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    HWND Handle() const { return bitmap_ ? window_ : nullptr; }

    void ChangeSeed(unsigned seed) {
        for (int y = 0; y < size_.cy; ++y) {
            for (int x = 0; x < size_.cx; ++x) {
                const COLORREF c = PatternAt(seed, screen_.left + x, screen_.top + y);
                bits_[y * size_.cx + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        }
        GdiFlush();
        SendMessageW(window_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }

private:
    RECT screen_;
    SIZE size_;
    HWND window_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// A pixel and what it is, for failure messages.
std::string PixelText(int x, int y, COLORREF is, COLORREF pattern) {
    auto hex = [](COLORREF c) { return static_cast<unsigned>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)); };
    char text[96];
    snprintf(text, sizeof text, "(%d,%d) is #%06X, the pattern #%06X", x, y, hex(is), hex(pattern));
    return text;
}

// Where the labels' texts may put ink in the client area: each text drawn
// here as the display draws it (same font, alignment and label rectangle,
// clipped to the label), then widened by two pixels within the label to
// allow for a different rendering.  Everywhere else the display must show
// exactly the picture under it, so old glyphs left behind by a change, and a
// background painted behind the text, are found.
std::vector<bool> InkMask(const std::map<std::string, e2e::ChildWindow>& labels, SIZE size) {
    std::vector<bool> ink(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy), false);
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap = NewBitmap(size, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        return std::vector<bool>(ink.size(), true);  // nothing can be told
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
        const std::wstring& text = found->second.text;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  DT_NOPREFIX | DT_SINGLELINE | DT_TOP | (place.centred ? DT_CENTER : 0));
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    GdiFlush();
    constexpr int kMargin = 2;
    for (const auto& [name, label] : labels) {
        const RECT& r = label.rect;
        for (int y = std::max(0, static_cast<int>(r.top)); y < std::min(size.cy, r.bottom); ++y)
            for (int x = std::max(0, static_cast<int>(r.left)); x < std::min(size.cx, r.right); ++x)
                for (int dy = -kMargin; dy <= kMargin; ++dy)
                    for (int dx = -kMargin; dx <= kMargin; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx >= 0 && ny >= 0 && nx < size.cx && ny < size.cy &&
                            (bits[ny * size.cx + nx] & 0x00FFFFFFu) != 0x00FFFFFFu)
                            ink[y * size.cx + x] = true;
                    }
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
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

// What the display's client area shows compared with the pattern under it.
struct PictureReport {
    int pixels = 0;
    int exact = 0;         // the pattern's colour at that spot
    int foreign = 0;       // neither the pattern nor its mix with the text colour
    int solidText = 0;     // close to the text colour itself
    int inkless = 0;       // pixels away from every glyph of the labels' texts
    int inklessExact = 0;
    std::string firstForeign;
    std::string firstInklessMiss;

    // Every pixel is the pattern or text over it, some of it solid text;
    // away from the glyphs (at least half the window) exactly the pattern.
    bool ShowsPattern() const {
        return pixels > 0 && foreign == 0 && solidText >= 10 && inklessExact == inkless && inkless * 2 > pixels;
    }

    bool AllPattern() const { return pixels > 0 && exact == pixels; }

    std::string Describe() const {
        return "pixels " + std::to_string(pixels) + ", pattern " + std::to_string(exact) + ", solid text " +
               std::to_string(solidText) + ", foreign " + std::to_string(foreign) + ", away from the glyphs " +
               std::to_string(inklessExact) + "/" + std::to_string(inkless) + " pattern" +
               (firstForeign.empty() ? "" : "\n  first foreign pixel: " + firstForeign) +
               (firstInklessMiss.empty() ? "" : "\n  first miss away from the glyphs: " + firstInklessMiss);
    }
};

// What a screen rectangle shows over the pattern, labels at these places in
// it (none: the pattern alone, everywhere).
PictureReport ComparePicture(const RECT& rect, const std::map<std::string, e2e::ChildWindow>& labels, unsigned seed,
                             COLORREF textColour = kRed) {
    PictureReport report;
    const SIZE size{rect.right - rect.left, rect.bottom - rect.top};
    const std::vector<bool> ink = InkMask(labels, size);
    e2e::ScreenCapture shot;
    if (!e2e::CaptureScreen(rect, shot)) return report;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF pixel = shot.At(x, y);
            const COLORREF want = PatternAt(seed, rect.left + x, rect.top + y);
            const bool exact = pixel == want;
            ++report.pixels;
            report.exact += exact;
            report.solidText += NearColour(pixel, textColour, 40);
            if (!exact && !Between(pixel, want, textColour) && report.foreign++ == 0)
                report.firstForeign = "client " + PixelText(x, y, pixel, want);
            if (ink[static_cast<size_t>(y) * static_cast<size_t>(size.cx) + static_cast<size_t>(x)]) continue;
            ++report.inkless;
            report.inklessExact += exact;
            if (!exact && report.firstInklessMiss.empty()) report.firstInklessMiss = "client " + PixelText(x, y, pixel, want);
        }
    }
    return report;
}

// ---------------------------------------------------------------- the fixture

// A copy of Vistel in a fresh folder with its own Sorbel.ini.
class VistelTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::ProgramAvailable(L"Vistel", exe_));
        ASSERT_FALSE(dir_.Path().empty());
        ini_ = dir_.File(L"Sorbel.ini");
        // No press left over from another test, and the cursor away from
        // the display.
        e2e::LeftButtonUp();
        e2e::MoveCursor(5, 5);
    }

    // Starts Vistel beside the settings file the player wrote, and finds its
    // window once it is shown and its first poll has filled in the cassette line.
    void Start(const Keys& keys) {
        keys_ = keys;
        std::string error;
        window_ = e2e::StartVistelIn(exe_, dir_.Path(), SettingsFile(keys), process_, error);
        ASSERT_NE(window_, nullptr) << error;
        ASSERT_TRUE(e2e::WaitUntil([&] { return !LabelText(window_, "LaPath").empty(); }))
            << "no poll filled in the cassette line" << AllLabelTexts(window_);
    }

    // Waits until a label shows `expected`; false (with the labels in the
    // failure message) if it never does.
    testing::AssertionResult LabelBecomes(const std::string& name, const std::wstring& expected) {
        const std::string want = U8(expected);
        if (e2e::WaitUntil([&] { return LabelText(window_, name) == want; })) return testing::AssertionSuccess();
        return testing::AssertionFailure() << name << " never showed \"" << want << "\"; the labels show"
                                           << AllLabelTexts(window_);
    }

    // Each label comes to show its text.
    testing::AssertionResult LabelsBecome(const std::map<std::string, std::wstring>& texts) {
        for (const auto& [name, text] : texts)
            if (testing::AssertionResult shown = LabelBecomes(name, text); !shown) return shown;
        return testing::AssertionSuccess();
    }

    // A key of [VISTEL] as the file holds it now.
    std::optional<std::string> Value(const std::wstring& key) const { return e2e::IniValue(ini_, L"VISTEL", key); }

    testing::AssertionResult ValueBecomes(const std::wstring& key, const std::string& expected) {
        if (e2e::WaitUntil([&] { return Value(key) == expected; })) return testing::AssertionSuccess();
        return testing::AssertionFailure() << U8(key) << " in Sorbel.ini never became \"" << expected << "\"; it is "
                                           << testing::PrintToString(Value(key));
    }

    // The player writes the file; Vistel must not refuse it once.
    testing::AssertionResult Rewrite(const Keys& keys) {
        keys_ = keys;
        Replacements count;
        if (ReplaceAtomically(ini_, SettingsFile(keys), L"Sorbel.ini.writing", count) && count.refused == 0)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the player's replacement of Sorbel.ini failed: " << count.refused
                                           << " refused (first with error " << count.firstRefusal << "), "
                                           << count.busy << " renames refused while the file was open";
    }

    // Proves that a whole poll has run from now on: the player writes a new
    // time, and the display shows it.  A label answers only between polls.
    testing::AssertionResult PollSeen() {
        const std::wstring time = L"59:" + std::to_wstring(10 + ++polls_);
        if (testing::AssertionResult written = Rewrite(With(keys_, L"Current", time)); !written) return written;
        return LabelBecomes("LaCurrent", time);
    }

    // The player no longer wants the display: it ends with exit code 0.
    void CloseByPlayer() {
        ASSERT_TRUE(Rewrite(With(keys_, L"Visible", L"0")));
        ASSERT_TRUE(e2e::EndsWithExitCode(process_)) << "after Visible=0";
    }

    // Presses at `from`, holds it there until a poll has seen it (the drag
    // starts where the display first sees the press), moves to `to` in steps
    // with the button held, and holds it there until the window's top-left
    // corner has reached `arrival`; then lets go.
    testing::AssertionResult DragWindow(POINT from, POINT to, POINT arrival) {
        e2e::HeldButton button;
        if (!e2e::MoveCursor(from.x, from.y) || !button.Press()) return testing::AssertionFailure() << "no mouse input";
        if (testing::AssertionResult seen = PollSeen(); !seen) return seen;
        constexpr int kSteps = 8;
        for (int step = 1; step <= kSteps; ++step) {
            e2e::MoveCursor(from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps);
            e2e::Pause(60);
        }
        const bool arrived = e2e::WaitUntil([&] {
            const RECT r = e2e::WindowRect(window_);
            return r.left == arrival.x && r.top == arrival.y;
        });
        if (!button.Release()) return testing::AssertionFailure() << "no mouse input";
        if (arrived) return testing::AssertionSuccess();
        const RECT r = e2e::WindowRect(window_);
        return testing::AssertionFailure() << "dragged from " << from.x << "," << from.y << " to " << to.x << ","
                                           << to.y << ", the window stands at " << r.left << "," << r.top
                                           << " instead of " << arrival.x << "," << arrival.y;
    }

    int Colour(COLORREF colour) const { return e2e::CountColour(e2e::ClientRectOnScreen(window_), colour); }

    // Nothing but the program and its settings file: no temporary file of
    // a write is left behind.
    void ExpectOnlyProgramAndSettings() {
        EXPECT_EQ(e2e::NamesIn(dir_.Path()), (std::vector<std::string>{"Sorbel.ini", "Vistel.exe"}));
    }

    std::wstring exe_;
    e2e::TempDir dir_;
    std::wstring ini_;
    e2e::Process process_;
    HWND window_ = nullptr;
    Keys keys_;      // what the player wrote last
    int polls_ = 0;  // polls proven by PollSeen
};

// ---------------------------------------------------------------- labels mirror the file

TEST_F(VistelTest, LabelsMirrorTheStatusSectionAndFollowItsChanges) {
    ASSERT_NO_FATAL_FAILURE(Start(DemoKeys()));

    const auto labels = Labels(window_);
    EXPECT_EQ(labels.size(), std::size(kLabelPlaces)) << AllLabelTexts(window_);
    EXPECT_EQ(e2e::Children(window_).size(), std::size(kLabelPlaces)) << "a child window other than the labels";
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop);

    EXPECT_TRUE(LabelsBecome({{"LaPath", L"demo.cas 再生3/12全"}, {"LaStatusBar", L"テスト曲 ～ 春"},
                              {"LaCurrent", L"01:05"}, {"Label3", L"/"}, {"LaTotal", L"04:32"},
                              {"LaHow", L"連続再生"}, {"LaDevice", L"再生"}, {"LaColor", L"Color"}}));

    // The player moves on: another cassette (its folder and its name hold
    // characters whose second byte is a backslash: ソ and 表), the next song,
    // another mode, paused.
    Keys next = DemoKeys();
    for (const auto& [key, value] : Keys{{L"CasFile", L"D:\\ソフト\\表計算.cas"}, {L"PlaySong", L"次の曲"},
                                         {L"Current", L"00:07"}, {L"Total", L"03:10"}, {L"PlayingIndex", L"4"},
                                         {L"How", L"2"}, {L"Stop", L"1"}})
        next = With(next, key, value);
    ASSERT_TRUE(Rewrite(next));
    EXPECT_TRUE(LabelsBecome({{"LaPath", L"表計算.cas 再生4/12全"}, {"LaStatusBar", L"次の曲"}, {"LaCurrent", L"00:07"},
                              {"LaTotal", L"03:10"}, {"LaHow", L"１曲停止"}, {"LaDevice", L"一時停止"}}));

    // Every other value of every key: native EachKeyOfTheSectionSetsItsLabel.
    EXPECT_TRUE(process_.Running());

    // The player no longer wants the display: it closes and saves the
    // colour scheme, the default 13 since the file held none, beside the
    // player's keys, which stay as they were (every other byte of the file
    // too: PressesOnTheModeLabelStepTheModeAndWriteHow).
    keys_ = DemoKeys();
    ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
    EXPECT_EQ(Value(L"ColorNum"), "13");
    for (const auto& [key, value] : keys_) EXPECT_EQ(Value(key), U8(value)) << U8(key);
    ExpectOnlyProgramAndSettings();
}

// ---------------------------------------------------------------- appearing

// The display appears when the player first wants it, already showing the
// player's state and without taking the focus; while the player wants none,
// no window ever appears and the program ends by itself.  The process's
// windows are looked at again and again, as fast as the calls allow; a
// label's text is read as the window system keeps it, without a message
// that would wait for the display's own thread.
TEST_F(VistelTest, TheDisplayAppearsOnlyWhenWantedWithThePlayersStateAlreadyShown) {
    struct Case {
        const char* name;
        std::optional<Keys> keys;  // none: no Sorbel.ini
        bool wanted;
    };
    const std::wstring copy = e2e::CopyInto(exe_, dir_.Path());
    ASSERT_FALSE(copy.empty());
    // The program the user works in: a window of the test's own, in front.
    HWND user = CreateWindowExW(0, L"Static", L"user", WS_POPUP | WS_VISIBLE, 0, 0, 100, 40, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(e2e::Activate(user));
    for (const Case& c : {Case{"no Sorbel.ini", std::nullopt, false},
                          Case{"Visible=0", With(DemoKeys(), L"Visible", L"0"), false},
                          Case{"Visible=1", DemoKeys(), true}}) {
        SCOPED_TRACE(c.name);
        DeleteFileW(ini_.c_str());
        if (c.keys) keys_ = *c.keys;
        ASSERT_TRUE(!c.keys || e2e::WriteFileBytes(ini_, SettingsFile(*c.keys)));
        process_ = e2e::Process::Start(copy, {}, dir_.Path());
        ASSERT_TRUE(process_.Started()) << U8(process_.Error());
        std::optional<std::string> firstSeen;  // what the first window seen shows on its cassette line
        int looks = 0;
        for (const ULONGLONG end = GetTickCount64() + kTimeoutMs;
             !firstSeen && process_.Running() && GetTickCount64() < end; ++looks) {
            for (HWND window : e2e::TopLevelWindows(process_.Id())) {
                if (firstSeen || !e2e::IsVisible(window) || (c.wanted && e2e::ClientSize(window).cx == 0)) continue;
                window_ = window;
                firstSeen = "(no label at LaPath's place)";
                const POINT origin = e2e::ClientOrigin(window);
                for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                    wchar_t text[256] = {};
                    const RECT r = e2e::WindowRect(child);
                    if (r.left == origin.x && r.top == origin.y && GetWindowTextW(child, text, 256) >= 0)
                        firstSeen = U8(text);
                }
            }
        }
        if (c.wanted) {
            ASSERT_TRUE(process_.Running());
            EXPECT_EQ(firstSeen, U8(L"demo.cas 再生3/12全"));
            // The show is done once a poll has run since.
            EXPECT_TRUE(PollSeen());
            EXPECT_EQ(GetForegroundWindow(), user) << "the display took the focus";
            ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
        } else {
            ASSERT_TRUE(e2e::EndsWithExitCode(process_));
            EXPECT_EQ(firstSeen, std::nullopt) << "a window appeared";
            EXPECT_GT(looks, 10) << "the windows were hardly looked at";
            EXPECT_EQ(Value(L"ColorNum"), "13");
        }
    }
    DestroyWindow(user);
    ExpectOnlyProgramAndSettings();
}

// ---------------------------------------------------------------- the colour scheme

// The scheme is read at start, stepped by a press on "Color" (the file
// learns nothing until the end) and saved however the display ends (a
// close: VistelSmoke).  Schemes outside 0 to 17: native
// SavedSchemeAtStartPressesAndTheNumberSavedAtClose.
TEST_F(VistelTest, PressOnColourStepsTheSchemeSavedAtClose) {
    struct Case {
        const char* name;
        const wchar_t* saved;  // ColorNum in the file at start
        COLORREF shown;        // the text colour then
        COLORREF next;         // the text colour after a press, of no text before
        bool endOfSession;     // the display ends with the session, else by Visible=0
        const char* savedAtEnd;
    };
    const Case cases[] = {
        {"a press on Color, then Visible=0", L"13", kRed, kSilver, false, "14"},
        // 17 (yellow) steps round to 0 (aqua); the user then logs off.
        {"a press on Color, then the end of the session", L"17", kYellow, kAqua, true, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start(With(DemoKeys(), L"ColorNum", c.saved)));
        EXPECT_TRUE(e2e::WaitUntil([&] { return Colour(c.shown) > 20; })) << "no text in the scheme's colour";
        EXPECT_EQ(Colour(c.next), 0);
        HWND colour = e2e::FindChild(window_, L"Color");
        ASSERT_NE(colour, nullptr) << AllLabelTexts(window_);
        ASSERT_EQ(colour, Labels(window_).at("LaColor").handle);
        EXPECT_TRUE(e2e::PressUntil(e2e::CentreOf(colour), [&] { return Colour(c.next) > 20; }))
            << "no text in the next scheme's colour after a press on Color";
        EXPECT_EQ(Value(L"ColorNum"), U8(c.saved));
        EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
        EXPECT_EQ(e2e::WindowRect(window_).top, kTop);
        if (!c.endOfSession) {
            ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
        } else {
            // Asked whether the session may end, the display saves its
            // scheme, agrees and goes on until the session does end.
            DWORD_PTR answer = 0;
            ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &answer));
            EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
            EXPECT_EQ(Value(L"ColorNum"), c.savedAtEnd);
            EXPECT_TRUE(process_.Running());
            ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &answer));
            ASSERT_TRUE(e2e::EndsWithExitCode(process_));
        }
        EXPECT_EQ(Value(L"ColorNum"), c.savedAtEnd);
        ExpectOnlyProgramAndSettings();
    }
}

// ---------------------------------------------------------------- the mouse

TEST_F(VistelTest, PressesOnTheModeLabelStepTheModeAndWriteHow) {
    ASSERT_NO_FATAL_FAILURE(Start(DemoKeys()));
    ASSERT_TRUE(LabelBecomes("LaHow", L"連続再生"));

    // Press and hold on the mode label: it steps once and writes How=1.
    auto labels = Labels(window_);
    ASSERT_EQ(labels.count("LaHow"), 1u);
    HWND found = e2e::FindChild(window_, L"連続再生");
    ASSERT_EQ(found, labels.at("LaHow").handle) << "the mode text is not on the mode label";
    const POINT how = e2e::CentreOf(found);
    e2e::HeldButton button;
    ASSERT_TRUE(e2e::MoveCursor(how.x, how.y));
    ASSERT_TRUE(button.Press());
    EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    EXPECT_TRUE(ValueBecomes(L"How", "1"));

    // Held on, it steps no more, and the label keeps its text whatever the
    // file says until the release: native PressHeldOnTheModeLabelStepsOnceThenDrags
    // and HeldModeTextWinsOverTheFileUntilRelease.
    ASSERT_TRUE(button.Release());
    keys_ = With(DemoKeys(), L"How", L"1");
    ASSERT_TRUE(PollSeen());

    // Once a poll has seen the release, a short press at the centre of
    // whatever label shows the mode text: "１曲リピート" steps to "１曲停止"
    // (2).  The rest of the round of modes: native
    // ClicksStepTheModeRoundFromTheShownText.
    found = e2e::FindChild(window_, L"１曲リピート");
    ASSERT_EQ(found, Labels(window_).at("LaHow").handle) << AllLabelTexts(window_);
    EXPECT_TRUE(e2e::PressUntil(how, [&] { return LabelText(window_, "LaHow") == U8(L"１曲停止"); }))
        << AllLabelTexts(window_);
    EXPECT_TRUE(ValueBecomes(L"How", "2"));

    // A press on the mode label changes nothing but How: the player's keys
    // and section stay, and the window has not moved.
    EXPECT_EQ(Value(L"CasFile"), "C:\\Music\\demo.cas");
    EXPECT_EQ(Value(L"PlaySong"), U8(L"テスト曲 ～ 春"));
    std::string bytes;
    ASSERT_TRUE(e2e::ReadFileBytes(ini_, bytes));
    EXPECT_NE(bytes.find(e2e::ToCp932(L"[Sorbel]\r\nVolume=80\r\nLastDir=C:\\Music\\曲集\r\n")), std::string::npos);
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft);
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop);

    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_TRUE(e2e::EndsWithExitCode(process_));
    EXPECT_EQ(Value(L"How"), "2");
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
    ASSERT_NO_FATAL_FAILURE(Start(DemoKeys()));
    ASSERT_TRUE(LabelBecomes("LaHow", L"連続再生"));
    const POINT how = e2e::CentreOf(Labels(window_).at("LaHow").handle);
    ASSERT_TRUE(e2e::MoveCursor(how.x, how.y));

    // The physical left button is this user's secondary one: held across a
    // poll, it steps nothing.
    {
        e2e::HeldButton left;
        ASSERT_TRUE(left.Press());
        EXPECT_TRUE(PollSeen());
    }
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"連続再生"));
    EXPECT_EQ(Value(L"How"), "0");

    // The physical right one steps the mode.
    {
        e2e::HeldButton right(true);
        ASSERT_TRUE(right.Press());
        EXPECT_TRUE(LabelBecomes("LaHow", L"１曲リピート"));
    }
    EXPECT_TRUE(ValueBecomes(L"How", "1"));

    ASSERT_TRUE(e2e::PostClose(window_));
    ASSERT_TRUE(e2e::EndsWithExitCode(process_));
}

// The system's move loop, as the window menu's "Move" enters it, runs on the
// display's thread: the poll goes on inside it.  The display is not closed
// inside the loop, which under Wine swallows a quit posted meanwhile.
TEST_F(VistelTest, ThePollGoesOnInsideTheSystemsMoveLoop) {
    ASSERT_NO_FATAL_FAILURE(Start(DemoKeys()));
    const DWORD thread = GetWindowThreadProcessId(window_, nullptr);
    auto inMoveLoop = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
    };
    ASSERT_TRUE(PostMessageW(window_, WM_SYSCOMMAND, SC_MOVE, 0));
    ASSERT_TRUE(e2e::WaitUntil(inMoveLoop)) << "no move loop began";
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
    ASSERT_TRUE(e2e::WaitUntil([&] { return !inMoveLoop(); })) << "the move loop never ended";
    ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
}

// ---------------------------------------------------------------- transparency

// A press on the background drags the window; only the text seems to float
// on the picture under it.
TEST_F(VistelTest, ShowsThePictureUnderItBehindItsTextAndAfterADrag) {
    // A picture around the display's place and where it will be dragged to,
    // on screen before the display starts.
    const RECT area{kLeft - 60, kTop - 40, kLeft + kWidth + 100, kTop + kHeight + 200};
    PatternWindow picture(area, 1);
    ASSERT_NE(picture.Handle(), nullptr);
    PictureReport shown;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (shown = ComparePicture(area, {}, 1)).AllPattern(); }))
        << "the picture is not on the screen: " << shown.Describe();

    ASSERT_NO_FATAL_FAILURE(Start(DemoKeys()));
    ASSERT_TRUE(LabelBecomes("LaPath", L"demo.cas 再生3/12全"));
    ASSERT_EQ(e2e::WindowRect(window_).left, kLeft);
    ASSERT_EQ(e2e::WindowRect(window_).top, kTop);

    // At start; after new texts, which are painted again from the picture
    // (no pixel of the old text stays); and after the picture changed while
    // the display stood over it and a drag to a place that does not overlap
    // the old one: the drag takes a new snapshot when it begins, so there
    // the display shows the new picture.
    for (const char* step : {"at start", "after new texts", "after the drag"}) {
        SCOPED_TRACE(step);
        unsigned seed = 1;
        if (step == std::string("after new texts")) {
            ASSERT_TRUE(Rewrite(With(With(DemoKeys(), L"Current", L"1"), L"PlaySong", L"短")));
            ASSERT_TRUE(LabelBecomes("LaCurrent", L"1"));
            ASSERT_TRUE(LabelBecomes("LaStatusBar", L"短"));
        } else if (step == std::string("after the drag")) {
            seed = 2;
            picture.ChangeSeed(seed);
            const RECT left{area.left, area.top, kLeft, area.bottom};
            ASSERT_TRUE(e2e::WaitUntil([&] { return (shown = ComparePicture(left, {}, seed)).AllPattern(); }))
                << "the new picture is not on the screen: " << shown.Describe();
            // A press on no label, right of the short song title and above the times.
            const POINT at{150, 22};
            for (const auto& [name, child] : Labels(window_)) ASSERT_FALSE(PtInRect(&child.rect, at)) << name;
            const POINT from{e2e::ClientOrigin(window_).x + at.x, e2e::ClientOrigin(window_).y + at.y};
            ASSERT_TRUE(DragWindow(from, {from.x + 30, from.y + 110}, {kLeft + 30, kTop + 110}));
        }
        e2e::WaitUntil([&] {
            return (shown = ComparePicture(e2e::ClientRectOnScreen(window_), Labels(window_), seed)).ShowsPattern();
        });
        EXPECT_TRUE(shown.ShowsPattern()) << shown.Describe();
    }

    // Dragged, the window keeps its size and shows.  A press on the
    // background is no press on a label: no mode step (nor a colour step,
    // as the text is still red).  Moved, the display still follows the
    // file, and stays where the drag put it.
    const RECT after = e2e::WindowRect(window_);
    EXPECT_EQ(after.right - after.left, kWidth);
    EXPECT_EQ(after.bottom - after.top, kHeight);
    EXPECT_TRUE(e2e::IsVisible(window_));
    EXPECT_EQ(LabelText(window_, "LaHow"), U8(L"連続再生"));
    EXPECT_EQ(Value(L"How"), "0");
    ASSERT_TRUE(Rewrite(With(DemoKeys(), L"Current", L"02:00")));
    EXPECT_TRUE(LabelBecomes("LaCurrent", L"02:00"));
    EXPECT_EQ(e2e::WindowRect(window_).left, kLeft + 30) << "the window moved after the release";
    EXPECT_EQ(e2e::WindowRect(window_).top, kTop + 110) << "the window moved after the release";
    ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
    EXPECT_EQ(Value(L"ColorNum"), "13");
}

// ---------------------------------------------------------------- reliability

// One state of the player, as it writes it in one piece, and what each
// label then shows.
struct PlayerState {
    Keys keys;
    std::map<std::string, std::wstring> shown;
};

std::vector<PlayerState> PlayerStates() {
    const std::wstring songs[] = {L"春の歌", L"夏の歌", L"秋の歌", L"冬の歌", L"表の歌"};
    const std::wstring modes[] = {L"連続再生", L"１曲リピート", L"１曲停止"};
    std::vector<PlayerState> states;
    for (int k = 0; k < 5; ++k) {
        const std::wstring n = std::to_wstring(k), index = std::to_wstring(k + 1), count = std::to_wstring(10 + k);
        const bool play = k % 2 == 1, stop = k == 3;
        states.push_back({{{L"Visible", L"1"}, {L"CasFile", L"C:\\Music\\set" + n + L".cas"},
                           {L"PlaySong", songs[k]}, {L"Total", L"0" + n + L":30"}, {L"Current", L"00:1" + n},
                           {L"PlayingIndex", index}, {L"Count", count}, {L"How", std::to_wstring(k % 3)},
                           {L"Play", play ? L"1" : L"0"}, {L"Stop", stop ? L"1" : L"0"}},
                          {{"LaPath", L"set" + n + L".cas 再生" + index + L"/" + count + L"全"},
                           {"LaStatusBar", songs[k]}, {"LaTotal", L"0" + n + L":30"}, {"LaCurrent", L"00:1" + n},
                           {"LaHow", modes[k % 3]}, {"LaDevice", stop ? L"一時停止" : play ? L"再生" : L"停止"},
                           {"Label3", L"/"}, {"LaColor", L"Color"}}});
    }
    return states;
}

TEST_F(VistelTest, KeepsRunningWhileThePlayerRewritesTheFileContinuously) {
    const std::vector<PlayerState> states = PlayerStates();
    ASSERT_NO_FATAL_FAILURE(Start(states[0].keys));
    ASSERT_TRUE(LabelBecomes("LaPath", states[0].shown.at("LaPath")));

    // Every text a label may show: one that some state of the file held.
    std::map<std::string, std::set<std::string>> allowed;
    for (const auto& s : states)
        for (const auto& [label, text] : s.shown) allowed[label].insert(U8(text));

    // Every attempt of the player is counted: one refused by Vistel is one
    // too many.  The player goes on until a few hundred replacements are
    // done and the display has been seen to follow several of them.
    constexpr int kReplacements = 200;
    std::atomic<bool> stop{false};
    std::atomic<int> done{0};
    Replacements count;
    int failed = 0;
    std::thread writer([&] {
        for (size_t k = 1; !stop; k = (k + 1) % states.size()) {
            if (!ReplaceAtomically(ini_, SettingsFile(states[k].keys), L"Sorbel.ini.player", count)) ++failed;
            done = count.done;
        }
    });

    std::map<std::string, std::set<std::string>> seen;
    std::vector<std::string> strays;
    int samples = 0;
    e2e::WaitUntil(
        [&] {
            const auto labels = Labels(window_);
            if (labels.size() != std::size(kLabelPlaces))
                strays.push_back("only " + std::to_string(labels.size()) + " labels found");
            for (const auto& [name, child] : labels) {
                const std::string text = U8(child.text);
                seen[name].insert(text);
                if (!allowed[name].count(text)) strays.push_back(name + ": \"" + text + "\"");
            }
            ++samples;
            return !process_.Running() ||
                   (done >= kReplacements && seen["LaPath"].size() >= 3 && seen["LaCurrent"].size() >= 3);
        },
        kTimeoutMs, 7);
    stop = true;
    writer.join();

    EXPECT_TRUE(strays.empty()) << strays.size() << " label texts the file never held, first: "
                                << (strays.empty() ? "" : strays.front());
    const std::string counts = std::to_string(count.done) + " replaced, " + std::to_string(count.busy) +
                               " renames refused while the file was open, " + std::to_string(failed) + " failed";
    EXPECT_GE(count.done, kReplacements) << counts;
    EXPECT_EQ(count.refused, 0) << "the first refused with error " << count.firstRefusal << "; " << counts;
    EXPECT_EQ(failed, 0) << counts;
    ASSERT_TRUE(process_.Running()) << "Vistel ended while the file was being rewritten";
    // The display did follow the file: several of its states were seen.
    EXPECT_GE(seen["LaPath"].size(), 3u) << samples << " samples";
    EXPECT_GE(seen["LaCurrent"].size(), 3u) << samples << " samples";

    // When the writes stop, the display settles on the last state.
    ASSERT_TRUE(Rewrite(states[2].keys));
    EXPECT_TRUE(LabelsBecome(states[2].shown));

    ASSERT_NO_FATAL_FAILURE(CloseByPlayer());
    EXPECT_EQ(Value(L"ColorNum"), "13");
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
