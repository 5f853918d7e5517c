// The shared gtest main calls ProjectTestStartup() once before the tests
// run. Every test executable defines it: the engine's tests start the
// engine there, others leave it empty.
#pragma once

void ProjectTestStartup();
