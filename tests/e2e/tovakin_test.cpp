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

// Guards against a hang only; a first Wine start in a fresh prefix can take
// several seconds.
constexpr DWORD kTimeoutMs = 30000;

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

bool SetReadOnly(const std::wstring& path) { return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0; }

bool IsReadOnly(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// The names in a folder, sorted: a failed write must leave no half-written
// or temporary file behind.
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Utf8Names(const std::vector<std::wstring>& names) {
    std::vector<std::string> out;
    for (const auto& name : names) out.push_back(Utf8(name));
    return out;
}

// The system's own wording of an error, as it ends a report of a failed save.
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

std::wstring AsciiUpper(std::wstring text) {
    for (auto& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

// A drive other than the one of `folder`: its paths are never made relative.
std::wstring OtherDrive(const std::wstring& folder) {
    return (folder[0] == L'Q' || folder[0] == L'q') ? L"R:" : L"Q:";
}

// One "..\" for each folder name of a path without a final backslash.
std::wstring StepsUpToRoot(const std::wstring& folder) {
    std::wstring steps;
    for (auto n = std::count(folder.begin(), folder.end(), L'\\'); n > 0; --n) steps += L"..\\";
    return steps;
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

// Every kind of line, for a cassette converted in its own folder (a path
// without final backslash): lines on that drive become relative, all others
// stay byte for byte; CR LF, LF, CR and a missing last line end all become
// CR LF.
Cassette MixedCassette(const std::wstring& folder) {
    const std::wstring drive = folder.substr(0, 2);
    const std::wstring parent = e2e::FolderOf(folder);
    return MakeCassette({
        {L"#SORBEL カセット", L"", "\r\n"},
        {folder + L"\\a.mid", L"a.mid", "\r\n"},
        {folder + L"\\Songs\\曲表.mid", L"Songs\\曲表.mid", "\n"},
        {folder + L"\\表\\ソ.mid", L"表\\ソ.mid", "\r"},
        {parent + L"\\other\\b.mid", L"..\\other\\b.mid", "\r\n"},
        // Folder names that differ only in letter case are common; the rest keeps its spelling.
        {AsciiUpper(folder) + L"\\POP\\C.MID", L"POP\\C.MID", "\n"},
        {OtherDrive(folder) + L"\\Music\\d.mid", L"", "\n"},
        {L"", L"", "\r"},
        {L" " + folder + L"\\a.mid", L"", "\r\n"},
        {L"\\\\server\\share\\e.mid", L"", "\r\n"},
        {L"Songs\\f.mid", L"", "\n"},
        {drive, L"", "\r\n"},
        {drive + L"\\", StepsUpToRoot(folder), "\r\n"},
        {L"", L"", "\r\n"},
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
        {AsciiUpper(root) + L"\\" + output + L"\\D.MID", L"D.MID", "\r\n"},
        {root + L"\\e.mid", L"..\\e.mid", "\r\n"},
        {OtherDrive(root) + L"\\Music\\f.mid", L"", "\r\n"},
        {L"Songs\\g.mid", L"", "\r\n"},
    });
}

// ---------------------------------------------------------------- program and boxes

testing::AssertionResult ProgramAvailable(std::wstring& path) {
    path = e2e::ProgramPath(L"Tovakin");
    if (path.empty()) return testing::AssertionFailure() << "no --program=Tovakin=<path> argument";
    if (!e2e::FileExists(path)) return testing::AssertionFailure() << Utf8(path) << " does not exist";
    return testing::AssertionSuccess();
}

testing::AssertionResult IsBox(HWND box, const std::wstring& caption, const std::wstring& text, bool icon) {
    if (!box) return testing::AssertionFailure() << "no message box appeared";
    const e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
    std::string shown = "caption ";
    shown += Quoted(content.caption);
    shown += ", texts [";
    for (const auto& t : content.texts) shown += Quoted(t) + " ";
    shown += std::string("], ") + (content.hasIcon ? "an icon" : "no icon") + ", buttons [";
    for (const auto& b : content.buttons) shown += Quoted(b) + " ";
    shown += "]";
    if (content.caption != caption || content.texts != std::vector<std::wstring>{text} ||
        content.hasIcon != icon || content.buttons != std::vector<std::wstring>{L"OK"})
        return testing::AssertionFailure() << "box shows " << shown << "; expected caption \"" << Utf8(caption)
                                           << "\", text \"" << Utf8(text) << "\", "
                                           << (icon ? "a stop icon" : "no icon") << ", one OK button";
    return testing::AssertionSuccess();
}

// The text of a box, or empty.
std::wstring BoxText(HWND box) {
    const e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
    return content.texts.size() == 1 ? content.texts[0] : std::wstring();
}

// Presses OK and waits until the box has gone, so that the next box looked
// for is a new one and the owner has its focus back.
testing::AssertionResult Answer(HWND box) {
    if (!box) return testing::AssertionFailure() << "no box to answer";
    if (!e2e::AnswerMessageBox(box, IDOK)) return testing::AssertionFailure() << "could not press OK";
    if (!e2e::WaitUntil([&] { return !IsWindow(box); }, kTimeoutMs))
        return testing::AssertionFailure() << "the box stayed after OK";
    return testing::AssertionSuccess();
}

// A command-line run: the program started with cassette paths, whose
// windows are watched at every look for a box, since the converter's
// window must never show in this mode.
class CommandLineRun {
public:
    bool Start(const std::vector<std::wstring>& args, const std::wstring& workDir) {
        process_ = e2e::Process::Start(exe_, args, workDir);
        return process_.Started();
    }
    bool StartWithCommandLine(const std::wstring& commandLine, const std::wstring& workDir) {
        process_ = e2e::Process::StartWithCommandLine(exe_, commandLine, workDir);
        return process_.Started();
    }
    std::wstring& Exe() { return exe_; }
    const e2e::Process& Process() const { return process_; }

    // The next message box, once wholly there; nullptr after the timeout.
    HWND NextBox() {
        return e2e::WaitForMessageBox(process_.Id(), kTimeoutMs, nullptr, [&](const std::vector<HWND>& windows) {
            for (HWND window : windows)
                windowShown_ |= e2e::IsVisible(window) && e2e::ClassName(window) != L"#32770";
        });
    }

    // True when the program ended by itself with exit code 0.
    testing::AssertionResult EndsWithExitCodeZero() {
        DWORD exitCode = 0xFFFFFFFF;
        if (!process_.WaitForExit(kTimeoutMs, exitCode))
            return testing::AssertionFailure() << "the program did not end after its last box";
        if (exitCode != 0) return testing::AssertionFailure() << "exit code " << exitCode;
        return testing::AssertionSuccess();
    }

    bool WindowShown() const { return windowShown_; }

private:
    std::wstring exe_;
    e2e::Process process_;
    bool windowShown_ = false;
};

// ---------------------------------------------------------------- command line

class TovakinCommandLine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ProgramAvailable(run_.Exe()));
        ASSERT_FALSE(dir_.Path().empty());
    }

    // Answers the one completion box, then expects the program to end by
    // itself, its window never shown.
    void ExpectCompletionAndEnd() {
        HWND box = run_.NextBox();
        EXPECT_TRUE(IsBox(box, kTitle, kDone, false));
        ASSERT_TRUE(Answer(box));
        EXPECT_TRUE(run_.EndsWithExitCodeZero());
        EXPECT_FALSE(run_.WindowShown()) << "the converter's window was shown in a command-line run";
    }

    e2e::TempDir dir_;
    CommandLineRun run_;
};

TEST_F(TovakinCommandLine, ConvertsOneCassetteInPlaceAndEndsWithoutItsWindow) {
    const std::wstring cas = dir_.File(L"list.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    ASSERT_TRUE(run_.Start({cas}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND box = run_.NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false));
    // The file is written before the completion message.
    EXPECT_TRUE(HasBytes(cas, cassette.converted));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown()) << "the converter's window was shown in a command-line run";
    EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), std::vector<std::string>{"list.cas"});
}

TEST_F(TovakinCommandLine, ReportsAMissingCassetteAndConvertsTheOthersInOrder) {
    const std::wstring first = dir_.File(L"first.cas");
    const std::wstring missing = dir_.File(L"missing.cas");
    const std::wstring third = dir_.File(L"third.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(first, cassette.written));
    ASSERT_TRUE(e2e::WriteFileBytes(third, cassette.written));

    ASSERT_TRUE(run_.Start({first, missing, third}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND error = run_.NextBox();
    ASSERT_TRUE(IsBox(error, kErrorCaption, kOpenError + missing, true));
    // Arguments are taken in order: the first is done, the third not yet.
    EXPECT_TRUE(HasBytes(first, cassette.converted));
    EXPECT_TRUE(HasBytes(third, cassette.written));
    ASSERT_TRUE(Answer(error));

    HWND done = run_.NextBox();
    ASSERT_TRUE(IsBox(done, kTitle, kDone, false)) << "a second box, or not the completion box";
    EXPECT_TRUE(HasBytes(third, cassette.converted));
    EXPECT_TRUE(HasBytes(first, cassette.converted));
    ASSERT_TRUE(Answer(done));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown());
    EXPECT_FALSE(e2e::FileExists(missing));
    EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), (std::vector<std::string>{"first.cas", "third.cas"}));
}

TEST_F(TovakinCommandLine, ReportsEveryArgumentMissingAndStillCompletesOnce) {
    const std::wstring missing = dir_.File(L"gone.cas");
    ASSERT_TRUE(run_.Start({missing}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND error = run_.NextBox();
    ASSERT_TRUE(IsBox(error, kErrorCaption, kOpenError + missing, true));
    ASSERT_TRUE(Answer(error));
    ExpectCompletionAndEnd();
    EXPECT_TRUE(NamesIn(dir_.Path()).empty());
}

TEST_F(TovakinCommandLine, SkipsAnEmptyArgumentWithoutAMessage) {
    const std::wstring cas = dir_.File(L"list.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    ASSERT_TRUE(run_.StartWithCommandLine(L"\"" + run_.Exe() + L"\" \"\" \"" + cas + L"\" \"\"", dir_.Path()))
        << Utf8(run_.Process().Error());
    HWND box = run_.NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << "the empty argument was not skipped silently";
    EXPECT_TRUE(HasBytes(cas, cassette.converted));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown());
}

TEST_F(TovakinCommandLine, OnlyAnEmptyArgumentStillCompletesAndEnds) {
    // An argument, though empty, makes it a command-line run: no dialog.
    ASSERT_TRUE(run_.StartWithCommandLine(L"\"" + run_.Exe() + L"\" \"\"", dir_.Path()))
        << Utf8(run_.Process().Error());
    ExpectCompletionAndEnd();
    EXPECT_TRUE(NamesIn(dir_.Path()).empty());
}

TEST_F(TovakinCommandLine, ConvertsAPathWithBlanks) {
    const std::wstring folder = dir_.File(L"My Songs");
    ASSERT_TRUE(MakeFolder(folder));
    const std::wstring cas = folder + L"\\old list.cas";
    const Cassette cassette = MixedCassette(folder);
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    ASSERT_TRUE(run_.Start({cas}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND box = run_.NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_TRUE(HasBytes(cas, cassette.converted));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown());
    EXPECT_EQ(Utf8Names(NamesIn(folder)), std::vector<std::string>{"old list.cas"});
}

TEST_F(TovakinCommandLine, ConvertsACassetteInAFolderWhoseNameEndsInTrailByte0x5C) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is no backslash.
    const std::wstring folder = dir_.File(L"曲表");
    ASSERT_TRUE(MakeFolder(folder));
    ASSERT_EQ(e2e::ToCp932(L"曲表").back(), '\x5C');
    const std::wstring cas = folder + L"\\表ソ.cas";
    const Cassette cassette = MixedCassette(folder);
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    ASSERT_TRUE(run_.Start({cas}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND box = run_.NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_TRUE(HasBytes(cas, cassette.converted));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown());
    // Written under its own name in its own folder, nowhere else.
    EXPECT_EQ(Utf8Names(NamesIn(folder)), std::vector<std::string>{Utf8(L"表ソ.cas")});
    EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), std::vector<std::string>{Utf8(L"曲表")});
}

TEST_F(TovakinCommandLine, ConvertsACassetteInAFolderNamedInAnotherScript) {
    // Hangul, and "¥" (U+00A5), have no code page 932 form: the program must
    // still reach the file (by the short form of its path) and write it back
    // in place.  A look-alike would be another file: "A¥B" is not "A\B".
    const std::string song = e2e::ToCp932(dir_.Path()) + "\\Songs\\a.mid";
    const std::wstring decoy = dir_.File(L"A\\B\\list.cas");
    ASSERT_TRUE(MakeFolder(dir_.File(L"A")) && MakeFolder(dir_.File(L"A\\B")));
    ASSERT_TRUE(e2e::WriteFileBytes(decoy, song + "\n"));
    for (const wchar_t* name : {L"한국어", L"A\u00A5B"}) {
        SCOPED_TRACE(Utf8(name));
        const std::wstring folder = dir_.File(name);
        ASSERT_TRUE(MakeFolder(folder));
        const std::wstring cas = folder + L"\\list.cas";
        ASSERT_TRUE(e2e::WriteFileBytes(cas, song + "\n"));

        ASSERT_TRUE(run_.Start({cas}, dir_.Path())) << Utf8(run_.Process().Error());
        HWND box = run_.NextBox();
        ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
        EXPECT_TRUE(HasBytes(cas, "..\\Songs\\a.mid\r\n"));
        ASSERT_TRUE(Answer(box));
        EXPECT_TRUE(run_.EndsWithExitCodeZero());
        EXPECT_EQ(Utf8Names(NamesIn(folder)), std::vector<std::string>{"list.cas"});
        EXPECT_TRUE(HasBytes(decoy, song + "\n")) << "the look-alike's cassette was touched";
    }
}

TEST_F(TovakinCommandLine, ReportsAReadOnlyCassetteUnchangedAndGoesOn) {
    const std::wstring locked = dir_.File(L"locked.cas");
    const std::wstring next = dir_.File(L"next.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(locked, cassette.written));
    ASSERT_TRUE(e2e::WriteFileBytes(next, cassette.written));
    ASSERT_TRUE(SetReadOnly(locked));

    ASSERT_TRUE(run_.Start({locked, next}, dir_.Path())) << Utf8(run_.Process().Error());
    HWND error = run_.NextBox();
    ASSERT_NE(error, nullptr);
    const e2e::MessageBoxContent content = e2e::ReadMessageBox(error);
    EXPECT_EQ(Utf8(content.caption), Utf8(kErrorCaption));
    EXPECT_TRUE(content.hasIcon);
    ASSERT_EQ(content.texts.size(), 1u);
    const std::wstring& text = content.texts[0];
    // The box names the file and, after a line feed, the system's reason.
    const size_t at = text.find(locked);
    EXPECT_NE(at, std::wstring::npos) << Utf8(text);
    const size_t lineFeed = text.find(L'\n', at == std::wstring::npos ? 0 : at);
    ASSERT_NE(lineFeed, std::wstring::npos) << Utf8(text);
    const std::wstring reason = SystemReason(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(text.find(reason, lineFeed), std::wstring::npos)
        << Utf8(text) << "\nshould give the reason \"" << Utf8(reason) << "\"";
    EXPECT_NE(text.find(kOpenError), 0u) << "the file was read: the failure is in writing it";
    EXPECT_TRUE(HasBytes(locked, cassette.written));
    EXPECT_TRUE(HasBytes(next, cassette.written)) << "the next argument was taken before the box was answered";
    ASSERT_TRUE(Answer(error));

    HWND done = run_.NextBox();
    ASSERT_TRUE(IsBox(done, kTitle, kDone, false));
    EXPECT_TRUE(HasBytes(next, cassette.converted));
    EXPECT_TRUE(HasBytes(locked, cassette.written));
    EXPECT_TRUE(IsReadOnly(locked));
    ASSERT_TRUE(Answer(done));
    EXPECT_TRUE(run_.EndsWithExitCodeZero());
    EXPECT_FALSE(run_.WindowShown());
    EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), (std::vector<std::string>{"locked.cas", "next.cas"}));
}

// ---------------------------------------------------------------- dialog

// The converter started without arguments, its controls found by their
// designed places and captions.
class TovakinDialog : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ProgramAvailable(exe_));
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

    static bool ClickCenter(HWND control) {
        const RECT r = e2e::WindowRect(control);
        return e2e::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
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
        if (e2e::WaitUntil(
                [&] {
                    if (Focused() == control) return true;
                    ClickCenter(control);
                    return e2e::WaitUntil([&] { return Focused() == control; }, 1000);
                },
                kTimeoutMs))
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
        ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(delete_); }, kTimeoutMs)) << "the check box was not ticked";
    }

    // Presses 変換 as a click notification (the mouse and Enter have tests of
    // their own).
    void PressConvert() { ASSERT_TRUE(e2e::PressButton(window_, L"変換")); }

    HWND NextBox() const { return e2e::WaitForMessageBox(process_.Id(), kTimeoutMs); }

    // Proves that no box follows an answered one: presses 変換 with an empty
    // source field, so the input error must be the one and only box.  A box
    // still to come from the earlier run would run its own modal loop, take
    // the press there and show both boxes at once.
    void ExpectNoFurtherBox() {
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::MessageBoxes(process_.Id()).empty(); }, kTimeoutMs));
        const std::wstring output = e2e::WindowText(output_);
        ASSERT_TRUE(SetText(source_, L""));
        PressConvert();
        HWND box = NextBox();
        ASSERT_TRUE(IsBox(box, kErrorCaption, kInputError, true)) << "another box came first";
        EXPECT_EQ(e2e::MessageBoxes(process_.Id()).size(), 1u) << "a box of the earlier run is still open";
        ASSERT_TRUE(Answer(box));
        EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(output));
    }

    void CloseAndExpectExitCodeZero() {
        ASSERT_TRUE(e2e::MessageBoxes(process_.Id()).empty()) << "a box is still open";
        ASSERT_TRUE(e2e::PostClose(window_));
        DWORD exitCode = 0xFFFFFFFF;
        ASSERT_TRUE(process_.WaitForExit(kTimeoutMs, exitCode)) << "Tovakin did not end after WM_CLOSE";
        EXPECT_EQ(exitCode, 0u);
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

TEST_F(TovakinDialog, ClickOnConvertWritesIntoTheOutputFolderAndCompletesItsBackslash) {
    // The window opens empty, the check box unticked.
    EXPECT_EQ(Utf8(e2e::WindowText(source_)), "");
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), "");
    EXPECT_FALSE(Checked(delete_));
    EXPECT_TRUE(e2e::MessageBoxes(process_.Id()).empty());

    const std::wstring src = dir_.File(L"src");
    const std::wstring out = dir_.File(L"out");
    ASSERT_TRUE(MakeFolder(src));
    ASSERT_TRUE(MakeFolder(out));
    const std::wstring cas = src + L"\\list.cas";
    const Cassette cassette = MovedCassette(dir_.Path(), L"out");
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
    // A cassette of that name in the output folder is replaced without a question.
    ASSERT_TRUE(e2e::WriteFileBytes(out + L"\\list.cas", "old\r\n"));

    Fill(cas, out);
    ASSERT_TRUE(ClickCenter(convert_));
    HWND box = NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(out + L"\\"));
    EXPECT_EQ(Utf8(e2e::WindowText(source_)), Utf8(cas));
    ASSERT_TRUE(Answer(box));
    EXPECT_EQ(Utf8Names(NamesIn(out)), std::vector<std::string>{"list.cas"});
    EXPECT_EQ(Utf8Names(NamesIn(src)), std::vector<std::string>{"list.cas"});
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, EnterInAnEditBoxConverts) {
    // The output folder's name ends in 表, whose second byte is 0x5C: it
    // still gets its backslash.
    const std::wstring src = dir_.File(L"src");
    const std::wstring out = dir_.File(L"曲表");
    ASSERT_TRUE(MakeFolder(src));
    ASSERT_TRUE(MakeFolder(out));
    const std::wstring cas = src + L"\\list.cas";
    const Cassette cassette = MovedCassette(dir_.Path(), L"曲表");
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    ASSERT_TRUE(SetText(source_, cas));
    // Typed into the output field, which keeps the focus for the Enter key.
    ASSERT_TRUE(FocusWithMouse(output_));
    ASSERT_TRUE(e2e::TypeUnicode(out));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(output_) == out; }, kTimeoutMs))
        << Utf8(e2e::WindowText(output_));
    ASSERT_TRUE(e2e::SendEnter());
    HWND box = NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(out + L"\\"));
    ASSERT_TRUE(Answer(box));

    // Again, with the focus back in the field after the box: a folder that
    // already ends with a backslash is left as it is, and the same source
    // gives the same cassette.  The box gives the focus back by itself.
    EXPECT_TRUE(e2e::WaitUntil([&] { return Focused() == output_; }, kTimeoutMs))
        << "the focus went to \"" << Utf8(e2e::WindowText(Focused())) << "\"";
    ASSERT_TRUE(FocusWithMouse(output_));
    ASSERT_TRUE(e2e::SendEnter());
    box = NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(out + L"\\"));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_EQ(Utf8Names(NamesIn(out)), std::vector<std::string>{"list.cas"});
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, AnEmptyFieldGivesTheInputErrorAndChangesNothing) {
    const std::wstring cas = dir_.File(L"list.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
    const std::wstring out = dir_.File(L"out");
    ASSERT_TRUE(MakeFolder(out));

    struct Case {
        const char* name;
        std::wstring source, output;
    };
    for (const Case& c : {Case{"both empty", L"", L""}, Case{"no output folder", cas, L""},
                          Case{"no source", L"", out}}) {
        SCOPED_TRACE(c.name);
        Fill(c.source, c.output);
        PressConvert();
        HWND box = NextBox();
        ASSERT_TRUE(IsBox(box, kErrorCaption, kInputError, true));
        ASSERT_TRUE(Answer(box));
        // Nothing has changed: not even the output folder's backslash.
        EXPECT_EQ(Utf8(e2e::WindowText(source_)), Utf8(c.source));
        EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(c.output));
    }
    // The box came once per press: the next press with both fields filled
    // is answered by the completion box alone.
    Fill(cas, out);
    PressConvert();
    HWND box = NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_EQ(e2e::MessageBoxes(process_.Id()).size(), 1u);
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_TRUE(e2e::FileExists(out + L"\\list.cas"));
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, AMissingSourceGivesTheOpenErrorWithItsPath) {
    const std::wstring missing = dir_.File(L"表\\missing.cas");
    const std::wstring out = dir_.File(L"out");
    ASSERT_TRUE(MakeFolder(out));
    Fill(missing, out);
    PressConvert();
    HWND box = NextBox();
    ASSERT_TRUE(IsBox(box, kErrorCaption, kOpenError + missing, true));
    ASSERT_TRUE(Answer(box));
    // Nothing converted or written; the output field untouched.
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(out));
    EXPECT_TRUE(NamesIn(out).empty());
    ExpectNoFurtherBox();
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
    HWND box = NextBox();
    ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    EXPECT_FALSE(e2e::FileExists(cas)) << "the source was not deleted";
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(out + L"\\"));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(NamesIn(src).empty());

    // A second press finds the source gone.
    PressConvert();
    box = NextBox();
    ASSERT_TRUE(IsBox(box, kErrorCaption, kOpenError + cas, true));
    ASSERT_TRUE(Answer(box));
    EXPECT_TRUE(HasBytes(out + L"\\list.cas", cassette.converted));
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, DeleteWithTheSourceFolderKeepsTheConvertedCassette) {
    const std::wstring cas = dir_.File(L"list.cas");
    const Cassette cassette = MixedCassette(dir_.Path());
    TickDelete();
    // Windows drops a trailing blank or dot from the name typed: the same
    // file, converted all the same.
    for (const std::wstring& typed : {cas, cas + L" ", cas + L"."}) {
        SCOPED_TRACE(Quoted(typed));
        ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
        Fill(typed, dir_.Path());
        PressConvert();
        HWND box = NextBox();
        ASSERT_TRUE(IsBox(box, kTitle, kDone, false)) << Utf8(BoxText(box));
        EXPECT_TRUE(HasBytes(cas, cassette.converted)) << "the converted cassette must remain";
        ASSERT_TRUE(Answer(box));
        EXPECT_TRUE(HasBytes(cas, cassette.converted));
        EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), std::vector<std::string>{"list.cas"});
    }
    CloseAndExpectExitCodeZero();
}

// A failed write is reported by the application's error box, caption the
// application title, naming the output path and the system's reason.
testing::AssertionResult IsWriteErrorBox(HWND box, const std::wstring& path, const std::vector<DWORD>& errors) {
    if (!box) return testing::AssertionFailure() << "no box after a failed write";
    const e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
    std::string texts;
    for (const auto& t : content.texts) texts += Quoted(t) + " ";
    if (content.caption != kTitle || !content.hasIcon || content.texts.size() != 1 ||
        content.buttons != std::vector<std::wstring>{L"OK"})
        return testing::AssertionFailure() << "box with caption \"" << Utf8(content.caption) << "\", texts "
                                           << texts << (content.hasIcon ? "an icon" : "no icon")
                                           << "; expected caption \"Zelbin\", a stop icon, one text, one OK";
    const std::wstring& text = content.texts[0];
    if (text == kDone) return testing::AssertionFailure() << "the completion box came for a failed write";
    const size_t at = text.find(path);
    if (at == std::wstring::npos)
        return testing::AssertionFailure() << "\"" << Utf8(text) << "\" does not name " << Utf8(path);
    for (DWORD error : errors) {
        const std::wstring reason = SystemReason(error);
        if (!reason.empty() && text.find(reason, at + path.size()) != std::wstring::npos)
            return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "\"" << Utf8(text) << "\" gives none of the system's reasons, such as \""
                                       << Utf8(SystemReason(errors.front())) << "\"";
}

TEST_F(TovakinDialog, AFailedWriteOverAReadOnlyTargetLosesNothing) {
    const std::wstring src = dir_.File(L"src");
    const std::wstring out = dir_.File(L"out");
    ASSERT_TRUE(MakeFolder(src));
    ASSERT_TRUE(MakeFolder(out));
    const std::wstring cas = src + L"\\list.cas";
    const std::wstring target = out + L"\\list.cas";
    const Cassette cassette = MovedCassette(dir_.Path(), L"out");
    const std::string old = "C:\\old\\target.mid\r\n";
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));
    ASSERT_TRUE(e2e::WriteFileBytes(target, old));
    ASSERT_TRUE(SetReadOnly(target));

    Fill(cas, out);
    TickDelete();
    PressConvert();
    HWND box = NextBox();
    ASSERT_TRUE(IsWriteErrorBox(box, target, {ERROR_ACCESS_DENIED}));
    // At the error, and after it: the source is still there and the old
    // target is as it was.
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_TRUE(HasBytes(target, old));
    ASSERT_TRUE(Answer(box));
    ExpectNoFurtherBox();
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_TRUE(HasBytes(target, old));
    EXPECT_TRUE(IsReadOnly(target));
    EXPECT_EQ(Utf8Names(NamesIn(src)), std::vector<std::string>{"list.cas"});
    EXPECT_EQ(Utf8Names(NamesIn(out)), std::vector<std::string>{"list.cas"});
    CloseAndExpectExitCodeZero();
}

TEST_F(TovakinDialog, AFailedWriteIntoAMissingFolderLosesNothing) {
    const std::wstring cas = dir_.File(L"list.cas");
    const std::wstring nowhere = dir_.File(L"nowhere");
    const Cassette cassette = MixedCassette(dir_.Path());
    ASSERT_TRUE(e2e::WriteFileBytes(cas, cassette.written));

    Fill(cas, nowhere);
    TickDelete();
    PressConvert();
    HWND box = NextBox();
    ASSERT_TRUE(IsWriteErrorBox(box, nowhere + L"\\list.cas", {ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND}));
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    // The backslash appended before the write stays.
    EXPECT_EQ(Utf8(e2e::WindowText(output_)), Utf8(nowhere + L"\\"));
    ASSERT_TRUE(Answer(box));
    ExpectNoFurtherBox();
    EXPECT_TRUE(HasBytes(cas, cassette.written));
    EXPECT_FALSE(e2e::FileExists(nowhere + L"\\list.cas"));
    EXPECT_EQ(Utf8Names(NamesIn(dir_.Path())), std::vector<std::string>{"list.cas"});
    CloseAndExpectExitCodeZero();
}

}  // namespace
