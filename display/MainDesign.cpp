// Vistel's window as designed: a borderless, always-on-top 198 x 90 window
// with eight transparent labels and the 50 ms poll timer.  The cassette and
// song lines start empty: the first poll fills them in.
#include "Main.h"

namespace {

TFontDesign LabelFont(int height, unsigned style = 0) {
    return {.Name = "ＭＳ Ｐゴシック", .Height = -height, .Charset = SHIFTJIS_CHARSET, .Color = clRed,
            .Style = style};
}

TControlDesign Label(const char* name, int left, int top, int width, int height, int fontHeight,
                     unsigned style, bool autoSize, TAlignment alignment, const char* caption) {
    return {.Kind = TControlKind::Label, .Name = name, .Left = left, .Top = top, .Width = width,
            .Height = height, .Caption = caption, .ParentFont = false, .Font = LabelFont(fontHeight, style),
            .AutoSize = autoSize, .Alignment = alignment, .Transparent = true};
}

}  // namespace

const TFormDesign MainDesign = {
    .Name = "MainForm",
    .Caption = "Vistel",
    .Left = 757,
    .Top = 136,
    .ClientWidth = 198,
    .ClientHeight = 90,
    .BorderStyle = bsNone,
    .FormStyle = fsStayOnTop,
    .Position = poDesigned,
    .Color = clBtnFace,
    .Font = {.Name = "ＭＳ Ｐゴシック", .Height = -12, .Charset = SHIFTJIS_CHARSET, .Color = clWindowText},
    .OnCreate = NotifyHandler<&TMainForm::FormCreate>,
    .OnDestroy = NotifyHandler<&TMainForm::FormDestroy>,
    .OnCloseQuery = CloseQueryHandler<&TMainForm::FormCloseQuery>,
    .Controls =
        {
            Label("LaTotal", 112, 32, 84, 37, 37, 0, true, taLeftJustify, "00:00"),
            {.Kind = TControlKind::Timer, .Name = "Timer", .Interval = 50, .Enabled = true,
             .OnClick = NotifyHandler<&TMainForm::TimerTimer>},
            Label("LaCurrent", 0, 32, 84, 37, 37, 0, true, taLeftJustify, "00:00"),
            Label("Label3", 88, 32, 19, 37, 37, 0, true, taLeftJustify, "/"),
            Label("LaPath", 0, 0, 191, 13, 13, 0, true, taLeftJustify, ""),
            Label("LaStatusBar", 0, 16, 191, 13, 13, 0, true, taLeftJustify, ""),
            Label("LaColor", 80, 72, 34, 15, 15, fsItalic, true, taLeftJustify, "Color"),
            Label("LaHow", 120, 72, 73, 17, 15, fsItalic, false, taCenter, "１曲リピート"),
            Label("LaDevice", 0, 72, 60, 15, 15, fsItalic, false, taLeftJustify, "一時停止"),
        },
};
