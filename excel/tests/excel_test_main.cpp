#include "testing/test_main.h"

void ProjectTestStartup() {}
