// Splitting a program's command line into arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// White space (any byte up to and including the blank) separates arguments;
// double quotes group text that holds blanks and are removed.  There is no
// escape character: a backslash before a quote is an ordinary backslash, so
// "C:\My Music\" gives C:\My Music\ .  A pair of quotes with nothing between
// gives an empty argument.  The first element is the program name.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace fw
