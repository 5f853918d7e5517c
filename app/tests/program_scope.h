// The program's start objects for one test: created as main() creates
// them, the main window shown; freed at the end.
#pragma once

#include "app/main_window.h"
#include "app/program.h"
#include "platform/gui/application.h"

namespace app_test {

class ProgramScope {
 public:
  ProgramScope() {
    CreateProgramObjects();
    Platebna->Show();
    Settle();
  }
  ~ProgramScope() {
    Settle();
    FreeProgramObjects();
  }
  ProgramScope(const ProgramScope&) = delete;
  ProgramScope& operator=(const ProgramScope&) = delete;

  static void Settle() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
};

}  // namespace app_test
