// Design-time layouts: a window described as data (its properties, its
// controls in creation order, and the handlers its events are bound to).  A
// form's constructor builds the window and its controls from such a
// description; each program keeps its description in its own folder.
#pragma once

#include <string>
#include <vector>

#include "framework/gui/types.h"

namespace fw {

class TForm;
class TObject;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBorderStyle { bsNone, bsSingle };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition { poDesigned, poDefault };
enum TBitBtnKind { bkCustom, bkOK };
enum class TControlKind { Label, Edit, Button, BitBtn, CheckBox, ListBox, Timer, OpenDialog };

// A handler as the layout refers to it: a member of the program's form class,
// called on the form.  Made with NotifyHandler<&TMainForm::Name> and its
// siblings.
using TNotifyRef = void (*)(TForm& form, TObject* sender);
using TCloseQueryRef = void (*)(TForm& form, TObject* sender, bool& canClose);
using TDropFilesRef = void (*)(TForm& form, TObject* sender, const std::vector<std::string>& files);

namespace detail {
template <class M> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> {
    using Class = C;
};
}  // namespace detail

template <auto Method>
constexpr TNotifyRef NotifyHandler = [](TForm& form, TObject* sender) {
    using Form = typename detail::MemberOf<decltype(Method)>::Class;
    (static_cast<Form&>(form).*Method)(sender);
};

template <auto Method>
constexpr TCloseQueryRef CloseQueryHandler = [](TForm& form, TObject* sender, bool& canClose) {
    using Form = typename detail::MemberOf<decltype(Method)>::Class;
    (static_cast<Form&>(form).*Method)(sender, canClose);
};

template <auto Method>
constexpr TDropFilesRef DropFilesHandler = [](TForm& form, TObject* sender,
                                              const std::vector<std::string>& files) {
    using Form = typename detail::MemberOf<decltype(Method)>::Class;
    (static_cast<Form&>(form).*Method)(sender, files);
};

struct TFontDesign {
    const char* Name = "ＭＳ Ｐゴシック";
    int Height = -12;  // negative: character height in pixels
    int Charset = SHIFTJIS_CHARSET;
    TColor Color = clWindowText;
    unsigned Style = 0;  // TFontStyle flags
};

struct TControlDesign {
    TControlKind Kind = TControlKind::Label;
    const char* Name = "";
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    const char* Caption = "";
    int TabOrder = -1;  // -1: no tab stop
    bool Visible = true;
    bool ParentFont = true;
    TFontDesign Font = {};
    bool AutoSize = false;
    TAlignment Alignment = taLeftJustify;
    bool Transparent = false;
    TBitBtnKind BitBtnKind = bkCustom;
    unsigned Interval = 1000;  // timers
    bool Enabled = true;       // timers
    const char* Filter = "";   // open dialogs
    int ItemHeight = 13;       // list boxes
    bool Sorted = false;       // list boxes
    TNotifyRef OnClick = nullptr;  // OnTimer for a timer
};

struct TFormDesign {
    const char* Name = "";
    const char* Caption = "";
    int Left = 0;
    int Top = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    TBorderStyle BorderStyle = bsSingle;
    TFormStyle FormStyle = fsNormal;
    TPosition Position = poDesigned;
    TColor Color = clBtnFace;
    TFontDesign Font = {};
    bool AcceptFiles = false;
    TNotifyRef OnCreate = nullptr;
    TNotifyRef OnDestroy = nullptr;
    TCloseQueryRef OnCloseQuery = nullptr;
    TDropFilesRef OnDropFiles = nullptr;
    std::vector<TControlDesign> Controls;
};

}  // namespace fw
