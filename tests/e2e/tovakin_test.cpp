// End-to-end tests of Tovakin, the cassette path converter, run under Wine:
// the real program converts real cassette files in fresh temp folders, from
// its command line and from its dialog, and every message box it shows is
// read and answered from outside, as a user would.
//
// Cassettes are code page 932 bytes.  Paths are built as UTF-16 here and
// turned into those bytes with e2e::ToCp932, so a folder named with a
// character whose second byte is 0x5C (表, ソ) is created through the wide
// API under exactly the name the cassette's lines spell.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using e2e::kTimeoutMs;
using Names = std::vector<std::string>;

const std::wstring kWindowCaption = L"Zelbin - カセットファイルの絶対パスを相対パスに変換するぞ！";
const std::wstring kTitle = L"Zelbin";
const std::wstring kErrorCaption = L"Tovakinエラー";
const std::wstring kDone = L"変換完了";
const std::wstring kInputError = L"情報を正しく入力してください。";
const std::wstring kOpenError =
    L"変換元カセットファイルを開けません。ファイルが移動しているか、削除された可能性があります。\n";

// ---------------------------------------------------------------- text and files

std::string Utf8(const std::wstring& text) { return e2e::Utf8(text); }

// A text in double quotes, for failure messages.  Built by appending: GCC 12
// warns falsely (-Wrestrict) about a literal added to a temporary string.
std::string Quoted(const std::wstring& text) {
    std::string out = "\"";
    out += Utf8(text);
    out += "\"";
    return out;
}

// Cassette bytes as readable text for failure messages: line ends spelled out.
std::string Readable(const std::string& bytes) {
    std::string out;
    for (char c : e2e::Utf8(e2e::FromCp932(bytes))) {
        if (c == '\r') out += "<CR>";
        else if (c == '\n') out += "<LF>\n";
        else out += c;
    }
    return out;
}

testing::AssertionResult HasBytes(const std::wstring& path, const std::string& expected) {
    std::string actual;
    if (!e2e::ReadFileBytes(path, actual)) return testing::AssertionFailure() << Utf8(path) << " cannot be read";
    if (actual == expected) return testing::AssertionSuccess();
    return testing::AssertionFailure() << Utf8(path) << " holds\n" << Readable(actual) << "\nexpected\n"
                                       << Readable(expected);
}

bool MakeFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

// The system's own wording of an error, as it ends a report of a failed save
// (without its final line end or full stop).
std::wstring SystemReason(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

// A drive other than the one of `folder`: its paths are never made relative.
std::wstring OtherDrive(const std::wstring& folder) {
    return (folder[0] == L'Q' || folder[0] == L'q') ? L"R:" : L"Q:";
}

// A cassette as the player wrote it and as the converter must leave it.
struct Cassette {
    std::string written;
    std::string converted;
};

struct Row {
    std::wstring line;
    std::wstring converted;  // empty: the line stays as it is
    const char* end;         // its line end in the written file
};

Cassette MakeCassette(const std::vector<Row>& rows) {
    Cassette cassette;
    for (const Row& row : rows) {
        cassette.written += e2e::ToCp932(row.line) + row.end;
        cassette.converted += e2e::ToCp932(row.converted.empty() ? row.line : row.converted) + "\r\n";
    }
    return cassette;
}

// A cassette converted in its own folder (a path without final backslash) as
// the system spells it: lines on that drive become relative, one on another
// drive stays, every line end becomes CR LF.  Every other kind of line: the
// golden cassettes of native GoldenTest.
Cassette MixedCassette(const std::wstring& folder) {
    return MakeCassette({
        {L"#SORBEL カセット", L"", "\r\n"},
        {folder + L"\\a.mid", L"a.mid", "\r\n"},
        {folder + L"\\表\\ソ.mid", L"表\\ソ.mid", "\n"},
        {e2e::FolderOf(folder) + L"\\other\\b.mid", L"..\\other\\b.mid", "\r"},
        {OtherDrive(folder) + L"\\Music\\d.mid", L"", "\r\n"},
        {folder + L"\\last.mid", L"last.mid", ""},
    });
}

// A cassette in root\src converted into the folder root\<output>.
Cassette MovedCassette(const std::wstring& root, const std::wstring& output) {
    return MakeCassette({
        {L"#SORBEL", L"", "\r\n"},
        {root + L"\\src\\a.mid", L"..\\src\\a.mid", "\r\n"},
        {root + L"\\" + output + L"\\b.mid", L"b.mid", "\n"},
        {root + L"\\" + output + L"\\表\\c.mid", L"表\\c.mid", "\r\n"},
        {root + L"\\e.mid", L"..\\e.mid", "\r\n"},
        {OtherDrive(root) + L"\\Music\\f.mid", L"", "\r\n"},
    });
}

// ---------------------------------------------------------------- message boxes

// A message box once wholly there, and what it showed then.
struct Shown {
    HWND box = nullptr;
    e2e::MessageBoxContent content;
};

// The next box of the process.  windowShown, when given, learns whether a
// window other than a box was shown at any look.
Shown NextBox(DWORD processId, bool* windowShown = nullptr) {
    Shown shown;
    shown.box = e2e::WaitForMessageBox(processId, kTimeoutMs, &shown.content, [&](const std::vector<HWND>& windows) {
        for (HWND window : windows)
            if (windowShown && e2e::IsVisible(window) && e2e::ClassName(window) != L"#32770") *windowShown = true;
    });
    return shown;
}

std::string Describe(const e2e::MessageBoxContent& content) {
    std::string shown = "caption " + Quoted(content.caption) + ", texts [";
    for (const auto& t : content.texts) shown += Quoted(t) + " ";
    shown += std::string("], ") + (content.hasIcon ? "an icon" : "no icon") + ", buttons [";
    for (const auto& b : content.buttons) shown += Quoted(b) + " ";
    return shown + "]";
}

// The box has this caption and text, a stop icon or none, and one OK button.
testing::AssertionResult IsBox(const Shown& shown, const std::wstring& caption, const std::wstring& text, bool icon) {
    if (!shown.box) return testing::AssertionFailure() << "no message box appeared";
    const e2e::MessageBoxContent& content = shown.content;
    if (content.caption != caption || content.texts != std::vector<std::wstring>{text} || content.hasIcon != icon ||
        content.buttons != std::vector<std::wstring>{L"OK"})
        return testing::AssertionFailure() << "box shows " << Describe(content) << "; expected caption "
                                           << Quoted(caption) << ", text " << Quoted(text) << ", "
                                           << (icon ? "a stop icon" : "no icon") << ", one OK button";
    return testing::AssertionSuccess();
}

testing::AssertionResult IsDone(const Shown& shown) { return IsBox(shown, kTitle, kDone, false); }
testing::AssertionResult IsOpenError(const Shown& shown, const std::wstring& path) {
    return IsBox(shown, kErrorCaption, kOpenError + path, true);
}

// A failed write: the application's error box, naming the file written and
// the system's reason.
testing::AssertionResult IsWriteError(const Shown& shown, const std::wstring& path, DWORD error) {
    return IsBox(shown, kTitle, L"ファイル " + path + L" を作成できません。\n" + SystemReason(error), true);
}

// Presses OK and waits until the box has gone, so that the next box looked
// for is a new one and the owner has its focus back.
testing::AssertionResult Answer(const Shown& shown) {
    if (!shown.box) return testing::AssertionFailure() << "no box to answer";
    if (!e2e::AnswerMessageBox(shown.box, IDOK)) return testing::AssertionFailure() << "could not press OK";
    if (!e2e::WaitUntil([&] { return !IsWindow(shown.box); })) return testing::AssertionFailure() << "the box stayed after OK";
    return testing::AssertionSuccess();
}

// ---------------------------------------------------------------- command line

// Command-line runs: the program started with cassette paths.  Its windows
// are watched at every look for a box, since the converter's window must
// never show in this mode.
class TovakinCommandLine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::ProgramAvailable(L"Tovakin", exe_));
        ASSERT_FALSE(dir_.Path().empty());
    }

    void Run(const std::vector<std::wstring>& args) {
        process_ = e2e::Process::Start(exe_, args, dir_.Path());
        ASSERT_TRUE(process_.Started()) << Utf8(process_.Error());
    }

    Shown NextBox() { return ::NextBox(process_.Id(), &windowShown_); }

    // The one completion box, checked by `whileShown` while it is up (the
    // files are written before it); once answered, the program ends by
    // itself with exit code 0, its window never shown.
    void ExpectCompletionAndEnd(const std::function<void()>& whileShown = {}) {
        const Shown done = NextBox();
        ASSERT_TRUE(IsDone(done)) << "a further box, or not the completion box";
        if (whileShown) whileShown();
        ASSERT_TRUE(Answer(done));
        EXPECT_TRUE(e2e::EndsWithExitCode(process_)) << "after the last box";
        EXPECT_FALSE(windowShown_) << "the converter's window was shown in a command-line run";
    }

    std::wstring exe_;
    e2e::TempDir dir_;
    e2e::Process process_;
    bool windowShown_ = false;
};

TEST_F(TovakinCommandLine, ConvertsOneCassetteInPlaceAndEndsWithoutItsWindow) {
    const std::wstring cas = dir_.File(L"list.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
    ASSERT_NO_FATAL_FAILURE(Run({cas}));
    ExpectCompletionAndEnd([&] { EXPECT_TRUE(HasBytes(cas, cassette.converted)); });
    EXPECT_EQ(e2e::NamesIn(dir_.Path()), Names{"list.cas"});
}

// However the path of the cassette is spelled, it is converted in place,
// relative to its own folder, and written back under its own name there.
TEST_F(TovakinCommandLine, ConvertsACassetteInPlaceHoweverItsPathIsSpelled) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is no backslash.
    ASSERT_EQ(e2e::ToCp932(L"曲表").back(), '\x5C');
    struct Case {
        const char* name;
        std::wstring folder, file;
    };
    // Hangul, and "¥" (U+00A5), have no code page 932 form: the program must
    // still reach the file (by the short form of its path) and write it back
    // in place.  A look-alike would be another file: "A¥B" is not "A\B".
    for (const Case& c : {Case{"a path with blanks", L"My Songs", L"old list.cas"},
                          Case{"a folder whose name ends in 0x5C", L"曲表", L"表ソ.cas"},
                          Case{"a folder named in Hangul", L"한국어", L"list.cas"},
                          Case{"a folder named A, yen sign, B beside A\\B", L"A\u00A5B", L"list.cas"}}) {
        SCOPED_TRACE(c.name);
        e2e::TempDir root;
        const std::wstring folder = root.File(c.folder);
        const std::wstring cas = folder + L"\\" + c.file;
        const std::wstring decoy = root.File(L"A\\B\\" + c.file);
        ASSERT_TRUE(MakeFolder(root.File(L"A")) && MakeFolder(root.File(L"A\\B")) && MakeFolder(folder));
        // Lines within a folder that code page 932 cannot name cannot be
        // made relative to it: there, a line in the folder above.
        const bool spelled = e2e::FromCp932(e2e::ToCp932(folder)) == folder;
        const std::string song = e2e::ToCp932(root.Path()) + "\\Songs\\a.mid\n";
        const Cassette cassette = spelled ? MixedCassette(folder) : Cassette{song, "..\\Songs\\a.mid\r\n"};
        ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
        ASSERT_TRUE(e2e::WriteFileBytes(decoy, cassette.written));

        windowShown_ = false;
        ASSERT_NO_FATAL_FAILURE(Run({cas}));
        ExpectCompletionAndEnd([&] { EXPECT_TRUE(HasBytes(cas, cassette.converted)); });
        // Written under its own name in its own folder, nowhere else.
        EXPECT_EQ(e2e::NamesIn(folder), Names{Utf8(c.file)});
        EXPECT_TRUE(HasBytes(decoy, cassette.written)) << "the look-alike's cassette was touched";
        Names inRoot{"A", Utf8(c.folder)};
        std::sort(inRoot.begin(), inRoot.end());
        EXPECT_EQ(e2e::NamesIn(root.Path()), inRoot);
    }
}

TEST_F(TovakinCommandLine, ReportsAMissingCassetteAndConvertsTheOthersInOrder) {
    const std::wstring first = dir_.File(L"first.cas");
    const std::wstring missing = dir_.File(L"missing.cas");
    const std::wstring third = dir_.File(L"third.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(first, cassette.written));
    ASSERT_TRUE(e2e::WriteFileBytes(third, cassette.written));

    ASSERT_NO_FATAL_FAILURE(Run({first, missing, third}));
    const Shown error = NextBox();
    ASSERT_TRUE(IsOpenError(error, missing));
    // Arguments are taken in order: the first is done, the third not yet.
    EXPECT_TRUE(HasBytes(first, cassette.converted));
    EXPECT_TRUE(HasBytes(third, cassette.written));
    ASSERT_TRUE(Answer(error));
    ExpectCompletionAndEnd([&] {
        EXPECT_TRUE(HasBytes(third, cassette.converted));
        EXPECT_TRUE(HasBytes(first, cassette.converted));
    });
    EXPECT_FALSE(e2e::FileExists(missing));
    EXPECT_EQ(e2e::NamesIn(dir_.Path()), (Names{"first.cas", "third.cas"}));
}

// ---------------------------------------------------------------- dialog

// The converter started without arguments, its controls found by their
// designed places and captions.
class TovakinDialog : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::ProgramAvailable(L"Tovakin", exe_));
        ASSERT_FALSE(dir_.Path().empty());
        process_ = e2e::Process::Start(exe_, {}, dir_.Path());
        ASSERT_TRUE(process_.Started()) << Utf8(process_.Error());
        window_ = e2e::WaitForWindowWithText(process_.Id(), kWindowCaption, kTimeoutMs);
        ASSERT_NE(window_, nullptr) << "no visible window with the converter's caption";
        for (const e2e::ChildWindow& child : e2e::Children(window_)) {
            if (child.className == L"Edit" && child.rect.left == 120 && child.rect.top == 8) source_ = child.handle;
            if (child.className == L"Edit" && child.rect.left == 120 && child.rect.top == 40) output_ = child.handle;
            if (child.className == L"Button" && child.text == L"変換") convert_ = child.handle;
            if (child.className == L"Button" && child.text == L"変換後に元ファイルを削除") delete_ = child.handle;
        }
        ASSERT_NE(source_, nullptr) << "no edit box at the source field's place";
        ASSERT_NE(output_, nullptr) << "no edit box at the output field's place";
        ASSERT_NE(convert_, nullptr) << "no convert button";
        ASSERT_NE(delete_, nullptr) << "no check box to delete the source";
    }

    static testing::AssertionResult SetText(HWND edit, const std::wstring& text) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                                 kTimeoutMs, &result))
            return testing::AssertionFailure() << "WM_SETTEXT was not answered";
        if (e2e::WindowText(edit) != text)
            return testing::AssertionFailure() << "the edit box holds \"" << Utf8(e2e::WindowText(edit)) << "\"";
        return testing::AssertionSuccess();
    }

    void Fill(const std::wstring& source, const std::wstring& output) {
        ASSERT_TRUE(SetText(source_, source));
        ASSERT_TRUE(SetText(output_, output));
    }

    std::string Output() const { return Utf8(e2e::WindowText(output_)); }

    static bool ClickCenter(HWND control) {
        const POINT centre = e2e::CentreOf(control);
        return e2e::Click(centre.x, centre.y);
    }

    HWND Focused() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info) ? info.hwndFocus : nullptr;
    }

    // Puts the focus into a control with the mouse, as a user would: clicks
    // again while it is elsewhere (the window may still be taking the focus
    // back from a message box that just closed).
    testing::AssertionResult FocusWithMouse(HWND control) {
        if (!e2e::Activate(window_)) return testing::AssertionFailure() << "the window did not come to the front";
        if (e2e::WaitUntil([&] {
                if (Focused() == control) return true;
                ClickCenter(control);
                return e2e::WaitUntil([&] { return Focused() == control; }, 1000);
            }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the focus stayed on \"" << Utf8(e2e::WindowText(Focused())) << "\"";
    }

    bool Checked(HWND checkBox) const {
        DWORD_PTR state = 0;
        return SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &state) &&
               state == BST_CHECKED;
    }

    // Ticks 変換後に元ファイルを削除 with the mouse.
    void TickDelete() {
        ASSERT_FALSE(Checked(delete_));
        ASSERT_TRUE(ClickCenter(delete_));
        ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(delete_); })) << "the check box was not ticked";
    }

    // Presses 変換 as a click notification (the mouse and Enter have tests of
    // their own).
    void PressConvert() { ASSERT_TRUE(e2e::PressButton(window_, L"変換")); }

    Shown NextBox() const { return ::NextBox(process_.Id()); }

    // Proves that no box follows an answered one: presses 変換 with an empty
    // source field, so the input error must be the one and only box.  A box
    // still to come from the earlier run would run its own modal loop, take
    // the press there and show both boxes at once.
    void ExpectNoFurtherBox() {
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::MessageBoxes(process_.Id()).empty(); }));
        const std::string output = Output();
        ASSERT_TRUE(SetText(source_, L""));
        PressConvert();
        const Shown box = NextBox();
        ASSERT_TRUE(IsBox(box, kErrorCaption, kInputError, true)) << "another box came first";
        EXPECT_EQ(e2e::MessageBoxes(process_.Id()).size(), 1u) << "a box of the earlier run is still open";
        ASSERT_TRUE(Answer(box));
        EXPECT_EQ(Output(), output);
    }

    void CloseAndExpectExitCodeZero() {
        ASSERT_TRUE(e2e::MessageBoxes(process_.Id()).empty()) << "a box is still open";
        ASSERT_TRUE(e2e::PostClose(window_));
        ASSERT_TRUE(e2e::EndsWithExitCode(process_)) << "after WM_CLOSE";
    }

    std::wstring exe_;
    e2e::TempDir dir_;
    e2e::Process process_;
    HWND window_ = nullptr;
    HWND source_ = nullptr;
    HWND output_ = nullptr;
    HWND convert_ = nullptr;
    HWND delete_ = nullptr;
};

// 変換 clicked with the mouse, or Enter in the output field, writes the
// converted cassette into the output folder and completes the folder's
// backslash, also after a name whose last byte is 0x5C (表); the source
// stays, and a cassette of that name in the output folder is replaced
// without a question.
TEST_F(TovakinDialog, ClickOnConvertWritesIntoTheOutputFolderAndCompletesItsBackslash) {
    enum Press { kClick, kEnterTyped, kEnterAgain };
    struct Case {
        const char* name;
        const wchar_t* output;
        Press press;
    };
    for (const Case& c : {Case{"a click on the convert button", L"out", kClick}, Case{"Enter after typing the folder", L"曲表", kEnterTyped},
                          // The box gives the focus back to the field, whose
                          // folder now ends with a backslash: left as it is.
                          Case{"Enter again, after the box", L"曲表", kEnterAgain}}) {
        SCOPED_TRACE(c.name);
        const std::wstring src = dir_.File(L"src");
        const std::wstring out = dir_.File(c.output);
        const std::wstring cas = src + L"\\list.cas";
        const Cassette cassette = MovedCassette(dir_.Path(), c.output);
        if (c.press != kEnterAgain) {
            // The source folder is made for the first case and kept.
            ASSERT_TRUE(MakeFolder(out) && (c.press != kClick || MakeFolder(src)));
            ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written) && e2e::WriteFileBytes(out + L"\\list.cas", "old\r\n"));
        }
        if (c.press == kClick) {
            Fill(cas, out);
            ASSERT_TRUE(ClickCenter(convert_));
        } else if (c.press == kEnterTyped) {
            Fill(cas, L"");
            ASSERT_TRUE(FocusWithMouse(output_));
            ASSERT_TRUE(e2e::TypeUnicode(out));
            ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(output_) == out; })) << Output();
            ASSERT_TRUE(e2e::SendEnter());
        } else {
            EXPECT_TRUE(e2e::WaitUntil([&] { return Focused() == output_; }))
                << "the focus went to \"" << Utf8(e2e::WindowText(Focused())) << "\"";
            ASSERT_TRUE(FocusWithMouse(output_));
            ASSERT_TRUE(e2e::SendEnter());
        }
        const Shown box = NextBox();
        ASSERT_TRUE(IsDone(box));
        EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
        EXPECT_TRUE(HasBytes(cas, cassette.written));
        EXPECT_EQ(Output(), Utf8(out + L"\\"));
        EXPECT_EQ(Utf8(e2e::WindowText(source_)), Utf8(cas));
        ASSERT_TRUE(Answer(box));
        EXPECT_EQ(e2e::NamesIn(out), Names{"list.cas"});
        EXPECT_EQ(e2e::NamesIn(src), Names{"list.cas"});
    }
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, DeleteWithAnotherOutputFolderRemovesTheSourceOnceConverted) {
    const std::wstring src = dir_.File(L"src");
    const std::wstring out = dir_.File(L"out");
    ASSERT_TRUE(MakeFolder(src));
    ASSERT_TRUE(MakeFolder(out));
    const std::wstring cas = src + L"\\list.cas";
    const Cassette cassette = MovedCassette(dir_.Path(), L"out");
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    Fill(cas, out + L"\\");
    TickDelete();
    PressConvert();
    Shown box = NextBox();
    ASSERT_TRUE(IsDone(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    EXPECT_FALSE(e2e::FileExists(cas)) << "the source was not deleted";
    EXPECT_EQ(Output(), Utf8(out + L"\\"));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(e2e::NamesIn(src).empty());

    // A second press finds the source gone.
    PressConvert();
    box = NextBox();
    ASSERT_TRUE(IsOpenError(box, cas));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    CloseAndExpectExitCodeZero();
}

// A failed write over a read-only target, with 削除 ticked, is reported
// (IsWriteError); no file is lost and no temporary file is left.  Every other
// failed write: native AFailedWriteLosesNothingAndShowsTheApplicationsErrorBox.
TEST_F(TovakinDialog, AFailedWriteLosesNothing) {
    TickDelete();
    const std::wstring src = dir_.File(L"src");
    const std::wstring out = dir_.File(L"out");
    const std::wstring cas = src + L"\\list.cas";
    const std::wstring target = out + L"\\list.cas";
    ASSERT_TRUE(MakeFolder(src) && MakeFolder(out));
    const Cassette cassette = MovedCassette(dir_.Path(), L"out");
    const std::string old = "C:\\old\\target.mid\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
    ASSERT_TRUE(e2e::WriteFileBytes(target, old));
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));

    Fill(cas, out);
    PressConvert();
    const Shown box = NextBox();
    ASSERT_TRUE(IsWriteError(box, target, ERROR_ACCESS_DENIED));
    // At the error, and after it: the source is still there, and the old
    // target as it was.  The backslash appended before the write stays.
    auto nothingLost = [&] {
        EXPECT_TRUE(HasBytes(cas, cassette.written));
        EXPECT_EQ(e2e::NamesIn(src), Names{"list.cas"});
        EXPECT_TRUE(HasBytes(target, old));
        EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_EQ(e2e::NamesIn(out), Names{"list.cas"});
    };
    nothingLost();
    EXPECT_EQ(Output(), Utf8(out + L"\\"));
    ASSERT_TRUE(Answer(box));
    ExpectNoFurtherBox();
    nothingLost();
    CloseAndExpectExitCodeZero();
}

}  // namespace
