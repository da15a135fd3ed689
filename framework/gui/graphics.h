// Fonts, drawing surfaces and bitmaps.
#pragma once

#include <functional>
#include <string>

#include "framework/gui/platform.h"
#include "framework/gui/types.h"

namespace fw {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A control's font.  Height is given as Windows gives it: a negative value is
// a character height in pixels.
class TFont {
public:
    const std::string& Name() const { return name_; }
    int Height() const { return height_; }
    int Charset() const { return charset_; }
    TColor Color() const { return color_; }
    unsigned Style() const { return style_; }

    void SetName(std::string name) { name_ = std::move(name); Changed(); }
    void SetHeight(int height) { height_ = height; Changed(); }
    void SetCharset(int charset) { charset_ = charset; Changed(); }
    void SetColor(TColor color);
    void SetStyle(unsigned style) { style_ = style; Changed(); }

    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }

    std::string name_ = "ＭＳ Ｐゴシック";
    int height_ = -12;
    int charset_ = SHIFTJIS_CHARSET;
    TColor color_ = clWindowText;
    unsigned style_ = 0;
};

// A drawing surface.
class TCanvas {
public:
    explicit TCanvas(TSurface surface) : surface_(surface) {}
    virtual ~TCanvas() = default;

    const TSurface& Surface() const { return surface_; }

    // Plain source copy of `sourceRect` of `source` onto `dest` of this
    // canvas, same size, no stretching.  Parts of `sourceRect` that lie
    // outside the source (for the screen: outside every display's bounding
    // rectangle) come out black.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
    void FillRect(const TRect& rect, TColor color);

private:
    TSurface surface_;
};

// The screen's own drawing surface, held for as long as this object lives.
class TScreenCanvas : public TCanvas {
public:
    TScreenCanvas();
    ~TScreenCanvas() override;
    TScreenCanvas(const TScreenCanvas&) = delete;
    TScreenCanvas& operator=(const TScreenCanvas&) = delete;
};

// An off-screen bitmap in the screen's pixel format.  Setting a size makes a
// new bitmap of that size; its pixels are undefined until drawn.
class TBitmap {
public:
    TBitmap() = default;
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int width);
    void SetHeight(int height);
    TCanvas* Canvas() { return &canvas_; }
    THandle Handle() const { return handle_; }

private:
    void Recreate();

    int width_ = 0;
    int height_ = 0;
    THandle handle_ = 0;
    TCanvas canvas_{TSurface{}};
};

// The displays.  The desktop is the rectangle around all displays, in
// screen coordinates (a display left of or above the primary one lies at
// negative coordinates).
class TScreen {
public:
    TRect DesktopRect() const;
};
extern TScreen* Screen;

}  // namespace fw
