#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/cmdline.h"
#include "tests/support/command_line_cases.h"

namespace fw {
namespace {

TEST(SplitCommandLine, SplitsAtBlanksAndGroupsQuotedText) {
    for (const auto& c : reference::CommandLineCases<char>()) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.arguments);
    }
}

// The system's command line, in UTF-16, splits the same way.
TEST(SplitCommandLine, SplitsWideTextTheSameWay) {
    const auto narrow = reference::CommandLineCases<char>();
    const auto wide = reference::CommandLineCases<wchar_t>();
    ASSERT_EQ(wide.size(), narrow.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        SCOPED_TRACE(narrow[i].line);
        EXPECT_EQ(SplitCommandLine<wchar_t>(wide[i].line), wide[i].arguments);
    }
}

}  // namespace
}  // namespace fw
