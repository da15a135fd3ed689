#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/memory/memory_files.h"

namespace fw {
namespace {

TEST(MemoryFileSystem, ResolvesPathsAsWindowsDoes) {
    MemoryFileSystem files;
    files.SetCurrentDirectory("C:\\Music\\Pop");
    struct Case {
        const char* path;
        std::optional<std::string> full;
    } cases[] = {
        {"C:\\a\\b.cas", "C:\\a\\b.cas"},
        {"c:/a//b.cas", "C:\\a\\b.cas"},
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:\\..\\..\\a", "C:\\a"},
        {"C:\\a\\", "C:\\a"},
        {"C:\\", "C:\\"},
        {"list.cas", "C:\\Music\\Pop\\list.cas"},
        {"..\\list.cas", "C:\\Music\\list.cas"},
        {".\\x\\..\\y", "C:\\Music\\Pop\\y"},
        {"\\list.cas", "C:\\list.cas"},
        {"C:list.cas", "C:\\Music\\Pop\\list.cas"},
        {"D:list.cas", "D:\\list.cas"},
        {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b"},
        // "表" ends in 0x5C and "ソ" in 0x5C: neither is a separator.
        {"C:\\表\\ソ\\曲.mid", "C:\\表\\ソ\\曲.mid"},
        {"", std::nullopt},
        {"C:\\a?b", std::nullopt},
        {"C:\\a:b", std::nullopt},
        {"\\\\server", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(files.FullPath(c.path), c.full);
    }
    EXPECT_EQ(files.CurrentDirectory(), "C:\\Music\\Pop");
}

TEST(MemoryFileSystem, MatchesNamesWithoutRegardToAsciiCase) {
    MemoryFileSystem files;
    files.Put("C:\\Music\\List.cas", "x");
    EXPECT_EQ(files.Get("c:\\MUSIC\\list.CAS"), "x");
    EXPECT_EQ(files.SameFile("C:\\music\\list.cas", "c:\\Music\\.\\LIST.cas"), TSameFile::Same);
    std::string reason;
    EXPECT_TRUE(files.ReplaceFile("C:\\MUSIC\\LIST.CAS", "y", reason));
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\Music\\List.cas"});
    // Double-byte characters are never folded: 0x88 0x41 and 0x88 0x61 differ.
    files.Put("C:\\\x88\x41", "a");
    EXPECT_FALSE(files.Exists("C:\\\x88\x61"));
    EXPECT_EQ(files.SameFile("C:\\\x88\x41", "C:\\\x88\x61"), TSameFile::Different);
    // Double-byte letters fold as on Windows: full-width Latin, Greek,
    // Cyrillic (Ы ends in 0x5C); kana have no case.
    files.Put("C:\\Ｍｕｓｉｃ\\Ωмега\\Ы.cas", "m");
    EXPECT_EQ(files.Get("c:\\ＭＵＳＩＣ\\ωМЕГА\\ы.cas"), "m");
    EXPECT_EQ(files.SameFile("C:\\ｍｕｓｉｃ\\ΩМега\\Ы.CAS", "C:\\Ｍｕｓｉｃ\\Ωмега\\ы.cas"), TSameFile::Same);
    files.Put("C:\\ァ", "small");
    EXPECT_FALSE(files.Exists("C:\\ア"));
}

TEST(MemoryFileSystem, FailsAsWindowsDoes) {
    MemoryFileSystem files;
    files.Put("C:\\Music\\a.cas", "a");
    files.Put("C:\\Music\\ro.cas", "ro");
    files.SetReadOnly("C:\\Music\\ro.cas", true);
    files.Put("C:\\Music\\busy.cas", "busy");
    files.SetLocked("C:\\Music\\busy.cas", true);
    struct Case {
        const char* path;
        const std::string* readReason;   // null: read succeeds
        const std::string* writeReason;  // null: replace succeeds
        bool deletes;
    } cases[] = {
        {"C:\\Music\\a.cas", nullptr, nullptr, true},
        {"C:\\Music\\new.cas", &MemoryFileSystem::kFileNotFound, nullptr, true},
        {"C:\\None\\a.cas", &MemoryFileSystem::kPathNotFound, &MemoryFileSystem::kPathNotFound, false},
        {"C:\\Music", &MemoryFileSystem::kAccessDenied, &MemoryFileSystem::kAccessDenied, false},
        {"C:\\Music\\ro.cas", nullptr, &MemoryFileSystem::kAccessDenied, false},
        {"C:\\Music\\busy.cas", &MemoryFileSystem::kSharingViolation, &MemoryFileSystem::kSharingViolation, false},
        {"C:\\Music\\a|b", &MemoryFileSystem::kInvalidName, &MemoryFileSystem::kInvalidName, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string contents = "unchanged";
        std::string reason;
        EXPECT_EQ(files.ReadFile(c.path, contents, reason), c.readReason == nullptr);
        if (c.readReason) {
            EXPECT_EQ(reason, *c.readReason);
            EXPECT_EQ(contents, "unchanged");
        }
        reason.clear();
        EXPECT_EQ(files.ReplaceFile(c.path, "new", reason), c.writeReason == nullptr);
        EXPECT_EQ(reason, c.writeReason ? *c.writeReason : "");
        EXPECT_EQ(files.DeleteFile(c.path), c.deletes);
        if (c.deletes) {
            EXPECT_FALSE(files.FileExists(c.path));
        }
    }
    EXPECT_EQ(files.Get("C:\\Music\\ro.cas"), "ro");
    EXPECT_EQ(files.Get("C:\\Music\\busy.cas"), "busy");
    EXPECT_EQ(files.ReplaceCount(), 2);
}

TEST(MemoryFileSystem, WaitsForABusyTargetWithOneTemporaryFileWrittenOnce) {
    MemoryFileSystem files;
    files.Put("C:\\Out\\list.cas", "old");
    files.SetLocked("C:\\Out\\list.cas", true);
    std::vector<std::vector<std::string>> seen;  // the files at each pause
    files.onSleep = [&](std::int64_t) {
        seen.push_back(files.FilePaths());
        if (seen.size() == 3) files.SetLocked("C:\\Out\\list.cas", false);
    };
    int produced = 0;
    std::string reason;
    EXPECT_TRUE(files.ReplaceFileFrom(
        "C:\\Out\\list.cas",
        [&](const FileSystem::BlockWriter& write) {
            ++produced;
            return write("new");
        },
        reason));
    EXPECT_EQ(produced, 1);
    const std::vector<std::string> waiting{"C:\\Out\\list.cas", "C:\\Out\\~sorbel1.tmp"};
    EXPECT_EQ(seen, std::vector<std::vector<std::string>>(3, waiting));
    EXPECT_EQ(files.FilePaths(), std::vector<std::string>{"C:\\Out\\list.cas"});
    EXPECT_EQ(files.Get("C:\\Out\\list.cas"), "new");
}

TEST(MemoryFileSystem, KeepsFoldersExplicit) {
    MemoryFileSystem files;
    std::string reason;
    EXPECT_FALSE(files.ReplaceFile("D:\\a.cas", "x", reason));
    files.AddFolder("D:\\Out\\Sub");
    EXPECT_TRUE(files.Exists("D:\\Out"));
    EXPECT_FALSE(files.FileExists("D:\\Out"));
    EXPECT_TRUE(files.ReplaceFile("D:\\Out\\Sub\\a.cas", "x", reason));
    files.Put("E:\\x\\y\\z.cas", "z");
    EXPECT_TRUE(files.Exists("E:\\x\\y"));
    EXPECT_THROW(files.Put("E:\\x", "file over folder"), std::invalid_argument);
    EXPECT_THROW(files.AddFolder("E:\\x\\y\\z.cas"), std::invalid_argument);
    EXPECT_THROW(files.Put("E:\\", "root"), std::invalid_argument);
    EXPECT_EQ(files.FilePaths(), (std::vector<std::string>{"D:\\Out\\Sub\\a.cas", "E:\\x\\y\\z.cas"}));
}

}  // namespace
}  // namespace fw
