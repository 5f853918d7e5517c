#include "dbase/base/engine.h"
#include "platform/gui/instance_channel.h"
#include "platform/gui/testing/gui_environment.h"
#include "testing/test_main.h"

void ProjectTestStartup() {
  // Tests build the main window again and again, in processes side by
  // side: none of them is a single instance unless a test says so.
  InstanceChannel::DecideUnguarded();
  EngineStartup();
  InstallGuiTestEnvironment();
}
