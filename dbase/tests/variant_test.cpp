// TxbVariant: conversions between the kinds, the comparison rules, buffer
// reuse, and values that must not be read past their length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/base/variant.h"

namespace {

TxbVariant Text(const std::string& s) {
  TxbVariant v;
  v.SetText(s);
  return v;
}
TxbVariant Number(double d) {
  TxbVariant v;
  v.SetNumber(d);
  return v;
}
TxbVariant Day(int32_t day) {
  TxbVariant v;
  v.SetDate(day);
  return v;
}
TxbVariant Logical(bool b) {
  TxbVariant v;
  v.SetLogical(b);
  return v;
}
TxbVariant Raw(const std::string& bytes) {
  TxbVariant v;
  v.SetRaw(bytes.data(), static_cast<int32_t>(bytes.size()));
  return v;
}
std::string BytesOf(double d) { return std::string(reinterpret_cast<const char*>(&d), 8); }
std::string BytesOf(int32_t i) { return std::string(reinterpret_cast<const char*>(&i), 4); }

// Sentinels for conversions a case does not check (a text that is no
// number or no date raises instead; see the next test).
constexpr double kAny = -999.0;
constexpr int32_t kAnyDay = -999;

TEST(Variant, ConvertsEveryKindToTextNumberDateAndLogical) {
  struct Case {
    const char* name;
    TxbVariant value;
    const char* text;  // nullptr: not checked
    double number;
    int32_t date;
    bool logical;
  } cases[] = {
      {"empty", TxbVariant(), "", 0, 0, false},
      {"text number", Text("3,25"), "3,25", 3.25, kAnyDay, false},
      {"text date", Text("20240229"), "20240229", 20240229, 2460370, false},
      {"text display date", Text("29.02.2024"), "29.02.2024", kAny, 2460370, false},
      {"text true", Text("Ja"), "Ja", kAny, kAnyDay, true},
      {"text yes", Text("y"), "y", kAny, kAnyDay, true},
      {"text false", Text("N"), "N", kAny, kAnyDay, false},
      {"text blank", Text("   "), "   ", 0, 0, false},
      {"number", Number(1234.5), "1234,5", 1234.5, 1234, true},
      {"number fraction", Number(0.75), "0,75", 0.75, 0, false},
      {"number negative", Number(-2.5), "-2,5", -2.5, -2, true},
      {"date", Day(2460370), "29.02.2024", 2460370, 2460370, false},
      {"no date", Day(0), "          ", 0, 0, false},
      {"true", Logical(true), "T", 1, 0, true},
      {"false", Logical(false), "F", 0, 0, false},
      {"raw double", Raw(BytesOf(2.5)), nullptr, 2.5, 0, false},
      {"raw day", Raw(BytesOf(int32_t{2460370})), nullptr, kAny, 2460370, true},
      {"raw text", Raw("AB"), "AB", kAny, 0x4241, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.text != nullptr) {
      EXPECT_EQ(c.value.AsText(), c.text);
    }
    if (c.number != kAny) {
      EXPECT_EQ(c.value.AsNumber(), c.number);
    }
    if (c.date != kAnyDay) {
      EXPECT_EQ(c.value.AsDate(), c.date);
    }
    EXPECT_EQ(c.value.AsLogical(), c.logical);
  }
}

TEST(Variant, TextThatIsNoNumberRaisesConversionError) {
  EXPECT_THROW(Text("abc").AsNumber(), EConvertError);
  EXPECT_THROW(Text("3.25").AsNumber(), EConvertError);  // the decimal comma is the locale's
  EXPECT_THROW(Text("31.02.2024").AsDate(), EConvertError);
}

TEST(Variant, AsPCharCopiesTheTextTruncatedAndTerminated) {
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_STREQ(Text("Pokladna").AsPChar(buffer, sizeof buffer), "Pokla");
  EXPECT_STREQ(Number(1.5).AsPChar(buffer, sizeof buffer), "1,5");
  EXPECT_EQ(Text("abc").AsPChar(buffer, 0), buffer);
}

TEST(Variant, TextEditsApplyToTextsOnly) {
  TxbVariant v = Text("ab");
  v.PadText(5);
  EXPECT_EQ(v.AsText(), "ab   ");
  v.PadText(3);  // never shortens
  EXPECT_EQ(v.AsText(), "ab   ");
  v.TrimText();
  EXPECT_EQ(v.AsText(), "ab");
  v.SetText("\x9A" "koda");  // "škoda" in CP1250
  v.UpperText();
  EXPECT_EQ(v.AsText(), "\x8A" "KODA");
  EXPECT_EQ(v.Kind(), xbvText);

  TxbVariant n = Number(7);
  n.PadText(20);
  n.TrimText();
  EXPECT_EQ(n.Kind(), xbvNumber);
  EXPECT_EQ(n.Length(), 8);
  n.UpperText();  // the value as text
  EXPECT_EQ(n.Kind(), xbvText);
  EXPECT_EQ(n.AsText(), "7");
}

TEST(Variant, AppendRawMakesARawValueAndBuffersOnlyGrow) {
  TxbVariant v(4);
  v.SetText("abc");
  v.AppendRaw("defgh", 5);
  EXPECT_EQ(v.Kind(), xbvRaw);
  EXPECT_EQ(v.AsText(), "abcdefgh");
  EXPECT_GE(v.Capacity(), 8);
  int32_t capacity = v.Capacity();
  v.SetText("x");
  EXPECT_EQ(v.Capacity(), capacity);
  v.AppendRaw(v.Data(), v.Length());  // its own bytes
  EXPECT_EQ(v.AsText(), "xx");

  TxbVariant big(0);
  std::string long_(1000, 'k');
  big.SetText(long_);
  big.SetText(std::string_view(reinterpret_cast<const char*>(big.Data()) + 10, 500));
  EXPECT_EQ(big.AsText(), std::string(500, 'k'));
}

TEST(Variant, CopiesAreDeepAndNullAssignmentClears) {
  TxbVariant a = Text("first");
  TxbVariant b(a);
  a.SetText("second");
  EXPECT_EQ(b.AsText(), "first");
  b = a;
  EXPECT_EQ(b.AsText(), "second");
  b.Assign(nullptr);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.Length(), 0);
}

TEST(Variant, ComparesByTheSixRules) {
  TxbVariant empty, emptyToo;
  struct Case {
    const char* name;
    TxbVariant a;
    TxbVariant b;
    int expected;
  } cases[] = {
      {"empty vs empty", empty, emptyToo, 0},
      {"empty vs text", empty, Text("a"), -1},
      {"empty vs blank text", empty, Text(""), 0},
      {"text vs empty", Text("a"), empty, 1},
      {"no bytes vs bytes", Text(""), Text("a"), -1},
      {"no bytes vs no bytes", Text(""), Raw(""), 0},
      {"raw no bytes vs number", Raw(""), Number(-5), -1},
      {"text", Text("abd"), Text("abc"), 1},
      {"raw vs text by text", Raw("ABD"), Text("ABC"), 1},
      {"raw vs raw unsigned", Raw("\x80"), Raw("\x7F"), 1},
      {"raw prefix is less", Raw("AB"), Raw("ABC"), -1},
      {"raw vs number as numbers", Raw(BytesOf(2.0)), Number(10.0), -1},
      {"number vs raw as numbers", Number(10.0), Raw(BytesOf(2.0)), 1},
      {"numbers", Number(-1.5), Number(-1.25), -1},
      {"equal numbers", Number(3), Number(3), 0},
      {"dates", Day(2460370), Day(2460369), 1},
      {"raw vs date", Raw(BytesOf(int32_t{5})), Day(6), -1},
      {"true vs false", Logical(true), Logical(false), 1},
      {"false vs true", Logical(false), Logical(true), -1},
      {"logicals equal", Logical(true), Logical(true), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.a.Compare(&c.b), c.expected) << c.name;
  EXPECT_EQ(Text("a").Compare(nullptr), 1);
  EXPECT_EQ(empty.Compare(nullptr), 0);
}

TEST(Variant, ComparingDifferentKindsRaisesMismatch) {
  std::pair<TxbVariant, TxbVariant> pairs[] = {
      {Text("1"), Number(1)}, {Number(1), Text("1")}, {Day(1), Number(1)},
      {Logical(true), Text("T")}, {Day(1), Logical(false)},
  };
  for (const auto& [a, b] : pairs) {
    try {
      a.Compare(&b);
      ADD_FAILURE() << "kinds " << a.Kind() << " and " << b.Kind() << " compared";
    } catch (const EXbaseError& e) {
      EXPECT_EQ(e.Message(), "Variant types mismatch for compare");
    }
  }
}

TEST(Variant, WeightsApplyToTextsButNotToRawBytes) {
  // 'a' (0x61) weighs less than 'B' (0x42) under the collation.
  TxbVariant textA = Text("a"), rawA = Raw("a"), rawB = Raw("B"), textB = Text("B");
  EXPECT_EQ(textA.Compare(&textB, nullptr, CollationWeights), -1);
  EXPECT_EQ(textA.Compare(&textB), 1);
  EXPECT_EQ(rawA.Compare(&rawB, nullptr, CollationWeights), 1);
  EXPECT_EQ(rawA.Compare(&textB, nullptr, CollationWeights), -1);  // compared as text
}

TEST(Variant, CompareStoredTakesNumbersAsTheirBytes) {
  // -1.0 and 1.0 differ only in the sign bit of their last byte (0xBF vs
  // 0x3F): as numbers -1 is less, as bytes it is greater.
  TxbVariant minusOne = Number(-1), one = Number(1);
  EXPECT_EQ(minusOne.Compare(&one), -1);
  EXPECT_EQ(minusOne.CompareStored(&one), 1);
  TxbVariant rawOne = Raw(BytesOf(1.0));
  EXPECT_EQ(one.CompareStored(&rawOne), 0);
  TxbVariant shortRaw = Raw(BytesOf(1.0).substr(0, 4));
  EXPECT_EQ(shortRaw.CompareStored(&one), -1);  // an equal prefix: shorter is less
}

// A short raw value in a buffer that once held a longer one: the missing
// bytes are zero, not what the earlier value left behind.
TEST(Variant, ShortRawValuesNeverReadStaleOrForeignBytes) {
  TxbVariant v;
  v.SetNumber(1.5);
  const char two[2] = {0x12, 0x34};
  v.SetRaw(two, 2);
  double expected = 0;
  std::memcpy(&expected, two, 2);
  EXPECT_EQ(v.AsNumber(), expected);
  EXPECT_NE(v.AsNumber(), 1.5);
  EXPECT_EQ(v.AsDate(), 0x3412);

  TxbVariant tiny(0);  // capacity 0: any read past the length leaves the heap block
  tiny.SetRaw(two, 1);
  TxbVariant number = Number(0.0);
  EXPECT_EQ(tiny.Compare(&number), 1);  // 0x12 followed by zeros is a tiny positive double
  TxbVariant day = Day(0x12);
  EXPECT_EQ(tiny.Compare(&day), 0);
  TxbVariant none(0);
  none.SetRaw(nullptr, 0);
  EXPECT_EQ(none.Compare(&number), -1);
  EXPECT_EQ(none.AsNumber(), 0.0);
}

// The empty date of the expression language is 1e100; it and every other
// double outside the 32-bit day range must become "no date", not an
// undefined conversion.
TEST(Variant, NumbersOutsideTheDayRangeAreNoDate) {
  for (double value : {1e100, -1e100, 3e9, -3e9, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
    TxbVariant v = Number(value);
    EXPECT_EQ(v.AsDate(), 0) << value;
    EXPECT_EQ(DbfDate().JulianToDbfText(v.AsDate()), "        ") << value;
  }
  EXPECT_EQ(Number(2460370.75).AsDate(), 2460370);
  EXPECT_FALSE(Number(std::numeric_limits<double>::quiet_NaN()).AsLogical());
}

}  // namespace
