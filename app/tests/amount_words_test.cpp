// The voucher's amount in Czech words: the pinned texts of every class of
// number (lengths, leading ones, inner zeros, each word piece), what falls
// outside the range, and every number below a million read back by an
// independent reader of Czech numerals.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "app/amount_words.h"
#include "app/tests/czech_number_reader.h"
#include "platform/rtl/codepages.h"

namespace {

std::string Words(int32_t value) { return AnsiToUtf8(AmountInWords(value)); }

TEST(AmountWords, EveryClassOfNumberGivesItsWords) {
  struct Case {
    int32_t value;
    const char* words;
  };
  const Case cases[] = {
      // One digit: every ones word.
      {0, ""}, {1, " jedna"}, {2, " dva"}, {3, " tři"}, {4, " čtyři"}, {5, " pět"}, {6, " šest"}, {7, " sedm"},
      {8, " osm"}, {9, " devět"},
      // Two digits: every teens word, every tens word, with and without units.
      {10, " deset"}, {11, " jedenáct"}, {12, " dvanáct"}, {13, " třináct"}, {14, " čtrnáct"}, {15, " patnáct"},
      {16, " šestnáct"}, {17, " sedmnáct"}, {18, " osmnáct"}, {19, " devatenáct"}, {20, " dvacet"},
      {21, " dvacet jedna"}, {34, " třicet čtyři"}, {40, " čtyřicet"}, {55, " padesát pět"}, {60, " šedesát"},
      {66, " šedesát šest"}, {77, " sedmdesát sedm"}, {80, " osmdesát"}, {99, " devadesát devět"},
      // Three digits: every hundreds word, inner zeros.
      {100, " jednosto"}, {101, " jednosto jedna"}, {110, " jednosto deset"}, {160, " jednosto šedesát"},
      {200, " dvěstě"}, {305, " třista pět"}, {419, " čtyřista devatenáct"}, {520, " pětset dvacet"},
      {600, " šestset"}, {742, " sedmset čtyřicet dva"}, {800, " osmset"}, {999, " devětset devadesát devět"},
      // Four digits: every thousands word.
      {1000, " jeden tisíc"}, {1001, " jeden tisíc jedna"}, {1960, " jeden tisíc devětset šedesát"},
      {2005, " dva tisíce pět"}, {3010, " tři tisíce deset"}, {4100, " čtyři tisíce jednosto"},
      {5000, " pět tisíc"}, {6666, " šest tisíc šestset šedesát šest"}, {7000, " sedm tisíc"},
      {8001, " osm tisíc jedna"}, {9999, " devět tisíc devětset devadesát devět"},
      // Five digits: teens joined to "tisíc"; tens with a zero and a non-zero
      // second digit.
      {10000, " desettisíc"}, {11000, " jedenácttisíc"}, {12345, " dvanácttisíc třista čtyřicet pět"},
      {19019, " devatenácttisíc devatenáct"}, {20000, " dvacet tisíc"}, {20001, " dvacet tisíc jedna"},
      {21000, " dvacet jeden tisíc"}, {25000, " dvacet pět tisíc"}, {32500, " třicet dva tisíce pětset"},
      {60000, " šedesát tisíc"}, {61000, " šedesát jeden tisíc"},
      {99999, " devadesát devět tisíc devětset devadesát devět"},
      // Six digits: every hundreds-of-thousands word; second and third
      // digits "00", "0x", "x0" and "xy".
      {100000, " stotisíc"}, {100500, " stotisíc pětset"}, {101000, " sto jeden tisíc"},
      {110000, " sto desettisíc"}, {115007, " sto patnácttisíc sedm"}, {200000, " dvě stětisíc"},
      {203000, " dvě stě tři tisíce"}, {250000, " dvě stě padesát tisíc"}, {260000, " dvě stě šedesát tisíc"},
      {300300, " tři statisíc třista"}, {404040, " čtyři sta čtyři tisíce čtyřicet"},
      {570000, " pět set sedmdesát tisíc"}, {666666, " šest set šedesát šest tisíc šestset šedesát šest"},
      {700001, " sedm settisíc jedna"}, {812000, " osm set dvanácttisíc"},
      {999999, " devět set devadesát devět tisíc devětset devadesát devět"},
      // Beyond six digits, and below zero, there are no words.
      {1000000, ""}, {1234567, ""}, {std::numeric_limits<int32_t>::max(), ""}, {-1, ""}, {-60, ""},
      {std::numeric_limits<int32_t>::min(), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Words(c.value), c.words) << c.value;
}

TEST(AmountWords, DigitRoutinesTakeLeadingZerosAndRefuseAnythingButTheirLength) {
  struct Case {
    AnsiString (*routine)(const AnsiString&);
    const char* digits;
    const char* words;
  };
  const Case cases[] = {
      {WordsTwoDigits, "07", " sedm"},
      {WordsThreeDigits, "000", ""},
      {WordsThreeDigits, "060", " šedesát"},
      {WordsFourDigits, "0100", " jednosto"},
      {WordsFiveDigits, "01000", " jeden tisíc"},
      {WordsOneDigit, "", ""},
      {WordsOneDigit, "x", ""},
      {WordsTwoDigits, "7", ""},
      {WordsThreeDigits, "1a0", ""},
      {WordsFourDigits, "-100", ""},
      {WordsSixDigits, "1000000", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(AnsiToUtf8(c.routine(c.digits)), c.words) << c.digits;
}

TEST(AmountWords, ReaderRefusesWordsThatAreNoCzechNumeral) {
  // The property below is only as good as the reader's strictness.
  const char* refused[] = {"šesesát",          "dva tisíc",         "pět tisíce",     "pět sto",
                           "jedna dvacet",     "dvacet třicet",     "deset pět",      "jednosto jednosto",
                           "tisíc",            "jeden tisíc tisíc", "jedna tisíc",    "dvanáct tisíce",
                           "sto dvěstě"};
  for (const char* text : refused) EXPECT_FALSE(app_test::ReadCzechNumber(text).has_value()) << text;
  EXPECT_EQ(app_test::ReadCzechNumber(" dvacet dva tisíce sto"), 22100);
}

TEST(AmountWords, EveryNumberBelowAMillionReadsBackAsItself) {
  const AnsiString doubleBlank = "  ";
  int failures = 0;
  for (int32_t n = 0; n < 1000000 && failures < 10; ++n) {
    const AnsiString words = AmountInWords(n);
    if (n == 0) {
      EXPECT_EQ(words, "");
      continue;
    }
    const bool shaped = words.size() > 1 && words[0] == ' ' && words[1] != ' ' && words.back() != ' ' &&
                        words.find(doubleBlank) == AnsiString::npos;
    const std::optional<int64_t> read = app_test::ReadCzechNumber(AnsiToUtf8(words));
    if (!shaped || read != n) {
      ++failures;
      ADD_FAILURE() << n << " gives \"" << AnsiToUtf8(words) << "\", read as "
                    << (read ? std::to_string(*read) : std::string("nothing"));
    }
  }
}

}  // namespace
