// The command-line run of FormCreate: every cassette named is converted in
// place, relative to its own folder; unreadable ones are reported and
// skipped; "変換完了" comes once at the end and the program ends unseen.
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
        files.Put(path, folder + "\\here.mid\n" + folder + "\\Sub\\below.mid\nD:\\other.mid\n\\\\nas\\m\\net.mid");
        return path;
    }
    static std::string Converted() { return CrLf({"here.mid", "Sub\\below.mid", "D:\\other.mid", "\\\\nas\\m\\net.mid"}); }

    void ExpectEndedUnseen() {
        EXPECT_TRUE(session->application.Terminated());
        // The message loop sees the termination at once and shows nothing.
        session->application.Run();
        EXPECT_TRUE(Platform().WindowOf(Form().Handle()).showCommands.empty());
        EXPECT_FALSE(Form().Visible());
    }
};

TEST_F(CommandLineTest, ConvertsOneCassetteInPlaceThenReportsAndEnds) {
    Put("C:\\Music\\Lists\\list.cas");
    RunWith({"C:\\Music\\Lists\\list.cas"});
    EXPECT_EQ(files.Get("C:\\Music\\Lists\\list.cas"), Converted());
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\Music\\Lists\\list.cas"});
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    // The fields show the last argument and the folder the run converted against.
    EXPECT_EQ(Form().EdCasFile->Text(), "C:\\Music\\Lists\\list.cas");
    EXPECT_EQ(Form().EdOutput->Text(), "C:\\Music\\Lists\\");
    ExpectEndedUnseen();
}

TEST_F(CommandLineTest, ConvertsEachCassetteRelativeToItsOwnFolder) {
    Put("C:\\A\\one.cas");
    Put("D:\\B\\C\\two.cas");
    files.Put("C:\\A\\shared.cas", "C:\\A\\x.mid\nD:\\B\\C\\y.mid\n");
    files.Put("D:\\B\\C\\shared.cas", "C:\\A\\x.mid\nD:\\B\\C\\y.mid\n");
    RunWith({"C:\\A\\one.cas", "D:\\B\\C\\two.cas", "C:\\A\\shared.cas", "D:\\B\\C\\shared.cas"});
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    // D:\B\C\two.cas names "D:\other.mid", which is on its own drive.
    EXPECT_EQ(files.Get("D:\\B\\C\\two.cas"),
              CrLf({"here.mid", "Sub\\below.mid", "..\\..\\other.mid", "\\\\nas\\m\\net.mid"}));
    EXPECT_EQ(files.Get("C:\\A\\shared.cas"), CrLf({"x.mid", "D:\\B\\C\\y.mid"}));
    EXPECT_EQ(files.Get("D:\\B\\C\\shared.cas"), CrLf({"C:\\A\\x.mid", "y.mid"}));
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    ExpectEndedUnseen();
}

TEST_F(CommandLineTest, ReportsAMissingCassetteAndGoesOnWithTheNext) {
    Put("C:\\A\\one.cas");
    Put("C:\\B\\three.cas");
    RunWith({"C:\\A\\one.cas", "C:\\A\\missing.cas", "C:\\B\\three.cas"});
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\A\\missing.cas"), DoneBox()}));
    // The text is the fixed text, one line feed (no CR), and the path.
    EXPECT_EQ(Boxes()[0].text,
              "変換元カセットファイルを開けません。ファイルが移動しているか、削除された可能性があります。\n"
              "C:\\A\\missing.cas");
    EXPECT_EQ(Boxes()[0].caption, "Tovakinエラー");
    EXPECT_EQ(Boxes()[0].flags, 0x10u);
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    EXPECT_EQ(files.Get("C:\\B\\three.cas"), Converted());
    EXPECT_FALSE(files.Exists("C:\\A\\missing.cas"));
    EXPECT_EQ(files.ReplaceCount(), 2);
    ExpectEndedUnseen();
}

TEST_F(CommandLineTest, ReportsEveryKindOfUnreadableSourceWithItsPath) {
    files.AddFolder("C:\\Music\\Folder.cas");
    files.Put("C:\\Music\\busy.cas", "C:\\Music\\a.mid\n");
    files.SetLocked("C:\\Music\\busy.cas", true);
    const char* unreadable[] = {
        "C:\\Music\\missing.cas",    // no such file
        "C:\\Nowhere\\list.cas",     // no such folder
        "C:\\Music\\Folder.cas",     // a folder
        "C:\\Music\\busy.cas",       // held open by another program
        "C:\\Music\\a|b.cas",        // no valid name
    };
    for (const char* path : unreadable) {
        SCOPED_TRACE(path);
        RunWith({path});
        EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox(path), DoneBox()}));
        EXPECT_EQ(files.ReplaceCount(), 0);
        EXPECT_TRUE(session->application.Terminated());
    }
    files.SetLocked("C:\\Music\\busy.cas", false);
    EXPECT_EQ(files.Get("C:\\Music\\busy.cas"), "C:\\Music\\a.mid\n");
}

TEST_F(CommandLineTest, SkipsEmptyArgumentsWithoutAMessage) {
    Put("C:\\A\\one.cas");
    RunCommandLine("\"C:\\Tools\\Tovakin.exe\" \"\" \"C:\\A\\one.cas\" \"\"");
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    EXPECT_EQ(files.ReplaceCount(), 1);
}

TEST_F(CommandLineTest, OnlyEmptyArgumentsStillEndWithTheCompletionMessage) {
    RunCommandLine("\"C:\\Tools\\Tovakin.exe\" \"\" \"\"");
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(files.ReplaceCount(), 0);
    EXPECT_EQ(Form().EdCasFile->Text(), "");
    EXPECT_EQ(Form().EdOutput->Text(), "");
    ExpectEndedUnseen();
}

TEST_F(CommandLineTest, EveryArgumentFailingStillEndsWithOneCompletionMessage) {
    RunWith({"C:\\x.cas", "C:\\y.cas"});
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\x.cas"), OpenErrorBox("C:\\y.cas"), DoneBox()}));
    ExpectEndedUnseen();
}

TEST_F(CommandLineTest, SplitsAtWhiteSpaceAndGroupsWithQuotes) {
    Put("C:\\A\\one.cas");
    Put("C:\\My Music\\my list.cas");
    Put("C:\\B\\three.cas");
    // Tabs and runs of blanks separate; the quotes are removed.
    RunCommandLine("C:\\Tools\\Tovakin.exe\tC:\\A\\one.cas   \"C:\\My Music\\my list.cas\"\t\tC:\\B\\three.cas  ");
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
    EXPECT_EQ(files.Get("C:\\My Music\\my list.cas"), Converted());
    EXPECT_EQ(files.Get("C:\\B\\three.cas"), Converted());
}

TEST_F(CommandLineTest, AnUnquotedPathWithABlankIsTwoArguments) {
    Put("C:\\My Music\\list.cas");
    RunCommandLine("\"C:\\Tools\\Tovakin.exe\" C:\\My Music\\list.cas");
    // "Music\list.cas" has no drive: it is looked for below the current folder, C:\.
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\My"), OpenErrorBox("C:\\Music\\list.cas"), DoneBox()}));
    EXPECT_EQ(files.ReplaceCount(), 0);
}

TEST_F(CommandLineTest, AQuotedPathEndingInABackslashKeepsIt) {
    files.AddFolder("C:\\My Music");
    Put("C:\\A\\one.cas");
    // No backslash escaping: the quote after "\" still closes the group.
    RunCommandLine("\"C:\\Tools\\Tovakin.exe\" \"C:\\My Music\\\" \"C:\\A\\one.cas\"");
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\My Music\\"), DoneBox()}));
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), Converted());
}

TEST_F(CommandLineTest, AFolderNameEndingInATrailByteBackslashIsKeptWhole) {
    // "表" is 0x95 0x5C and "ソ" is 0x83 0x5C.
    const std::string path = "C:\\ソ\\表\\list.cas";
    files.Put(path, "C:\\ソ\\表\\曲.mid\nC:\\ソ\\歌.mid\nC:\\ソフト\\a.mid\n");
    RunWith({path});
    EXPECT_EQ(Form().EdOutput->Text(), "C:\\ソ\\表\\");
    EXPECT_EQ(files.Get(path), CrLf({"曲.mid", "..\\歌.mid", "..\\..\\ソフト\\a.mid"}));
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{path});
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
}

TEST_F(CommandLineTest, ACassetteAtADriveRootIsConvertedInPlace) {
    files.Put("C:\\root.cas", "C:\\Music\\a.mid\nC:\\b.mid\nD:\\c.mid\n");
    RunWith({"C:\\root.cas"});
    // The root keeps its backslash, and one more is appended.
    EXPECT_EQ(Form().EdOutput->Text(), "C:\\\\");
    EXPECT_EQ(files.Get("C:\\root.cas"), CrLf({"Music\\a.mid", "b.mid", "D:\\c.mid"}));
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\root.cas"});
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
}

TEST_F(CommandLineTest, ABareFileNameIsTakenFromTheCurrentFolderAndConvertedThere) {
    files.SetCurrentDirectory("C:\\Music\\Lists");
    Put("C:\\Music\\Lists\\list.cas");
    files.Put("C:\\list.cas", "C:\\Music\\Lists\\untouched.mid\n");
    RunWith({"list.cas"});
    EXPECT_EQ(files.Get("C:\\Music\\Lists\\list.cas"), Converted());
    EXPECT_EQ(Form().EdOutput->Text(), "C:\\Music\\Lists\\");
    // Nothing was written into the root of the drive.
    EXPECT_EQ(files.Get("C:\\list.cas"), "C:\\Music\\Lists\\untouched.mid\n");
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
}

TEST_F(CommandLineTest, ARelativePathIsTakenFromTheCurrentFolder) {
    struct Case {
        const char* current;
        const char* argument;
    } cases[] = {
        {"C:\\Music", "Lists\\list.cas"},
        {"C:\\Music\\Lists\\Sub", "..\\list.cas"},
        {"C:\\Music\\Pop", ".\\..\\Lists\\list.cas"},
        {"C:\\", "Music\\Lists\\list.cas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        files = MemoryFileSystem();
        files.SetCurrentDirectory(c.current);
        Put("C:\\Music\\Lists\\list.cas");
        RunWith({c.argument});
        EXPECT_EQ(files.Get("C:\\Music\\Lists\\list.cas"), Converted());
        EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\Music\\Lists\\list.cas"});
        EXPECT_EQ(files.ReplaceCount(), 1);
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    }
}

TEST_F(CommandLineTest, APathWithoutDriveOrRootIsReadAndWrittenUnderOneFullName) {
    // Put() gives each cassette a line "D:\other.mid"; on drive D that line
    // is converted too.
    const std::string inMusicLists = CrLf({"here.mid", "Sub\\below.mid", "..\\..\\other.mid", "\\\\nas\\m\\net.mid"});
    const std::string inRoot = CrLf({"here.mid", "Sub\\below.mid", "other.mid", "\\\\nas\\m\\net.mid"});
    struct Case {
        const char* current;
        const char* argument;
        const char* cassette;  // the file the argument names
        std::string converted;
        const char* decoy;     // where a careless run would read or write
        const char* before = nullptr;  // a current folder before `current`, which its drive keeps
    } cases[] = {
        // "D:list.cas" names a file of drive D's own current folder...
        {"D:\\Music\\Lists", "D:list.cas", "D:\\Music\\Lists\\list.cas", inMusicLists, "D:\\list.cas"},
        {"D:\\Music", "d:Lists\\list.cas", "D:\\Music\\Lists\\list.cas", inMusicLists, "D:\\Lists\\list.cas"},
        {"C:\\Music", "D:list.cas", "D:\\Music\\Lists\\list.cas", inMusicLists, "D:\\list.cas", "D:\\Music\\Lists"},
        // ...which is its root when drive D has none.
        {"C:\\Music", "D:list.cas", "D:\\list.cas", inRoot, "C:\\Music\\list.cas"},
        // "\Music\Lists\list.cas" lies on the current drive.
        {"D:\\Other", "\\Music\\Lists\\list.cas", "D:\\Music\\Lists\\list.cas", inMusicLists,
         "C:\\Music\\Lists\\list.cas"},
        {"C:\\Other", "\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\list.cas", Converted(),
         "D:\\Music\\Lists\\list.cas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        files = MemoryFileSystem();
        if (c.before) files.SetCurrentDirectory(c.before);
        files.SetCurrentDirectory(c.current);
        Put(c.cassette);
        files.Put(c.decoy, "decoy");
        RunWith({c.argument});
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        EXPECT_EQ(files.Get(c.cassette), c.converted);
        EXPECT_EQ(files.Get(c.decoy), "decoy");
        EXPECT_EQ(files.ReplaceCount(), 1);
    }
}

TEST_F(CommandLineTest, ANetworkCassetteKeepsItsDrivePathsAndIsLeftAsItWas) {
    files.SetCurrentDirectory("C:\\Music");
    const std::string text = "C:\\Music\\a.mid\n\\\\nas\\share\\b.mid\n";
    files.Put("\\\\nas\\share\\list.cas", text);
    RunWith({"\\\\nas\\share\\list.cas"});
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(files.Get("\\\\nas\\share\\list.cas"), text);
    EXPECT_EQ(files.ReplaceCount(), 0);
}

TEST_F(CommandLineTest, AMissingBareFileNameIsReportedWithTheFolderItWasLookedFor) {
    files.SetCurrentDirectory("C:\\Music\\Lists");
    RunWith({"missing.cas"});
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\Music\\Lists\\missing.cas"), DoneBox()}));
    EXPECT_EQ(files.ReplaceCount(), 0);
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

TEST_F(CommandLineTest, WithoutArgumentsTheDialogWaitsForTheUser) {
    RunCommandLine("\"C:\\Tools\\Tovakin.exe\"");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(session->application.Terminated());
    EXPECT_EQ(Form().EdCasFile->Text(), "");
    EXPECT_EQ(Form().EdOutput->Text(), "");
    EXPECT_FALSE(Form().ChDelete->Checked());
    session->application.Run();
    EXPECT_TRUE(Form().Visible());
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace tovakin_test
