#include "standin/status.h"

#include "framework/ini.h"
#include "framework/text.h"

namespace standin {

const std::array<KeyInfo, kKeyCount>& Keys() {
    static const std::array<KeyInfo, kKeyCount> keys = {{
        {Key::ColorNum, "ColorNum", Form::Integer, "", 13},
        {Key::Visible, "Visible", Form::Boolean, "", 0},
        {Key::CasFile, "CasFile", Form::String, "新規カセット", 0},
        {Key::PlaySong, "PlaySong", Form::String, "停止", 0},
        {Key::Total, "Total", Form::String, "00:00", 0},
        {Key::Current, "Current", Form::String, "00:00", 0},
        {Key::PlayingIndex, "PlayingIndex", Form::Integer, "", 0},
        {Key::Count, "Count", Form::Integer, "", 0},
        {Key::How, "How", Form::Integer, "", 0},
        {Key::Play, "Play", Form::Boolean, "", 0},
        {Key::Stop, "Stop", Form::Boolean, "", 0},
    }};
    return keys;
}

const KeyInfo& Info(Key key) {
    for (const KeyInfo& info : Keys())
        if (info.key == key) return info;
    return Keys()[0];  // unreachable: every Key has a row
}

const KeyInfo* FindKey(std::string_view name) {
    for (const KeyInfo& info : Keys())
        if (fw::SameTextIgnoringAsciiCase(name, info.name)) return &info;
    return nullptr;
}

std::string EncodeString(std::string_view value) {
    if (value.empty()) return std::string();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto quote = [](char c) { return c == '"' || c == '\''; };
    // No trail byte of a double-byte character is a blank or a quote, so
    // looking at the outer bytes is safe.
    bool wrap = blank(value.front()) || blank(value.back()) ||
                (value.size() >= 2 && quote(value.front()) && value.back() == value.front());
    std::string encoded;
    encoded.reserve(value.size() + 2);
    if (wrap) encoded.push_back('"');
    encoded.append(value);
    if (wrap) encoded.push_back('"');
    return encoded;
}

std::string FormatTime(int seconds) {
    if (seconds < 0) seconds = 0;
    std::string minutes = std::to_string(seconds / 60);
    std::string secs = std::to_string(seconds % 60);
    if (minutes.size() < 2) minutes.insert(0, 1, '0');
    if (secs.size() < 2) secs.insert(0, 1, '0');
    return minutes + ":" + secs;
}

bool WriteKeys(const std::string& path, const std::vector<std::pair<Key, std::string>>& values,
               std::string& error) {
    std::vector<std::pair<std::string_view, std::string>> encoded;
    for (const auto& [key, value] : values) {
        const KeyInfo& info = Info(key);
        encoded.emplace_back(info.name, info.form == Form::String ? EncodeString(value) : value);
    }
    std::string reason;
    switch (fw::IniWriteValues(path, kSection, encoded, reason)) {
    case fw::TIniWrite::Written:
    case fw::TIniWrite::Unchanged: return true;
    case fw::TIniWrite::Unreadable: error = "cannot read " + path + ": " + reason; return false;
    case fw::TIniWrite::Busy:
        error = "another program holds " + path + (reason.empty() ? "" : ": " + reason);
        return false;
    case fw::TIniWrite::Refused: error = "cannot write " + path + ": " + reason; return false;
    }
    return false;
}

}  // namespace standin
