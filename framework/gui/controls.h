// Controls of a form, and the non-visual components a layout may hold.
#pragma once

#include <memory>
#include <string>

#include "framework/gui/classes.h"
#include "framework/gui/design.h"
#include "framework/gui/graphics.h"
#include "framework/stringlist.h"

namespace fw {

class TForm;

// A control on a form.  Every visible control is a child window of the
// form's window whose window text is its caption.  Its place, size and font
// height are the layout's, scaled as the form scales them.
class TControl : public TComponent {
public:
    TControl(TForm& form, const TControlDesign& design);
    ~TControl() override;

    TControlKind Kind() const { return kind_; }
    TForm& Form() const { return form_; }
    THandle Handle() const { return handle_; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);
    // Takes the designed place, size and font height anew at the form's
    // pixels per inch.
    virtual void ScaleForPPI();

    bool Visible() const { return visible_; }
    int TabOrder() const { return tabOrder_; }
    TFont* Font() { return &font_; }
    const TFont& Font() const { return font_; }

    // The window text: a label's or button's caption, an edit box's text.
    virtual std::string Caption() const;
    virtual void SetCaption(const std::string& caption);

    TNotifyEvent OnClick;
    // Runs OnClick, reporting any exception through the application.
    void Click();

protected:
    void CreateHandle();
    std::string caption_;

private:
    TForm& form_;
    const TControlDesign& design_;
    TControlKind kind_;
    THandle handle_ = 0;
    int left_, top_, width_, height_;
    bool visible_;
    int tabOrder_;
    TFont font_;
};

class TLabel : public TControl {
public:
    TLabel(TForm& form, const TControlDesign& design);

    // Sets the caption only when it differs; an auto-size label then takes
    // the size of its text in its own font.
    void SetCaption(const std::string& caption) override;
    void ScaleForPPI() override;
    bool AutoSize() const { return autoSize_; }
    TAlignment Alignment() const { return alignment_; }
    bool Transparent() const { return transparent_; }

private:
    void AdjustSize();

    bool autoSize_;
    TAlignment alignment_;
    bool transparent_;
};

class TEdit : public TControl {
public:
    TEdit(TForm& form, const TControlDesign& design);
    std::string Caption() const override;  // what the user typed
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
};

class TButton : public TControl {
public:
    TButton(TForm& form, const TControlDesign& design);
    // The default button is the one the Enter key presses.
    bool Default() const { return default_; }

protected:
    bool default_ = false;
};

// A button with a glyph; the OK kind shows a check mark and is the default button.
class TBitBtn : public TButton {
public:
    TBitBtn(TForm& form, const TControlDesign& design);
    TBitBtnKind BitBtnKind() const { return bitBtnKind_; }

private:
    TBitBtnKind bitBtnKind_;
};

class TCheckBox : public TControl {
public:
    TCheckBox(TForm& form, const TControlDesign& design);
    bool Checked() const;
    void SetChecked(bool checked);
};

// A list of lines held by the form.  Ours are never shown, so the list box
// has no window of its own: its lines live in Items.
class TListBox : public TComponent {
public:
    TListBox(TForm& form, const TControlDesign& design);
    TStrings* Items() { return &items_; }
    bool Visible() const { return false; }

private:
    TStrings items_;
};

class TTimer : public TComponent {
public:
    TTimer(TForm& form, const TControlDesign& design);
    ~TTimer() override;

    unsigned Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    // Switching the timer on (again) restarts its interval.
    void SetEnabled(bool enabled);

    TNotifyEvent OnTimer;
    // Called by the platform when the interval has passed, in whatever
    // message loop runs: the application's or a modal one.
    void Tick();

private:
    unsigned interval_;
    bool enabled_ = false;
};

class TOpenDialog : public TComponent {
public:
    TOpenDialog(TForm& form, const TControlDesign& design);

    const std::string& Filter() const { return filter_; }
    const std::string& FileName() const { return fileName_; }
    // OFN_ flags.  The framework's defaults: no read-only check box, a
    // sizable dialog, and the program's current folder left as it is.
    unsigned Options() const { return options_; }
    // Shows the dialog modally; true when the user chose a file.
    bool Execute();

private:
    TForm& form_;
    std::string filter_;
    std::string fileName_;
    unsigned options_ = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
};

}  // namespace fw
