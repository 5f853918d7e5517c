// The breakdown test opens a dBase table, so the engine starts first.
#include "dbase/base/engine.h"
#include "testing/test_main.h"

void ProjectTestStartup() { EngineStartup(); }
