// The GUI layer on the in-memory platform: forms built from their layouts,
// handlers, the application's life cycle and error report, labels, timers
// and drawing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/gui/forms.h"
#include "framework/gui/system.h"
#include "framework/memory/memory_platform.h"

namespace fw {
namespace {

class TTestForm;
extern const TFormDesign TestDesign;

class TTestForm : public TForm {
public:
    explicit TTestForm(TComponent* owner) : TForm(owner, TestDesign) {}

    TLabel* LaAuto = Component<TLabel>("LaAuto");
    TLabel* LaFixed = Component<TLabel>("LaFixed");
    TButton* BtGo = Component<TButton>("BtGo");
    TBitBtn* BtOk = Component<TBitBtn>("BtOk");
    TTimer* Ticker = Component<TTimer>("Ticker");

    void FormCreate(TObject*) {
        log.push_back("create");
        if (failOnCreate) throw Exception("作成失敗");
    }
    void FormDestroy(TObject*) { log.push_back("destroy"); }
    void FormCloseQuery(TObject*, bool& canClose) {
        log.push_back("closequery");
        canClose = allowClose;
    }
    void BtGoClick(TObject* sender) {
        log.push_back(sender == BtGo ? "go" : "go?");
        if (failOnClick) throw std::runtime_error("broken handler");
    }
    void BtOkClick(TObject*) { log.push_back("ok"); }
    void TickerTimer(TObject*) { ticks.push_back(CurrentPlatformNow()); }

    static long long CurrentPlatformNow() { return static_cast<MemoryPlatform&>(CurrentPlatform()).Now(); }

    static inline std::vector<std::string> log;
    static inline bool failOnCreate = false;
    static inline bool failOnClick = false;
    static inline bool allowClose = true;
    std::vector<long long> ticks;
};

const TFormDesign TestDesign = {
    .Name = "TestForm",
    .Caption = "試験",
    .Left = 10,
    .Top = 20,
    .ClientWidth = 100,
    .ClientHeight = 50,
    .BorderStyle = bsNone,
    .OnCreate = NotifyHandler<&TTestForm::FormCreate>,
    .OnDestroy = NotifyHandler<&TTestForm::FormDestroy>,
    .OnCloseQuery = CloseQueryHandler<&TTestForm::FormCloseQuery>,
    .Controls =
        {
            {.Kind = TControlKind::Label, .Name = "LaAuto", .Left = 1, .Top = 2, .Width = 50, .Height = 9,
             .Caption = "ab", .ParentFont = false, .Font = {.Height = -10}, .AutoSize = true},
            {.Kind = TControlKind::Label, .Name = "LaFixed", .Left = 3, .Top = 4, .Width = 40, .Height = 9,
             .Caption = "xy", .AutoSize = false},
            {.Kind = TControlKind::Button, .Name = "BtGo", .Caption = "Go", .TabOrder = 1,
             .OnClick = NotifyHandler<&TTestForm::BtGoClick>},
            {.Kind = TControlKind::BitBtn, .Name = "BtOk", .Caption = "OK", .TabOrder = 0, .BitBtnKind = bkOK,
             .OnClick = NotifyHandler<&TTestForm::BtOkClick>},
            {.Kind = TControlKind::Timer, .Name = "Ticker", .Interval = 40, .Enabled = false,
             .OnClick = NotifyHandler<&TTestForm::TickerTimer>},
        },
};

class GuiTest : public ::testing::Test {
protected:
    GuiTest() {
        TTestForm::log.clear();
        TTestForm::failOnCreate = false;
        TTestForm::failOnClick = false;
        TTestForm::allowClose = true;
        application = std::make_unique<TApplication>();
        application->SetTitle("Title");
    }
    TTestForm* Create() {
        TTestForm* form = nullptr;
        application->CreateForm(form);
        return form;
    }

    MemoryPlatform platform;
    std::unique_ptr<TApplication> application;
};

TEST_F(GuiTest, LayoutBuildsTheWindowAndBindsControlsAndHandlers) {
    TTestForm* form = Create();
    EXPECT_EQ(application->MainForm(), form);
    EXPECT_EQ(platform.WindowOf(form->Handle()).text, "試験");
    EXPECT_EQ(form->Left(), 10);
    EXPECT_EQ(form->Top(), 20);
    EXPECT_EQ(form->ClientRect(), Rect(0, 0, 100, 50));
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(TTestForm::log, std::vector<std::string>{"create"});
    EXPECT_EQ(form->DefaultButton(), form->BtOk);
    form->BtGo->Click();
    form->PressDefaultButton();
    EXPECT_EQ(TTestForm::log, (std::vector<std::string>{"create", "go", "ok"}));
    EXPECT_THROW(form->Component<TLabel>("Missing"), Exception);
    EXPECT_THROW(form->Component<TLabel>("BtGo"), Exception);  // wrong kind
}

TEST_F(GuiTest, HandlerExceptionsAreReportedWithTheTitleAndTheProgramGoesOn) {
    TTestForm::failOnCreate = true;
    TTestForm* form = Create();
    ASSERT_NE(form, nullptr);
    TTestForm::failOnClick = true;
    form->BtGo->Click();
    ASSERT_EQ(platform.messageBoxes.size(), 2u);
    EXPECT_EQ(platform.messageBoxes[0].text, "作成失敗");
    EXPECT_EQ(platform.messageBoxes[1].text, "broken handler");
    for (const auto& box : platform.messageBoxes) {
        EXPECT_EQ(box.caption, "Title");
        EXPECT_EQ(box.flags, MB_OK | MB_ICONERROR);
    }
}

TEST_F(GuiTest, ClosingTheMainFormAsksFirstThenEndsTheApplication) {
    TTestForm* form = Create();
    TTestForm::allowClose = false;
    form->Close();
    EXPECT_FALSE(application->Terminated());
    TTestForm::allowClose = true;
    form->Close();
    EXPECT_TRUE(application->Terminated());
    application.reset();  // destroys the form
    EXPECT_EQ(TTestForm::log, (std::vector<std::string>{"create", "closequery", "closequery", "destroy"}));
}

// A main form that Run shows is shown as the launcher asked (a shortcut set
// to start minimised); one the program shows later, as the program asks.
// A main form not shown at start leaves the launcher's show command to the
// never-shown application window, which is hidden after Run whatever it was.
TEST_F(GuiTest, RunShowsTheMainFormUnlessToldNotToOrAlreadyTerminated) {
    constexpr int kNone = -1;
    struct Case {
        bool show;
        bool terminateFirst;
        int launch;
        bool expectShown;
        bool expectMinimised;
    } cases[] = {
        {true, false, kNone, true, false},
        {false, false, kNone, false, false},
        {true, true, kNone, false, false},
        {true, false, SW_SHOWMINNOACTIVE, true, true},
        {false, false, SW_SHOWNORMAL, false, false},
        {false, false, SW_SHOWMINIMIZED, false, false},
        {false, false, SW_SHOWMINNOACTIVE, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.show << c.terminateFirst << c.launch);
        platform.firstShowMade = false;
        platform.launcherShowCommand.reset();
        if (c.launch != kNone) platform.launcherShowCommand = c.launch;
        application = std::make_unique<TApplication>();
        application->SetShowMainForm(c.show);
        TTestForm* form = Create();
        if (c.terminateFirst) application->Terminate();
        platform.onIdle = [&] { application->Terminate(); };
        application->Run();
        EXPECT_EQ(form->Visible(), c.expectShown);
        EXPECT_EQ(platform.WindowOf(form->Handle()).minimized, c.expectMinimised);
        if (!c.show) {
            EXPECT_FALSE(platform.IsWindowVisible(platform.ApplicationWindow()));
            form->Show();
            EXPECT_FALSE(platform.WindowOf(form->Handle()).minimized);
        }
    }
}

TEST_F(GuiTest, AutoSizeLabelsFollowTheirTextAndUnchangedTextTouchesNothing) {
    TTestForm* form = Create();
    // The in-memory platform measures a single-byte character half as wide
    // as the font's height, a double-byte one as wide.
    EXPECT_EQ(form->LaAuto->Width(), 10);
    EXPECT_EQ(form->LaAuto->Height(), 10);
    form->LaAuto->SetCaption("表ab");
    EXPECT_EQ(form->LaAuto->Width(), 20);
    EXPECT_EQ(platform.WindowOf(form->LaAuto->Handle()).rect, Bounds(1, 2, 20, 10));
    int changes = platform.WindowOf(form->LaAuto->Handle()).textChanges;
    form->LaAuto->SetCaption("表ab");
    EXPECT_EQ(platform.WindowOf(form->LaAuto->Handle()).textChanges, changes);
    form->LaFixed->SetCaption("a much longer text");
    EXPECT_EQ(form->LaFixed->Width(), 40);
    EXPECT_EQ(platform.WindowOf(form->LaFixed->Handle()).text, "a much longer text");
}

TEST_F(GuiTest, SwitchingATimerOnRestartsItsInterval) {
    TTestForm* form = Create();
    platform.Advance(100);
    EXPECT_TRUE(form->ticks.empty());  // designed disabled
    form->Ticker->SetEnabled(true);    // at 100
    platform.Advance(30);
    form->Ticker->SetEnabled(true);  // at 130: the next tick moves to 170
    platform.Advance(100);
    EXPECT_EQ(form->ticks, (std::vector<long long>{170, 210}));
    form->Ticker->SetEnabled(false);
    platform.Advance(100);
    EXPECT_EQ(form->ticks.size(), 2u);
}

TEST_F(GuiTest, CopyRectPaintsWhatLiesOutsideTheSourceBlack) {
    TTestForm* form = Create();
    TBitmap bitmap;
    bitmap.SetWidth(4);
    bitmap.SetHeight(3);
    bitmap.Canvas()->FillRect(Rect(0, 0, 4, 3), clAqua);
    // Source from (2,1) to (8,5): only (2..3, 1..2) lies inside the bitmap.
    form->Canvas()->FillRect(form->ClientRect(), clWhite);
    form->Canvas()->CopyRect(Rect(10, 10, 16, 14), *bitmap.Canvas(), Rect(2, 1, 8, 5));
    const auto& surface = platform.WindowOf(form->Handle()).surface;
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 16; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            bool inside = x < 12 && y < 12;
            EXPECT_EQ(surface.At(x, y), inside ? clAqua : clBlack);
        }
    EXPECT_EQ(surface.At(9, 9), clWhite);
    EXPECT_EQ(surface.At(16, 14), clWhite);
}

TEST_F(GuiTest, BitmapsAreReplacedNotPiledUp) {
    {
        TBitmap bitmap;
        EXPECT_EQ(platform.bitmapsAlive, 0);
        bitmap.SetWidth(10);
        EXPECT_EQ(platform.bitmapsAlive, 0);  // no height yet
        bitmap.SetHeight(10);
        bitmap.SetWidth(20);
        EXPECT_EQ(platform.bitmapsAlive, 1);
    }
    EXPECT_EQ(platform.bitmapsAlive, 0);
}

TEST_F(GuiTest, CommandLineArgumentsAndShowMessage) {
    platform.exeName = "C:\\Tools\\Prog.exe";
    platform.commandLine = "\"C:\\Tools\\Prog.exe\"  a \"b c\" \"\" \"C:\\My Music\\\"";
    ASSERT_EQ(ParamCount(), 4);
    EXPECT_EQ(ParamStr(0), "C:\\Tools\\Prog.exe");
    EXPECT_EQ(ParamStr(1), "a");
    EXPECT_EQ(ParamStr(2), "b c");
    EXPECT_EQ(ParamStr(3), "");
    EXPECT_EQ(ParamStr(4), "C:\\My Music\\");
    EXPECT_EQ(ParamStr(5), "");
    platform.commandLine = "";
    EXPECT_EQ(ParamCount(), 0);

    ShowMessage("完了");
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].caption, "Title");
    // The title also names the program to the system.
    EXPECT_EQ(platform.applicationTitle, "Title");
    EXPECT_EQ(platform.messageBoxes[0].flags, MB_OK);
}

TEST_F(GuiTest, ScreenCanvasIsReleasedAndCursorFailureIsReported) {
    {
        TScreenCanvas screen;
        EXPECT_EQ(platform.screenDCsOutstanding, 1);
    }
    EXPECT_EQ(platform.screenDCsOutstanding, 0);
    TPoint p{5, 5};
    platform.cursorAvailable = false;
    EXPECT_FALSE(GetCursorPos(&p));
    platform.cursorAvailable = true;
    platform.cursor = {7, 8};
    EXPECT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p, (TPoint{7, 8}));
    platform.leftButton = true;
    EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
    platform.leftButton = false;
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
}

}  // namespace
}  // namespace fw
