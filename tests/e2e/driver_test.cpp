// Tests of the end-to-end driver against fixture_window.exe, a window program
// whose every property is known, so the driver is trusted before it judges
// the real programs.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver.h"

namespace {

using e2e::kTimeoutMs;
const std::wstring kFixtureText = L"Fixture 表示";

// A rectangle's left, top, right and bottom, compared at once.
using Edges = std::vector<LONG>;
Edges EdgesOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// Starts the fixture in a fresh folder and finds its window.
class DriverTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::ProgramAvailable(L"Fixture", exe_));
        ASSERT_FALSE(dir_.Path().empty());
        process_ = e2e::Process::Start(exe_, {}, dir_.Path());
        ASSERT_TRUE(process_.Started()) << e2e::Utf8(process_.Error());
        window_ = e2e::WaitForWindowWithText(process_.Id(), kFixtureText, kTimeoutMs);
        ASSERT_NE(window_, nullptr);
    }

    std::wstring Status() const { return e2e::WindowText(GetDlgItem(window_, 104)); }

    bool StatusHas(const std::wstring& part) const {
        return e2e::WaitUntil([&] { return Status().find(part) != std::wstring::npos; }, kTimeoutMs);
    }

    std::wstring exe_;
    e2e::TempDir dir_;
    e2e::Process process_;
    HWND window_ = nullptr;
};

TEST(DriverText, MapsPathsConvertsCodePage932QuotesArgumentsAndReportsAFailedStart) {
    EXPECT_EQ(e2e::WinePath(L"/tmp/x/a.cas"), L"Z:\\tmp\\x\\a.cas");
    EXPECT_EQ(e2e::WinePath(L"/"), L"Z:\\");
    EXPECT_EQ(e2e::WinePath(L"C:\\Music\\a.cas"), L"C:\\Music\\a.cas");
    EXPECT_EQ(e2e::WinePath(e2e::Widen("/tmp/\xE6\x9B\xB2.cas")), L"Z:\\tmp\\曲.cas");
    EXPECT_EQ(e2e::FolderOf(L"Z:\\tmp\\x\\a.cas"), L"Z:\\tmp\\x");
    // 表 is 0x95 0x5C: its second byte is a backslash.
    EXPECT_EQ(e2e::ToCp932(L"表示"), std::string("\x95\x5C\x8E\xA6"));
    EXPECT_EQ(e2e::FromCp932("\x95\x5C\x8E\xA6"), L"表示");
    EXPECT_EQ(e2e::BuildCommandLine(L"C:\\p.exe", {L"a b", L"", L"c"}), L"\"C:\\p.exe\" \"a b\" \"\" c");
    EXPECT_EQ(e2e::BuildCommandLine(L"C:\\p.exe", {L"say \"hi\""}), L"");
    e2e::Process refused = e2e::Process::Start(L"C:\\p.exe", {L"\""});
    EXPECT_FALSE(refused.Started());
    EXPECT_FALSE(refused.Error().empty());
    e2e::TempDir dir;
    e2e::Process missing = e2e::Process::Start(dir.File(L"missing.exe"));
    EXPECT_FALSE(missing.Started());
    EXPECT_NE(missing.Error().find(L"CreateProcessW"), std::wstring::npos);
}

// Settings are read as the platform's profile functions read them, from the
// file as it is at that moment: a rewrite at once, within the same tick of
// the file system's clock, is read too.
TEST(DriverFiles, ReadsSettingsAsTheProfileFunctionsDoAndListsFolders) {
    e2e::TempDir dir;
    const std::wstring ini = dir.File(L"s.ini");
    ASSERT_TRUE(e2e::WriteFileBytes(ini, e2e::ToCp932(L"[Sorbel]\r\nKey=other\r\n[vistel]\r\n key = 表ソ ～ 春 \r\nEmpty=\r\n")));
    EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"KEY"), e2e::Utf8(L"表ソ ～ 春"));
    EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"Empty"), "");
    EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"Missing"), std::nullopt);
    EXPECT_EQ(e2e::IniValue(dir.File(L"none.ini"), L"VISTEL", L"Key"), std::nullopt);
    ASSERT_TRUE(e2e::WriteFileBytes(ini, "[VISTEL]\r\nKey=2\r\n"));
    EXPECT_EQ(e2e::IniValue(ini, L"VISTEL", L"Key"), "2");
    EXPECT_EQ(e2e::NamesIn(dir.Path()), (std::vector<std::string>{"s.ini"}));
}

TEST_F(DriverTest, PassesArgumentsAndWorkingFolder) {
    process_.Terminate();
    e2e::TempDir other;
    process_ = e2e::Process::Start(exe_, {L"plain", L"with space", L"日本語", L""},
                                   other.Path());
    ASSERT_TRUE(process_.Started());
    ASSERT_NE(e2e::WaitForWindowWithText(process_.Id(), kFixtureText, kTimeoutMs), nullptr);
    std::string args, cwd;
    ASSERT_TRUE(e2e::ReadFileBytes(other.File(L"args.txt"), args));
    EXPECT_EQ(e2e::Widen(args), L"plain\nwith space\n日本語\n\n");
    ASSERT_TRUE(e2e::ReadFileBytes(other.File(L"cwd.txt"), cwd));
    EXPECT_EQ(CompareStringOrdinal(e2e::Widen(cwd).c_str(), -1, other.Path().c_str(), -1, TRUE), CSTR_EQUAL)
        << e2e::Utf8(e2e::Widen(cwd)) << " vs " << e2e::Utf8(other.Path());
}

TEST_F(DriverTest, ReadsWindowPropertiesAndDirectChildren) {
    EXPECT_EQ(e2e::WindowText(window_), kFixtureText);
    EXPECT_EQ(e2e::ToCp932(e2e::WindowText(window_)), std::string("Fixture \x95\x5C\x8E\xA6"));
    EXPECT_EQ(e2e::ClassName(window_), L"E2EFixture");
    // No frame: the client area is the window's rectangle.
    EXPECT_EQ(EdgesOf(e2e::WindowRect(window_)), (Edges{100, 120, 340, 280}));
    EXPECT_EQ(EdgesOf(e2e::ClientRectOnScreen(window_)), (Edges{100, 120, 340, 280}));
    EXPECT_NE(e2e::Style(window_) & WS_POPUP, 0);
    EXPECT_EQ(e2e::Style(window_) & WS_CAPTION, 0);
    EXPECT_NE(e2e::ExStyle(window_) & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(e2e::IsVisible(window_));
    const auto windows = e2e::TopLevelWindows(process_.Id());
    EXPECT_NE(std::find(windows.begin(), windows.end(), window_), windows.end());
    const auto own = e2e::TopLevelWindows(GetCurrentProcessId());
    EXPECT_EQ(std::count(own.begin(), own.end(), window_), 0);

    const auto children = e2e::Children(window_);
    ASSERT_EQ(children.size(), 7u);
    const e2e::ChildWindow& label = children[0];
    EXPECT_EQ(label.className, L"Static");
    EXPECT_EQ(label.text, L"ラベル");
    EXPECT_EQ(label.id, 100);
    EXPECT_TRUE(label.visible);
    EXPECT_EQ(EdgesOf(label.rect), (Edges{10, 10, 110, 30}));
    EXPECT_EQ(children[1].className, L"Button");
    EXPECT_EQ(children[1].text, L"&Box");
    EXPECT_EQ(children[2].className, L"Edit");
    EXPECT_EQ(children[2].rect.top, 80);
    EXPECT_EQ(children[3].text, L"hidden");
    EXPECT_FALSE(children[3].visible);
    EXPECT_EQ(e2e::FindChild(window_, L"ラベル", L"Static"), label.handle);
    EXPECT_EQ(e2e::FindChild(window_, L"ラベル", L"Button"), nullptr);
    EXPECT_EQ(e2e::FindChild(window_, L"&Box"), children[1].handle);
}

TEST_F(DriverTest, ReadsAndAnswersMessageBoxes) {
    struct Case {
        const wchar_t* button;
        std::wstring caption, text;
        bool icon;
        bool byName;  // answered by the button's caption, not by its id
    };
    int answered = 0;
    for (const Case& c : {Case{L"Box", L"見出し", L"本文です", true, false},
                          Case{L"&Plain", L"Fixture", L"ただの本文", false, true}}) {
        SCOPED_TRACE(e2e::Utf8(c.button));
        EXPECT_TRUE(e2e::MessageBoxes(process_.Id()).empty());
        ASSERT_TRUE(e2e::PressButton(window_, c.button));
        e2e::MessageBoxContent content;
        HWND box = e2e::WaitForMessageBox(process_.Id(), kTimeoutMs, &content);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(content.Complete());
        EXPECT_EQ(content, e2e::ReadMessageBox(box));
        EXPECT_EQ(content.caption, c.caption);
        EXPECT_EQ(content.texts, std::vector<std::wstring>{c.text});
        EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_EQ(content.hasIcon, c.icon);
        ASSERT_TRUE(c.byName ? e2e::PressButton(box, L"OK") : e2e::AnswerMessageBox(box, IDOK));
        EXPECT_TRUE(StatusHas(L"box=1")) << e2e::Utf8(Status());
        EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::MessageBoxes(process_.Id()).empty(); }, kTimeoutMs));
        ++answered;
    }
    EXPECT_EQ(answered, 2);
}

// A box that shows before its caption, text and button name are there is
// taken only once they all are.
TEST_F(DriverTest, WaitsForAMessageBoxToBeFilledIn) {
    ASSERT_TRUE(e2e::PressButton(window_, L"&Late"));
    e2e::MessageBoxContent content;
    ASSERT_NE(e2e::WaitForMessageBox(process_.Id(), kTimeoutMs, &content), nullptr);
    EXPECT_EQ(content.caption, L"遅い箱");
    EXPECT_EQ(content.texts, std::vector<std::wstring>{L"遅れて出る本文"});
    EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
}

// A press held until the fixture's poll has seen it, however late that
// comes, is seen as a message too.
TEST_F(DriverTest, HeldPressIsSeenByPollingAndAsMessage) {
    const POINT origin = e2e::ClientOrigin(window_);
    EXPECT_TRUE(e2e::PressUntil({origin.x + 200, origin.y + 20}, [&] { return Status().find(L"polled=1 ") != std::wstring::npos; }))
        << e2e::Utf8(Status());
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, origin.x + 200);
    EXPECT_EQ(cursor.y, origin.y + 20);
    EXPECT_TRUE(StatusHas(L"clicks=1 ")) << e2e::Utf8(Status());
}

TEST_F(DriverTest, TypesIntoFocusedEditAndSendsEnter) {
    HWND edit = GetDlgItem(window_, 102);
    ASSERT_TRUE(e2e::PostKey(edit, VK_RETURN));
    EXPECT_TRUE(StatusHas(L"enters=1 ")) << e2e::Utf8(Status());

    ASSERT_TRUE(e2e::Activate(window_));
    ASSERT_TRUE(e2e::TypeUnicode(L"ab日本"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(edit) == L"ab日本"; }, kTimeoutMs))
        << e2e::Utf8(e2e::WindowText(edit));
    ASSERT_TRUE(e2e::SendEnter());
    EXPECT_TRUE(StatusHas(L"enters=2 ")) << e2e::Utf8(Status());
}

TEST_F(DriverTest, CapturesScreenPixels) {
    const POINT origin = e2e::ClientOrigin(window_);
    EXPECT_EQ(e2e::ClientRectOnScreen(window_).right, origin.x + 240);
    // A part of the client area that no child covers: the class brush colour.
    const RECT area{origin.x + 190, origin.y + 135, origin.x + 230, origin.y + 155};
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::CountColour(area, RGB(10, 200, 30)) == 40 * 20; }, kTimeoutMs));
    e2e::ScreenCapture capture;
    ASSERT_TRUE(e2e::CaptureScreen(area, capture));
    EXPECT_EQ(capture.width, 40);
    EXPECT_EQ(capture.height, 20);
    EXPECT_EQ(capture.At(39, 19), RGB(10, 200, 30));
    // The label covers the window's colour with its own background and text
    // once its first WM_PAINT has run; its text is drawn in the default
    // text colour, black.
    const RECT label{origin.x + 10, origin.y + 10, origin.x + 110, origin.y + 30};
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::CountColour(label, RGB(10, 200, 30)) == 0; }, kTimeoutMs));
    EXPECT_GT(e2e::CountColour(label, RGB(0, 0, 0)), 0);
}

TEST_F(DriverTest, CloseEndsProgramWithItsExitCode) {
    ASSERT_TRUE(e2e::PostClose(window_));
    EXPECT_TRUE(e2e::EndsWithExitCode(process_, 7));
    EXPECT_FALSE(process_.Running());
    EXPECT_FALSE(e2e::EndsWithExitCode(process_, 0));
}

TEST_F(DriverTest, LeavesNoProgramRunningWhenTheProcessObjectGoes) {
    const DWORD id = process_.Id();
    process_ = e2e::Process();
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (handle) {
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
        CloseHandle(handle);
    }
    EXPECT_TRUE(e2e::TopLevelWindows(id).empty());
}

}  // namespace
