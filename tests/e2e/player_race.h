// The player and the display writing Sorbel.ini at the same moment.  A round
// starts a fresh copy of Vistel beside its own settings file and plays the
// player with the platform's own profile functions (WritePrivateProfileStringW),
// one key per call, as the real player writes, while the display writes too:
//
//   Quit:  the player writes Visible=0 and then its own keys one by one while
//          the display closes and saves a colour scheme changed by a click.
//   Held:  the player holds its file open for writing (shared for reading
//          only) for 15 to 200 ms around a click on the mode label, then
//          rewrites it whole.
//   Lock:  the player holds its file locked (no sharing) for half a second
//          around a click on the mode label; the display must neither close
//          nor lose the click.
//
// Afterwards every key the player wrote must be in the file with its value,
// and so must the display's write.  The end-to-end tests run a few rounds;
// the race benchmark runs many.
#pragma once

#include <random>
#include <string>

namespace race {

enum class Race { Quit, Held, Lock };
const char* Name(Race race);

struct Tally {
    int rounds = 0;
    int playerKeysWritten = 0;
    int playerKeysLost = 0;    // a key the player wrote, missing or with another value afterwards
    int displayWrites = 0;
    int displayWritesLost = 0; // the display's How or ColorNum not in the file afterwards
    int wrongCloses = 0;       // the display closed while the player wanted it shown
    std::string firstLoss;     // what went wrong first, for a failure message
};

// Runs one round of `race` with a fresh copy of the display at `exe` (a
// Windows path).  False with `error` when the round could not be run at all
// (the display never showed, the mouse did not move); what was lost is
// counted in `tally`.
bool RunRound(const std::wstring& exe, Race race, std::mt19937& random, Tally& tally, std::string& error);

}  // namespace race
