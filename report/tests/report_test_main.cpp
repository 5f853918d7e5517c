#include "platform/gui/testing/gui_environment.h"
#include "testing/test_main.h"

void ProjectTestStartup() { InstallGuiTestEnvironment(); }
