// Operators by the type family of their operands: Boolean, the numeric
// family (numbers and dates), texts with their comparison rules, and the
// errors of mixed or unsupported operands.
#include <gtest/gtest.h>

#include "dbase/testing/expr_helpers.h"
#include "dbase/expr/expression.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

namespace {

using Row = ExprRow;
using ErrorRow = ExprErrorRow;

class ExprOperator : public ExpressionTestBase {
 protected:
  ExprOperator() { FillSampleRecord(link_); }

  void Check(const Row* rows, std::size_t n, TxbExpHandler* handler = nullptr) {
    for (std::size_t i = 0; i < n; ++i) {
      if (handler == nullptr) {
        ExpectResult(rows[i].text, EvaluateExpression(rows[i].text, &link_), rows[i].expected);
      } else {
        handler->SetExpression(Utf8ToAnsi(rows[i].text));
        ExprResult r;
        handler->EvaluateVariant(r.value);
        r.type = handler->ResultType();
        ExpectResult(rows[i].text, r, rows[i].expected);
      }
    }
  }
  void CheckErrors(const ErrorRow* rows, std::size_t n) { ExpectErrors(rows, n, &link_); }

  TMemoryLink link_;
};

TEST_F(ExprOperator, BooleansCompareAndCombine) {
  const Row rows[] = {
      {".T. = .T.", {etBoolean, "T"}},     {".T. = .F.", {etBoolean, "F"}},
      {".T. # .F.", {etBoolean, "T"}},     {".T. == .T.", {etBoolean, "T"}},
      {".T. .AND. .F.", {etBoolean, "F"}}, {".T. .AND. FLAG", {etBoolean, "T"}},
      {".F. .OR. .T.", {etBoolean, "T"}},  {".F. .OR. .F.", {etBoolean, "F"}},
      {"!.F.", {etBoolean, "T"}},          {".NOT. FLAG", {etBoolean, "F"}},
      {"NOT FLAG", {etBoolean, "F"}},      {"TRUE .AND. !FALSE", {etBoolean, "T"}},
  };
  Check(rows, std::size(rows));
  const ErrorRow errors[] = {
      {".T. + .T.", "EXbaseExpression", "A number value is required but invalid"},
      {".T. - .T.", "EXbaseExpression", "A number value is required but invalid"},
      {".T. ^ .T.", "EXbaseExpression", "A number value is required but invalid"},
      {".T. > .F.", "EXbaseExpression", "A assigned value is required but invalid"},
      {".T. $ .T.", "EXbaseExpression", "A assigned value is required but invalid"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprOperator, NumbersAndDatesShareOneFamily) {
  int32_t day = JulianDay(2024, 3, 1);
  const Row rows[] = {
      {"1 < 2", {etBoolean, "T"}},
      {"2 <= 2", {etBoolean, "T"}},
      {"3 >= 4", {etBoolean, "F"}},
      {"3 # 3", {etBoolean, "F"}},
      {"3 == 3", {etBoolean, "T"}},
      {"7 / 2", {etNumber, "3.5"}},
      {"2 * 3.5", {etNumber, "7"}},
      {"AMOUNT - 0.5", {etNumber, "1234"}},
      // The result takes the right operand's type.
      {"DAY + 1", {etNumber, std::to_string(day + 1)}},
      {"1 + DAY", {etDate, std::to_string(day + 1)}},
      {"DAY - 1", {etNumber, std::to_string(day - 1)}},
      {"DAY - {01.01.2024}", {etDate, "60"}},
      {"DAY > {29.02.2024}", {etBoolean, "T"}},
      {"DAY = CTOD('01.03.2024')", {etBoolean, "T"}},
      {"DAY = DAY", {etBoolean, "T"}},
  };
  Check(rows, std::size(rows));
  const ErrorRow errors[] = {
      // Numbers are digits and periods only.
      {"1e3", "EXbaseExpression", "Syntax Error in expression \"1e3\""},
      {"1 $ 2", "EXbaseExpression", "A assigned value is required but invalid"},
      {"!1", "EXbaseExpression", "A assigned value is required but invalid"},
      {"1 .AND. 2", "EXbaseExpression", "A assigned value is required but invalid"},
      {"1 / 0", "EZeroDivide", "Floating point division by zero"},
      {"AMOUNT / (AMOUNT - AMOUNT)", "EZeroDivide", "Floating point division by zero"},
      {"0 / 0", "EInvalidOp", "Invalid floating point operation"},
      {"99999999999999999999 * 99999999999999999999 * 99999999999999999999 * "
       "99999999999999999999 * 99999999999999999999 * 99999999999999999999 * "
       "99999999999999999999 * 99999999999999999999 * 99999999999999999999 * "
       "99999999999999999999 * 99999999999999999999 * 99999999999999999999 * "
       "99999999999999999999 * 99999999999999999999 * 99999999999999999999 * "
       "99999999999999999999 * 99999999999999999999",
       "EOverflow", "Floating point overflow"},
  };
  CheckErrors(errors, std::size(errors));
}

// Whole exponents multiply step by step; every other exponent and every
// non-finite result is handled soundly.
TEST_F(ExprOperator, PowersOfEveryExponent) {
  const Row rows[] = {
      {"2^0", {etNumber, "1"}},        {"2^1", {etNumber, "2"}},      {"2^10", {etNumber, "1024"}},
      {"2^-2", {etNumber, "0.25"}},    {"4^0.5", {etNumber, "2"}},    {"(-2)^3", {etNumber, "-8"}},
      {"0^0", {etNumber, "1"}},        {"0^2", {etNumber, "0"}},      {"2^64", {etNumber, "18446744073709551616"}},
      {"2^65", {etNumber, "36893488147419103232"}},
      {"10^-3", {etNumber, "0.001"}},
  };
  Check(rows, std::size(rows));
  // n >= 2 is the sequential product, bit for bit.
  double product = 1.1;
  for (int i = 1; i < 5; ++i) product *= 1.1;
  EXPECT_EQ(EvaluateExpression("1.1^5", &link_).value.AsDouble(), product);
  const ErrorRow errors[] = {
      {"2^2000000000", "EOverflow", "Floating point overflow"},
      {"10^400", "EOverflow", "Floating point overflow"},
      {"0^-1", "EZeroDivide", "Floating point division by zero"},
      {"0^-0.5", "EZeroDivide", "Floating point division by zero"},
      {"(-8)^0.5", "EInvalidOp", "Invalid floating point operation"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprOperator, TextsJoinSearchAndCompare) {
  const Row rows[] = {
      {"'AB' + 'CD'", {etText, "ABCD"}},
      {"'' + 'CD' + ''", {etText, "CD"}},
      {"'ABC  ' - 'DE'", {etText, "ABCDE  "}},
      {"NAME - '!'", {etText, "Novák!     "}},
      {"'B' $ 'ABC'", {etBoolean, "T"}},
      {"'' $ 'ABC'", {etBoolean, "F"}},
      {"'ab' $ 'ABC'", {etBoolean, "F"}},
      {"'B ' $ 'ABC'", {etBoolean, "F"}},
      {"'AB  ' = 'AB'", {etBoolean, "T"}},
      {"NAME = 'Novák'", {etBoolean, "T"}},
      {"'AB' = 'ABC'", {etBoolean, "F"}},
      {"'AB' < 'ABC'", {etBoolean, "T"}},
      {"'' = ''", {etBoolean, "T"}},
      {"'' < 'A'", {etBoolean, "T"}},
      {"'A' > ''", {etBoolean, "T"}},
      // Emptiness is decided before trailing blanks are removed.
      {"'  ' = ''", {etBoolean, "F"}},
      {"'  ' > ''", {etBoolean, "T"}},
      // Czech collation: "ch" sorts after "h", "č" after "c".
      {"'chata' > 'hrad'", {etBoolean, "T"}},
      {"'čaj' > 'cukr'", {etBoolean, "T"}},
      {"'a' < 'B'", {etBoolean, "T"}},
      // Exactly equal: bytes and lengths.
      {"'AB' == 'AB'", {etBoolean, "T"}},
      {"'AB ' == 'AB'", {etBoolean, "F"}},
      {"'ab' == 'AB'", {etBoolean, "F"}},
      {"'A*' == 'AB'", {etBoolean, "F"}},
      {"NAME == 'Novák'", {etBoolean, "F"}},
  };
  Check(rows, std::size(rows));
  const ErrorRow errors[] = {
      {"'a' = 1", "EXbaseExpression", "The two sides of an operation do not match"},
      {"'a' + 1", "EXbaseExpression", "The two sides of an operation do not match"},
      {".T. = 1", "EXbaseExpression", "The two sides of an operation do not match"},
      {"DAY = 'x'", "EXbaseExpression", "The two sides of an operation do not match"},
      {"'a' * 'b'", "EXbaseExpression", "A assigned value is required but invalid"},
      {"'a' / 'b'", "EXbaseExpression", "A assigned value is required but invalid"},
      {"'a' .AND. 'b'", "EXbaseExpression", "A assigned value is required but invalid"},
      {"!'a'", "EXbaseExpression", "A assigned value is required but invalid"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprOperator, WildcardsAndCaseFollowTheHandlerSettings) {
  TxbExpHandler plain(&link_);
  const Row wildcards[] = {
      {"NAME = 'Nov*'", {etBoolean, "T"}},  {"NAME = '*ák'", {etBoolean, "T"}},
      {"NAME = 'N?v*'", {etBoolean, "T"}},  {"NAME = '*x*'", {etBoolean, "F"}},
      {"NAME # '*x*'", {etBoolean, "T"}},   {"NAME < '*x*'", {etBoolean, "T"}},
      {"NAME = '*'", {etBoolean, "T"}},     {"NAME = 'NOVÁK'", {etBoolean, "F"}},
      {"'AB' = 'AB*'", {etBoolean, "T"}},   {"'ABC' = 'AB?'", {etBoolean, "F"}},
  };
  Check(wildcards, std::size(wildcards), &plain);

  TxbExpHandler literal(&link_);
  literal.SetMatchWildcards(false);
  const Row literalRows[] = {
      {"NAME = 'Nov*'", {etBoolean, "F"}},
      {"'Nov*' = 'Nov*'", {etBoolean, "T"}},
  };
  Check(literalRows, std::size(literalRows), &literal);

  TxbExpHandler caseless(&link_);
  caseless.SetIgnoreCase(true);
  const Row caselessRows[] = {
      {"NAME = 'NOVÁK'", {etBoolean, "T"}},
      {"NAME = 'nov*'", {etBoolean, "T"}},
      {"'ab' == 'AB'", {etBoolean, "F"}},
  };
  Check(caselessRows, std::size(caselessRows), &caseless);

  TxbExpHandler sql(&link_, true);
  EXPECT_EQ(sql.WildcardAny(), '%');
  EXPECT_EQ(sql.WildcardOne(), '_');
  const Row sqlRows[] = {
      {"NAME = 'Nov%'", {etBoolean, "T"}},
      {"NAME = 'N_v%'", {etBoolean, "T"}},
      {"NAME = 'Nov*'", {etBoolean, "F"}},
  };
  Check(sqlRows, std::size(sqlRows), &sql);
}

// The matching settings in force when an operator is compiled stay with
// it: the filter sets them before it compiles its text.
TEST_F(ExprOperator, OperatorsKeepTheSettingsOfTheirCompilation) {
  TxbExpHandler handler(&link_, false, Cz("NAME = 'NOVÁK'"));
  handler.SetIgnoreCase(true);
  Variant v;
  handler.EvaluateVariant(v);
  EXPECT_FALSE(v.AsBool());
  handler.SetExpression(Cz("NAME = 'NOVÁK'"));
  handler.EvaluateVariant(v);
  EXPECT_TRUE(v.AsBool());
}

TEST_F(ExprOperator, AndOrEvaluateBothSidesRightFirst) {
  // The right side's error surfaces even when the left side already
  // decides the result.
  ErrorInfo e = ErrorOf([&] { EvaluateExpression(".F. .AND. 1/0 = 1", &link_); });
  EXPECT_EQ(e.kind, "EZeroDivide");
  e = ErrorOf([&] { EvaluateExpression("UPPER(1) = 'a' .OR. 1/0 = 1", &link_); });
  EXPECT_EQ(e.kind, "EZeroDivide");
}

}  // namespace
