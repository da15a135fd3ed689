// The Win32 platform's timers and pointer.
#include "framework/win32/win32_state.h"

namespace fw::win32 {

// --- Timers and pointer -----------------------------------------------------------------

// Timers are kept by the message loop itself (see Run): switching one on or
// off touches nothing outside the process, which matters to a poll that
// switches its timer off and on again twenty times a second.
void Win32Platform::StartTimer(TTimer& timer) { state_->timerDue[&timer] = GetTickCount64() + timer.Interval(); }

void Win32Platform::StopTimer(TTimer& timer) { state_->timerDue.erase(&timer); }

bool Win32Platform::GetCursorPos(TPoint& position) {
    POINT point;
    if (!::GetCursorPos(&point)) return false;
    position = {point.x, point.y};
    return true;
}

short Win32Platform::GetAsyncKeyState(int key) { return ::GetAsyncKeyState(key); }

int Win32Platform::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

}  // namespace fw::win32
