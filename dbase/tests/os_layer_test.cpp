// The engine's operating-system layer: wildcard search, file name helpers,
// buffer padding and the message table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "testing/random_input.h"

namespace {

TEST(Wildcard, FindsPatternsWithOuterStarsAndQuestionMarks) {
  struct Case {
    const char* pattern;
    const char* text;
    int position;
  } cases[] = {
      {"AB*", "AB", 1},  // the stars do not count towards the pattern's length
      {"*AB", "AB", 1},
      {"*AB*", "AB", 1},
      {"A?C*", "ABC", 1},
      {"ABCD*", "ABC", 0},
      {"", "x", 0},
      {"", "", 0},
      {"*", "x", 1},
      {"*", "", 1},
      {"**", "x", 1},
      {"AB*", "ABC", 1},
      {"AB*", "XAB", 2},  // the position; the caller decides what a match is
      {"*BC", "ABC", 2},
      {"BC", "ABC", 2},
      {"A?", "XAB", 2},     // "?" matches wherever the pattern is tried
      {"?", "", 0},
      {"?B", "AB", 1},
      {"*?B", "AB", 0},     // after a leading star "?" is an ordinary character
      {"*?B", "A?B", 2},
      {"a*", "ABC", 0},     // case counts
      {"A*C", "ABC", 0},    // a star inside is an ordinary character
      {"A*C", "A*C", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WildcardPos(c.pattern, c.text), c.position) << c.pattern << " in " << c.text;
}

TEST(Wildcard, SqlStyleCharactersCanBePassed) {
  EXPECT_EQ(WildcardPos("AB%", "AB", '%', '_'), 1);
  EXPECT_EQ(WildcardPos("A_C%", "ABCD", '%', '_'), 1);
  EXPECT_EQ(WildcardPos("A?C%", "ABCD", '%', '_'), 0);
  EXPECT_EQ(WildcardPos("%", "", '%', '_'), 1);
}

// Filter patterns come from users: any pattern against any text gives a
// position inside the text at which the pattern's core really matches.
TEST(WildcardMalformed, AnyPatternGivesAPositionInsideTheText) {
  std::vector<std::string> seeds = {std::string("AB*\0ABC", 7), std::string("*?\0x", 4),
                                    std::string("A?C*\0XABC", 9), "**"};
  RunRandomInputs(
      seeds,
      [](const std::string& input) {
        std::size_t split = input.find('\0');
        std::string pattern = input.substr(0, split);
        std::string text = split == std::string::npos ? "" : input.substr(split + 1);
        int pos = WildcardPos(pattern, text);
        ASSERT_GE(pos, 0);
        ASSERT_LE(pos, static_cast<int>(text.size()) + 1);
        if (pos > 0 && !text.empty() && pattern.find_first_not_of('*') != std::string::npos) {
          std::string core = pattern.substr(pattern[0] == '*' ? 1 : 0);
          if (!core.empty() && core.back() == '*') core.pop_back();
          ASSERT_LE(pos - 1 + core.size(), text.size());
          for (std::size_t i = 0; i < core.size(); ++i)
            ASSERT_TRUE(core[i] == text[pos - 1 + i] || (pattern[0] != '*' && core[i] == '?'))
                << pattern << " at " << pos << " in " << text;
        }
      },
      RandomInputOptions{20261208, 3000, 256});
}

TEST(OsLayer, DefaultExtensionLooksAtTheLastComponentOnly) {
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {"PLA0001", "PLA0001.dbf"},
      {"PLA0001.DBF", "PLA0001.DBF"},
      {"data.v2\\PLA0001", "data.v2\\PLA0001.dbf"},
      {"data.v2/PLA0001", "data.v2/PLA0001.dbf"},
      {"C:\\data\\Fin0000.dbf", "C:\\data\\Fin0000.dbf"},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultExtension(c.name, ".dbf"), c.expected) << c.name;
}

TEST(OsLayer, BaseNameDropsDirectoryAndExtension) {
  EXPECT_EQ(BaseName("C:\\data\\Pla0001.dbf"), "Pla0001");
  EXPECT_EQ(BaseName("/srv/data.v2/Org0000.cdx"), "Org0000");
  EXPECT_EQ(BaseName("Typ0000"), "Typ0000");
  EXPECT_EQ(BaseName("a.b.c"), "a.b");
}

TEST(OsLayer, PadRightFillsToExactlyNCharacters) {
  char buffer[12];
  std::strcpy(buffer, "abc");
  PadRight(buffer, ' ', 8);
  EXPECT_STREQ(buffer, "abc     ");
  PadRight(buffer, '-', 8);  // already long enough
  EXPECT_STREQ(buffer, "abc     ");
  std::memset(buffer, 'x', sizeof buffer);  // no terminator within n
  PadRight(buffer, ' ', 5);
  EXPECT_STREQ(buffer, "xxxxx");
  buffer[0] = '\0';
  PadRight(buffer, '0', 0);
  EXPECT_STREQ(buffer, "");
}

TEST(OsLayer, OemTranslationOfStringsKeepsTheirLength) {
  std::string text("a\0b", 3);
  EXPECT_EQ(AnsiToOem(text).size(), 3u);
  EXPECT_EQ(OemToAnsi(AnsiToOem(text)), text);
}

TEST(Messages, EveryIdHasACp1250TextAndFileNamesStayAsGiven) {
  for (int id = xbmFieldIncorrectType; id <= xbmCannotDelete; ++id) {
    const AnsiString& text = XbMessage(id);
    bool gap = (id > xbmInvalidPassword && id < xbmExprCannotEvaluate) ||
               (id > xbmCloseError && id < xbmMissingTableName);
    EXPECT_EQ(text.empty(), gap) << id;
  }
  EXPECT_EQ(XbMessage(1), "");
  // "Chyba při čtení souboru %s": the Czech letters are single CP1250 bytes.
  EXPECT_EQ(XbMessage(xbmFileReadError), "Chyba p\xF8i \xE8ten\xED souboru %s");
  EXPECT_EQ(XbFormat(xbmIndexAlreadyOpen, "a%sb.cdx"),
            "Indexov\xFD soubor a%sb.cdx je ji\x9E otev\xF8" "en");
  EXPECT_EQ(XbFormat(xbmRequiresFullAccess, "Truncate", "x.dbf"),
            "Truncate requires full access to file x.dbf");
  try {
    XbRaise<EXbaseExpression>(xbmNoFunction, "FOO");
    ADD_FAILURE() << "no exception";
  } catch (const EXbaseError& e) {  // one handler catches every engine error
    EXPECT_EQ(e.Message(), "There is no function for FOO");
  }
}

}  // namespace
