// Smoke tests of the two programs: each starts under Wine, shows its window
// with the designed geometry scaled to the screen's pixels per inch, has one
// task bar button named after the program, and ends with exit code 0 when
// asked to close.  The same tests run in a Wine prefix set to 144 pixels per
// inch (tests/e2e/CMakeLists.txt), where SORBEL_EXPECTED_DPI says so.  And
// the player stand-in, a console program, run once for each of its commands
// that touch the settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using e2e::kTimeoutMs;

// What the programs' layouts come to at a setting of the screen: Vistel's
// client area and the place of its mode label, Tovakin's client area and
// the place of its source field.
struct Scale {
    int dpi;
    SIZE vistel;
    POINT mode;
    SIZE tovakin;
    POINT source;
};
constexpr Scale kScales[] = {
    {96, {198, 90}, {120, 72}, {442, 100}, {120, 8}},
    {144, {297, 135}, {180, 108}, {663, 150}, {180, 12}},
};

// The setting this run is meant for.
int ExpectedDpi() {
    const char* value = std::getenv("SORBEL_EXPECTED_DPI");
    return value && *value ? std::atoi(value) : 96;
}

const Scale* ExpectedScale() {
    for (const Scale& scale : kScales)
        if (scale.dpi == ExpectedDpi()) return &scale;
    return nullptr;
}

TEST(Screen, HasThePixelsPerInchThisRunIsFor) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(dpi, ExpectedDpi());
    EXPECT_NE(ExpectedScale(), nullptr) << "no expectations for " << ExpectedDpi() << " pixels per inch";
}

// The one task bar button of a process: its window, with this text.
testing::AssertionResult OneTaskbarButton(DWORD processId, const std::wstring& text, HWND& button) {
    const std::vector<HWND> buttons = e2e::TaskbarWindows(processId);
    if (buttons.size() != 1) return testing::AssertionFailure() << buttons.size() << " task bar buttons";
    button = buttons.front();
    if (e2e::WindowText(button) != text)
        return testing::AssertionFailure() << "the button says \"" << e2e::Utf8(e2e::WindowText(button)) << "\"";
    return testing::AssertionSuccess();
}

TEST(VistelSmoke, ShowsBorderlessTopmostWindowAndClosesWithExitCodeZero) {
    const Scale* scale = ExpectedScale();
    ASSERT_NE(scale, nullptr);
    std::wstring exe;
    ASSERT_TRUE(e2e::ProgramAvailable(L"Vistel", exe));
    e2e::TempDir dir;
    const std::wstring ini = dir.File(L"Sorbel.ini");
    e2e::Process vistel;
    std::string error;
    // A status section that keeps the window open; shown by its first poll.
    HWND window = e2e::StartVistelIn(exe, dir.Path(), "[VISTEL]\r\nVisible=1\r\n", vistel, error);
    ASSERT_NE(window, nullptr) << error;

    const SIZE client = e2e::ClientSize(window);
    EXPECT_EQ(client.cx, scale->vistel.cx);
    EXPECT_EQ(client.cy, scale->vistel.cy);
    const RECT frame = e2e::WindowRect(window);
    EXPECT_EQ(frame.left, 757);
    EXPECT_EQ(frame.top, 136);
    // No caption and no frame: the window is exactly its client area.
    EXPECT_EQ(frame.right - frame.left, scale->vistel.cx);
    EXPECT_EQ(frame.bottom - frame.top, scale->vistel.cy);
    const LONG_PTR style = e2e::Style(window);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_NE(e2e::ExStyle(window) & WS_EX_TOPMOST, 0);

    // One task bar button named after the program.
    HWND button = nullptr;
    EXPECT_TRUE(OneTaskbarButton(vistel.Id(), L"Vistel", button));
    EXPECT_EQ(GetWindow(window, GW_OWNER), button);

    // A press on the mode label, at its scaled place, steps the mode: the
    // cursor and the label meet in screen pixels.
    HWND mode = e2e::FindChild(window, L"連続再生");
    ASSERT_NE(mode, nullptr);
    RECT place = e2e::WindowRect(mode);
    EXPECT_EQ(place.left - frame.left, scale->mode.x);
    EXPECT_EQ(place.top - frame.top, scale->mode.y);
    EXPECT_TRUE(e2e::PressUntil(e2e::CentreOf(mode), [&] { return e2e::IniValue(ini, L"VISTEL", L"How") == "1"; }));

    ASSERT_TRUE(e2e::PostClose(window));
    ASSERT_TRUE(e2e::EndsWithExitCode(vistel)) << "after WM_CLOSE";
    // Closing saves the colour scheme: the default 13, as nothing changed it.
    EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"ColorNum"), "13");
}

TEST(VistelSmoke, FindsTheSettingsBesideItInAFolderNamedInAnotherScript) {
    // Hangul, and "¥" (U+00A5), have no code page 932 form: the display must
    // still read and write the Sorbel.ini of its own folder, and never that
    // of a look-alike ("A¥B" is not "A\B").
    std::wstring exe;
    ASSERT_TRUE(e2e::ProgramAvailable(L"Vistel", exe));
    e2e::TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"A").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"A\\B").c_str(), nullptr));
    const std::string decoy = "[VISTEL]\r\nVisible=1\r\nCasFile=C:\\decoy.cas\r\nColorNum=5\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(dir.File(L"A\\B\\Sorbel.ini"), decoy));
    for (const wchar_t* name : {L"한국어", L"A\u00A5B"}) {
        SCOPED_TRACE(e2e::Utf8(name));
        const std::wstring folder = dir.File(name);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring ini = folder + L"\\Sorbel.ini";
        e2e::Process vistel;
        std::string error;
        HWND window = e2e::StartVistelIn(exe, folder, "[VISTEL]\r\nVisible=1\r\nCasFile=C:\\demo.cas\r\nColorNum=2\r\n",
                                         vistel, error);
        ASSERT_NE(window, nullptr) << error;
        // The cassette line shows what the file holds.
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FindChild(window, L"demo.cas 再生0/0全") != nullptr; }));

        // Changed behind its back, so that the close has a scheme to write.
        ASSERT_TRUE(WritePrivateProfileStringW(L"VISTEL", L"ColorNum", L"3", ini.c_str()));
        ASSERT_TRUE(e2e::PostClose(window));
        ASSERT_TRUE(e2e::EndsWithExitCode(vistel));
        // The scheme read at start is the one saved at close, in the same file.
        EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"ColorNum"), "2");
        std::string bytes;
        ASSERT_TRUE(e2e::ReadFileBytes(dir.File(L"A\\B\\Sorbel.ini"), bytes));
        EXPECT_EQ(bytes, decoy);
    }
}

TEST(TovakinSmoke, ShowsConverterDialogAndClosesWithExitCodeZero) {
    const Scale* scale = ExpectedScale();
    ASSERT_NE(scale, nullptr);
    std::wstring exe;
    ASSERT_TRUE(e2e::ProgramAvailable(L"Tovakin", exe));
    e2e::TempDir dir;
    e2e::Process tovakin = e2e::Process::Start(exe, {}, dir.Path());
    ASSERT_TRUE(tovakin.Started()) << e2e::Utf8(tovakin.Error());

    // Compared as UTF-16: narrow literals in this project are code page 932.
    const std::wstring caption = L"Zelbin - カセットファイルの絶対パスを相対パスに変換するぞ！";
    HWND window = e2e::WaitForWindowWithText(tovakin.Id(), caption, kTimeoutMs);
    ASSERT_NE(window, nullptr) << "no visible window with the converter's caption";

    const SIZE client = e2e::ClientSize(window);
    EXPECT_EQ(client.cx, scale->tovakin.cx);
    EXPECT_EQ(client.cy, scale->tovakin.cy);
    EXPECT_NE(e2e::Style(window) & WS_CAPTION, 0);
    // A fixed border: the user cannot resize the window.
    EXPECT_EQ(e2e::Style(window) & WS_THICKFRAME, 0);
    bool sourceField = false;
    for (const e2e::ChildWindow& child : e2e::Children(window))
        sourceField |= child.className == L"Edit" && child.rect.left == scale->source.x && child.rect.top == scale->source.y;
    EXPECT_TRUE(sourceField) << "no edit box at the source field's place";

    // The task bar and the task switcher name the program by the
    // application's title; the window keeps its caption.
    HWND button = nullptr;
    ASSERT_TRUE(OneTaskbarButton(tovakin.Id(), L"Zelbin", button));
    EXPECT_EQ(GetWindow(window, GW_OWNER), button);
    EXPECT_EQ(e2e::WindowText(window), caption);
    // Minimised, the program keeps its button and the window goes; restored
    // from the button, the window is back.
    ASSERT_TRUE(PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0));
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsIconic(button) && !e2e::IsVisible(window); }, kTimeoutMs))
        << "button minimised " << IsIconic(button) << ", window shown " << e2e::IsVisible(window);
    EXPECT_TRUE(e2e::IsVisible(button));
    ASSERT_TRUE(PostMessageW(button, WM_SYSCOMMAND, SC_RESTORE, 0));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsIconic(button) && e2e::IsVisible(window); }, kTimeoutMs));

    ASSERT_TRUE(e2e::PostClose(window));
    ASSERT_TRUE(e2e::EndsWithExitCode(tovakin)) << "after WM_CLOSE";
}

// What a console program wrote and how it ended.
struct ConsoleRun {
    bool ended = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;  // bytes written to standard output
    std::string err;  // and to standard error
};

// Runs a console program to its end with standard output and error going
// to files in `scratch`, so it writes bytes (code page 932 text), not to a
// console; standard input is empty.
ConsoleRun RunConsole(const std::wstring& exe, const std::vector<std::wstring>& args, const e2e::TempDir& scratch) {
    ConsoleRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring outPath = scratch.File(L"out.txt");
    const std::wstring errPath = scratch.File(L"err.txt");
    auto open = [&](const std::wstring& path, DWORD access, DWORD disposition) {
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = open(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = open(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE in = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
    std::wstring line = e2e::BuildCommandLine(exe, args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE && !line.empty() &&
                         CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &info);
    for (HANDLE h : {out, err, in})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!started) return run;
    run.ended = WaitForSingleObject(info.hProcess, kTimeoutMs) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(info.hProcess, &run.exitCode);
    if (!run.ended) TerminateProcess(info.hProcess, 255);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    e2e::ReadFileBytes(outPath, run.out);
    e2e::ReadFileBytes(errPath, run.err);
    return run;
}

TEST(StandInSmoke, SetsAndShowsJapaneseExactlyAndRefusesWhatCodePage932CannotHold) {
    std::wstring exe;
    ASSERT_TRUE(e2e::ProgramAvailable(L"StandIn", exe));
    e2e::TempDir dir;
    e2e::TempDir scratch;
    ASSERT_FALSE(dir.Path().empty());
    ASSERT_FALSE(scratch.Path().empty());
    const std::wstring ini = dir.File(L"Sorbel.ini");
    const std::string player = "[Sorbel]\r\nVolume=80\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(ini, player));

    // Characters whose second byte is a backslash (表 ソ), and the
    // full-width tilde, which code page 932 holds as 0x81 0x60.
    const std::wstring song = L"表ソ～ 春";
    const std::wstring cassette = L"C:\\曲集\\表.cas";
    ConsoleRun set = RunConsole(exe, {L"set", ini, L"PlaySong=" + song, L"CasFile=" + cassette, L"Count=12"}, scratch);
    ASSERT_TRUE(set.ended) << "SorbelStandIn set did not end";
    EXPECT_EQ(set.exitCode, 0u) << set.err;
    std::string bytes;
    ASSERT_TRUE(e2e::ReadFileBytes(ini, bytes));
    EXPECT_EQ(bytes.substr(0, player.size()), player) << "the player's section changed";
    EXPECT_NE(bytes.find("\r\nPlaySong=\x95\x5C\x83\x5C\x81\x60 \x8F\x74\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\nPlaySong=" + e2e::ToCp932(song) + "\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\nCasFile=" + e2e::ToCp932(cassette) + "\r\n"), std::string::npos) << bytes;

    // show prints the values as Vistel reads them, in code page 932 when
    // its output is not a console.
    ConsoleRun show = RunConsole(exe, {L"show", ini}, scratch);
    ASSERT_TRUE(show.ended) << "SorbelStandIn show did not end";
    EXPECT_EQ(show.exitCode, 0u) << show.err;
    std::multiset<std::string> shown;  // its lines, without their line ends
    std::istringstream lines(show.out);
    for (std::string line; std::getline(lines, line);) shown.insert(line.substr(0, line.find_last_not_of('\r') + 1));
    EXPECT_EQ(shown.count("PlaySong=" + e2e::ToCp932(song)), 1u) << show.out;
    EXPECT_EQ(shown.count("CasFile=" + e2e::ToCp932(cassette)), 1u) << show.out;
    EXPECT_EQ(shown.count("Count=12"), 1u) << show.out;

    // Hangul has no code page 932 form: refused with a message and the
    // usage exit code, and the file is left as it was.
    ConsoleRun refused = RunConsole(exe, {L"set", ini, L"PlaySong=\uD55C\uAD6D\uC5B4"}, scratch);
    ASSERT_TRUE(refused.ended) << "SorbelStandIn set did not end";
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_NE(refused.err.find("code page 932 cannot hold"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("PlaySong="), std::string::npos) << refused.err;
    std::string after;
    ASSERT_TRUE(e2e::ReadFileBytes(ini, after));
    EXPECT_EQ(after, bytes);
}

}  // namespace
