// The program's start sequence, shared by the executable and the tests
// that start the program as it starts itself.
//
// Objects are created in a fixed order, each global and alive until the
// program ends: the data module first (so the tables are open before any
// window exists), then the report module, the main window (the
// application's main form) and the dialogs whose creation handlers run at
// start.
#pragma once

class TRptSetupForm;
// The output-options form of the start sequence.
extern TRptSetupForm* RptSetupForm;

// Initialises the application, sets its title and creates the start
// objects in order. The settings file is read from the program's
// directory.
void CreateProgramObjects(int argc = 0, char** argv = nullptr);
// Runs the message loop until the main window closes, then frees the forms
// and the data module (before the table engine closes the files it still
// holds). Returns the process's exit status.
int RunProgram();
// Frees the start objects in reverse order without running the loop
// (tests).
void FreeProgramObjects();
