// main of the end-to-end test programs: GoogleTest's own flags, then the
// paths of the programs under test (--program=<Name>=<path>, see driver.h).
#include <gtest/gtest.h>

#include "driver.h"

int main(int argc, char** argv) {
    // Screen pixels, as the programs under test see them at any setting of
    // the screen's pixels per inch.
    SetProcessDPIAware();
    testing::InitGoogleTest(&argc, argv);
    e2e::ReadProgramPaths();
    return RUN_ALL_TESTS();
}
