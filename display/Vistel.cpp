// Vistel's program entry.
#include "Main.h"
#include "framework/gui/entry.h"

int ProgramMain() {
    try {
        Application->Initialize();
        Application->SetShowMainForm(false);
        Application->SetTitle("Vistel");
        Application->CreateForm(MainForm);
        // Nothing shows the window here: the first poll that finds the
        // display wanted does, once its labels are set.
        Application->Run();
    } catch (const std::exception& error) {
        Application->ShowException(error);
    }
    return 0;
}
