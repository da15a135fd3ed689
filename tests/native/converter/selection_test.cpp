// Choosing the source (BtRefClick, or dropping a file on the window) and the
// output folder (Button1Click).  The handlers only fill the two fields.
#include <optional>
#include <string>
#include <vector>

#include "tovakin_fixture.h"

namespace tovakin_test {
namespace {

const std::string kFilter = "SORBELカセットファイル(*.cas)|*.cas";
const std::string kBrowseTitle = "出力先フォルダを選択してください";

class SelectionTest : public TovakinTest {
protected:
    void ExpectNothingElseHappened() {
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(files.ReplaceCount(), 0);
        EXPECT_EQ(Platform().idListsOutstanding, 0);
    }
};

TEST_F(SelectionTest, ChoosingASourcePresetsTheOutputToItsFolder) {
    struct Case {
        std::string chosen;
        std::string output;
    } cases[] = {
        {"C:\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\"},
        {"D:\\a.cas", "D:\\\\"},  // a drive root keeps its backslash and gets another
        {"C:\\ソ\\表\\曲.cas", "C:\\ソ\\表\\"},
        {"\\\\nas\\share\\Lists\\list.cas", "\\\\nas\\share\\Lists\\"},
        {"C:\\My Music\\my list.cas", "C:\\My Music\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.chosen));
        TMainForm& form = Open();
        form.EdOutput->SetText("E:\\Chosen\\Before\\");
        Platform().openDialogAnswers = {c.chosen};
        form.BtRef->Click();
        EXPECT_EQ(form.EdCasFile->Text(), c.chosen);
        EXPECT_EQ(form.EdOutput->Text(), c.output);
        ASSERT_EQ(Platform().openDialogs.size(), 1u);
        EXPECT_EQ(Platform().openDialogs[0].owner, form.Handle());
        EXPECT_EQ(Platform().openDialogs[0].filter, kFilter);
        // The framework's default options: no read-only check box, and the
        // current folder left as it is.
        EXPECT_EQ(Platform().openDialogs[0].options & (OFN_HIDEREADONLY | OFN_NOCHANGEDIR),
                  OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
        ExpectNothingElseHappened();
    }
}

TEST_F(SelectionTest, CancellingTheOpenDialogChangesNothing) {
    TMainForm& form = Open();
    form.EdCasFile->SetText("C:\\Old\\old.cas");
    form.EdOutput->SetText("C:\\Out");
    Platform().openDialogAnswers = {std::nullopt};
    form.BtRef->Click();
    EXPECT_EQ(form.EdCasFile->Text(), "C:\\Old\\old.cas");
    EXPECT_EQ(form.EdOutput->Text(), "C:\\Out");
    EXPECT_EQ(Platform().openDialogs.size(), 1u);
    ExpectNothingElseHappened();
}

TEST_F(SelectionTest, AChosenSourceNeedNotExist) {
    TMainForm& form = Open();
    Platform().openDialogAnswers = {"C:\\Nowhere\\typed.cas"};
    form.BtRef->Click();
    EXPECT_EQ(form.EdCasFile->Text(), "C:\\Nowhere\\typed.cas");
    ExpectNothingElseHappened();
    // It fails only when the run reads it.
    form.BtChange->Click();
    EXPECT_EQ(Boxes(), std::vector<Box>{OpenErrorBox("C:\\Nowhere\\typed.cas")});
}

TEST_F(SelectionTest, TheFolderBrowserIsAskedTheSameWayEveryTime) {
    TMainForm& form = Open();
    // Whatever EdOutput holds, the browser opens without a preselection.
    const char* before[] = {"", "C:\\Music\\", "D:\\Other"};
    for (const char* text : before) {
        form.EdOutput->SetText(text);
        Platform().folderAnswers = {std::nullopt};
        form.Button1->Click();
    }
    ASSERT_EQ(Platform().browses.size(), 3u);
    for (const auto& browse : Platform().browses) {
        EXPECT_EQ(browse.owner, form.Handle());
        EXPECT_EQ(browse.root, nullptr);
        EXPECT_TRUE(browse.displayNameZeroed);
        EXPECT_EQ(browse.title, kBrowseTitle);
        EXPECT_EQ(browse.flags, 1u);
        EXPECT_EQ(browse.callback, nullptr);
    }
}

TEST_F(SelectionTest, AChosenFolderBecomesTheOutputWithABackslash) {
    struct Case {
        std::optional<std::string> answer;  // nullopt: cancelled; "": confirmed without a path
        std::string output;                 // EdOutput afterwards
    } cases[] = {
        {"D:\\Out", "D:\\Out\\"},
        {"D:\\", "D:\\\\"},  // the path of a drive root already ends in a backslash
        {"C:\\ソ\\表", "C:\\ソ\\表\\"},
        {"C:\\My Music", "C:\\My Music\\"},
        {std::nullopt, "E:\\Before"},
        {"", "E:\\Before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer ? testing::PrintToString(*c.answer) : "cancelled");
        TMainForm& form = Open();
        form.EdCasFile->SetText("C:\\Music\\list.cas");
        form.EdOutput->SetText("E:\\Before");
        Platform().folderAnswers = {c.answer};
        form.Button1->Click();
        EXPECT_EQ(form.EdOutput->Text(), c.output);
        EXPECT_EQ(form.EdCasFile->Text(), "C:\\Music\\list.cas");
        EXPECT_EQ(Platform().browses.size(), 1u);
        // The item-id list is always given back.
        ExpectNothingElseHappened();
    }
}

TEST_F(SelectionTest, TheOutputFolderIsChosenAfterTheSource) {
    TMainForm& form = Open();
    Platform().folderAnswers = {"D:\\Out"};
    form.Button1->Click();
    Platform().openDialogAnswers = {"C:\\Music\\list.cas"};
    form.BtRef->Click();
    // Choosing the source replaced the chosen folder...
    EXPECT_EQ(form.EdOutput->Text(), "C:\\Music\\");
    Platform().folderAnswers = {"D:\\Out"};
    form.Button1->Click();
    // ...and choosing a folder afterwards keeps the source.
    EXPECT_EQ(form.EdCasFile->Text(), "C:\\Music\\list.cas");
    EXPECT_EQ(form.EdOutput->Text(), "D:\\Out\\");
    ExpectNothingElseHappened();
}

TEST_F(SelectionTest, ADroppedFileIsTakenAsTheChosenSource) {
    struct Case {
        std::vector<std::string> dropped;
        std::string casFile;
        std::string output;
    } cases[] = {
        {{"C:\\Music\\Lists\\list.cas"}, "C:\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\"},
        {{"D:\\b.cas", "C:\\Other\\c.cas"}, "D:\\b.cas", "D:\\\\"},  // the first of several
        {{"C:\\ソ\\表\\曲.cas"}, "C:\\ソ\\表\\曲.cas", "C:\\ソ\\表\\"},
        {{}, "C:\\Old\\old.cas", "E:\\Before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.dropped));
        TMainForm& form = Open();
        EXPECT_TRUE(form.Design().AcceptFiles);
        form.EdCasFile->SetText("C:\\Old\\old.cas");
        form.EdOutput->SetText("E:\\Before");
        form.DropFiles(c.dropped);
        EXPECT_EQ(form.EdCasFile->Text(), c.casFile);
        EXPECT_EQ(form.EdOutput->Text(), c.output);
        EXPECT_TRUE(Platform().openDialogs.empty());
        ExpectNothingElseHappened();
    }
}

TEST_F(SelectionTest, ADroppedCassetteIsConvertedInPlaceByTheButton) {
    files.Put("C:\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\a.mid\nC:\\Music\\b.mid\n");
    TMainForm& form = Open();
    form.DropFiles({"C:\\Music\\Lists\\list.cas"});
    form.BtChange->Click();
    EXPECT_EQ(files.Get("C:\\Music\\Lists\\list.cas"), CrLf({"a.mid", "..\\b.mid"}));
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
}

TEST_F(SelectionTest, ChosenSourceAndFolderDriveTheRun) {
    files.Put("C:\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\a.mid\nC:\\Music\\b.mid\n");
    files.AddFolder("C:\\Music\\Out");
    TMainForm& form = Open();
    Platform().openDialogAnswers = {"C:\\Music\\Lists\\list.cas"};
    form.BtRef->Click();
    Platform().folderAnswers = {"C:\\Music\\Out"};
    form.Button1->Click();
    form.ChDelete->SetChecked(true);
    form.BtChange->Click();
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\Music\\Out\\list.cas"});
    EXPECT_EQ(files.Get("C:\\Music\\Out\\list.cas"), CrLf({"..\\Lists\\a.mid", "..\\b.mid"}));
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(Platform().idListsOutstanding, 0);
}

}  // namespace
}  // namespace tovakin_test
