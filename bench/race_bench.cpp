// The player and the display writing Sorbel.ini at the same moment, many
// rounds of each race (tests/e2e/player_race.h), under Wine with the
// platform's own profile functions playing the player.  Prints what was
// lost; asserts nothing.
//
//   race_bench <Vistel.exe as a Windows path> [rounds per race, default 40]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "player_race.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: race_bench <Vistel.exe> [rounds per race]\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const int rounds = argc > 2 ? _wtoi(argv[2]) : 40;
    std::mt19937 random(7);
    std::printf("%-6s %7s %13s %6s %15s %6s %13s %6s\n", "race", "rounds", "player keys", "lost", "display writes",
                "lost", "wrong closes", "failed");
    race::Tally all;
    int failedAll = 0;
    for (race::Race r : {race::Race::Quit, race::Race::Held, race::Race::Lock}) {
        race::Tally tally;
        int failed = 0;
        for (int i = 0; i < rounds; ++i) {
            std::string error;
            if (!race::RunRound(exe, r, random, tally, error)) {
                ++failed;
                std::fprintf(stderr, "%s round %d could not run: %s\n", race::Name(r), i + 1, error.c_str());
            }
        }
        std::printf("%-6s %7d %13d %6d %15d %6d %13d %6d\n", race::Name(r), tally.rounds, tally.playerKeysWritten,
                    tally.playerKeysLost, tally.displayWrites, tally.displayWritesLost, tally.wrongCloses, failed);
        if (!tally.firstLoss.empty()) std::printf("       first loss: %s\n", tally.firstLoss.c_str());
        all.rounds += tally.rounds;
        all.playerKeysWritten += tally.playerKeysWritten;
        all.playerKeysLost += tally.playerKeysLost;
        all.displayWrites += tally.displayWrites;
        all.displayWritesLost += tally.displayWritesLost;
        all.wrongCloses += tally.wrongCloses;
        failedAll += failed;
    }
    std::printf("%-6s %7d %13d %6d %15d %6d %13d %6d\n", "all", all.rounds, all.playerKeysWritten, all.playerKeysLost,
                all.displayWrites, all.displayWritesLost, all.wrongCloses, failedAll);
    return 0;
}
