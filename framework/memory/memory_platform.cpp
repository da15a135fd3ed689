#include "framework/memory/memory_platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/gui/forms.h"
#include "framework/gui/system.h"
#include "framework/sysutils.h"
#include "framework/text.h"

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

// --- Message loop and clock ------------------------------------------------------

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

// --- Windows ---------------------------------------------------------------------

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

THandle MemoryPlatform::ApplicationWindow() {
    if (!applicationWindow_) {
        applicationWindow_ = nextHandle_++;
        windows_[applicationWindow_].text = applicationTitle;
    }
    return applicationWindow_;
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

// --- Timers and pointer --------------------------------------------------------------

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

// --- Drawing -----------------------------------------------------------------------

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

// --- Dialogs -----------------------------------------------------------------------------

int MemoryPlatform::MessageBox(THandle owner, const std::string& text, const std::string& caption,
                               unsigned flags) {
    messageBoxes.push_back({owner, text, caption, flags});
    // The box is active while it is up; its owner is active again after it.
    const bool ownedByForm = owner && windows_.count(owner) && WindowOf(owner).form;
    if (ownedByForm) Deactivate(owner);
    focused = 0;
    if (onMessageBox) onMessageBox(messageBoxes.back());
    if (ownedByForm && windows_.count(owner)) Activate(owner);
    if (messageBoxAnswers.empty()) return IDOK;
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

bool MemoryPlatform::ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                                       std::string& fileName) {
    openDialogs.push_back({owner, filter, options});
    if (openDialogAnswers.empty()) return false;
    std::optional<std::string> answer = openDialogAnswers.front();
    openDialogAnswers.pop_front();
    if (!answer) return false;
    fileName = *answer;
    return true;
}

void* MemoryPlatform::BrowseForFolder(const TBrowseInfo& request) {
    bool zeroed = request.pszDisplayName &&
                  std::all_of(request.pszDisplayName, request.pszDisplayName + MAX_PATH, [](char c) { return c == 0; });
    browses.push_back({request.hwndOwner, request.pidlRoot, zeroed, request.lpszTitle ? request.lpszTitle : "",
                       request.ulFlags, request.lpfn});
    if (folderAnswers.empty()) return nullptr;
    std::optional<std::string> answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (!answer) return nullptr;
    ++idListsOutstanding;
    return new std::string(*answer);
}

bool MemoryPlatform::PathFromIdList(void* idList, char* path) {
    const std::string& folder = *static_cast<std::string*>(idList);
    if (folder.empty() || folder.size() >= static_cast<std::size_t>(MAX_PATH)) return false;
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    return true;
}

void MemoryPlatform::FreeIdList(void* idList) {
    delete static_cast<std::string*>(idList);
    --idListsOutstanding;
}

}  // namespace fw
