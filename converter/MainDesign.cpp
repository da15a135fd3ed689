// Tovakin's window as designed: a fixed dialog with the source and output
// fields, their two browse buttons, the delete option and the convert button.
#include "Main.h"

const TFormDesign MainDesign = {
    .Name = "MainForm",
    .Caption = "Zelbin - カセットファイルの絶対パスを相対パスに変換するぞ！",
    .Left = 270,
    .Top = 230,
    .ClientWidth = 442,
    .ClientHeight = 100,
    .BorderStyle = bsSingle,
    .FormStyle = fsNormal,
    .Position = poDefault,
    .Color = clBtnFace,
    .Font = {.Name = "ＭＳ Ｐゴシック", .Height = -12, .Charset = SHIFTJIS_CHARSET, .Color = clWindowText},
    .AcceptFiles = true,
    .OnCreate = NotifyHandler<&TMainForm::FormCreate>,
    .OnDropFiles = DropFilesHandler<&TMainForm::FormDropFiles>,
    .Controls =
        {
            {.Kind = TControlKind::Label, .Name = "Label1", .Left = 0, .Top = 13, .Width = 115, .Height = 12,
             .Caption = "変換元カセットファイル"},
            {.Kind = TControlKind::Label, .Name = "Label2", .Left = 40, .Top = 45, .Width = 72, .Height = 12,
             .Caption = "変換後出力先"},
            {.Kind = TControlKind::BitBtn, .Name = "BtChange", .Left = 304, .Top = 72, .Width = 75, .Height = 25,
             .Caption = "変換", .TabOrder = 0, .BitBtnKind = bkOK,
             .OnClick = NotifyHandler<&TMainForm::BtChangeClick>},
            {.Kind = TControlKind::Edit, .Name = "EdCasFile", .Left = 120, .Top = 8, .Width = 257, .Height = 20,
             .TabOrder = 1},
            {.Kind = TControlKind::Button, .Name = "BtRef", .Left = 384, .Top = 8, .Width = 57, .Height = 25,
             .Caption = "参照", .TabOrder = 2, .OnClick = NotifyHandler<&TMainForm::BtRefClick>},
            {.Kind = TControlKind::Edit, .Name = "EdOutput", .Left = 120, .Top = 40, .Width = 257, .Height = 20,
             .TabOrder = 3},
            {.Kind = TControlKind::Button, .Name = "Button1", .Left = 384, .Top = 40, .Width = 57, .Height = 25,
             .Caption = "参照", .TabOrder = 4, .OnClick = NotifyHandler<&TMainForm::Button1Click>},
            {.Kind = TControlKind::CheckBox, .Name = "ChDelete", .Left = 8, .Top = 72, .Width = 161, .Height = 17,
             .Caption = "変換後に元ファイルを削除", .TabOrder = 5},
            {.Kind = TControlKind::ListBox, .Name = "LbCas", .Left = 144, .Top = 40, .Width = 177, .Height = 17,
             .TabOrder = 6, .Visible = false, .ItemHeight = 12, .Sorted = false},
            {.Kind = TControlKind::OpenDialog, .Name = "OpenDialog",
             .Filter = "SORBELカセットファイル(*.cas)|*.cas"},
        },
};
