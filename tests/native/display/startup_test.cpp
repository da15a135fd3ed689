// Vistel's start, window, close and end: where the settings file is, the
// window as designed, FormCreate, FormCloseQuery, FormDestroy and the
// program entry.
#include <optional>
#include <string>

#include "display_fixture.h"
#include "framework/gui/entry.h"

namespace vistel_test {
namespace {

TEST_F(VistelTest, SettingsFileIsTheSorbelIniBesideTheExecutable) {
    // "表" and "ソ" end in the byte 0x5C; "能" too.
    ASSERT_EQ(std::string("表ソ能"), "\x95\x5C\x83\x5C\x94\x5C");
    struct Case {
        const char* exe;
        const char* ini;
    } cases[] = {
        {"C:\\Sorbel\\Vistel.exe", "C:\\Sorbel\\Sorbel.ini"},
        {"C:\\Vistel.exe", "C:\\Sorbel.ini"},
        {"D:\\Program Files\\表\\Vistel.exe", "D:\\Program Files\\表\\Sorbel.ini"},
        {"C:\\能\\ソ\\Vistel.exe", "C:\\能\\ソ\\Sorbel.ini"},
        {"C:\\Sorbel\\表.exe", "C:\\Sorbel\\Sorbel.ini"},
        {"\\\\server\\share\\Vistel.exe", "\\\\server\\share\\Sorbel.ini"},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        platform.exeName = c.exe;
        EXPECT_EQ(MainForm->OpenSettings()->FileName(), c.ini);
    }
}

TEST_F(VistelTest, ReadsOnlyTheSorbelIniOfItsOwnFolder) {
    platform.exeName = "C:\\表\\Vistel.exe";
    files.Put("C:\\表\\Sorbel.ini", Section({"ColorNum=5", "Visible=1", "PlaySong=ここ"}));
    files.Put("C:\\Sorbel.ini", Section({"ColorNum=7", "Visible=1", "PlaySong=親"}));
    files.Put(kIni, Section({"ColorNum=9", "Visible=1", "PlaySong=他"}));
    Start();
    EXPECT_EQ(ColorIndex, 5);
    Cycle();
    EXPECT_FALSE(Closed());
    EXPECT_EQ(MainForm->LaStatusBar->Caption(), "ここ");
    MainForm->Close();
    EXPECT_EQ(files.Get("C:\\表\\Sorbel.ini"), Section({"ColorNum=5", "Visible=1", "PlaySong=ここ"}));
    EXPECT_EQ(files.Get("C:\\Sorbel.ini"), Section({"ColorNum=7", "Visible=1", "PlaySong=親"}));
    // The file already held the scheme: nothing was written.
    EXPECT_EQ(files.ReplaceCount(), 0);
}

TEST_F(VistelTest, WindowStartsHiddenAsDesigned) {
    Start();
    EXPECT_EQ(Position(), (fw::TPoint{757, 136}));
    EXPECT_EQ(MainForm->Width(), 198);
    EXPECT_EQ(MainForm->Height(), 90);
    EXPECT_EQ(MainForm->ClientRect(), fw::Rect(0, 0, 198, 90));
    EXPECT_EQ(MainForm->Caption(), "Vistel");
    EXPECT_EQ(MainForm->Design().BorderStyle, fw::bsNone);
    EXPECT_EQ(MainForm->Design().FormStyle, fw::fsStayOnTop);
    EXPECT_FALSE(MainForm->Visible());
    EXPECT_TRUE(Window().showCommands.empty());
    EXPECT_EQ(MainForm->Timer->Interval(), 50u);
    EXPECT_TRUE(MainForm->Timer->Enabled());

    struct Case {
        fw::TLabel* label;
        int left, top, width, height, fontHeight;
        unsigned style;
        bool autoSize;
        fw::TAlignment alignment;
        const char* caption;  // null: not looked at
    } cases[] = {
        {MainForm->LaPath, 0, 0, -1, 13, 13, 0, true, fw::taLeftJustify, nullptr},
        {MainForm->LaStatusBar, 0, 16, -1, 13, 13, 0, true, fw::taLeftJustify, nullptr},
        {MainForm->LaCurrent, 0, 32, -1, 37, 37, 0, true, fw::taLeftJustify, "00:00"},
        {MainForm->Label3, 88, 32, -1, 37, 37, 0, true, fw::taLeftJustify, "/"},
        {MainForm->LaTotal, 112, 32, -1, 37, 37, 0, true, fw::taLeftJustify, "00:00"},
        {MainForm->LaDevice, 0, 72, 60, 15, 15, fw::fsItalic, false, fw::taLeftJustify, "一時停止"},
        {MainForm->LaColor, 80, 72, -1, 15, 15, fw::fsItalic, true, fw::taLeftJustify, "Color"},
        {MainForm->LaHow, 120, 72, 73, 17, 15, fw::fsItalic, false, fw::taCenter, "１曲リピート"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label->Name());
        EXPECT_EQ(c.label->Left(), c.left);
        EXPECT_EQ(c.label->Top(), c.top);
        if (c.width >= 0) {
            EXPECT_EQ(c.label->Width(), c.width);
        }
        EXPECT_EQ(c.label->Height(), c.height);
        EXPECT_EQ(c.label->Font()->Height(), -c.fontHeight);
        EXPECT_EQ(c.label->Font()->Style(), c.style);
        EXPECT_EQ(c.label->Font()->Name(), "ＭＳ Ｐゴシック");
        EXPECT_EQ(c.label->Font()->Charset(), SHIFTJIS_CHARSET);
        EXPECT_EQ(c.label->AutoSize(), c.autoSize);
        EXPECT_EQ(c.label->Alignment(), c.alignment);
        EXPECT_TRUE(c.label->Transparent());
        if (c.caption) {
            EXPECT_EQ(c.label->Caption(), c.caption);
        }
    }
}

// At the screen's setting, or at the scale of the display under the
// window's designed place where each display has its own.
TEST_F(VistelTest, LayoutIsScaledToItsDisplaysPixelsPerInchInPlace) {
    for (const bool ownScale : {false, true}) {
        SCOPED_TRACE(ownScale ? "display at 144, screen at 96" : "screen at 144");
        platform.pixelsPerInch = ownScale ? 96 : 144;
        if (ownScale)
            platform.monitors = {{fw::Bounds(-1024, 0, 1024, 768), 96}, {fw::Bounds(0, 0, 1024, 768), 144}};
        Restart();
        EXPECT_EQ(Position(), (fw::TPoint{757, 136}));
        EXPECT_EQ(MainForm->ClientRect(), fw::Rect(0, 0, 297, 135));
        struct Case {
            fw::TLabel* label;
            fw::TRect bounds;  // width 0: follows the text
            int fontHeight;
        } cases[] = {
            {MainForm->LaStatusBar, fw::Bounds(0, 24, 0, 20), 20},  // 13 by 1.5 is 19.5: halves round up
            {MainForm->LaTotal, fw::Bounds(168, 48, 0, 56), 56},
            {MainForm->LaHow, fw::Bounds(180, 108, 110, 26), 23},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label->Name());
            const int width = c.bounds.Width() ? c.bounds.Width() : c.label->Width();
            EXPECT_EQ(fw::Bounds(c.label->Left(), c.label->Top(), c.label->Width(), c.label->Height()),
                      fw::Bounds(c.bounds.Left, c.bounds.Top, width, c.bounds.Height()));
            EXPECT_EQ(c.label->Font()->Height(), -c.fontHeight);
        }
    }
}

TEST_F(VistelTest, TheEndOfTheSessionSavesTheSchemeAndEndsTheProgram) {
    StartWith(Section({"Visible=1", "ColorNum=4"}));
    Cycle();
    MainForm->NextColorScheme();  // a press on Color since the start
    fw::TMessage query{WM_QUERYENDSESSION, 0, 0, 0};
    MainForm->Dispatch(query);
    EXPECT_EQ(query.Result, 1);
    EXPECT_EQ(Saved("ColorNum"), "5");
    EXPECT_FALSE(Closed());
    fw::TMessage end{WM_ENDSESSION, 1, 0, 0};
    MainForm->Dispatch(end);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(files.ReplaceCount(), 1);
}

TEST_F(VistelTest, FormCreateRestoresTheApplicationAndTakesOneSnapshot) {
    Start();
    EXPECT_EQ(platform.restores, 1);
    EXPECT_EQ(platform.bitmapsAlive, 1);
    EXPECT_EQ(platform.screenDCsOutstanding, 0);
    EXPECT_EQ(files.ReplaceCount(), 0);
    EXPECT_FALSE(files.Exists(kIni));
}

TEST_F(VistelTest, CloseSavesColorNumAndKeepsEveryOtherByte) {
    const std::string before = "[Sorbel]\r\nVolume=80\r\nColorNum=2\r\n[VISTEL]\r\nVisible=1\r\nColorNum=4\r\n"
                               "How=1\r\n[Tail]\r\nx=y";
    StartWith(before);
    EXPECT_EQ(ColorIndex, 4);
    ColorIndex = 9;
    EXPECT_TRUE(MainForm->CloseQuery());
    std::string after = before;
    after.replace(after.find("ColorNum=4"), 10, "ColorNum=9");
    EXPECT_EQ(Ini(), after);
    MainForm->Close();
    EXPECT_TRUE(Closed());
}

// The program entry, run as the framework's own entry runs it.
class ProgramEntryTest : public VistelTest {
protected:
    int Run() {
        application = std::make_unique<fw::TApplication>();
        return ProgramMain();
    }
};

TEST_F(ProgramEntryTest, WithoutTheDisplayWantedTheWindowNeverShows) {
    const char* files_[] = {nullptr, "[VISTEL]\r\nVisible=0\r\nCasFile=C:\\a.cas\r\n"};
    for (const char* ini : files_) {
        SCOPED_TRACE(ini ? ini : "no Sorbel.ini");
        files.DeleteFile(kIni);
        if (ini) files.Put(kIni, ini);
        EXPECT_EQ(Run(), 0);
        EXPECT_TRUE(Closed());
        EXPECT_TRUE(Window().showCommands.empty());
        EXPECT_EQ(Window().paints, 0);
        ResetProgramState();
    }
}

// The first poll that wants the display shows it, once, without taking the
// focus, with the cassette line already set; it runs until the player turns
// Visible off, where it stands, writing nothing.
TEST_F(ProgramEntryTest, TheFirstPollThatWantsTheDisplayShowsItAndItRunsUntilVisibleOff) {
    files.Put(kIni, Section({"Visible=1", "CasFile=C:\\x\\曲.cas", "Count=3", "ColorNum=3"}));
    std::vector<std::string> shownWith;
    platform.onShowWindow = [&](fw::THandle window, int command) {
        if (window == MainForm->Handle()) shownWith.push_back(IntToStr(command) + " " + MainForm->LaPath->Caption());
    };
    platform.onIdle = [&] {
        if (platform.Now() >= 500) files.Put(kIni, Section({"Visible=0", "ColorNum=3"}));
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(shownWith, std::vector<std::string>{IntToStr(SW_SHOWNOACTIVATE) + " 曲.cas 再生0/3全"});
    EXPECT_EQ(platform.Now(), 550);
    EXPECT_EQ(Position(), (fw::TPoint{757, 136}));
    EXPECT_EQ(Ini(), Section({"Visible=0", "ColorNum=3"}));
    EXPECT_EQ(files.ReplaceCount(), 0);
}

// However the display was launched (a shortcut set to start minimised, a
// launcher that starts its programs hidden or activated), its own shows
// leave it shown, restored and without the focus: the first one, and the one
// after each drag's snapshot.
TEST_F(ProgramEntryTest, ItsOwnShowsNeverHideOrMinimiseItNorTakeTheFocusWhateverTheLaunch) {
    const std::optional<int> launches[] = {std::nullopt, SW_HIDE, SW_SHOWMINNOACTIVE, SW_SHOWMINIMIZED, SW_SHOWNORMAL};
    for (const std::optional<int>& launch : launches) {
        SCOPED_TRACE(launch ? IntToStr(*launch) : "no show command");
        files.Put(kIni, Section({"Visible=1"}));
        platform.launcherShowCommand = launch;
        platform.firstShowMade = false;
        const long long start = platform.Now();
        std::vector<std::string> states;
        // The display's window, and the application's, which never shows.
        auto state = [&] {
            const MemoryPlatform::Window& window = Window();
            return std::string(window.visible ? "shown" : "hidden") + (window.minimized ? " minimised" : "") +
                   (platform.activeWindow == MainForm->Handle() ? " active" : "") +
                   (platform.IsWindowVisible(platform.ApplicationWindow()) ? ", application window shown" : "");
        };
        platform.onIdle = [&] {
            const long long now = platform.Now() - start;
            if (now == 100) {  // shown by the first poll
                states.push_back(state());
                Press(150, 5);
            }
            if (now == 200) {  // a drag began, with its snapshot
                states.push_back(state());
                Release();
            }
            if (now >= 300) files.Put(kIni, Section({"Visible=0"}));
        };
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(states, (std::vector<std::string>{"shown", "shown"}));
        EXPECT_EQ(Window().showCommands.size(), 3u);
        ResetProgramState();
    }
}

TEST_F(ProgramEntryTest, WithoutSettingsFileEndsAfterTheFirstPollAndLeavesColorNum) {
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(platform.Now(), 50);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(Ini(), "[VISTEL]\r\nColorNum=13\r\n");
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(application->Title(), "Vistel");
    EXPECT_FALSE(application->ShowMainForm());
    ASSERT_NE(MainForm, nullptr);
    EXPECT_EQ(application->MainForm(), MainForm);
    // The defaults shown, the poll's timer left on.
    EXPECT_EQ(Captions(), (std::vector<std::string>{"新規カセット 再生0/0全", "停止", "00:00", "/", "00:00", "Color",
                                                    kContinuous, "停止"}));
    EXPECT_TRUE(MainForm->Timer->Enabled());
}

}  // namespace
}  // namespace vistel_test
