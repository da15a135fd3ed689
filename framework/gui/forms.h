// Forms and the application object.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/gui/classes.h"
#include "framework/gui/controls.h"
#include "framework/gui/design.h"
#include "framework/gui/graphics.h"
#include "framework/sysutils.h"

namespace fw {

class TApplication;

// A top-level window built from its design-time layout.  The constructor
// creates the window (hidden) and every control of the layout, and binds the
// layout's handlers; OnCreate runs once the whole object is constructed, when
// the application creates the form (AfterConstruction).
//
// Layouts are designed at 96 pixels per inch.  On a display with another
// setting, every position and size of the layout and every font height is
// scaled by the display's pixels per inch / 96 (MulDiv rounding), except the
// form's own place on the screen, which stays as designed.  The display is
// the one the window stands on when it is created, and again whenever it
// comes to stand on a display of another scale (WM_DPICHANGED).
class TForm : public TComponent {
public:
    TForm(TComponent* owner, const TFormDesign& design);
    ~TForm() override;

    // The message map.  Every message of the window passes through here;
    // what an override does not handle it passes on to this base version,
    // which hands it to the system's default handling.
    virtual void Dispatch(TMessage& message);
    void DefaultHandler(TMessage& message);

    THandle Handle() const { return handle_; }
    const TFormDesign& Design() const { return design_; }
    // A length of the layout in pixels at the form's pixels per inch.
    int Scale(int designed) const;
    int PixelsPerInch() const { return pixelsPerInch_; }
    // Lays the form out anew for another pixels per inch, its window taking
    // the given place.
    void ScaleForPPI(int pixelsPerInch, const TRect& place);
    const std::string& Caption() const { return caption_; }
    TColor Color() const { return color_; }
    TFont* Font() { return &font_; }
    const TFont& Font() const { return font_; }
    TCanvas* Canvas() { return &canvas_; }

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    TRect ClientRect() const;
    TPoint ClientOrigin() const;

    bool Visible() const;
    void Show();
    void Hide();

    // Asks the form to close: OnCloseQuery decides; closing the main form
    // ends the application.
    void Close();
    bool CloseQuery();

    void Invalidate();
    // Repaints the whole form and its controls now.
    void Repaint();

    // The control of the layout with this name and type; throws when the
    // layout has none.
    template <class T>
    T* Component(std::string_view name) const {
        if (auto* found = dynamic_cast<T*>(FindComponent(name))) return found;
        throw Exception("layout of " + Name() + " has no component " + std::string(name));
    }
    const std::vector<TControl*>& Controls() const { return controls_; }
    TButton* DefaultButton() const;
    // Presses the default button, as the Enter key does in an edit box.
    void PressDefaultButton();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TCloseQueryEvent OnCloseQuery;
    TDropFilesEvent OnDropFiles;
    // Called by the platform when files are dropped onto the window.
    void DropFiles(const std::vector<std::string>& files);

    void AfterConstruction();   // runs OnCreate
    void BeforeDestruction();   // runs OnDestroy

private:
    void CreateComponent(const TControlDesign& design);
    // Keyboard focus across activations: the focused control is remembered
    // when the form goes inactive and gets the focus back when it is active
    // again; the first time, the first control in tab order gets it.
    void RememberFocus();
    bool FocusActiveControl();

    const TFormDesign& design_;
    int pixelsPerInch_;
    std::string caption_;
    TColor color_;
    TFont font_;
    THandle handle_ = 0;
    TCanvas canvas_{TSurface{}};
    std::vector<TControl*> controls_;
    TControl* activeControl_ = nullptr;
    bool destroying_ = false;
};

// The application: its title, its forms and its message loop.
class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    void Initialize() {}
    const std::string& Title() const { return title_; }
    // The title names the program on the task bar and captions its
    // standard message boxes.
    void SetTitle(std::string title);
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool show) { showMainForm_ = show; }

    // Creates a form owned by the application and stores it in `reference`
    // before its OnCreate runs; the first form created is the main form.
    template <class T>
    void CreateForm(T*& reference) {
        auto* form = new T(this);
        reference = form;
        if (!mainForm_) mainForm_ = form;
        form->AfterConstruction();
    }
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form (unless told not to) and runs the message loop
    // until the application is terminated.  Returns at once when it already
    // is, without showing anything.  A main form shown here is shown as the
    // program's launcher asked (a shortcut's "minimised", say); one the
    // program shows itself later is shown as the program asks.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    void Restore();

    std::string ExeName() const;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

    // The standard exception report: an error box with the message, captioned
    // with the title.
    void ShowException(const std::exception& error);
    // Shows the exception being handled (call inside a catch), unless the
    // box of another one is still up.
    void HandleException();

    // Runs an event handler; an exception it throws is reported, not passed on,
    // so that no exception ever crosses the window system.
    template <class F>
    void Guard(F&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            HandleException();
        }
    }

private:
    void ReportSafely(const std::exception& error) noexcept;
    void SpendLauncherShowCommand();

    std::string title_;
    bool showMainForm_ = true;
    bool terminated_ = false;
    bool reporting_ = false;  // an exception's box is up
    TForm* mainForm_ = nullptr;
};

extern TApplication* Application;

// A plain message box with one OK button, no icon, captioned with the title.
void ShowMessage(const std::string& message);

// The command line: ParamStr(0) is the program, 1 to ParamCount() its arguments.
int ParamCount();
std::string ParamStr(int index);

}  // namespace fw
