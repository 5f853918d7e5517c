// Code pages: byte round trips, UTF-8 decoding of broken input, the
// ANSI <-> OEM conversion and the case tables. The tables themselves are
// compared with an independent implementation by codepage_check.py.
#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"

namespace {

std::string AllBytes() {
  std::string s;
  for (int c = 0; c < 256; ++c) s += static_cast<char>(c);
  return s;
}

TEST(CodePages, EveryCp1250ByteSurvivesUtf8AndBack) {
  for (int c = 0; c < 256; ++c) {
    std::string one(1, static_cast<char>(c));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one)), one) << "byte " << c;
  }
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(AllBytes())), AllBytes());
}

TEST(CodePages, EveryByteOfBothPagesHasItsOwnCharacter) {
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<unsigned char>(c);
    EXPECT_EQ(UnicodeToCp1250(Cp1250ToUnicode(b)), c);
    EXPECT_EQ(UnicodeToCp852(Cp852ToUnicode(b)), c);
  }
  EXPECT_EQ(UnicodeToCp1250(0x0081), 0x81);  // an undefined byte keeps its value
  EXPECT_EQ(UnicodeToCp1250(0x0080), -1);    // 0x80 is the euro sign, not U+0080
  EXPECT_EQ(UnicodeToCp852(0x20AC), -1);
}

TEST(CodePages, Utf8ToAnsiReplacesWhatCp1250CannotHold) {
  struct Case {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"Příliš žluťoučký kůň", "P\xF8\xEDli\x9A \x9Elu\x9Do\x75\xE8k\xFD k\xF9\xF2"},
      {"€ „uvozovky“ – ‰", "\x80 \x84uvozovky\x93 \x96 \x89"},
      {"ø", "?"},                   // Latin-1 letter missing in CP1250
      {"a\xF0\x9D\x84\x9E" "b", "a?b"},  // four-byte character
      {"\xC3", "?"},                // truncated two-byte sequence
      {"x\xE2\x82", "x?"},          // truncated three-byte sequence is one "?"
      {"\xC0\xAF", "??"},           // overlong form: two invalid bytes
      {"\xED\xA0\x80", "???"},      // surrogate: no valid prefix
      {"\x80" "a", "?a"},           // stray continuation byte
      {"\xF5\x80\x80\x80", "????"}, // above U+10FFFF
      {"\xFF\xFE", "??"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

TEST(CodePages, OemConversionKeepsSharedCharactersAndMarksTheRest) {
  std::string ansi = AllBytes(), oem(256, '\0'), back(256, '\0');
  CharToOemBuff(ansi.data(), oem.data(), ansi.size());
  OemToCharBuff(oem.data(), back.data(), oem.size());
  int shared = 0;
  for (int c = 0; c < 256; ++c) {
    if (oem[c] != '?' || c == '?') {
      EXPECT_EQ(back[c], ansi[c]) << "byte " << c;
      if (c >= 0x80) ++shared;
    }
  }
  EXPECT_EQ(shared, 99);
  EXPECT_EQ(static_cast<unsigned char>(oem[0xE1]), 0xA0);  // á
  EXPECT_EQ(static_cast<unsigned char>(oem[0xC8]), 0xAC);  // Č
  EXPECT_EQ(oem[0x80], '?');                               // € has no CP852 byte

  std::string text = Cz("Účet č. 5"), expected = "\xE9\x9F" "et \x9F. 5";
  CharToOemBuff(text.data(), text.data(), text.size());  // in place
  EXPECT_EQ(text, expected);
}

TEST(CodePages, CaseTablesCoverCzechAndLeaveCaselessBytes) {
  EXPECT_EQ(AnsiUpperCase(Cz("příliš žluťoučký kůň úpěl ďábelské ódy")),
            Cz("PŘÍLIŠ ŽLUŤOUČKÝ KŮŇ ÚPĚL ĎÁBELSKÉ ÓDY"));
  EXPECT_EQ(AnsiLowerCase(Cz("ŠŤASTNÝ ŘÍJEN Ľ Ĺ Ŕ")), Cz("šťastný říjen ľ ĺ ŕ"));
  EXPECT_EQ(AnsiUpperCase(Cz("ß µ × ÷ 1 ˙")), Cz("ß µ × ÷ 1 ˙"));
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<unsigned char>(c);
    unsigned char up = AnsiUpperChar(b), low = AnsiLowerChar(b);
    if (up != b) {
      EXPECT_EQ(AnsiLowerChar(up), b) << "byte " << c;
    }
    if (low != b) {
      EXPECT_EQ(AnsiUpperChar(low), b) << "byte " << c;
    }
  }
}

TEST(CodePagesMalformed, RandomUtf8DecodesToOneByteAtMostPerInputByte) {
  std::vector<std::string> seeds = {AnsiToUtf8(AllBytes()), "Příliš žluťoučký kůň",
                                    "\xF0\x9D\x84\x9E\xE2\x82\xAC\xC3\xA1"};
  RunRandomInputs(seeds, [](const std::string& input) {
    AnsiString ansi = Utf8ToAnsi(input);
    ASSERT_LE(ansi.size(), input.size());
    // What came out is stable: it converts to UTF-8 and back unchanged.
    ASSERT_EQ(Utf8ToAnsi(AnsiToUtf8(ansi)), ansi);
  });
}

}  // namespace
