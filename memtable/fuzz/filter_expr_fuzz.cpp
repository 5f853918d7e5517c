// Fuzz target of filter texts: parsed and evaluated over a small table
// (see formats_probe.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memtable/fuzz/formats_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  formats_probe::Filter(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
