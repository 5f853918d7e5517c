// The cash journal program: starts the table engine, then the application
// with its data module and main window. The settings file Platebna.ini is
// read from the program's own directory.
#include "app/program.h"
#include "dbase/base/engine.h"

int main(int argc, char** argv) {
  EngineStartup();
  CreateProgramObjects(argc, argv);
  return RunProgram();
}
