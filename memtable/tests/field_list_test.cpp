// Field-list texts: how they split into names and options, and that any
// text either names fields an index can sort by or fails with the
// framework's error (the fuzz target's check, here under g++).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memtable/field_list.h"
#include "memtable/fuzz/field_list_probe.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "testing/random_input.h"

namespace {

TEST(FieldList, TextsSplitIntoNamesAndOptions) {
  struct Case {
    const char* text;
    std::vector<std::pair<std::string, int>> items;
  } cases[] = {
      {"NAME", {{"NAME", 0}}},
      {"NAME:DN;NUM", {{"NAME", mtcoDescending | mtcoIgnoreNullKey}, {"NUM", 0}}},
      {" A : pclx ; ;B:", {{"A", mtcoPartialKey | mtcoCaseInsensitive | mtcoIgnoreLocale}, {"B", 0}}},
      {"", {}},
      {";;", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, int>> got;
    for (const TmtFieldListItem& item : SplitFieldListText(c.text))
      got.emplace_back(item.name, item.options);
    EXPECT_EQ(got, c.items) << c.text;
  }
  TmtMemTable& t = field_list_probe::Table();
  TmtFieldList list;
  mttest::ExpectError<EDatabaseError>([&] { t.ParseFieldList(list, "NAME;M"); },
                                      "Can't index on field M");
  mttest::ExpectError<EDatabaseError>([&] { t.ParseFieldList(list, "NOPE"); },
                                      "Field 'NOPE' not found");
  t.ParseFieldList(list, "NAME:D;NUM");
  SetOptionForFieldsOfText(list, mtcoCaseInsensitive, t, "NUM");
  EXPECT_EQ(list.OptionsAt(0), mtcoDescending);
  EXPECT_EQ(list.OptionsAt(1), mtcoCaseInsensitive);
  TmtFieldList other;
  t.ParseFieldList(other, "NAME;NUM:C");
  EXPECT_TRUE(FieldListsEqual(list, other));
}

TEST(FieldListMalformed, AnyTextIndexesOrFailsCleanly) {
  std::vector<std::string> seeds = {"NAME", "NAME:DN;NUM", "NAME:P", "L:D;DT;T", "FC:L;SI;W;B",
                                    "NUM;F;C;BCD", "AI;NAME:CL", "M", ";;NAME:;"};
  RandomInputOptions options;
  options.iterations = 2000;
  options.maxSize = 256;
  RunRandomInputs(seeds, [](const std::string& text) { field_list_probe::Probe(text); }, options);
}

}  // namespace
