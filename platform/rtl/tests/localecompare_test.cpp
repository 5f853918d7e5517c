// Czech collation of CP1250 texts: the alphabet's order with its digraph
// and háček letters, accents as a secondary and case as a tertiary
// difference, and the plain byte search.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/rtl/locale_compare.h"
#include "platform/rtl/system.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(LocaleCompare, CzechWordsSortInDictionaryOrder) {
  // Each word sorts strictly before the next one, in both comparisons.
  const char* ordered[] = {"cukr", "Cyril", "čaj", "Čech", "dům", "hrad", "hřbet", "chata",
                           "chléb", "ibis", "kos", "kós", "kot", "rum", "řeka", "sova",
                           "šok", "zima", "žena"};
  for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
    AnsiString a = Cz(ordered[i]), b = Cz(ordered[i + 1]);
    EXPECT_LT(AnsiCompareStr(a, b), 0) << ordered[i] << " < " << ordered[i + 1];
    EXPECT_GT(AnsiCompareStr(b, a), 0) << ordered[i + 1] << " > " << ordered[i];
    EXPECT_LT(AnsiCompareText(a, b), 0) << ordered[i] << " < " << ordered[i + 1];
  }
}

TEST(LocaleCompare, CaseCountsOnlyForTheCaseSensitiveForm) {
  struct Case {
    const char* a;
    const char* b;
    int str;   // AnsiCompareStr
    int text;  // AnsiCompareText
  } cases[] = {
      {"novák", "NOVÁK", -1, 0},  // lower case first, as the system sorts
      {"Novák", "Novák", 0, 0},
      {"NOVAK", "NOVÁK", -1, -1},  // the accent is a difference in both
      {"a", "B", -1, -1},          // the letter outweighs the case
      {"", "a", -1, -1},
      {"abc", "ab", 1, 1},
  };
  for (const Case& c : cases) {
    AnsiString a = Cz(c.a), b = Cz(c.b);
    EXPECT_EQ(Sign(AnsiCompareStr(a, b)), c.str) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(AnsiCompareText(a, b)), c.text) << c.a << " vs " << c.b;
    EXPECT_EQ(AnsiSameText(a, b), c.text == 0) << c.a << " vs " << c.b;
  }
}

TEST(LocaleCompare, SortingMixedCaseListIsCzechOrder) {
  std::vector<AnsiString> words = {Cz("Chrudim"), Cz("Hradec"), Cz("České Budějovice"),
                                   Cz("Cheb"), Cz("Brno"), Cz("Ústí"), Cz("Uherský Brod")};
  std::sort(words.begin(), words.end(),
            [](const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) < 0; });
  std::vector<AnsiString> expected = {Cz("Brno"), Cz("České Budějovice"), Cz("Hradec"),
                                      Cz("Cheb"), Cz("Chrudim"), Cz("Uherský Brod"), Cz("Ústí")};
  EXPECT_EQ(words, expected);
}

TEST(LocaleCompare, AnsiPosIsAByteSearch) {
  EXPECT_EQ(AnsiPos("b", "abc"), 2);
  EXPECT_EQ(AnsiPos("abc", "abc"), 1);
  EXPECT_EQ(AnsiPos("B", "abc"), 0);  // no case folding
  EXPECT_EQ(AnsiPos("", "abc"), 0);
  EXPECT_EQ(AnsiPos("abcd", "abc"), 0);
  EXPECT_EQ(AnsiPos(Cz("č"), Cz("účet č.")), 2);
}

}  // namespace

namespace {

TEST(LocaleCompare, ByLocaleIdMapsIdsToCollationsAndRefusesOthers) {
  // Results are 1 less, 2 equal, 3 greater, 0 failure.
  struct Case {
    uint32_t lcid;
    const char* a;
    const char* b;
    bool ignoreCase;
    int expected;
  } cases[] = {
      {1024, "hrad", "chata", false, 1},     // user default: Czech "ch" after "h"
      {2048, "chata", "hrad", false, 3},     // system default: the same collation
      {0x0405, "čaj", "cukr", false, 3},      // Czech
      {0x041B, "Novák", "novák", true, 2},    // Slovak, case ignored
      {0x041B, "novák", "Novák", false, 1},   // Slovak, lower case first
      {0x0407, "hrad", "chata", false, 3},    // German: "ch" is c + h
      {0x0409, "abc", "abd", false, 1},       // English
      {0x0415, "zima", "żona", false, 1},     // Polish
      {0x040E, "abc", "abc", false, 2},       // Hungarian
      {0x7777, "a", "b", false, 0},           // unknown language
      {0x0000, "a", "b", false, 0},           // neutral without a default
      {0x10405, "a", "b", false, 0},          // a sort id other than 0
  };
  for (const Case& c : cases) {
    AnsiString a = Cz(c.a), b = Cz(c.b);
    EXPECT_EQ(CompareStringByLocale(c.lcid, c.ignoreCase, a.data(), static_cast<int>(a.size()),
                                    b.data(), static_cast<int>(b.size())),
              c.expected)
        << c.lcid << " " << c.a << " vs " << c.b;
  }
  // The Czech ids agree with the program's own comparisons on every pair.
  const char* words[] = {"", "a", "A", "á", "ch", "Ch", "h", "č", "c", "Novák", "novak", "řeka"};
  for (const char* x : words) {
    for (const char* y : words) {
      AnsiString a = Cz(x), b = Cz(y);
      for (uint32_t lcid : {1024u, 2048u, 0x0405u}) {
        int na = static_cast<int>(a.size()), nb = static_cast<int>(b.size());
        EXPECT_EQ(CompareStringByLocale(lcid, false, a.data(), na, b.data(), nb) - 2,
                  Sign(AnsiCompareStr(a, b)))
            << x << " vs " << y;
        EXPECT_EQ(CompareStringByLocale(lcid, true, a.data(), na, b.data(), nb) - 2,
                  Sign(AnsiCompareText(a, b)))
            << x << " vs " << y;
      }
    }
  }
}

}  // namespace
