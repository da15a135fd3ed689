// ConvertLines: every drive path in LbCas made relative to the output path
// (EdOutput followed by the file name of EdCasFile); every other line kept.
// The golden cassettes show it on whole files: their lines' number and
// order kept, and a second conversion changing nothing.
#include <string>
#include <vector>

#include "tovakin_fixture.h"

namespace tovakin_test {
namespace {

using Lines = std::vector<std::string>;

class ConvertLinesTest : public TovakinTest {
protected:
    Lines Convert(const std::string& casFile, const std::string& output, const Lines& lines) {
        Form().EdCasFile->SetText(casFile);
        Form().EdOutput->SetText(output);
        fw::TStrings& items = *Form().LbCas->Items();
        items.Clear();
        for (const std::string& line : lines) items.Add(line);
        Form().ConvertLines();
        return CasLines();
    }
};

TEST_F(ConvertLinesTest, MakesEachDrivePathRelativeToTheOutputFolder) {
    Open();
    struct Case {
        const char* casFile;
        const char* output;  // as the callers leave it: ending in a backslash
        std::string line;
        std::string expected;
    } cases[] = {
        // A worked example of the rule, whose cases ExtractRelativePath's
        // table holds.
        {"C:\\Data\\Out\\list.cas", "C:\\Data\\Out\\", "C:\\Data\\Songs\\a.mid", "..\\Songs\\a.mid"},
        // Only the file name of the source counts: its folder plays no part,
        // and a name without a folder, or after a drive colon, is taken whole.
        {"E:\\Elsewhere\\list.cas", "C:\\Data\\", "C:\\Data\\a.mid", "a.mid"},
        {"list.cas", "C:\\Data\\Out\\", "C:\\Data\\a.mid", "..\\a.mid"},
        {"C:list.cas", "C:\\Data\\Out\\", "C:\\Data\\a.mid", "..\\a.mid"},
        // Windows drops a trailing blank or dot from the name it writes:
        // the lines convert all the same.
        {"C:\\Music\\list.cas ", "C:\\Music\\", "C:\\Music\\a.mid", "a.mid"},
        {"C:\\Music\\list.cas.", "C:\\Music\\", "C:\\Music\\Pop\\a.mid", "Pop\\a.mid"},
        // In the output folder itself: the bare name.  Below it: no step up.
        {"C:\\M\\list.cas", "C:\\Music\\Lists\\", "C:\\Music\\Lists\\song.mid", "song.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", "C:\\Music\\Pop\\Rock\\song.mid", "Pop\\Rock\\song.mid"},
        // Another drive stays absolute, whatever the letter case.
        {"C:\\M\\list.cas", "C:\\Music\\", "D:\\Music\\song.mid", "D:\\Music\\song.mid"},
        {"C:\\M\\list.cas", "c:\\Music\\", "C:\\Music\\song.mid", "song.mid"},
        // Folders differing only in letter case are common; the rest keeps
        // the line's own spelling.
        {"C:\\M\\list.cas", "C:\\Data\\Out\\", "c:\\DATA\\songs\\A.MID", "..\\songs\\A.MID"},
        {"C:\\M\\list.cas", "C:\\DATA\\OUT\\", "C:\\data\\out\\Sub\\a.mid", "Sub\\a.mid"},
        // A drive root line: one step up per folder level of the output.
        {"C:\\M\\list.cas", "C:\\A\\", "C:\\", "..\\"},
        // A line naming the output folder itself does not turn blank.
        {"C:\\M\\list.cas", "C:\\A\\", "C:\\A\\", ".\\"},
        // An output folder at a drive root arrives with two backslashes.
        {"X:\\root.cas", "X:\\\\", "X:\\Album\\t1.mid", "Album\\t1.mid"},
        {"X:\\root.cas", "X:\\\\", "X:\\t1.mid", "t1.mid"},
        // Output folder on a network path, or without a drive: every drive
        // path stays as it was.
        {"C:\\M\\list.cas", "\\\\server\\share\\Out\\", "C:\\Out\\a.mid", "C:\\Out\\a.mid"},
        {"C:\\M\\list.cas", "\\Music\\", "C:\\Music\\a.mid", "C:\\Music\\a.mid"},
        // Lines that are no drive paths are never touched.
        {"C:\\M\\list.cas", "C:\\Music\\", "\\\\server\\share\\Music\\a.mid", "\\\\server\\share\\Music\\a.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", "Pop\\a.mid", "Pop\\a.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", "..\\a.mid", "..\\a.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", " C:\\Music\\a.mid", " C:\\Music\\a.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", "\"C:\\Music\\a.mid\"", "\"C:\\Music\\a.mid\""},
        {"C:\\M\\list.cas", "C:\\Music\\", "C:", "C:"},
        {"C:\\M\\list.cas", "C:\\Music\\", "C", "C"},
        {"C:\\M\\list.cas", "C:\\Music\\", "", ""},
        {"C:\\M\\list.cas", "C:\\Music\\", "C:Music\\a.mid", "C:Music\\a.mid"},
        {"C:\\M\\list.cas", "C:\\Music\\", "#C:\\Music\\a.mid", "#C:\\Music\\a.mid"},
        // Double-byte names.  "ソ" (0x83 0x5C) and "表" (0x95 0x5C) end in a
        // trail byte of the value of a backslash, which never separates.
        {"C:\\M\\list.cas", "C:\\表\\", "C:\\表\\ソ.mid", "ソ.mid"},
        {"C:\\M\\list.cas", "C:\\ソ\\", "C:\\ソフト\\曲.mid", "..\\ソフト\\曲.mid"},
        {"C:\\M\\list.cas", "C:\\ソフト\\", "C:\\ソ\\曲.mid", "..\\ソ\\曲.mid"},
        {"C:\\M\\list.cas", "C:\\表\\能\\", "C:\\表\\予定\\曲.mid", "..\\予定\\曲.mid"},
        {"C:\\M\\list.cas", "C:\\音楽\\", "c:\\音楽\\表\\曲.mid", "表\\曲.mid"},
        // Double-byte characters are never folded: 0x88 0x41 is not 0x88 0x61.
        {"C:\\M\\list.cas", "C:\\\x88\x41\\", "C:\\\x88\x61\\a.mid", "..\\\x88\x61\\a.mid"},
        // Double-byte letters match without regard to case, as Windows
        // matches file names; the rest keeps the line's own spelling.
        {"C:\\M\\list.cas", "C:\\Ｍｕｓｉｃ\\", "C:\\ＭＵＳＩＣ\\a.mid", "a.mid"},
        {"C:\\M\\list.cas", "C:\\Ｍｕｓｉｃ\\Ω\\", "c:\\ｍｕｓｉｃ\\ω\\Ёлка\\a.mid", "Ёлка\\a.mid"},
        {"C:\\M\\list.cas", "C:\\ｍｕｓｉｃ\\Ы\\", "C:\\ＭＵＳＩＣ\\Пой\\a.mid", "..\\Пой\\a.mid"},
        // A drive path on another drive keeps its double-byte spelling.
        {"C:\\M\\list.cas", "C:\\表\\", "D:\\表\\ソ.mid", "D:\\表\\ソ.mid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "output " << testing::PrintToString(std::string(c.output))
                                        << ", line " << testing::PrintToString(c.line));
        EXPECT_EQ(Convert(c.casFile, c.output, {c.line}), Lines{c.expected});
        // The fields are only read.
        EXPECT_EQ(Form().EdCasFile->Text(), c.casFile);
        EXPECT_EQ(Form().EdOutput->Text(), c.output);
    }
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace tovakin_test
