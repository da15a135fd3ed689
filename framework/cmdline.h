// Splitting a program's command line into arguments.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace fw {

// White space (any character up to and including the blank) separates
// arguments; double quotes group text that holds blanks and are removed.
// There is no escape character: a backslash before a quote is an ordinary
// backslash, so "C:\My Music\" gives C:\My Music\ .  A pair of quotes with
// nothing between gives an empty argument.  The first element is the program
// name.  For code page 932 text and for the system's UTF-16 alike: a trail
// byte is never a blank, a control byte or a double quote (all below 0x40).
template <class Char>
std::vector<std::basic_string<Char>> SplitCommandLine(std::basic_string_view<Char> commandLine) {
    const auto isBlank = [](Char c) { return static_cast<std::make_unsigned_t<Char>>(c) <= 0x20; };
    std::vector<std::basic_string<Char>> arguments;
    std::size_t i = 0;
    for (;;) {
        while (i < commandLine.size() && isBlank(commandLine[i])) ++i;
        if (i == commandLine.size()) return arguments;
        std::basic_string<Char>& argument = arguments.emplace_back();
        bool quoted = false;
        for (; i < commandLine.size() && (quoted || !isBlank(commandLine[i])); ++i) {
            if (commandLine[i] == Char('"'))
                quoted = !quoted;
            else
                argument += commandLine[i];
        }
    }
}

inline std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    return SplitCommandLine<char>(commandLine);
}

}  // namespace fw
