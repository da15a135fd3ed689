// The stand-in's edge to the operating system: its arguments, the console's
// text encoding, and the requests to stop (Ctrl-C, SIGTERM, console close).
#pragma once

#include <string>
#include <vector>

#include "standin/commands.h"

namespace standin::console {

// The arguments after the program name: natively the bytes as given; on
// Windows converted from UTF-16 to code page 932, false with `error` when
// one holds a character that code page 932 lacks.
#ifdef _WIN32
bool Arguments(int argc, wchar_t** argv, std::vector<std::string>& args, std::string& error);
#else
std::vector<std::string> Arguments(int argc, char** argv);
#endif

void PrintOut(const std::string& line);
void PrintErr(const std::string& line);

// Lines for standard output (code page 932 text, shown in the console's
// encoding) and standard error (text as given), and argument values turned
// into code page 932.  `run` is RunPlayer below.
Console Make();

// Starts watching for Ctrl-C and the like; StopRequested turns true once
// one came.  Done tells a console-close handler that waits for the final
// write that it may let the process end.
void InstallStopHandlers();
bool StopRequested();
void Done();

// Plays in real time: one Tick per second, commands from a thread that reads
// standard input, until the player has finished.
int RunPlayer(Player& player);

}  // namespace standin::console
