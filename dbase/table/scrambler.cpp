// The table password scrambler (see scrambler.h for the rule).
#include "dbase/table/scrambler.h"

#include <cstring>

int ScrambleBytes(std::string_view password, const void* source, void* destination, std::size_t n,
                  bool encode) {
  const auto* src = static_cast<const unsigned char*>(source);
  auto* dst = static_cast<unsigned char*>(destination);
  if (password.empty()) {
    if (n > 0 && src != dst) std::memmove(dst, src, n);
    return 0;
  }
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto key = static_cast<unsigned char>((i & 0xFF) | static_cast<unsigned char>(password[k]));
    dst[i] = static_cast<unsigned char>(key ^ src[i]);
    if (++k == password.size()) k = 0;
  }
  return encode ? 1 : -1;
}
