// Variant: kinds, conversions, arithmetic and the math errors of
// non-finite results.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/variant.h"

namespace {

TEST(Variant, KindsAndConversions) {
  struct Row {
    Variant v;
    TVarType type;
    bool asBool;
    double asDouble;
    const char* asString;
  } rows[] = {
      {Variant(), varEmpty, false, 0, ""},
      {Variant(true), varBoolean, true, -1, "True"},
      {Variant(false), varBoolean, false, 0, "False"},
      {Variant(int64_t{-7}), varInt64, true, -7, "-7"},
      {Variant(2.5), varDouble, true, 2.5, "2,5"},  // the Czech decimal comma
      {Variant(0.0), varDouble, false, 0, "0"},
      {Variant("3,25"), varString, true, 3.25, "3,25"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.asString);
    EXPECT_EQ(row.v.VarType(), row.type);
    EXPECT_EQ(row.v.AsBool(), row.asBool);
    EXPECT_EQ(row.v.AsDouble(), row.asDouble);
    EXPECT_EQ(row.v.AsString(), row.asString);
  }
  EXPECT_TRUE(Variant("True").AsBool());
  EXPECT_FALSE(Variant("false").AsBool());
  EXPECT_TRUE(VarIsEmpty(Unassigned));
  EXPECT_TRUE(VarIsNull(Variant::Null()));
  EXPECT_EQ(VarToStr(Variant::Null()), "");
  EXPECT_EQ(Variant(2.5).AsInt64(), 2);  // rounded half to even, as the class library does
  EXPECT_EQ(Variant(3.5).AsInt64(), 4);
  EXPECT_THROW(Variant("abc").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant::Null().AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant(1e300).AsInt64(), EVariantTypeCastError);
  Variant v("x");
  v.Clear();
  EXPECT_TRUE(v.IsEmpty());
}

TEST(Variant, ArithmeticOnNumbersAndTexts) {
  EXPECT_EQ((Variant(1) + Variant(2.5)).AsDouble(), 3.5);
  EXPECT_EQ((Variant(1) + Variant(2)).VarType(), varDouble);
  EXPECT_EQ((Variant(7.0) - Variant(int64_t{2})).AsDouble(), 5);
  EXPECT_EQ((Variant(3.0) * Variant(true)).AsDouble(), -3);
  EXPECT_EQ((Variant(7.0) / Variant(2.0)).AsDouble(), 3.5);
  EXPECT_EQ((Variant() + Variant(4.0)).AsDouble(), 4);
  EXPECT_EQ((Variant("ab") + Variant("cd")).AsString(), "abcd");
  EXPECT_EQ((Variant("ab") + Variant()).AsString(), "ab");
  EXPECT_TRUE((Variant::Null() + Variant(1.0)).IsNull());
  EXPECT_THROW(Variant("ab") + Variant(1.0), EVariantInvalidOpError);
  EXPECT_THROW(Variant("ab") - Variant("cd"), EVariantInvalidOpError);
}

TEST(Variant, NonFiniteResultsRaiseTheMathErrors) {
  struct Row {
    double a, b;
    char op;
    const char* kind;
    const char* message;
  } rows[] = {
      {1, 0, '/', "EZeroDivide", "Floating point division by zero"},
      {-1, 0, '/', "EZeroDivide", "Floating point division by zero"},
      {0, 0, '/', "EInvalidOp", "Invalid floating point operation"},
      {1e308, 1e308, '+', "EOverflow", "Floating point overflow"},
      {-1e308, 1e308, '-', "EOverflow", "Floating point overflow"},
      {1e200, 1e200, '*', "EOverflow", "Floating point overflow"},
      {1e308, 1e-10, '/', "EOverflow", "Floating point overflow"},
  };
  for (const Row& row : rows) {
    std::string kind, message;
    try {
      Variant a(row.a), b(row.b);
      switch (row.op) {
        case '+': (void)(a + b); break;
        case '-': (void)(a - b); break;
        case '*': (void)(a * b); break;
        default: (void)(a / b); break;
      }
    } catch (const EZeroDivide& e) {
      kind = "EZeroDivide", message = e.Message();
    } catch (const EInvalidOp& e) {
      kind = "EInvalidOp", message = e.Message();
    } catch (const EOverflow& e) {
      kind = "EOverflow", message = e.Message();
    }
    EXPECT_EQ(kind, row.kind) << row.a << row.op << row.b;
    EXPECT_EQ(message, row.message) << row.a << row.op << row.b;
  }
  EXPECT_THROW(CheckedFloat(std::numeric_limits<double>::quiet_NaN()), EInvalidOp);
  EXPECT_THROW(CheckedFloat(-std::numeric_limits<double>::infinity()), EOverflow);
  EXPECT_EQ(CheckedFloat(1e-320), 1e-320);  // underflow is no error
  EXPECT_EQ(CheckedDivide(1, 4), 0.25);
  // All of them are math errors, and every error is an Exception.
  EXPECT_THROW(CheckedDivide(1, 0), EMathError);
  EXPECT_THROW(CheckedDivide(0, 0), Exception);
}

TEST(Variant, DatesArraysAndCurrency) {
  Variant date = Variant::FromDateTime(45352.0);  // 1.3.2024
  EXPECT_EQ(date.VarType(), varDate);
  EXPECT_EQ(date.AsDateTime(), 45352.0);
  EXPECT_EQ(date.AsString(), "01.03.2024");
  EXPECT_EQ((date + Variant(1.0)).AsDouble(), 45353.0);
  EXPECT_EQ(Variant("1.3.2024").AsDateTime(), 45352.0);
  EXPECT_THROW(Variant("x").AsDateTime(), EVariantTypeCastError);

  Variant keys = Variant::Array({Variant("A"), Variant(2.0)}, 1);
  EXPECT_TRUE(keys.IsArray());
  EXPECT_EQ(keys.VarType(), varArray | varVariant);
  EXPECT_EQ(keys.ArrayCount(), 2);
  EXPECT_EQ(keys.ArrayLowBound(), 1);
  EXPECT_EQ(keys.ArrayHighBound(), 2);
  EXPECT_EQ(keys.Element(1).AsString(), "A");
  EXPECT_EQ(keys.Element(2).AsDouble(), 2);
  Variant copy = keys;  // copies share the elements, which never change
  EXPECT_EQ(copy.Element(2).AsDouble(), 2);
  EXPECT_THROW(keys.Element(0), EVariantError);
  EXPECT_THROW(Variant(1.0).Element(0), EVariantError);
  EXPECT_THROW(keys.AsString(), EVariantTypeCastError);
  EXPECT_EQ(Variant(1.0).ArrayCount(), 0);

  EXPECT_EQ(Currency::FromDouble(1.23456).scaled, 12346);
  EXPECT_EQ(Currency::FromDouble(-0.00005).scaled, -1);
  EXPECT_EQ(Currency::FromDouble(2.5).ToDouble(), 2.5);
  EXPECT_THROW(Currency::FromDouble(1e300), EOverflow);
}

TEST(Variant, ComparisonsAndModulus) {
  // Each row: a, b and the expected results of == != < > <= >=.
  const Variant null = Variant::Null();
  struct Row {
    Variant a, b;
    bool eq, ne, lt, gt, le, ge;
  } rows[] = {
      {Variant(2), Variant(3), false, true, true, false, true, false},
      {Variant(int64_t{9007199254740993}), Variant(int64_t{9007199254740992}),  // exact as integers
       false, true, false, true, false, true},
      {Variant(2), Variant(2.0), true, false, false, false, true, true},
      {Variant(true), Variant(-1), true, false, false, false, true, true},
      {Variant("2,5"), Variant(2.5), true, false, false, false, true, true},  // Czech decimal comma
      {Variant("cz"), Variant("ch"), false, true, true, false, true, false},  // "ch" sorts after "h"
      {Variant("abc"), Variant("abc"), true, false, false, false, true, true},
      {Variant(), Variant(""), true, false, false, false, true, true},
      {Variant::FromDateTime(45000), Variant(45000.5), false, true, true, false, true, false},
      {Variant::FromDateTime(EncodeDate(2024, 3, 1)), Variant("1.3.2024"), true, false, false, false, true, true},
      {null, Variant(1), false, true, false, false, false, false},
      {Variant(1), null, false, true, false, false, false, false},
      {null, null, false, false, false, false, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.a.AsString() + " vs " + r.b.AsString());
    EXPECT_EQ(r.a == r.b, r.eq);
    EXPECT_EQ(r.a != r.b, r.ne);
    EXPECT_EQ(r.a < r.b, r.lt);
    EXPECT_EQ(r.a > r.b, r.gt);
    EXPECT_EQ(r.a <= r.b, r.le);
    EXPECT_EQ(r.a >= r.b, r.ge);
  }
  Variant array = Variant::Array({Variant(1)});
  EXPECT_THROW((void)(array == Variant(1)), EVariantInvalidOpError);
  EXPECT_THROW((void)(Variant("abc") < Variant(1)), EVariantTypeCastError);

  EXPECT_EQ((Variant(7) % Variant(3)).AsInt64(), 1);
  EXPECT_EQ((Variant(-7) % Variant(3)).AsInt64(), -1);
  EXPECT_EQ((Variant(7.6) % Variant(3)).AsInt64(), 2);  // 8 mod 3
  EXPECT_EQ((Variant(INT64_MIN) % Variant(-1)).AsInt64(), 0);
  EXPECT_TRUE((null % Variant(3)).IsNull());
  EXPECT_THROW(Variant(7) % Variant(0), EDivByZero);
  EXPECT_THROW(array % Variant(2), EVariantInvalidOpError);
}

}  // namespace
