// Prints a page stream record by record with stream positions, for people
// reading a stream and for test failure messages.
#pragma once

#include <string>

#include "platform/rtl/streams.h"

// One line per record: "<position> <code> <name> <operands>"; a damaged
// stream ends with a line naming the error.
std::string DumpPageStream(TStream& stream);
