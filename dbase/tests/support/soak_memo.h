// The memo texts of the soak writers: each names its document and carries
// its own length, so that a memo cut short, mixed with another one's blocks
// or moved to another record is seen when the table is read back.
#pragma once

#include <cstdint>
#include <string>

namespace soak {

// "<doc>/<version>:" then length letters that depend on doc, then "#<length>".
inline std::string MemoText(int64_t doc, int version, int length) {
  std::string text = std::to_string(doc) + "/" + std::to_string(version) + ":";
  for (int i = 0; i < length; ++i) text += static_cast<char>('a' + (doc + i) % 26);
  return text + "#" + std::to_string(length);
}

// Whether text is a whole memo of document doc (any version).
inline bool MemoIsWhole(const std::string& text, int64_t doc) {
  const std::string head = std::to_string(doc) + "/";
  if (text.compare(0, head.size(), head) != 0) return false;
  const std::size_t colon = text.find(':');
  const std::size_t hash = text.rfind('#');
  if (colon == std::string::npos || hash == std::string::npos || hash < colon) return false;
  const std::string body = text.substr(colon + 1, hash - colon - 1);
  if (text.substr(hash + 1) != std::to_string(body.size())) return false;
  for (std::size_t i = 0; i < body.size(); ++i)
    if (body[i] != static_cast<char>('a' + (doc + static_cast<int64_t>(i)) % 26)) return false;
  return true;
}

}  // namespace soak
