// The in-memory platform's windows: forms and controls, their texts,
// places, scale, visibility, activation and focus, and the default handling.
#include <algorithm>
#include <cstdlib>

#include "framework/gui/forms.h"
#include "framework/gui/system.h"
#include "framework/memory/memory_platform.h"
#include "framework/sysutils.h"
#include "framework/text.h"

namespace fw {

THandle MemoryPlatform::CreateFormWindow(TForm& form) {
    const TFormDesign& design = form.Design();
    THandle handle = nextHandle_++;
    Window& window = windows_[handle];
    window.form = &form;
    window.text = design.Caption;
    int frame = design.BorderStyle == bsNone ? 0 : kFrame;
    int caption = design.BorderStyle == bsNone ? 0 : kCaption;
    TPoint at = design.Position == poDefault ? TPoint{100, 100} : TPoint{design.Left, design.Top};
    const int width = form.Scale(design.ClientWidth);
    const int height = form.Scale(design.ClientHeight);
    window.rect = Bounds(at.x, at.y, width + 2 * frame, height + 2 * frame + caption);
    window.client = Bounds(frame, frame + caption, width, height);
    window.surface = TPixels(width, height, 0xDEADBE);
    window.pixelsPerInch = PixelsPerInchAt(window.rect);
    return handle;
}

THandle MemoryPlatform::CreateControlWindow(TControl& control) {
    THandle handle = nextHandle_++;
    Window& window = windows_[handle];
    window.control = &control;
    window.parent = control.Form().Handle();
    window.text = control.Caption();
    window.rect = Bounds(control.Left(), control.Top(), control.Width(), control.Height());
    window.client = Bounds(0, 0, control.Width(), control.Height());
    window.visible = control.Visible();
    return handle;
}

void MemoryPlatform::DestroyWindow(THandle window) {
    if (activeWindow == window) activeWindow = 0;
    if (focused == window || (focused && windows_.count(focused) && WindowOf(focused).parent == window)) focused = 0;
    std::erase_if(staleFrames_, [&](const StaleFrame& frame) { return frame.window == window; });
    windows_.erase(window);
}

void MemoryPlatform::SetWindowText(THandle handle, const std::string& text) {
    Window& window = WindowOf(handle);
    window.text = text;
    ++window.textChanges;
}

std::string MemoryPlatform::GetWindowText(THandle handle) { return WindowOf(handle).text; }

TRect MemoryPlatform::WindowRect(THandle handle) { return WindowOf(handle).rect; }

void MemoryPlatform::SetWindowRect(THandle handle, const TRect& rect) {
    Window& window = WindowOf(handle);
    TRect before = window.rect;
    window.rect = rect;
    if (!window.form) {
        window.client = Bounds(0, 0, rect.Width(), rect.Height());
        return;
    }
    if (rect.Width() != before.Width() || rect.Height() != before.Height()) {
        const int width = rect.Width() - (before.Width() - window.client.Width());
        const int height = rect.Height() - (before.Height() - window.client.Height());
        window.client = Bounds(window.client.Left, window.client.Top, width, height);
        window.surface = TPixels(width, height, 0xDEADBE);
        window.invalid = true;
    }
    if (rect.Left != before.Left || rect.Top != before.Top) {
        window.moves.push_back({rect.Left, rect.Top});
        // As on Windows, the move is reported to the window at once.
        TMessage message{WM_MOVE, 0, 0, 0};
        window.form->Dispatch(message);
    }
    FollowDisplayScale(handle);
}

void MemoryPlatform::SetClientSize(THandle handle, int width, int height) {
    const Window& window = WindowOf(handle);
    const TRect& rect = window.rect;
    SetWindowRect(handle, Bounds(rect.Left, rect.Top, width + rect.Width() - window.client.Width(),
                                 height + rect.Height() - window.client.Height()));
}

int MemoryPlatform::WindowPixelsPerInch(THandle handle) {
    const Window& window = WindowOf(handle);
    return window.form ? window.pixelsPerInch : WindowPixelsPerInch(window.parent);
}

int MemoryPlatform::PixelsPerInchAt(const TRect& rect) const {
    if (monitors.empty()) return pixelsPerInch;
    const Monitor* best = &monitors.front();
    long long most = 0;
    for (const Monitor& monitor : monitors) {
        const long long width = std::min(rect.Right, monitor.rect.Right) - std::max(rect.Left, monitor.rect.Left);
        const long long height = std::min(rect.Bottom, monitor.rect.Bottom) - std::max(rect.Top, monitor.rect.Top);
        if (width > 0 && height > 0 && width * height > most) {
            most = width * height;
            best = &monitor;
        }
    }
    return best->pixelsPerInch;
}

void MemoryPlatform::FollowDisplayScale(THandle handle) {
    Window& window = WindowOf(handle);
    const int now = PixelsPerInchAt(window.rect);
    if (changingScale_ || now == window.pixelsPerInch) return;
    const TRect& rect = window.rect;
    // The client area scaled; the frame here has one size at every scale.
    const int width = MulDiv(window.client.Width(), now, window.pixelsPerInch) + rect.Width() - window.client.Width();
    const int height =
        MulDiv(window.client.Height(), now, window.pixelsPerInch) + rect.Height() - window.client.Height();
    TRect suggested = Bounds(rect.Left + (rect.Width() - width) / 2, rect.Top + (rect.Height() - height) / 2, width,
                             height);
    window.pixelsPerInch = now;
    changingScale_ = true;
    TMessage message{WM_DPICHANGED, static_cast<std::uintptr_t>(now) * 0x10001u,
                     reinterpret_cast<std::intptr_t>(&suggested), 0};
    try {
        window.form->Dispatch(message);
    } catch (...) {
        changingScale_ = false;
        throw;
    }
    changingScale_ = false;
}

void MemoryPlatform::SetMonitorPixelsPerInch(std::size_t monitor, int dpi) {
    monitors.at(monitor).pixelsPerInch = dpi;
    std::vector<THandle> forms;
    for (auto& [handle, window] : windows_)
        if (window.form) forms.push_back(handle);
    for (THandle form : forms) FollowDisplayScale(form);
}

TRect MemoryPlatform::ClientRect(THandle handle) {
    const Window& window = WindowOf(handle);
    return Bounds(0, 0, window.client.Width(), window.client.Height());
}

TPoint MemoryPlatform::ClientOrigin(THandle handle) {
    const Window& window = WindowOf(handle);
    return {window.rect.Left + window.client.Left, window.rect.Top + window.client.Top};
}

void MemoryPlatform::ShowWindow(THandle handle, int command) {
    if (onShowWindow) onShowWindow(handle, command);
    Window& window = WindowOf(handle);
    window.showCommands.push_back(command);
    const bool first = !firstShowMade;
    firstShowMade = true;
    if (command == SW_SHOWDEFAULT || (first && launcherShowCommand))
        command = launcherShowCommand.value_or(SW_SHOWNORMAL);
    const bool show = command != SW_HIDE;
    const bool wasVisible = window.visible;
    if (show && !window.visible) window.invalid = true;
    window.visible = show;
    if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE || command == SW_SHOWMINNOACTIVE)
        window.minimized = true;
    else if (command == SW_SHOWNORMAL || command == SW_SHOWNOACTIVATE || command == SW_RESTORE)
        window.minimized = false;
    if (!window.form) return;
    if (show) {
        std::erase_if(staleFrames_, [&](const StaleFrame& frame) { return frame.window == handle; });
        // SW_MINIMIZE passes the activation on; these leave it where it is;
        // every other show command activates the window.
        if (command == SW_MINIMIZE)
            Deactivate(handle);
        else if (command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE && command != SW_SHOWNA)
            Activate(handle);
        return;
    }
    if (wasVisible && compositionEnabled) {
        const auto disabled = window.dwmAttributes.find(DWMWA_TRANSITIONS_FORCEDISABLED);
        const bool fades = hideAnimations && (disabled == window.dwmAttributes.end() || disabled->second == 0);
        staleFrames_.push_back({handle, Bounds(ClientOrigin(handle).x, ClientOrigin(handle).y, window.surface.width,
                                               window.surface.height),
                                window.surface, fades ? kHideAnimationFrames : 1});
    }
    Deactivate(handle);
}

void MemoryPlatform::SendActivate(THandle form, unsigned state) {
    TMessage message{WM_ACTIVATE, state, 0, 0};
    WindowOf(form).form->Dispatch(message);
}

void MemoryPlatform::Activate(THandle form) {
    if (activeWindow == form) return;
    if (activeWindow) Deactivate(activeWindow);
    activeWindow = form;
    constexpr unsigned kActive = 1;
    SendActivate(form, kActive);
}

void MemoryPlatform::Deactivate(THandle form) {
    if (activeWindow != form) return;
    SendActivate(form, WA_INACTIVE);
    activeWindow = 0;
    focused = 0;
}

void MemoryPlatform::SetFocus(THandle handle) {
    // Focus in a form that is not active activates it first.
    const Window& window = WindowOf(handle);
    Activate(window.form ? handle : window.parent);
    focused = handle;
}

bool MemoryPlatform::IsWindowVisible(THandle handle) { return WindowOf(handle).visible; }

void MemoryPlatform::InvalidateWindow(THandle handle) {
    Window& window = WindowOf(handle);
    window.invalid = true;
    ++window.invalidations;
}

void MemoryPlatform::UpdateWindow(THandle handle) {
    Window& window = WindowOf(handle);
    if (window.form && window.visible && window.invalid) Paint(handle);
}

void MemoryPlatform::FontChanged(TControl& control) { ++WindowOf(control.Handle()).fontChanges; }

// Text is measured as a monospaced font would be: a single-byte character is
// half as wide as the character height, a double-byte character as wide.
TSize MemoryPlatform::TextExtent(const TFont& font, const std::string& text) {
    int height = std::abs(font.Height());
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = CharLength(text, i);
        width += length == 2 ? height : (height + 1) / 2;
        i += length;
    }
    return {width, height};
}

bool MemoryPlatform::IsChecked(THandle handle) { return WindowOf(handle).checked; }
void MemoryPlatform::SetChecked(THandle handle, bool checked) { WindowOf(handle).checked = checked; }

std::intptr_t MemoryPlatform::DefaultHandler(TForm& form, TMessage& message) {
    if (message.Msg == WM_SYSCOMMAND && (message.WParam & 0xFFF0) == SC_MOVE) {
        if (onModalLoop) onModalLoop();
        return 0;
    }
    // An active window that keeps no focus of its own takes the focus itself.
    if (message.Msg == WM_ACTIVATE && (message.WParam & 0xFFFF) != WA_INACTIVE) {
        focused = form.Handle();
        TMessage setFocus{WM_SETFOCUS, 0, 0, 0};
        form.Dispatch(setFocus);
    }
    return 0;
}

}  // namespace fw
