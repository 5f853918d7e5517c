// Mask matching: wildcards, sets, Czech case folding and bad masks.
#include <gtest/gtest.h>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/mask_matching.h"
#include "platform/rtl/system.h"

namespace {

TEST(MatchesMask, WildcardsSetsAndCase) {
  struct Row {
    const char* text;
    const char* mask;
    bool matches;
  } rows[] = {
      {"abc", "AB*", true},       {"ABD", "ab*", true},       {"xab", "AB*", false},
      {"", "*", true},            {"", "?", false},           {"abc", "a?c", true},
      {"ac", "a?c", false},       {"abc", "*c", true},        {"abcbc", "*bc", true},
      {"abcbd", "*bc", false},    {"b", "[abc]", true},       {"d", "[abc]", false},
      {"m", "[a-z]", true},       {"M", "[a-z]", true},       {"5", "[!a-z]", true},
      {"m", "[!a-z]", false},     {"a]", "[a]]", true},       {"aaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
  };
  for (const Row& r : rows) EXPECT_EQ(MatchesMask(r.text, r.mask), r.matches) << r.text << " ~ " << r.mask;
  // Czech letters fold to their upper case under CP1250.
  EXPECT_TRUE(MatchesMask(Cz("žluťoučký"), Cz("ŽLUŤ*")));
  EXPECT_TRUE(MatchesMask(Cz("Č"), Cz("[č]")));
  EXPECT_FALSE(MatchesMask(Cz("c"), Cz("[č]")));
}

TEST(MatchesMask, UnclosedSetIsAnError) {
  try {
    MatchesMask("abc", "ab[cd");
    FAIL() << "no error";
  } catch (const EMaskException& e) {
    EXPECT_STREQ(e.what(), "'ab[cd' is an invalid mask at (3)");
  }
}

TEST(ScopedFormatSettings, RestoresOnEveryExit) {
  const TFormatSettings before = FormatSettings();
  TFormatSettings fixed = before;
  fixed.DecimalSeparator = '.';
  fixed.ShortDateFormat = "dd/mm/yyyy";
  for (bool raise : {false, true}) {
    try {
      ScopedFormatSettings guard(fixed);
      EXPECT_EQ(FormatSettings().DecimalSeparator, '.');
      EXPECT_EQ(FormatSettings().ShortDateFormat, "dd/mm/yyyy");
      if (raise) throw EConvertError("x");
    } catch (const EConvertError&) {
    }
    EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);
    EXPECT_EQ(FormatSettings().ShortDateFormat, before.ShortDateFormat);
  }
}

}  // namespace
