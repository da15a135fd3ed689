// The wide-API file system: code page 932 paths reach the disk exactly, and
// refused writes leave the target and no temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "framework/files.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"
#include "tests/support/win32_folders.h"

namespace fw {
namespace {

using Names = std::vector<std::wstring>;

// A fresh folder under the temporary folder, holding a folder "表" whose
// second byte in code page 932 is 0x5C; removed afterwards.
class Win32FilesTest : public testing::Test {
protected:
    Win32FilesTest() : folderW_(dir_.File(L"\u8868")), folder_(win32::Narrow(folderW_)) {
        CreateDirectoryW(folderW_.c_str(), nullptr);
    }

    // The code page 932 path of `name` in the folder "表", and its wide form.
    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
    std::wstring WidePath(const std::wstring& name) const { return folderW_ + L"\\" + name; }
    Names NamesInFolder() const { return testfolders::NamesIn(folderW_); }

    FileSystem& files_ = NativeFiles();
    testfolders::TempDir dir_;
    std::wstring folderW_;
    std::string folder_;
};

TEST_F(Win32FilesTest, ShiftJisPathsReachTheDiskExactly) {
    ASSERT_EQ(folder_.substr(folder_.size() - 2), "\x95\x5C");
    const std::string contents("a\r\n\0\x95\x5C\xFF", 7);
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("曲.cas"), contents, reason)) << reason;
    // The file carries its Unicode name: 曲 is U+66F2.
    EXPECT_EQ(NamesInFolder(), Names{L"\u66F2.cas"});
    EXPECT_TRUE(files_.FileExists(Path("曲.cas")));
    EXPECT_FALSE(files_.FileExists(folder_));

    std::string read;
    ASSERT_TRUE(files_.ReadFile(Path("曲.cas"), read, reason)) << reason;
    EXPECT_EQ(read, contents);
    ASSERT_TRUE(files_.ReplaceFile(Path("曲.cas"), "second", reason)) << reason;
    ASSERT_TRUE(files_.ReadFile(Path("曲.cas"), read, reason)) << reason;
    EXPECT_EQ(read, "second");
    EXPECT_EQ(NamesInFolder(), Names{L"\u66F2.cas"});
    // Contents written block by block come out whole, through the same replace.
    const std::string big(300000, 'x');
    const auto blocks = [&](const FileSystem::BlockWriter& write) { return write("third\r\n") && write("") && write(big); };
    ASSERT_TRUE(files_.ReplaceFileFrom(Path("曲.cas"), blocks, reason)) << reason;
    ASSERT_TRUE(files_.ReadFile(Path("曲.cas"), read, reason)) << reason;
    EXPECT_EQ(read, "third\r\n" + big);
    EXPECT_EQ(NamesInFolder(), Names{L"\u66F2.cas"});

    // A file of several read buffers comes back whole, every byte in place.
    std::string large(3 * 65536 + 1234, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    ASSERT_TRUE(files_.ReplaceFile(Path("曲.cas"), large, reason)) << reason;
    ASSERT_TRUE(files_.ReadFile(Path("曲.cas"), read, reason)) << reason;
    EXPECT_EQ(read.size(), large.size());
    EXPECT_TRUE(read == large) << "the bytes differ";

    EXPECT_TRUE(files_.DeleteFile(Path("曲.cas")));
    EXPECT_FALSE(files_.FileExists(Path("曲.cas")));
    EXPECT_FALSE(files_.DeleteFile(Path("曲.cas")));
    EXPECT_FALSE(files_.ReadFile(Path("曲.cas"), read, reason));
    EXPECT_EQ(reason, win32::ErrorText(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32FilesTest, InvalidShiftJisIsRefusedNotGuessed) {
    // A lead byte with nothing after it is no character.
    const std::string broken = Path("a\x81");
    std::string reason;
    std::string read;
    EXPECT_FALSE(files_.ReplaceFile(broken, "x", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(files_.ReadFile(broken, read, reason));
    EXPECT_FALSE(files_.FileExists(broken));
    EXPECT_TRUE(NamesInFolder().empty());
    std::wstring wide = L"unchanged";
    EXPECT_FALSE(win32::TryWiden("a\x81", wide));
    EXPECT_EQ(wide, L"unchanged");
}

TEST_F(Win32FilesTest, SameFileComparesVolumeAndIdentity) {
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("a.cas"), "a", reason)) << reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("b.cas"), "a", reason)) << reason;
    EXPECT_EQ(files_.SameFile(Path("a.cas"), folder_ + "\\.\\A.CAS"), TSameFile::Same);
    EXPECT_EQ(files_.SameFile(Path("a.cas"), folder_ + "\\..\\表\\a.cas"), TSameFile::Same);
    EXPECT_EQ(files_.SameFile(Path("a.cas"), Path("b.cas")), TSameFile::Different);
    EXPECT_EQ(files_.SameFile(Path("a.cas"), Path("missing.cas")), TSameFile::Different);
    EXPECT_EQ(files_.SameFile(folder_, folder_ + "\\"), TSameFile::Same);
    // Windows drops a trailing blank or dot; another name of one file has its identity.
    EXPECT_EQ(files_.SameFile(Path("a.cas"), Path("a.cas ")), TSameFile::Same);
    EXPECT_EQ(files_.SameFile(Path("a.cas."), Path("a.cas")), TSameFile::Same);
    ASSERT_TRUE(CreateHardLinkW(WidePath(L"hard.cas").c_str(), WidePath(L"a.cas").c_str(), nullptr));
    EXPECT_EQ(files_.SameFile(Path("hard.cas"), Path("a.cas")), TSameFile::Same);
}

TEST_F(Win32FilesTest, ReadOnlyTargetAndFolderAreRefusedAndKept) {
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("ro.ini"), "[VISTEL]\r\nHow=1\r\n", reason)) << reason;
    ASSERT_TRUE(SetFileAttributesW(WidePath(L"ro.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    // An empty folder: nothing in it would keep a careless move from
    // putting a file in its place.
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"list.cas").c_str(), nullptr));
    for (const char* name : {"ro.ini", "list.cas"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(files_.ReplaceFile(Path(name), "new", reason));
        EXPECT_EQ(reason, win32::ErrorText(ERROR_ACCESS_DENIED));
        // Nor in place, as the settings file would be where no new file can be made.
        EXPECT_EQ(files_.Replace(Path(name), "new", nullptr, TReplaceMode::AtomicOrInPlace, reason), TFileResult::Failed);
        EXPECT_FALSE(files_.DeleteFile(Path(name)));
    }
    std::string read;
    ASSERT_TRUE(files_.ReadFile(Path("ro.ini"), read, reason)) << reason;
    EXPECT_EQ(read, "[VISTEL]\r\nHow=1\r\n");
    const DWORD folder = GetFileAttributesW(WidePath(L"list.cas").c_str());
    EXPECT_TRUE(folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0);
    EXPECT_EQ(NamesInFolder(), (Names{L"list.cas", L"ro.ini"}));

    // A producer that fails half way (the memory runs out) leaves the target
    // as it was and no temporary file.
    ASSERT_TRUE(files_.ReplaceFile(Path("w.cas"), "old", reason)) << reason;
    EXPECT_THROW(files_.ReplaceFileFrom(
                     Path("w.cas"),
                     [](const FileSystem::BlockWriter& write) -> bool {
                         write(std::string(20000, 'z'));
                         throw std::bad_alloc();
                     },
                     reason),
                 std::bad_alloc);
    ASSERT_TRUE(files_.ReadFile(Path("w.cas"), read, reason)) << reason;
    EXPECT_EQ(read, "old");
    EXPECT_EQ(NamesInFolder(), (Names{L"list.cas", L"ro.ini", L"w.cas"}));
}

TEST_F(Win32FilesTest, FileHeldOpenWithoutShareDeleteIsWaitedForAndNeverReplacedMeanwhile) {
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("held.ini"), "old", reason)) << reason;
    // Another program writing the file, sharing reads and writes but not deletion.
    HANDLE other = CreateFileW(WidePath(L"held.ini").c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    // Reading shares everything, so the other program's handle does not block us.
    std::string read;
    EXPECT_TRUE(files_.ReadFile(Path("held.ini"), read, reason)) << reason;
    EXPECT_EQ(read, "old");
    const TFileExpectation asRead{true, "old"};
    EXPECT_EQ(files_.Replace(Path("held.ini"), "new", &asRead, TReplaceMode::AtomicOrInPlace, reason),
              TFileResult::Busy);
    // Held past the patience: refused, the file as it was.
    EXPECT_FALSE(files_.ReplaceFile(Path("held.ini"), "new", reason));
    EXPECT_EQ(NamesInFolder(), Names{L"held.ini"});
    // Held for a moment: waited for.
    HANDLE release = CreateThread(
        nullptr, 0, [](void* handle) WINAPI -> DWORD {
            Sleep(200);
            CloseHandle(static_cast<HANDLE>(handle));
            return 0;
        },
        other, 0, nullptr);
    ASSERT_NE(release, nullptr);
    EXPECT_TRUE(files_.ReplaceFile(Path("held.ini"), "new", reason)) << reason;
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
    ASSERT_TRUE(files_.ReadFile(Path("held.ini"), read, reason)) << reason;
    EXPECT_EQ(read, "new");
    // Locked with no sharing at all: not even read.
    other = CreateFileW(WidePath(L"held.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(files_.Read(Path("held.ini"), read, reason, nullptr), TFileResult::Busy);
    CloseHandle(other);
    EXPECT_EQ(NamesInFolder(), Names{L"held.ini"});
}

TEST_F(Win32FilesTest, ReplaceKeepsAttributesAndWritesOnlyOverWhatWasRead) {
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("Sorbel.ini"), "old", reason)) << reason;
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    // A write time ahead of the clock (written from a machine whose clock
    // runs fast): the new file is written later still, so a reader that
    // watches the write time sees the change.  (Wine keeps no creation time
    // on a Linux file system, so the one kept is not looked at here.)
    FILETIME ahead{};
    GetSystemTimeAsFileTime(&ahead);
    ahead.dwHighDateTime += 10;  // about five days
    {
        HANDLE file = CreateFileW(WidePath(L"Sorbel.ini").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &ahead));
        CloseHandle(file);
    }
    ASSERT_TRUE(SetFileAttributesW(WidePath(L"Sorbel.ini").c_str(), kept));
    const TFileExpectation stale{true, "older"};
    EXPECT_EQ(files_.Replace(Path("Sorbel.ini"), "new", &stale, TReplaceMode::Atomic, reason), TFileResult::Changed);
    const TFileExpectation none{false, ""};
    EXPECT_EQ(files_.Replace(Path("Sorbel.ini"), "new", &none, TReplaceMode::Atomic, reason), TFileResult::Changed);
    const TFileExpectation asRead{true, "old"};
    EXPECT_EQ(files_.Replace(Path("Sorbel.ini"), "new", &asRead, TReplaceMode::Atomic, reason), TFileResult::Done)
        << reason;
    std::string read;
    ASSERT_TRUE(files_.ReadFile(Path("Sorbel.ini"), read, reason)) << reason;
    EXPECT_EQ(read, "new");
    EXPECT_EQ(GetFileAttributesW(WidePath(L"Sorbel.ini").c_str()) & kept, kept);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(WidePath(L"Sorbel.ini").c_str(), GetFileExInfoStandard, &data));
    EXPECT_GT(CompareFileTime(&data.ftLastWriteTime, &ahead), 0);
    EXPECT_EQ(files_.Replace(Path("new.ini"), "x", &none, TReplaceMode::Atomic, reason), TFileResult::Done);
    EXPECT_EQ(GetFileAttributesW(WidePath(L"new.ini").c_str()) & kept, 0u);
    EXPECT_EQ(NamesInFolder(), (Names{L"Sorbel.ini", L"new.ini"}));
}

TEST_F(Win32FilesTest, NamesCodePage932CannotHoldTakeTheirShortFormOrNameNoFile) {
    // "A¥B" beside "A" holding "B": a look-alike "A\B" would be the other file.
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"A\u00A5B").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"A").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"A\\B").c_str(), nullptr));
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("A\\B\\list.cas"), "decoy", reason)) << reason;
    const std::string yen = win32::NarrowPath(WidePath(L"A\u00A5B\\list.cas"));
    EXPECT_EQ(yen.find('?'), std::string::npos) << yen;
    EXPECT_EQ(yen.rfind(folder_ + "\\", 0), 0u) << "the folders before it keep their names: " << yen;
    ASSERT_TRUE(files_.ReplaceFile(yen, "mine", reason)) << reason;
    std::string read;
    ASSERT_TRUE(files_.ReadFile(Path("A\\B\\list.cas"), read, reason)) << reason;
    EXPECT_EQ(read, "decoy");
    // Without a short form (no such file yet) the name keeps its "?", which
    // names no file at all.
    const std::string none = win32::NarrowPath(WidePath(L"\u00A5\\x.cas"));
    EXPECT_EQ(none, folder_ + "\\?\\x.cas");
    EXPECT_EQ(files_.Read(none, read, reason, nullptr), TFileResult::Failed);
    EXPECT_EQ(reason, win32::ErrorText(ERROR_INVALID_NAME));
}

TEST_F(Win32FilesTest, TheTemporaryFileIsReachedAsTheTargetIsHoweverLongItsPath) {
    // A folder 245 characters deep: the targets' paths fit in the 259
    // characters of a plain path, the longer temporary file's does not.
    std::wstring deep = folderW_;
    while (deep.size() < 245) {
        deep += L"\\" + std::wstring(std::min<std::size_t>(60, 245 - deep.size() - 1), L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    ASSERT_EQ(deep.size(), 245u);
    HANDLE old = CreateFileW((deep + L"\\old.cas").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(old, INVALID_HANDLE_VALUE);
    CloseHandle(old);
    const struct Case {
        const char* typed;
        const wchar_t* name;  // the file written
    } cases[] = {
        {"new.cas", L"new.cas"},
        {"old.cas", L"old.cas"},
        // The system drops a trailing blank or dot: so does the long form.
        {"blank.cas ", L"blank.cas"},
        {"dot.cas.", L"dot.cas"},
    };
    std::set<std::wstring> written{L"old.cas"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string path = win32::Narrow(deep) + "\\" + c.typed;
        std::string reason;
        ASSERT_TRUE(files_.ReplaceFile(path, c.typed, reason)) << reason;
        std::string read;
        ASSERT_TRUE(files_.ReadFile(path, read, reason)) << reason;
        EXPECT_EQ(read, c.typed);
        written.insert(c.name);
        EXPECT_EQ(testfolders::NamesIn(deep), Names(written.begin(), written.end()));
    }
}

TEST_F(Win32FilesTest, MissingFolderAndCurrentDirectory) {
    std::string reason;
    EXPECT_FALSE(files_.ReplaceFile(Path("none\\a.cas"), "x", reason));
    EXPECT_EQ(reason, win32::ErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(NamesInFolder().empty());

    wchar_t current[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, current);
    EXPECT_EQ(files_.CurrentDirectory(), win32::Narrow(std::wstring(current, length)));
    ASSERT_TRUE(SetCurrentDirectoryW(folderW_.c_str()));
    EXPECT_EQ(files_.CurrentDirectory(), folder_);
    ASSERT_TRUE(files_.ReplaceFile("bare.cas", "bare", reason)) << reason;
    EXPECT_EQ(NamesInFolder(), Names{L"bare.cas"});
    SetCurrentDirectoryW(current);
}

}  // namespace
}  // namespace fw
