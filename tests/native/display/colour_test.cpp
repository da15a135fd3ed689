// Colour schemes: the saved scheme at start, the step per press on LaColor,
// the wrap into 0 to 17, and the number saved at close.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "display_fixture.h"

namespace vistel_test {
namespace {

void ExpectScheme(int scheme) {
    EXPECT_EQ(ColorIndex, scheme);
    for (fw::TLabel* label : {MainForm->LaPath, MainForm->LaStatusBar, MainForm->LaCurrent, MainForm->Label3,
                              MainForm->LaTotal, MainForm->LaColor, MainForm->LaHow, MainForm->LaDevice}) {
        SCOPED_TRACE(label->Name());
        EXPECT_EQ(label->Font()->Color(), kSchemeColors[scheme]);
        // Only the colour changes.
        EXPECT_EQ(label->Font()->Name(), "ＭＳ Ｐゴシック");
        EXPECT_EQ(label->Font()->Style(), label->Top() == 72 ? unsigned{fw::fsItalic} : 0u);
    }
}

TEST_F(VistelTest, SavedSchemeAtStartPressesAndTheNumberSavedAtClose) {
    struct Case {
        const char* line;  // null: no ColorNum
        int atStart;
        int presses;
        int saved;
    } cases[] = {
        {nullptr, 13, 0, 13},
        {"ColorNum=13", 13, 0, 13},
        {"ColorNum=17", 17, 1, 0},
        {"ColorNum=0", 0, 0, 0},
        {"ColorNum=18", 0, 0, 0},
        {"ColorNum=-1", 0, 0, 0},
        {"ColorNum=1000", 0, 0, 0},
        {"ColorNum=-2147483648", 0, 0, 0},
        {"ColorNum=2147483647", 0, 0, 0},
        {"ColorNum=-2147483648", 0, 1, 1},
        {"colornum=5", 5, 0, 5},
        {"ColorNum=abc", 13, 0, 13},
        {"ColorNum=", 13, 2, 15},
        {"ColorNum=4294967296", 13, 0, 13},
        {"ColorNum=2", 2, 3, 5},
        {"ColorNum=13", 13, 41, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "no ColorNum");
        std::vector<std::string> lines = {"Visible=1"};
        if (c.line) lines.push_back(c.line);
        files.Put(kIni, Section(lines));
        platform.leftButton = false;
        Restart();
        ExpectScheme(c.atStart);
        for (int i = 0; i < c.presses; ++i) Click(kColourX, kColourY);
        ExpectScheme(c.saved);
        EXPECT_EQ(Ini(), Section(lines));  // a press writes nothing
        MainForm->Close();
        EXPECT_EQ(Saved("ColorNum"), std::to_string(c.saved));
    }
}

TEST_F(VistelTest, NextColorSchemeWrapsIntoZeroToSeventeen) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case {
        std::int32_t before;
        int after;
    } cases[] = {
        {-1, 0}, {0, 1}, {12, 13}, {16, 17}, {17, 0}, {18, 0}, {-2, 0}, {1000, 0}, {kMin, 0}, {kMax, 0},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        ColorIndex = c.before;
        MainForm->NextColorScheme();
        ExpectScheme(c.after);
    }
    // Round all eighteen schemes, each colouring every label.
    ColorIndex = 17;
    for (int scheme = 0; scheme < 18; ++scheme) {
        SCOPED_TRACE(scheme);
        MainForm->NextColorScheme();
        ExpectScheme(scheme);
    }
}

}  // namespace
}  // namespace vistel_test
