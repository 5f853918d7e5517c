// TCriticalSection is header-only; this unit keeps the library's one-source-
// per-header layout and checks the header compiles on its own.
#include "platform/rtl/critical_section.h"
