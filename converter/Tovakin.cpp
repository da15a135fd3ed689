// Tovakin's program entry.
#include "Main.h"
#include "framework/gui/entry.h"

int ProgramMain() {
    try {
        Application->Initialize();
        Application->SetTitle("Zelbin");
        Application->CreateForm(MainForm);
        Application->Run();
    } catch (const std::exception& error) {
        Application->ShowException(error);
    }
    return 0;
}
