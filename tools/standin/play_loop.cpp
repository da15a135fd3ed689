// <chrono> itself does not compile with code page 932 literals (it spells
// a micro sign); <thread> brings the clocks.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

#include "standin/command_queue.h"
#include "standin/console.h"
#include "standin/player.h"
#include "framework/sysutils.h"

namespace standin::console {

namespace {

// The next line of `in` without its line end; false at the end of input.
// As std::getline(std::cin) reads, but through C's stdio, which the program
// has anyway: the C++ streams and their locales were three quarters of it.
bool ReadLine(std::FILE* in, std::string& line) {
    line.clear();
    for (int c; (c = std::getc(in)) != EOF;) {
        if (c == '\n') return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

}  // namespace

int RunPlayer(Player& player) {
    using Clock = std::chrono::steady_clock;
    using namespace std::chrono_literals;

    // The reader blocks in its read and cannot be interrupted portably, so it
    // is detached; the queue it feeds is shared so that it outlives us both.
    auto queue = std::make_shared<CommandQueue>();
    std::thread([queue]() {
        std::string line;
        while (ReadLine(stdin, line)) queue->Push(line);
        queue->End();
    }).detach();
    InstallStopHandlers();

    Clock::time_point next = Clock::now() + 1s;
    bool inputEnded = false;
    while (!player.Finished()) {
        if (StopRequested()) {
            player.Quit();
            break;
        }
        Clock::time_point now = Clock::now();
        if (now >= next) {
            player.Tick();
            next += 1s;
            if (next <= now) next = now + 1s;  // after a stall, no burst of ticks
            continue;
        }
        // Wakes at least ten times a second to see a stop request.
        Clock::time_point wake = std::min(next, now + 100ms);
        if (inputEnded) {
            std::this_thread::sleep_until(wake);
            continue;
        }
        std::string line;
        switch (queue->Pop(wake, line)) {
            case CommandQueue::Result::Line:
                if (!player.Command(line))
                    PrintErr("unknown command \"" + line + "\": p pause/resume, n next song, q quit");
                break;
            case CommandQueue::Result::Ended:
                inputEnded = true;
                player.InputEnded();
                break;
            case CommandQueue::Result::Timeout:
                break;
        }
    }

    // Vistel closes only when it reads Visible=0, so the last write is
    // worth a few more tries (another program may hold the file a moment).
    for (int attempt = 0; player.WritePending() && attempt < 20; ++attempt) {
        std::this_thread::sleep_for(100ms);
        player.RetryWrite();
    }
    Done();
    if (player.WritePending()) {
        PrintErr(player.WriteError());
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace standin::console
