// The interactive run, BtChangeClick: check the fields, read the source,
// finish the output folder, convert, write safely, delete the source only
// after a successful write, report.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tovakin_fixture.h"

// This test program's operator new, which fails on demand (AllocationLimit).
namespace {
bool limited = false;
std::size_t largestAllowed = SIZE_MAX;
long failingAllocation = 0;
bool failTooLong = false;
long allocations = 0;

void* Allocate(std::size_t size) {
    if (limited && (++allocations == failingAllocation || size > largestAllowed)) {
        if (failTooLong) throw std::length_error("basic_string::_M_create");
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size > 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
void* AllocateOrNull(std::size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (const std::exception&) {
        return nullptr;
    }
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace tovakin_test {

AllocationLimit::AllocationLimit(std::size_t largest, long failing, bool tooLong) {
    largestAllowed = largest;
    failingAllocation = failing;
    failTooLong = tooLong;
    allocations = 0;
    limited = true;
}
AllocationLimit::~AllocationLimit() { limited = false; }
long AllocationLimit::Allocations() { return allocations; }

namespace {

const std::string kSource = "C:\\Music\\Lists\\list.cas";
const std::string kSourceText = "C:\\Music\\Lists\\a.mid\nC:\\Music\\Pop\\b.mid\nD:\\c.mid";
// kSourceText converted for the source's own folder, and for C:\Out\.
const std::string kInPlace = CrLf({"a.mid", "..\\Pop\\b.mid", "D:\\c.mid"});
const std::string kForOut = CrLf({"..\\Music\\Lists\\a.mid", "..\\Music\\Pop\\b.mid", "D:\\c.mid"});

class ConversionRunTest : public TovakinTest {
protected:
    ConversionRunTest() {
        files.Put(kSource, kSourceText);
        files.AddFolder("C:\\Out");
    }
};

TEST_F(ConversionRunTest, AnEmptyFieldShowsTheInputErrorOnceAndChangesNothing) {
    struct Case {
        const char* casFile;
        const char* output;
    } cases[] = {{"", ""}, {"C:\\Music\\Lists\\list.cas", ""}, {"", "C:\\Out"}, {"", "C:\\Out\\"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "source " << testing::PrintToString(std::string(c.casFile))
                                        << ", output " << testing::PrintToString(std::string(c.output)));
        Open();
        Form().LbCas->Items()->Add("kept");
        Convert(c.casFile, c.output, true);
        EXPECT_EQ(Boxes(), std::vector<Box>{InputErrorBox()});
        EXPECT_EQ(Platform().messageBoxes[0].owner, Form().Handle());  // the shown window's
        EXPECT_EQ(Form().EdCasFile->Text(), c.casFile);
        EXPECT_EQ(Form().EdOutput->Text(), c.output);
        EXPECT_EQ(CasLines(), std::vector<std::string>{"kept"});
        EXPECT_EQ(files.Get(kSource), kSourceText);
        EXPECT_EQ(files.ReplaceCount(), 0);
    }
}

TEST_F(ConversionRunTest, AnUnreadableSourceShowsTheOpenErrorWithItsPath) {
    files.Put("C:\\Music\\busy.cas", "x");
    files.SetLocked("C:\\Music\\busy.cas", true);
    // Blanks are no empty field: they pass the input check and fail here.
    const char* sources[] = {"C:\\Music\\none.cas", "C:\\Nowhere\\list.cas", "C:\\Music\\busy.cas",
                             "C:\\Music\\Lists", "c:\\music\\表\\無い.cas", " "};
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        Open();
        Form().LbCas->Items()->Add("kept");
        Convert(source, "C:\\Out", true);
        EXPECT_EQ(Boxes(), std::vector<Box>{OpenErrorBox(source)});
        // Nothing converted, deleted or written; the output field untouched.
        EXPECT_EQ(Form().EdOutput->Text(), "C:\\Out");
        EXPECT_EQ(CasLines(), std::vector<std::string>{"kept"});
        EXPECT_EQ(files.ReplaceCount(), 0);
        EXPECT_EQ(files.Get("C:\\Music\\busy.cas"), "x");
        EXPECT_EQ(files.Get(kSource), kSourceText);
    }
}

TEST_F(ConversionRunTest, TheOutputFolderGetsItsFinalBackslashAndKeepsIt) {
    struct Case {
        std::string typed;
        std::string shown;  // EdOutput after the run
    } cases[] = {
        {"C:\\Out", "C:\\Out\\"},
        {"C:\\Out\\", "C:\\Out\\"},
        // A last double-byte character whose trail byte is 0x5C ("表") is no backslash.
        {"C:\\Out\\表", "C:\\Out\\表\\"},
        {"C:\\Out\\ソ", "C:\\Out\\ソ\\"},
        {"C:\\Out\\表\\", "C:\\Out\\表\\"},
        {"C:\\Out\\曲", "C:\\Out\\曲\\"},
        // A drive root as the browser gives it, with the backslash appended.
        {"C:\\\\", "C:\\\\"},
    };
    files.AddFolder("C:\\Out\\表");
    files.AddFolder("C:\\Out\\ソ");
    files.AddFolder("C:\\Out\\曲");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        Open();
        Convert(kSource, c.typed);
        EXPECT_EQ(Form().EdOutput->Text(), c.shown);
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        // The converted cassette lies in that folder, under the source's name.
        const std::string written = c.shown + "list.cas";
        EXPECT_TRUE(files.Get(written).has_value());
        EXPECT_EQ(files.Get(kSource), kSourceText);
    }
    EXPECT_EQ(files.Get("C:\\Out\\表\\list.cas"),
              CrLf({"..\\..\\Music\\Lists\\a.mid", "..\\..\\Music\\Pop\\b.mid", "D:\\c.mid"}));
    EXPECT_EQ(files.Get("C:\\list.cas"), CrLf({"Music\\Lists\\a.mid", "Music\\Pop\\b.mid", "D:\\c.mid"}));
}

TEST_F(ConversionRunTest, ACompletedRunLeavesTheFieldsAndHoldsTheConvertedLines) {
    Open();
    Convert(kSource, "C:\\Out");
    EXPECT_EQ(files.Get("C:\\Out\\list.cas"), kForOut);
    EXPECT_EQ(files.Get(kSource), kSourceText);
    EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    EXPECT_EQ(Platform().messageBoxes[0].owner, Form().Handle());  // the shown window's
    EXPECT_EQ(Form().EdCasFile->Text(), kSource);
    EXPECT_FALSE(Form().ChDelete->Checked());
    EXPECT_EQ(CasLines(), (std::vector<std::string>{"..\\Music\\Lists\\a.mid", "..\\Music\\Pop\\b.mid", "D:\\c.mid"}));
    // Another run can start at once.
    Form().BtChange->Click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{DoneBox(), DoneBox()}));
    EXPECT_EQ(files.Get("C:\\Out\\list.cas"), kForOut);
}

TEST_F(ConversionRunTest, TheSourceFolderHoldsTheConvertedCassetteWithOrWithoutDelete) {
    // The source is overwritten.  However the same file is spelled, with
    // 削除 ticked the file just written is never deleted: also on a drive that gives no file identity, where the names
    // decide; on one whose identities contradict the names (the same file
    // asked twice gives two); and when the file is gone between the two
    // looks that compare the paths.
    const auto none = [](MemoryFileSystem& f) { f.SetNoIdentity("C:\\", true); };
    struct Case {
        std::string source;
        const char* output;
        const char* drive = "identities";
        void (*setUp)(MemoryFileSystem&) = [](MemoryFileSystem&) {};
        bool deleteSource = true;
    } cases[] = {
        {kSource, "C:\\Music\\Lists", "identities, 削除 not ticked", [](MemoryFileSystem&) {}, false},
        {kSource, "C:\\Music\\Lists"},
        {kSource, "c:\\MUSIC\\lists\\"},
        {kSource, "C:\\Music\\.\\Lists\\"},
        {kSource, "C:\\Music\\Pop\\..\\Lists"},
        // Windows drops a trailing blank or dot: the same file, its lines converted.
        {kSource + " ", "C:\\Music\\Lists"},
        {kSource + ".", "C:\\Music\\Lists\\"},
        {kSource, "C:\\Music\\Lists", "no identity", none},
        {kSource, "c:\\MUSIC\\Pop\\..\\lists\\", "no identity", none},
        {kSource + " ", "C:\\Music\\Lists", "no identity", none},
        {kSource, "C:\\Music\\Lists", "a new identity at every look",
         [](MemoryFileSystem& f) { f.SetUnstableIdentity("C:\\", true); }},
        {kSource, "C:\\Music\\Lists", "the file gone between two looks",
         [](MemoryFileSystem& f) { f.betweenSameFileLooks = [&f] { f.DeleteFile(kSource); }; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(c.source) << " into " << c.output << ", "
                                        << c.drive);
        files = MemoryFileSystem();
        files.Put(kSource, kSourceText);
        c.setUp(files);
        Open();
        Convert(c.source, c.output, c.deleteSource);
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        EXPECT_EQ(files.Get(kSource), kInPlace);
        EXPECT_EQ(files.FilePaths(), std::vector<std::string>{kSource});
    }
}

// Into another folder with 削除 ticked, over an older cassette there: the
// converted cassette is written without a question, even with no line to
// rewrite, and only then the source goes, where it surely is another file;
// a deletion that fails is silent.
TEST_F(ConversionRunTest, AnotherFolderWithDeleteWritesThenDeletesOnlyASurelyOtherSource) {
    struct Case {
        const char* what;
        std::string text;  // the source's
        void (*setUp)(MemoryFileSystem&);
        std::string written;
        bool deleted;
    } cases[] = {
        {"a read-only source", kSourceText, [](MemoryFileSystem& f) { f.SetReadOnly(kSource, true); }, kForOut,
         false},
        {"a drive without identities", kSourceText, [](MemoryFileSystem& f) { f.SetNoIdentity("C:\\", true); },
         kForOut, false},
        // Not the same by name: written although no line changes.
        {"a drive without identities, no line to rewrite", "D:\\c.mid\n",
         [](MemoryFileSystem& f) { f.SetNoIdentity("C:\\", true); }, CrLf({"D:\\c.mid"}), false},
        {"one identity for both", kSourceText,
         [](MemoryFileSystem& f) { f.ShareIdentity(kSource, "C:\\Out\\list.cas"); }, kForOut, false},
        {"another file", kSourceText, [](MemoryFileSystem&) {}, kForOut, true},
        {"another file, no line to rewrite", "D:\\c.mid\n", [](MemoryFileSystem&) {}, CrLf({"D:\\c.mid"}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files = MemoryFileSystem();
        files.Put(kSource, c.text);
        files.Put("C:\\Out\\list.cas", "an older cassette\r\n");
        c.setUp(files);
        Open();
        Convert(kSource, "C:\\Out", true);
        EXPECT_EQ(Boxes(), std::vector<Box>{DoneBox()});
        EXPECT_EQ(files.Get("C:\\Out\\list.cas"), c.written);
        EXPECT_EQ(files.Get(kSource), c.deleted ? std::nullopt : std::optional<std::string>(c.text));
        EXPECT_EQ(files.FilePaths().size(), c.deleted ? 1u : 2u);
        EXPECT_EQ(files.ReplaceCount(), 1);
    }
    // After the last, a second press finds no source and writes nothing.
    Form().BtChange->Click();
    EXPECT_EQ(Boxes(), (std::vector<Box>{DoneBox(), OpenErrorBox(kSource)}));
    EXPECT_EQ(files.ReplaceCount(), 1);
}

TEST_F(ConversionRunTest, AFailedWriteLosesNothingAndShowsTheApplicationsErrorBox) {
    const std::string oldTarget = "an older cassette\r\n";
    struct Case {
        const char* what;
        const char* output;   // typed
        std::string target;   // where the write was aimed
        void (*fail)(MemoryFileSystem&);
        std::string reason;
        std::string left = "";  // a temporary file that could not be removed, named in the box
    } cases[] = {
        {"read-only target in another folder", "C:\\Out", "C:\\Out\\list.cas",
         [](MemoryFileSystem& f) { f.SetReadOnly("C:\\Out\\list.cas", true); }, MemoryFileSystem::kAccessDenied},
        {"locked target in another folder", "C:\\Out", "C:\\Out\\list.cas",
         [](MemoryFileSystem& f) { f.SetLocked("C:\\Out\\list.cas", true); }, MemoryFileSystem::kSharingViolation},
        {"replace refused in another folder", "C:\\Out", "C:\\Out\\list.cas",
         [](MemoryFileSystem& f) { f.FailNextReplaces(1, "ディスクがいっぱいです。"); }, "ディスクがいっぱいです。"},
        {"replace refused over the source", "C:\\Music\\Lists", kSource,
         [](MemoryFileSystem& f) { f.FailNextReplaces(1); }, MemoryFileSystem::kAccessDenied},
        {"missing output folder", "C:\\Missing", "C:\\Missing\\list.cas", [](MemoryFileSystem&) {},
         MemoryFileSystem::kPathNotFound},
        // Tried again for a second, with one temporary file, which stays.
        {"folder that lets nothing be deleted", "C:\\Out", "C:\\Out\\list.cas",
         [](MemoryFileSystem& f) { f.SetNoDeletes("C:\\Out", true); }, MemoryFileSystem::kAccessDenied,
         "C:\\Out\\~sorbel1.tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files = MemoryFileSystem();
        files.Put(kSource, kSourceText);
        files.Put("C:\\Out\\list.cas", oldTarget);
        c.fail(files);
        Open();
        Convert(kSource, c.output, true);
        const std::vector<Box> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u) << "no completion message after a failed write";
        EXPECT_PRED_FORMAT2(testing::IsSubstring, c.target, boxes[0].text);
        EXPECT_PRED_FORMAT2(testing::IsSubstring, c.reason, boxes[0].text);
        EXPECT_EQ(boxes[0].caption, kTitle);
        EXPECT_EQ(boxes[0].flags, kErrorStyle);
        // Source and earlier target byte for byte as they were.
        files.SetLocked("C:\\Out\\list.cas", false);
        EXPECT_EQ(files.Get(kSource), kSourceText);
        EXPECT_EQ(files.Get("C:\\Out\\list.cas"), oldTarget);
        std::vector<std::string> paths{kSource, "C:\\Out\\list.cas"};
        if (!c.left.empty()) {
            EXPECT_PRED_FORMAT2(testing::IsSubstring, c.left, boxes[0].text);
            paths.push_back(c.left);
        }
        EXPECT_EQ(files.FilePaths(), paths);
        // The appended backslash and the converted lines remain.
        EXPECT_EQ(Form().EdOutput->Text(), std::string(c.output) + "\\");
        EXPECT_EQ(Form().LbCas->Items()->Count(), 3);
        EXPECT_NE(CasLines()[0], "C:\\Music\\Lists\\a.mid");
    }
}

// The memory runs out, or a text or list would grow past its maximum size
// (std::length_error): either way the cassette is refused.
TEST_F(ConversionRunTest, ACassetteTooLargeToHoldIsRefusedAsUnreadableAndNothingIsTouched) {
    // 120 KB of lines whose relative forms are longer ("..\\..\\a.mid"),
    // so that they outgrow their places.
    std::string large;
    for (int i = 0; i < 12000; ++i) large += "C:\\a.mid\r\n";
    // 140 KB of short lines: read whole, but the list of their places
    // outgrows 200 KB while they are split.
    std::string shortLines;
    for (int i = 0; i < 20000; ++i) shortLines += "a.mid\r\n";
    struct Case {
        const char* what;
        const std::string& text;
        std::size_t largest;  // bytes a single allocation may take
    } cases[] = {
        {"too large to read", large, 64 * 1024},
        {"too large to split into lines", shortLines, 200 * 1024},
        {"too large to convert", large, 150 * 1024},
    };
    for (const Case& c : cases)
        for (const bool tooLong : {false, true})
            for (const bool commandLine : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.what << (tooLong ? ", length_error" : ", bad_alloc")
                                                << (commandLine ? ", command line" : ", convert button"));
                files.Put(kSource, c.text);
                Open();
                {
                    AllocationLimit limit(c.largest, 0, tooLong);
                    if (commandLine) {
                        Platform().SetArguments({kSource});
                        Form().FormCreate(nullptr);
                    } else {
                        Convert(kSource, "C:\\Music\\Lists", true);
                    }
                }
                std::vector<Box> expected{OpenErrorBox(kSource)};
                if (commandLine) expected.push_back(DoneBox());
                EXPECT_EQ(Boxes(), expected);
                EXPECT_EQ(files.Get(kSource), c.text);
                EXPECT_EQ(files.FilePaths(), std::vector<std::string>{kSource});
                EXPECT_EQ(files.ReplaceCount(), 0);
                if (!commandLine) {
                    EXPECT_EQ(Form().EdOutput->Text(), "C:\\Music\\Lists");
                }
                // Nothing of it is held any more, not even a part of its lines.
                EXPECT_EQ(Form().LbCas->Items()->Count(), 0);
            }
}

TEST_F(ConversionRunTest, AnAllocationFailingAnywhereInTheRunLosesNoFile) {
    const std::string target = "C:\\Out\\list.cas";
    // The allocations of a whole run, counted; then a run for each of them
    // failing, and one with none failing; each failure a lack of memory, and
    // again a text grown past its maximum size.
    Open();
    Form().EdCasFile->SetText(kSource);
    Form().EdOutput->SetText("C:\\Out");
    Form().ChDelete->SetChecked(true);
    long count = 0;
    {
        AllocationLimit counting(SIZE_MAX);
        Form().BtChange->Click();
        count = AllocationLimit::Allocations();
    }
    ASSERT_EQ(Boxes(), std::vector<Box>{DoneBox()});
    for (const bool tooLong : {false, true}) {
        int refused = 0, reported = 0;
        for (long failing = 1; failing <= count + 1; ++failing) {
            SCOPED_TRACE(testing::Message() << "allocation " << failing << " of " << count << " failing with "
                                            << (tooLong ? "length_error" : "bad_alloc"));
            files = MemoryFileSystem();
            files.Put(kSource, kSourceText);
            files.AddFolder("C:\\Out");
            Open();
            Form().EdCasFile->SetText(kSource);
            Form().EdOutput->SetText("C:\\Out");
            Form().ChDelete->SetChecked(true);
            {
                AllocationLimit limit(SIZE_MAX, failing, tooLong);
                Form().BtChange->Click();
            }
            // Each file whole, old or new: the source goes only once the
            // converted cassette stands.
            const auto source = files.Get(kSource);
            const auto written = files.Get(target);
            EXPECT_TRUE(!source || *source == kSourceText);
            EXPECT_TRUE(!written || *written == kForOut);
            EXPECT_TRUE(source || written);
            EXPECT_LE(files.FilePaths().size(), 2u);
            // One box: the completion, the open error, or the report of the
            // memory running out, in words for the user.
            const std::vector<Box> boxes = Boxes();
            ASSERT_EQ(boxes.size(), 1u);
            if (boxes[0] == OpenErrorBox(kSource)) {
                ++refused;
                EXPECT_EQ(source, kSourceText);
                EXPECT_FALSE(written);
                EXPECT_EQ(Form().EdOutput->Text(), "C:\\Out");
            } else if (boxes[0] != DoneBox()) {
                ++reported;
                EXPECT_PRED_FORMAT2(testing::IsSubstring, "メモリが足りません。", boxes[0].text);
                EXPECT_EQ(boxes[0].flags, kErrorStyle);
            } else {
                EXPECT_EQ(written, kForOut);
            }
            if (failing > count) {
                EXPECT_EQ(boxes, std::vector<Box>{DoneBox()});
            }
        }
        // Failures in reading and converting are refusals of the cassette.
        EXPECT_GT(refused, 0);
        EXPECT_GT(reported, 0);
    }
}

TEST_F(ConversionRunTest, InPlaceWithNothingToRewriteTheFileIsLeftByteForByte) {
    Open();
    Convert(kSource, "C:\\Music\\Lists\\");
    EXPECT_EQ(files.Get(kSource), kInPlace);
    // The converted lines with LF only: a second run rewrites no line and
    // writes nothing, so the line ends stay; the delete option spares the file.
    const std::string lfOnly = "a.mid\n..\\Pop\\b.mid\nD:\\c.mid\n";
    files.Put(kSource, lfOnly);
    Convert(kSource, "C:\\Music\\Lists\\", true);
    EXPECT_EQ(files.Get(kSource), lfOnly);
    EXPECT_EQ(files.ReplaceCount(), 1);
    EXPECT_EQ(Boxes(), (std::vector<Box>{DoneBox(), DoneBox()}));
    // Into another folder it is written though no line changes: the table of
    // AnotherFolderWithDeleteWritesThenDeletesOnlyASurelyOtherSource.
}

TEST_F(ConversionRunTest, TheFocusGoesBackWhereTheUserLeftIt) {
    TMainForm& form = Open();
    // At first, the first control in tab order has it.
    EXPECT_EQ(Platform().focused, form.BtChange->Handle());
    // Typing a folder name, the user presses Enter: after the error box
    // the caret is back in the folder field.
    Platform().SetFocus(form.EdOutput->Handle());
    form.PressDefaultButton();
    ASSERT_EQ(Boxes(), std::vector<Box>{InputErrorBox()});
    EXPECT_EQ(Platform().focused, form.EdOutput->Handle());
    // Likewise after a visit to another program.
    Platform().SetFocus(form.EdCasFile->Handle());
    Platform().Deactivate(form.Handle());
    ASSERT_EQ(Platform().focused, 0u);
    Platform().Activate(form.Handle());
    EXPECT_EQ(Platform().focused, form.EdCasFile->Handle());
}

}  // namespace
}  // namespace tovakin_test
