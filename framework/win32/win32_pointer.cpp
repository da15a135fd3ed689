// The Win32 platform's timers and pointer.
#include "framework/win32/win32_state.h"

#include <algorithm>

namespace fw::win32 {

// --- Timers and pointer -----------------------------------------------------------------

// A poll that switches its timer off and on again at every tick costs no
// system call for it, as long as the tick's handler ends within the clock
// step it began in; one that takes longer costs one SetTimer.
void Win32Platform::StartTimer(TTimer& timer) {
    auto [found, added] = state_->timers.try_emplace(&timer, Win32State::Timer{state_->nextTimerId, false, 0, 0, 0});
    if (added) ++state_->nextTimerId;
    Win32State::Timer& kept = found->second;
    kept.on = true;
    kept.due = GetTickCount64() + timer.Interval();
    if (!kept.period || kept.elapses > kept.due) state_->SetWindowTimer(kept, timer.Interval());
}

void Win32Platform::StopTimer(TTimer& timer) {
    if (auto found = state_->timers.find(&timer); found != state_->timers.end()) found->second.on = false;
}

void Win32State::SetWindowTimer(Timer& timer, ULONGLONG milliseconds) {
    const UINT period = static_cast<UINT>(std::min<ULONGLONG>(milliseconds, USER_TIMER_MAXIMUM));
    timer.period = SetTimer(applicationWindow, timer.id, period, nullptr) ? period : 0;
    timer.elapses = GetTickCount64() + period;
}

// The timer object is looked at only while it is on: one switched off may be
// gone.  Its handler may switch it off and on, run a modal loop in which it
// ticks again, or end it; the timer is looked up afresh after it.
void Win32State::TimerElapsed(UINT_PTR id) {
    auto found = std::find_if(timers.begin(), timers.end(), [&](const auto& entry) { return entry.second.id == id; });
    if (found == timers.end() || !found->second.on) {
        KillTimer(applicationWindow, id);
        if (found != timers.end()) timers.erase(found);
        return;
    }
    TTimer* timer = found->first;
    Timer& kept = found->second;
    const ULONGLONG now = GetTickCount64();
    kept.elapses = now + kept.period;
    // Switched on again since the window timer was set: the rest of the interval.
    if (now < kept.due) {
        SetWindowTimer(kept, kept.due - now);
        return;
    }
    kept.due = now + timer->Interval();
    if (kept.period != timer->Interval()) SetWindowTimer(kept, timer->Interval());
    timer->Tick();
    // A handler that switched its timer off and on took longer than the
    // clock's step: the window timer would elapse early.
    found = timers.find(timer);
    if (found == timers.end() || !found->second.on) return;
    const ULONGLONG end = GetTickCount64();
    if (found->second.elapses < found->second.due && end < found->second.due)
        SetWindowTimer(found->second, found->second.due - end);
}

bool Win32Platform::GetCursorPos(TPoint& position) {
    POINT point;
    if (!::GetCursorPos(&point)) return false;
    position = {point.x, point.y};
    return true;
}

short Win32Platform::GetAsyncKeyState(int key) { return ::GetAsyncKeyState(key); }

int Win32Platform::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

}  // namespace fw::win32
