// Filters over a fixture table: every operator and node class, the
// functions, compare nodes, errors, and find first/next with the filter off.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memtable/filter_eval.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/system.h"

namespace {

using mttest::ExpectError;
using mttest::Names;
using Strings = std::vector<std::string>;

class FilterFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    t.FieldDefs().Add("NAME", ftString, 10);
    t.FieldDefs().Add("NUM", ftInteger);
    t.FieldDefs().Add("AMOUNT", ftFloat);
    t.FieldDefs().Add("DAY", ftDate);
    t.FieldDefs().Add("TYP", ftString, 3);
    t.FieldDefs().Add("FLAG", ftBoolean);
    t.FieldDefs().Add("NOTE", ftString, 20);
    t.Open();
    struct Row {
      const char* name;
      int num;
      double amount;
      TDateTime day;
      const char* typ;
      int flag;  // -1 null
      const char* note;
    } rows[] = {
        {"abc", 1, 1.5, EncodeDate(2024, 1, 5), "P", 1, "2,3"},
        {"ABD", 2, -2, EncodeDate(2024, 2, 10), "V", 0, "  pad  "},
        {"xab", 3, 0, 0, "P", -1, nullptr},
        {"Čáp", 4, 10, EncodeDate(2023, 12, 31), "V", 1, "10:30"},
    };
    for (const Row& r : rows) {
      t.Append();
      t.FieldByName("NAME")->SetAsString(Cz(r.name));
      t.FieldByName("NUM")->SetAsInteger(r.num);
      t.FieldByName("AMOUNT")->SetAsFloat(r.amount);
      if (r.day != 0) t.FieldByName("DAY")->SetAsDateTime(r.day);
      t.FieldByName("TYP")->SetAsString(r.typ);
      if (r.flag >= 0) t.FieldByName("FLAG")->SetAsBoolean(r.flag == 1);
      if (r.note) t.FieldByName("NOTE")->SetAsString(r.note);
      t.Post();
    }
  }

  Strings Shown(const std::string& filter, TFilterOptions options = {}) {
    t.SetFiltered(false);
    t.SetFilterOptions(options);
    t.SetFilter(Cz(filter));
    t.SetFiltered(true);
    Strings out = Names(t, "NAME");
    for (std::string& s : out) s = AnsiToUtf8(s);
    return out;
  }

  TmtMemTable t;
};

TEST_F(FilterFixture, OperatorsAndFunctionsSelectTheRightRecords) {
  struct Row {
    const char* filter;
    Strings shown;
    TFilterOptions options;
  } rows[] = {
      {"NUM = 2", {"ABD"}, {}},
      {"NUM <> 2 AND NUM < 4", {"abc", "xab"}, {}},
      {"NUM > 2 OR AMOUNT <= -2", {"ABD", "xab", "Čáp"}, {}},
      {"NUM >= 4", {"Čáp"}, {}},
      {"NOT (TYP = 'P')", {"ABD", "Čáp"}, {}},
      {"-AMOUNT > 1", {"ABD"}, {}},
      {"NUM + 1 = 3 OR NUM * 2 = 8", {"ABD", "Čáp"}, {}},
      {"NUM - 1 = 0 OR NUM / 2 = 1.5", {"abc", "xab"}, {}},
      {"DAY IS NULL", {"xab"}, {}},
      {"FLAG IS NOT NULL AND FLAG", {"abc", "Čáp"}, {}},
      {"UPPER(NAME) LIKE 'AB*'", {"abc", "ABD"}, {}},
      {"LOWER(NAME) = 'abd'", {"ABD"}, {}},
      {"NAME LIKE '?ab'", {"xab"}, {}},
      {"NAME LIKE '[ax]*'", {"abc", "ABD", "xab"}, {}},
      {"NUM IN (1, 3)", {"abc", "xab"}, {}},
      {"NAME = 'ab*'", {"abc"}, {}},
      {"NAME = 'ab*'", {}, {foNoPartialCompare}},
      {"NAME = 'ABC'", {"abc"}, {foCaseInsensitive}},
      {"NAME <> 'ab*'", {"ABD", "xab", "Čáp"}, {}},
      {"NAME = 'ČÁP'", {"Čáp"}, {foCaseInsensitive}},
      {"DAY >= '1.1.2024'", {"abc", "ABD"}, {}},
      {"YEAR(DAY) = 2023 OR MONTH(DAY) = 2", {"ABD", "Čáp"}, {}},
      {"DAY(DAY) = 5", {"abc"}, {}},
      {"SUBSTRING(NAME, 2, 2) = 'bc'", {"abc"}, {}},
      {"SUBSTRING(NAME, 2) = 'ab'", {"xab"}, {}},
      {"NUM = 1 AND SUBSTRING(NAME, NOTE) = 'bc'", {"abc"}, {}},  // the comma rule: from 2, length 3
      {"TRIM(NOTE) = 'pad' AND TRIMLEFT(NOTE) = 'pad  ' AND TRIMRIGHT(NOTE) = '  pad'", {"ABD"}, {}},
      {"DATE(DAY) = 45296", {"abc"}, {}},
      {"DATE('2024-01-05', 'yyyy-mm-dd') = DAY", {"abc"}, {}},
      {"NUM = 4 AND TIME(NOTE, 'hh:nn') > 0.4 AND TIME(NOTE, 'hh:nn') < 0.5", {"Čáp"}, {}},
      {"HOUR(GETDATE()) >= 0 AND NUM = 1", {"abc"}, {}},
      {"FALSE AND 1 / 0 = 1", {}, {}},  // the right side is never evaluated
      {"TRUE OR 1 / 0 = 1", {"abc", "ABD", "xab", "Čáp"}, {}},
  };
  const TFormatSettings before = FormatSettings();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.filter);
    EXPECT_EQ(Shown(r.filter, r.options), r.shown);
  }
  EXPECT_EQ(FormatSettings().ShortDateFormat, before.ShortDateFormat);
  EXPECT_EQ(FormatSettings().ShortTimeFormat, before.ShortTimeFormat);
}

std::unique_ptr<TFilterNode> Node(TNodeClass cls, TCANOperator op, std::unique_ptr<TFilterNode> left = nullptr,
                                  std::unique_ptr<TFilterNode> right = nullptr) {
  auto n = std::make_unique<TFilterNode>();
  n->nodeClass = cls;
  n->op = op;
  n->left = std::move(left);
  n->right = std::move(right);
  return n;
}

std::unique_ptr<TFilterNode> Int(int32_t v) {
  std::string raw(4, '\0');
  std::memcpy(raw.data(), &v, 4);
  return MakeFilterConstant(ftInteger, raw);
}

TEST_F(FilterFixture, TreesBuiltDirectly) {
  t.First();
  t.SetEvaluationRecord(nullptr);
  auto mod = Node(nodeBINARY, coMOD, Int(7), Int(3));
  EXPECT_EQ(EvaluateFilterNode(t, *mod).AsInt64(), 1);
  auto rem = Node(nodeBINARY, coREM, Int(-7), Int(3));
  EXPECT_EQ(EvaluateFilterNode(t, *rem).AsInt64(), -1);
  EXPECT_TRUE(EvaluateFilterNode(t, *Node(nodeTUPLE, coTUPLE2)).IsEmpty());
  EXPECT_TRUE(EvaluateFilterNode(t, *Node(nodeCONTINUE, coCONTINUE2)).IsEmpty());
  // IN stops at the first empty element.
  auto list = Node(nodeLISTELEM, coLISTELEM2, Int(1),
                   Node(nodeLISTELEM, coLISTELEM2, Node(nodeNULL, coNOTDEFINED),
                        Node(nodeLISTELEM, coLISTELEM2, Int(2))));
  EXPECT_FALSE(EvaluateFilterNode(t, *Node(nodeBINARY, coIN, Int(2), std::move(list))).AsBool());
  EXPECT_TRUE(EvaluateFilterNode(t, *Node(nodeBINARY, coIN, Int(2), Int(2))).AsBool());

  struct Bad {
    std::unique_ptr<TFilterNode> node;
    const char* message;
  };
  auto badFunc = Node(nodeFUNC, coFUNC2, Int(1));
  badFunc->name = "soundex";
  auto badParam = Node(nodeFUNC, coFUNC2, MakeFilterConstant(ftString, "abc"));
  badParam->name = "year";
  auto wrongFuncOp = Node(nodeFUNC, coADD);
  wrongFuncOp->name = "UPPER";
  auto field = Node(nodeFIELD, coADD);
  field->name = "NUM";
  Bad bad[] = {
      {Node(nodeBINARY, coSUM, Int(1), Int(2)), "Operator not supported (22)."},
      {Node(nodeCOMPARE, coGT, Int(1), Int(2)), "Operator not supported (5)."},
      {std::move(field), "Unknown operator (16)"},
      {MakeFilterConstant(ftBlob, ""), "Unknown fieldtype (15)"},
      {std::move(badFunc), "Invalid function name SOUNDEX"},
      {std::move(badParam), "Invalid or missing parameter for function YEAR"},
      {std::move(wrongFuncOp), "Operator not supported (16)."},
  };
  for (Bad& b : bad) ExpectError<EMemTableError>([&] { EvaluateFilterNode(t, *b.node); }, b.message);
}

TEST_F(FilterFixture, FindUsesTheFilterEvenWhenNotFiltered) {
  t.SetFilter("TYP = 'P'");
  EXPECT_EQ(t.RecordCount(), 4);  // not filtered: all records visible
  ASSERT_TRUE(t.FindFirst());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "abc");
  ASSERT_TRUE(t.FindNext());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "xab");
  EXPECT_FALSE(t.FindNext());
  EXPECT_FALSE(t.Found());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "xab");
  ASSERT_TRUE(t.FindLast());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "xab");
  ASSERT_TRUE(t.FindPrior());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "abc");
}

TEST_F(FilterFixture, AFailingFilterLeavesTheStateRestored) {
  t.SetFilter("NUM / 0 = 1");
  ExpectError<EZeroDivide>([&] { t.SetFiltered(true); }, "Floating point division by zero");
  EXPECT_EQ(t.State(), dsBrowse);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 4);
  ExpectError<EDatabaseError>([&] { t.SetFilter("NUM ="); },
                              "Expected an operand, found 'end of text' in filter expression at position 6");
}

}  // namespace
