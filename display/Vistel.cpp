// Vistel's program entry.
#include "Main.h"
#include "framework/gui/entry.h"
#include "framework/gui/system.h"

int ProgramMain() {
    try {
        Application->Initialize();
        Application->SetShowMainForm(false);
        Application->SetTitle("Vistel");
        Application->CreateForm(MainForm);
        // Started on its own, the display shows itself at once, without
        // taking the focus from the program the user is working in.
        ShowWindow(MainForm->Handle(), SW_SHOWNOACTIVATE);
        Application->Run();
    } catch (const std::exception& error) {
        Application->ShowException(error);
    }
    return 0;
}
