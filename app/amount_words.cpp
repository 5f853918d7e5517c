#include "app/amount_words.h"

#include <array>
#include <string_view>

#include "platform/rtl/system.h"

namespace {

using WordTable = std::array<AnsiString, 10>;

// The tables are converted to CP1250 once, on first use (not during static
// initialisation, which may run before the code-page tables exist).
WordTable Convert(const std::array<std::string_view, 10>& utf8) {
  WordTable table;
  for (std::size_t i = 0; i < utf8.size(); ++i) table[i] = Cz(utf8[i]);
  return table;
}

const WordTable& Ones() {
  static const WordTable table = Convert(
      {"", " jedna", " dva", " tři", " čtyři", " pět", " šest", " sedm", " osm", " devět"});
  return table;
}

// Indexed by the second digit of "10" .. "19".
const WordTable& Teens() {
  static const WordTable table =
      Convert({" deset", " jedenáct", " dvanáct", " třináct", " čtrnáct", " patnáct", " šestnáct",
               " sedmnáct", " osmnáct", " devatenáct"});
  return table;
}

// Entries 0 and 1 are never used (no tens word, teens instead).
const WordTable& Tens() {
  static const WordTable table = Convert({"", "", " dvacet", " třicet", " čtyřicet", " padesát", " šedesát",
                                          " sedmdesát", " osmdesát", " devadesát"});
  return table;
}

const WordTable& Hundreds() {
  static const WordTable table = Convert({"", " jednosto", " dvěstě", " třista", " čtyřista", " pětset",
                                          " šestset", " sedmset", " osmset", " devětset"});
  return table;
}

const WordTable& Thousands() {
  static const WordTable table =
      Convert({"", " jeden tisíc", " dva tisíce", " tři tisíce", " čtyři tisíce", " pět tisíc", " šest tisíc",
               " sedm tisíc", " osm tisíc", " devět tisíc"});
  return table;
}

const WordTable& HundredsOfThousands() {
  static const WordTable table = Convert({"", " sto", " dvě stě", " tři sta", " čtyři sta", " pět set",
                                          " šest set", " sedm set", " osm set", " devět set"});
  return table;
}

// The joining word after a teens or hundreds-of-thousands word, without a
// blank of its own.
const AnsiString& JoinedThousand() {
  static const AnsiString word = Cz("tisíc");
  return word;
}

const AnsiString& SpacedThousand() {
  static const AnsiString word = Cz(" tisíc");
  return word;
}

// True when digits is exactly `count` decimal digits; every routine checks
// this first so that no table is ever read out of range.
bool IsDigits(const AnsiString& digits, std::size_t count) {
  if (digits.size() != count) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

std::size_t Digit(const AnsiString& digits, std::size_t i) { return static_cast<std::size_t>(digits[i] - '0'); }

}  // namespace

AnsiString WordsOneDigit(const AnsiString& digits) {
  if (!IsDigits(digits, 1)) return {};
  return Ones()[Digit(digits, 0)];
}

AnsiString WordsTwoDigits(const AnsiString& digits) {
  if (!IsDigits(digits, 2)) return {};
  const std::size_t a = Digit(digits, 0);
  if (a == 0) return WordsOneDigit(digits.substr(1));
  if (a == 1) return Teens()[Digit(digits, 1)];
  return Tens()[a] + WordsOneDigit(digits.substr(1));
}

AnsiString WordsThreeDigits(const AnsiString& digits) {
  if (!IsDigits(digits, 3)) return {};
  return Hundreds()[Digit(digits, 0)] + WordsTwoDigits(digits.substr(1));
}

AnsiString WordsFourDigits(const AnsiString& digits) {
  if (!IsDigits(digits, 4)) return {};
  return Thousands()[Digit(digits, 0)] + WordsThreeDigits(digits.substr(1));
}

AnsiString WordsFiveDigits(const AnsiString& digits) {
  if (!IsDigits(digits, 5)) return {};
  const std::size_t a = Digit(digits, 0);
  if (a == 0) return WordsFourDigits(digits.substr(1));
  if (a == 1) return Teens()[Digit(digits, 1)] + JoinedThousand() + WordsThreeDigits(digits.substr(2));
  // With a zero second digit the thousands word has nothing to name and the
  // word for thousand stands alone; otherwise it names them.
  if (Digit(digits, 1) == 0) return Tens()[a] + SpacedThousand() + WordsThreeDigits(digits.substr(2));
  return Tens()[a] + WordsFourDigits(digits.substr(1));
}

AnsiString WordsSixDigits(const AnsiString& digits) {
  if (!IsDigits(digits, 6)) return {};
  const AnsiString& head = HundredsOfThousands()[Digit(digits, 0)];
  if (digits.compare(1, 2, "00") != 0) return head + WordsFiveDigits(digits.substr(1));
  return head + JoinedThousand() + WordsThreeDigits(digits.substr(3));
}

AnsiString AmountInWords(int32_t value) {
  // Callers pass the integer part of an absolute amount; a negative value
  // has no words rather than a minus sign read as a digit.
  if (value < 0) return {};
  const AnsiString digits = std::to_string(value);
  switch (digits.size()) {
    case 1: return WordsOneDigit(digits);
    case 2: return WordsTwoDigits(digits);
    case 3: return WordsThreeDigits(digits);
    case 4: return WordsFourDigits(digits);
    case 5: return WordsFiveDigits(digits);
    case 6: return WordsSixDigits(digits);
    default: return {};
  }
}
