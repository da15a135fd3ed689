// One poll cycle of the status display, beside the platform's own way of
// reading the same ten keys (GetPrivateProfileStringA / GetPrivateProfileIntA),
// measured in one run under the same system.  Prints figures; asserts nothing.
//
// The display's cycle is the real TMainForm::TimerTimer on the Win32
// platform, against a realistic Sorbel.ini whose player state stands still,
// so the labels already show it and the cycle draws nothing.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Main.h"
#include "framework/files.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"
#include "framework/win32/win32_platform.h"
#include "series.h"

namespace {

using bench::Median;
using bench::Now;
using bench::Series;

// The Win32 platform, with the program's own path moved into the bench
// folder, since the display reads the Sorbel.ini beside its executable.
class BenchPlatform : public fw::win32::Win32Platform {
public:
    explicit BenchPlatform(std::string exeName) : exeName_(std::move(exeName)) {}
    std::string ExeName() override { return exeName_; }

private:
    std::string exeName_;
};

// A player's settings file: its own sections around the status section.
std::string SampleSettings() {
    std::string text =
        "; Sorbel settings\r\n"
        "[Sorbel]\r\n"
        "Version=3.12\r\n"
        "Language=ja\r\n"
        "LastCassette=C:\\Music\\カセット\\ドライブ用.cas\r\n"
        "Volume=88\r\n"
        "Shuffle=0\r\n"
        "\r\n"
        "[Window]\r\n"
        "Left=120\r\nTop=80\r\nWidth=640\r\nHeight=480\r\nMaximized=0\r\nSkin=標準\r\n"
        "\r\n"
        "[MIDI]\r\n"
        "Device=Microsoft GS Wavetable Synth\r\n"
        "Reset=GS\r\nLatency=40\r\nMasterTune=0\r\n"
        "\r\n"
        "[VISTEL]\r\n"
        "Visible=1\r\n"
        "CasFile=C:\\Music\\カセット\\ドライブ用.cas\r\n"
        "PlaySong=03 夜明けの表通り.mid\r\n"
        "Total=04:12\r\n"
        "Current=01:07\r\n"
        "PlayingIndex=3\r\n"
        "Count=12\r\n"
        "How=0\r\n"
        "Play=1\r\n"
        "Stop=0\r\n"
        "ColorNum=13\r\n"
        "\r\n"
        "[Recent]\r\n";
    for (int i = 1; i <= 30; ++i)
        text += "File" + std::to_string(i) + "=C:\\Music\\カセット\\アルバム" + std::to_string(i) + "\\一覧.cas\r\n";
    text += "\r\n[Keys]\r\n";
    const char* keys[] = {"Play", "Stop", "Next", "Prev", "Pause", "VolUp", "VolDown", "Mode"};
    for (const char* key : keys) text += std::string(key) + "=Ctrl+Alt+" + key[0] + "\r\n";
    return text;
}


// Microseconds per call of `body`, over `count` calls.
template <class F>
double MicrosecondsPer(int count, F&& body) {
    double start = Now();
    for (int i = 0; i < count; ++i) body();
    return (Now() - start) * 1e6 / count;
}


}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vistel-poll-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string folderText = fw::win32::Narrow(folder);
    const std::string iniPath = folderText + "\\Sorbel.ini";
    std::string reason;
    const std::string settings = SampleSettings();
    if (!fw::Files().ReplaceFile(iniPath, settings, reason)) {
        std::fprintf(stderr, "cannot write %s: %s\n", iniPath.c_str(), reason.c_str());
        return 1;
    }

    BenchPlatform platform(folderText + "\\Vistel.exe");
    TApplication application;
    application.SetShowMainForm(false);
    application.CreateForm(MainForm);
    MainForm->TimerTimer(nullptr);  // the labels now show the player's state

    // The same ten reads through the platform's profile functions.  The path
    // is plain ASCII (the temp folder), as these functions take the ANSI code page.
    const std::string ansiPath = iniPath;
    auto profileCycle = [&] {
        char buffer[512];
        volatile UINT sink = GetPrivateProfileIntA("VISTEL", "Visible", 0, ansiPath.c_str());
        GetPrivateProfileStringA("VISTEL", "CasFile", "", buffer, sizeof buffer, ansiPath.c_str());
        GetPrivateProfileStringA("VISTEL", "PlaySong", "", buffer, sizeof buffer, ansiPath.c_str());
        GetPrivateProfileStringA("VISTEL", "Total", "", buffer, sizeof buffer, ansiPath.c_str());
        GetPrivateProfileStringA("VISTEL", "Current", "", buffer, sizeof buffer, ansiPath.c_str());
        sink = GetPrivateProfileIntA("VISTEL", "PlayingIndex", 0, ansiPath.c_str());
        sink = GetPrivateProfileIntA("VISTEL", "Count", 0, ansiPath.c_str());
        sink = GetPrivateProfileIntA("VISTEL", "How", 0, ansiPath.c_str());
        sink = GetPrivateProfileIntA("VISTEL", "Play", 0, ansiPath.c_str());
        sink = GetPrivateProfileIntA("VISTEL", "Stop", 0, ansiPath.c_str());
        (void)sink;
    };
    auto iniCycle = [&] {
        fw::TIniFile ini(iniPath);
        volatile bool visible = ini.ReadBool("VISTEL", "Visible", false);
        std::string a = ini.ReadString("VISTEL", "CasFile", "");
        std::string b = ini.ReadString("VISTEL", "PlaySong", "");
        std::string c = ini.ReadString("VISTEL", "Total", "");
        std::string d = ini.ReadString("VISTEL", "Current", "");
        volatile int n = ini.ReadInteger("VISTEL", "PlayingIndex", 0) + ini.ReadInteger("VISTEL", "Count", 0) +
                         ini.ReadInteger("VISTEL", "How", 0) + ini.ReadBool("VISTEL", "Play", false) +
                         ini.ReadBool("VISTEL", "Stop", false);
        (void)visible;
        (void)n;
    };
    auto displayCycle = [&] { MainForm->TimerTimer(nullptr); };

    const int calls = 500;
    const int rounds = 9;
    Series profile{"GetPrivateProfile*A, ten calls", {}};
    Series ini{"TIniFile, ten reads", {}};
    Series display{"display poll cycle (TimerTimer)", {}};
    profileCycle();
    iniCycle();
    for (int round = 0; round < rounds; ++round) {
        profile.samples.push_back(MicrosecondsPer(calls, profileCycle));
        ini.samples.push_back(MicrosecondsPer(calls, iniCycle));
        display.samples.push_back(MicrosecondsPer(calls, displayCycle));
    }

    std::printf("Sorbel.ini: %zu bytes, [VISTEL] among the player's sections; %d rounds of %d cycles\n",
                settings.size(), rounds, calls);
    std::printf("%-36s %10s %10s %10s\n", "", "min us", "median us", "x faster");
    for (const Series* series : {&profile, &ini, &display})
        std::printf("%-36s %10.1f %10.1f %10.1f\n", series->name, series->Min(), series->Median(),
                    profile.Median() / series->Median());
    std::printf("ratio platform / display cycle: %.1f (medians), %.1f (minima)\n",
                profile.Median() / display.Median(), profile.Min() / display.Min());

    application.Terminate();
    DeleteFileW((folder + L"\\Sorbel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
