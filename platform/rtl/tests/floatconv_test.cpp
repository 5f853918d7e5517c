// Floating point <-> text: general, fixed, number, exponent and currency
// forms, pictures, ties-away rounding and parsing with either separator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/rtl/floatconv.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

const std::string kNbsp = "\xA0";

TEST(FloatText, GeneralFormUsesFifteenDigitsAndSwitchesToExponent) {
  struct Case {
    double value;
    const char* want;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1.5, "1,5"},
      {-2.25, "-2,25"},
      {0.1 + 0.2, "0,3"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {999999999999999, "999999999999999"},
      {1e15, "1E15"},
      {999999999999999.9, "1E15"},  // rounds up past the fixed range
      {1.5e20, "1,5E20"},
      {123456789012345678.0, "1,23456789012346E17"},
      {1e-5, "0,00001"},
      {1.2345e-5, "0,000012345"},
      {1e-6, "1E-6"},
      {-1.5e-7, "-1,5E-7"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::numeric_limits<double>::max(), "1,79769313486232E308"},
      {std::numeric_limits<double>::denorm_min(), "4,94065645841247E-324"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), c.want) << c.value;
  EXPECT_EQ(FloatToStr(1.5, DotDecimalSettings()), "1.5");
}

TEST(FloatText, FixedFormsRoundTiesAwayFromZero) {
  using F = TFloatFormat;
  struct Case {
    double value;
    F format;
    int precision, digits;
    std::string want;
  } cases[] = {
      {0.125, F::ffFixed, 15, 2, "0,13"},
      {-0.125, F::ffFixed, 15, 2, "-0,13"},
      {0.375, F::ffFixed, 15, 2, "0,38"},
      {2.5, F::ffFixed, 15, 0, "3"},
      {-2.5, F::ffFixed, 15, 0, "-3"},
      {1.005, F::ffFixed, 15, 2, "1,01"},  // 1,00499999999999989... as 15 digits is 1,005
      {2.675, F::ffFixed, 15, 2, "2,68"},
      {9.995, F::ffFixed, 15, 2, "10,00"},
      {0.004, F::ffFixed, 15, 2, "0,00"},
      {-0.001, F::ffFixed, 15, 2, "0,00"},  // no negative zero
      {0.5, F::ffFixed, 15, 0, "1"},
      {1234567.891, F::ffFixed, 15, 2, "1234567,89"},
      {123.456, F::ffFixed, 4, 3, "123,500"},  // precision limits significant digits
      {1e20, F::ffFixed, 15, 2, "1,00000000000000E+020"},
      {1234567.891, F::ffNumber, 15, 2, "1" + kNbsp + "234" + kNbsp + "567,89"},
      {-999.995, F::ffNumber, 15, 2, "-1" + kNbsp + "000,00"},
      {123.0, F::ffNumber, 15, 0, "123"},
      {1234.5, F::ffExponent, 4, 2, "1,235E+03"},
      {0.0, F::ffExponent, 3, 2, "0,00E+00"},
      {-1.5e-10, F::ffExponent, 2, 0, "-1,5E-10"},
      {1234.5, F::ffGeneral, 3, 0, "1,23E3"},
      {1234.5, F::ffGeneral, 4, 2, "1235"},
      {1234.5, F::ffCurrency, 15, 2, "1" + kNbsp + "234,50 " + Cz("Kč")},
      {-5, F::ffCurrency, 15, 2, "-5,00 " + Cz("Kč")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.want)
        << c.value << " format " << static_cast<int>(c.format);
  }
}

TEST(FloatText, PicturesPlaceDigitsSeparatorsAndSections) {
  struct Case {
    const char* picture;
    double value;
    std::string want;
  } cases[] = {
      {"#,##0.00", 1234.5, "1" + kNbsp + "234,50"},
      {"#,##0.00", 1234567, "1" + kNbsp + "234" + kNbsp + "567,00"},
      {"#,##0.00", -1234.5, "-1" + kNbsp + "234,50"},
      {"#,##0.00", 0, "0,00"},
      {"#,##0.00", 0.125, "0,13"},
      {"#,##0.00", -0.001, "0,00"},
      {"#,##0", 999.5, "1" + kNbsp + "000"},
      {"0.##", 1.5, "1,5"},
      {"0.##", 2, "2"},
      {"0.0#", 2, "2,0"},
      {"#", 0, ""},
      {"#.##", 0.5, ",5"},
      {"000", 7, "007"},
      {"0.000", 0.0005, "0,001"},
      {"0.00;(0.00)", -3.456, "(3,46)"},
      {"0.00;(0.00)", 3.456, "3,46"},
      {"0.00;-0.00;'nula'", 0.001, "nula"},
      {"0.00;;'nula'", -2, "-2,00"},
      {"\"Kč\" 0", 5, Cz("Kč 5")},
      {"0 'ks.'", 12, "12 ks."},
      {"00-00", 1234, "12-34"},
      {"0.00E+00", 1234.5, "1,23E+03"},
      {"0.0E-0", 0.00012, "1,2E-4"},
      {"00.0E+0", 1234.5, "12,3E+2"},
      {"0.00E+00", 0, "0,00E+00"},
      {"", 1.5, "1,5"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(Cz(c.picture), c.value), c.want) << c.picture;
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, DotDecimalSettings()), "1234.50");
}

TEST(FloatParse, DecimalSeparatorComesFromTheSettings) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"3,14", true, 3.14},      {"  -3,14  ", true, -3.14}, {"+1,5E3", true, 1500},
      {"1e-2", true, 0.01},      {",5", true, 0.5},          {"5,", true, 5},
      {"0", true, 0},            {"-0", true, 0},            {"007", true, 7},
      {"1E308", true, 1e308},    {"1e-400", true, 0},        {"0,000e999999999999", true, 0},
      {"3.14", false, 0},        {"", false, 0},             {" ", false, 0},
      {",", false, 0},           {"1 000", false, 0},        {"1,2,3", false, 0},
      {"1e", false, 0},          {"1e+", false, 0},          {"abc", false, 0},
      {"1e400", false, 0},       {"1e999999999999", false, 0}, {"--1", false, 0},
      {"1\xA0" "000", false, 0}, {"NAN", false, 0},         {"INF", false, 0},
      {"0x10", false, 0},        {"1,5 x", false, 0},       {"- 1", false, 0},
  };
  for (const Case& c : cases) {
    double value = -99;
    EXPECT_EQ(TryStrToFloat(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  EXPECT_EQ(StrToFloat("3.14", DotDecimalSettings()), 3.14);
  EXPECT_THROW(StrToFloat("3,14", DotDecimalSettings()), EConvertError);
  try {
    StrToFloat("3.14");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'3.14' is not a valid floating point value");
  }
}

TEST(FloatParse, TextOfAValueReadsBackToTheSameText) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 20000; ++i) {
    double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    AnsiString text = FloatToStr(v);
    double back = StrToFloat(text);
    ASSERT_EQ(FloatToStr(back), text) << v;
    ASSERT_LE(std::fabs(back - v), std::fabs(v) * 1e-14) << text;
  }
}

// Short decimals (amounts, quantities) take a direct route; it must give
// the digit-string route's text, which 16 digits of precision also take.
TEST(FloatFormat, ShortDecimalsReadAsTheirDigitsSay) {
  std::mt19937_64 rng(30);
  for (int i = 0; i < 200000; ++i) {
    const int decimals = static_cast<int>(rng() % 6);
    // Units of every length up to 15 digits, so that both the short and
    // the long values' routes are taken.
    const int64_t range = static_cast<int64_t>(std::pow(10.0, static_cast<double>(rng() % 15 + 1)));
    const double units = static_cast<double>(static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * range + 1)) - range);
    double v = units / std::pow(10.0, decimals);
    if (i % 3 == 0) v = std::nextafter(v, (rng() & 1) ? 1e300 : -1e300);  // just beside such a decimal
    if (i % 5 == 0) v = static_cast<double>(static_cast<int64_t>(rng() % 100000)) / 100 - 500;  // cents
    ASSERT_EQ(FloatToStr(v), FloatToStrF(v, TFloatFormat::ffGeneral, 16, 0)) << v;
  }
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(0.0001), "0,0001");
  EXPECT_EQ(FloatToStr(-1234.5), "-1234,5");
  EXPECT_EQ(FloatToStr(999999999999999.0), "999999999999999");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
}

TEST(FloatParseMalformed, RandomTextsAndPicturesNeverCrash) {
  std::vector<std::string> seeds = {"-1,5E+3", " 3,14 ", "#,##0.00;(#,##0.00);'nula'",
                                    "0.00E+00", "\"Kč\" 00-00"};
  RunRandomInputs(seeds, [](const std::string& text) {
    double value;
    if (TryStrToFloat(text, value)) {
      ASSERT_TRUE(std::isfinite(value));
    }
    FormatFloat(text, -1234.5678);
    FormatFloat(text, 1e300);
  });
}

}  // namespace
