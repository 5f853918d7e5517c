// Fuzz target of the single-instance hand-over: arbitrary bytes as what a
// client sent to the receiver. The decoder must refuse or accept without
// reading past the input, and what it accepts must be exactly what the
// encoder would have produced for the parameters it returned.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/gui/instance_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<AnsiString> params;
  if (DecodeHandOver(input, params)) {
    if (params.size() > kHandOverMaxParams || EncodeHandOver(params) != input) std::abort();
  } else if (!params.empty()) {
    std::abort();
  }
  return 0;
}
