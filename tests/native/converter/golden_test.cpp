// Golden cassettes: each golden/NAME.in.cas is converted by the real
// handlers and the written file must equal golden/NAME.out.cas byte for byte.
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tovakin_fixture.h"

namespace tovakin_test {
namespace {

std::string ReadGolden(const std::string& name) {
    const std::string path = std::string(GOLDEN_DIR) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

struct Golden {
    const char* name;
    const char* source;      // where the input cassette lies
    const char* typedOutput; // typed into EdOutput; null: keep what choosing the source put there
    const char* written;     // where the converted cassette must land
};

const Golden kGolden[] = {
    // LF-only input with every kind of line: drive paths in, below, beside
    // and above the folder, another drive, network, relative, blank- and
    // quote-prefixed, empty, "C:", a drive root, a repeated line.
    {"mixed", "C:\\Music\\Lists\\mixed.cas", nullptr, "C:\\Music\\Lists\\mixed.cas"},
    // Shift-JIS folder and file names whose trail bytes are 0x5C ("ソ",
    // "表", "能", "予", "十", "申"), in a folder named by such characters.
    {"sjis", "C:\\ソフト\\表\\sjis.cas", nullptr, "C:\\ソフト\\表\\sjis.cas"},
    // NUL bytes inside lines, a lone CR, LF and CR LF line ends, and a last
    // line without a line end.
    {"nul", "C:\\Music\\nul.cas", nullptr, "C:\\Music\\nul.cas"},
    // A cassette at a drive root: the output folder text is "X:\\".
    {"root", "X:\\root.cas", nullptr, "X:\\root.cas"},
    // An empty cassette is written back as an empty file.
    {"empty", "C:\\Music\\empty.cas", nullptr, "C:\\Music\\empty.cas"},
    // Converted into another folder, typed without its final backslash.
    {"elsewhere", "D:\\Incoming\\elsewhere.cas", "C:\\Music\\Albums", "C:\\Music\\Albums\\elsewhere.cas"},
};

class GoldenTest : public TovakinTest {};

TEST_F(GoldenTest, TheConvertButtonWritesTheExpectedBytes) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.name);
        const std::string input = ReadGolden(std::string(g.name) + ".in.cas");
        const std::string expected = ReadGolden(std::string(g.name) + ".out.cas");
        files.Put(g.source, input);
        files.AddFolder("C:\\Music\\Albums");
        TMainForm& form = Open();
        Platform().openDialogAnswers = {g.source};
        form.BtRef->Click();
        if (g.typedOutput) form.EdOutput->SetText(g.typedOutput);
        form.BtChange->Click();
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        EXPECT_EQ(files.Get(g.written), expected);
        if (!g.typedOutput) {
            EXPECT_EQ(files.FilePaths(), std::vector<std::string>{g.source});
        } else {
            EXPECT_EQ(files.Get(g.source), input);
        }

        // Converting the converted cassette again changes no byte.
        Open();
        Platform().openDialogAnswers = {g.written};
        Form().BtRef->Click();
        Form().BtChange->Click();
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        EXPECT_EQ(files.Get(g.written), expected);
        files = MemoryFileSystem();
    }
}

// The command line always converts in place.
TEST_F(GoldenTest, OneCommandLineConvertsAllTheInPlaceCassettes) {
    std::vector<std::string> arguments;
    for (const Golden& g : kGolden) {
        if (g.typedOutput) continue;
        files.Put(g.source, ReadGolden(std::string(g.name) + ".in.cas"));
        arguments.push_back(g.source);
    }
    RunWith(arguments);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    // Each converted in place, and nothing else written.
    EXPECT_EQ(files.FilePaths().size(), arguments.size());
    for (const Golden& g : kGolden) {
        if (g.typedOutput) continue;
        SCOPED_TRACE(g.name);
        EXPECT_EQ(files.Get(g.written), ReadGolden(std::string(g.name) + ".out.cas"));
    }
}

}  // namespace
}  // namespace tovakin_test
