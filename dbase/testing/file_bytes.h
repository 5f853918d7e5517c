// Files as bytes for tests, fuzz targets and their seed writers: whole
// files in and out of strings, and little- and big-endian numbers read from
// and written into such strings at a byte offset. The tests look at what
// the engine wrote through these, never through the engine's own byte
// helpers, so that a wrong byte order there cannot hide itself.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace filebytes {

// The file's bytes ("" when it cannot be read).
inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes the file hold exactly these bytes.
inline void WriteWhole(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Numbers at offset `at` (the bytes must be there).
inline uint32_t Le16(std::string_view s, std::size_t at) {
  return uint32_t{static_cast<unsigned char>(s[at])} | uint32_t{static_cast<unsigned char>(s[at + 1])} << 8;
}

inline uint32_t Le32(std::string_view s, std::size_t at) {
  uint32_t v = 0;
  for (std::size_t i = 4; i-- > 0;) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

inline uint32_t Be32(std::string_view s, std::size_t at) {
  uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The low 16 bits of v at offset `at` (the bytes must be there).
inline void PutLe16(std::string& s, std::size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void PutLe32(std::string& s, std::size_t at, uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void PutBe32(std::string& s, std::size_t at, uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}

}  // namespace filebytes
