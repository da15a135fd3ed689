#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/cmdline.h"

namespace fw {
namespace {

TEST(SplitCommandLine, SplitsAtBlanksAndGroupsQuotedText) {
    using Args = std::vector<std::string>;
    const struct Case {
        const char* line;
        Args expected;
    } cases[] = {
        {"", {}},
        {" \t\r\n ", {}},
        {"prog", {"prog"}},
        {"  prog  a.cas\tb.cas  ", {"prog", "a.cas", "b.cas"}},
        {"prog\r\na.cas\x01" "b.cas", {"prog", "a.cas", "b.cas"}},
        {R"(prog "C:\My Music\list.cas")", {"prog", R"(C:\My Music\list.cas)"}},
        {R"(prog "C:\My Music\" next)", {"prog", R"(C:\My Music\)", "next"}},
        {R"(prog a"b c"d)", {"prog", "ab cd"}},
        {R"(prog "a""b")", {"prog", "ab"}},
        {R"(prog "" x)", {"prog", "", "x"}},
        {R"(prog "")", {"prog", ""}},
        {R"(prog "unterminated  arg)", {"prog", "unterminated  arg"}},
        {R"("C:\Program Files\t.exe" C:\表\ソ.cas)", {R"(C:\Program Files\t.exe)", R"(C:\表\ソ.cas)"}},
        {R"(prog "C:\能 力\a.cas")", {"prog", R"(C:\能 力\a.cas)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.expected);
    }
}

}  // namespace
}  // namespace fw
