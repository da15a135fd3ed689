#include "framework/cmdline.h"

namespace fw {

// Scanning byte by byte is safe for code page 932: a trail byte is never a
// blank, a control byte or a double quote (all of these are below 0x40).
std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::vector<std::string> arguments;
    std::size_t i = 0;
    for (;;) {
        while (i < commandLine.size() && isBlank(commandLine[i])) ++i;
        if (i == commandLine.size()) return arguments;
        std::string& argument = arguments.emplace_back();
        bool quoted = false;
        for (; i < commandLine.size() && (quoted || !isBlank(commandLine[i])); ++i) {
            if (commandLine[i] == '"')
                quoted = !quoted;
            else
                argument += commandLine[i];
        }
    }
}

}  // namespace fw
