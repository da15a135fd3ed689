// IniFindValue against the platform's own profile reader: every file of the
// corpus is written to disk and asked the same questions of both.
//
// Left out, because Wine's reader (which runs these tests) differs from
// Windows there and we follow Windows:
//   - a "]" after the first one on a header line (Wine ends the name at the last);
//   - a header without "]" (Wine ignores it, and the keys after it stay in
//     the section before);
//   - a UTF-8 byte-order mark (Wine skips it);
//   - characters beyond ASCII (Wine's ANSI code page need not be 932);
//   - a line without "=" followed by a key of the same name ("k" then
//     "k=1"): Wine keeps the bare line as a key without value, which hides
//     the real one; Windows skips it;
//   - a key name that starts with ";": Wine finds ";k=1" as the key ";k",
//     Windows takes the line for a comment.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/files.h"
#include "framework/ini.h"
#include "framework/win32/wide.h"
#include "framework/win32/win32.h"

namespace fw {
namespace {

const char* const kCorpus[] = {
    // Plain files, each line end.
    "[S]\r\nk=1\r\na=2\r\n",
    "[S]\nk=1\na=2\n",
    "[S]\rk=1\ra=2\r",
    "[S]\r\nk=1\na=2\rb=3",
    "[S]\r\nk=1",
    "",
    "\r\n\r\n",
    "[S]",
    // Case of names, and of values.
    "[s]\r\nK=Value\r\n",
    "[S]\r\nk=1\r\n[s]\r\nk=2\r\n",
    // Blanks and tabs around lines, keys and values.
    "  [S]  \r\n  k  =  1  \r\n\ta\t=\t2\t\r\n",
    "[S]\r\nk=a  b\r\n",
    "[S]\r\nk=   \r\n",
    "[S]\r\nk=\r\na= \t\r\n",
    "[S]\r\n k = \r\n",
    // Quotes.
    "[S]\r\nk=\"quoted\"\r\n",
    "[S]\r\nk='single'\r\n",
    "[S]\r\nk=  \"  spaced  \"  \r\n",
    "[S]\r\nk=\"\"\r\n",
    "[S]\r\nk=''\r\n",
    "[S]\r\nk=\"\r\n",
    "[S]\r\nk='\r\n",
    "[S]\r\nk=\"mixed'\r\n",
    "[S]\r\nk=\"a\" b\r\n",
    "[S]\r\nk=a \"b\"\r\n",
    "[S]\r\nk=\"\"\"\r\n",
    // Comments.
    "[S]\r\n;k=1\r\nk=2\r\n",
    "[S]\r\n  ;k=1\r\n",
    "[S]\r\n#k=1\r\nk=2\r\n",
    "[S]\r\nk=1 ;not a comment\r\n",
    ";[S]\r\nk=1\r\n",
    // Section headers.
    "[S] trailing text\r\nk=1\r\n",
    "[S]k=1\r\na=2\r\n",
    "[ \tS\t ]\r\nk=1\r\n",
    "[S]\r\n[T]\r\nk=1\r\n",
    "[S]\r\nk=1\r\n[T]\r\nk=2\r\n",
    "[T]\r\nk=2\r\n[S]\r\nk=1\r\n",
    "[S=x]\r\nk=1\r\n",
    "[]\r\nk=1\r\n[S]\r\na=1\r\n",
    // Lines that are no keys.
    "[S]\r\nbare\r\na=1\r\n",
    "[S]\r\nnothing here\r\na=1\r\n",
    "[S]\r\n=1\r\nk=2\r\n",
    "[S]\r\nk=a=b\r\n",
    "[S]\r\nk==\r\n",
    // Before the first section.
    "k=1\r\n[S]\r\na=1\r\n",
    "k=1\r\n",
    // Duplicates.
    "[S]\r\nk=1\r\nk=2\r\n",
    "[S]\r\nk=1\r\nK=2\r\n",
    "[S]\r\na=1\r\n[T]\r\nx=1\r\n[S]\r\nk=2\r\n",
    "[S]\r\n[S]\r\nk=1\r\n",
    // A realistic status section among the player's own.
    "; Sorbel\r\n[Sorbel]\r\nFolder=C:\\MIDI\r\nk=player\r\n\r\n[S]\r\nVisible=1\r\nk=C:\\MIDI\\a.cas\r\n"
    "How = 2\r\n\r\n[T]\r\nx=1\r\n",
    // Blank lines and blanks-only lines between keys.
    "[S]\r\n\r\n   \r\n\t\r\nk=1\r\n",
};

const char* const kSections[] = {"S", "s", "T", "Sorbel", "X"};
const char* const kKeys[] = {"k", "K", "a", "b", "x", "#k", "How", "Visible", "bare", "missing"};

class IniDifferential : public testing::Test {
protected:
    IniDifferential() {
        wchar_t temp[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        folderW_ = std::wstring(temp, length) + L"fw-ini-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folderW_.c_str(), nullptr);
        folder_ = win32::Narrow(folderW_);
    }
    ~IniDifferential() override {
        for (const std::string& path : written_) NativeFiles().DeleteFile(path);
        RemoveDirectoryW(folderW_.c_str());
    }

    // Writes `text` to a new file (the platform caches what it has read, so
    // a name is never used twice) and gives its path.  Nothing holds a new
    // file, so a write that is refused is not tried again: it fails the
    // test at once, and the test stops there (ASSERT_NO_FATAL_FAILURE), as
    // every row after it would fail alike.
    void Write(std::string_view text, std::string& path) {
        path = folder_ + "\\corpus" + std::to_string(written_.size()) + ".ini";
        std::string reason;
        ASSERT_EQ(NativeFiles().Replace(path, text, nullptr, TReplaceMode::Atomic, reason), TFileResult::Done)
            << reason;
        written_.push_back(path);
    }

    // Every question asked of both readers gets the same answer.
    void ExpectAgreement(std::string_view text) {
        std::string path;
        ASSERT_NO_FATAL_FAILURE(Write(text, path));
        for (const char* section : kSections) {
            for (const char* key : kKeys) {
                SCOPED_TRACE(testing::PrintToString(std::string(text)) + " [" + section + "] " + key);
                EXPECT_EQ(Ours(text, section, key), Platform(path, section, key));
            }
        }
    }

    static std::string Ours(std::string_view text, const char* section, const char* key) {
        std::optional<std::string_view> value = IniFindValue(text, section, key);
        return value ? std::string(*value) : std::string(kMissing);
    }

    static std::string Platform(const std::string& path, const char* section, const char* key) {
        char buffer[256];
        DWORD got = GetPrivateProfileStringA(section, key, kMissing, buffer, sizeof buffer, path.c_str());
        return std::string(buffer, got);
    }

    // The default that tells a missing key from an empty value.
    static constexpr const char* kMissing = "<missing>";

private:
    std::wstring folderW_;
    std::string folder_;
    std::vector<std::string> written_;
};

TEST_F(IniDifferential, ReadsAsGetPrivateProfileString) {
    for (const char* text : kCorpus) ASSERT_NO_FATAL_FAILURE(ExpectAgreement(text));
}

// Our writer's output, read by the platform: the written key has its new
// value and every other answer is the same as ours.
TEST_F(IniDifferential, WritesAreReadBackByGetPrivateProfileString) {
    for (const char* text : kCorpus) {
        for (const char* section : {"s", "New"}) {
            for (const char* key : {"K", "added"}) {
                std::string updated = IniSetValue(text, section, key, "42");
                SCOPED_TRACE(testing::PrintToString(updated));
                std::string path;
                ASSERT_NO_FATAL_FAILURE(Write(updated, path));
                EXPECT_EQ(Platform(path, section, key), "42");
                ASSERT_NO_FATAL_FAILURE(ExpectAgreement(updated));
            }
        }
    }
}

}  // namespace
}  // namespace fw
