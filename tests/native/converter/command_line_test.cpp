// The command-line run of FormCreate: every cassette named is converted in
// place, relative to its own folder; unreadable ones are reported and
// skipped; "変換完了" comes once at the end and the program ends unseen.
#include <algorithm>
#include <string>
#include <vector>

#include "tovakin_fixture.h"

namespace tovakin_test {
namespace {

class CommandLineTest : public TovakinTest {
protected:
    // Puts a cassette whose lines name a file in the folder, one below it,
    // one on another drive and one on a network share.
    std::string Put(const std::string& path) {
        const std::string folder = path.substr(0, path.rfind('\\'));
        files.Put(path, folder + "\\here.mid\n" + folder + "\\Sub\\below.mid\nZ:\\other.mid\n\\\\nas\\m\\net.mid");
        return path;
    }
    static std::string Converted() { return CrLf({"here.mid", "Sub\\below.mid", "Z:\\other.mid", "\\\\nas\\m\\net.mid"}); }

    void ExpectEndedUnseen() {
        EXPECT_TRUE(session->application.Terminated());
        // The message loop sees the termination at once and shows nothing.
        session->application.Run();
        EXPECT_TRUE(Platform().WindowOf(Form().Handle()).showCommands.empty());
        EXPECT_FALSE(Form().Visible());
    }
};

// A run of a whole command line over cassettes made with Put: it reports
// each unreadable path once, in order, then "変換完了" once; it converts
// the cassettes it names and leaves every other file as it was.
TEST_F(CommandLineTest, ConvertsEachCassetteNamedAndReportsTheOthers) {
    const std::string list = "C:\\Music\\Lists\\list.cas", one = "C:\\A\\one.cas", three = "C:\\B\\three.cas";
    const std::string myList = "C:\\My Music\\my list.cas", dList = "D:\\Music\\Lists\\list.cas";
    struct Case {
        std::string arguments;  // the command line after the program's name, as typed
        std::vector<std::string> cassettes;  // made with Put before the run
        std::vector<std::string> converted;
        std::vector<std::string> unreadable;
        const char* current = "C:\\";  // the current folder
        const char* before = nullptr;   // a current folder before, which its drive keeps
        void (*setUp)(MemoryFileSystem&) = [](MemoryFileSystem&) {};
    } cases[] = {
        {"\"" + list + "\"", {list}, {list}, {}},
        {"\"" + one + "\" \"C:\\A\\missing.cas\" \"" + three + "\"", {one, three}, {one, three}, {"C:\\A\\missing.cas"}},
        // No such file or folder, a folder, a file held open by another
        // program, no valid name.
        {"C:\\x.cas C:\\No\\y.cas C:\\Folder.cas C:\\A\\busy.cas C:\\a|b.cas", {"C:\\A\\busy.cas"}, {},
         {"C:\\x.cas", "C:\\No\\y.cas", "C:\\Folder.cas", "C:\\A\\busy.cas", "C:\\a|b.cas"}, "C:\\", nullptr,
         [](MemoryFileSystem& f) {
             f.AddFolder("C:\\Folder.cas");
             f.SetLocked("C:\\A\\busy.cas", true);
         }},
        // Empty arguments are skipped without a message.
        {"\"\" \"" + one + "\" \"\"", {one}, {one}, {}},
        {"\"\" \"\"", {}, {}, {}},
        // Tabs and runs of blanks separate; quotes group and are removed.
        {"\t" + one + "   \"" + myList + "\"\t\t" + three + "  ", {one, myList, three}, {one, myList, three}, {}},
        // "Music\my list.cas" has no drive: it is looked for below the current folder.
        {myList, {myList}, {}, {"C:\\My", "C:\\Music\\my", "C:\\list.cas"}},
        // No backslash escaping: the quote after "\" still closes the group.
        {"\"C:\\My Music\\\" \"" + one + "\"", {myList, one}, {one}, {"C:\\My Music\\"}},
        // A name without a drive is taken from the current folder, and the
        // cassette is written there, never into the drive's root.
        {"list.cas", {list, "C:\\list.cas"}, {list}, {}, "C:\\Music\\Lists"},
        {"missing.cas", {}, {}, {"C:\\Music\\Lists\\missing.cas"}, "C:\\Music\\Lists"},
        {"Lists\\list.cas", {list}, {list}, {}, "C:\\Music"},
        {"..\\list.cas", {list}, {list}, {}, "C:\\Music\\Lists\\Sub"},
        {".\\..\\Lists\\list.cas", {list}, {list}, {}, "C:\\Music\\Pop"},
        {"Music\\Lists\\list.cas", {list}, {list}, {}},
        // "D:name" names a file of drive D's own current folder, which is its
        // root when drive D has none; "\name" lies on the current drive.
        {"D:list.cas", {dList, "D:\\list.cas"}, {dList}, {}, "D:\\Music\\Lists"},
        {"d:Lists\\list.cas", {dList, "D:\\Lists\\list.cas"}, {dList}, {}, "D:\\Music"},
        {"D:list.cas", {dList, "D:\\list.cas"}, {dList}, {}, "C:\\Music", "D:\\Music\\Lists"},
        {"D:list.cas", {"D:\\list.cas", "C:\\Music\\list.cas"}, {"D:\\list.cas"}, {}, "C:\\Music"},
        {"\\Music\\Lists\\list.cas", {dList, list}, {dList}, {}, "D:\\Other"},
        {"\\Music\\Lists\\list.cas", {dList, list}, {list}, {}, "C:\\Other"},
        // On a network share a drive path is never made relative: nothing to write.
        {"\\\\nas\\share\\list.cas", {"\\\\nas\\share\\list.cas"}, {}, {}, "C:\\Music"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        files = MemoryFileSystem();
        if (c.before) files.SetCurrentDirectory(c.before);
        files.SetCurrentDirectory(c.current);
        std::vector<std::string> before;
        for (const std::string& cassette : c.cassettes) before.push_back(files.Get(Put(cassette)).value());
        c.setUp(files);
        RunCommandLine("\"" + kExe + "\" " + c.arguments);
        std::vector<Box> boxes;
        for (const std::string& path : c.unreadable) boxes.push_back(OpenErrorBox(path));
        boxes.push_back(DoneBox());
        EXPECT_EQ(Boxes(), boxes);
        for (std::size_t i = 0; i < c.cassettes.size(); ++i) {
            const bool converted = std::count(c.converted.begin(), c.converted.end(), c.cassettes[i]) != 0;
            EXPECT_EQ(files.Get(c.cassettes[i]), converted ? Converted() : before[i]) << c.cassettes[i];
        }
        EXPECT_EQ(files.ReplaceCount(), static_cast<int>(c.converted.size()));
        EXPECT_EQ(files.FilePaths().size(), c.cassettes.size());
        ExpectEndedUnseen();
    }
}

TEST_F(CommandLineTest, ConvertsEachCassetteRelativeToItsOwnFolder) {
    // One text in two folders on two drives: each made relative to its own.
    files.Put("C:\\A\\shared.cas", "C:\\A\\x.mid\nD:\\B\\C\\y.mid\n");
    files.Put("D:\\B\\C\\shared.cas", "C:\\A\\x.mid\nD:\\B\\C\\y.mid\n");
    RunWith({"C:\\A\\shared.cas", "D:\\B\\C\\shared.cas"});
    EXPECT_EQ(files.Get("C:\\A\\shared.cas"), CrLf({"x.mid", "D:\\B\\C\\y.mid"}));
    EXPECT_EQ(files.Get("D:\\B\\C\\shared.cas"), CrLf({"C:\\A\\x.mid", "y.mid"}));
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    // The fields show the last argument and the folder the run converted against.
    EXPECT_EQ(Form().EdCasFile->Text(), "D:\\B\\C\\shared.cas");
    EXPECT_EQ(Form().EdOutput->Text(), "D:\\B\\C\\");
}

TEST_F(CommandLineTest, TheOutputFolderEndsInABackslashOfItsOwn) {
    struct Case {
        std::string path;
        std::string text;
        std::string output;  // EdOutput afterwards
        std::string converted;
    } cases[] = {
        // "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: no backslashes.
        {"C:\\ソ\\表\\list.cas", "C:\\ソ\\表\\曲.mid\nC:\\ソ\\歌.mid\nC:\\ソフト\\a.mid\n", "C:\\ソ\\表\\",
         CrLf({"曲.mid", "..\\歌.mid", "..\\..\\ソフト\\a.mid"})},
        // A drive root keeps its backslash, and one more is appended.
        {"C:\\root.cas", "C:\\Music\\a.mid\nC:\\b.mid\nD:\\c.mid\n", "C:\\\\",
         CrLf({"Music\\a.mid", "b.mid", "D:\\c.mid"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        files.Put(c.path, c.text);
        RunWith({c.path});
        EXPECT_EQ(Form().EdOutput->Text(), c.output);
        EXPECT_EQ(files.Get(c.path), c.converted);
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    }
    EXPECT_EQ(files.FilePaths(), (std::vector<std::string>{"C:\\root.cas", "C:\\ソ\\表\\list.cas"}));
}

TEST_F(CommandLineTest, AFailedSaveIsReportedAndTheRunGoesOn) {
    struct Case {
        const char* what;
        void (*fail)(MemoryFileSystem&);
        std::string reason;
    } cases[] = {
        {"read-only cassette", [](MemoryFileSystem& f) { f.SetReadOnly("C:\\A\\one.cas", true); },
         MemoryFileSystem::kAccessDenied},
        {"replace refused", [](MemoryFileSystem& f) { f.FailNextReplaces(1, "ディスクがいっぱいです。"); },
         "ディスクがいっぱいです。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files = MemoryFileSystem();
        const std::string original = "C:\\A\\x.mid\r\nC:\\A\\y.mid";
        files.Put("C:\\A\\one.cas", original);
        Put("C:\\B\\three.cas");
        c.fail(files);
        RunWith({"C:\\A\\one.cas", "C:\\B\\three.cas"});
        const std::vector<Box> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_PRED_FORMAT2(testing::IsSubstring, "C:\\A\\one.cas", boxes[0].text);
        EXPECT_PRED_FORMAT2(testing::IsSubstring, c.reason, boxes[0].text);
        EXPECT_EQ(boxes[0].caption, kErrorCaption);
        EXPECT_EQ(boxes[0].flags, kErrorStyle);
        EXPECT_EQ(boxes[1], DoneBox());
        // The cassette on disk is as it was, and the next one was converted.
        EXPECT_EQ(files.Get("C:\\A\\one.cas"), original);
        EXPECT_EQ(files.Get("C:\\B\\three.cas"), Converted());
        EXPECT_EQ(files.FilePaths(), (std::vector<std::string>{"C:\\A\\one.cas", "C:\\B\\three.cas"}));
        ExpectEndedUnseen();
    }
}

TEST_F(CommandLineTest, AFileWithNothingToRewriteIsLeftByteForByte) {
    // Dropped together with a cassette: none of these has a line to make
    // relative, so none is written, whatever its line ends or bytes.
    const struct {
        const char* path;
        std::string contents;
    } untouched[] = {
        {"C:\\A\\converted.cas", "here.mid\nSub\\below.mid\nD:\\other.mid"},
        {"C:\\A\\song.mid", std::string("MThd\0\0\0\x06\0\x01\0\x01\x01\xE0MTrk\0\0\0\x04\n\r\xFF\x2F", 24)},
        {"C:\\A\\empty.cas", ""},
    };
    std::vector<std::string> arguments;
    for (const auto& file : untouched) {
        files.Put(file.path, file.contents);
        arguments.push_back(file.path);
    }
    arguments.push_back(Put("C:\\A\\one.cas"));
    RunWith(arguments);
    for (const auto& file : untouched) EXPECT_EQ(files.Get(file.path), file.contents) << file.path;
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    // A second run finds nothing left to rewrite in the converted cassette either.
    RunWith({"C:\\A\\one.cas"});
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
}

TEST_F(CommandLineTest, NeverDeletesTheSourceWhateverTheDeleteOption) {
    // ChDelete is unchecked at creation, so the box is ticked on a form
    // started without arguments and the command-line run is made then: it
    // ignores the box and only overwrites each cassette with its converted
    // form, whether it had lines to rewrite or not.
    RunCommandLine("");
    Form().ChDelete->SetChecked(true);
    Put("C:\\A\\one.cas");
    files.Put("C:\\A\\done.cas", "here.mid\r\n");
    Platform().commandLine = "\"" + kExe + "\" \"C:\\A\\one.cas\" \"C:\\A\\done.cas\"";
    Form().FormCreate(nullptr);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_TRUE(Form().ChDelete->Checked());
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    EXPECT_EQ(files.Get("C:\\A\\done.cas"), "here.mid\r\n");
    EXPECT_EQ(files.FilePaths(), (std::vector<std::string>{"C:\\A\\done.cas", "C:\\A\\one.cas"}));
}

}  // namespace
}  // namespace tovakin_test
