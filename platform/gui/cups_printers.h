// The CUPS printer backend: destinations, their capabilities and job
// submission through libcups.
#pragma once

#include <memory>

#include "platform/gui/printer_list.h"

std::unique_ptr<TPrinterBackend> MakeCupsBackend();
