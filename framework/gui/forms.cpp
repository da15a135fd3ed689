#include "framework/gui/forms.h"

#include <algorithm>

#include "framework/cmdline.h"
#include "framework/gui/platform.h"

namespace fw {

TApplication* Application = nullptr;

// --- TForm -------------------------------------------------------------------

TForm::TForm(TComponent* owner, const TFormDesign& design)
    : TComponent(owner),
      design_(design),
      pixelsPerInch_(CurrentPlatform().ScreenPixelsPerInch()),
      caption_(design.Caption),
      color_(design.Color) {
    SetName(design.Name);
    font_.SetName(design.Font.Name);
    font_.SetHeight(Scale(design.Font.Height));
    font_.SetCharset(design.Font.Charset);
    font_.SetColor(design.Font.Color);
    font_.SetStyle(design.Font.Style);
    handle_ = CurrentPlatform().CreateFormWindow(*this);
    // Where each display has its own scale, the window was made at the
    // screen's and may stand on a display of another.
    if (const int shown = CurrentPlatform().WindowPixelsPerInch(handle_); shown != pixelsPerInch_) {
        pixelsPerInch_ = shown;
        font_.SetHeight(Scale(design.Font.Height));
        CurrentPlatform().SetClientSize(handle_, Scale(design.ClientWidth), Scale(design.ClientHeight));
    }
    canvas_ = TCanvas(TSurface{TSurface::Window, handle_});
    for (const TControlDesign& control : design.Controls) CreateComponent(control);
    if (design.OnCreate) OnCreate = [this, f = design.OnCreate](TObject* s) { f(*this, s); };
    if (design.OnDestroy) OnDestroy = [this, f = design.OnDestroy](TObject* s) { f(*this, s); };
    if (design.OnCloseQuery)
        OnCloseQuery = [this, f = design.OnCloseQuery](TObject* s, bool& canClose) { f(*this, s, canClose); };
    if (design.OnDropFiles)
        OnDropFiles = [this, f = design.OnDropFiles](TObject* s, const std::vector<std::string>& files) {
            f(*this, s, files);
        };
}

TForm::~TForm() {
    // Controls go first, while the window they live in still exists.
    controls_.clear();
    DestroyComponents();
    if (handle_) CurrentPlatform().DestroyWindow(handle_);
}

void TForm::CreateComponent(const TControlDesign& design) {
    TControl* control = nullptr;
    switch (design.Kind) {
    case TControlKind::Label: control = new TLabel(*this, design); break;
    case TControlKind::Edit: control = new TEdit(*this, design); break;
    case TControlKind::Button: control = new TButton(*this, design); break;
    case TControlKind::BitBtn: control = new TBitBtn(*this, design); break;
    case TControlKind::CheckBox: control = new TCheckBox(*this, design); break;
    case TControlKind::ListBox: new TListBox(*this, design); return;
    case TControlKind::OpenDialog: new TOpenDialog(*this, design); return;
    case TControlKind::Timer: {
        auto* timer = new TTimer(*this, design);
        if (design.OnClick) timer->OnTimer = [this, f = design.OnClick](TObject* s) { f(*this, s); };
        return;
    }
    }
    if (design.OnClick) control->OnClick = [this, f = design.OnClick](TObject* s) { f(*this, s); };
    controls_.push_back(control);
}

int TForm::Scale(int designed) const { return MulDiv(designed, pixelsPerInch_, 96); }

void TForm::ScaleForPPI(int pixelsPerInch, const TRect& place) {
    if (pixelsPerInch <= 0) return;
    pixelsPerInch_ = pixelsPerInch;
    font_.SetHeight(Scale(design_.Font.Height));
    for (TControl* control : controls_) control->ScaleForPPI();
    CurrentPlatform().SetWindowRect(handle_, place);
    Invalidate();
}

void TForm::Dispatch(TMessage& message) { DefaultHandler(message); }

void TForm::DefaultHandler(TMessage& message) {
    switch (message.Msg) {
    case WM_ERASEBKGND:
        canvas_.FillRect(ClientRect(), color_);
        message.Result = 1;
        return;
    case WM_DPICHANGED:
        ScaleForPPI(static_cast<int>(message.WParam & 0xFFFF), *reinterpret_cast<const TRect*>(message.LParam));
        message.Result = 0;
        return;
    case WM_QUERYENDSESSION:
        // The end of the session asks to close the window like any other
        // request; the form's answer is the session's.
        message.Result = CloseQuery() ? 1 : 0;
        return;
    case WM_ENDSESSION:
        // The session ends (the close query has run): so does the program,
        // through its normal end.
        if (message.WParam && Application && Application->MainForm() == this) Application->Terminate();
        message.Result = 0;
        return;
    case WM_ACTIVATE:
        if ((message.WParam & 0xFFFF) == WA_INACTIVE) {
            RememberFocus();
        } else if ((message.WParam >> 16) == 0 && FocusActiveControl()) {  // not while minimised
            message.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
        if (FocusActiveControl()) {
            message.Result = 0;
            return;
        }
        break;
    default: break;
    }
    message.Result = CurrentPlatform().DefaultHandler(*this, message);
}

void TForm::RememberFocus() {
    const THandle focused = CurrentPlatform().GetFocus();
    if (!focused) return;
    for (TControl* control : controls_)
        if (control->Handle() == focused) activeControl_ = control;
}

bool TForm::FocusActiveControl() {
    TControl* target = activeControl_ && activeControl_->Visible() ? activeControl_ : nullptr;
    if (!target) {
        for (TControl* control : controls_)
            if (control->TabOrder() >= 0 && control->Visible() && control->Handle() &&
                (!target || control->TabOrder() < target->TabOrder()))
                target = control;
    }
    if (!target) return false;
    activeControl_ = target;
    CurrentPlatform().SetFocus(target->Handle());
    return true;
}

int TForm::Left() const { return CurrentPlatform().WindowRect(handle_).Left; }
int TForm::Top() const { return CurrentPlatform().WindowRect(handle_).Top; }
int TForm::Width() const { return CurrentPlatform().WindowRect(handle_).Width(); }
int TForm::Height() const { return CurrentPlatform().WindowRect(handle_).Height(); }

void TForm::SetLeft(int left) {
    TRect r = CurrentPlatform().WindowRect(handle_);
    if (r.Left != left) CurrentPlatform().SetWindowRect(handle_, Bounds(left, r.Top, r.Width(), r.Height()));
}

void TForm::SetTop(int top) {
    TRect r = CurrentPlatform().WindowRect(handle_);
    if (r.Top != top) CurrentPlatform().SetWindowRect(handle_, Bounds(r.Left, top, r.Width(), r.Height()));
}

TRect TForm::ClientRect() const { return CurrentPlatform().ClientRect(handle_); }
TPoint TForm::ClientOrigin() const { return CurrentPlatform().ClientOrigin(handle_); }

bool TForm::Visible() const { return CurrentPlatform().IsWindowVisible(handle_); }
void TForm::Show() { CurrentPlatform().ShowWindow(handle_, SW_SHOW); }
void TForm::Hide() { CurrentPlatform().ShowWindow(handle_, SW_HIDE); }

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close() {
    if (!CloseQuery()) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
    } else {
        Hide();
    }
}

void TForm::Invalidate() { CurrentPlatform().InvalidateWindow(handle_); }

void TForm::Repaint() {
    Platform& platform = CurrentPlatform();
    platform.InvalidateWindow(handle_);
    platform.UpdateWindow(handle_);
}

TButton* TForm::DefaultButton() const {
    for (TControl* control : controls_)
        if (auto* button = dynamic_cast<TButton*>(control); button && button->Default()) return button;
    return nullptr;
}

void TForm::PressDefaultButton() {
    if (TButton* button = DefaultButton()) button->Click();
}

void TForm::DropFiles(const std::vector<std::string>& files) {
    if (OnDropFiles) Application->Guard([&] { OnDropFiles(this, files); });
}

void TForm::AfterConstruction() {
    // An exception in the creation handler is reported and the form lives on.
    if (OnCreate) Application->Guard([&] { OnCreate(this); });
}

void TForm::BeforeDestruction() {
    if (destroying_) return;
    destroying_ = true;
    if (OnDestroy) Application->Guard([&] { OnDestroy(this); });
}

// --- TApplication ------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) { Application = this; }

TApplication::~TApplication() {
    // Forms learn of their end (OnDestroy) while everything still exists.
    for (int i = ComponentCount() - 1; i >= 0; --i)
        if (auto* form = dynamic_cast<TForm*>(Components(i))) form->BeforeDestruction();
    DestroyComponents();
    if (Application == this) Application = nullptr;
}

void TApplication::Run() {
    if (terminated_) return;
    if (mainForm_ && showMainForm_)
        mainForm_->Show();
    else
        SpendLauncherShowCommand();
    CurrentPlatform().Run(*this);
}

// Windows carries out the first show command of a process as the launcher
// asked in its start-up information, whatever that command says: a hidden or
// minimised start, or an activating one.  The never-shown application window
// takes it here and is hidden again, so that the main form's own show, when
// the program makes it, is carried out as written.
void TApplication::SpendLauncherShowCommand() {
    Platform& platform = CurrentPlatform();
    const THandle window = platform.ApplicationWindow();
    platform.ShowWindow(window, SW_HIDE);
    if (platform.IsWindowVisible(window)) platform.ShowWindow(window, SW_HIDE);
}

void TApplication::SetTitle(std::string title) {
    title_ = std::move(title);
    CurrentPlatform().SetApplicationTitle(title_);
}

void TApplication::Terminate() {
    terminated_ = true;
    CurrentPlatform().Terminate();
}

void TApplication::Restore() { CurrentPlatform().RestoreApplication(); }

std::string TApplication::ExeName() const { return CurrentPlatform().ExeName(); }

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    THandle owner = mainForm_ && mainForm_->Visible() ? mainForm_->Handle() : 0;
    return CurrentPlatform().MessageBox(owner, text, caption, flags);
}

void TApplication::ShowException(const std::exception& error) {
    MessageBox(error.what(), title_, MB_OK | MB_ICONERROR);
}

// One box at a time.  Timers tick on in the box's own message loop: a
// handler that fails at every tick would otherwise put a new box over the
// open one at each of them.  What fails while the box is up goes unreported;
// the box already tells that something does.
void TApplication::ReportSafely(const std::exception& error) noexcept {
    if (reporting_) return;
    reporting_ = true;
    try {
        ShowException(error);
    } catch (...) {
        // Nothing is left to report with; the program goes on.
    }
    reporting_ = false;
}

void TApplication::HandleException() {
    try {
        // Running out of memory, however the runtime says it (bad_alloc, or
        // a text grown past its maximum size), is told in words for the
        // user: the runtime's own text is not.
        if (RanOutOfMemory([] { throw; })) ReportSafely(Exception("メモリが足りません。"));
    } catch (const std::exception& error) {
        ReportSafely(error);
    } catch (...) {
        ReportSafely(Exception("不明なエラーが発生しました。"));
    }
}

void ShowMessage(const std::string& message) {
    Application->MessageBox(message, Application->Title(), MB_OK);
}

int ParamCount() {
    auto count = static_cast<int>(SplitCommandLine(CurrentPlatform().CommandLine()).size()) - 1;
    return count > 0 ? count : 0;
}

std::string ParamStr(int index) {
    std::vector<std::string> arguments = SplitCommandLine(CurrentPlatform().CommandLine());
    if (index < 0 || static_cast<std::size_t>(index) >= arguments.size()) return {};
    if (index == 0) return CurrentPlatform().ExeName();
    return arguments[static_cast<std::size_t>(index)];
}

}  // namespace fw
