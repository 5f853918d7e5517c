// The table's expression link: its fields as variables (plain, "TABLE.FIELD"
// and "TABLE->FIELD"), their values by type, and the seven table functions.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "testing/temp_dir.h"

using namespace table_test;

namespace {

class TableLink : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltinExpressions();
    path_ = MakeTable(dir_.Path(), "pla0001.dbf", JournalFields(true), 0x83);
    table_ = std::make_unique<XBO_dBaseFld>(path_, true, true, "");
    for (const char* name : {"alpha", "beta"}) {
      table_->BlankRecord();
      table_->PutText("NAME", name);
      table_->PutNumber("AMOUNT", 12.5);
      table_->PutText("DAY", "05.01.2024");
      table_->PutLogical("PAID", true);
      table_->PutText("NOTE", std::string(name) + " note");
      table_->AppendRecord();
    }
    table_->GoRecord(1);
  }

  Variant Eval(const std::string& text, ExpressionValueType* type = nullptr) {
    TxbExpHandler handler(table_->ExpressionLink(), false, text);
    Variant value;
    handler.EvaluateVariant(value);
    if (type) *type = handler.ResultType();
    return value;
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<XBO_dBaseFld> table_;
};

}  // namespace

TEST_F(TableLink, FieldsEvaluateByTheirType) {
  struct Case {
    const char* expression;
    ExpressionValueType type;
    Variant value;
  } cases[] = {
      {"NAME", etText, Variant("alpha" + std::string(15, ' '))},
      {"name", etText, Variant("alpha" + std::string(15, ' '))},
      {"PLA0001.NAME", etText, Variant("alpha" + std::string(15, ' '))},
      {"pla0001->amount", etNumber, Variant(12.5)},
      {"AMOUNT * 2 + 1", etNumber, Variant(26.0)},
      {"DAY", etDate, Variant(static_cast<double>(DbfDate().TextToJulian("20240105")))},
      {"DTOS(DAY)", etText, Variant("20240105")},
      {"PAID", etBoolean, Variant(true)},
      {"NOTE", etText, Variant("alpha note")},
      {"TRIM(NAME) + '/' + NOTE", etText, Variant("alpha/alpha note")},
  };
  for (const Case& c : cases) {
    ExpressionValueType type = etUnknown;
    const Variant value = Eval(c.expression, &type);
    EXPECT_EQ(type, c.type) << c.expression;
    EXPECT_EQ(value.AsString(), c.value.AsString()) << c.expression;
  }
  TxbExpHandler handler(table_->ExpressionLink(), false, "NAME + DTOS(DAY)");
  EXPECT_EQ(handler.MaxWidth(), 20);
  EXPECT_EQ(handler.VariableNames(XBO_dBaseFld::kFieldSourceId), "NAME;DAY;");
}

TEST_F(TableLink, TableFunctionsFollowTheRecordWindow) {
  EXPECT_EQ(Eval("RECNO()").AsDouble(), 1);
  EXPECT_FALSE(Eval("DELETED()").AsBool());
  ASSERT_TRUE(table_->DeleteRecord());
  EXPECT_TRUE(Eval("DELETED()").AsBool());
  table_->GoRecord(2);
  EXPECT_EQ(Eval("RECNO()").AsDouble(), 2);
  EXPECT_FALSE(Eval("EOF()").AsBool());
  table_->GoRecord(xbmoNext);
  EXPECT_TRUE(Eval("EOF()").AsBool());
  table_->GoRecord(1);
  table_->GoRecord(xbmoPrevious);
  EXPECT_TRUE(Eval("BOF()").AsBool());
  EXPECT_EQ(Eval("TYPE('DAY')").AsString(), "D");
  EXPECT_EQ(Eval("TYPE('nothing')").AsString(), "U");
  EXPECT_EQ(Eval("FIELDNO('amount')").AsDouble(), 2);
  EXPECT_EQ(Eval("FIELDNO('nothing')").AsDouble(), 0);

  // The built-in LEN is found first; the table's own LEN answers only
  // through the link.
  EXPECT_EQ(Eval("LEN('DAY')").AsDouble(), 3);
  TxbExpHandler handler(table_->ExpressionLink(), false, "FIELDNO('DAY')");
  auto* node = dynamic_cast<TxbExpFunction*>(const_cast<TxbExpBaseObject*>(handler.Root()));
  ASSERT_NE(node, nullptr);
  TxbUserDefFunction* len = table_->ExpressionLink()->FindFunction("LEN");
  ASSERT_NE(len, nullptr);
  Variant value;
  ExpressionValueType type = etUnknown;
  len->Evaluate(*node, value, type);
  EXPECT_EQ(type, etNumber);
  EXPECT_EQ(value.AsDouble(), 8);
}

TEST_F(TableLink, TranslateFlagTellsTheLinkThatTextsAreOem) {
  EXPECT_FALSE(table_->ExpressionLink()->OemTexts());
  table_->SetTranslateOem(true);
  EXPECT_TRUE(table_->ExpressionLink()->OemTexts());
  EXPECT_EQ(table_->ExpressionLink()->DefaultNumberWidth(), 10);
  EXPECT_NE(table_->FieldDescriptor("NAME")->variable, nullptr);
  EXPECT_EQ(table_->FieldDescriptor("NAME")->variable->Width(), 20);
}

// A run of comparisons tested in one node reads its fields in the order the
// operator tree does: the field whose text is bad and is read first names
// the error, as in the general evaluation.
TEST(TableLinkConditions, ComparisonRunsRaiseForTheFieldTheTreeReadsFirst) {
  RegisterBuiltinExpressions();
  TempDir dir;
  XBO_dBaseFld table(MakeTable(dir.Path(), "runs.dbf", {{"A", 'N', 5, 0}, {"B", 'N', 5, 0}}, 0x03), true, true, "");
  for (const char* raw : {"    1", "   1x"}) {
    table.BlankRecord();
    table.PutRaw("A", raw);
    table.PutRaw("B", raw);
    table.AppendRecord();
  }
  auto errorOf = [](const std::function<void()>& action) {
    try {
      action();
    } catch (const EXbaseError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  for (const char* text : {"A > 0 .AND. B > 0", "B > 0 .AND. A > 0", "A > 0 .OR. B > 0 .OR. 3 < A",
                           "(B > 0 .AND. A < 5) .AND. 0 < B", "A > 0 .AND. B > 0 .AND. A > 0"}) {
    SCOPED_TRACE(text);
    TxbExpHandler condition(table.ExpressionLink(), false, text);
    table.GoRecord(1);
    EXPECT_TRUE(condition.EvaluateCondition());
    EXPECT_TRUE(condition.EvaluatesTyped());
    table.GoRecord(2);
    TxbExpHandler general(table.ExpressionLink(), false, text);
    TxbVariant value;
    const std::string expected = errorOf([&] { general.EvaluateValue(value); });
    EXPECT_NE(expected, "no error");
    EXPECT_EQ(errorOf([&] { condition.EvaluateCondition(); }), expected);
    EXPECT_EQ(errorOf([&] { condition.EvaluateValue(value); }), expected);
  }
}
