#include "framework/gui/controls.h"

#include "framework/gui/forms.h"
#include "framework/gui/platform.h"

namespace fw {

namespace {

void ApplyFontDesign(TFont& font, const TFontDesign& design, const TForm& form) {
    font.SetName(design.Name);
    font.SetHeight(form.Scale(design.Height));
    font.SetCharset(design.Charset);
    font.SetColor(design.Color);
    font.SetStyle(design.Style);
}

}  // namespace

TControl::TControl(TForm& form, const TControlDesign& design)
    : TComponent(&form),
      caption_(design.Caption),
      form_(form),
      design_(design),
      kind_(design.Kind),
      left_(form.Scale(design.Left)),
      top_(form.Scale(design.Top)),
      width_(form.Scale(design.Width)),
      height_(form.Scale(design.Height)),
      visible_(design.Visible),
      tabOrder_(design.TabOrder) {
    SetName(design.Name);
    if (design.ParentFont) {
        font_ = *form.Font();
        font_.OnChange = nullptr;
    } else {
        ApplyFontDesign(font_, design.Font, form);
    }
}

TControl::~TControl() {
    if (handle_) CurrentPlatform().DestroyWindow(handle_);
}

void TControl::CreateHandle() {
    handle_ = CurrentPlatform().CreateControlWindow(*this);
    font_.OnChange = [this] { CurrentPlatform().FontChanged(*this); };
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_) CurrentPlatform().SetWindowRect(handle_, Bounds(left, top, width, height));
}

void TControl::ScaleForPPI() {
    SetBounds(form_.Scale(design_.Left), form_.Scale(design_.Top), form_.Scale(design_.Width),
              form_.Scale(design_.Height));
    const TFontDesign& font = design_.ParentFont ? form_.Design().Font : design_.Font;
    font_.SetHeight(form_.Scale(font.Height));
}

std::string TControl::Caption() const { return caption_; }

void TControl::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (handle_) CurrentPlatform().SetWindowText(handle_, caption);
}

void TControl::Click() {
    if (OnClick) Application->Guard([&] { OnClick(this); });
}

TLabel::TLabel(TForm& form, const TControlDesign& design)
    : TControl(form, design),
      autoSize_(design.AutoSize),
      alignment_(design.Alignment),
      transparent_(design.Transparent) {
    CreateHandle();
    AdjustSize();
    Font()->OnChange = [this] {
        CurrentPlatform().FontChanged(*this);
        AdjustSize();
    };
}

void TLabel::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    TControl::SetCaption(caption);
    AdjustSize();
}

void TLabel::ScaleForPPI() {
    TControl::ScaleForPPI();
    AdjustSize();
}

void TLabel::AdjustSize() {
    if (!autoSize_) return;
    TSize size = CurrentPlatform().TextExtent(*Font(), caption_);
    SetBounds(Left(), Top(), size.cx, size.cy);
}

TEdit::TEdit(TForm& form, const TControlDesign& design) : TControl(form, design) { CreateHandle(); }

std::string TEdit::Caption() const {
    // Until its window exists, an edit box holds its designed text.
    return Handle() ? CurrentPlatform().GetWindowText(Handle()) : caption_;
}

TButton::TButton(TForm& form, const TControlDesign& design) : TControl(form, design) {
    default_ = design.Kind == TControlKind::BitBtn && design.BitBtnKind == bkOK;
    if (design.Kind == TControlKind::Button) CreateHandle();
}

TBitBtn::TBitBtn(TForm& form, const TControlDesign& design)
    : TButton(form, design), bitBtnKind_(design.BitBtnKind) {
    CreateHandle();
}

TCheckBox::TCheckBox(TForm& form, const TControlDesign& design) : TControl(form, design) { CreateHandle(); }

bool TCheckBox::Checked() const { return CurrentPlatform().IsChecked(Handle()); }

void TCheckBox::SetChecked(bool checked) { CurrentPlatform().SetChecked(Handle(), checked); }

TListBox::TListBox(TForm& form, const TControlDesign& design) : TComponent(&form) { SetName(design.Name); }

TTimer::TTimer(TForm& form, const TControlDesign& design) : TComponent(&form), interval_(design.Interval) {
    SetName(design.Name);
    SetEnabled(design.Enabled);
}

TTimer::~TTimer() {
    if (enabled_) CurrentPlatform().StopTimer(*this);
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled) {
        enabled_ = true;
        CurrentPlatform().StartTimer(*this);
    } else if (enabled_) {
        enabled_ = false;
        CurrentPlatform().StopTimer(*this);
    }
}

// An application that is ending runs no more handlers, though a modal loop
// (a message box still up) keeps the timers ticking until it returns.
void TTimer::Tick() {
    if (enabled_ && OnTimer && !Application->Terminated()) Application->Guard([&] { OnTimer(this); });
}

TOpenDialog::TOpenDialog(TForm& form, const TControlDesign& design)
    : TComponent(&form), form_(form), filter_(design.Filter) {
    SetName(design.Name);
}

bool TOpenDialog::Execute() {
    std::string chosen = fileName_;
    if (!CurrentPlatform().ExecuteOpenDialog(form_.Handle(), filter_, options_, chosen)) return false;
    fileName_ = chosen;
    return true;
}

}  // namespace fw
