#include "dbase/xbengine.h"
#include "testing/test_main.h"

void ProjectTestStartup() { EngineStartup(); }
