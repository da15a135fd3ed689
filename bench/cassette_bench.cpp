// Cassette conversion benchmark: a large generated cassette is converted by
// the real TMainForm (the convert button's whole run: load, ConvertLines,
// safe save) on the native file system, side by side in one run with a plain
// copy of the same bytes through the same file system.  It prints figures;
// it judges nothing.
//
//   cassette_bench [lines [repetitions]]      defaults: 1000000 lines, 7 repetitions
//   cassette_bench --write <file> [lines]     writes the cassette only (for the
//                                             run of Tovakin.exe under Wine)
//
// The programs see Windows paths ("C:\Music\Lists\bench.cas") and the lines
// are Windows drive paths, so that ConvertLines does its real work; a thin
// file system maps the drive "C:" onto a fresh temporary folder and hands
// every call to the native file system, once per file, not per line.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Main.h"
#include "framework/files.h"
#include "framework/memory/memory_platform.h"
#include "framework/stringlist.h"
#include "framework/text.h"
#include "series.h"

namespace {

using bench::Median;
using bench::Now;
using bench::Series;

// Native file system under Windows names: "C:\a\b" is <root>/a/b.
class DriveCFiles final : public fw::FileSystem {
public:
    explicit DriveCFiles(std::string root) : root_(std::move(root)) {}

    std::string Native(const std::string& path) const {
        if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' || path[2] != '\\')
            throw std::invalid_argument("not on drive C: " + path);
        std::string native = root_;
        for (std::size_t i = 2; i < path.size(); i += fw::CharLength(path, i)) {
            if (fw::CharLength(path, i) == 2) {
                native.append(path, i, 2);
            } else {
                native += path[i] == '\\' ? '/' : path[i];
            }
        }
        return native;
    }

    fw::TFileResult Read(const std::string& path, std::string& contents, std::string& reason,
                         std::int64_t* writtenAgoMs) override {
        return fw::NativeFiles().Read(Native(path), contents, reason, writtenAgoMs);
    }
    fw::TFileResult ReplaceFrom(const std::string& path, const Producer& produce, const fw::TFileExpectation* expected,
                                fw::TReplaceMode mode, std::string& reason, int busyPatienceMs) override {
        return fw::NativeFiles().ReplaceFrom(Native(path), produce, expected, mode, reason, busyPatienceMs);
    }
    bool DeleteFile(const std::string& path) override { return fw::NativeFiles().DeleteFile(Native(path)); }
    bool FileExists(const std::string& path) override { return fw::NativeFiles().FileExists(Native(path)); }
    fw::TSameFile SameFile(const std::string& a, const std::string& b) override {
        return fw::NativeFiles().SameFile(Native(a), Native(b));
    }
    std::string CurrentDirectory() override { return "C:\\"; }
    std::string FullPathName(const std::string& path) override { return path; }
    std::int64_t Milliseconds() override { return fw::NativeFiles().Milliseconds(); }
    void Sleep(int milliseconds) override { fw::NativeFiles().Sleep(milliseconds); }

private:
    std::string root_;
};

// A playlist as a large collection gives it: mostly songs on the system
// drive under artist and album folders with Japanese names (many ending in
// a trail byte 0x5C: 表, ソ, 能, 予, 十), some on another drive or a network
// share, some already relative, a few comments and empty lines.  CR LF ends.
std::string MakeCassette(std::size_t lines) {
    const char* artists[] = {"表現者", "ソフトボール部", "能楽堂", "予感", "十字路", "J-POP", "クラシック",
                             "The Band", "松任谷", "ソ連邦", "アニメソング", "演歌"};
    const char* albums[] = {"ベスト", "表題曲集", "Live 1999", "予告編", "能", "Singles", "春夏秋冬",
                            "ソロ", "第一集"};
    const char* titles[] = {"曲", "表裏", "Song", "ソナタ", "能面", "予言", "夜明け", "Theme"};
    std::mt19937 random(20240601);
    auto pick = [&](auto& list) { return list[random() % std::size(list)]; };
    std::string text;
    text.reserve(lines * 64);
    char number[32];
    for (std::size_t i = 0; i < lines; ++i) {
        std::snprintf(number, sizeof number, "%02u ", static_cast<unsigned>(random() % 40 + 1));
        const std::string song = std::string(number) + pick(titles) + ".mid";
        const unsigned kind = random() % 100;
        if (kind < 80) {
            text += std::string("C:\\Music\\") + pick(artists) + "\\" + pick(albums) + "\\" + song;
        } else if (kind < 86) {
            text += std::string("C:\\Music\\Lists\\") + song;
        } else if (kind < 91) {
            text += std::string("D:\\MIDI\\") + pick(artists) + "\\" + song;
        } else if (kind < 94) {
            text += std::string("\\\\nas\\music\\") + pick(albums) + "\\" + song;
        } else if (kind < 97) {
            text += std::string("..\\") + pick(artists) + "\\" + song;
        } else if (kind < 99) {
            text += std::string("#") + pick(albums);
        }
        text += "\r\n";
    }
    return text;
}


double Time(const std::function<void()>& work) {
    const double start = Now();
    work();
    return Now() - start;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--write") {
        const std::string text = MakeCassette(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000000);
        std::string reason;
        if (!fw::NativeFiles().ReplaceFile(argv[2], text, reason)) {
            std::fprintf(stderr, "cannot write %s: %s\n", argv[2], reason.c_str());
            return 1;
        }
        return 0;
    }
    const std::size_t lineCount = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;

    char folderTemplate[] = "/tmp/cassette_bench.XXXXXX";
    Check(mkdtemp(folderTemplate) != nullptr, "cannot make a temporary folder");
    const std::string root = folderTemplate;
    std::filesystem::create_directories(root + "/Music/Incoming");
    std::filesystem::create_directories(root + "/Music/Lists");
    std::filesystem::create_directories(root + "/Copy");

    DriveCFiles drive(root);
    fw::SetFiles(&drive);
    const std::string source = "C:\\Music\\Incoming\\bench.cas";
    const std::string target = "C:\\Music\\Lists\\bench.cas";
    const std::string copy = "C:\\Copy\\bench.cas";

    std::string reason;
    {
        const std::string text = MakeCassette(lineCount);
        Check(drive.ReplaceFile(source, text, reason), reason);
    }
    const long peakBeforeRuns = PeakKiB();

    fw::MemoryPlatform platform;
    // The in-memory platform's picture of the screen (5 MB at 1280 x 1024)
    // stands in for the display and is no part of the program's memory.
    platform.screen = fw::TPixels(640, 480);
    fw::TApplication application;
    application.SetTitle("Zelbin");
    application.CreateForm(MainForm);
    TMainForm& form = *MainForm;
    form.EdCasFile->SetText(source);
    form.EdOutput->SetText("C:\\Music\\Lists");  // the run appends the backslash

    Series copySeries{"plain copy (read + write)", {}};
    Series clickSeries{"convert button (whole run)", {}};
    Series loadSeries{"  load (LoadFromFile)", {}};
    Series convertSeries{"  ConvertLines", {}};
    Series saveSeries{"  save (SaveToFile)", {}};

    // One round unmeasured to warm the page cache and the allocator, then
    // the two contenders alternate so that both see the same machine.
    for (int round = 0; round <= repetitions; ++round) {
        const double copyTime = Time([&] {
            std::string contents;
            Check(drive.ReadFile(source, contents, reason), reason);
            Check(drive.ReplaceFile(copy, contents, reason), reason);
        });
        const std::size_t boxesBefore = platform.messageBoxes.size();
        const double clickTime = Time([&] { form.BtChange->Click(); });
        Check(platform.messageBoxes.size() == boxesBefore + 1 && platform.messageBoxes.back().text == "変換完了",
              "the run did not complete");
        fw::TStrings& items = *form.LbCas->Items();
        const double loadTime = Time([&] { items.LoadFromFile(source); });
        const double convertTime = Time([&] { form.ConvertLines(); });
        const double saveTime = Time([&] { items.SaveToFile(target); });
        if (round == 0) continue;
        copySeries.samples.push_back(copyTime);
        clickSeries.samples.push_back(clickTime);
        loadSeries.samples.push_back(loadTime);
        convertSeries.samples.push_back(convertTime);
        saveSeries.samples.push_back(saveTime);
    }

    // The peak of the runs, before the checks below add their own.
    const long peakAfterRuns = PeakKiB();

    std::string in, out;
    Check(drive.ReadFile(source, in, reason) && drive.ReadFile(target, out, reason), reason);
    // The work was real: count the lines the conversion rewrote.
    const std::vector<std::string> before = fw::SplitLines(in);
    const fw::TStrings& after = *form.LbCas->Items();
    Check(before.size() == static_cast<std::size_t>(after.Count()), "line count changed");
    std::size_t rewritten = 0;
    for (std::size_t i = 0; i < before.size(); ++i) rewritten += before[i] != after[static_cast<int>(i)];

    std::printf("cassette: %zu lines (%zu rewritten), %.1f MB in, %.1f MB out; %d repetitions after one warm-up\n",
                lineCount, rewritten, in.size() / 1e6, out.size() / 1e6, repetitions);
    std::printf("%-30s %10s %10s %8s\n", "", "min ms", "median ms", "x copy");
    const double copyMedian = copySeries.Median();
    for (const Series* s : {&copySeries, &clickSeries, &loadSeries, &convertSeries, &saveSeries})
        std::printf("%-30s %10.1f %10.1f %8.2f\n", s->name, s->Min() * 1e3, s->Median() * 1e3,
                    s->Median() / copyMedian);
    std::printf("ratio convert button / plain copy: %.1f (medians), %.1f (minima)\n",
                clickSeries.Median() / copyMedian, clickSeries.Min() / copySeries.Min());
    std::printf("peak memory (ru_maxrss): %.0f MB after generating the file, %.0f MB after the runs\n",
                peakBeforeRuns / 1024.0, peakAfterRuns / 1024.0);
    std::printf("peak bytes per cassette byte: %.2f\n", peakAfterRuns * 1024.0 / static_cast<double>(in.size()));

    std::filesystem::remove_all(root);
    fw::SetFiles(nullptr);
    return 0;
}
