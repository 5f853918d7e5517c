// The OEM/ANSI translation tables and the key collation: reversibility,
// agreement with an independent code-page implementation, and the Czech
// alphabet order of index keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dbase/base/charset.h"
#include "dbase/base/os_layer.h"
#include "dbase/base/variant.h"

namespace {

TEST(OemAnsiTables, AreInversePermutationsKeepingControlCodes) {
  std::set<int> seen;
  for (int c = 0; c < 256; ++c) {
    seen.insert(AnsiToOemTable[c]);
    EXPECT_EQ(OemToAnsiTable[AnsiToOemTable[c]], c) << "ANSI byte " << c;
    EXPECT_EQ(AnsiToOemTable[OemToAnsiTable[c]], c) << "OEM byte " << c;
  }
  EXPECT_EQ(seen.size(), 256u);
  for (int c = 0; c <= 32; ++c) EXPECT_EQ(AnsiToOemTable[c], c);
}

TEST(OemAnsiTables, EveryByteSurvivesTranslationToOemAndBack) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  std::string buffer = all;
  AnsiToOemBytes(buffer.data(), buffer.data(), buffer.size());  // in place
  EXPECT_NE(buffer, all);
  OemToAnsiBytes(buffer.data(), buffer.data(), buffer.size());
  EXPECT_EQ(buffer, all);
  EXPECT_EQ(OemToAnsi(AnsiToOem(all)), all);
}

TEST(OemAnsiTables, CzechLettersMapToTheirCp852Codes) {
  struct Case {
    unsigned char ansi, oem;
  } cases[] = {
      {0xE1, 0xA0},  // á
      {0xC8, 0xAC},  // Č
      {0xE8, 0x9F},  // č
      {0xD8, 0xFC},  // Ř
      {0xF9, 0x85},  // ů
      {0x8E, 0xA6},  // Ž
      {0x9A, 0xE7},  // š
      {'A', 'A'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiToOemTable[c.ansi], c.oem) << std::hex << int(c.ansi);
    EXPECT_EQ(OemToAnsiTable[c.oem], c.ansi) << std::hex << int(c.oem);
  }
  std::string word = "\xC8" "e\x9A" "tina";  // "Čeština" in CP1250
  EXPECT_EQ(AnsiToOem(word), "\xAC" "e\xE7" "tina");
}

// Python's cp1250 and cp852 codecs are an implementation of both code pages
// that shares nothing with ours: for every CP1250 byte whose character
// exists in CP852 the table must give exactly that CP852 byte.
TEST(OemAnsiTablesCrosscheck, AgreeWithPythonCodecs) {
  const char* python = "/usr/bin/python3";
  if (std::FILE* probe = std::fopen(python, "r")) {
    std::fclose(probe);
  } else {
    GTEST_SKIP() << python << " is not installed; the code page cross-check needs it";
  }
  const char* script =
      "for b in range(33, 256):\n"
      "    try:\n"
      "        o = bytes([b]).decode('cp1250').encode('cp852')\n"
      "    except UnicodeError:\n"
      "        continue\n"
      "    print(b, o[0])\n";
  std::string command = std::string(python) + " -c \"" + script + "\"";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<int, int> pairs;
  int ansi = 0, oem = 0;
  while (std::fscanf(pipe, "%d %d", &ansi, &oem) == 2) pairs[ansi] = oem;
  ASSERT_EQ(pclose(pipe), 0);

  int high = 0;
  for (const auto& [a, o] : pairs) {
    EXPECT_EQ(AnsiToOemTable[a], o) << "CP1250 byte " << a;
    if (a >= 128) ++high;
  }
  EXPECT_EQ(pairs.size(), 95u + 99u);  // printable ASCII plus the high bytes
  EXPECT_EQ(high, 99);
}

TEST(Collation, WeightTableIsAPermutation) {
  std::set<int> weights(CollationWeights, CollationWeights + 256);
  EXPECT_EQ(weights.size(), 256u);
  EXPECT_EQ(KeyCollation, CollationWeights);
}

// The Czech alphabet in CP852, each letter as (upper, lower).
const std::vector<std::pair<unsigned char, unsigned char>> kCzechAlphabet = {
    {'A', 'a'},   {0xB5, 0xA0}, {'B', 'b'},   {'C', 'c'},   {0xAC, 0x9F}, {'D', 'd'},
    {0xD2, 0xD4}, {'E', 'e'},   {0x90, 0x82}, {0xB7, 0xD8}, {'F', 'f'},   {'G', 'g'},
    {'H', 'h'},   {'I', 'i'},   {0xD6, 0xA1}, {'J', 'j'},   {'K', 'k'},   {'L', 'l'},
    {'M', 'm'},   {'N', 'n'},   {0xD5, 0xE5}, {'O', 'o'},   {0xE0, 0xA2}, {'P', 'p'},
    {'Q', 'q'},   {'R', 'r'},   {0xFC, 0xFD}, {'S', 's'},   {0xE6, 0xE7}, {'T', 't'},
    {0x9B, 0x9C}, {'U', 'u'},   {0xE9, 0xA3}, {0xDE, 0x85}, {'V', 'v'},   {'W', 'w'},
    {'X', 'x'},   {'Y', 'y'},   {0xED, 0xEC}, {'Z', 'z'},   {0xA6, 0xA7},
};

TEST(Collation, CzechAlphabetSortsInOrderWithLowerCaseRightAfterUpper) {
  int previous = -1;
  for (const auto& [upper, lower] : kCzechAlphabet) {
    EXPECT_EQ(CollationWeights[lower], CollationWeights[upper] + 1) << std::hex << int(upper);
    EXPECT_GT(CollationWeights[upper], previous) << std::hex << int(upper);
    previous = CollationWeights[lower];
  }
}

int KeyCompare(const std::string& a, const std::string& b, int shorterResult = -1,
               int* position = nullptr) {
  TxbVariant x, y;
  x.SetText(a);
  y.SetText(b);
  return x.Compare(&y, position, CollationWeights, shorterResult);
}

TEST(Collation, KeysCompareByCzechAlphabetWithoutDigraph) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"\xAC" "ech", "Cyril", 1},   // Čech after Cyril: Č follows all of C
      {"chata", "cukr", -1},        // "ch" is two letters here
      {"NOVAK", "NOV\xB5K", -1},    // NOVAK before NOVÁK
      {"nov\xA0k", "NOV\xB5K", 1},  // lower case after upper, same accent
      {"\xA0", "b", -1},            // á before b, although its code is higher
      {"\xFC" "eka", "Sova", -1},   // Řeka before Sova
      {"Zebra", "\xA6" "aba", -1},  // Z before Ž
      {"abc", "abc", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyCompare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(KeyCompare(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(Collation, PrefixKeysFollowShorterResultAndReportPosition) {
  int position = -1;
  EXPECT_EQ(KeyCompare("AB", "ABC", -1, &position), -1);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(KeyCompare("AB", "ABC", 0, &position), 0);
  EXPECT_EQ(KeyCompare("ABC", "AB", -1, &position), 1);
  EXPECT_EQ(KeyCompare("ABC", "AB", 0, &position), 1);
  EXPECT_EQ(KeyCompare("ABX", "ABC", -1, &position), 1);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(KeyCompare("XBC", "ABC", -1, &position), 1);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(KeyCompare("ABC", "ABC", -1, &position), 0);
  EXPECT_EQ(position, 4);
}

}  // namespace
