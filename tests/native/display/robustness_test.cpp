// Settings files the display must survive without harm: huge, random,
// read-only, locked, and rewritten by the player while the display reads it.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "display_fixture.h"

namespace vistel_test {
namespace {

std::string RandomBytes(unsigned seed, std::size_t size) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

// Compares big texts by their first difference: a full diff of megabytes
// would take longer than the test.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) return testing::AssertionSuccess();
    const std::size_t at = static_cast<std::size_t>(a - actual.begin());
    return testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte " << at << ": "
                                       << testing::PrintToString(actual.substr(at, 40)) << " instead of "
                                       << testing::PrintToString(expected.substr(at, 40));
}

// Ten megabytes of the player's own lines, a megabyte in one line, random
// bytes: alone they say nothing, and the display closes, its scheme written
// after them; in front of a section they take nothing from it, and a press
// writes How without changing any other byte.
TEST_F(VistelTest, HugeOrRandomFilesAreReadAndKept) {
    std::string lines = "[Sorbel]\r\n";
    for (int i = 0; lines.size() < 10'000'000; ++i)
        lines += "Song" + std::to_string(i) + "=C:\\曲\\" + std::string(80, 'x') + "\r\n";
    const std::string prefixes[] = {lines, std::string(1'000'000, 'v'), RandomBytes(1, 64 * 1024),
                                    RandomBytes(2, 64 * 1024), RandomBytes(3, 64 * 1024)};
    for (const std::string& prefix : prefixes) {
        SCOPED_TRACE(testing::Message() << prefix.size() << " bytes from " << testing::PrintToString(prefix.substr(0, 8)));
        // Each cycle reads the whole file: keep them few.
        files.Put(kIni, prefix);
        Restart();
        Cycle();
        EXPECT_TRUE(Closed());
        EXPECT_EQ(ColorIndex, 13);
        EXPECT_EQ(MainForm->LaStatusBar->Caption(), "停止");
        EXPECT_TRUE(StartsWith(Ini(), prefix));
        EXPECT_EQ(Saved("ColorNum"), "13");

        const std::string withSection =
            prefix + "\r\n" + Section({"Visible=1", "PlaySong=最後の曲", "How=2", "Count=9", "PlayingIndex=8"});
        files.Put(kIni, withSection);
        Restart();
        Cycle();
        EXPECT_FALSE(Closed());
        EXPECT_EQ(MainForm->LaStatusBar->Caption(), "最後の曲");
        EXPECT_EQ(MainForm->LaPath->Caption(), "新規カセット 再生8/9全");
        EXPECT_TRUE(SameBytes(Ini(), withSection));
        Press(kModeX, kModeY);
        Cycle();
        Release();
        EXPECT_EQ(MainForm->LaHow->Caption(), kContinuous);
        std::string expected = withSection;
        expected.replace(expected.rfind("How=2"), 5, "How=0");
        EXPECT_TRUE(SameBytes(Ini(), expected));
    }
}

TEST_F(VistelTest, ReadOnlyFileIsNeverChangedAndTheDisplayGoesOn) {
    const std::string ini = Section({"Visible=1", "How=0", "ColorNum=4"});
    files.Put(kIni, ini);
    files.SetReadOnly(kIni, true);
    Start();
    Cycle();
    Press(kModeX, kModeY);
    Cycle();
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);  // stepped, though not written
    Cycles(2);
    EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
    Release();
    Cycles(2);
    EXPECT_EQ(MainForm->LaHow->Caption(), kContinuous);  // the file still says 0
    Click(kColourX, kColourY);
    EXPECT_EQ(ColorIndex, 5);
    EXPECT_FALSE(Closed());
    MainForm->Close();
    EXPECT_EQ(Ini(), ini);
    EXPECT_EQ(files.ReplaceCount(), 0);
}

TEST_F(VistelTest, ALockedOrJustEmptiedFileIsNoNewsAndTheDisplayStaysOpen) {
    const std::string ini = Section({"Visible=1", "PlaySong=曲", "How=2", "ColorNum=4"});
    files.Put(kIni, ini);
    files.SetLocked(kIni, true);
    // Locked at start: the saved scheme is waited for, up to a second.
    files.onSleep = [&](std::int64_t now) {
        if (now >= 300) files.SetLocked(kIni, false);
    };
    Start();
    EXPECT_EQ(ColorIndex, 4);
    files.onSleep = nullptr;
    Cycle();
    const std::vector<std::string> shown = Captions();
    // Locked while the display runs: no label changes, no close, no write.
    files.Put(kIni, Section({"Visible=0", "PlaySong=次", "How=0"}));
    files.SetLocked(kIni, true);
    Cycles(3);
    EXPECT_EQ(Captions(), shown);
    EXPECT_FALSE(Closed());
    EXPECT_EQ(files.ReplaceCount(), 0);
    // Emptied a moment ago, as the player's profile functions empty a file
    // before writing it anew: not yet believed.
    files.SetLocked(kIni, false);
    files.Put(kIni, "");
    files.SetWrittenAt(kIni, files.Milliseconds());
    Cycles(2);
    EXPECT_EQ(Captions(), shown);
    EXPECT_FALSE(Closed());
    // Quiet since: the file says what it says.
    files.Put(kIni, Section({"Visible=0", "PlaySong=次", "How=0"}));
    Cycle();
    EXPECT_EQ(MainForm->LaStatusBar->Caption(), "次");
    EXPECT_TRUE(Closed());
}

TEST_F(VistelTest, WritesWaitForAPlayerThatHoldsTheFileAndNeverUndoItsWrites) {
    const std::string player = "[Sorbel]\r\nVolume=80\r\n";
    struct Case {
        const char* what;
        std::function<void(MemoryFileSystem&)> before;  // at the click
        std::function<void(MemoryFileSystem&, std::int64_t)> onSleep;
        bool written;                 // How=1 reaches the file
        std::string playerAfter;      // the player's section afterwards
    } cases[] = {
        {"the player writes between the display's read and its replacement",
         [](MemoryFileSystem& f) {
             f.beforeReplace = [&f, done = false](const std::string&) mutable {
                 if (done) return;
                 done = true;
                 std::string text = *f.Get(kIni);
                 f.Put(kIni, text.replace(text.find("Volume=80"), 9, "Volume=81"));
             };
         },
         nullptr, true, "[Sorbel]\r\nVolume=81\r\n"},
        {"the player holds its file open for 300 ms",
         [](MemoryFileSystem& f) { f.SetHeld(kIni, true); },
         [](MemoryFileSystem& f, std::int64_t now) {
             if (now >= 300) f.SetHeld(kIni, false);
         },
         true, player},
        {"the player holds its file locked for 900 ms",
         [](MemoryFileSystem& f) { f.SetLocked(kIni, true); },
         [](MemoryFileSystem& f, std::int64_t now) {
             if (now >= 900) f.SetLocked(kIni, false);
         },
         true, player},
        {"the click comes while the player is writing its file anew, emptied a moment ago",
         [](MemoryFileSystem& f) {
             f.Put(kIni, "");
             f.SetWrittenAt(kIni, f.Milliseconds());
         },
         [](MemoryFileSystem& f, std::int64_t now) {
             if (now != 20) return;
             f.Put(kIni, "[Sorbel]\r\nVolume=81\r\n" + Section({"Visible=1", "How=0"}));
             f.SetWrittenAt(kIni, now);
         },
         true, "[Sorbel]\r\nVolume=81\r\n"},
        {"the player holds its file for two seconds: the display gives up",
         [](MemoryFileSystem& f) { f.SetHeld(kIni, true); }, nullptr, false, player},
        {"the folder takes no new file: written in place",
         [](MemoryFileSystem& f) { f.SetNoNewFiles("C:\\Sorbel", true); }, nullptr, true, player},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files = MemoryFileSystem();
        files.Put(kIni, player + Section({"Visible=1", "How=0"}));
        Restart();
        Cycle();
        ASSERT_EQ(MainForm->LaHow->Caption(), kContinuous);
        c.before(files);
        if (c.onSleep) files.onSleep = [&](std::int64_t now) { c.onSleep(files, now); };
        Press(kModeX, kModeY);
        Cycle();
        Release();
        EXPECT_EQ(MainForm->LaHow->Caption(), kRepeatOne);
        files.SetHeld(kIni, false);
        files.beforeReplace = nullptr;
        EXPECT_EQ(Saved("How"), c.written ? "1" : "0");
        EXPECT_EQ(Ini().substr(0, Ini().find("[VISTEL]")), c.playerAfter);
        EXPECT_EQ(files.InPlaceCount(), std::string(c.what).find("in place") != std::string::npos ? 1 : 0);
        // Waited a second at most, in short steps.
        EXPECT_LE(files.Milliseconds(), fw::kBusyPatienceMs + fw::kBusyRetryMs);
        // Once the button is up the label follows the file again.
        Cycles(2);
        EXPECT_EQ(MainForm->LaHow->Caption(), c.written ? kRepeatOne : kContinuous);
        EXPECT_FALSE(Closed());
    }
}

TEST_F(VistelTest, FileRewrittenBeforeEveryReadShowsOnlyValuesItHeld) {
    const std::vector<std::string> songs = {"春の歌", "Summer", "表ソ能"};
    const std::vector<std::string> times = {"00:10", "01:23", "59:59"};
    const std::vector<std::string> cassettes = {"C:\\a\\x.cas", "D:\\表\\y.cas", "z.cas"};
    std::set<std::string> paths;
    for (const char* name : {"x.cas", "y.cas", "z.cas"})
        for (const char* numbers : {" 再生1/5全", " 再生1/9全", " 再生2/5全", " 再生2/9全"})
            paths.insert(std::string(name) + numbers);
    // For each label, in the order of Labels().
    const std::set<std::string> allowed[] = {
        paths,
        {songs.begin(), songs.end()},
        {times.begin(), times.end()},
        {"/"},
        {times.begin(), times.end()},
        {"Color"},
        {kContinuous, kRepeatOne, kStopAfterOne},
        {"停止", "再生", "一時停止"},
    };

    std::mt19937 random(7);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    auto rewrite = [&] {
        files.Put(kIni, "[Sorbel]\r\nVolume=" + std::to_string(random() % 100) + "\r\n" +
                            Section({"Visible=1", "CasFile=" + pick(cassettes), "PlaySong=" + pick(songs),
                                     "Total=" + pick(times), "Current=" + pick(times),
                                     "PlayingIndex=" + pick({"1", "2"}), "Count=" + pick({"5", "9"}),
                                     "How=" + pick({"0", "1", "2"}), "Play=" + pick({"0", "1"}),
                                     "Stop=" + pick({"0", "1"})}));
    };
    rewrite();
    Start();
    files.beforeRead = [&](const std::string&) { rewrite(); };
    for (int cycle = 0; cycle < 200; ++cycle) {
        SCOPED_TRACE(cycle);
        // Now and then a click on the mode label, held for a few cycles.
        if (cycle % 11 == 0) Press(kModeX, kModeY);
        if (cycle % 11 == 3) Release();
        Cycle();
        ASSERT_FALSE(Closed());
        const std::vector<std::string> shown = Captions();
        for (std::size_t i = 0; i < shown.size(); ++i) ASSERT_TRUE(allowed[i].count(shown[i])) << shown[i];
    }
}

}  // namespace
}  // namespace vistel_test
