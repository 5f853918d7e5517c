// Compiling expressions: precedence and binding, the texts of compiled
// trees, the operand statistics, variable lookup and every compile and
// evaluation message of the language with its exact text.
#include <gtest/gtest.h>

#include "dbase/testing/expr_helpers.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "platform/rtl/codepages.h"

namespace {

class ExprParse : public ExpressionTestBase {
 protected:
  ExprParse() { FillSampleRecord(link_); }
  TMemoryLink link_;
};

TEST_F(ExprParse, OperatorsBindByLevelAndFromTheLeft) {
  struct Row {
    const char* text;
    Expected expected;
  } rows[] = {
      {"2+3*4", {etNumber, "14"}},
      {"2-3-4", {etNumber, "-5"}},
      {"2^3", {etNumber, "8"}},
      {"2**3", {etNumber, "8"}},
      {"2^3^2", {etNumber, "64"}},
      {"2*3^2", {etNumber, "18"}},
      {"-2^2", {etNumber, "4"}},  // "-2" is one number literal
      {"10/4*2", {etNumber, "5"}},
      {"2*3-4/2", {etNumber, "4"}},
      {"1+2 = 3", {etBoolean, "T"}},
      {"1+2 = 3 .AND. 2 > 1", {etBoolean, "T"}},
      {".T. .OR. .F. .AND. .F.", {etBoolean, "T"}},
      {"!.T. .OR. .T.", {etBoolean, "T"}},
      {"!1 = 2", {etBoolean, "T"}},
      // A NOT after the start takes the rest of the text with it:
      // .F. .AND. (.NOT. .T. .OR. .T.), not (.F. .AND. .NOT. .T.) .OR. .T.
      {".F. .AND. .NOT. .T. .OR. .T.", {etBoolean, "F"}},
      {"(2+3)*4", {etNumber, "20"}},
      {"((((1))))", {etNumber, "1"}},
      {"MAX(1,,2)", {etNumber, "2"}},
      {"  1 +   2  ", {etNumber, "3"}},
      {"1 EQ 1 and 2 gt 1 OR 1 lt 0", {etBoolean, "T"}},
      {"1 NE 2 .and. 2 GE 2 .AND. 2 LE 2", {etBoolean, "T"}},
      {"1 => 1 .AND. 1 =< 1 .AND. 1 != 2 .AND. 1 <> 2", {etBoolean, "T"}},
  };
  for (const Row& row : rows) ExpectResult(row.text, EvaluateExpression(row.text, &link_), row.expected);
}

TEST_F(ExprParse, CompiledTextsShowTheBoundTree) {
  link_.AddField("A", 'L', 1);
  link_.AddField("B", 'L', 1);
  struct Row {
    const char* text;
    const char* compiled;
  } rows[] = {
      {"1.50 + 2", "1.50+2"},
      {"\"A\" + 'B' + [C]", "\"A\"+\"B\"+\"C\""},
      {"upper( name )", "UPPER(NAME)"},
      {"{01.03.2024}", "{01.03.2024}"},
      {"{}", "{          }"},
      {"a # b", "A#B"},
      {"a <> b", "A#B"},
      {"a != b", "A#B"},
      {"name $ 'x'", "NAMEin string\"x\""},
      {"name == 'x'", "NAMEexactly equal\"x\""},
      {"(1+2)*3", "(1+2)*3"},
      {"()", "()"},
      {"MAX(1,,2)", "MAX(1,2)"},
      {".NOT. .t.", ".NOT..T."},
      {"5 ** 2", "5^2"},
      {"a AND b", "A.AND.B"},
      {"a .and. b", "A.AND.B"},
      {"a.AND.b", "A.AND.B"},
      {"a or !b", "A.OR.(.NOT.B)"},
      {".F. .AND. .NOT. .T. .OR. .T.", ".F..AND.(.NOT..T..OR..T.)"},
      {"T.NAME + T->NAME", "NAME+NAME"},
      {"1.2.3", "0.000"},
      {"-", "0"},
      {"-0", "0"},
  };
  for (const Row& row : rows) {
    TxbExpHandler handler(&link_, false, row.text);
    EXPECT_EQ(AnsiToUtf8(handler.ExpressionText()), row.compiled) << row.text;
  }
  TxbExpHandler empty(&link_);
  EXPECT_EQ(empty.ExpressionText(), "");
  EXPECT_FALSE(empty.HasTree());
}

TEST_F(ExprParse, StatisticsCoverNestedCallsAndContainers) {
  struct Row {
    const char* text;
    int operands, maxWidth, maxDecimals;
  } rows[] = {
      {"STR(AMOUNT,10,2) + UPPER(NAME) + '12345'", 7, 12, 0},
      {"1.125 + (2.5 * 3)", 3, 5, 3},
      {"IIF(FLAG, SUBSTR(NAME, 2, 3), 'x')", 7, 10, 0},
      {"((((NAME))))", 1, 10, 0},
      {"DATE()", 1, 0, 0},
      {"", 0, 0, 0},
  };
  for (const Row& row : rows) {
    TxbExpHandler handler(&link_, false, row.text);
    EXPECT_EQ(handler.OperandCount(), row.operands) << row.text;
    EXPECT_EQ(handler.MaxWidth(), row.maxWidth) << row.text;
    EXPECT_EQ(handler.MaxDecimals(), row.maxDecimals) << row.text;
  }
  // A new text starts the statistics afresh.
  TxbExpHandler handler(&link_, false, "1.125 + NAME");
  handler.SetExpression("7");
  EXPECT_EQ(handler.OperandCount(), 1);
  EXPECT_EQ(handler.MaxWidth(), 1);
  EXPECT_EQ(handler.MaxDecimals(), 0);
}

TEST_F(ExprParse, VariableNamesListEveryUseBySource) {
  TxbExpHandler handler(&link_, false, "DTOS(DAY) + NAME + IIF(TRUE, T.NAME, 'b') + STR(AMOUNT)");
  EXPECT_EQ(handler.VariableNames(link_.SourceId()), "DAY;NAME;NAME;AMOUNT;");
  EXPECT_EQ(handler.VariableNames(16), "TRUE;");
  EXPECT_EQ(handler.VariableNames(99), "");
  TxbExpHandler none(&link_);
  EXPECT_EQ(none.VariableNames(1), "");
}

TEST_F(ExprParse, QualifiedNamesReachTheSameField) {
  for (const char* text : {"NAME", "T.NAME", "T->NAME", "t.name", "t->Name"}) {
    ExpectResult(text, EvaluateExpression(text, &link_), {etText, "Novák     "});
  }
  // "->" must follow the name directly.
  EXPECT_EQ(ErrorOf([&] { EvaluateExpression("T -> NAME", &link_); }).message,
            "There is no function for T");
  EXPECT_EQ(ErrorOf([&] { EvaluateExpression("X.NAME", &link_); }).message,
            "There is no function for X.NAME");
  EXPECT_EQ(ErrorOf([&] { EvaluateExpression("T.NOSUCH", &link_); }).message,
            "There is no function for T.NOSUCH");
}

TEST_F(ExprParse, ResultTypeAfterCompilingIsKnownForLiteralsOnly) {
  struct Row {
    const char* text;
    ExpressionValueType type;
  } rows[] = {
      {"'a'", etText}, {"1", etNumber}, {"{01.01.2024}", etDate}, {".T.", etBoolean},
      {"(1)", etNumber}, {"()", etEmpty}, {"NAME", etUnknown}, {"UPPER('a')", etUnknown},
      {"1+1", etUnknown}, {"", etUnknown},
  };
  for (const Row& row : rows) {
    TxbExpHandler handler(&link_, false, row.text);
    EXPECT_EQ(handler.ResultType(), row.type) << row.text;
  }
}

// One row per message of the language, with the exact filled text.
TEST_F(ExprParse, EveryMessageHasItsExactText) {
  std::string deep = std::string(300, '(') + "1" + std::string(300, ')');
  struct Row {
    std::string text;
    bool withLink;
    const char* kind;
    const char* message;
  } rows[] = {
      {deep, true, "EXbaseExpression", "Expression cannot be evaluated"},
      {"(1+2", true, "EXbaseExpression", "Missing closing parentheses"},
      {"UPPER('a'", true, "EXbaseExpression", "Missing closing parentheses"},
      {".T", true, "EXbaseExpression", "Missing closing period"},
      {"'abc", true, "EXbaseExpression", "Missing closing \"'\" on literal"},
      {"\"abc", true, "EXbaseExpression", "Missing closing \"\"\" on literal"},
      {"[abc", true, "EXbaseExpression", "Missing closing \"[\" on literal"},
      {"{1.1.2024", true, "EXbaseExpression", "Missing closing \"{\" on literal"},
      // Parentheses are matched without regard to quotes.
      {"(')')", true, "EXbaseExpression", "Syntax Error in expression \"(')')\""},
      {".X.", true, "EXbaseExpression", "Expecting \".T.\" or \".F.\""},
      {"1 +", true, "EXbaseExpression", "Syntax Error in expression \"1 +\""},
      {"NAME +  ", true, "EXbaseExpression", "Syntax Error in expression \"NAME +  \""},
      {"1 2", true, "EXbaseExpression", "Syntax Error in expression \"1 2\""},
      {"*2", true, "EXbaseExpression", "Syntax Error in expression \"*2\""},
      {"1 = = 2", true, "EXbaseExpression", "Syntax Error in expression \"1 = = 2\""},
      {"NOSUCH(1)", true, "EXbaseExpression", "There is no function for NOSUCH"},
      {"nosuch(1)", false, "EXbaseExpression", "There is no function for NOSUCH"},
      {"NOSUCH", true, "EXbaseExpression", "There is no function for NOSUCH"},
      {"UPPER (NAME)", true, "EXbaseExpression", "There is no function for UPPER"},
      {"UPPER(1)", true, "EXbaseExpression", "Text needed for Argument 1 of UPPER"},
      {"UPPER()", true, "EXbaseExpression", "Text needed for Argument 1 of UPPER"},
      {"SUBSTR('a', 'b')", true, "EXbaseExpression", "Number needed for Argument 2 of SUBSTR"},
      {"DOW('a')", true, "EXbaseExpression", "Date needed for Argument 1 of DOW"},
      {"LOG(0)", true, "EXbaseExpression", "Argument for LOG must be > 0"},
      {"ASIN(2)", true, "EXbaseExpression", "Argument for ASIN must be -1 to +1"},
      {"FV(1, 0.1, 2, 0, -1)", true, "EXbaseExpression", "Argument for FV PaymentTime must be 0 or 1"},
      {"!", true, "EXbaseExpression", "Target value missing for .NOT. operation"},
      {"1 = 'a'", true, "EXbaseExpression", "The two sides of an operation do not match"},
      {".T. + .T.", true, "EXbaseExpression", "A number value is required but invalid"},
      {"'a' * 'b'", true, "EXbaseExpression", "A assigned value is required but invalid"},
      {"CHR(256)", true, "EXbaseExpression", "A Byte value is required but invalid"},
      {"PADL('a', 3, 'xy')", true, "EXbaseExpression", "A Char value is required but invalid"},
      {"PADL()", true, "EXbaseExpression", "Value needed for Argument 1 of Pad"},
      {"PADL(,4)", true, "EXbaseExpression", "Number needed for Argument 2 of PADL"},
      {"MAX()", true, "EXbaseExpression", "A value is required for Max()"},
      {"MIN()", true, "EXbaseExpression", "A value is required for Min()"},
      {"MAX(1, 'a')", true, "EXbaseExpression", "All arguments for Max() must be of the same type"},
      {"MIN(1, DAY)", true, "EXbaseExpression", "All arguments for Min() must be of the same type"},
      {"TRUE", false, "EXbaseExpression", "Field/variable TRUE is unknown"},
      {"PI + 1", false, "EXbaseExpression", "Field/variable PI is unknown"},
  };
  for (const Row& row : rows) {
    ErrorInfo e = ErrorOf([&] { EvaluateExpression(row.text, row.withLink ? &link_ : nullptr); });
    EXPECT_EQ(e.kind, row.kind) << row.text;
    EXPECT_EQ(e.message, row.message) << row.text;
  }
}

TEST_F(ExprParse, FailedCompilationLeavesNoTree) {
  TxbExpHandler handler(&link_, false, "NAME + 'x'");
  ASSERT_TRUE(handler.HasTree());
  EXPECT_THROW(handler.SetExpression("NAME + UPPER("), EXbaseExpression);
  EXPECT_FALSE(handler.HasTree());
  EXPECT_EQ(handler.OperandCount(), 0);
  EXPECT_EQ(handler.ResultType(), etUnknown);
  Variant v;
  handler.EvaluateVariant(v);
  EXPECT_TRUE(v.IsEmpty());
  // The handler stays usable.
  handler.SetExpression("NAME");
  handler.EvaluateVariant(v);
  EXPECT_EQ(AnsiToUtf8(v.AsString()), "Novák     ");
}

TEST_F(ExprParse, LiteralsMayHoldAnyByteAndOtherQuotes) {
  struct Row {
    std::string text;
    std::string value;
  } rows[] = {
      {"'say \"hi\"'", "say \"hi\""},
      {"[it's]", "it's"},
      {"\"it's\"", "it's"},
      {std::string("'a\x01") + "b\x9B" + "c\x01'", std::string("a\x01") + "b\x9B" + "c\x01"},
      {std::string("'\x01\x01' + '\x9B'"), std::string("\x01\x01\x9B")},
      {"UPPER('a)')", "A)"},
      {"'('", "("},
      {"UPPER('a,b)c')", "A,B)C"},
      {"SUBSTR('a(b', 2)", "(b"},
  };
  for (const Row& row : rows) {
    ExprResult r = EvaluateBytes(row.text, &link_);
    EXPECT_EQ(r.type, etText) << row.text;
    EXPECT_EQ(r.value.AsString(), row.value) << row.text;
  }
  EXPECT_EQ(EvaluateExpression("LEN([it's])", &link_).value.AsDouble(), 4);
}

}  // namespace
