// Facts about the computer and the user that programs show in their "about"
// and diagnostic texts.
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"

// The host name (gethostname); "" when the system gives none.
AnsiString ComputerName();
// The user's full name: the password database's comment field up to its
// first ",", else the login name.
AnsiString UserFullName();
// "Linux <release> <machine>" from uname.
AnsiString OperatingSystemText();
// Physical memory in bytes from /proc/meminfo (total, and available for new
// work); 0 when it cannot be read.
uint64_t MemoryTotalBytes();
uint64_t MemoryFreeBytes();
