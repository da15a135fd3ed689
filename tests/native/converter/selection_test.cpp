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

// A source chosen with the first 参照, or dropped onto the window (the
// first of several), fills the source field, and the output field with its
// folder; it need not exist.  A cancelled choice, or a drop of nothing,
// changes nothing.
TEST_F(SelectionTest, AChosenOrDroppedSourcePresetsTheOutputToItsFolder) {
    struct Case {
        std::vector<std::string> chosen;  // the dialog answers the first, or is cancelled
        std::string casFile;
        std::string output;
    } cases[] = {
        {{"C:\\Music\\Lists\\list.cas"}, "C:\\Music\\Lists\\list.cas", "C:\\Music\\Lists\\"},
        {{"D:\\a.cas"}, "D:\\a.cas", "D:\\\\"},  // a drive root keeps its backslash and gets another
        {{"C:\\ソ\\表\\曲.cas"}, "C:\\ソ\\表\\曲.cas", "C:\\ソ\\表\\"},
        {{"\\\\nas\\share\\Lists\\list.cas"}, "\\\\nas\\share\\Lists\\list.cas", "\\\\nas\\share\\Lists\\"},
        {{"C:\\My Music\\my list.cas"}, "C:\\My Music\\my list.cas", "C:\\My Music\\"},
        {{"D:\\b.cas", "C:\\Other\\c.cas"}, "D:\\b.cas", "D:\\\\"},
        {{}, "C:\\Old\\old.cas", "E:\\Before"},
    };
    for (const Case& c : cases)
        for (const bool dropped : {false, true}) {
            SCOPED_TRACE(testing::PrintToString(c.chosen) + (dropped ? " dropped" : " chosen"));
            TMainForm& form = Open();
            form.EdCasFile->SetText("C:\\Old\\old.cas");
            form.EdOutput->SetText("E:\\Before");
            if (dropped) {
                EXPECT_TRUE(form.Design().AcceptFiles);
                form.DropFiles(c.chosen);
                EXPECT_TRUE(Platform().openDialogs.empty());
            } else {
                Platform().openDialogAnswers = {c.chosen.empty() ? std::nullopt : std::optional(c.chosen[0])};
                form.BtRef->Click();
                ASSERT_EQ(Platform().openDialogs.size(), 1u);
                EXPECT_EQ(Platform().openDialogs[0].owner, form.Handle());
                EXPECT_EQ(Platform().openDialogs[0].filter, kFilter);
                // The framework's default options: no read-only check box,
                // and the current folder left as it is.
                EXPECT_EQ(Platform().openDialogs[0].options & (OFN_HIDEREADONLY | OFN_NOCHANGEDIR),
                          OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
            }
            EXPECT_EQ(form.EdCasFile->Text(), c.casFile);
            EXPECT_EQ(form.EdOutput->Text(), c.output);
            ExpectNothingElseHappened();
        }
}

// The folder browser is asked the same way whatever the output field holds,
// without a preselection; the folder chosen becomes the output.
TEST_F(SelectionTest, AChosenFolderBecomesTheOutputWithABackslash) {
    struct Case {
        std::optional<std::string> answer;  // nullopt: cancelled; "": confirmed without a path
        std::string output;                 // EdOutput afterwards
        const char* before = "E:\\Before";  // EdOutput before
    } cases[] = {
        {"D:\\Out", "D:\\Out\\"},
        {"D:\\", "D:\\\\"},  // the path of a drive root already ends in a backslash
        {"C:\\ソ\\表", "C:\\ソ\\表\\"},
        {"C:\\My Music", "C:\\My Music\\"},
        {std::nullopt, "E:\\Before"},
        {"", "E:\\Before"},
        {std::nullopt, "", ""},
        {std::nullopt, "C:\\Music\\", "C:\\Music\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer ? testing::PrintToString(*c.answer) : "cancelled");
        TMainForm& form = Open();
        form.EdCasFile->SetText("C:\\Music\\list.cas");
        form.EdOutput->SetText(c.before);
        Platform().folderAnswers = {c.answer};
        form.Button1->Click();
        EXPECT_EQ(form.EdOutput->Text(), c.output);
        EXPECT_EQ(form.EdCasFile->Text(), "C:\\Music\\list.cas");
        ASSERT_EQ(Platform().browses.size(), 1u);
        const auto& browse = Platform().browses[0];
        EXPECT_EQ(browse.owner, form.Handle());
        EXPECT_TRUE(browse.root == nullptr && browse.callback == nullptr && browse.displayNameZeroed);
        EXPECT_EQ(browse.title, kBrowseTitle);
        EXPECT_EQ(browse.flags, 1u);
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

}  // namespace
}  // namespace tovakin_test
