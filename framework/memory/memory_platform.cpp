// The in-memory platform: its making, the application's window, the message
// loop and the clock.  Windows, pointer, drawing and dialogs have files of
// their own, as the Win32 platform's have.
#include "framework/memory/memory_platform.h"

#include <algorithm>

#include "framework/gui/forms.h"
#include "framework/sysutils.h"

namespace fw {

MemoryPlatform::MemoryPlatform() : previous_(InstallPlatform(this)) {}

MemoryPlatform::~MemoryPlatform() { InstallPlatform(previous_); }

void MemoryPlatform::SetArguments(const std::vector<std::string>& arguments) {
    commandLine = "\"" + exeName + "\"";
    for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
}

MemoryPlatform::Window& MemoryPlatform::WindowOf(THandle handle) {
    auto found = windows_.find(handle);
    if (found == windows_.end()) throw Exception("no window " + IntToStr(static_cast<std::int64_t>(handle)));
    return found->second;
}

THandle MemoryPlatform::ApplicationWindow() {
    if (!applicationWindow_) {
        applicationWindow_ = nextHandle_++;
        windows_[applicationWindow_].text = applicationTitle;
    }
    return applicationWindow_;
}

void MemoryPlatform::Run(TApplication& application) {
    while (!application.Terminated()) {
        ProcessPaints();
        if (onIdle) onIdle();
        if (application.Terminated()) break;
        if (timers_.empty()) {
            if (!onIdle) return;
            ++now_;
        } else {
            long long next = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) {
                                 return a.second < b.second;
                             })->second;
            Advance(std::max(next - now_, 0LL));
        }
        if (now_ > runLimitMs) return;
    }
}

void MemoryPlatform::Advance(long long milliseconds) {
    const long long end = now_ + milliseconds;
    for (;;) {
        ProcessPaints();
        auto due = std::min_element(timers_.begin(), timers_.end(),
                                    [](auto& a, auto& b) { return a.second < b.second; });
        if (due == timers_.end() || due->second > end) break;
        now_ = due->second;
        TTimer* timer = due->first;
        due->second = now_ + timer->Interval();
        timer->Tick();
    }
    // A modal loop inside a tick may have moved the clock further.
    now_ = std::max(now_, end);
    ProcessPaints();
}

void MemoryPlatform::ProcessPaints() {
    for (auto& [handle, window] : windows_)
        if (window.form && window.visible && window.invalid) Paint(handle);
}

void MemoryPlatform::Paint(THandle handle) {
    Window& window = WindowOf(handle);
    window.invalid = false;
    ++window.paints;
    TMessage message{WM_ERASEBKGND, 0, 0, 0};
    window.form->Dispatch(message);
}

}  // namespace fw
