#include "standin/player.h"

#include <utility>

#include "framework/files.h"
#include "framework/ini.h"
#include "framework/paths.h"
#include "framework/stringlist.h"
#include "framework/sysutils.h"

namespace standin {

int DefaultSongSeconds(int position) { return 20 + ((position - 1) * 13) % 41; }

bool LoadCassette(const std::string& path, int seconds, std::vector<Song>& songs, std::string& error) {
    fw::TStrings lines;
    try {
        lines.LoadFromFile(path);
    } catch (const fw::EFOpenError& e) {
        // The message ends with the system's reason on a line of its own.
        std::string message = e.Message();
        error = "cannot read cassette " + path + ": " + message.substr(message.rfind('\n') + 1);
        return false;
    }
    songs.clear();
    for (const std::string& line : lines.Lines()) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Song song;
        song.name = fw::ExtractFileName(line);
        if (song.name.empty()) song.name = line;  // a line that names a folder
        song.seconds = seconds > 0 ? seconds : DefaultSongSeconds(static_cast<int>(songs.size()) + 1);
        songs.push_back(std::move(song));
    }
    return true;
}

Player::Player(PlayerSetup setup, Sink out, Sink warn)
    : setup_(std::move(setup)), out_(std::move(out)), warn_(std::move(warn)) {}

bool Player::Start(std::string& error) {
    if (setup_.songs.empty()) {
        error = "no songs to play";
        return false;
    }
    Set(Key::Visible, 1);
    Set(Key::CasFile, setup_.casFile);
    Set(Key::Count, static_cast<int>(setup_.songs.size()));
    play_ = true;
    stop_ = false;
    Set(Key::Play, 1);
    Set(Key::Stop, 0);
    ShowSong();
    startHow_ = setup_.how;
    if (!Flush()) {
        error = writeError_;
        return false;
    }
    AnnounceSong();
    return true;
}

void Player::ShowSong() {
    Set(Key::PlayingIndex, position_);
    Set(Key::PlaySong, Current().name);
    Set(Key::Total, FormatTime(Current().seconds));
    Set(Key::Current, FormatTime(elapsed_));
}

void Player::AnnounceSong() {
    out_("Song " + std::to_string(position_) + "/" + std::to_string(setup_.songs.size()) + ": " + Current().name +
         " (" + FormatTime(Current().seconds) + ")");
}

void Player::Tick() {
    if (quit_) return;
    ++ticks_;
    // Vistel writes How when the user clicks its mode label: read it every
    // second, as the player would, and obey the value found at the end of a song.
    int how = fw::TIniFile(setup_.iniPath).ReadInteger(kSection, "How", 0);
    if (Playing()) {
        ++elapsed_;
        if (elapsed_ >= Current().seconds)
            EndOfSong(how);
        else
            Set(Key::Current, FormatTime(elapsed_));
    }
    if (setup_.quitAfter > 0 && ticks_ >= setup_.quitAfter)
        Quit();
    else
        Settle();
}

void Player::EndOfSong(int how) {
    elapsed_ = 0;
    if (how == 1) {
        ShowSong();
        AnnounceSong();
    } else if (how == 2) {
        ShowSong();
        StopPlaying();
        out_("Stopped after song " + std::to_string(position_));
    } else if (position_ < static_cast<int>(setup_.songs.size())) {
        // Continuous, and any How that names no mode.
        ++position_;
        ShowSong();
        AnnounceSong();
    } else {
        // The end of the cassette: stop, wound back to the first song.
        position_ = 1;
        ShowSong();
        StopPlaying();
        out_("End of cassette: stopped");
    }
}

void Player::StopPlaying() {
    play_ = false;
    stop_ = false;
    Set(Key::Play, 0);
    Set(Key::Stop, 0);
}

void Player::TogglePause() {
    if (quit_) return;
    if (stop_) {
        stop_ = false;
        out_("Resumed at " + FormatTime(elapsed_));
    } else if (play_) {
        stop_ = true;
        out_("Paused at " + FormatTime(elapsed_));
    } else {
        play_ = true;
        elapsed_ = 0;
        Set(Key::Play, 1);
        ShowSong();
        AnnounceSong();
    }
    Set(Key::Stop, stop_ ? 1 : 0);
    Settle();
}

void Player::Next() {
    if (quit_) return;
    position_ = position_ < static_cast<int>(setup_.songs.size()) ? position_ + 1 : 1;
    elapsed_ = 0;
    ShowSong();
    AnnounceSong();
    Flush();
}

void Player::Quit() {
    if (quit_) return;
    quit_ = true;
    play_ = false;
    stop_ = false;
    Set(Key::Visible, 0);
    Set(Key::Play, 0);
    Set(Key::Stop, 0);
    Flush();
    out_("Quit");
}

bool Player::Command(std::string_view line) {
    std::size_t begin = line.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return true;
    line = line.substr(begin, line.find_last_not_of(" \t\r\n") + 1 - begin);
    if (line == "p" || line == "P")
        TogglePause();
    else if (line == "n" || line == "N")
        Next();
    else if (line == "q" || line == "Q")
        Quit();
    else
        return false;
    return true;
}

void Player::InputEnded() {
    inputEnded_ = true;
    Settle();
}

// Without input nobody could start or resume play again: the stand-in
// quits once nothing is playing.
void Player::Settle() {
    if (inputEnded_ && !Playing())
        Quit();
    else
        Flush();
}

bool Player::RetryWrite() { return Flush(); }

std::vector<std::pair<Key, std::string>> Player::Changes(bool all) const {
    std::vector<std::pair<Key, std::string>> values;
    for (const KeyInfo& info : Keys()) {
        const std::optional<std::string>& value = desired_[static_cast<std::size_t>(info.key)];
        if (value && (all || value != written_[static_cast<std::size_t>(info.key)])) values.emplace_back(info.key, *value);
    }
    if (startHow_) values.emplace_back(Key::How, fw::IntToStr(*startHow_));
    return values;
}

bool Player::Flush() {
    std::vector<std::pair<Key, std::string>> values = Changes(false);
    if (values.empty()) return true;
    // A file removed meanwhile gets the whole state again.
    if (!fw::Files().FileExists(setup_.iniPath)) values = Changes(true);
    std::string error;
    if (!WriteKeys(setup_.iniPath, values, error)) {
        // Kept as pending: the next write tries again.
        if (!failing_ && written_[static_cast<std::size_t>(Key::Visible)]) warn_("warning: " + error);
        failing_ = true;
        writeError_ = error;
        return false;
    }
    for (const auto& [key, value] : values) written_[static_cast<std::size_t>(key)] = value;
    startHow_.reset();
    failing_ = false;
    writeError_.clear();
    return true;
}

}  // namespace standin
