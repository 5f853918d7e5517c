// Dates: Julian day numbers against an independent calendar, the dBase
// date text, the display form and hostile date texts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "dbase/base/dates.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"
#include "testing/random_input.h"

namespace {

namespace chr = std::chrono;

// JDN of 1 January 1970, the epoch of std::chrono::sys_days.
constexpr int32_t kUnixEpochJdn = 2440588;

std::string ChronoDbfText(int32_t jdn) {
  chr::year_month_day ymd{chr::sys_days{chr::days{jdn - kUnixEpochJdn}}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", int(ymd.year()), unsigned(ymd.month()),
                unsigned(ymd.day()));
  return text;
}

// Restores the process format settings a test changes.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(FormatSettings()) {}
  ~SettingsGuard() { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

TEST(JulianDate, EveryDayOfYears1To9999RoundTripsAndMatchesTheIndependentCalendar) {
  const TxbDBFDate& dates = DbfDate();
  int failures = 0;
  for (int32_t day = TxbDBFDate::kFirstDay; day <= TxbDBFDate::kLastDay && failures < 10; ++day) {
    AnsiString text = dates.JulianToDbfText(day);
    std::string expected = ChronoDbfText(day);
    chr::weekday wd{chr::sys_days{chr::days{day - kUnixEpochJdn}}};
    int32_t back = dates.TextToJulian(text);
    if (text != expected || back != day ||
        dates.DayOfWeekJulian(day) != static_cast<int>(wd.c_encoding()) + 1) {
      ADD_FAILURE() << "day " << day << ": " << text << " (expected " << expected << "), back "
                    << back << ", weekday " << dates.DayOfWeekJulian(day);
      ++failures;
    }
  }
  int y, m, d;
  dates.DecodeJulian(2460370, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
}

TEST(JulianDate, DbfTextsConvertToDayNumbers) {
  struct Case {
    const char* text;
    int32_t day;
  } cases[] = {
      {"20240229", 2460370},
      {"20240229  ", 2460370},   // trailing blanks of a padded field
      {"20000229", 2451604},     // divisible by 400: leap year
      {"20230229", 2415019},     // impossible dates read as the zero date
      {"19000229", 2415019},     // divisible by 100: no leap year
      {"20241301", 2415019},
      {"20240100", 2415019},
      {"00000101", 2415019},     // there is no year 0
      {"18991230", 2415019},     // the zero date itself
      {"00010101", TxbDBFDate::kFirstDay},
      {"99991231", TxbDBFDate::kLastDay},
      {"00000000", 0},
      {"        ", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DbfDate().TextToJulian(c.text), c.day) << c.text;
}

TEST(JulianDate, OtherTextsGoThroughTheShortDateFormat) {
  EXPECT_EQ(DbfDate().TextToJulian("29.02.2024"), 2460370);
  EXPECT_EQ(DbfDate().TextToJulian("1.3.2024"), 2460371);
  EXPECT_THROW(DbfDate().TextToJulian("2024022"), EConvertError);  // seven digits
  EXPECT_THROW(DbfDate().TextToJulian("31.02.2024"), EConvertError);
  EXPECT_THROW(DbfDate().TextToJulian("yesterday"), EConvertError);
}

TEST(JulianDate, DaysOutsideYears1To9999AreNoDate) {
  struct Case {
    int32_t day;
    const char* text;
  } cases[] = {
      {5373484, "99991231"}, {5373485, "        "}, {1721426, "00010101"},
      {1721425, "        "}, {0, "        "},        {-5, "        "},
      {INT32_MAX, "        "}, {INT32_MIN, "        "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DbfDate().JulianToDbfText(c.day), c.text) << c.day;
    int y = -1, m = -1, d = -1;
    DbfDate().DecodeJulian(c.day, y, m, d);
    bool isDate = c.text[0] != ' ';
    EXPECT_EQ(y != 0, isDate) << c.day;
    EXPECT_EQ(DbfDate().DayOfWeekJulian(c.day) != 0, isDate) << c.day;
    EXPECT_EQ(DbfDate().JulianToDisplay(c.day) == "          ", !isDate) << c.day;
  }
}

TEST(JulianDate, DisplayFormIsTheShortDateFormatWithAFourDigitYear) {
  SettingsGuard guard;
  struct Case {
    const char* format;
    int32_t day;
    const char* expected;
  } cases[] = {
      {"dd.MM.yyyy", 2460370, "29.02.2024"},
      {"dd.MM.yyyy", 2460311, "01.01.2024"},
      {"dd.MM.yyyy", 0, "          "},
      {"dd.MM.yy", 2460370, "29.02.2024"},  // the year is widened
      {"dd.MM.yy", 0, "          "},        // and so is the blank form
      {"d.M.yyyy", 2460311, "1.1.2024"},
      {"d.M.yyyy", 2460594, "10.10.2024"},
      {"d.M.yyyy", 0, "        "},          // as wide as the format
  };
  for (const Case& c : cases) {
    FormatSettings().ShortDateFormat = c.format;
    EXPECT_EQ(DbfDate().JulianToDisplay(c.day), c.expected) << c.format << " " << c.day;
  }
}

TEST(JulianDate, TodayMatchesTheSystemClock) {
  auto now = chr::system_clock::now();
  int32_t approx = static_cast<int32_t>(
      chr::floor<chr::days>(now).time_since_epoch().count() + kUnixEpochJdn);
  // Local time may be a day off UTC.
  EXPECT_LE(std::abs(DbfDate().Today() - approx), 1);
}

TEST(JulianDate, DoublesBecomeDaysOnlyInsideTheIntegerRange) {
  struct Case {
    double value;
    int32_t day;
  } cases[] = {
      {2460370.0, 2460370},
      {2460370.9, 2460370},  // truncated towards zero
      {-3.7, -3},
      {2147483647.0, INT32_MAX},
      {-2147483648.0, INT32_MIN},
      {2147483648.0, 0},
      {3e9, 0},
      {1e100, 0},  // the expression language's empty date
      {-1e100, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {std::numeric_limits<double>::infinity(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DayFromDouble(c.value), c.day) << c.value;
}

// Date texts come from files and from the keyboard: any bytes must give a
// day, 0, the zero date or EConvertError — never a crash.
TEST(JulianDateMalformed, RandomTextsGiveADayOrAConversionError) {
  std::vector<std::string> seeds = {"20240229", "29.02.2024", "00000000", "        ",
                                    "99991231", "1.1.1",      "31.12.99", "2024022"};
  RunRandomInputs(
      seeds,
      [](const std::string& text) {
        try {
          int32_t day = DbfDate().TextToJulian(text);
          if (day != 0) {
            EXPECT_TRUE(TxbDBFDate::IsDate(day)) << text;
            EXPECT_EQ(DbfDate().JulianToDbfText(day).size(), 8u);
          }
        } catch (const EConvertError&) {
        }
      },
      RandomInputOptions{20261208, 3000, 64});
}

}  // namespace
