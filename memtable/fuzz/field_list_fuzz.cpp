// Fuzz target of field-list texts: arbitrary bytes as the text an index or a
// search is defined by (see field_list_probe.h for what must hold).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memtable/fuzz/field_list_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  field_list_probe::Probe(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
