#include "player_race.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"

namespace race {

namespace {

// Guards against a hang only.
constexpr DWORD kTimeoutMs = 30000;
// How long the display may take to bring a write home once the player lets
// go of its file (it waits in steps of 10 ms), with room for a slow machine.
constexpr DWORD kSettleMs = 5000;
// A press the display samples every 50 ms must last across several polls.
constexpr DWORD kHoldMs = 250;
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

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                                  b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A key's value in the file's bytes, read directly: the profile functions
// may answer from their copy of the file.
std::optional<std::string> ValueIn(const std::string& bytes, const std::string& section, const std::string& key) {
    bool inSection = false;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = Trim(bytes.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            inSection = EqualNoCase(Trim(line.substr(1, line.find(']') - 1)), section);
        } else if (inSection) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos && EqualNoCase(Trim(line.substr(0, equals)), key))
                return Trim(line.substr(equals + 1));
        }
    }
    return std::nullopt;
}

// A copy of the display in a fresh folder beside its own settings file.
class Display {
public:
    bool Start(const std::wstring& exe, const std::string& settings, std::string& error) {
        copy_ = e2e::CopyInto(exe, dir_.Path());
        ini_ = dir_.File(L"Sorbel.ini");
        if (copy_.empty() || !e2e::WriteFileBytes(ini_, settings)) {
            error = "cannot set up the display's folder";
            return false;
        }
        process_ = e2e::Process::Start(copy_, {}, dir_.Path());
        if (!process_.Started()) {
            error = "cannot start the display: " + e2e::Utf8(process_.Error());
            return false;
        }
        // The display's own window, not the program's hidden one of the same name.
        window_ = e2e::WaitForWindow(process_.Id(), kTimeoutMs, [](HWND w) {
            return e2e::IsVisible(w) && e2e::WindowText(w) == L"Vistel" && e2e::ClientSize(w).cx > 0;
        });
        // Shown, and a poll has put up the cassette line.
        if (!window_ || !e2e::WaitUntil([&] { return Label(L"race.cas 再生1/9全") != nullptr; }, kTimeoutMs)) {
            error = "the display never showed the player's state";
            return false;
        }
        return true;
    }

    const std::wstring& Ini() const { return ini_; }
    std::string Bytes() const {
        std::string bytes;
        e2e::ReadFileBytes(ini_, bytes);
        return bytes;
    }
    bool Running() const { return process_.Running(); }

    HWND Label(const std::wstring& text) const { return e2e::FindChild(window_, text); }

    // Moves the cursor onto a label and holds the left button there for
    // kHoldMs, running `whileHeld` once the button is down.
    bool Click(HWND label, const std::function<void()>& whileHeld = {}) {
        RECT r;
        if (!label || !GetWindowRect(label, &r) || !e2e::MoveCursor((r.left + r.right) / 2, (r.top + r.bottom) / 2))
            return false;
        const ULONGLONG pressed = GetTickCount64();
        if (!e2e::LeftButtonDown()) return false;
        if (whileHeld) whileHeld();
        const ULONGLONG held = GetTickCount64() - pressed;
        if (held < kHoldMs) Sleep(static_cast<DWORD>(kHoldMs - held));
        const bool released = e2e::LeftButtonUp();
        e2e::MoveCursor(5, 5);
        return released;
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
        DWORD exitCode = 1;
        if (!process_.WaitForExit(kTimeoutMs, exitCode) || exitCode != 0) {
            error = "the display did not end with exit code 0";
            return false;
        }
        return true;
    }

private:
    e2e::TempDir dir_;
    std::wstring copy_;
    std::wstring ini_;
    e2e::Process process_;
    HWND window_ = nullptr;
};

// Counts a key the player wrote.
void PlayerWrote(Tally& tally, const std::string& bytes, const std::string& section, const std::string& key,
                 const std::string& value) {
    ++tally.playerKeysWritten;
    std::optional<std::string> now = ValueIn(bytes, section, key);
    if (now == value) return;
    ++tally.playerKeysLost;
    if (tally.firstLoss.empty())
        tally.firstLoss = "player's " + section + "/" + key + " is " + (now ? "\"" + *now + "\"" : "missing") +
                          " instead of \"" + value + "\"";
}

// Counts the display's write of `key`, which should be in the file by now.
void DisplayWrote(Tally& tally, const std::string& bytes, const std::string& key, const std::string& value) {
    ++tally.displayWrites;
    std::optional<std::string> now = ValueIn(bytes, "VISTEL", key);
    if (now == value) return;
    ++tally.displayWritesLost;
    if (tally.firstLoss.empty())
        tally.firstLoss = "display's " + key + " is " + (now ? "\"" + *now + "\"" : "missing") + " instead of \"" +
                          value + "\"";
}

void PlayerKeysOfGeneration(Tally& tally, const std::string& bytes, int generation) {
    for (int i = 1; i <= kPlayerKeys; ++i)
        PlayerWrote(tally, bytes, "Sorbel", e2e::Utf8(PlayerKey(i)), e2e::Utf8(PlayerValue(i, generation)));
}

// Quit: a click on "Color" changes the scheme (13 to 14); then the player
// writes Visible=0 and its keys one by one, and the display closes, saving
// ColorNum, somewhere among them.
bool QuitRound(const std::wstring& exe, std::mt19937& random, Tally& tally, std::string& error) {
    Display display;
    if (!display.Start(exe, PlayerFile(1, 0), error)) return false;
    if (!display.Click(display.Label(L"Color"))) {
        error = "no mouse input";
        return false;
    }
    Sleep(100);  // the release is seen
    const std::wstring& ini = display.Ini();
    WritePrivateProfileStringW(L"VISTEL", L"Visible", L"0", ini.c_str());
    for (int i = 1; i <= kPlayerKeys; ++i) {
        if (random() % 4 == 0) Sleep(random() % 3);
        WritePrivateProfileStringW(L"Sorbel", PlayerKey(i).c_str(), PlayerValue(i, 2).c_str(), ini.c_str());
    }
    if (!display.WaitForEnd(error)) return false;
    const std::string bytes = display.Bytes();
    PlayerWrote(tally, bytes, "VISTEL", "Visible", "0");
    PlayerKeysOfGeneration(tally, bytes, 2);
    DisplayWrote(tally, bytes, "ColorNum", "14");
    return true;
}

// Held: the player opens its file for writing, sharing reads only, the user
// clicks the mode label (連続再生 to １曲リピート, How=1), and after 15 to
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
    const bool clicked = display.Click(display.Label(L"連続再生"), [&] {
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
        error = clicked ? "the player could not rewrite its file" : "no mouse input";
        return false;
    }
    e2e::WaitUntil([&] { return ValueIn(display.Bytes(), "VISTEL", "How") == "1"; }, kSettleMs);
    std::string bytes = display.Bytes();
    PlayerKeysOfGeneration(tally, bytes, 2);
    DisplayWrote(tally, bytes, "How", "1");
    if (!display.Running()) ++tally.wrongCloses;
    return display.Close(error);
}

// Lock: the player holds its file with no sharing for half a second, and the
// user clicks the mode label meanwhile.  The display shows nothing new and
// stays open; its click reaches the file once the lock is gone; it then
// follows the player again.
bool LockRound(const std::wstring& exe, std::mt19937& random, Tally& tally, std::string& error) {
    Display display;
    if (!display.Start(exe, PlayerFile(1, 0), error)) return false;
    const std::wstring& ini = display.Ini();
    HANDLE lock = CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        error = "the player could not lock its file";
        return false;
    }
    const ULONGLONG locked = GetTickCount64();
    Sleep(random() % 100);
    const bool clicked = display.Click(display.Label(L"連続再生"));
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
        error = "no mouse input";
        return false;
    }
    e2e::WaitUntil([&] { return ValueIn(display.Bytes(), "VISTEL", "How") == "1"; }, kSettleMs);
    DisplayWrote(tally, display.Bytes(), "How", "1");
    WritePrivateProfileStringW(L"VISTEL", L"PlaySong", L"Next", ini.c_str());
    const bool follows = e2e::WaitUntil([&] { return display.Label(L"Next") != nullptr; }, kSettleMs);
    PlayerWrote(tally, display.Bytes(), "VISTEL", "PlaySong", "Next");
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
