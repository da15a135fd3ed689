// Drives the real programs from outside, as a user would, for the end-to-end
// tests run under Wine: starts a program, finds its windows, reads what they
// show, answers its message boxes, works the mouse and keyboard, and reads
// the files the programs write.
//
// Test code only: it talks to Win32 directly, which the programs never do.
// Every wait takes a timeout that only guards against a hang, and waits for
// the thing itself, not for a first sign of it: no test depends on how fast
// anything happens.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/win32_folders.h"

namespace e2e {

// Guards against a hang only; a first Wine start can take several seconds.
// 30 s, or the milliseconds SORBEL_E2E_TIMEOUT_MS gives, for a machine many
// times slower than a plain host (the emulated one of the release check):
// a right program passes as soon as what is checked holds, so a longer
// guard only makes a failing check take longer.
extern const DWORD kTimeoutMs;

// ---------------------------------------------------------------- programs under test

// The test program learns where the programs under test are from its own
// command line, one argument --program=<Name>=<path> each (tests/e2e/CMakeLists.txt
// passes them).  ReadProgramPaths reads them from GetCommandLineW once, at the
// start of main; ProgramAvailable gives one as a Windows path, failing with
// what is missing when the path is not given or names no file.
void ReadProgramPaths();
testing::AssertionResult ProgramAvailable(const std::wstring& name, std::wstring& path);

// ---------------------------------------------------------------- text, paths, files

std::wstring Widen(const std::string& utf8);
std::string Utf8(const std::wstring& text);
// The code page 932 bytes of a text, as the programs hold it inside.
std::string ToCp932(const std::wstring& text);
std::wstring FromCp932(const std::string& bytes);

// A Linux path as Wine sees it on drive Z: ("/tmp/x/a.cas" -> L"Z:\tmp\x\a.cas").
// A path that already has a drive letter is returned unchanged.
std::wstring WinePath(const std::wstring& path);
// The folder part of a Windows path, without the final backslash.
std::wstring FolderOf(const std::wstring& path);

using testfolders::TempDir;  // a fresh temporary folder, removed with its contents

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool FileExists(const std::wstring& path);
// Copies a file into a folder under its own name; returns the new path,
// empty on failure.
std::wstring CopyInto(const std::wstring& file, const std::wstring& folder);
// testfolders::NamesIn in UTF-8: what a run left behind, temporary files included.
std::vector<std::string> NamesIn(const std::wstring& folder);

// A key's value in a settings file as the platform's profile functions read
// it (GetPrivateProfileStringW, what the player itself uses), in UTF-8;
// nullopt when the file or the key is missing.  The file's bytes, code page
// 932 text, are read in one piece and handed to the profile functions as a
// UTF-16 copy: they would read the file itself in the system's code page,
// which need not be 932 (Wine's prefixes here have 1252).  Each copy has a
// name never used before, so no copy the profile functions cache can answer.
std::optional<std::string> IniValue(const std::wstring& path, const std::wstring& section, const std::wstring& key);
std::optional<std::string> IniValueIn(const std::string& bytes, const std::wstring& section, const std::wstring& key);

// ---------------------------------------------------------------- waiting

// Polls condition every interval until it holds (true) or timeoutMs passes
// (false), handling the messages of the calling thread's own windows
// meanwhile (a picture the test shows is painted and repainted).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs, DWORD intervalMs = 20);
// Waits ms, handling the calling thread's messages: for a hold, never as a
// wait for something to happen.
void Pause(DWORD ms);

// ---------------------------------------------------------------- processes

// A started program.  If it is still running when the object goes, it is
// terminated, so a failed test leaves no process behind.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exe with the given arguments in workDir (empty: the exe's
    // folder).  An argument with a space or tab, or an empty one, is put in
    // double quotes; an argument holding a double quote is refused.  Check
    // Started() and Error().
    static Process Start(const std::wstring& exe, const std::vector<std::wstring>& args = {},
                         const std::wstring& workDir = L"");

    bool Started() const { return process_ != nullptr; }
    const std::wstring& Error() const { return error_; }
    DWORD Id() const { return id_; }
    bool Running() const;
    // Waits for the program to end; true with its exit code, false on timeout.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);
    void Terminate();

private:
    void Close();
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    std::wstring error_;
};

// The command line Start builds for exe and args; empty if an argument holds
// a double quote.
std::wstring BuildCommandLine(const std::wstring& exe, const std::vector<std::wstring>& args);

// The program ends by itself with this exit code; if it does not end, the
// failure names the message boxes it shows (an exception box, say).
testing::AssertionResult EndsWithExitCode(Process& process, DWORD expected = 0);

// ---------------------------------------------------------------- windows

// The top-level windows of a process, visible or not, in Z order.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The first visible top-level window of the process with exactly this text.
HWND WaitForWindowWithText(DWORD processId, const std::wstring& text, DWORD timeoutMs);
// Vistel reads the Sorbel.ini beside it: a copy of the program at `exe`
// started in `folder`, beside a Sorbel.ini of these bytes.  Its window once
// shown (and so laid out), or nullptr with the reason in `error`.
HWND StartVistelIn(const std::wstring& exe, const std::wstring& folder, const std::string& settings,
                   Process& process, std::string& error);
// The windows of the process the shell gives a task bar button (and an
// entry in the task switcher): visible top-level windows that are either
// marked as application windows, or owned by no window and not tool windows.
std::vector<HWND> TaskbarWindows(DWORD processId);

// The text a window reports for WM_GETTEXT (also the content of another
// process's edit control); empty if the window does not answer.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
RECT WindowRect(HWND window);           // screen coordinates, frame included
SIZE ClientSize(HWND window);
POINT ClientOrigin(HWND window);        // screen position of the client area's top left
RECT ClientRectOnScreen(HWND window);
POINT CentreOf(HWND window);            // of the window's rectangle, on the screen
LONG_PTR Style(HWND window);
LONG_PTR ExStyle(HWND window);
bool IsVisible(HWND window);

struct ChildWindow {
    HWND handle;
    std::wstring className;
    std::wstring text;
    RECT rect;          // relative to the parent's client area
    int id;             // control id
    bool visible;
};
// The direct children of a window (not their own children), in Z order.
std::vector<ChildWindow> Children(HWND parent);
// The first direct child with this text, or with this class as well when
// className is not empty; nullptr if none.
HWND FindChild(HWND parent, const std::wstring& text, const std::wstring& className = L"");

// Asks a window to close, as its close box would.
bool PostClose(HWND window);

// ---------------------------------------------------------------- message boxes

// The message boxes (dialog class "#32770") the process shows.
std::vector<HWND> MessageBoxes(DWORD processId);

struct MessageBoxContent {
    std::wstring caption;
    std::vector<std::wstring> texts;    // texts of the static controls, in order
    std::vector<std::wstring> buttons;  // captions of the buttons, in order
    bool hasIcon = false;               // a static control showing an icon
    bool answered = false;              // the box and each control answered every question

    // Laid out: answered, with a caption, a text and buttons that each have
    // a name.  A box found the moment it shows may not be yet.
    bool Complete() const;
    bool operator==(const MessageBoxContent&) const = default;
};
MessageBoxContent ReadMessageBox(HWND box);
// The first message box of the process once it is wholly there: Complete,
// and read the same at two looks in a row.  After the timeout, the box last
// seen as it was (nullptr if none).  content, when given, receives what was
// read; look, when given, sees the process's top-level windows at each look.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs, MessageBoxContent* content = nullptr,
                       const std::function<void(const std::vector<HWND>&)>& look = {});
// Presses a button of the box by command id (IDOK, IDYES, ...).
bool AnswerMessageBox(HWND box, int commandId = IDOK);
// Presses the button with this caption ("&" accelerators ignored).
bool PressButton(HWND dialog, const std::wstring& caption);

// ---------------------------------------------------------------- input

// The mouse, in screen coordinates.  Programs that sample the button state on
// a timer only see a press that lasts across a sample: hold until what the
// press does shows (PressUntil, HeldButton).
bool MoveCursor(int x, int y);
bool LeftButtonUp();
// Move, press, hold for holdMs, release.
bool Click(int x, int y, DWORD holdMs = 250);
// Move, press, and hold until done() holds, then release.  False if done()
// never held within timeoutMs.
bool PressUntil(POINT at, const std::function<bool()>& done, DWORD timeoutMs = kTimeoutMs);

// A button held down from Press until Release, or until the object goes, so
// that a test that ends while holding it lets go.  The right one is the
// physical right button, which a left-handed user's swapped buttons make the
// primary one.
class HeldButton {
public:
    explicit HeldButton(bool right = false) : right_(right) {}
    ~HeldButton() { Release(); }
    HeldButton(const HeldButton&) = delete;
    HeldButton& operator=(const HeldButton&) = delete;
    bool Press();
    bool Release();

private:
    bool right_;
    bool pressed_ = false;
};

// Brings a top-level window to the foreground for keyboard input.
bool Activate(HWND window);
// Keys through the system input queue, to the focused window.
bool SendEnter();
bool TypeUnicode(const std::wstring& text);
// A key posted straight to one window, whether or not it has the focus.
bool PostKey(HWND window, WORD virtualKey);

// ---------------------------------------------------------------- screen

// The pixels of a screen rectangle, read from the screen's device context.
struct ScreenCapture {
    RECT rect{};
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row from the top

    // The colour at (x, y) relative to rect's top left, as a COLORREF.
    COLORREF At(int x, int y) const;
};
bool CaptureScreen(const RECT& rect, ScreenCapture& capture);
// Pixels of a screen rectangle with exactly this colour; -1 if it cannot be read.
int CountColour(const RECT& rect, COLORREF colour);

}  // namespace e2e
