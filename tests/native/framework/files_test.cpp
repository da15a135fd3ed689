#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <set>
#include <string>

#include "framework/files.h"
#include "framework/memory/memory_files.h"
#include "framework/stringlist.h"
#include "framework/sysutils.h"

namespace fw {
namespace {

TEST(Files, SetFilesInstallsAndRestores) {
    MemoryFileSystem memory;
    memory.Put("C:\\a.cas", "a");
    EXPECT_EQ(&Files(), &NativeFiles());
    EXPECT_EQ(SetFiles(&memory), &NativeFiles());
    EXPECT_EQ(&Files(), &memory);
    EXPECT_TRUE(FileExists("C:\\a.cas"));
    EXPECT_TRUE(DeleteFile("C:\\a.cas"));
    EXPECT_FALSE(memory.Exists("C:\\a.cas"));
    EXPECT_EQ(SetFiles(nullptr), &memory);
    EXPECT_EQ(&Files(), &NativeFiles());
}

// A fresh folder under the system's temporary folder, removed afterwards.
class NativeFilesTest : public testing::Test {
protected:
    NativeFilesTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fw-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error(std::strerror(errno));
        dir_ = pattern;
    }
    ~NativeFilesTest() override {
        std::error_code ignored;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // Runs `work` with the largest file this process may write set to
    // `bytes`, SIGXFSZ ignored so that a write past it fails with EFBIG.
    template <class F>
    static void WithFileSizeLimit(rlim_t bytes, F&& work) {
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limit = saved;
        if (bytes != RLIM_INFINITY) limit.rlim_cur = bytes;
        void (*savedSignal)(int) = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        work();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedSignal);
    }

    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.insert(entry.path().filename());
        return names;
    }

    FileSystem& files_ = NativeFiles();
    std::string dir_;
};

TEST_F(NativeFilesTest, ReplacesAndReadsEveryByte) {
    const std::string name = "表\\曲.cas";  // 0x5C inside a Linux file name is no separator
    const std::string contents("a\r\n\0\x95\x5C\xFF", 7);
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path(name), contents, reason)) << reason;
    EXPECT_EQ(Slurp(Path(name)), contents);
    ASSERT_TRUE(files_.ReplaceFile(Path(name), "second", reason)) << reason;
    std::string read;
    ASSERT_TRUE(files_.ReadFile(Path(name), read, reason)) << reason;
    EXPECT_EQ(read, "second");
    ASSERT_TRUE(files_.ReplaceFile(Path(name), "", reason)) << reason;
    ASSERT_TRUE(files_.ReadFile(Path(name), read, reason)) << reason;
    EXPECT_EQ(read, "");
    EXPECT_EQ(Names(), std::set<std::string>{name});
}

// A new file gets what the umask leaves of 0666; a replaced file keeps its
// permissions whatever the umask.
TEST_F(NativeFilesTest, ReplaceKeepsPermissionsAndANewFileFollowsTheUmask) {
    auto mode = [&](const std::string& name) {
        struct stat st;
        return ::stat(Path(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 07777u;
    };
    const struct Case {
        mode_t umask;
        mode_t created;
    } cases[] = {{022, 0644}, {077, 0600}, {002, 0664}, {0, 0666}};
    const mode_t saved = ::umask(022);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "umask 0" << std::oct << c.umask);
        ::umask(c.umask);
        const std::string name = "new" + std::to_string(++n);
        std::string reason;
        EXPECT_TRUE(files_.ReplaceFile(Path(name), "1", reason)) << reason;
        EXPECT_EQ(mode(name), c.created);
        ASSERT_EQ(::chmod(Path(name).c_str(), 0640), 0);
        EXPECT_TRUE(files_.ReplaceFile(Path(name), "2", reason)) << reason;
        EXPECT_EQ(mode(name), 0640u);
        EXPECT_EQ(Slurp(Path(name)), "2");
    }
    ::umask(saved);
}

TEST_F(NativeFilesTest, RefusedWritesLeaveTheTargetAndNoTemporaryFile) {
    std::filesystem::create_directory(Path("folder"));
    std::ofstream(Path("ro.ini"), std::ios::binary) << "[VISTEL]\r\nHow=1\r\n";
    ASSERT_EQ(::chmod(Path("ro.ini").c_str(), 0444), 0);
    std::ofstream(Path("big.ini"), std::ios::binary) << "[VISTEL]\r\nHow=2\r\n";
    struct Case {
        std::string path;
        int error;
        std::string contents = "new";
        rlim_t sizeLimit = RLIM_INFINITY;  // the largest file this process may write
    } cases[] = {
        {Path("ro.ini"), EACCES},
        {Path("folder"), EISDIR},
        {Path("missing/a.ini"), ENOENT},
        // Refused while the temporary file is being written: it must go.
        {Path("big.ini"), EFBIG, std::string(10000, 'x'), 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string reason;
        bool replaced = true;
        WithFileSizeLimit(c.sizeLimit, [&] { replaced = files_.ReplaceFile(c.path, c.contents, reason); });
        EXPECT_FALSE(replaced);
        EXPECT_EQ(reason, std::strerror(c.error));
    }
    EXPECT_EQ(Slurp(Path("ro.ini")), "[VISTEL]\r\nHow=1\r\n");
    EXPECT_EQ(Slurp(Path("big.ini")), "[VISTEL]\r\nHow=2\r\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"big.ini", "folder", "ro.ini"}));
    EXPECT_FALSE(files_.DeleteFile(Path("ro.ini")));
    EXPECT_TRUE(files_.FileExists(Path("ro.ini")));
}

TEST_F(NativeFilesTest, AConditionalReplaceWritesOnlyOverTheFileItWasEditedFrom) {
    struct Case {
        const char* what;
        const char* onDisk;  // null: no file
        TFileExpectation expected;
        TFileResult result;
    } cases[] = {
        {"unchanged", "old", {true, "old"}, TFileResult::Done},
        {"changed since read", "other", {true, "old"}, TFileResult::Changed},
        {"gone since read", nullptr, {true, "old"}, TFileResult::Changed},
        {"created since read", "other", {false, ""}, TFileResult::Changed},
        {"still missing", nullptr, {false, ""}, TFileResult::Done},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Path("a.ini"));
        if (c.onDisk) std::ofstream(Path("a.ini"), std::ios::binary) << c.onDisk;
        std::string reason;
        EXPECT_EQ(files_.Replace(Path("a.ini"), "new", &c.expected, TReplaceMode::Atomic, reason), c.result);
        const bool written = c.result == TFileResult::Done;
        EXPECT_EQ(std::filesystem::exists(Path("a.ini")), written || c.onDisk);
        if (written || c.onDisk) {
            EXPECT_EQ(Slurp(Path("a.ini")), written ? "new" : c.onDisk);
        }
        EXPECT_EQ(Names().size(), written || c.onDisk ? 1u : 0u) << "no temporary file stays";
    }
}

TEST_F(NativeFilesTest, ReplaceWritesTheFileALinkNamesAndKeepsTheLink) {
    std::filesystem::create_directory(Path("real"));
    std::ofstream(Path("real/Sorbel.ini"), std::ios::binary) << "old";
    std::filesystem::create_symlink("real/Sorbel.ini", Path("link.ini"));
    std::filesystem::create_symlink("link.ini", Path("chain.ini"));
    std::filesystem::create_symlink("real/new.ini", Path("dangling.ini"));
    std::string reason;
    for (const char* name : {"link.ini", "chain.ini", "dangling.ini"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(files_.ReplaceFile(Path(name), name, reason)) << reason;
        EXPECT_TRUE(std::filesystem::is_symlink(Path(name)));
        EXPECT_EQ(Slurp(Path(name)), name);
    }
    EXPECT_EQ(Slurp(Path("real/Sorbel.ini")), "chain.ini");
    EXPECT_EQ(Slurp(Path("real/new.ini")), "dangling.ini");
    EXPECT_EQ(Names(), (std::set<std::string>{"chain.ini", "dangling.ini", "link.ini", "real"}));
}

TEST_F(NativeFilesTest, AFolderThatTakesNoNewFileIsWrittenInPlaceOnlyWhereAllowed) {
    std::filesystem::create_directory(Path("locked"));
    const std::string ini = Path("locked/Sorbel.ini");
    std::ofstream(ini, std::ios::binary) << "[VISTEL]\r\nHow=1\r\n";
    ASSERT_EQ(::chmod(Path("locked").c_str(), 0555), 0);
    std::string reason;
    // A cassette is never written in place.
    EXPECT_EQ(files_.Replace(ini, "x", nullptr, TReplaceMode::Atomic, reason), TFileResult::Failed);
    EXPECT_EQ(reason, std::strerror(EACCES));
    const TFileExpectation stale{true, "[VISTEL]\r\nHow=0\r\n"};
    EXPECT_EQ(files_.Replace(ini, "x", &stale, TReplaceMode::AtomicOrInPlace, reason), TFileResult::Changed);
    const TFileExpectation current{true, "[VISTEL]\r\nHow=1\r\n"};
    EXPECT_EQ(files_.Replace(ini, "[VISTEL]\r\nHow=2\r\n", &current, TReplaceMode::AtomicOrInPlace, reason),
              TFileResult::Done)
        << reason;
    EXPECT_EQ(Slurp(ini), "[VISTEL]\r\nHow=2\r\n");
    // A shorter text leaves nothing of the longer one behind.
    EXPECT_EQ(files_.Replace(ini, "[V]", nullptr, TReplaceMode::AtomicOrInPlace, reason), TFileResult::Done);
    EXPECT_EQ(Slurp(ini), "[V]");
    EXPECT_EQ(files_.Replace(Path("locked/new.ini"), "x", nullptr, TReplaceMode::AtomicOrInPlace, reason),
              TFileResult::Failed);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("locked")), {}), 1);
}

TEST_F(NativeFilesTest, ReadFailuresGiveTheSystemsReason) {
    std::filesystem::create_directory(Path("folder"));
    struct Case {
        std::string path;
        int error;
    } cases[] = {
        {Path("missing"), ENOENT},
        {Path("folder"), EISDIR},
        {Path("missing/a"), ENOENT},
        {Path("folder") + std::string(1, '\0') + "x", EINVAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string contents = "kept";
        std::string reason;
        EXPECT_FALSE(files_.ReadFile(c.path, contents, reason));
        EXPECT_EQ(reason, std::strerror(c.error));
        EXPECT_EQ(contents, "kept");
    }
}

TEST_F(NativeFilesTest, DeletesExistsAndSameFile) {
    std::string reason;
    ASSERT_TRUE(files_.ReplaceFile(Path("a"), "a", reason));
    ASSERT_TRUE(files_.ReplaceFile(Path("b"), "a", reason));
    ASSERT_EQ(::link(Path("a").c_str(), Path("hard").c_str()), 0);
    std::filesystem::create_directory(Path("folder"));

    EXPECT_EQ(files_.SameFile(Path("a"), Path("hard")), TSameFile::Same);
    EXPECT_EQ(files_.SameFile(Path("a"), dir_ + "/./folder/../a"), TSameFile::Same);
    EXPECT_EQ(files_.SameFile(Path("a"), Path("b")), TSameFile::Different);
    EXPECT_EQ(files_.SameFile(Path("a"), Path("missing")), TSameFile::Different);

    EXPECT_TRUE(files_.FileExists(Path("a")));
    EXPECT_FALSE(files_.FileExists(Path("folder")));
    EXPECT_FALSE(files_.FileExists(Path("missing")));
    EXPECT_TRUE(files_.DeleteFile(Path("a")));
    EXPECT_FALSE(files_.FileExists(Path("a")));
    EXPECT_FALSE(files_.DeleteFile(Path("a")));
    EXPECT_FALSE(files_.DeleteFile(Path("folder")));

    EXPECT_EQ(files_.CurrentDirectory(), std::filesystem::current_path().string());
}

TEST_F(NativeFilesTest, StringListRoundTripsThroughTheDisk) {
    TStrings list;
    // Enough lines for several blocks of the save.
    for (int i = 0; i < 40000; ++i) list.Add("C:\\表\\" + std::to_string(i) + ".mid");
    list.SaveToFile(Path("list.cas"));
    TStrings loaded;
    loaded.LoadFromFile(Path("list.cas"));
    EXPECT_EQ(loaded.Lines(), list.Lines());
    EXPECT_EQ(Slurp(Path("list.cas")), list.Text());

    EXPECT_THROW(loaded.LoadFromFile(Path("missing.cas")), EFOpenError);
    EXPECT_EQ(loaded.Count(), 40000);
    ASSERT_EQ(::chmod(Path("list.cas").c_str(), 0444), 0);
    EXPECT_THROW(TStrings().SaveToFile(Path("list.cas")), EFCreateError);
    EXPECT_EQ(Slurp(Path("list.cas")), list.Text());
}

TEST_F(NativeFilesTest, ReplaceFromWritesTheBlocksAndAFailedWriteChangesNothing) {
    std::string reason;
    const std::string big(100000, 'x');
    ASSERT_TRUE(files_.ReplaceFile(Path("a.cas"), "old", reason)) << reason;
    const auto blocks = [&](const FileSystem::BlockWriter& write) { return write("C:\\表\r\n") && write("") && write(big); };
    ASSERT_TRUE(files_.ReplaceFileFrom(Path("a.cas"), blocks, reason)) << reason;
    EXPECT_EQ(Slurp(Path("a.cas")), "C:\\表\r\n" + big);

    // The system refuses a write (here: past a file size limit) in the
    // middle: the producer stops, the target keeps its contents and no
    // temporary file stays.
    int written = 0;
    bool replaced = true;
    WithFileSizeLimit(50000, [&] {
        replaced = files_.ReplaceFileFrom(
            Path("a.cas"),
            [&](const FileSystem::BlockWriter& write) {
                for (; written < 10; ++written)
                    if (!write(std::string(20000, 'y'))) return false;
                return true;
            },
            reason);
    });
    EXPECT_FALSE(replaced);
    EXPECT_EQ(written, 2);
    EXPECT_EQ(reason, std::strerror(EFBIG));
    EXPECT_EQ(Slurp(Path("a.cas")), "C:\\表\r\n" + big);
    EXPECT_EQ(Names(), std::set<std::string>{"a.cas"});

    // The producer itself fails half way (the memory runs out): the error
    // reaches the caller, and the half-written temporary file is gone.
    EXPECT_THROW(files_.ReplaceFileFrom(
                     Path("a.cas"),
                     [](const FileSystem::BlockWriter& write) -> bool {
                         write(std::string(20000, 'z'));
                         throw std::bad_alloc();
                     },
                     reason),
                 std::bad_alloc);
    EXPECT_EQ(Slurp(Path("a.cas")), "C:\\表\r\n" + big);
    EXPECT_EQ(Names(), std::set<std::string>{"a.cas"});
}

}  // namespace
}  // namespace fw
