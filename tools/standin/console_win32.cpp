// The console on Windows: arguments arrive as UTF-16 and become code page
// 932 exactly (as every path and value of the programs is); lines go to a
// console through the wide API, so Japanese reads right whatever the
// console's code page, and to a pipe or file as code page 932 bytes.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string_view>

#include "framework/sysutils.h"
#include "framework/win32/wide.h"
#include "standin/console.h"

namespace standin::console {

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<bool> done{false};

void Write(DWORD which, std::FILE* stream, const std::string& line) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::wstring wide = fw::win32::Widen(line + "\n");
        DWORD written;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Runs on a thread of its own.  Ctrl-C and Ctrl-Break are handled (the main
// loop quits); for a closing console, log-off or shut-down the process ends
// when this returns, so it waits a while for the final write.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    stopRequested = true;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    for (int waited = 0; !done && waited < 4000; waited += 50) Sleep(50);
    return TRUE;
}

}  // namespace

bool Arguments(int argc, wchar_t** argv, std::vector<std::string>& args, std::string& error) {
    args.clear();
    for (int i = 1; i < argc; ++i) {
        bool lossless = true;
        args.push_back(fw::win32::Narrow(argv[i], &lossless));
        if (!lossless) {
            error = "argument " + std::to_string(i) + " (" + args.back() +
                    ") holds characters that code page 932 cannot hold";
            return false;
        }
    }
    return true;
}

void PrintOut(const std::string& line) { Write(STD_OUTPUT_HANDLE, stdout, line); }

void PrintErr(const std::string& line) { Write(STD_ERROR_HANDLE, stderr, line); }

Console Make() {
    Console console;
    console.out = PrintOut;
    console.err = PrintErr;
    console.valueText = [](const std::string& text) { return text; };
    console.run = RunPlayer;
    return console;
}

void InstallStopHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool StopRequested() { return stopRequested; }

void Done() { done = true; }

}  // namespace standin::console
