// Engine start-up and shutdown. Start-up is a plain sequence of steps, each
// building one piece of process-wide state; later parts of the engine add
// their own step (their registries) to the sequence. Shutdown undoes what
// must not outlive the process quietly: locks held by open files are
// released and the files closed, so another program never waits on a lock
// of a process that has gone.
#include "dbase/base/engine.h"

#include <cstdlib>

#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/disk_file.h"
#include "dbase/expr/expr_registry.h"

namespace {

bool g_started = false;
bool g_atexitRegistered = false;

void ShutdownAtExit() { EngineShutdown(); }

}  // namespace

void EngineStartup() {
  if (g_started) return;
  BuildOemAnsiTables();
  KeyCollation = CollationWeights;
  CreateDbfDate();
  RegisterBuiltinExpressions();
  if (!g_atexitRegistered) {
    std::atexit(ShutdownAtExit);
    g_atexitRegistered = true;
  }
  g_started = true;
}

void EngineShutdown() {
  ShutdownOpenFiles();
  FreeBuiltinExpressions();
  FreeDbfDate();
  g_started = false;
}

bool EngineStarted() { return g_started; }
