// The in-memory platform's timers, cursor and mouse buttons, as scripted.
#include "framework/gui/forms.h"
#include "framework/memory/memory_platform.h"

namespace fw {

void MemoryPlatform::StartTimer(TTimer& timer) { timers_[&timer] = now_ + timer.Interval(); }
void MemoryPlatform::StopTimer(TTimer& timer) { timers_.erase(&timer); }

bool MemoryPlatform::GetCursorPos(TPoint& position) {
    if (!cursorAvailable) return false;
    position = cursor;
    return true;
}

short MemoryPlatform::GetAsyncKeyState(int key) {
    ++keyStateQueries;
    const bool down = (key == VK_LBUTTON && leftButton) || (key == VK_RBUTTON && rightButton);
    return down ? static_cast<short>(0x8000) : 0;
}

int MemoryPlatform::GetSystemMetrics(int index) { return index == SM_SWAPBUTTON && buttonsSwapped ? 1 : 0; }

}  // namespace fw
