// The numbers every file format stores through one set of byte helpers:
// each width and order lands on the bytes the layouts name, reads back from
// them, and doubles in their order-preserving form sort like the numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dbase/base/byte_order.h"

namespace {

std::string Hex(const uint8_t* p, int n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

TEST(ByteOrder, IntegersLandOnTheNamedBytesAndReadBack) {
  struct Case {
    const char* name;
    void (*put)(uint8_t*, uint32_t);
    uint32_t (*get)(const uint8_t*);
    int width;
    uint32_t value;
    const char* bytes;
  };
  auto le16 = [](const uint8_t* p) -> uint32_t { return GetLe16(p); };
  auto be16 = [](const uint8_t* p) -> uint32_t { return GetBe16(p); };
  auto le32 = [](const uint8_t* p) { return GetLe32(p); };
  const Case cases[] = {
      {"le16", PutLe16, le16, 2, 0x1234, "3412"},
      {"le16 keeps the low half", PutLe16, le16, 2, 0xABCD1234, "3412"},
      {"be16", PutBe16, be16, 2, 0x0200, "0200"},
      {"le32", PutLe32, le32, 4, 0x01020304, "04030201"},
      {"le32 top bit", PutLe32, le32, 4, 0x80000001, "01000080"},
      {"be32", PutBe32, GetBe32, 4, 0x01020304, "01020304"},
      {"be32 top bit", PutBe32, GetBe32, 4, 0xFFFFFFFE, "fffffffe"},
  };
  for (const Case& c : cases) {
    uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    c.put(bytes, c.value);
    EXPECT_EQ(Hex(bytes, c.width), c.bytes) << c.name;
    for (int i = c.width; i < 4; ++i) EXPECT_EQ(bytes[i], 0xEE) << c.name << ": wrote past its width";
    uint32_t mask = c.width == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    EXPECT_EQ(c.get(bytes), c.value & mask) << c.name;
  }
  // Record buffers of chars read the same bytes (signed chars included).
  char record[4];
  PutLe32(record, 0xFFFFFF85);
  EXPECT_EQ(GetLe32(record), 0xFFFFFF85u);
  EXPECT_EQ(static_cast<int32_t>(GetLe32(record)), -123);
}

TEST(ByteOrder, DoublesKeepTheirStoredLayout) {
  for (double v : {0.0, -0.0, 1.5, -1234.5678, 1e300, std::numeric_limits<double>::denorm_min()}) {
    uint8_t bytes[8];
    PutLeDouble(bytes, v);
    double back = GetLeDouble(bytes);
    EXPECT_EQ(std::signbit(back), std::signbit(v)) << v;
    EXPECT_EQ(back, v);
  }
  uint8_t one[8];
  PutLeDouble(one, 1.0);
  EXPECT_EQ(Hex(one, 8), "000000000000f03f");
}

TEST(ByteOrder, OrderedDoublesSortLikeTheNumbersAndDropTrailingZeros) {
  const std::vector<double> ascending = {-std::numeric_limits<double>::infinity(),
                                         -1e300,
                                         -1000,
                                         -1.5,
                                         -1,
                                         -std::numeric_limits<double>::denorm_min(),
                                         0,
                                         std::numeric_limits<double>::denorm_min(),
                                         1,
                                         1.5,
                                         1000,
                                         1e300,
                                         std::numeric_limits<double>::infinity()};
  std::string previous;
  for (double v : ascending) {
    uint8_t bytes[8];
    int n = PutOrderedDouble(bytes, v);
    ASSERT_GE(n, 1) << v;
    EXPECT_NE(bytes[n - 1], 0) << v;
    std::string form(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
    // Shorter forms are the same as forms padded with zeros.
    EXPECT_LT(previous, form) << v;
    EXPECT_EQ(GetOrderedDouble(bytes, n), v);
    previous = form;
  }
  uint8_t zero[8];
  EXPECT_EQ(PutOrderedDouble(zero, 0.0), 1);
  EXPECT_EQ(zero[0], 0x80);
  uint8_t negativeZero[8];
  EXPECT_EQ(PutOrderedDouble(negativeZero, -0.0), 1);
  EXPECT_EQ(negativeZero[0], 0x80);  // -0 is stored as 0
  uint8_t two[8];
  EXPECT_EQ(PutOrderedDouble(two, 2.0), 1);
  EXPECT_EQ(Hex(two, 1), "c0");
  uint8_t minusTwo[8];
  EXPECT_EQ(PutOrderedDouble(minusTwo, -2.0), 8);
  EXPECT_EQ(Hex(minusTwo, 8), "3fffffffffffffff");
}

}  // namespace
