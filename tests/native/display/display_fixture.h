// Vistel on the in-memory platform and file system: a fresh program state,
// the player's Sorbel.ini beside C:\Sorbel\Vistel.exe, and helpers that
// script the pointer and run poll cycles.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Main.h"
#include "framework/files.h"
#include "framework/gui/system.h"
#include "framework/ini.h"
#include "framework/memory/memory_files.h"
#include "framework/memory/memory_platform.h"

namespace fw {
// Readable points in failure messages.
inline void PrintTo(const TPoint& point, std::ostream* out) { *out << "(" << point.x << ", " << point.y << ")"; }
}  // namespace fw

namespace vistel_test {

using fw::MemoryFileSystem;
using fw::MemoryPlatform;

inline const std::string kIni = "C:\\Sorbel\\Sorbel.ini";

// Points relative to the window's top-left corner, at 96 pixels per inch.
constexpr int kModeX = 156, kModeY = 80;    // on LaHow
constexpr int kColourX = 90, kColourY = 80; // on LaColor
constexpr int kBackX = 150, kBackY = 5;     // on no reacting label

// The program's own texts.
inline const std::string kContinuous = "連続再生";
inline const std::string kRepeatOne = "１曲リピート";
inline const std::string kStopAfterOne = "１曲停止";

// The scheme colours, by number, as 0x00BBGGRR.
inline constexpr fw::TColor kSchemeColors[18] = {
    0xFFFF00, 0x000000, 0xFF0000, 0x808080, 0xFF00FF, 0x808080, 0x008000, 0x00FF00, 0xC0C0C0,
    0x000080, 0x800000, 0x008080, 0x800080, 0x0000FF, 0xC0C0C0, 0x808000, 0xFFFFFF, 0x00FFFF,
};

// "[VISTEL]" followed by the given lines, each ended with CR LF.
inline std::string Section(const std::vector<std::string>& lines) {
    std::string text = "[VISTEL]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

inline void ResetProgramState() {
    MainForm = nullptr;
    ColorIndex = 13;
    DragLatch = false;
    HowLatch = false;
    ColorLatch = false;
    LastCursorX = 0;
    LastCursorY = 0;
}

class VistelTest : public ::testing::Test {
protected:
    VistelTest() {
        fw::SetFiles(&files);
        files.AddFolder("C:\\Sorbel");
        platform.exeName = "C:\\Sorbel\\Vistel.exe";
        // A small screen that holds the window: every capture copies it all.
        platform.screen = fw::TPixels(1024, 768, fw::clBlack);
        ResetProgramState();
    }

    // Vistel reports nothing to the user, whatever happens.
    void TearDown() override { EXPECT_TRUE(platform.messageBoxes.empty()); }

    ~VistelTest() override {
        application.reset();
        MainForm = nullptr;
        fw::SetFiles(nullptr);
    }

    // Creates the application and the form, as the program entry does;
    // FormCreate runs.
    void Start() {
        application = std::make_unique<fw::TApplication>();
        application->CreateForm(MainForm);
    }

    // Ends the program (FormDestroy runs) and starts it afresh with the
    // program-wide state of a new process.
    void Restart() {
        application.reset();
        ResetProgramState();
        Start();
    }

    void StartWith(const std::string& ini) {
        files.Put(kIni, ini);
        Start();
    }

    std::string Ini() const { return files.Get(kIni).value_or("<none>"); }
    // A key of [VISTEL] in the settings file as it stands on disk.
    std::string Saved(std::string_view key) const {
        std::string text = Ini();
        std::optional<std::string_view> value = fw::IniFindValue(text, "VISTEL", key);
        return value ? std::string(*value) : "<missing>";
    }
    void Cycle() { MainForm->TimerTimer(nullptr); }
    void Cycles(int count) {
        for (int i = 0; i < count; ++i) Cycle();
    }

    MemoryPlatform::Window& Window() { return platform.WindowOf(MainForm->Handle()); }
    MemoryPlatform::Window& WindowOf(fw::TLabel* label) { return platform.WindowOf(label->Handle()); }

    // Shows the window and paints it, so that later paints can be counted.
    void ShowSettled() {
        fw::ShowWindow(MainForm->Handle(), SW_SHOWNOACTIVATE);
        platform.ProcessPaints();
    }

    // Puts the cursor at a point given relative to the window's top-left
    // corner, with the left button down or up.
    void Pointer(int dx, int dy, bool down) {
        platform.cursor = {MainForm->Left() + dx, MainForm->Top() + dy};
        platform.leftButton = down;
    }
    void Press(int dx, int dy) { Pointer(dx, dy, true); }
    void Release() { platform.leftButton = false; }
    // A press and its release, each seen by one poll.
    void Click(int dx, int dy) {
        Press(dx, dy);
        Cycle();
        Release();
        Cycle();
    }

    // The cursor moved by (dx, dy), the button as it is.
    void MoveBy(int dx, int dy) {
        platform.cursor.x += dx;
        platform.cursor.y += dy;
    }

    fw::TPoint Position() const { return {MainForm->Left(), MainForm->Top()}; }

    std::vector<fw::TLabel*> Labels() const {
        return {MainForm->LaPath,  MainForm->LaStatusBar, MainForm->LaCurrent, MainForm->Label3,
                MainForm->LaTotal, MainForm->LaColor,     MainForm->LaHow,     MainForm->LaDevice};
    }
    // What the labels show, in the order of Labels().
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (fw::TLabel* label : Labels()) captions.push_back(label->Caption());
        return captions;
    }

    bool Closed() const { return application && application->Terminated(); }

    MemoryPlatform platform;
    MemoryFileSystem files;
    std::unique_ptr<fw::TApplication> application;
};

}  // namespace vistel_test
