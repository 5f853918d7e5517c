// Calendar facts, the 60-year century rule, reading dates by a format and
// the small string helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "ui/common/date_util.h"
#include "ui/common/str_util.h"

namespace {

struct DateUtilFixture : ::testing::Test {
  TPinnedClock clock{EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0)};
  TFormatSettings saved = FormatSettings();
  void TearDown() override {
    FormatSettings() = saved;
    ResetFourDigitYear();
  }
};

using DateUtil = DateUtilFixture;

TEST_F(DateUtil, LeapYearsMonthLengthsAndValidity) {
  EXPECT_EQ(DaysPerMonth(1900, 2), 28);
  EXPECT_EQ(DaysPerMonth(2000, 2), 29);
  EXPECT_EQ(DaysPerMonth(2024, 2), 29);
  EXPECT_EQ(DaysPerMonth(2100, 2), 28);
  EXPECT_EQ(DaysPerMonth(2026, 4), 30);
  EXPECT_TRUE(IsValidDate(9999, 12, 31));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_FALSE(IsValidDate(2026, 13, 1));
  EXPECT_FALSE(IsValidDate(2026, 2, 29));
  EXPECT_TRUE(IsValidDate(EncodeDate(2026, 12, 8)));
  EXPECT_FALSE(IsValidDate(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(IsValidDate(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsValidDate(1e12));
  EXPECT_FALSE(IsValidDate(-1e12));
}

TEST_F(DateUtil, TwoDigitYearsExpandSixtyYearsBackFromTheCurrentYear) {
  struct Case {
    int current, year, expanded;
  } cases[] = {{2026, 66, 1966}, {2026, 99, 1999}, {2026, 0, 2000}, {2026, 65, 2065}, {2026, 100, 100},
               {2026, 2026, 2026}, {2061, 1, 2001}, {2061, 0, 2100}, {2061, 99, 2099}};
  for (const Case& c : cases) {
    clock.Set(EncodeDate(c.current, 6, 1));
    EXPECT_EQ(CurrentYear(), c.current);
    EXPECT_EQ(ExpandYear(c.year), c.expanded) << c.current << " " << c.year;
  }
}

TEST_F(DateUtil, DatesReadByPositionOrFreely) {
  struct Case {
    const char* format;
    const char* text;
    int y, m, d;  // y 0: no date
  } cases[] = {
      {"DD/MM/YYYY", "08.12.2026", 2026, 12, 8},
      {"DD/MM/YYYY", "8.12", 2026, 12, 8},
      {"DD/MM/YYYY", "8.12.26", 2026, 12, 8},
      {"DD/MM/YYYY", " 8 . 12 . ", 2026, 12, 8},
      {"DD/MM/YYYY", "31.02.2026", 0, 0, 0},
      {"DD/MM/YYYY", "1.1.10000", 0, 0, 0},
      {"DD/MM/YYYY", "1.1.1000", 1000, 1, 1},
      {"DD/MM/YYYY", "1.1", 2026, 1, 1},
      {"DD/MM/YYYY", "1", 0, 0, 0},
      {"DD/MM/YYYY", "1.1.2026x", 0, 0, 0},
      {"DD/MM/YYYY", " 8.1 .2026", 2026, 1, 8},     // blanks inside positions
      {"DD/MM/YYYY", "0812.2026", 0, 0, 0},
      {"DD/MM/YYYY", "08.12.    ", 2026, 12, 8},      // all-blank year: read freely
      {"DD/MM/YY", "08.12.70", 1970, 12, 8},
      {"MM/DD/YYYY", "12.08.2026", 2026, 12, 8},
      {"MM/DD/YYYY", "12.8", 2026, 12, 8},
      {"YYYY/MM/DD", "2026.12.08", 2026, 12, 8},
      {"YYYY/MM/DD", "26.12.8", 2026, 12, 8},
      {"DD/MMM/YYYY", "08.\xDANO.2026", 2026, 2, 8},  // "ÚNO"
      {"DD/MMM/YYYY", "08.\xFAno.2026", 2026, 2, 8},  // "úno"
      {"DD/MMM/YYYY", "08.xyz.2026", 0, 0, 0},
      {"MM/YYYY", "12/2026", 2026, 12, 1},            // no day: the first
      {"DD/MM", "08/12", 2026, 12, 8},                // no year: this year
  };
  for (const Case& c : cases) {
    TDateTime d;
    bool ok = TryStrToDateFmt(c.format, c.text, d);
    EXPECT_EQ(ok, c.y != 0) << c.format << " [" << c.text << "]";
    if (ok && c.y) {
      EXPECT_EQ(d, EncodeDate(c.y, c.m, c.d)) << c.format << " [" << c.text << "]";
    }
  }
  EXPECT_EQ(StrToDateFmt("DD/MM/YYYY", ""), NullDate);
}

TEST_F(DateUtil, StrictFailureNamesTheTextAndTheDefaultLosesItsTime) {
  try {
    StrToDateFmt("DD/MM/YYYY", "31.02.2026");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "''31.02.2026'' is not a valid date");
  }
  TDateTime def = EncodeDate(2020, 5, 6) + EncodeTime(13, 0, 0, 0);
  EXPECT_EQ(StrToDateFmtDef("DD/MM/YYYY", "31.02.2026", def), EncodeDate(2020, 5, 6));
  EXPECT_EQ(StrToDateFmtDef("DD/MM/YYYY", "1.2.2026", def), EncodeDate(2026, 2, 1));
  EXPECT_EQ(NvlDate(NullDate, def), def);
  EXPECT_EQ(NvlDate(1.0, def), 1.0);
}

TEST_F(DateUtil, EveryDayOfTwoCenturiesRoundTripsThroughBothDefaultFormats) {
  namespace chr = std::chrono;
  for (bool four : {true, false}) {
    AnsiString format = DefaultDateFormat(four);
    for (chr::sys_days day = chr::sys_days(chr::year(1900) / 1 / 1); day <= chr::sys_days(chr::year(2099) / 12 / 31);
         day += chr::days(1)) {
      chr::year_month_day ymd{day};
      int y = static_cast<int>(ymd.year()), m = static_cast<int>(unsigned(ymd.month())),
          d = static_cast<int>(unsigned(ymd.day()));
      if (!four && (y < 1966 || y > 2065)) continue;  // two digits cover the century window only
      char text[16];
      std::snprintf(text, sizeof text, four ? "%02d.%02d.%04d" : "%02d.%02d.%02d", d, m, four ? y : y % 100);
      TDateTime parsed;
      ASSERT_TRUE(TryStrToDateFmt(format, text, parsed)) << text;
      int py, pm, pd;
      DecodeDate(parsed, py, pm, pd);
      ASSERT_EQ(chr::year_month_day(chr::year(py) / pm / pd), ymd) << text;
    }
  }
}

TEST_F(DateUtil, DefaultFormatsAndMasksFollowTheShortDateOrder) {
  struct Case {
    const char* shortFormat;
    const char* four;
    const char* two;
    const char* mask4;
  } cases[] = {{"dd.MM.yyyy", "DD/MM/YYYY", "DD/MM/YY", "!99/99/9999;1;_"},
               {"M/d/yyyy", "MM/DD/YYYY", "MM/DD/YY", "!99/99/9999;1;_"},
               {"yyyy-MM-dd", "YYYY/MM/DD", "YY/MM/DD", "!9999/99/99;1;_"},
               {"yy-MM-dd", "YYYY/MM/DD", "YY/MM/DD", "!9999/99/99;1;_"},
               {"", "DD/MM/YYYY", "DD/MM/YY", "!99/99/9999;1;_"}};
  for (const Case& c : cases) {
    FormatSettings().ShortDateFormat = c.shortFormat;
    ResetFourDigitYear();
    EXPECT_EQ(DefaultDateFormat(true), c.four) << c.shortFormat;
    EXPECT_EQ(DefaultDateFormat(false), c.two) << c.shortFormat;
    EXPECT_EQ(DefaultDateMask('_', true), c.mask4) << c.shortFormat;
    EXPECT_EQ(DefaultDateMask(' ', false), "!99/99/99;1; ") << c.shortFormat;
    EXPECT_EQ(FourDigitYear(), AnsiString(c.shortFormat).find("yyyy") != AnsiString::npos) << c.shortFormat;
  }
  EXPECT_EQ(GetDateOrder("eeee"), doYMD);
  EXPECT_EQ(GetDateOrder("xx"), doDMY);
}

TEST(StrUtil, ReplaceEmptinessAndRepetition) {
  EXPECT_EQ(ReplaceStr("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceStr("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceStr("a.b.c", ".", ".."), "a..b..c");  // the replacement is not rescanned
  EXPECT_TRUE(IsEmptyStr(""));
  EXPECT_TRUE(IsEmptyStr("   "));
  EXPECT_FALSE(IsEmptyStr(" x "));
  EXPECT_TRUE(IsEmptyStr("_ _", " _"));
  EXPECT_EQ(MakeStr('x', 3), "xxx");
  EXPECT_EQ(MakeStr('x', 0), "");
  EXPECT_EQ(MakeStr('x', -1), "");
  EXPECT_EQ(Max(3, -4), 3);
  EXPECT_EQ(Min(3, -4), -4);
}

}  // namespace
