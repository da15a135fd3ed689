// The player status section [VISTEL] of Sorbel.ini as the player keeps it:
// its keys with their forms and the defaults a reader falls back to, and the
// one write that sets several keys at once.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

inline constexpr const char kSection[] = "VISTEL";

enum class Key { ColorNum, Visible, CasFile, PlaySong, Total, Current, PlayingIndex, Count, How, Play, Stop };
enum class Form { Integer, Boolean, String };

struct KeyInfo {
    Key key;
    const char* name;  // canonical spelling
    Form form;
    const char* defaultText;  // for strings
    int defaultNumber;        // for integers and booleans
};

inline constexpr std::size_t kKeyCount = 11;

// Every key, ColorNum first, then in the order Vistel reads them.
const std::array<KeyInfo, kKeyCount>& Keys();
const KeyInfo& Info(Key key);

// The key of that name (ASCII letters in any case), or null.
const KeyInfo* FindKey(std::string_view name);

// A string value in the form that reads back exactly: a value the reader
// would trim or unquote is wrapped in one more pair of double quotes.
std::string EncodeString(std::string_view value);

// "MM:SS", at least two digits of minutes.
std::string FormatTime(int seconds);

// Sets `values` (value texts as a reader should get them back) in the
// section of the file at `path`, in one replacement of the file.  A missing
// file is created.  On failure the file is untouched and `error` says why.
bool WriteKeys(const std::string& path, const std::vector<std::pair<Key, std::string>>& values,
               std::string& error);

}  // namespace standin
