#include "framework/gui/graphics.h"

#include <algorithm>

namespace fw {

void TFont::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    Platform& platform = CurrentPlatform();
    TRect bounds;
    if (source.surface_.kind == TSurface::Screen) {
        bounds = platform.VirtualScreen();
    } else {
        TSize size = platform.SurfaceSize(source.surface_);
        bounds = Rect(0, 0, size.cx, size.cy);
    }
    TRect inside{std::max(sourceRect.Left, bounds.Left), std::max(sourceRect.Top, bounds.Top),
                 std::min(sourceRect.Right, bounds.Right), std::min(sourceRect.Bottom, bounds.Bottom)};
    bool any = inside.Left < inside.Right && inside.Top < inside.Bottom;
    // What a bitmap holds beyond its edges is undefined: paint it black.
    if (!any || !(inside == sourceRect)) platform.FillRect(surface_, dest, clBlack);
    if (!any) return;
    int dx = dest.Left - sourceRect.Left;
    int dy = dest.Top - sourceRect.Top;
    TRect target{inside.Left + dx, inside.Top + dy, inside.Right + dx, inside.Bottom + dy};
    platform.CopyRect(surface_, target, source.surface_, inside);
}

void TCanvas::FillRect(const TRect& rect, TColor color) { CurrentPlatform().FillRect(surface_, rect, color); }

TScreenCanvas::TScreenCanvas() : TCanvas(TSurface{TSurface::Screen, CurrentPlatform().GetScreenDC()}) {}

TScreenCanvas::~TScreenCanvas() { CurrentPlatform().ReleaseScreenDC(Surface().handle); }

TBitmap::~TBitmap() {
    if (handle_) CurrentPlatform().DeleteBitmap(handle_);
}

void TBitmap::SetWidth(int width) {
    if (width_ == width) return;
    width_ = width;
    Recreate();
}

void TBitmap::SetHeight(int height) {
    if (height_ == height) return;
    height_ = height;
    Recreate();
}

void TBitmap::Recreate() {
    Platform& platform = CurrentPlatform();
    if (handle_) platform.DeleteBitmap(handle_);
    handle_ = 0;
    if (width_ > 0 && height_ > 0) handle_ = platform.CreateBitmap(width_, height_);
    canvas_ = TCanvas(TSurface{TSurface::Bitmap, handle_});
}

TRect TScreen::DesktopRect() const { return CurrentPlatform().VirtualScreen(); }

namespace {
TScreen screen;
}
TScreen* Screen = &screen;

}  // namespace fw
