#include "player_race.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "driver.h"

namespace race {

namespace {

constexpr int kPlayerKeys = 40;

std::wstring PlayerKey(int i) { return L"Key" + std::to_wstring(100 + i).substr(1); }
std::wstring PlayerValue(int i, int generation) {
    return L"g" + std::to_wstring(generation) + L"-" + std::to_wstring(i);
}

// The player's file: a section of its own with kPlayerKeys keys of one
// generation, then the status section.  ASCII only: the profile functions
// write in the system's code page, whatever it is.
std::string PlayerFile(int generation, int how) {
    std::wstring text = L"[Sorbel]\r\n";
    for (int i = 1; i <= kPlayerKeys; ++i) text += PlayerKey(i) + L"=" + PlayerValue(i, generation) + L"\r\n";
    text += L"[VISTEL]\r\nVisible=1\r\nCasFile=C:\\Music\\race.cas\r\nPlaySong=Song\r\nTotal=03:00\r\n"
            L"Current=00:10\r\nPlayingIndex=1\r\nCount=9\r\nHow=" +
            std::to_wstring(how) + L"\r\nPlay=1\r\nStop=0\r\nColorNum=13\r\n";
    return e2e::ToCp932(text);
}

// The text of a label as the window system keeps it: read without a message
// that would wait for the display, which may be waiting for the player's
// file at that moment.
std::wstring StoredText(HWND label) {
    wchar_t text[256] = {};
    GetWindowTextW(label, text, 256);
    return text;
}

// A copy of the display in a fresh folder beside its own settings file.
class Display {
public:
    bool Start(const std::wstring& exe, const std::string& settings, std::string& error) {
        ini_ = dir_.File(L"Sorbel.ini");
        window_ = e2e::StartVistelIn(exe, dir_.Path(), settings, process_, error);
        // Shown, and a poll has put up the cassette line.
        if (window_ && !e2e::WaitUntil([&] { return Label(L"race.cas 再生1/9全") != nullptr; }))
            error = "the display never showed the player's state";
        return window_ && error.empty();
    }

    const std::wstring& Ini() const { return ini_; }
    std::string Bytes() const {
        std::string bytes;
        e2e::ReadFileBytes(ini_, bytes);
        return bytes;
    }
    bool Running() const { return process_.Running(); }

    HWND Label(const std::wstring& text) const { return e2e::FindChild(window_, text); }
    // Pixels of the display in this colour.
    int Colour(COLORREF colour) const { return e2e::CountColour(e2e::ClientRectOnScreen(window_), colour); }

    // Presses the left button on a label, runs `whileHeld` once it is down,
    // and holds it until `done` shows that the display took the press.
    bool Click(HWND label, const std::function<bool()>& done, const std::function<void()>& whileHeld = {}) {
        e2e::HeldButton button;
        if (!label || !e2e::MoveCursor(e2e::CentreOf(label).x, e2e::CentreOf(label).y) || !button.Press()) return false;
        if (whileHeld) whileHeld();
        const bool taken = e2e::WaitUntil(done);
        const bool released = button.Release();
        e2e::MoveCursor(5, 5);
        return taken && released;
    }

    // Asks the display to close as the player does, and waits for its end.
    bool Close(std::string& error) {
        if (!WritePrivateProfileStringW(L"VISTEL", L"Visible", L"0", ini_.c_str())) {
            error = "the player could not write Visible=0";
            return false;
        }
        return WaitForEnd(error);
    }

    bool WaitForEnd(std::string& error) {
        const testing::AssertionResult ended = e2e::EndsWithExitCode(process_);
        if (!ended) error = std::string("the display: ") + ended.message();
        return ended;
    }

private:
    e2e::TempDir dir_;
    std::wstring ini_;
    e2e::Process process_;
    HWND window_ = nullptr;
};

// Counts a key the player or the display wrote, which should be in the file
// by now with its value.
void Wrote(Tally& tally, bool player, const std::string& bytes, const std::wstring& section, const std::wstring& key,
           const std::string& value) {
    ++(player ? tally.playerKeysWritten : tally.displayWrites);
    const std::optional<std::string> now = e2e::IniValueIn(bytes, section, key);
    if (now == value) return;
    ++(player ? tally.playerKeysLost : tally.displayWritesLost);
    if (tally.firstLoss.empty())
        tally.firstLoss = (player ? "player's " : "display's ") + e2e::Utf8(section + L"/" + key) + " is " +
                          (now ? "\"" + *now + "\"" : "missing") + " instead of \"" + value + "\"";
}

void PlayerKeysOfGeneration(Tally& tally, const std::string& bytes, int generation) {
    for (int i = 1; i <= kPlayerKeys; ++i)
        Wrote(tally, true, bytes, L"Sorbel", PlayerKey(i), e2e::Utf8(PlayerValue(i, generation)));
}

// Quit: a click on "Color" changes the scheme (13, red, to 14, silver); then
// the player writes Visible=0 and its keys one by one, and the display
// closes, saving ColorNum, somewhere among them.
bool QuitRound(const std::wstring& exe, std::mt19937& random, Tally& tally, std::string& error) {
    Display display;
    if (!display.Start(exe, PlayerFile(1, 0), error)) return false;
    if (!display.Click(display.Label(L"Color"), [&] { return display.Colour(RGB(0xC0, 0xC0, 0xC0)) > 20; })) {
        error = "a press on Color changed no colour";
        return false;
    }
    const std::wstring& ini = display.Ini();
    WritePrivateProfileStringW(L"VISTEL", L"Visible", L"0", ini.c_str());
    for (int i = 1; i <= kPlayerKeys; ++i) {
        if (random() % 4 == 0) Sleep(random() % 3);
        WritePrivateProfileStringW(L"Sorbel", PlayerKey(i).c_str(), PlayerValue(i, 2).c_str(), ini.c_str());
    }
    if (!display.WaitForEnd(error)) return false;
    const std::string bytes = display.Bytes();
    Wrote(tally, true, bytes, L"VISTEL", L"Visible", "0");
    PlayerKeysOfGeneration(tally, bytes, 2);
    Wrote(tally, false, bytes, L"VISTEL", L"ColorNum", "14");
    return true;
}

// Held: the player opens its file for writing, sharing reads only, the user
// presses the mode label (連続再生 to １曲リピート, How=1), and after 15 to
// 200 ms the player rewrites the whole file (its keys of a new generation,
// How still 0 as it knew it) and lets go.
bool HeldRound(const std::wstring& exe, std::mt19937& random, Tally& tally, std::string& error) {
    Display display;
    if (!display.Start(exe, PlayerFile(1, 0), error)) return false;
    const std::wstring& ini = display.Ini();
    HANDLE held = CreateFileW(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        error = "the player could not open its file";
        return false;
    }
    const DWORD holdMs = 15 + random() % 186;
    bool rewritten = false;
    bool open = true;
    HWND mode = display.Label(L"連続再生");
    const bool clicked = display.Click(mode, [&] { return StoredText(mode) == L"１曲リピート"; }, [&] {
        Sleep(holdMs);
        const std::string whole = PlayerFile(2, 0);
        DWORD written = 0;
        rewritten = SetFilePointer(held, 0, nullptr, FILE_BEGIN) == 0 &&
                    WriteFile(held, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr) &&
                    written == whole.size() && SetEndOfFile(held);
        CloseHandle(held);
        open = false;
    });
    if (open) CloseHandle(held);
    if (!clicked || !rewritten) {
        error = clicked ? "the player could not rewrite its file" : "a press on the mode label stepped nothing";
        return false;
    }
    e2e::WaitUntil([&] { return e2e::IniValueIn(display.Bytes(), L"VISTEL", L"How") == "1"; });
    const std::string bytes = display.Bytes();
    PlayerKeysOfGeneration(tally, bytes, 2);
    Wrote(tally, false, bytes, L"VISTEL", L"How", "1");
    if (!display.Running()) ++tally.wrongCloses;
    return display.Close(error);
}

// Lock: the player holds its file with no sharing for half a second, and the
// user presses the mode label meanwhile.  The display shows nothing new and
// stays open; its press reaches the file once the lock is gone; it then
// follows the player again.
bool LockRound(const std::wstring& exe, std::mt19937& random, Tally& tally, std::string& error) {
    Display display;
    if (!display.Start(exe, PlayerFile(1, 0), error)) return false;
    const std::wstring& ini = display.Ini();
    HWND mode = display.Label(L"連続再生");
    HANDLE lock = CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        error = "the player could not lock its file";
        return false;
    }
    const ULONGLONG locked = GetTickCount64();
    Sleep(random() % 100);
    const bool clicked = display.Click(mode, [&] { return StoredText(mode) == L"１曲リピート"; });
    bool closed = false;
    while (GetTickCount64() - locked < 500) {
        closed = closed || !display.Running();
        Sleep(20);
    }
    CloseHandle(lock);
    if (closed || !display.Running()) {
        ++tally.wrongCloses;
        if (tally.firstLoss.empty()) tally.firstLoss = "the display closed while its file was locked";
        return true;
    }
    if (!clicked) {
        error = "a press on the mode label stepped nothing";
        return false;
    }
    e2e::WaitUntil([&] { return e2e::IniValueIn(display.Bytes(), L"VISTEL", L"How") == "1"; });
    Wrote(tally, false, display.Bytes(), L"VISTEL", L"How", "1");
    WritePrivateProfileStringW(L"VISTEL", L"PlaySong", L"Next", ini.c_str());
    const bool follows = e2e::WaitUntil([&] { return display.Label(L"Next") != nullptr; });
    Wrote(tally, true, display.Bytes(), L"VISTEL", L"PlaySong", "Next");
    if (!follows) {
        error = "the display no longer follows the player";
        return false;
    }
    return display.Close(error);
}

}  // namespace

const char* Name(Race race) {
    switch (race) {
    case Race::Quit: return "quit";
    case Race::Held: return "held";
    case Race::Lock: return "lock";
    }
    return "?";
}

bool RunRound(const std::wstring& exe, Race race, std::mt19937& random, Tally& tally, std::string& error) {
    bool ran = false;
    switch (race) {
    case Race::Quit: ran = QuitRound(exe, random, tally, error); break;
    case Race::Held: ran = HeldRound(exe, random, tally, error); break;
    case Race::Lock: ran = LockRound(exe, random, tally, error); break;
    }
    if (ran) ++tally.rounds;
    return ran;
}

}  // namespace race
