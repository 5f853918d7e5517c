// The cash journal program: starts the table engine, then the application
// with its data module and main window. The settings file Platebna.ini is
// read from the program's own directory.
#include <cstdlib>

#include "app/program.h"
#include "dbase/base/engine.h"
#include "platform/gui/instance_channel.h"
#include "platform/rtl/system.h"

int main(int argc, char** argv) {
  // A copy already running takes this start's parameters, and this start
  // ends before it opens a table or shows a window.
  SetProgramArguments(argc, argv);
  if (InstanceChannel::Decide() == InstanceRole::HandedOver) return 0;
  // The window features (magnet, keep-above, lock-key panes) need X11:
  // under a Wayland session the program runs through XWayland.
  if (!std::getenv("QT_QPA_PLATFORM") && std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "xcb", 0);
  EngineStartup();
  CreateProgramObjects(argc, argv);
  return RunProgram();
}
