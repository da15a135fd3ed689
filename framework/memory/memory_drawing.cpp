// The in-memory platform's screen, bitmaps and compositor.
#include <algorithm>
#include <cstring>

#include "framework/memory/memory_platform.h"
#include "framework/sysutils.h"

namespace fw {

namespace {
constexpr THandle kScreenDC = 0x5C4EE2;
}

TSize MemoryPlatform::ScreenSize() {
    if (primarySize.cx > 0 && primarySize.cy > 0) return primarySize;
    return {screen.width, screen.height};
}

TRect MemoryPlatform::VirtualScreen() { return Bounds(screenOrigin.x, screenOrigin.y, screen.width, screen.height); }

void MemoryPlatform::FlushComposition() {
    if (!compositionEnabled) return;
    ++compositionFlushes;
    for (StaleFrame& frame : staleFrames_) --frame.framesLeft;
    std::erase_if(staleFrames_, [](const StaleFrame& frame) { return frame.framesLeft <= 0; });
}

long MemoryPlatform::SetCompositionAttribute(THandle window, unsigned attribute, const void* value, unsigned size) {
    constexpr long kInvalidArgument = static_cast<long>(0x80070057);  // E_INVALIDARG
    if (!value || size != sizeof(int)) return kInvalidArgument;
    int setting = 0;
    std::memcpy(&setting, value, sizeof setting);
    WindowOf(window).dwmAttributes[attribute] = setting;
    return 0;
}

THandle MemoryPlatform::GetScreenDC() {
    ++screenDCsOutstanding;
    return kScreenDC;
}

void MemoryPlatform::ReleaseScreenDC(THandle dc) {
    if (dc == kScreenDC) --screenDCsOutstanding;
}

THandle MemoryPlatform::CreateBitmap(int width, int height) {
    if (static_cast<long long>(width) * height > largestBitmap) throw Exception("ビットマップを作成できません。");
    THandle handle = nextHandle_++;
    bitmaps_[handle] = TPixels(width, height, 0xBADBAD);
    ++bitmapsAlive;
    return handle;
}

void MemoryPlatform::DeleteBitmap(THandle bitmap) {
    if (bitmaps_.erase(bitmap)) --bitmapsAlive;
}

TPixels* MemoryPlatform::Pixels(const TSurface& surface) {
    switch (surface.kind) {
    case TSurface::Window: return &WindowOf(surface.handle).surface;
    case TSurface::Bitmap: {
        auto found = bitmaps_.find(surface.handle);
        return found == bitmaps_.end() ? nullptr : &found->second;
    }
    case TSurface::Screen: return surface.handle == kScreenDC && screenDCsOutstanding > 0 ? &screen : nullptr;
    case TSurface::None: break;
    }
    return nullptr;
}

TSize MemoryPlatform::SurfaceSize(const TSurface& surface) {
    const TPixels* pixels = Pixels(surface);
    return pixels ? TSize{pixels->width, pixels->height} : TSize{};
}

void MemoryPlatform::CopyRect(const TSurface& dest, const TRect& destRect, const TSurface& source,
                              const TRect& sourceRect) {
    TPixels* to = Pixels(dest);
    const TPixels* from = Pixels(source);
    if (!to || !from) return;
    // The screen's device context works in screen coordinates.
    const bool screenSource = source.kind == TSurface::Screen;
    const TPoint origin = screenSource ? screenOrigin : TPoint{};
    for (int y = 0; y < destRect.Height() && y < sourceRect.Height(); ++y)
        for (int x = 0; x < destRect.Width() && x < sourceRect.Width(); ++x) {
            int sx = sourceRect.Left + x, sy = sourceRect.Top + y;
            int dx = destRect.Left + x, dy = destRect.Top + y;
            if (!from->Contains(sx - origin.x, sy - origin.y) || !to->Contains(dx, dy)) continue;
            TColor pixel = from->At(sx - origin.x, sy - origin.y);
            if (screenSource)
                for (const StaleFrame& frame : staleFrames_)
                    if (sx >= frame.rect.Left && sx < frame.rect.Right && sy >= frame.rect.Top && sy < frame.rect.Bottom)
                        pixel = frame.pixels.At(sx - frame.rect.Left, sy - frame.rect.Top);
            to->At(dx, dy) = pixel;
        }
}

void MemoryPlatform::FillRect(const TSurface& dest, const TRect& rect, TColor color) {
    TPixels* to = Pixels(dest);
    if (!to) return;
    for (int y = std::max(rect.Top, 0); y < std::min(rect.Bottom, to->height); ++y)
        for (int x = std::max(rect.Left, 0); x < std::min(rect.Right, to->width); ++x) to->At(x, y) = color;
}

}  // namespace fw
