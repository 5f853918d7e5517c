// Storing results into the engine's value buffer, and the registries and
// links through which names resolve: ownership, sharing, lookup order.
#include <gtest/gtest.h>

#include "dbase/testing/expr_helpers.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/variant.h"

namespace {

class ExprStorage : public ExpressionTestBase {
 protected:
  ExprStorage() { FillSampleRecord(link_); }
  TMemoryLink link_;
};

// A variable of a chosen type and value, for the types no field has.
class FixedVariable : public TxbUserDefFieldVar {
 public:
  FixedVariable(const char* name, ExpressionValueType type, Variant value, int* freed = nullptr)
      : TxbUserDefFieldVar(name, 7), type_(type), value_(std::move(value)), freed_(freed) {}
  ~FixedVariable() override {
    if (freed_) ++*freed_;
  }
  void Evaluate(Variant& value, ExpressionValueType& type) override {
    value = value_;
    type = type_;
  }

 private:
  ExpressionValueType type_;
  Variant value_;
  int* freed_;
};

TEST_F(ExprStorage, EveryResultTypeHasItsStoredKind) {
  link_.AddVariables(new FixedVariable("STAMP", etDateTime, Variant(45000.5)));
  link_.AddVariables(new FixedVariable("COUNT", etInteger, Variant(int64_t{3})));
  link_.AddVariables(new FixedVariable("NOTE", etMemo, Variant("memo")));
  link_.AddVariables(new FixedVariable("NOTHING", etText, Variant()));
  const double march1 = JulianDay(2024, 3, 1);
  struct Row {
    const char* text;
    ExpressionValueType resultType;
    TxbVariantKind kind;
    const char* asText;  // the buffer's AsText for text and logical kinds
    double number;       // AsNumber / AsDate otherwise
  } rows[] = {
      {"NAME", etText, xbvText, "Nov\xE1k     ", 0},
      {"AMOUNT * 2", etNumber, xbvNumber, nullptr, 2469},
      {"STAMP", etDateTime, xbvNumber, nullptr, 45000.5},
      {"DAY", etDate, xbvDate, nullptr, march1},
      {"FLAG", etBoolean, xbvLogical, "T", 0},
      {"!FLAG", etBoolean, xbvLogical, "F", 0},
      // Types without a stored form, and results without a value.
      {"COUNT", etUnknown, xbvEmpty, nullptr, 0},
      {"NOTE", etUnknown, xbvEmpty, nullptr, 0},
      {"()", etUnknown, xbvEmpty, nullptr, 0},
      {"NOTHING", etText, xbvEmpty, nullptr, 0},
      // The empty date has no 32-bit day: it is stored as day 0.
      {"CTOD('')", etDate, xbvDate, nullptr, 0},
      {"DESCEND(CTOD(''))", etDate, xbvDate, nullptr, 0},
  };
  for (const Row& row : rows) {
    TxbExpHandler handler(&link_, false, row.text);
    TxbVariant value;
    value.SetText("stale");
    handler.EvaluateValue(value);
    EXPECT_EQ(handler.ResultType(), row.resultType) << row.text;
    EXPECT_EQ(value.Kind(), row.kind) << row.text;
    if (row.kind == xbvText || row.kind == xbvLogical) {
      EXPECT_EQ(value.AsText(), row.asText) << row.text;
    } else if (row.kind == xbvNumber) {
      EXPECT_EQ(value.AsNumber(), row.number) << row.text;
    } else if (row.kind == xbvDate) {
      EXPECT_EQ(value.AsDate(), static_cast<int32_t>(row.number)) << row.text;
    }
  }
}

TEST_F(ExprStorage, DatesAreStoredAsWholeDays) {
  // A number literal on the left keeps the date type: 1 + DAY is a date.
  TxbExpHandler handler(&link_, false, "0.75 + DAY");
  TxbVariant value;
  handler.EvaluateValue(value);
  EXPECT_EQ(handler.ResultType(), etDate);
  EXPECT_EQ(value.Kind(), xbvDate);
  EXPECT_EQ(value.AsDate(), JulianDay(2024, 3, 1));
}

TEST_F(ExprStorage, WithoutATreeTheBufferGetsTheEmptyText) {
  TxbExpHandler handler(&link_);
  TxbVariant value;
  value.SetNumber(5);
  handler.EvaluateValue(value);
  EXPECT_EQ(handler.ResultType(), etUnknown);
  EXPECT_EQ(value.Kind(), xbvText);
  EXPECT_EQ(value.Length(), 0);
  Variant v(1.0);
  handler.EvaluateVariant(v);
  EXPECT_TRUE(v.IsEmpty());
}

// --- registries and links ---------------------------------------------------

class NamedFunction : public TxbUserDefFunction {
 public:
  NamedFunction(const char* name, const char* result, int* freed = nullptr)
      : name_(name), result_(result), freed_(freed) {}
  ~NamedFunction() override {
    if (freed_) ++*freed_;
  }
  AnsiString FunctionName() const override { return name_; }
  void Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) override {
    value = Variant(result_);
    type = etText;
  }

 private:
  const char* name_;
  const char* result_;
  int* freed_;
};

TEST_F(ExprStorage, FunctionRegistryRefusesDuplicatesAndFreesThem) {
  int freed = 0;
  {
    TxbFunctionReg registry;
    EXPECT_TRUE(registry.Register(new NamedFunction("Twice", "1", &freed)));
    EXPECT_FALSE(registry.Register(new NamedFunction("TWICE", "2", &freed)));
    EXPECT_EQ(freed, 1);  // the refused one, at once
    EXPECT_TRUE(registry.Register(nullptr));
    EXPECT_EQ(registry.Count(), 1);
    ASSERT_NE(registry.Find("twice"), nullptr);
    EXPECT_EQ(registry.Find("TWICE")->FunctionName(), "Twice");
    EXPECT_EQ(registry.Find("TWIC"), nullptr);
  }
  EXPECT_EQ(freed, 2);
}

TEST_F(ExprStorage, VariablesAreSharedAndFreedWithTheirLastEntry) {
  int freed = 0;
  auto* shared = new FixedVariable("shared1;shared2", etNumber, Variant(1.0), &freed);
  EXPECT_EQ(shared->FullName(), "SHARED1;SHARED2");
  EXPECT_EQ(shared->FirstName(), "SHARED1");
  {
    TMemoryLink link;
    EXPECT_TRUE(GlobalFieldVarReg()->Register(shared));
    EXPECT_TRUE(link.AddVariables(shared));
    EXPECT_EQ(shared->RegistrationCount(), 4);
    EXPECT_EQ(GlobalFieldVarReg()->Find("shared2"), shared);
    EXPECT_EQ(EvaluateExpression("SHARED1 + SHARED2", &link).value.AsDouble(), 2);
  }
  // The link is gone; the global entries keep the variable alive.
  EXPECT_EQ(freed, 0);
  EXPECT_EQ(shared->RegistrationCount(), 2);
  // Freeing the global registries frees it with them.
  FreeBuiltinExpressions();
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(GlobalFieldVarReg(), nullptr);
  RegisterBuiltinExpressions();
  EXPECT_EQ(GlobalFieldVarReg()->Find("SHARED1"), nullptr);
  EXPECT_NE(GlobalFieldVarReg()->Find("TRUE"), nullptr);

  // A clash stops the registration; the names before it stay.
  TxbFieldVarReg registry;
  EXPECT_TRUE(registry.Register(new FixedVariable("B", etNumber, Variant(2.0), &freed)));
  auto* partly = new FixedVariable("A;B;C", etNumber, Variant(3.0), &freed);
  EXPECT_FALSE(registry.Register(partly));
  EXPECT_EQ(partly->RegistrationCount(), 1);
  EXPECT_EQ(registry.Find("A"), partly);
  EXPECT_EQ(registry.Find("C"), nullptr);
  // A variable that ends up nowhere is freed at once.
  EXPECT_FALSE(registry.Register(new FixedVariable("B", etNumber, Variant(4.0), &freed)));
  EXPECT_EQ(freed, 2);
  EXPECT_TRUE(registry.Register(nullptr));
}

TEST_F(ExprStorage, BuiltinsWinOverTheLinkAndTheLinkAddsTheRest) {
  link_.AddFunction(new NamedFunction("UPPER", "link"));
  link_.AddFunction(new NamedFunction("MINE", "mine"));
  link_.AddVariables(new FixedVariable("PI", etText, Variant("link pi")));
  EXPECT_EQ(EvaluateExpression("UPPER('a')", &link_).value.AsString(), "A");
  EXPECT_EQ(EvaluateExpression("mine()", &link_).value.AsString(), "mine");
  EXPECT_EQ(EvaluateExpression("PI", &link_).type, etNumber);
  // Without a link, no variable at all: not even the built-in ones.
  EXPECT_EQ(ErrorOf([] { EvaluateExpression("FALSE"); }).message, "Field/variable FALSE is unknown");
  EXPECT_EQ(EvaluateExpression("FALSE", &link_).type, etBoolean);
  EXPECT_EQ(ErrorOf([] { EvaluateExpression("MINE()"); }).message, "There is no function for MINE");
}

// A link that supplies functions for names it does not know in advance.
class FallbackLink : public TMemoryLink {
 public:
  TxbUserDefFunction* UnknownFunction(std::string_view name) override {
    if (name == "NULL_PLEASE") return nullptr;
    asked += AnsiString(name) + ";";
    return &fallback_;
  }
  AnsiString asked;

 private:
  NamedFunction fallback_{"ANY", "fallback"};
};

TEST_F(ExprStorage, UnknownFunctionMayBeAnsweredByTheLink) {
  FallbackLink link;
  EXPECT_EQ(EvaluateExpression("whatever(1, 2)", &link).value.AsString(), "fallback");
  EXPECT_EQ(link.asked, "WHATEVER;");
  EXPECT_EQ(EvaluateExpression("UPPER('x')", &link).value.AsString(), "X");
  EXPECT_EQ(link.asked, "WHATEVER;");
  ErrorInfo e = ErrorOf([&] { EvaluateExpression("NULL_PLEASE()", &link); });
  EXPECT_EQ(e.kind, "EXbaseExpression");
  EXPECT_EQ(e.message, "There is no function for NULL_PLEASE");
}

TEST_F(ExprStorage, GlobalRegistriesHoldEveryBuiltin) {
  ASSERT_NE(GlobalFunctionReg(), nullptr);
  EXPECT_EQ(GlobalFunctionReg()->Count(), 55);
  EXPECT_EQ(GlobalFieldVarReg()->Count(), 3);
  for (const char* name : {"TRUE", "FALSE", "PI"}) EXPECT_NE(GlobalFieldVarReg()->Find(name), nullptr);
  // Registering again changes nothing.
  RegisterBuiltinExpressions();
  EXPECT_EQ(GlobalFunctionReg()->Count(), 55);
}

TEST(ExprTypes, NamesAndFamilies) {
  const char* names[] = {"Unknown", "Empty",   "Any",     "Text",  "Number",       "Integer",
                         "Date",    "DateTime", "Boolean", "Memo", "Pointer",      "Invalid Value"};
  for (int code = 0; code <= 11; ++code) EXPECT_STREQ(ExpressionTypeName(code), names[code]);
  EXPECT_STREQ(ExpressionTypeName(-1), "Invalid Value");
  for (int code = 0; code <= 11; ++code) EXPECT_EQ(IsNumericType(code), code >= 4 && code <= 7) << code;
}

}  // namespace
