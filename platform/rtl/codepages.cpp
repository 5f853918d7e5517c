// Code pages 1250 and 852 as our own tables, UTF-8 conversion, the
// ANSI <-> OEM byte conversion and the CP1250 case tables.
//
// Invariants: every byte of either page maps to exactly one Unicode scalar
// (the five holes of CP1250 to the C1 control of the same value), so that
// byte -> Unicode -> byte is the identity for both pages. The reverse
// lookups and the case tables are derived from the forward tables at
// compile time, so they can never disagree with them.
#include "platform/rtl/codepages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace {

// Upper halves (0x80..0xFF); the lower halves of both pages are ASCII.
constexpr char16_t kCp1250High[128] = {
    // 0x80
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    // 0x90
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    // 0xA0
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    // 0xB0
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    // 0xC0
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    // 0xD0
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    // 0xE0
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    // 0xF0
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr char16_t kCp852High[128] = {
    // 0x80
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7,
    0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106,
    // 0x90
    0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,
    0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D,
    // 0xA0
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E,
    0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
    // 0xB0
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A,
    0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    // 0xD0
    0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
    0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
    // 0xE0
    0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,
    0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4,
    // 0xF0
    0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
};

struct ReverseEntry {
  char16_t unicode;
  unsigned char byte;
};
using ReverseTable = std::array<ReverseEntry, 128>;

// The upper half sorted by Unicode value, for binary search.
constexpr ReverseTable MakeReverse(const char16_t (&high)[128]) {
  ReverseTable table{};
  for (int i = 0; i < 128; ++i) {
    table[i] = ReverseEntry{high[i], static_cast<unsigned char>(0x80 + i)};
  }
  std::sort(table.begin(), table.end(),
            [](const ReverseEntry& a, const ReverseEntry& b) { return a.unicode < b.unicode; });
  return table;
}

constexpr ReverseTable kCp1250Reverse = MakeReverse(kCp1250High);
constexpr ReverseTable kCp852Reverse = MakeReverse(kCp852High);

constexpr int Lookup(const ReverseTable& table, char32_t u) {
  if (u < 0x80) return static_cast<int>(u);
  auto it = std::lower_bound(table.begin(), table.end(), u,
                             [](const ReverseEntry& e, char32_t v) { return e.unicode < v; });
  if (it == table.end() || it->unicode != u) return -1;
  return it->byte;
}

constexpr char32_t Cp1250Char(unsigned char c) {
  return c < 0x80 ? c : kCp1250High[c - 0x80];
}

// Simple (one-to-one) Unicode case mapping for the scripts CP1250 covers:
// Basic Latin, Latin-1 Supplement and Latin Extended-A. Anything else has
// no case partner in CP1250 and is returned unchanged.
constexpr char32_t SimpleUpper(char32_t u) {
  if (u >= 'a' && u <= 'z') return u - 0x20;
  if (u == 0x00B5) return 0x039C;                        // micro sign -> Greek capital mu
  if (u == 0x00FF) return 0x0178;                        // y diaeresis
  if (u >= 0x00E0 && u <= 0x00FE && u != 0x00F7) return u - 0x20;
  if (u == 0x0131) return 'I';                           // dotless i
  if (u == 0x017F) return 'S';                           // long s
  bool oddLower = (u >= 0x0100 && u <= 0x0137 && u != 0x0130) || (u >= 0x014A && u <= 0x0177);
  bool evenLower = (u >= 0x0139 && u <= 0x0148) || (u >= 0x0179 && u <= 0x017E);
  if (oddLower && (u & 1)) return u - 1;
  if (evenLower && !(u & 1)) return u - 1;
  return u;
}

constexpr char32_t SimpleLower(char32_t u) {
  if (u >= 'A' && u <= 'Z') return u + 0x20;
  if (u >= 0x00C0 && u <= 0x00DE && u != 0x00D7) return u + 0x20;
  if (u == 0x0130) return 'i';                           // capital I with dot
  if (u == 0x0178) return 0x00FF;
  bool evenUpper = (u >= 0x0100 && u <= 0x0137 && u != 0x0130) || (u >= 0x014A && u <= 0x0177);
  bool oddUpper = (u >= 0x0139 && u <= 0x0148) || (u >= 0x0179 && u <= 0x017E);
  if (evenUpper && !(u & 1)) return u + 1;
  if (oddUpper && (u & 1)) return u + 1;
  return u;
}

using CaseTable = std::array<unsigned char, 256>;

// Per byte: the mapped character's byte when CP1250 has it, else the byte.
template <class Map>
constexpr CaseTable MakeCaseTable(Map map) {
  CaseTable table{};
  for (int c = 0; c < 256; ++c) {
    int mapped = Lookup(kCp1250Reverse, map(Cp1250Char(static_cast<unsigned char>(c))));
    table[c] = static_cast<unsigned char>(mapped < 0 ? c : mapped);
  }
  return table;
}

constexpr CaseTable kUpper = MakeCaseTable(SimpleUpper);
constexpr CaseTable kLower = MakeCaseTable(SimpleLower);

// ANSI -> OEM and back, each byte through its Unicode character.
using ByteTable = std::array<unsigned char, 256>;

template <class From, class To>
constexpr ByteTable MakeConversion(From from, To to) {
  ByteTable table{};
  for (int c = 0; c < 256; ++c) {
    int mapped = to(from(static_cast<unsigned char>(c)));
    table[c] = static_cast<unsigned char>(mapped < 0 ? '?' : mapped);
  }
  return table;
}

constexpr ByteTable kAnsiToOem = MakeConversion(
    [](unsigned char c) { return Cp1250Char(c); },
    [](char32_t u) { return Lookup(kCp852Reverse, u); });
constexpr ByteTable kOemToAnsi = MakeConversion(
    [](unsigned char c) -> char32_t { return c < 0x80 ? c : kCp852High[c - 0x80]; },
    [](char32_t u) { return Lookup(kCp1250Reverse, u); });

static_assert(kUpper[0xE8] == 0xC8 && kLower[0xC8] == 0xE8, "c caron pairs with C caron");
static_assert(kUpper[0xDF] == 0xDF, "sharp s has no one-character capital");
static_assert(kAnsiToOem[0xE1] == 0xA0 && kAnsiToOem[0xC8] == 0xAC, "a acute and C caron in CP852");

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]. Returns the scalar and advances i;
// on an ill-formed sequence returns -1 and advances past its maximal valid
// prefix (at least one byte), so each broken sequence becomes one "?".
int32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int length;
  uint32_t value;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    ++i;
    return -1;
  }
  ++i;
  for (int k = 1; k < length; ++k) {
    if (i >= s.size()) return -1;
    unsigned char c = byte(i);
    unsigned char lo = k == 1 ? low : 0x80, hi = k == 1 ? high : 0xBF;
    if (c < lo || c > hi) return -1;
    value = (value << 6) | (c & 0x3F);
    ++i;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

char32_t Cp1250ToUnicode(unsigned char c) { return Cp1250Char(c); }

char32_t Cp852ToUnicode(unsigned char c) { return c < 0x80 ? c : kCp852High[c - 0x80]; }

int UnicodeToCp1250(char32_t u) { return Lookup(kCp1250Reverse, u); }

int UnicodeToCp852(char32_t u) { return Lookup(kCp852Reverse, u); }

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  for (char c : ansi) AppendUtf8(out, Cp1250Char(static_cast<unsigned char>(c)));
  return out;
}

AnsiString Utf8ToAnsi(std::string_view utf8) {
  AnsiString out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    int32_t u = DecodeUtf8(utf8, i);
    int b = u < 0 ? -1 : UnicodeToCp1250(static_cast<char32_t>(u));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

void CharToOemBuff(const char* src, char* dst, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    dst[i] = static_cast<char>(kAnsiToOem[static_cast<unsigned char>(src[i])]);
  }
}

void OemToCharBuff(const char* src, char* dst, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    dst[i] = static_cast<char>(kOemToAnsi[static_cast<unsigned char>(src[i])]);
  }
}

unsigned char AnsiUpperChar(unsigned char c) { return kUpper[c]; }

unsigned char AnsiLowerChar(unsigned char c) { return kLower[c]; }

AnsiString AnsiUpperCase(std::string_view s) {
  AnsiString out(s);
  for (char& c : out) c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
  return out;
}

AnsiString AnsiLowerCase(std::string_view s) {
  AnsiString out(s);
  for (char& c : out) c = static_cast<char>(kLower[static_cast<unsigned char>(c)]);
  return out;
}
