// Component-stream values: exact encodings, round trips and hostile input.
#include "platform/rtl/value_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/rtl/system.h"

namespace {

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
}

template <class Fn>
std::string Encode(Fn fn) {
  TMemoryStream s;
  TValueWriter w(s);
  fn(w);
  w.FlushBuffer();
  return Bytes(s);
}

TEST(ValueStream, EncodingsPickTheSmallestCode) {
  struct Row {
    std::string bytes;
    std::string expected;
  } rows[] = {
      {Encode([](TValueWriter& w) { w.WriteInteger(251); }), std::string("\x03\xFB\x00", 3)},
      {Encode([](TValueWriter& w) { w.WriteInteger(-128); }), std::string("\x02\x80", 2)},
      {Encode([](TValueWriter& w) { w.WriteInteger(127); }), std::string("\x02\x7F", 2)},
      {Encode([](TValueWriter& w) { w.WriteInteger(128); }), std::string("\x03\x80\x00", 3)},
      {Encode([](TValueWriter& w) { w.WriteInteger(-32769); }), std::string("\x04\xFF\x7F\xFF\xFF", 5)},
      {Encode([](TValueWriter& w) { w.WriteBoolean(true); }), "\x09"},
      {Encode([](TValueWriter& w) { w.WriteString("abc"); }), std::string("\x06\x03" "abc", 5)},
      {Encode([](TValueWriter& w) { w.WriteString(Cz("č")); }), std::string("\x14\x02\x00\x00\x00", 5) + "č"},
      {Encode([](TValueWriter& w) { w.WriteRawString(std::string("\x81\x98", 2)); }),
       std::string("\x06\x02\x81\x98", 4)},
      {Encode([](TValueWriter& w) { w.WriteFloat(1.0L); }),
       std::string("\x05\x00\x00\x00\x00\x00\x00\x00\x80\xFF\x3F", 11)},
  };
  for (const Row& r : rows) EXPECT_EQ(r.bytes, r.expected);
  std::string longText(300, 'x');
  EXPECT_EQ(Encode([&](TValueWriter& w) { w.WriteString(longText); }).substr(0, 5),
            std::string("\x0C\x2C\x01\x00\x00", 5));
}

TEST(ValueStream, ValuesRoundTrip) {
  const long double floats[] = {0.0L, -0.0L, 1e-4940L, std::numeric_limits<long double>::infinity(),
                                static_cast<long double>(INT64_MIN), static_cast<long double>(INT64_MAX),
                                922337203685477.5807L};
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  TMemoryStream s;
  TValueWriter w(s);
  w.WriteSignature();
  w.WriteListBegin();
  for (int32_t v : {INT32_MIN, -32768, 32767, 0, INT32_MAX}) w.WriteInteger(v);
  for (long double f : floats) w.WriteFloat(f);
  w.WriteFloat(std::numeric_limits<long double>::quiet_NaN());
  w.WriteString(Cz("Žluťoučký kůň"));
  w.WriteRawString(all);
  w.WriteListEnd();
  w.FlushBuffer();
  s.SetPosition(0);
  TValueReader r(s);
  r.ReadSignature();
  r.ReadListBegin();
  for (int32_t v : {INT32_MIN, -32768, 32767, 0, INT32_MAX}) EXPECT_EQ(r.ReadInteger(), v);
  for (long double f : floats) {
    long double got = r.ReadFloat();
    EXPECT_EQ(got, f);
    EXPECT_EQ(std::signbit(got), std::signbit(f));
  }
  EXPECT_TRUE(std::isnan(r.ReadFloat()));
  EXPECT_EQ(r.ReadString(), Cz("Žluťoučký kůň"));
  EXPECT_EQ(r.ReadRawString(), all);
  EXPECT_TRUE(r.EndOfList());
  EXPECT_EQ(r.BytesLeft(), 0);
}

TEST(ValueStreamMalformed, TruncationAndHostileCountsRaiseReadErrors) {
  const std::string valid = Encode([](TValueWriter& w) {
    w.WriteSignature();
    w.WriteInteger(100000);
    w.WriteString(std::string(300, 'y'));
    w.WriteFloat(2.5L);
  });
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    TStringStream s(valid.substr(0, cut));
    TValueReader r(s);
    EXPECT_THROW(
        {
          r.ReadSignature();
          r.ReadInteger();
          r.ReadString();
          r.ReadFloat();
        },
        EReadError)
        << cut;
  }
  struct Row {
    std::string bytes;
    const char* message;
  } rows[] = {
      {std::string("\x0C\xFF\xFF\xFF\xFF", 5) + "abc", "Stream read error"},
      {std::string("\x14\xFF\xFF\xFF\xFF", 5), "Stream read error"},
      {std::string("\x07\x00", 2), "Invalid stream format"},
      {std::string("\x09", 1), "Invalid stream format"},
  };
  for (const Row& row : rows) {
    TStringStream s(row.bytes);
    TValueReader r(s);
    try {
      r.ReadString();
      ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), row.message);
    }
  }
  TStringStream wrongSignature("TPF1");
  TValueReader r(wrongSignature);
  EXPECT_THROW(r.ReadSignature(), EReadError);
}

}  // namespace
