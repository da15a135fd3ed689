// main of the end-to-end test programs: GoogleTest's own flags, then the
// paths of the programs under test (--program=<Name>=<path>, see driver.h).
#include <gtest/gtest.h>

#include "driver.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    e2e::ReadProgramPaths();
    return RUN_ALL_TESTS();
}
