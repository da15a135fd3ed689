// The Win32 platform's labels: child windows that draw only their text, over
// whatever their form paints behind them.
#include "framework/win32/win32_state.h"

#include <algorithm>

namespace fw::win32 {

namespace {

// How far a text drawn in this font reaches past the end of its advance: an
// italic letter leans out to the right of the place the next letter would
// take.  Measured on the glyphs' black boxes as the system renders them
// (synthesised slants included).
int InkOverhang(HFONT font, const std::wstring& text) {
    if (text.empty()) return 0;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    long pen = 0;
    long inkRight = 0;
    for (wchar_t c : text) {
        GLYPHMETRICS metrics{};
        if (GetGlyphOutlineW(dc, c, GGO_METRICS, &metrics, 0, nullptr, &identity) == GDI_ERROR) {
            ABC abc{};
            if (!GetCharABCWidthsW(dc, c, c, &abc)) continue;
            inkRight = std::max<long>(inkRight, pen + abc.abcA + static_cast<long>(abc.abcB));
            pen += abc.abcA + static_cast<long>(abc.abcB) + abc.abcC;
            continue;
        }
        inkRight = std::max<long>(inkRight, pen + metrics.gmptGlyphOrigin.x + static_cast<long>(metrics.gmBlackBoxX));
        pen += metrics.gmCellIncX;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return static_cast<int>(std::max<long>(inkRight - pen, 0));
}

// Draws a label's text in its own rectangle (`area`, in the device
// context's coordinates).  The text is not clipped to that rectangle: what
// reaches beyond it, an italic overhang, lies in the label's widened window.
void DrawLabelText(HDC dc, TLabel& label, RECT area) {
    HGDIOBJ old = SelectObject(dc, State().FontFor(*label.Font()));
    SetTextColor(dc, ColorRef(label.Font()->Color()));
    SetBkMode(dc, TRANSPARENT);
    UINT format = DT_NOPREFIX | DT_SINGLELINE | DT_TOP | DT_NOCLIP;
    if (label.Alignment() == taCenter) format |= DT_CENTER;
    if (label.Alignment() == taRightJustify) format |= DT_RIGHT;
    std::wstring text = Widen(label.Caption());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
    SelectObject(dc, old);
}

}  // namespace

// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Where a control stands in its form, as the control itself says.
RECT LogicalRect(const TControl& control) {
    return {control.Left(), control.Top(), control.Left() + control.Width(), control.Top() + control.Height()};
}

// A label's window: its own rectangle, widened to the right by its text's
// overhang, so that an italic last letter is drawn whole.  The label's
// bounds (and so any hit rectangle made from them) stay as they are.
RECT LabelWindowRect(const TLabel& label) {
    RECT rect = LogicalRect(label);
    rect.right += InkOverhang(State().FontFor(label.Font()), Widen(label.Caption()));
    return rect;
}

// Repaints a label's area of the form, and every label that reaches into it.
void InvalidateLabelArea(HWND hwnd) {
    RECT rect = ChildRect(hwnd);
    RedrawWindow(GetParent(hwnd), &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Gives a label's window the rectangle its bounds and text call for, and
// repaints what it leaves and what it covers.
void PlaceLabelWindow(HWND hwnd, const TLabel& label) {
    const RECT want = LabelWindowRect(label);
    const RECT now = ChildRect(hwnd);
    if (EqualRect(&want, &now)) return;
    InvalidateLabelArea(hwnd);
    SetWindowPos(hwnd, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateLabelArea(hwnd);
}

// Labels are child windows that draw only their text.  Their background is
// whatever the form paints there: the form's own erase handling is run on the
// label's device context, moved so that form coordinates land in place.
LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* label = dynamic_cast<TLabel*>(State().ControlOf(hwnd));
    if (!label) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        TForm& form = label->Form();
        RECT rect = ChildRect(hwnd);
        POINT origin;
        SetViewportOrgEx(dc, -rect.left, -rect.top, &origin);
        Self().BindPaintDC(form.Handle(), reinterpret_cast<THandle>(dc));
        TMessage message{WM_ERASEBKGND, wParam, 0, 0};
        Guarded([&] { form.Dispatch(message); });
        Self().UnbindPaintDC(form.Handle());
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT own = ChildRect(hwnd);
        // Labels may overlap.  Each label window shows everything that lies
        // in its area: the form's background, then the text of every label
        // that reaches into it, in creation order.  So the picture is the
        // same whichever window happens to paint a spot.
        for (TControl* control : label->Form().Controls()) {
            auto* other = dynamic_cast<TLabel*>(control);
            if (!other || !other->Visible() || !other->Handle()) continue;
            RECT reach = ChildRect(Hwnd(other->Handle()));
            RECT overlap;
            if (!IntersectRect(&overlap, &reach, &own)) continue;
            RECT area = LogicalRect(*other);
            OffsetRect(&area, -own.left, -own.top);
            DrawLabelText(dc, *other, area);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCHITTEST:
        // Presses go to the form underneath, as on a window without children.
        return HTTRANSPARENT;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}


}  // namespace fw::win32
