// SorbelStandIn: stands in for the player Sorbel by writing the [VISTEL]
// section of a Sorbel.ini.  Everything but the entry point is in standin/.
#include "standin/commands.h"
#include "standin/console.h"
#include "framework/sysutils.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    std::string error;
    if (!standin::console::Arguments(argc, argv, args, error)) {
        standin::console::PrintErr(error);
        return standin::kExitUsage;
    }
    return standin::Main(args, standin::console::Make());
}
#else
int main(int argc, char** argv) {
    return standin::Main(standin::console::Arguments(argc, argv), standin::console::Make());
}
#endif
