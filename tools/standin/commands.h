// The command line of SorbelStandIn: set, show and play.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class Player;

// What the commands need from the outside world, so that tests can give
// their own.  Files are reached through fw::Files().
struct Console {
    // One line of code page 932 text for standard output / standard error.
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
    // An argument that becomes a value in the file, as code page 932 text.
    std::function<std::string(const std::string&)> valueText;
    // Drives a started player until it has finished; gives the exit code.
    std::function<int(Player&)> run;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written
inline constexpr int kExitUsage = 2;   // the command line is wrong

// Runs the command in `args` (the program name left out); gives the exit code.
int Main(const std::vector<std::string>& args, const Console& console);

// The usage text, line by line.
std::vector<std::string> Usage();

}  // namespace standin
