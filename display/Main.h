// Vistel's main window: the player status display.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/gui/forms.h"
#include "framework/ini.h"

using namespace fw;

class TMainForm : public TForm {
public:
    TLabel* LaTotal = Component<TLabel>("LaTotal");
    TTimer* Timer = Component<TTimer>("Timer");
    TLabel* LaCurrent = Component<TLabel>("LaCurrent");
    TLabel* Label3 = Component<TLabel>("Label3");
    TLabel* LaPath = Component<TLabel>("LaPath");
    TLabel* LaStatusBar = Component<TLabel>("LaStatusBar");
    TLabel* LaColor = Component<TLabel>("LaColor");
    TLabel* LaHow = Component<TLabel>("LaHow");
    TLabel* LaDevice = Component<TLabel>("LaDevice");

    void FormCreate(TObject* Sender);
    void FormDestroy(TObject* Sender);
    void TimerTimer(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);

    explicit TMainForm(TComponent* Owner);
    ~TMainForm() override;

    // The settings file beside the executable, for one handler run.
    std::unique_ptr<TIniFile> OpenSettings();
    // Takes a new snapshot of all displays into ScreenBitmap, which keeps
    // the old one where none can be taken; the drag-start form hides the
    // window for the copy and shows it after.
    void CaptureScreen(bool DragStart);
    void NextColorScheme();

    void Dispatch(TMessage& Message) override;

private:
    void ShowOnceWanted(bool Wanted);
    void HandlePointer(TIniFile& Settings);
    void StepMode(TIniFile& Settings);
    void EraseBackground();

    std::unique_ptr<TBitmap> ScreenBitmap;
    // Where the snapshot's top-left pixel lies on the screen.
    TPoint ScreenOrigin;
    // Whether a poll cycle has shown the window yet.
    bool FirstShown = false;
};

extern TMainForm* MainForm;

// Program-wide display state.
extern std::int32_t ColorIndex;
extern bool DragLatch;
extern bool HowLatch;
extern bool ColorLatch;
extern std::int32_t LastCursorX;
extern std::int32_t LastCursorY;

// The window's design-time layout.
extern const TFormDesign MainDesign;
