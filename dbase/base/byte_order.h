// Fixed-width numbers in file bytes: the little-endian integers of the DBF,
// memo and index headers, the big-endian ones some layouts use (CDX branch
// entries, FPT memo blocks, sort keys), and doubles in the IEEE layout the
// files share. Every reader and writer of the engine goes through these, so
// a value is never read by casting a pointer into a buffer (file bytes need
// not be aligned) and the byte order of each field is spelled out where it
// is used.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The files store doubles as the bytes of their little-endian IEEE form,
// which is what memory holds on the machines this program is built for.
static_assert(std::endian::native == std::endian::little, "doubles are copied in their stored order");

inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline uint32_t GetBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// The low 16 bits of v.
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The low 16 bits of v.
inline void PutBe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

inline void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Record buffers are char arrays.
inline uint32_t GetLe32(const char* p) { return GetLe32(reinterpret_cast<const uint8_t*>(p)); }
inline void PutLe32(char* p, uint32_t v) { PutLe32(reinterpret_cast<uint8_t*>(p), v); }

// A double from its 8 stored bytes, and back.
inline double GetLeDouble(const void* p) {
  double v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void PutLeDouble(void* p, double v) { std::memcpy(p, &v, sizeof v); }

// A double as 8 bytes whose order is the numbers' order: the big-endian
// bits with the sign bit set for values >= 0 (-0 included) and every bit
// inverted for negative ones. Trailing zero bytes carry nothing (readers
// supply them), so the length up to the last non-zero byte is returned.
inline int PutOrderedDouble(uint8_t* p, double v) {
  uint64_t bits = std::bit_cast<uint64_t>(v);
  bits = v < 0 ? ~bits : bits | (uint64_t{1} << 63);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  int n = 8;
  while (n > 0 && p[n - 1] == 0) --n;
  return n;
}

// The double of the first n bytes of that form (missing bytes are zero).
inline double GetOrderedDouble(const uint8_t* p, int n) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | (i < n ? p[i] : 0);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  return std::bit_cast<double>(bits);
}
