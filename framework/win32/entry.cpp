// The Windows entry point: sets up the Win32 platform and the application
// object, then runs the program's own entry.
#include "framework/win32/win32.h"

#include "framework/gui/entry.h"
#include "framework/gui/forms.h"
#include "framework/sysutils.h"
#include "framework/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        fw::win32::Win32Platform platform;
        fw::TApplication application;
        ProgramMain();
    } catch (...) {
        // The program reports its own errors; nothing may escape to the system.
    }
    return 0;
}
