// The player stand-in: "plays" a cassette in whole seconds and keeps the
// player status section up to date as the player would.  Time passes only
// through Tick(), one call per second, so tests script the clock; commands
// are plain calls.  The file is reached through fw::Files().
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/status.h"

namespace standin {

struct Song {
    std::string name;  // the file-name part of the cassette line
    int seconds = 0;
};

// Length of the song at `position` (1-based) when no length is given: from
// 20 to 60 seconds, always the same for the same position.
int DefaultSongSeconds(int position);

// The songs of a cassette: one per line that is not blank, named by the
// file-name part of the line.  `seconds` 0 gives every song its default
// length.  False with `error` when the file cannot be read.
bool LoadCassette(const std::string& path, int seconds, std::vector<Song>& songs, std::string& error);

struct PlayerSetup {
    std::string iniPath;
    std::string casFile;  // the CasFile text
    std::vector<Song> songs;
    std::optional<int> how;  // written once at start when given
    int quitAfter = 0;       // seconds after the start; 0: no limit
};

class Player {
public:
    using Sink = std::function<void(const std::string&)>;

    // `out` gets one line per song started and per change of transport;
    // `warn` gets a line when a write fails while playing (it is retried).
    Player(PlayerSetup setup, Sink out, Sink warn);

    // Shows the window and starts the first song.  False with `error` when
    // the file could not be written; then nothing was written.
    bool Start(std::string& error);

    // One second passes: reads How, counts Current on while playing, and at
    // the end of a song obeys How (0 next, after the last stop; 1 the same
    // again; 2 stop).  Quits when --quit-after is reached.
    void Tick();

    // Playing: pause (Stop=1).  Paused: resume.  Stopped: play the song at
    // the current position from its start.
    void TogglePause();
    // The next song (after the last, the first) from its start; playing,
    // paused or stopped stays so.
    void Next();
    // Hides the window and stops: Visible=0, Play=0, Stop=0.
    void Quit();
    // "p", "n" or "q" (blanks around and letter case ignored; an empty line
    // does nothing).  False for anything else.
    bool Command(std::string_view line);
    // Standard input has ended: from now on, the stand-in quits as soon as
    // nothing is playing.
    void InputEnded();

    // Writes what a failed write left unwritten; true when nothing is left.
    bool RetryWrite();

    bool Finished() const { return quit_; }
    bool WritePending() const { return failing_; }
    const std::string& WriteError() const { return writeError_; }

    bool Playing() const { return play_ && !stop_; }
    bool Paused() const { return stop_; }
    int Position() const { return position_; }  // 1-based
    int Elapsed() const { return elapsed_; }

private:
    const Song& Current() const { return setup_.songs[static_cast<std::size_t>(position_ - 1)]; }
    void Set(Key key, std::string value) { desired_[static_cast<std::size_t>(key)] = std::move(value); }
    void Set(Key key, int value) { Set(key, std::to_string(value)); }
    void ShowSong();      // position, name, times
    void AnnounceSong();  // the line on `out`
    void EndOfSong(int how);
    void StopPlaying();
    void Settle();
    std::vector<std::pair<Key, std::string>> Changes(bool all) const;
    bool Flush();

    PlayerSetup setup_;
    Sink out_;
    Sink warn_;

    int position_ = 1;
    int elapsed_ = 0;
    int ticks_ = 0;
    bool play_ = false;
    bool stop_ = false;
    bool inputEnded_ = false;
    bool quit_ = false;

    // What the section should hold, and what was last written: only keys
    // whose value changed are written, so the keys Vistel writes (How,
    // ColorNum) are never overwritten.
    std::array<std::optional<std::string>, kKeyCount> desired_;
    std::array<std::optional<std::string>, kKeyCount> written_;
    std::optional<int> startHow_;
    bool failing_ = false;
    std::string writeError_;
};

}  // namespace standin
