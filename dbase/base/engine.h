// Engine start-up and shutdown, called explicitly (never from static
// initialisers: objects of a static library reached only through static
// initialisers are dropped by the linker, and their order across files is
// unspecified).
#pragma once

// Idempotent: builds the OEM/ANSI tables, sets the key collation, creates
// the date instance, and registers EngineShutdown with atexit.
void EngineStartup();
// Releases the locks of all open files, closes them and frees the date
// instance. Safe to call more than once.
void EngineShutdown();
bool EngineStarted();
