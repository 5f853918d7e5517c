// The calendar, time of day, date formatting and date/time parsing.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

// Civil date of a Julian day number by Fliegel and Van Flandern's integer
// formula, an independent route to the same proleptic Gregorian calendar.
void CivilOfJulianDay(long jdn, int& year, int& month, int& day) {
  long l = jdn + 68569;
  long n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  long i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  long j = 80 * l / 2447;
  day = static_cast<int>(l - 2447 * j / 80);
  l = j / 11;
  month = static_cast<int>(j + 2 - 12 * l);
  year = static_cast<int>(100 * (n - 49) + i + l);
}

int CurrentYear() {
  int y, m, d;
  DecodeDate(Date(), y, m, d);
  return y;
}

TEST(Calendar, EveryDayOfYears1To9999MatchesAnIndependentFormula) {
  const int first = -693593, last = 2958465;  // 1.1.0001 and 31.12.9999
  int expectedWeekday = DayOfWeek(first);
  for (int day = first; day <= last; ++day) {
    int y, m, d, ey, em, ed;
    DecodeDate(day, y, m, d);
    CivilOfJulianDay(day + 2415019L, ey, em, ed);
    if (y != ey || m != em || d != ed) {
      FAIL() << "day " << day << ": " << y << "-" << m << "-" << d << " vs " << ey << "-" << em
             << "-" << ed;
    }
    TDateTime back;
    ASSERT_TRUE(TryEncodeDate(y, m, d, back));
    ASSERT_EQ(back, day);
    ASSERT_EQ(DayOfWeek(day), expectedWeekday);
    expectedWeekday = expectedWeekday % 7 + 1;
  }
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2024, 2, 29), 45351);
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 8)), 3);  // a Tuesday
}

TEST(Calendar, InvalidDatesAndTimesAreRefused) {
  struct Case {
    int y, m, d;
  } dates[] = {{2023, 2, 29}, {1900, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2024, 13, 1},
               {2024, 0, 1},  {2024, 1, 0},  {2024, 4, 31}, {-5, 1, 1}};
  for (const Case& c : dates) {
    TDateTime out = -1;
    EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, out)) << c.y << "-" << c.m << "-" << c.d;
  }
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
  try {
    EncodeDate(2023, 2, 29);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Invalid argument to date encode");
  }
  TDateTime t;
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
}

TEST(Calendar, TimeOfDayDecodesToTheMillisecond) {
  struct Case {
    TDateTime value;
    int y, m, d, h, n, s, ms;
  } cases[] = {
      {EncodeDate(2024, 3, 5) + EncodeTime(23, 59, 59, 999), 2024, 3, 5, 23, 59, 59, 999},
      {EncodeTime(0, 0, 0, 1), 1899, 12, 30, 0, 0, 0, 1},
      {0.99999999999, 1899, 12, 31, 0, 0, 0, 0},  // rounds to the next midnight
      {-1.25, 1899, 12, 29, 6, 0, 0, 0},           // before the epoch: time stays positive
      {std::nan(""), 0, 0, 0, 0, 0, 0, 0},
      {std::numeric_limits<double>::infinity(), 0, 0, 0, 0, 0, 0, 0},
      {1e300, 0, 0, 0, 0, 0, 0, 0},
      {-1e300, 0, 0, 0, 0, 0, 0, 0},
      {2958466.5, 0, 0, 0, 12, 0, 0, 0},  // year 10000 is no date
  };
  for (const Case& c : cases) {
    int y, m, d, h, n, s, ms;
    DecodeDate(c.value, y, m, d);
    DecodeTime(c.value, h, n, s, ms);
    EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}),
              (std::array<int, 7>{c.y, c.m, c.d, c.h, c.n, c.s, c.ms}))
        << c.value;
  }
  EXPECT_EQ(DayOfWeek(std::nan("")), 0);
  TDateTime now = Now();
  EXPECT_GE(now, Date());
  EXPECT_LT(now, Date() + 1.0001);
  EXPECT_LT(Time(), 1.0);
}

TEST(DateFormat, FormatLettersFollowTheClassLibrary) {
  TDateTime v = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 45);
  struct Case {
    const char* format;
    const char* want;  // UTF-8
  } cases[] = {
      {"d.m.yy", "5.3.24"},
      {"dd.mm.yyyy", "05.03.2024"},
      {"DD.MM.YYYY", "05.03.2024"},
      {"ddd dddd", "út úterý"},
      {"mmm mmmm", "bře březen"},
      {"h:n:s.z", "7:8:9.45"},
      {"hh:mm:ss.zzz", "07:08:09.045"},
      {"H:mm", "7:08"},
      {"hh 'h' mm", "07 h 08"},   // "m" after an hour is minutes, literals between
      {"hh dd mm", "07 05 03"},   // ... but not after another letter
      {"yyyy/mm/dd", "2024.03.05"},
      {"\"dd\" d 'y'", "dd 5 y"},
      {"c", "05.03.2024 7:08:09"},
      {"x-#", "x-#"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, v), Cz(c.want)) << c.format;
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "05.03.2024");
  EXPECT_EQ(DateToStr(EncodeDate(1, 1, 1)), "01.01.0001");
  EXPECT_EQ(TimeToStr(EncodeTime(13, 5, 0, 0)), "13:05:00");
  EXPECT_EQ(FormatDateTime(FormatSettings().LongDateFormat, v), Cz("5. březen 2024"));
  EXPECT_EQ(FormatDateTime("dddd", EncodeDate(2026, 12, 6)), Cz("neděle"));
}

TEST(DateFormat, WholeDateAndTimePicturesAndTwelveHourClock) {
  TDateTime afternoon = EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 7, 0);
  TDateTime midnight = EncodeDate(2026, 12, 8) + EncodeTime(0, 30, 0, 0);
  struct Case {
    const char* format;
    TDateTime value;
    const char* want;  // UTF-8
  } cases[] = {
      {"ddddd", afternoon, "08.12.2026"},
      {"dddddd", afternoon, "8. prosinec 2026"},
      {"dddd", afternoon, "úterý"},
      {"t", afternoon, "14:05"},
      {"tt", afternoon, "14:05:07"},
      {"hh:nn ampm", afternoon, "02:05 odp."},
      {"h:nn AMPM", midnight, "12:30 dop."},
      {"hh:nn", afternoon, "14:05"},
      {"mm/dd/yy", afternoon, "12.08.26"},
      {"'ampm' hh", afternoon, "ampm 14"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, c.value), Cz(c.want)) << c.format;
}

// Texts longer than the formatter's buffer on the stack: literals, names
// and numbers that cross its end keep every byte.
TEST(DateFormat, LongPicturesKeepEveryPart) {
  TDateTime v = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 45);
  auto repeat = [](const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
  };
  const std::string literal(300, 'x');
  struct Case {
    std::string format;
    std::string want;
  } cases[] = {
      {repeat("-", 250) + "d", repeat("-", 250) + "5"},
      {"'" + literal + "' d", literal + " 5"},
      {"d '" + literal + "'", "5 " + literal},
      {repeat("dddd ", 40), repeat(Cz("úterý "), 40)},
      {repeat("hh:nn ", 30) + "yyyy", repeat("07:08 ", 30) + "2024"},
      {repeat("z", 1) + repeat("-zzz", 50), "45" + repeat("-045", 50)},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, v), c.want) << c.format;
}

TEST(DateParse, DayMonthYearWithShortAndLongParts) {
  int year = CurrentYear();
  struct Case {
    const char* text;
    int y, m, d;
  } cases[] = {
      {"5.3.2024", 2024, 3, 5},   {"05.03.2024", 2024, 3, 5}, {" 5 . 3 . 2024 ", 2024, 3, 5},
      {"29.2.2024", 2024, 2, 29}, {"1.1.0001", 1, 1, 1},      {"31.12.9999", 9999, 12, 31},
      {"5.3", year, 3, 5},        {" 05 . 03 ", year, 3, 5},
  };
  for (const Case& c : cases) {
    TDateTime date;
    ASSERT_TRUE(TryStrToDate(c.text, date)) << c.text;
    EXPECT_EQ(date, EncodeDate(c.y, c.m, c.d)) << c.text;
  }
  const char* bad[] = {"", "5", "5.", "32.1.2024", "29.2.2023", "5/3/2024", "5.3.2024x",
                       "1.2.3.4", "12345.1.1", "5..3", "5.3.", "a.b.c", "0.1.2024", "5.3.10000"};
  for (const char* text : bad) {
    TDateTime date;
    EXPECT_FALSE(TryStrToDate(text, date)) << text;
  }
  try {
    StrToDate("31.2.%s");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'31.2.%s' is not a valid date");
  }
}

TEST(DateParse, TwoDigitYearsFallInTheCenturyWindow) {
  int year = CurrentYear();
  for (int yy = 0; yy < 100; ++yy) {
    for (const char* pad : {"", "0"}) {
      std::string text = "1.1." + std::string(yy < 10 ? pad : "") + std::to_string(yy);
      int y, m, d;
      DecodeDate(StrToDate(text), y, m, d);
      EXPECT_EQ(y % 100, yy) << text;
      EXPECT_GE(y, year - 50) << text;
      EXPECT_LT(y, year + 50) << text;
    }
  }
  EXPECT_EQ(StrToDate("1.1.0024"), EncodeDate(24, 1, 1));  // four digits are taken as typed
}

TEST(DateParse, OrderFollowsTheShortDateFormat) {
  TFormatSettings us = FormatSettings();
  us.ShortDateFormat = "M/d/yyyy";
  us.DateSeparator = '/';
  TFormatSettings iso = FormatSettings();
  iso.ShortDateFormat = "yyyy-MM-dd";
  iso.DateSeparator = '-';
  EXPECT_EQ(StrToDate("3/5/2024", us), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate("2024-03-05", iso), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate("3-5", iso), EncodeDate(CurrentYear(), 3, 5));
  EXPECT_THROW(StrToDate("5.3.2024", us), EConvertError);
}

TEST(TimeParse, HoursMinutesAndOptionalSeconds) {
  struct Case {
    const char* text;
    bool ok;
    int h, n, s;
  } cases[] = {{"7:05", true, 7, 5, 0},   {" 23:59:59 ", true, 23, 59, 59},
               {"0:0", true, 0, 0, 0},    {"24:00", false, 0, 0, 0},
               {"7", false, 0, 0, 0},     {"7:60", false, 0, 0, 0},
               {"7:05:", false, 0, 0, 0}, {"7.05", false, 0, 0, 0}};
  for (const Case& c : cases) {
    TDateTime t;
    EXPECT_EQ(TryStrToTime(c.text, t), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(t, EncodeTime(c.h, c.n, c.s, 0)) << c.text;
    }
  }
  EXPECT_THROW(StrToTime("x"), EConvertError);
}

TEST(Clock, APinnedClockDrivesTodayNowAndTheMissingYearUntilItGoes) {
  TDateTime before = Date();
  {
    TPinnedClock clock(EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0));
    EXPECT_EQ(Date(), EncodeDate(2026, 12, 8));
    EXPECT_EQ(Time(), EncodeTime(9, 5, 7, 0));
    EXPECT_EQ(Now(), EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0));
    EXPECT_EQ(StrToDate("5.3"), EncodeDate(2026, 3, 5));
    {
      TPinnedClock inner(EncodeDate(2061, 1, 1));
      EXPECT_EQ(StrToDate("1.1.10"), EncodeDate(2110, 1, 1));  // window 2011..2110
    }
    EXPECT_EQ(Date(), EncodeDate(2026, 12, 8));
    clock.Set(EncodeDate(2030, 6, 1));
    EXPECT_EQ(StrToDate("5.3"), EncodeDate(2030, 3, 5));
  }
  EXPECT_GE(Date(), before);
}

TEST(DateParseMalformed, RandomTextsParseOrFailCleanly) {
  std::vector<std::string> seeds = {"05.03.2024", " 1.1.75 ", "29.2", "23:59:59", "dd.mm.yyyy c"};
  RunRandomInputs(seeds, [](const std::string& text) {
    TDateTime value;
    if (TryStrToDate(text, value)) {
      int y, m, d;
      DecodeDate(value, y, m, d);
      ASSERT_GE(y, 1);
      // A parsed date prints back as a date that parses to the same day.
      ASSERT_EQ(StrToDate(DateToStr(value)), value);
    }
    TryStrToTime(text, value);
    FormatDateTime(text, 45351.5);  // any text is a valid picture
  });
}

}  // namespace
