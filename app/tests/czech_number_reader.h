// A reader of Czech number words (UTF-8), written apart from the voucher's
// word builder so that the two can check each other. It splits the joined
// forms the voucher uses ("jednosto", "dvěstě", "stotisíc",
// "dvanácttisíc", "stětisíc"), then reads the words by the grammar of
// numerals: within a group of up to 999 the hundreds come first, then tens,
// then units (or a teen); "sto/stě/sta/set" multiply the single unit before
// them (bare "sto" is one hundred) and must agree with it; "tisíc/tisíce"
// close the group of thousands and must agree with its last number.
// Anything else (unknown word, wrong order, disagreement) reads as nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <algorithm>
#include <string_view>
#include <vector>

namespace app_test {

namespace czech_number_detail {

struct Word {
  std::string_view text;
  int value;
};

inline constexpr std::array<Word, 31> kSimpleWords{{
    {"jedna", 1},      {"jeden", 1},     {"jedno", 1},        {"dva", 2},        {"dvě", 2},
    {"tři", 3},        {"čtyři", 4},     {"pět", 5},          {"šest", 6},       {"sedm", 7},
    {"osm", 8},        {"devět", 9},     {"deset", 10},       {"jedenáct", 11},  {"dvanáct", 12},
    {"třináct", 13},   {"čtrnáct", 14},  {"patnáct", 15},     {"šestnáct", 16},  {"sedmnáct", 17},
    {"osmnáct", 18},   {"devatenáct", 19}, {"dvacet", 20},    {"třicet", 30},    {"čtyřicet", 40},
    {"padesát", 50},   {"šedesát", 60},  {"sedmdesát", 70},   {"osmdesát", 80},  {"devadesát", 90},
    {"nula", 0},
}};

inline constexpr std::array<std::string_view, 4> kHundredWords{"sto", "stě", "sta", "set"};

inline std::optional<int> SimpleValue(std::string_view word) {
  for (const Word& w : kSimpleWords)
    if (w.text == word) return w.value;
  return std::nullopt;
}

inline bool IsHundredWord(std::string_view word) {
  for (std::string_view h : kHundredWords)
    if (h == word) return true;
  return false;
}

inline bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() > suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// Splits one blank-separated token into the words it joins.
inline void SplitJoined(std::string_view token, std::vector<std::string_view>& out) {
  for (std::string_view thousand : {std::string_view("tisíce"), std::string_view("tisíc")}) {
    if (EndsWith(token, thousand)) {
      SplitJoined(token.substr(0, token.size() - thousand.size()), out);
      out.emplace_back(thousand);
      return;
    }
  }
  for (std::string_view hundred : kHundredWords) {
    // Only a unit word may carry a joined hundred ("šest" must not split).
    if (EndsWith(token, hundred) && SimpleValue(token.substr(0, token.size() - hundred.size()))) {
      out.emplace_back(token.substr(0, token.size() - hundred.size()));
      out.emplace_back(hundred);
      return;
    }
  }
  out.emplace_back(token);
}

// The hundreds word that agrees with n (1..9).
inline std::string_view HundredFor(int n) {
  if (n == 1) return "sto";
  if (n == 2) return "stě";
  if (n <= 4) return "sta";
  return "set";
}

}  // namespace czech_number_detail

// The number the words name, or nothing when they are not well-formed
// Czech numerals below a million. An empty text reads as 0.
inline std::optional<int64_t> ReadCzechNumber(std::string_view utf8) {
  using namespace czech_number_detail;
  std::vector<std::string_view> words;
  for (std::size_t start = 0; start < utf8.size();) {
    const std::size_t end = std::min(utf8.find(' ', start), utf8.size());
    if (end > start) SplitJoined(utf8.substr(start, end - start), words);
    start = end + 1;
  }

  int64_t total = 0;
  bool thousandsDone = false;
  // The group being read: its hundreds, tens and units so far.
  int hundreds = -1, tens = -1, units = -1;
  std::string_view lastUnitWord;
  auto group = [&] { return (hundreds < 0 ? 0 : hundreds) + (tens < 0 ? 0 : tens) + (units < 0 ? 0 : units); };
  auto reset = [&] { hundreds = tens = units = -1; lastUnitWord = {}; };

  for (std::string_view word : words) {
    if (word == "tisíc" || word == "tisíce") {
      const int n = group();
      if (thousandsDone || n == 0) return std::nullopt;
      const int last = n % 100 >= 10 && n % 100 < 20 ? n % 100 : n % 10;
      const bool few = last >= 2 && last <= 4;
      if ((word == "tisíce") != few) return std::nullopt;
      if (last == 1 && lastUnitWord != "jeden") return std::nullopt;
      total = static_cast<int64_t>(n) * 1000;
      thousandsDone = true;
      reset();
    } else if (IsHundredWord(word)) {
      if (hundreds >= 0 || tens >= 0) return std::nullopt;
      const int n = units < 0 ? 1 : units;
      if (units < 0 && word != "sto") return std::nullopt;
      if (units >= 0 && word != HundredFor(n)) return std::nullopt;
      hundreds = n * 100;
      units = -1;
      lastUnitWord = {};
    } else {
      const std::optional<int> value = SimpleValue(word);
      if (!value || *value == 0) return std::nullopt;
      if (units >= 0) return std::nullopt;
      if (*value >= 20) {
        if (tens >= 0) return std::nullopt;
        tens = *value;
      } else if (*value >= 10) {
        if (tens >= 0) return std::nullopt;
        tens = 0;
        units = *value;
      } else {
        units = *value;
        lastUnitWord = word;
      }
    }
  }
  return total + group();
}

}  // namespace app_test
