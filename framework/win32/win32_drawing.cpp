// The Win32 platform's drawing: the screen, bitmaps, the desktop compositor
// and copies between drawing surfaces.
#include "framework/win32/win32_state.h"

namespace fw::win32 {

// --- Drawing ---------------------------------------------------------------------------------

TSize Win32Platform::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

TRect Win32Platform::VirtualScreen() {
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        TSize primary = ScreenSize();
        return Bounds(0, 0, primary.cx, primary.cy);
    }
    return Bounds(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), width, height);
}

// The system's setting, which a program that declares itself aware of it
// (as ours do in their manifests) sees unchanged.
int Win32Platform::ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

bool Win32Platform::CompositionEnabled() {
    BOOL enabled = FALSE;
    return state_->dwmIsCompositionEnabled && SUCCEEDED(state_->dwmIsCompositionEnabled(&enabled)) && enabled;
}

void Win32Platform::FlushComposition() {
    if (state_->dwmFlush) state_->dwmFlush();
}

long Win32Platform::SetCompositionAttribute(THandle window, unsigned attribute, const void* value, unsigned size) {
    if (!state_->dwmSetWindowAttribute) return static_cast<long>(E_NOTIMPL);
    return state_->dwmSetWindowAttribute(Hwnd(window), attribute, value, size);
}

THandle Win32Platform::GetScreenDC() { return reinterpret_cast<THandle>(GetDC(nullptr)); }

void Win32Platform::ReleaseScreenDC(THandle dc) { ReleaseDC(nullptr, reinterpret_cast<HDC>(dc)); }

THandle Win32Platform::CreateBitmap(int width, int height) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        throw Exception("ビットマップを作成できません。");
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    THandle handle = state_->nextBitmap++;
    state_->bitmaps[handle] = {bitmap, dc, old, width, height};
    return handle;
}

void Win32Platform::DeleteBitmap(THandle handle) {
    auto found = state_->bitmaps.find(handle);
    if (found == state_->bitmaps.end()) return;
    SelectObject(found->second.dc, found->second.old);
    DeleteDC(found->second.dc);
    DeleteObject(found->second.bitmap);
    state_->bitmaps.erase(found);
}

void Win32Platform::BindPaintDC(THandle form, THandle dc) { state_->paintDCs[form] = reinterpret_cast<HDC>(dc); }

void Win32Platform::UnbindPaintDC(THandle form) { state_->paintDCs.erase(form); }

namespace {

// The device context of a surface, released when this goes out of scope if
// it was fetched for the occasion.
class SurfaceDC {
public:
    SurfaceDC(Win32State& state, const TSurface& surface) {
        switch (surface.kind) {
        case TSurface::Window: {
            auto bound = state.paintDCs.find(surface.handle);
            if (bound != state.paintDCs.end()) {
                dc_ = bound->second;
            } else {
                window_ = Hwnd(surface.handle);
                dc_ = GetDC(window_);
            }
            break;
        }
        case TSurface::Bitmap: {
            auto found = state.bitmaps.find(surface.handle);
            if (found != state.bitmaps.end()) dc_ = found->second.dc;
            break;
        }
        case TSurface::Screen: dc_ = reinterpret_cast<HDC>(surface.handle); break;
        case TSurface::None: break;
        }
    }
    ~SurfaceDC() {
        if (window_) ReleaseDC(window_, dc_);
    }
    SurfaceDC(const SurfaceDC&) = delete;
    SurfaceDC& operator=(const SurfaceDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace

TSize Win32Platform::SurfaceSize(const TSurface& surface) {
    switch (surface.kind) {
    case TSurface::Window: {
        TRect client = ClientRect(surface.handle);
        return {client.Width(), client.Height()};
    }
    case TSurface::Bitmap: {
        auto found = state_->bitmaps.find(surface.handle);
        return found == state_->bitmaps.end() ? TSize{} : TSize{found->second.width, found->second.height};
    }
    case TSurface::Screen: return ScreenSize();
    case TSurface::None: break;
    }
    return {};
}

void Win32Platform::CopyRect(const TSurface& dest, const TRect& destRect, const TSurface& source,
                             const TRect& sourceRect) {
    SurfaceDC to(*state_, dest);
    SurfaceDC from(*state_, source);
    if (!to.get() || !from.get()) return;
    BitBlt(to.get(), destRect.Left, destRect.Top, destRect.Width(), destRect.Height(), from.get(), sourceRect.Left,
           sourceRect.Top, SRCCOPY);
}

void Win32Platform::FillRect(const TSurface& dest, const TRect& rect, TColor color) {
    SurfaceDC to(*state_, dest);
    if (!to.get()) return;
    HBRUSH brush = CreateSolidBrush(ColorRef(color));
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(to.get(), &r, brush);
    DeleteObject(brush);
}

}  // namespace fw::win32
