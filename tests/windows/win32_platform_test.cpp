// The Win32 platform under a real window system: windows as the layouts
// describe them, the message map, painting from a bitmap, labels as child
// windows, timers in the message loop and in modal ones, and the code page
// 932 conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/cmdline.h"
#include "framework/gui/forms.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"
#include "framework/win32/win32_platform.h"
#include "tests/support/command_line_cases.h"

namespace fw {
namespace {

constexpr TColor kPicture = 0x00336699;  // blue 0x33, green 0x66, red 0x99

class TProbeForm;
extern const TFormDesign ProbeDesign;

class TProbeForm : public TForm {
public:
    explicit TProbeForm(TComponent* owner, const TFormDesign& design = ProbeDesign) : TForm(owner, design) {}

    // With boxAtFirstTick, the first tick shows a message box and the
    // third, ticking in the box's modal loop, closes it.
    void TickerTimer(TObject*) {
        ++ticks;
        if (box) ++ticksInBox;
        if (ticks == 1 && boxAtFirstTick) {
            box = true;
            Application->MessageBox("待機", "表示", MB_OK);
            box = false;
        }
        if (ticks == 3) {
            CloseMessageBoxes();
            Application->Terminate();
        }
    }
    static void CloseMessageBoxes() { EnumThreadWindows(GetCurrentThreadId(), CloseIfMessageBox, 0); }
    static BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770") PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    static void CALLBACK CloseMessageBoxesLate(HWND, UINT, UINT_PTR, DWORD) { CloseMessageBoxes(); }
    void BtOkClick(TObject*) { ++clicks; }

    // Paints the background from a bitmap of kPicture's colour, as a
    // display that imitates transparency does.
    void UsePicture() {
        picture = std::make_unique<TBitmap>();
        picture->SetWidth(198);
        picture->SetHeight(90);
        picture->Canvas()->FillRect(Rect(0, 0, 198, 90), kPicture);
    }
    void Dispatch(TMessage& message) override {
        if (message.Msg == WM_MOVE) ++moves;
        if (message.Msg == WM_ERASEBKGND && picture) {
            Canvas()->CopyRect(ClientRect(), *picture->Canvas(), ClientRect());
            message.Result = 1;
            return;
        }
        TForm::Dispatch(message);
    }

    std::unique_ptr<TBitmap> picture;
    int ticks = 0;
    bool boxAtFirstTick = false;
    bool box = false;
    int ticksInBox = 0;
    int clicks = 0;
    int moves = 0;
};

const TFormDesign ProbeDesign = {
    .Name = "ProbeForm",
    .Caption = "表示テスト",
    .Left = 300,
    .Top = 200,
    .ClientWidth = 198,
    .ClientHeight = 90,
    .BorderStyle = bsNone,
    .FormStyle = fsStayOnTop,
    .Controls =
        {
            {.Kind = TControlKind::Label, .Name = "LaText", .Left = 0, .Top = 0, .Width = 50, .Height = 13,
             .Caption = "表示", .ParentFont = false, .Font = {.Height = -13, .Color = clRed}, .AutoSize = true,
             .Transparent = true},
            {.Kind = TControlKind::Edit, .Name = "EdText", .Left = 0, .Top = 40, .Width = 100, .Height = 20,
             .TabOrder = 1},
            {.Kind = TControlKind::BitBtn, .Name = "BtOk", .Left = 110, .Top = 40, .Width = 75, .Height = 25,
             .Caption = "変換", .TabOrder = 0, .BitBtnKind = bkOK,
             .OnClick = NotifyHandler<&TProbeForm::BtOkClick>},
            {.Kind = TControlKind::CheckBox, .Name = "ChOption", .Left = 0, .Top = 70, .Width = 100, .Height = 17,
             .Caption = "選択", .TabOrder = 2},
            {.Kind = TControlKind::Timer, .Name = "Ticker", .Interval = 20, .Enabled = true,
             .OnClick = NotifyHandler<&TProbeForm::TickerTimer>},
        },
};

const TFormDesign DialogDesign = {
    .Name = "DialogForm",
    .Caption = "Zelbin",
    .ClientWidth = 442,
    .ClientHeight = 100,
    .BorderStyle = bsSingle,
    .Position = poDefault,
    .Controls = {},
};

// An italic label as the display has one, on a form like the probe's.
const TFormDesign ItalicDesign = [] {
    TFormDesign design = ProbeDesign;
    design.Name = "ItalicForm";
    design.Caption = "斜体";
    design.Controls = {
        {.Kind = TControlKind::Label, .Name = "LaColor", .Left = 80, .Top = 72, .Width = 34, .Height = 15,
         .Caption = "Color", .ParentFont = false, .Font = {.Height = -15, .Color = clRed, .Style = fsItalic},
         .AutoSize = true, .Transparent = true},
    };
    return design;
}();

class Win32PlatformTest : public ::testing::Test {
protected:
    TProbeForm* Create(const TFormDesign& design = ProbeDesign) { return new TProbeForm(&application, design); }
    static HWND Hwnd(THandle handle) { return reinterpret_cast<HWND>(handle); }

    win32::Win32Platform platform;
    TApplication application;
};

TEST_F(Win32PlatformTest, WindowsAreCreatedAsTheLayoutSays) {
    TProbeForm* popup = Create();
    HWND hwnd = Hwnd(popup->Handle());
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 198);
    EXPECT_EQ(client.bottom, 90);
    EXPECT_EQ(popup->Left(), 300);
    EXPECT_EQ(popup->Top(), 200);
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 64);
    EXPECT_EQ(std::wstring(text), L"表示テスト");

    TProbeForm* dialog = Create(DialogDesign);
    hwnd = Hwnd(dialog->Handle());
    style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);  // fixed size
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 442);
    EXPECT_EQ(client.bottom, 100);
}

TEST_F(Win32PlatformTest, ControlsAreChildWindowsWithTheirTextsAndTabOrder) {
    TProbeForm* form = Create();
    auto* label = form->Component<TLabel>("LaText");
    auto* edit = form->Component<TEdit>("EdText");
    auto* button = form->Component<TBitBtn>("BtOk");
    auto* check = form->Component<TCheckBox>("ChOption");
    HWND labelWindow = Hwnd(label->Handle());
    EXPECT_EQ(GetParent(labelWindow), Hwnd(form->Handle()));
    wchar_t text[64] = {};
    GetWindowTextW(labelWindow, text, 64);
    EXPECT_EQ(std::wstring(text), L"表示");
    label->SetCaption("能力");
    GetWindowTextW(labelWindow, text, 64);
    EXPECT_EQ(std::wstring(text), L"能力");
    EXPECT_GT(label->Width(), 0);

    SetWindowTextW(Hwnd(edit->Handle()), L"C:\\表\\a.cas");
    EXPECT_EQ(edit->Text(), "C:\\表\\a.cas");
    EXPECT_FALSE(check->Checked());
    check->SetChecked(true);
    EXPECT_TRUE(check->Checked());

    // The OK button is the default: Enter in the form presses it.
    EXPECT_EQ(GetDlgCtrlID(Hwnd(button->Handle())), IDOK);
    EXPECT_EQ(LOWORD(SendMessageW(Hwnd(form->Handle()), DM_GETDEFID, 0, 0)), IDOK);
    SendMessageW(Hwnd(form->Handle()), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Hwnd(button->Handle())));
    EXPECT_EQ(form->clicks, 1);

    // Tab order: button (0), edit (1), check box (2).
    HWND first = GetNextDlgTabItem(Hwnd(form->Handle()), nullptr, FALSE);
    EXPECT_EQ(first, Hwnd(button->Handle()));
    EXPECT_EQ(GetNextDlgTabItem(Hwnd(form->Handle()), first, FALSE), Hwnd(edit->Handle()));
}

// The system tells a form that its display has another scale with the new
// pixels per inch and a suggested place; here the form is told of twice the
// scale it was made at, the one it reports for its window.
TEST_F(Win32PlatformTest, ADisplayOfAnotherScaleLaysTheFormOutAnewInTheSuggestedPlace) {
    TProbeForm* form = Create();
    HWND hwnd = Hwnd(form->Handle());
    ASSERT_EQ(form->PixelsPerInch(), platform.WindowPixelsPerInch(form->Handle()));
    const int dpi = 2 * form->PixelsPerInch();
    auto scaled = [&](int length) { return MulDiv(length, dpi, 96); };
    RECT suggested{350, 250, 350 + scaled(198), 250 + scaled(90)};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(form->PixelsPerInch(), dpi);
    EXPECT_EQ(form->Left(), 350);
    EXPECT_EQ(form->Top(), 250);
    EXPECT_EQ(form->ClientRect(), Rect(0, 0, scaled(198), scaled(90)));
    auto* label = form->Component<TLabel>("LaText");
    EXPECT_EQ(label->Font()->Height(), -scaled(13));
    auto* edit = form->Component<TEdit>("EdText");
    EXPECT_EQ(platform.WindowRect(edit->Handle()), Bounds(0, scaled(40), scaled(100), scaled(20)));
    auto* button = form->Component<TBitBtn>("BtOk");
    EXPECT_EQ(platform.WindowRect(button->Handle()), Bounds(scaled(110), scaled(40), scaled(75), scaled(25)));
}

TEST_F(Win32PlatformTest, TheMessageMapDecidesTheEraseResult) {
    TProbeForm* form = Create();
    HWND hwnd = Hwnd(form->Handle());
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    HDC dc = GetDC(hwnd);
    // The part of the client area above the edit and the button, right of
    // the label: only the form's background is there.
    const RECT free{60, 0, 198, 40};
    // Paints that part in a colour nobody else uses, erases the window
    // through its message map and counts the pixels of `colour` there.
    auto eraseAndCount = [&](COLORREF colour, LRESULT& result) {
        HBRUSH stale = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &free, stale);
        DeleteObject(stale);
        result = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        GdiFlush();
        int count = 0;
        for (int y = free.top; y < free.bottom; ++y)
            for (int x = free.left; x < free.right; ++x) count += GetPixel(dc, x, y) == colour;
        return count;
    };
    const int pixels = (free.right - free.left) * (free.bottom - free.top);
    const TColor own = form->Color();
    const COLORREF background =
        (own & clSystemColor) ? GetSysColor(static_cast<int>(own & 0xFF)) : static_cast<COLORREF>(own);
    ASSERT_NE(background, static_cast<COLORREF>(kPicture));

    // Without a picture the framework's own fill runs and reports the
    // background erased; with one, the form's handling paints the picture.
    LRESULT result = 0;
    EXPECT_EQ(eraseAndCount(background, result), pixels);
    EXPECT_EQ(result, 1);
    form->UsePicture();
    EXPECT_EQ(eraseAndCount(static_cast<COLORREF>(kPicture), result), pixels);
    EXPECT_EQ(result, 1);
    ReleaseDC(hwnd, dc);

    form->SetLeft(310);
    form->SetTop(220);
    EXPECT_EQ(form->moves, 2);
    EXPECT_EQ(form->Left(), 310);
    EXPECT_EQ(form->Top(), 220);
}

TEST_F(Win32PlatformTest, TheBackgroundIsPaintedFromTheBitmapAndLabelsDrawOnlyText) {
    TProbeForm* form = Create();
    form->UsePicture();
    ShowWindow(Hwnd(form->Handle()), SW_SHOWNOACTIVATE);
    form->Repaint();
    GdiFlush();

    HDC screen = GetDC(nullptr);
    auto pixel = [&](int x, int y) { return GetPixel(screen, form->Left() + x, form->Top() + y); };
    // A spot that no control covers, and a spot inside the label's window
    // next to its text: both show the picture.
    EXPECT_EQ(pixel(150, 10), static_cast<COLORREF>(kPicture));
    auto* label = form->Component<TLabel>("LaText");
    EXPECT_EQ(pixel(label->Width() - 1, 0), static_cast<COLORREF>(kPicture));
    // Somewhere in the label the red text is drawn.
    bool red = false;
    for (int y = 0; y < label->Height() && !red; ++y)
        for (int x = 0; x < label->Width() && !red; ++x) red = pixel(x, y) == RGB(255, 0, 0);
    EXPECT_TRUE(red);
    ReleaseDC(nullptr, screen);
}

TEST_F(Win32PlatformTest, AnItalicLabelDrawsItsLastLetterWhole) {
    TProbeForm* form = Create(ItalicDesign);
    auto* label = form->Component<TLabel>("LaColor");
    // Where the letters' ink ends when "Color" is drawn in the label's font
    // without any clipping, counted from the text's left edge.
    int inkEnd = -1;
    SIZE advance{};
    {
        HFONT font = CreateFontW(-15, 0, 0, 0, FW_NORMAL, TRUE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 L"ＭＳ Ｐゴシック");
        HDC dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, 100, -30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::uint32_t* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, font);
        std::fill(bits, bits + 100 * 30, 0x00FFFFFFu);
        SetBkMode(dc, TRANSPARENT);
        GetTextExtentPoint32W(dc, L"Color", 5, &advance);
        RECT area{10, 0, 90, 30};
        DrawTextW(dc, L"Color", 5, &area, DT_NOPREFIX | DT_SINGLELINE | DT_TOP | DT_NOCLIP);
        GdiFlush();
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 100; ++x)
                if ((bits[y * 100 + x] & 0x00FFFFFFu) != 0x00FFFFFFu) inkEnd = std::max(inkEnd, x - 10);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        DeleteObject(font);
    }
    // The slanted "r" reaches past the text's advance.
    ASSERT_GE(inkEnd, advance.cx) << "this font draws no overhang to look for";

    form->UsePicture();
    ShowWindow(Hwnd(form->Handle()), SW_SHOWNOACTIVATE);
    form->Repaint();
    GdiFlush();
    HDC screen = GetDC(nullptr);
    int shownEnd = -1;
    for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
        for (int x = label->Left(); x < label->Left() + 40; ++x)
            if (GetPixel(screen, form->Left() + x, form->Top() + y) != static_cast<COLORREF>(kPicture))
                shownEnd = std::max(shownEnd, x - label->Left());
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(shownEnd, inkEnd) << "the label is " << label->Width() << " wide";
    // The label itself keeps the width of its text's advance.
    EXPECT_EQ(label->Width(), advance.cx);
}

TEST_F(Win32PlatformTest, FormsBelongToTheApplicationsWindowWhichCarriesTheTitle) {
    application.SetTitle("表示");
    TProbeForm* form = nullptr;
    application.CreateForm(form);
    HWND hwnd = Hwnd(form->Handle());
    HWND owner = GetWindow(hwnd, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    wchar_t text[64] = {};
    GetWindowTextW(owner, text, 64);
    EXPECT_EQ(std::wstring(text), L"表示");
    GetWindowTextW(hwnd, text, 64);
    EXPECT_EQ(std::wstring(text), L"表示テスト");  // the form keeps its caption
    RECT rect{};
    GetWindowRect(owner, &rect);
    EXPECT_TRUE(IsRectEmpty(&rect));  // never seen
    EXPECT_FALSE(IsWindowVisible(owner));
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(IsWindowVisible(owner));  // on the task bar with the main form
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
}

TEST_F(Win32PlatformTest, TimersTickInTheMessageLoopUntilTerminated) {
    TProbeForm* form = Create();
    application.Run();
    EXPECT_TRUE(application.Terminated());
    EXPECT_EQ(form->ticks, 3);
}

// As the system's timers do, in a modal loop too: a message box's.  A box
// that no tick closes is closed after a while, so that the test ends.
TEST_F(Win32PlatformTest, TimersTickInAModalLoop) {
    TProbeForm* form = Create();
    form->boxAtFirstTick = true;
    const UINT_PTR guard = SetTimer(nullptr, 0, 5000, TProbeForm::CloseMessageBoxesLate);
    application.Run();
    KillTimer(nullptr, guard);
    EXPECT_EQ(form->ticksInBox, 2);
    EXPECT_EQ(form->ticks, 3);
}

// The system's UTF-16 command line, split and quoted again in code page
// 932, splits into the same arguments as the line itself.
TEST_F(Win32PlatformTest, TheCommandLineIsQuotedAgainArgumentByArgument) {
    const auto narrow = reference::CommandLineCases<char>();
    const auto wide = reference::CommandLineCases<wchar_t>();
    ASSERT_EQ(wide.size(), narrow.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        SCOPED_TRACE(narrow[i].line);
        EXPECT_EQ(SplitCommandLine<wchar_t>(wide[i].line), wide[i].arguments);
        EXPECT_EQ(SplitCommandLine(win32::QuotedCommandLine(wide[i].line)), narrow[i].arguments);
    }
    // The platform answers with this process's own command line.
    EXPECT_EQ(platform.CommandLine(), win32::QuotedCommandLine(GetCommandLineW()));
    EXPECT_FALSE(platform.CommandLine().empty());
}

TEST(Win32Arithmetic, MulDivRoundsAsTheSystemsDoes) {
    const int numbers[] = {0, 1, 2, 3, 5, 13, 17, 73, 198, 442, 757, 65535, 2147483647, -1, -3, -13, -37, -2147483647};
    const int scales[][2] = {{144, 96}, {120, 96}, {96, 96}, {1, 3}, {2, 3}, {-1, 3}, {1, -3}, {2, 1}, {1, 0}};
    for (int number : numbers)
        for (const auto& scale : scales) {
            SCOPED_TRACE(testing::Message() << number << " * " << scale[0] << " / " << scale[1]);
            EXPECT_EQ(fw::MulDiv(number, scale[0], scale[1]), ::MulDiv(number, scale[0], scale[1]));
        }
}

TEST(Win32Text, ConversionIsExactCodePage932) {
    // A trail byte 0x5C stays inside its character.
    EXPECT_EQ(win32::Widen("C:\\表\\"), L"C:\\表\\");
    EXPECT_EQ(win32::Narrow(L"ソ能表"), "ソ能表");
    EXPECT_EQ(win32::Narrow(L"１曲リピート"), "\x82\x50\x8B\xC8\x83\x8A\x83\x73\x81\x5B\x83\x67");
    // No look-alikes: a character code page 932 cannot hold becomes "?",
    // which no file name may hold, and is reported.
    const struct {
        const wchar_t* wide;
        const char* narrow;
        bool lossless;
    } cases[] = {
        {L"連続再生", "連続再生", true},
        {L"a\U0001F600", "a??", false},
        {L"A\u00A5B", "A?B", false},    // ¥ is no backslash
        {L"x\u00A6y", "x?y", false},    // a broken bar is no "|"
        {L"\uFF3C", "＼", true},         // the full-width backslash has its own code
    };
    for (const auto& c : cases) {
        bool lossless = !c.lossless;
        EXPECT_EQ(win32::Narrow(c.wide, &lossless), c.narrow);
        EXPECT_EQ(lossless, c.lossless);
    }
}

}  // namespace
}  // namespace fw
