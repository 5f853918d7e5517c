// Format, the exception root and the integer/text helpers.
#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

const std::string kNbsp = "\xA0";

TEST(Format, DirectivesProduceTheClassLibraryTexts) {
  struct Case {
    AnsiString got;
    AnsiString want;
  } cases[] = {
      {Format("%d", 42), "42"},
      {Format("%5d|%-5d|", 42, -42), "   42|-42  |"},
      {Format("%.3d", -5), "-005"},
      {Format("%d %u", int64_t{-9223372036854775807LL - 1}, uint64_t{18446744073709551615ULL}),
       "-9223372036854775808 18446744073709551615"},
      {Format("%x %.4X", 255, 10u), "FF 000A"},
      {Format("%s", "text"), "text"},
      {Format("[%6s][%-6s][%.2s]", "ab", "ab", "abcd"), "[    ab][ab    ][ab]"},
      {Format("%1:s %0:s %s", "a", "b"), "b a b"},
      {Format("%*d|%-*d|%.*f", 4, 7, 3, 8, 1, 2.25), "   7|8  |2,3"},
      {Format("%8.2f", 3.14159), "    3,14"},
      {Format("%f %f", 0.125, -0.125), "0,13 -0,13"},
      {Format("%.0f %.1f", 2.5, 0.05), "3 0,1"},
      {Format("%n", 1234567.891), "1" + kNbsp + "234" + kNbsp + "567,89"},
      {Format("%e", 1234.5), "1,23450000000000E+003"},
      {Format("%.3e", -0.000123456), "-1,23E-004"},
      {Format("%g %g", 0.5, 1e20), "0,5 1E020"},
      {Format("%m %m", 1234.5, -3.0), "1" + kNbsp + "234,50 " + Cz("Kč -3,00 Kč")},
      {Format("100%% %D %S", 1, "x"), "100% 1 x"},
      {Format("no directives"), "no directives"},
      {FormatWith(DotDecimalSettings(), "%.1f %n", 2.25, 1234.5), "2.3 1234.50"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Format, ArgumentsAreInsertedVerbatim) {
  EXPECT_EQ(Format("Soubor %s nelze otevřít (%d)", "C:\\data\\100%s%d.dbf", 5),
            "Soubor C:\\data\\100%s%d.dbf nelze otevřít (5)");
  EXPECT_EQ(Format("%s%s", "%", "%%"), "%%%");
}

TEST(Format, MismatchedOrMissingArgumentsRaise) {
  auto raises = [](auto call, const std::string& fmt) {
    try {
      call();
      ADD_FAILURE() << "no exception for " << fmt;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Format '" + fmt + "' invalid or incompatible with argument");
    }
  };
  raises([] { Format("%d", "x"); }, "%d");
  raises([] { Format("%s", 1); }, "%s");
  raises([] { Format("%f", 1); }, "%f");
  raises([] { Format("%d", 1.5); }, "%d");
  raises([] { Format("%d %d", 1); }, "%d %d");
  raises([] { Format("%s"); }, "%s");
  raises([] { Format("%2:s", "a"); }, "%2:s");
  raises([] { Format("%*d", "x", 1); }, "%*d");
  raises([] { Format("50%"); }, "50%");
  raises([] { Format("%5", 1); }, "%5");
  raises([] { Format("%.2", 1.0); }, "%.2");
  raises([] { Format("%k", 1); }, "%k");
  raises([] { Format("%999999999d", 1); }, "%999999999d");
  raises([] { Format("file %s: %q", "a%s.dbf"); }, "file %s: %q");
}

TEST(Exceptions, MessageIsCp1250AndWhatIsUtf8) {
  try {
    throw EReadError(Cz("Chyba čtení"));
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Chyba \xE8ten\xED");
    EXPECT_STREQ(e.what(), "Chyba čtení");
  }
  Exception e("a");
  e.SetMessage(Cz("ž"));
  EXPECT_STREQ(e.what(), "ž");
  EXPECT_TRUE((std::is_base_of_v<EStreamError, EWriteError>));
  EXPECT_TRUE((std::is_base_of_v<EMathError, EZeroDivide>));
}

TEST(IntegerText, StrToIntAcceptsDecimalAndHexadecimalForms) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"12", true, 12},          {"  12", true, 12},      {"-12", true, -12},
      {"+7", true, 7},           {"007", true, 7},        {"$FF", true, 255},
      {"$ff", true, 255},        {"0x1A", true, 26},      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},   {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"", false, 0},            {" ", false, 0},         {"12 ", false, 0},
      {"2147483648", false, 0},  {"-2147483649", false, 0}, {"$100000000", false, 0},
      {"1.5", false, 0},         {"abc", false, 0},       {"$", false, 0},
      {"0x", false, 0},          {"--1", false, 0},       {"+-1", false, 0},
      {"$G", false, 0},          {"1e3", false, 0},       {"- 1", false, 0},
  };
  for (const Case& c : cases) {
    int value = -99;
    EXPECT_EQ(TryStrToInt(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << c.text;
  }
  try {
    StrToInt("12a%s");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12a%s' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToHex(0xABC, 6), "000ABC");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");
}

TEST(TextHelpers, TrimCaseAndReplaceWorkOnBytes) {
  EXPECT_EQ(Trim(" \t\r\n ab c\x01 "), "ab c");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // no-break space is text
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(UpperCase(Cz("abč")), Cz("ABč"));  // ASCII only
  EXPECT_EQ(LowerCase("AbC"), "abc");
  EXPECT_LT(CompareStr("a", "b"), 0);
  EXPECT_GT(CompareStr("ab", "a"), 0);
  EXPECT_LT(CompareStr("Z", "a"), 0);  // ordinal
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
  EXPECT_TRUE(SameText("Dbf", "DBF"));
  EXPECT_FALSE(SameText(Cz("č"), Cz("Č")));  // ASCII only
  EXPECT_EQ(StringOfChar('x', 3), "xxx");
  EXPECT_EQ(StringOfChar('x', -1), "");
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(StringReplaceAll("a.b.c", ".", ".."), "a..b..c");
  EXPECT_EQ(StringReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(StringReplaceAll("abc", "", "x"), "abc");
}

TEST(FormatMalformed, RandomFormatTextsRaiseOrFormat) {
  std::vector<std::string> seeds = {"%d %s %5.2f %-*x %1:s %%", "%n %m %e %g %.*u", "50%",
                                    "%0:s%1:d%2:f%3:u"};
  RunRandomInputs(seeds, [](const std::string& fmt) {
    try {
      Format(fmt, 1, "a%s", 2.5, 3u, -4, 5.0);
    } catch (const EConvertError&) {
    }
  });
}

}  // namespace
