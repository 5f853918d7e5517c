// The cash journal program. For now it only starts the table engine and
// names itself; the main window comes with the application.
#include <cstdio>

#include "dbase/xbengine.h"

int main() {
  EngineStartup();
  std::puts("platebna: Kelvo - Pokladni denik 1.20 (table engine only, no window yet)");
  return 0;
}
