#include "dbase/base/engine.h"
#include "testing/test_main.h"

void ProjectTestStartup() { EngineStartup(); }
