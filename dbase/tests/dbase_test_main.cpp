#include "dbase/engine.h"
#include "testing/test_main.h"

void ProjectTestStartup() { EngineStartup(); }
