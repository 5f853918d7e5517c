// Fuzz target of the in-memory table's text format: arbitrary bytes loaded
// into a table that holds records and indexes (see formats_probe.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memtable/fuzz/formats_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  formats_probe::Load(std::string_view(reinterpret_cast<const char*>(data), size), false);
  return 0;
}
