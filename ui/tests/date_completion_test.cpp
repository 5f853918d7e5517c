// Completion of partly typed dates and times against a base of 8 December
// 2026, in the Czech format and in month-first formats; random texts through
// the completion and the date reading by formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"
#include "ui/common/date_util.h"
#include "ui/edits/date_time_completion.h"

namespace {

struct CompletionFixture : ::testing::Test {
  TPinnedClock clock{EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0)};
  TFormatSettings saved = FormatSettings();
  TDateTime base = EncodeDate(2026, 12, 8);
  void TearDown() override { FormatSettings() = saved; }
};

struct Case {
  const char* in;
  const char* out;  // nullptr: rejected (text emptied)
};

void ExpectCompletions(bool (*complete)(AnsiString&, TDateTime), TDateTime base, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    AnsiString text = Cz(c.in);
    bool ok = complete(text, base);
    EXPECT_EQ(ok, c.out != nullptr) << "[" << c.in << "]";
    EXPECT_EQ(text, c.out ? Cz(c.out) : AnsiString()) << "[" << c.in << "]";
  }
}

using DateCompletion = CompletionFixture;

TEST_F(DateCompletion, PartlyTypedDatesTakeTheMissingPartsFromTheBase) {
  ExpectCompletions(CompleteDateText, base,
                    {
                        {"5", "5.12.2026"},          {"05", "05.12.2026"},       {"5.", "5.12.2026"},
                        {"5.3", "5.3.2026"},         {"5.3.", "5.3.2026"},       {"5,3", "5.3.2026"},
                        {"5-3", "5.3.2026"},         {"5*3", "5.3.2026"},        {"5+3", "5.3.2026"},
                        {"5/3", "5.3.2026"},         {"5:3", "5.3.2026"},        {"5?3", "5.3.2026"},
                        {"050326", "05.03.26"},      {"05a326", "05.a3.26"},     {"1234", nullptr},
                        {"123", nullptr},            {"1234567", nullptr},       {"5..3", nullptr},
                        {"5.3..", "5.3.."},          {"ab", nullptr},            {"5\xC5\xBE", nullptr},
                        {".", "08.12.2026"},         {".7", "08.12.2026"},       {"/x", "08.12.2026"},
                        {"12.12.2026xyz", "12.12.2026"}, {"5.3.26", "5.3.26"},   {"5.3.2026", "5.3.2026"},
                        {"5.3..", "5.3.."},          {"  5.3  ", "5.3.2026"},    {"5 .3", "5 .3.2026"},
                        {"15.3.2026123", "15.3.20261"},
                    });
  for (const char* blank : {"", "   "}) {
    AnsiString text = blank;
    EXPECT_TRUE(CompleteDateText(text, base));
    EXPECT_EQ(text, blank);
  }
}

TEST_F(DateCompletion, MonthFirstFormatsTakeThePartsByPosition) {
  FormatSettings().ShortDateFormat = "MM/dd/yyyy";
  FormatSettings().DateSeparator = '/';
  ExpectCompletions(CompleteDateText, base, {{"5", "5/08/2026"}, {"5-3", "5/3/2026"}, {"5/", "5/08/2026"}, {".", "12/08/2026"}});
  FormatSettings().ShortDateFormat = "yyyy-MM-dd";
  FormatSettings().DateSeparator = '-';
  ExpectCompletions(CompleteDateText, base, {{"5", "5-12-08"}, {"5.3", "5-3-08"}, {"050326", "05-03-26"}});
}

TEST_F(DateCompletion, PartlyTypedTimesTakeTheMissingPartsFromTheBase) {
  ExpectCompletions(CompleteTimeText, base,
                    {{"14", "14:00:00"},
                     {"14:30", "14:30:00"},
                     {"14.30", "14:30:00"},
                     {"14:", "14:00:00"},
                     {"14:30:", "14:30:00"},
                     {"14:30:15", "14:30:15"},
                     {"143015", "14:30:15"},
                     {":", "0:00:00"},
                     {"14::", nullptr},
                     {"1430", nullptr},
                     {"14:30:15:99", "14:30:15"},
                     {"1h", nullptr}});
  TDateTime now = base + EncodeTime(9, 5, 7, 0);
  ExpectCompletions(CompleteTimeText, now, {{"14", "14:05:07"}, {"14:30", "14:30:07"}, {".", "9:05:07"}});
}

TEST_F(DateCompletion, CompletedTextsConvertAndAreFixedPoints) {
  const char* dates[] = {"5", "5.3", "5.3.", "050326", ".", "5.3.26", " 7 . 1 "};
  for (const char* d : dates) {
    AnsiString text = d;
    ASSERT_TRUE(CompleteDateText(text, base)) << d;
    TDateTime converted;
    ASSERT_TRUE(TryStrToDate(text, converted)) << text;
    AnsiString again = text;
    EXPECT_TRUE(CompleteDateText(again, base));
    EXPECT_EQ(again, text) << d;
  }
  // The runtime's time reading takes what the completion produces.
  struct TimeCase {
    const char* text;
    bool ok;
  } times[] = {{"14:00:00", true}, {" 7 : 5 : 3 ", true}, {"23:59:59", true}, {"24:00:00", false}, {"0:60:00", false},
               {"0:00:60", false}, {"05:a3:26", false}};
  for (const TimeCase& t : times) {
    TDateTime value;
    EXPECT_EQ(TryStrToTime(t.text, value), t.ok) << t.text;
  }
}

TEST(DateCompletionMalformed, RandomTextsAreCompletedOrEmptied) {
  TPinnedClock clock(EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0));
  std::vector<std::string> seeds = {"5", "5.3", "5.3.", "050326", "1234", "5..3", "ab", ".7", "12.12.2026xyz",
                                    "14:30", "143015", "5?3", " 5 ", "\xE8\x9A\xFD", "*+,-./:?"};
  RandomInputOptions options;
  options.iterations = 100000;
  options.maxSize = 24;
  RunRandomInputs(seeds, [&](const std::string& input) {
    for (const char* format : {"DD/MM/YYYY", "MM/DD/YY", "DD/MMM/YYYY"}) {
      TDateTime date = StrToDateFmtDef(format, input, -1.0);
      ASSERT_TRUE(date == -1.0 || date == NullDate || IsValidDate(date)) << input;
    }
    for (auto complete : {CompleteDateText, CompleteTimeText}) {
      AnsiString text = input;
      bool ok = complete(text, EncodeDate(2026, 12, 8));
      if (!ok) {
        ASSERT_TRUE(text.empty()) << input;
      }
      if (ok && complete == CompleteDateText) {
        TDateTime d;
        if (TryStrToDate(text, d)) {
          AnsiString again = text;
          ASSERT_TRUE(CompleteDateText(again, EncodeDate(2026, 12, 8))) << input;
          ASSERT_EQ(again, text) << input;
        }
      }
    }
  }, options);
}

}  // namespace
