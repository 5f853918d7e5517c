// String lists: sorting with duplicates, name=value access and the text
// forms, which must read back what they wrote.
#include "platform/rtl/stringlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/locale_compare.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

std::vector<AnsiString> Items(const TStrings& list) {
  std::vector<AnsiString> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST(StringList, SortedListsHonourTheDuplicatesRule) {
  struct Case {
    TDuplicates duplicates;
    std::vector<AnsiString> expected;
    bool raises;
  } cases[] = {
      {TDuplicates::dupIgnore, {"alfa", "Beta", "gama"}, false},
      {TDuplicates::dupAccept, {"alfa", "Beta", "BETA", "gama"}, false},
      {TDuplicates::dupError, {"alfa", "Beta", "gama"}, true},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.duplicates);
    for (const char* s : {"gama", "Beta", "alfa"}) list.Add(s);
    if (c.raises) {
      EXPECT_THROW(list.Add("BETA"), EStringListError);
    } else {
      list.Add("BETA");
    }
    EXPECT_EQ(Items(list), c.expected);
    int index = -1;
    EXPECT_TRUE(list.Find("beta", index));
    EXPECT_EQ(index, 1);  // the first of equal entries
    EXPECT_FALSE(list.Find("delta", index));
    EXPECT_EQ(index, c.expected.size() == 4 ? 3 : 2);
  }
}

TEST(StringList, CzechOrderAndCaseSensitivity) {
  TStringList list;
  for (const char* s : {"cukr", "chata", "čaj", "hrad", "Cyril"}) list.Add(Cz(s));
  list.SetSorted(true);
  std::vector<AnsiString> expected;
  for (const char* s : {"cukr", "Cyril", "čaj", "hrad", "chata"}) expected.push_back(Cz(s));
  EXPECT_EQ(Items(list), expected);
  EXPECT_EQ(list.IndexOf(Cz("ČAJ")), 2);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(Cz("ČAJ")), -1);
  EXPECT_EQ(list.IndexOf(Cz("čaj")), 2);
}

TEST(StringList, SortedListsRefusePositionalChanges) {
  TStringList list;
  list.Add("b");
  list.Add("a");
  list.SetSorted(true);
  EXPECT_THROW(list.Insert(0, "z"), EStringListError);
  EXPECT_THROW(list.Put(0, "z"), EStringListError);
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"a", "b"}));
  try {
    list.Get(2);
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
  EXPECT_THROW(list.Delete(-1), EStringListError);
}

TEST(StringList, ObjectsTravelWithTheirTexts) {
  int one = 1, two = 2;
  TStringList list;
  list.AddObject("b", &two);
  list.AddObject("a", &one);
  list.Exchange(0, 1);
  EXPECT_EQ(list.Objects(0), &one);
  list.Move(0, 1);
  EXPECT_EQ(list[1], "a");
  EXPECT_EQ(list.Objects(1), &one);
  EXPECT_THROW(list.Move(0, 2), EStringListError);
  list.SetSorted(true);
  EXPECT_THROW(list.Move(0, 1), EStringListError);  // and nothing is lost
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"a", "b"}));
  EXPECT_EQ(list.Objects(0), &one);
  EXPECT_EQ(list.IndexOfObject(&two), 1);
  TStringList copy(list);
  EXPECT_EQ(copy.Objects(1), &two);
  EXPECT_TRUE(copy.Sorted());
}

TEST(StringList, NameValueEntries) {
  TStringList list;
  list.SetText("Prodejna=0001\r\nCestaData=C:\\data=x\r\nplain\r\nKodMeny=\r\n");
  EXPECT_EQ(list.Values("prodejna"), "0001");
  EXPECT_EQ(list.Values("CestaData"), "C:\\data=x");  // only the first "=" splits
  EXPECT_EQ(list.Values("plain"), "");
  EXPECT_EQ(list.IndexOfName("KODMENY"), 3);
  EXPECT_EQ(list.Names(2), "");
  list.SetValue("Prodejna", "0002");
  list.SetValue("Nova", "x");
  list.SetValue("KodMeny", "");
  EXPECT_EQ(list.Text(), "Prodejna=0002\r\nCestaData=C:\\data=x\r\nplain\r\nNova=x\r\n");
}

TEST(StringList, TextAcceptsEveryLineEnd) {
  struct Case {
    const char* text;
    std::vector<AnsiString> lines;
  } cases[] = {
      {"a\r\nb\r\n", {"a", "b"}}, {"a\nb", {"a", "b"}},       {"a\rb\r", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}}, {"\r\n", {""}},             {"", {}},
      {"a\n\r\nb", {"a", "", "b"}}, {"a\r\r\nb", {"a", "", "b"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Items(list), c.lines) << c.text;
  }
}

TEST(StringList, DelimitedTextQuotesWhatWouldNotReadBack) {
  struct Case {
    std::vector<AnsiString> items;
    const char* comma;
  } cases[] = {
      {{"a", "b"}, "a,b"},
      {{"a b", "c"}, "\"a b\",c"},
      {{"say \"hi\"", "x,y"}, "\"say \"\"hi\"\"\",\"x,y\""},
      {{""}, "\"\""},
      {{"a", "", "b"}, "a,\"\",b"},
      {{"line\r\nbreak"}, "\"line\r\nbreak\""},
      {{Cz("Kč"), "\xA0"}, "K\xE8,\xA0"},  // a no-break space is text
      {{}, ""},
  };
  for (const Case& c : cases) {
    TStringList list;
    for (const AnsiString& s : c.items) list.Add(s);
    EXPECT_EQ(list.CommaText(), c.comma);
    TStringList back;
    back.SetCommaText(list.CommaText());
    EXPECT_EQ(Items(back), c.items) << c.comma;
  }
  TStringList list;
  list.SetCommaText("  a  b , 'c' ,\"d e\"x, ");
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"a", "b", "'c'", "d ex", ""}));
  list.SetDelimiter(';');
  list.SetDelimitedText("a b; c;;\"x;y\"");
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"a b", " c", "", "x;y"}));
  EXPECT_EQ(list.DelimitedText(), "\"a b\";\" c\";\"\";\"x;y\"");
}

TEST(StringList, FilesKeepTheirBytes) {
  TempDir dir;
  TStringList list;
  list.Add(Cz("Pokladní deník"));
  list.Add("\x81\x83\x88\x90\x98");
  list.SaveToFile(dir.File("list.txt"));
  EXPECT_EQ(dir.Read("list.txt"), Cz("Pokladní deník") + "\r\n\x81\x83\x88\x90\x98\r\n");
  TStringList back;
  back.LoadFromFile(dir.File("LIST.TXT"));
  EXPECT_EQ(Items(back), Items(list));
  EXPECT_THROW(back.LoadFromFile(dir.File("missing.txt")), EFOpenError);
  EXPECT_THROW(list.SaveToFile(dir.File("missing/list.txt")), EFCreateError);
}

TEST(StringListMalformed, RandomTextsReadBackThroughEveryForm) {
  std::vector<std::string> seeds = {"a,b,\"c d\"", "\"x\"\"y\",,", "a\r\nb\nc\r", "k=v\r\nk2=\"q\"", ""};
  RunRandomInputs(seeds, [](const std::string& input) {
    TStringList list;
    list.SetCommaText(input);
    TStringList again;
    again.SetCommaText(list.CommaText());
    ASSERT_EQ(Items(again), Items(list)) << list.CommaText();
    list.SetDelimiter('|');
    again.SetDelimiter('|');
    again.SetDelimitedText(list.DelimitedText());
    ASSERT_EQ(Items(again), Items(list)) << list.DelimitedText();
    list.SetText(input);
    again.SetText(list.Text());
    ASSERT_EQ(Items(again), Items(list));
    list.SetSorted(true);
    for (int i = 1; i < list.Count(); ++i) ASSERT_LE(AnsiCompareText(list[i - 1], list[i]), 0);
  });
}

}  // namespace
