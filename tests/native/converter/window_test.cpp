// Tovakin's window as laid out, and the program entry ProgramMain.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "framework/gui/entry.h"
#include "tovakin_fixture.h"

namespace tovakin_test {
namespace {

using fw::TControlKind;

class WindowTest : public TovakinTest {};

TEST_F(WindowTest, HasItsCaptionFontAndFixedClientArea) {
    TMainForm& form = Open();
    EXPECT_EQ(form.Caption(), "Zelbin - カセットファイルの絶対パスを相対パスに変換するぞ！");
    EXPECT_EQ(Platform().WindowOf(form.Handle()).text, form.Caption());
    EXPECT_EQ(form.ClientRect(), fw::Bounds(0, 0, 442, 100));
    EXPECT_EQ(form.Design().BorderStyle, fw::bsSingle);
    // Placed by the window system, not at the stored design position.
    EXPECT_EQ(form.Design().Position, fw::poDefault);
    EXPECT_FALSE(form.Left() == 270 && form.Top() == 230);
    EXPECT_EQ(form.Color(), fw::clBtnFace);
    EXPECT_EQ(form.Font()->Name(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(form.Font()->Height(), -12);
    EXPECT_EQ(form.Font()->Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(form.Font()->Color(), fw::clWindowText);
}

TEST_F(WindowTest, CreatesItsControlsAsLaidOut) {
    TMainForm& form = Open();
    struct Row {
        fw::TControl* control;
        const char* name;
        TControlKind kind;
        int left, top, width, height;
        std::string caption;
        int tabOrder;
    } rows[] = {
        {form.Label1, "Label1", TControlKind::Label, 0, 13, 115, 12, "変換元カセットファイル", -1},
        {form.Label2, "Label2", TControlKind::Label, 40, 45, 72, 12, "変換後出力先", -1},
        {form.BtChange, "BtChange", TControlKind::BitBtn, 304, 72, 75, 25, "変換", 0},
        {form.EdCasFile, "EdCasFile", TControlKind::Edit, 120, 8, 257, 20, "", 1},
        {form.BtRef, "BtRef", TControlKind::Button, 384, 8, 57, 25, "参照", 2},
        {form.EdOutput, "EdOutput", TControlKind::Edit, 120, 40, 257, 20, "", 3},
        {form.Button1, "Button1", TControlKind::Button, 384, 40, 57, 25, "参照", 4},
        {form.ChDelete, "ChDelete", TControlKind::CheckBox, 8, 72, 161, 17, "変換後に元ファイルを削除", 5},
    };
    ASSERT_EQ(form.Controls().size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.name);
        // The layout creates them in this order.
        EXPECT_EQ(form.Controls()[i], row.control);
        EXPECT_EQ(row.control->Name(), row.name);
        EXPECT_EQ(row.control->Kind(), row.kind);
        EXPECT_EQ(row.control->Left(), row.left);
        EXPECT_EQ(row.control->Top(), row.top);
        EXPECT_EQ(row.control->Width(), row.width);
        EXPECT_EQ(row.control->Height(), row.height);
        EXPECT_EQ(row.control->TabOrder(), row.tabOrder);
        EXPECT_TRUE(row.control->Visible());
        const MemoryPlatform::Window& window = Platform().WindowOf(row.control->Handle());
        EXPECT_EQ(window.parent, form.Handle());
        EXPECT_EQ(window.text, row.caption);
        EXPECT_EQ(window.rect, fw::Bounds(row.left, row.top, row.width, row.height));
        // All controls use the form's font.
        EXPECT_EQ(row.control->Font()->Name(), "ＭＳ Ｐゴシック");
        EXPECT_EQ(row.control->Font()->Height(), -12);
        EXPECT_EQ(row.control->Font()->Charset(), SHIFTJIS_CHARSET);
    }
    EXPECT_FALSE(form.ChDelete->Checked());
    // The convert button is the default OK button (Enter presses it), and no other is.
    EXPECT_EQ(form.BtChange->BitBtnKind(), fw::bkOK);
    EXPECT_TRUE(form.BtChange->Default() && !form.BtRef->Default() && !form.Button1->Default());
    EXPECT_EQ(form.DefaultButton(), form.BtChange);
    EXPECT_EQ(form.EdCasFile->Text(), "");
    EXPECT_EQ(form.EdOutput->Text(), "");
}

// At 144 pixels per inch however it came to be: the screen's setting, the
// display the window was made on, or the display it was moved onto.
TEST_F(WindowTest, IsScaledToThePixelsPerInchOfItsDisplay) {
    enum Way { Screen, MadeOn, MovedOnto };
    for (const Way way : {Screen, MadeOn, MovedOnto}) {
        SCOPED_TRACE(way);
        session = std::make_unique<Session>("", false);
        Platform().pixelsPerInch = way == Screen ? 144 : 96;
        if (way == MadeOn) Platform().monitors = {{fw::Bounds(0, 0, 1024, 768), 144}};
        if (way == MovedOnto)
            Platform().monitors = {{fw::Bounds(0, 0, 1024, 768), 96}, {fw::Bounds(1024, 0, 1024, 768), 144}};
        session->application.CreateForm(MainForm);
        TMainForm& form = Form();
        if (way == MovedOnto) {
            ASSERT_EQ(form.ClientRect(), fw::Bounds(0, 0, 442, 100));
            form.SetLeft(1100);
        }
        EXPECT_EQ(form.ClientRect(), fw::Bounds(0, 0, 663, 150));
        EXPECT_EQ(form.Font()->Height(), -18);
        struct Row {
            fw::TControl* control;
            fw::TRect bounds;
        } rows[] = {
            {form.Label1, fw::Bounds(0, 20, 173, 18)},      {form.Label2, fw::Bounds(60, 68, 108, 18)},
            {form.BtChange, fw::Bounds(456, 108, 113, 38)}, {form.EdCasFile, fw::Bounds(180, 12, 386, 30)},
            {form.BtRef, fw::Bounds(576, 12, 86, 38)},      {form.EdOutput, fw::Bounds(180, 60, 386, 30)},
            {form.Button1, fw::Bounds(576, 60, 86, 38)},    {form.ChDelete, fw::Bounds(12, 108, 242, 26)},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.control->Name());
            EXPECT_EQ(fw::Bounds(row.control->Left(), row.control->Top(), row.control->Width(), row.control->Height()),
                      row.bounds);
            EXPECT_EQ(Platform().WindowOf(row.control->Handle()).rect, row.bounds);
            EXPECT_EQ(row.control->Font()->Height(), -18);
        }
        session.reset();
    }
}

TEST_F(WindowTest, KeepsTheCassetteLinesInAHiddenUnsortedList) {
    TMainForm& form = Open();
    EXPECT_FALSE(form.LbCas->Visible());
    EXPECT_EQ(form.LbCas->Items()->Count(), 0);
    const auto& design = form.Design().Controls;
    auto list = std::find_if(design.begin(), design.end(),
                             [](const fw::TControlDesign& c) { return std::string(c.Name) == "LbCas"; });
    ASSERT_NE(list, design.end());
    EXPECT_EQ(list->Kind, TControlKind::ListBox);
    EXPECT_FALSE(list->Visible);
    EXPECT_FALSE(list->Sorted);
    EXPECT_EQ(list->ItemHeight, 12);
    EXPECT_EQ(list->TabOrder, 6);
    EXPECT_EQ(fw::Bounds(list->Left, list->Top, list->Width, list->Height), fw::Bounds(144, 40, 177, 17));
    // Lines stay in file order.
    files.Put("C:\\z.cas", "b\r\na\r\nc\r\n");
    form.LbCas->Items()->LoadFromFile("C:\\z.cas");
    EXPECT_EQ(CasLines(), (std::vector<std::string>{"b", "a", "c"}));
}

// The program entry, as the framework calls it: platform and application
// exist, nothing else.
class ProgramMainTest : public TovakinTest {
protected:
    int Run(const std::string& commandLine) {
        session.reset();
        session = std::make_unique<Session>(commandLine, false);
        return ProgramMain();
    }
};

// With arguments, readable or not, the program converts, reports once and
// ends with exit code 0, its window never shown.
TEST_F(ProgramMainTest, WithArgumentsConvertsReportsOnceAndEndsWithoutShowingTheWindow) {
    files.Put("C:\\A\\one.cas", "C:\\A\\x.mid\n");
    files.Put("C:\\B\\two.cas", "C:\\A\\x.mid\n");
    EXPECT_EQ(Run("\"C:\\Tools\\Tovakin.exe\" C:\\A\\one.cas C:\\none.cas \"C:\\B\\two.cas\""), 0);
    EXPECT_EQ(files.Get("C:\\A\\one.cas"), CrLf({"x.mid"}));
    EXPECT_EQ(files.Get("C:\\B\\two.cas"), CrLf({"..\\A\\x.mid"}));
    EXPECT_EQ(session->application.Title(), "Zelbin");
    EXPECT_EQ(Boxes(), (std::vector<Box>{OpenErrorBox("C:\\none.cas"), DoneBox()}));
    ASSERT_NE(MainForm, nullptr);
    EXPECT_EQ(session->application.MainForm(), MainForm);
    EXPECT_TRUE(session->application.Terminated());
    const MemoryPlatform::Window& window = Platform().WindowOf(MainForm->Handle());
    EXPECT_TRUE(window.showCommands.empty());
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.paints, 0);
}

TEST_F(ProgramMainTest, WithoutArgumentsShowsTheWindowAndWaits) {
    EXPECT_EQ(Run("\"C:\\Tools\\Tovakin.exe\""), 0);
    EXPECT_EQ(session->application.Title(), "Zelbin");
    ASSERT_NE(MainForm, nullptr);
    EXPECT_TRUE(MainForm->Visible());
    EXPECT_FALSE(Platform().WindowOf(MainForm->Handle()).showCommands.empty());
    EXPECT_FALSE(session->application.Terminated());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(files.ReplaceCount(), 0);
}

}  // namespace
}  // namespace tovakin_test
