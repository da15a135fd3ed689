// The program's own entry, called by the framework once the platform and the
// application object exist (as a GUI framework calls a program's main unit).
// Each program defines it; its result is the process exit code.
#pragma once

int ProgramMain();
