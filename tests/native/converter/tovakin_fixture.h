// Tovakin on the in-memory platform and file system.  Each test owns one
// MemoryFileSystem; a Session is one run of the program on it (platform with
// its scripted command line and dialog answers, application titled "Zelbin",
// MainForm created as the program entry creates it).  Several sessions may
// run one after the other over the same files.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Main.h"
#include "framework/files.h"
#include "framework/gui/forms.h"
#include "framework/memory/memory_files.h"
#include "framework/memory/memory_platform.h"

namespace tovakin_test {

using fw::MemoryFileSystem;
using fw::MemoryPlatform;

// The texts the user sees, spelled here independently of the program.
inline const std::string kOpenError =
    "変換元カセットファイルを開けません。ファイルが移動しているか、削除された可能性があります。\n";
inline const std::string kInputError = "情報を正しく入力してください。";
inline const std::string kDone = "変換完了";
inline const std::string kErrorCaption = "Tovakinエラー";
inline const std::string kTitle = "Zelbin";
inline constexpr unsigned kErrorStyle = 0x10;  // MB_OK | MB_ICONERROR
inline constexpr unsigned kPlainStyle = 0x00;  // MB_OK, no icon
inline const std::string kExe = "C:\\Tools\\Tovakin.exe";

// A message box as the user saw it.
struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
    friend bool operator==(const Box&, const Box&) = default;
    friend void PrintTo(const Box& box, std::ostream* out) {
        *out << "{" << testing::PrintToString(box.text) << ", " << testing::PrintToString(box.caption)
             << ", 0x" << std::hex << box.flags << std::dec << "}";
    }
};

inline Box OpenErrorBox(const std::string& path) { return {kOpenError + path, kErrorCaption, kErrorStyle}; }
inline Box InputErrorBox() { return {kInputError, kErrorCaption, kErrorStyle}; }
inline Box DoneBox() { return {kDone, kTitle, kPlainStyle}; }

// Lines joined with CR LF after each, as a converted cassette is written.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Allocation failures on demand: this test program replaces operator new.
// While a limit lives, a single allocation larger than `largest` fails, and
// so does the allocation numbered `failing` (from 1, counted from the
// limit's start; 0 for none), each with std::bad_alloc, or with
// std::length_error where `tooLong` says so: what a string or list asked to
// grow past its maximum size throws, as a 32-bit process meets first with a
// huge cassette.  Allocations() counts them all.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t largest, long failing = 0, bool tooLong = false);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
    static long Allocations();
};

class Session {
public:
    // How the session starts: `commandLine` is the whole command line, program
    // name first; empty for a start without arguments.  With `createForm`
    // false nothing is created, for tests of the program entry.
    Session(const std::string& commandLine, bool createForm) {
        platform.exeName = kExe;
        platform.commandLine = commandLine.empty() ? "\"" + kExe + "\"" : commandLine;
        if (!createForm) return;
        application.Initialize();
        application.SetTitle(kTitle);
        application.CreateForm(MainForm);
    }
    ~Session() { MainForm = nullptr; }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::vector<Box> Boxes() const {
        std::vector<Box> boxes;
        for (const auto& call : platform.messageBoxes) boxes.push_back({call.text, call.caption, call.flags});
        return boxes;
    }

    MemoryPlatform platform;
    fw::TApplication application;
};

class TovakinTest : public ::testing::Test {
protected:
    TovakinTest() {
        MainForm = nullptr;
        fw::SetFiles(&files);
    }
    ~TovakinTest() override {
        session.reset();
        fw::SetFiles(nullptr);
    }

    // A start without arguments, up to the point where the dialog waits for
    // the user: the message loop has shown the window and found nothing to do.
    TMainForm& Open() {
        session.reset();
        session = std::make_unique<Session>("", true);
        session->application.Run();
        return *MainForm;
    }

    // A command-line run with these arguments, each quoted.
    void RunWith(const std::vector<std::string>& arguments) {
        std::string commandLine = "\"" + kExe + "\"";
        for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
        RunCommandLine(commandLine);
    }

    // A command-line run with this whole command line, as typed.
    void RunCommandLine(const std::string& commandLine) {
        session.reset();
        session = std::make_unique<Session>(commandLine, true);
    }

    TMainForm& Form() { return *MainForm; }
    MemoryPlatform& Platform() { return session->platform; }
    std::vector<Box> Boxes() const { return session->Boxes(); }
    std::vector<std::string> CasLines() { return MainForm->LbCas->Items()->Lines(); }

    // Sets both fields and the delete option, then presses the convert button.
    void Convert(const std::string& casFile, const std::string& output, bool deleteSource = false) {
        Form().EdCasFile->SetText(casFile);
        Form().EdOutput->SetText(output);
        Form().ChDelete->SetChecked(deleteSource);
        Form().BtChange->Click();
    }

    MemoryFileSystem files;
    std::unique_ptr<Session> session;
};

}  // namespace tovakin_test
