// Tovakin.exe as a user runs it (a cassette dropped onto it, converted in
// place), timed from outside under Wine, its start-up subtracted, beside a
// copy of the same bytes flushed to disk as the program's safe save is.
// Several builds of it (the 32-bit release, the 64-bit one) are measured in
// one run, round by round in turn.  Prints figures; asserts nothing beyond
// that the runs did their work.
//
//   tovakin_bench <cassette> <folder> <label>=<Tovakin.exe>... [--repetitions N]   (default 7)
//
// Each round, for each program in turn:
//   - start-up: Tovakin.exe on an empty cassette in <folder>: it starts, finds
//     nothing to convert and shows its completion message;
//   - convert:  Tovakin.exe on a fresh copy of <cassette> in <folder>, which it
//     converts in place, relative to <folder>;
// then once:
//   - copy:     <cassette> read and written into <folder> through a temporary
//     file, flushed and moved over the target, in this process.
// A run of Tovakin.exe ends when its completion message shows (it is then
// answered, untimed).  The conversion's own time is each convert run less the
// program's median start-up.  The converted cassette stays as <folder>\bench.cas.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "series.h"

namespace {

using bench::Median;
using bench::Now;
using bench::Series;



[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "tovakin_bench: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The visible message box of a process, if it shows one.  Only top-level
// windows of the dialog class are asked about: under Wine every question is
// a round trip to its server, and the polling must leave the program
// measured its time.
HWND MessageBoxOf(DWORD processId) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

struct Run {
    double seconds = 0;
    SIZE_T peakWorkingSet = 0;
};

// Tovakin.exe on one cassette, from its start until its message box shows.
Run RunTovakin(const std::wstring& exe, const std::wstring& cassette) {
    std::wstring commandLine = L"\"" + exe + L"\" \"" + cassette + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    Run run;
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        Fail("cannot start Tovakin.exe");
    HWND box = nullptr;
    // Looked for every 2 ms; the wait also notices a program that ends.
    while ((box = MessageBoxOf(process.dwProcessId)) == nullptr)
        if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) Fail("Tovakin.exe ended without a message");
    run.seconds = Now() - start;
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) run.peakWorkingSet = counters.PeakWorkingSetSize;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        Fail("Tovakin.exe did not end after its message");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

// A copy as the safe save writes: read whole, written to a temporary file
// beside the target, flushed, moved over the target in one step.
double FlushedCopy(const std::wstring& from, const std::wstring& folder) {
    const double start = Now();
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) Fail("cannot open the cassette");
    LARGE_INTEGER size;
    GetFileSizeEx(in, &size);
    std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(in, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) || got != data.size())
        Fail("cannot read the cassette");
    CloseHandle(in);
    const std::wstring temp = folder + L"\\copy.tmp";
    const std::wstring target = folder + L"\\copy.cas";
    HANDLE out = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (out == INVALID_HANDLE_VALUE || !WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) ||
        written != data.size() || !FlushFileBuffers(out) || !CloseHandle(out) ||
        !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail("cannot write the copy");
    return Now() - start;
}

// One build of the program under measurement: its label and path.
struct Program {
    std::string label;
    std::wstring exe;
    std::vector<double> startups, converts, nets;
    SIZE_T peak = 0;
};

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 4) {
        std::fprintf(stderr, "usage: tovakin_bench <cassette> <folder> <label>=<Tovakin.exe>... [--repetitions N]\n");
        return 2;
    }
    const std::wstring cassette = argv[1], folder = argv[2];
    std::vector<Program> programs;
    int repetitions = 7;
    for (int i = 3; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--repetitions" && i + 1 < argc) {
            repetitions = _wtoi(argv[++i]);
            continue;
        }
        const std::size_t equals = argument.find(L'=');
        if (equals == std::wstring::npos) Fail("a program is given as <label>=<Tovakin.exe>");
        programs.push_back({Narrow(argument.substr(0, equals)), argument.substr(equals + 1), {}, {}, {}, 0});
    }
    const std::wstring empty = folder + L"\\empty.cas";
    const std::wstring converted = folder + L"\\bench.cas";
    const long long size = FileSize(cassette);
    if (size <= 0) Fail("no cassette");

    std::vector<double> copies;
    // One round unmeasured, to warm the page cache and Wine's server.  Each
    // round runs every program in turn, so that they meet the same machine.
    for (int round = 0; round <= repetitions; ++round) {
        for (Program& program : programs) {
            HANDLE file = CreateFileW(empty.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) Fail("cannot write the empty cassette");
            CloseHandle(file);
            const Run startup = RunTovakin(program.exe, empty);
            if (!CopyFileW(cassette.c_str(), converted.c_str(), FALSE)) Fail("cannot copy the cassette");
            const Run convert = RunTovakin(program.exe, converted);
            if (FileSize(converted) == size) Fail("the cassette was not converted");
            if (round == 0) continue;
            program.startups.push_back(startup.seconds);
            program.converts.push_back(convert.seconds);
            program.peak = std::max(program.peak, convert.peakWorkingSet);
        }
        const double copy = FlushedCopy(cassette, folder);
        if (round > 0) copies.push_back(copy);
    }
    DeleteFileW(empty.c_str());
    DeleteFileW((folder + L"\\copy.cas").c_str());
    // A start-up varies a great deal under Wine, and now and then one round's
    // took longer than that round's whole conversion: each conversion has the
    // median start-up subtracted, not its own round's.
    for (Program& program : programs) {
        const double startup = Median(program.startups);
        for (const double convert : program.converts) program.nets.push_back(convert - startup);
    }

    std::printf("cassette: %.1f MB, converted in place by Tovakin.exe; %d repetitions after one warm-up\n",
                static_cast<double>(size) / 1e6, repetitions);
    std::printf("%-58s %10s %10s\n", "", "min ms", "median ms");
    const auto row = [](const std::string& name, const std::vector<double>& values) {
        std::printf("%-58s %10.1f %10.1f\n", name.c_str(), *std::min_element(values.begin(), values.end()) * 1e3,
                    Median(values) * 1e3);
    };
    for (const Program& program : programs) {
        row("Tovakin.exe " + program.label + ", empty cassette (start-up)", program.startups);
        row("Tovakin.exe " + program.label + ", cassette converted", program.converts);
        row("Tovakin.exe " + program.label + ", start-up subtracted", program.nets);
    }
    row("flushed copy (read + safe write)", copies);
    for (const Program& program : programs) {
        std::printf("ratio Tovakin.exe %s (start-up subtracted) / flushed copy: %.1f (medians)\n", program.label.c_str(),
                    Median(program.nets) / Median(copies));
        if (program.peak != 0)
            std::printf("peak working set, %s: %.0f MB, %.2f bytes per cassette byte\n", program.label.c_str(),
                        static_cast<double>(program.peak) / 1048576.0,
                        static_cast<double>(program.peak) / static_cast<double>(size));
    }
    for (std::size_t i = 1; i < programs.size(); ++i)
        std::printf("ratio %s / %s (start-up subtracted): %.2f (medians), %.2f (minima)\n", programs[i].label.c_str(),
                    programs[0].label.c_str(), Median(programs[i].nets) / Median(programs[0].nets),
                    *std::min_element(programs[i].nets.begin(), programs[i].nets.end()) /
                        *std::min_element(programs[0].nets.begin(), programs[0].nets.end()));
    // For scripts/bench.sh, which sets the first program beside other tools' times.
    std::printf("net median seconds: %.6f\n", Median(programs.front().nets));
    LocalFree(argv);
    return 0;
}
