// The built-in functions, one table per family (text, number <-> text,
// numeric, date, general), plus the behaviours a table cannot show: case
// functions over OEM texts, the laziness of IIF and the locale of VAL.
#include <gtest/gtest.h>

#include <cmath>

#include "dbase/testing/expr_helpers.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/system.h"

namespace {

using Row = ExprRow;
using ErrorRow = ExprErrorRow;

class ExprFunction : public ExpressionTestBase {
 protected:
  ExprFunction() {
    FillSampleRecord(link_);
    link_.AddField("NODAY", 'D', 8);  // an empty date field: day 0
  }
  void Check(const Row* rows, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      ExpectResult(rows[i].text, EvaluateExpression(rows[i].text, &link_), rows[i].expected);
  }
  void CheckErrors(const ErrorRow* rows, std::size_t n) { ExpectErrors(rows, n, &link_); }
  TMemoryLink link_;
};

TEST_F(ExprFunction, TextFunctions) {
  const Row rows[] = {
      {"ALLTRIM('  a b  ')", {etText, "a b"}},
      {"ALLTRIM(CHR(9) + 'x' + CHR(13))", {etText, "x"}},
      {"LTRIM('  ab ')", {etText, "ab "}},
      {"RTRIM(' ab  ')", {etText, " ab"}},
      {"TRIM('ab ' + CHR(10))", {etText, "ab"}},
      {"TRIM(NAME)", {etText, "Novák"}},
      {"LEFT('AB', 4)", {etText, "AB  "}},
      {"LEFT('ABC', 2)", {etText, "AB"}},
      {"LEFT('ABC', 1.9)", {etText, "A"}},
      {"LEFT('ABC', 0.01)", {etText, ""}},
      {"LEFT('AB', -1000000000000)", {etText, ""}},
      {"RIGHT('ABC', 0)", {etText, ""}},
      {"RIGHT('ABC', 2)", {etText, "BC"}},
      {"RIGHT('ABC', 5)", {etText, "ABC"}},
      {"RIGHT('ABC', 1000000000000)", {etText, "ABC"}},
      {"RIGHT('ABC', -2)", {etText, ""}},
      {"SUBSTR('ABCDE', 2)", {etText, "BCDE"}},
      {"SUBSTR('ABCDE', 4, 9)", {etText, "DE"}},
      {"SUBSTR('ABCDE', 2, 2)", {etText, "BC"}},
      {"SUBSTR('ABC', 0)", {etText, ""}},
      {"SUBSTR('ABC', 4)", {etText, ""}},
      {"SUBSTR('ABC', 3)", {etText, "C"}},
      {"SUBSTR('ABC', 2, 0)", {etText, ""}},
      {"SUBSTR('ABC', -5, 2)", {etText, ""}},
      {"SUBSTR('ABC', 2, 1000000000000)", {etText, "BC"}},
      {"PADC('AB', 7, '*')", {etText, "**AB***"}},
      {"PADC('AB', 6)", {etText, "  AB  "}},
      {"PADL('AB', 5)", {etText, "   AB"}},
      {"PADR('AB', 5, '-')", {etText, "AB---"}},
      {"PADL('ABCDEF', 3)", {etText, "ABCDEF"}},
      {"PADR('AB', -3)", {etText, "AB"}},
      {"PADL(5, 3)", {etText, "  5"}},
      {"PADR(PADL('a', 2, 'x'), 4, 'y')", {etText, "xayy"}},
      {"PADL('a', 3, PADR('-', 1))", {etText, "--a"}},
      {"SPACE(3)", {etText, "   "}},
      {"SPACE(0)", {etText, ""}},
      {"SPACE(-2)", {etText, ""}},
      {"STRTRAN('abcabc', 'b', 'X')", {etText, "aXcaXc"}},
      {"STRTRAN('abcabc', 'b')", {etText, "acac"}},
      {"STRTRAN('abcabc', 'b', 'X', 2)", {etText, "abcaXc"}},
      {"STRTRAN('abcabc', 'b', 'X', 1, 1)", {etText, "aXcabc"}},
      {"STRTRAN('abcabc', 'b', 'X', 0)", {etText, "aXcaXc"}},
      {"STRTRAN('abcabc', 'b', 'X', 1, 0)", {etText, "abcabc"}},
      {"STRTRAN('abc', '', 'X')", {etText, "abc"}},
      {"STRTRAN('', 'a', 'X')", {etText, ""}},
      {"STRTRAN('aaa', 'a', 'aa')", {etText, "aaaaaa"}},
      {"STRTRAN('aaaa', 'aa', 'b')", {etText, "bb"}},
      {"UPPER('žluťoučký kůň')", {etText, "ŽLUŤOUČKÝ KŮŇ"}},
      {"LOWER('ŽLUŤOUČKÝ Kůň')", {etText, "žluťoučký kůň"}},
      {"PROPER('jan NOVÁK-svoboda')", {etText, "Jan Novák-Svoboda"}},
      {"PROPER([o'neil])", {etText, "O'neil"}},
      {"PROPER('a.b(c)d@e_f1g')", {etText, "A.B(C)D@E_F1g"}},
      {"PROPER('')", {etText, ""}},
      {"LEN('AB  ')", {etNumber, "4"}},
      {"LEN('')", {etNumber, "0"}},
      {"LEN(NAME)", {etNumber, "10"}},
      {"AT('AA', 'AAAA', 2)", {etNumber, "2"}},
      {"AT('b', 'abcb')", {etNumber, "2"}},
      {"AT('b', 'abcb', 2)", {etNumber, "4"}},
      {"AT('b', 'abcb', 3)", {etNumber, "0"}},
      {"AT('b', 'abcb', 0)", {etNumber, "0"}},
      {"AT('x', 'abc')", {etNumber, "0"}},
      {"AT('', 'abc')", {etNumber, "0"}},
      {"AT('B', 'abc')", {etNumber, "0"}},
      {"ATC('B', 'abc')", {etNumber, "2"}},
      {"ATC('bc', 'ABCBC', 2)", {etNumber, "4"}},
      {"ASC('A')", {etNumber, "65"}},
      {"ASC('')", {etNumber, "0"}},
      {"ASC(CHR(200))", {etNumber, "200"}},
      {"CHR(65) + CHR(66.9)", {etText, "AB"}},
      {"SOUNDEX('Robert')", {etText, "R163"}},
      {"SOUNDEX('Rupert')", {etText, "R163"}},
      {"SOUNDEX('Tymczak')", {etText, "T520"}},
      {"SOUNDEX('Pfister')", {etText, "P123"}},
      {"SOUNDEX('a')", {etText, "A000"}},
      {"SOUNDEX('')", {etText, "0000"}},
  };
  Check(rows, std::size(rows));
  const ErrorRow errors[] = {
      {"CHR(-1)", "EXbaseExpression", "A Byte value is required but invalid"},
      {"CHR(1000000000000)", "EXbaseExpression", "A Byte value is required but invalid"},
      {"PADC('a', 3, 5)", "EXbaseExpression", "A Char value is required but invalid"},
      {"PADC('a', 3, '')", "EXbaseExpression", "A Char value is required but invalid"},
      {"LEFT(1, 2)", "EXbaseExpression", "Text needed for Argument 1 of LEFT"},
      {"LEFT('a')", "EXbaseExpression", "Number needed for Argument 2 of LEFT"},
      {"STRTRAN('a', 'b', 3)", "EXbaseExpression", "Text needed for Argument 3 of STRTRAN"},
      {"AT('a', 'b', 'c')", "EXbaseExpression", "Number needed for Argument 3 of AT"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprFunction, NumberTextConversions) {
  const Row rows[] = {
      {"STR(3.14159, 6, 2)", {etText, "  3.14"}},
      {"STR(123456, 3)", {etText, "***"}},
      {"STR(42)", {etText, "        42"}},
      {"STR(-42, 5)", {etText, "  -42"}},
      {"STR(-0.001, 6, 2)", {etText, "  0.00"}},
      {"STR(2.675, 6, 2)", {etText, "  2.68"}},
      {"STR(0.125, 5, 2)", {etText, " 0.13"}},
      {"STR(-1.5)", {etText, "        -2"}},
      {"STR(0.5)", {etText, "         1"}},
      {"STR(99.99, 5, 1)", {etText, "100.0"}},
      {"STR(99.99, 4, 1)", {etText, "****"}},
      {"STR(1.23, 4, 2)", {etText, "1.23"}},
      {"STR(12.3, 4, 2)", {etText, "****"}},
      {"STR(1, 3, -1)", {etText, "  1"}},
      {"STR(1.5, 0)", {etText, ""}},
      {"STR(1.5, -4)", {etText, ""}},
      {"STR(100000000000000000000, 25)", {etText, "    100000000000000000000"}},
      {"STR(0.000001234, 12, 9)", {etText, " 0.000001234"}},
      {"STR(AMOUNT, 10, 2)", {etText, "   1234.50"}},
      {"STRZERO(42, 5)", {etText, "00042"}},
      {"STRZERO(-42, 5)", {etText, "-0042"}},
      {"STRZERO(-12345, 5)", {etText, "*****"}},
      {"STRZERO(3.5, 6, 2)", {etText, "003.50"}},
      {"STRZERO(-3.5, 6, 2)", {etText, "-03.50"}},
      {"VAL('3,5')", {etNumber, "3.5"}},
      {"VAL('3.5')", {etNumber, "3.5"}},
      {"VAL(' 12 ')", {etNumber, "12"}},
      {"VAL('-1.25')", {etNumber, "-1.25"}},
      {"VAL('12abc')", {etNumber, "0"}},
      {"VAL('')", {etNumber, "0"}},
      {"VAL(STR(3.5, 5, 1))", {etNumber, "3.5"}},
  };
  Check(rows, std::size(rows));
}

TEST_F(ExprFunction, StrTakesItsDefaultWidthFromTheLink) {
  link_.SetDefaultNumberWidth(5);
  ExpectResult("STR(42)", EvaluateExpression("STR(42)", &link_), {etText, "   42"});
  // A negative setting means the first argument's own width.
  link_.SetDefaultNumberWidth(-1);
  ExpectResult("STR(AMOUNT)", EvaluateExpression("STR(AMOUNT)", &link_), {etText, "        1235"});
  ExpectResult("STR(7)", EvaluateExpression("STR(7)", &link_), {etText, "7"});
  ExpectResult("STR(7) no link", EvaluateExpression("STR(7)"), {etText, "         7"});
}

TEST_F(ExprFunction, ValReadsTheLocaleSeparatorThenThePoint) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().DecimalSeparator = '.';
  double comma = EvaluateExpression("VAL('3,5')", &link_).value.AsDouble();
  double point = EvaluateExpression("VAL('3.5')", &link_).value.AsDouble();
  FormatSettings() = saved;
  EXPECT_EQ(comma, 0);
  EXPECT_EQ(point, 3.5);
}

TEST_F(ExprFunction, NumericFunctions) {
  const double pi = 3.1415926535897932385;
  auto n = [](double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return std::string(buffer);
  };
  const Row rows[] = {
      {"ABS(-2.5)", {etNumber, "2.5"}},
      {"ABS(DAY - DAY - 3)", {etNumber, "3"}},
      {"INT(-2.7)", {etNumber, "-2"}},
      {"INT(2.7)", {etNumber, "2"}},
      {"CEILING(2.1)", {etNumber, "3"}},
      {"CEILING(-2.1)", {etNumber, "-2"}},
      {"FLOOR(-2.1)", {etNumber, "-3"}},
      {"FLOOR(2.9)", {etNumber, "2"}},
      {"MOD(-7, 3)", {etNumber, "-1"}},
      {"MOD(7, -3)", {etNumber, "1"}},
      {"MOD(7.9, 3.2)", {etNumber, "1"}},
      {"LOG(1)", {etNumber, "0"}},
      {"LOG(2.718281828459045)", {etNumber, "1"}},
      {"LOG10(1000)", {etNumber, "3"}},
      {"ACOS(1)", {etNumber, "0"}},
      {"ASIN(1)", {etNumber, n(pi / 2)}},
      {"ATAN(1)", {etNumber, n(pi / 4)}},
      {"ATN2(1, -1)", {etNumber, n(3 * pi / 4)}},
      {"ATN2(-1, 0)", {etNumber, n(-pi / 2)}},
      {"COS(0)", {etNumber, "1"}},
      {"SIN(0)", {etNumber, "0"}},
      {"TAN(PI() / 4)", {etNumber, "1"}},
      {"DTOR(180)", {etNumber, n(pi)}},
      {"RTOD(PI())", {etNumber, "180"}},
      {"PI()", {etNumber, n(pi)}},
      {"PI", {etNumber, n(pi)}},
      {"FV(100, 0.05, 10)", {etNumber, "1257.78925355488"}},
      {"PV(100, 0.05, 10)", {etNumber, "772.173492918482"}},
      {"FV(100, 0, 10)", {etNumber, "1000"}},
      {"PV(100, 0, 10, 50)", {etNumber, "1050"}},
      {"FV(100, 0.05, 10, 0, 1)", {etNumber, "1320.67871623262"}},
      {"FV(100, 0.05, 10, 0, 0.9)", {etNumber, "1257.78925355488"}},
      {"FV(-100, 0.05, 10)", {etNumber, "1257.78925355488"}},
      {"FV(0, 0.1, 2, 100)", {etNumber, "121"}},
      {"PV(0, 0.1, 2, 121)", {etNumber, "100"}},
  };
  Check(rows, std::size(rows));
  const ErrorRow errors[] = {
      {"MOD(1, 0)", "EDivByZero", "Division by zero"},
      {"MOD(1, 0.5)", "EDivByZero", "Division by zero"},
      {"LOG(0)", "EXbaseExpression", "Argument for LOG must be > 0"},
      {"LOG10(-1)", "EXbaseExpression", "Argument for LOG10 must be > 0"},
      {"ACOS(1.5)", "EXbaseExpression", "Argument for ACOS must be -1 to +1"},
      {"ASIN(-2)", "EXbaseExpression", "Argument for ASIN must be -1 to +1"},
      {"FV(100, 0.05, 10, 0, -1)", "EXbaseExpression", "Argument for FV PaymentTime must be 0 or 1"},
      {"FV(100, 0.05, 10, 0, 2)", "EXbaseExpression", "Argument for FV PaymentTime must be 0 or 1"},
      {"PV(100, 0.05, 10, 0, -1)", "EXbaseExpression", "Argument for PV PaymentTime must be 0 or 1"},
      {"FV(100, 1, 2000)", "EOverflow", "Floating point overflow"},
      {"PV(100, -1, 3)", "EZeroDivide", "Floating point division by zero"},
      {"ABS('a')", "EXbaseExpression", "Number needed for Argument 1 of ABS"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprFunction, DateFunctions) {
  int32_t march1 = JulianDay(2024, 3, 1);
  const std::string emptyDate = "1e100";
  const Row rows[] = {
      {"CTOD('01.03.2024')", {etDate, std::to_string(march1)}},
      {"CTOD('1.3.2024')", {etDate, std::to_string(march1)}},
      {"CTOD('20240229')", {etDate, std::to_string(JulianDay(2024, 2, 29))}},
      {"CTOD('')", {etDate, emptyDate}},
      {"CTOD('   ')", {etDate, "0"}},
      {"DTOS(CTOD('01.03.2024'))", {etText, "20240301"}},
      {"DTOS(DAY)", {etText, "20240301"}},
      {"DTOS(CTOD(''))", {etText, "        "}},
      {"DTOS(NODAY)", {etText, "        "}},
      {"DTOC({01.03.2024})", {etText, "01.03.2024"}},
      {"DTOC({01.03.2024}, 1)", {etText, "20240301"}},
      {"DTOC(CTOD(''))", {etText, "          "}},
      {"DTOC(NODAY)", {etText, "          "}},
      {"DTOC(NODAY, 1)", {etText, "        "}},
      {"DOW({01.03.2024})", {etNumber, "6"}},
      {"DOW({03.03.2024})", {etNumber, "1"}},
      {"DOW(CTOD(''))", {etNumber, "0"}},
      {"DOW(NODAY)", {etNumber, "0"}},
      {"DATE() = DATE()", {etBoolean, "T"}},
      {"DATE() > {01.01.2020}", {etBoolean, "T"}},
      // An empty field (0) and the empty date (1e100) stay different values.
      {"CTOD('') = NODAY", {etBoolean, "F"}},
      {"EMPTY(CTOD('')) .AND. EMPTY(NODAY)", {etBoolean, "T"}},
  };
  Check(rows, std::size(rows));
  EXPECT_EQ(EvaluateExpression("DATE()", &link_).value.AsDouble(), DbfDate().Today());
  const ErrorRow errors[] = {
      {"CTOD('abc')", "EConvertError", "'abc' is not a valid date"},
      {"CTOD('31.02.2024')", "EConvertError", "'31.02.2024' is not a valid date"},
      {"DTOS('20240101')", "EXbaseExpression", "Date needed for Argument 1 of DTOS"},
  };
  CheckErrors(errors, std::size(errors));
}

TEST_F(ExprFunction, GeneralFunctions) {
  int32_t march1 = JulianDay(2024, 3, 1);
  const Row rows[] = {
      {"IIF(.T., 1, 'x')", {etNumber, "1"}},
      {"IIF(.F., 1, 'x')", {etText, "x"}},
      {"IIF(FLAG, NAME, 'x')", {etText, "Novák     "}},
      {"IIF(.F., 1)", {etEmpty, ""}},
      {"BETWEEN(5, 1, 10)", {etBoolean, "T"}},
      {"BETWEEN(5, 5, 5)", {etBoolean, "T"}},
      {"BETWEEN(0, 1, 10)", {etBoolean, "F"}},
      {"BETWEEN(11, 1, 10)", {etBoolean, "F"}},
      {"BETWEEN('b', 'a', 'c')", {etBoolean, "T"}},
      {"BETWEEN('ch', 'c', 'h')", {etBoolean, "F"}},
      {"BETWEEN(DAY, {01.01.2024}, {31.12.2024})", {etBoolean, "T"}},
      {"BETWEEN(DAY, 0, 9999999)", {etBoolean, "T"}},
      {"BETWEEN(.T., .F., .T.)", {etBoolean, "T"}},
      {"INLIST('b  ', 'a', 'b')", {etBoolean, "T"}},
      {"INLIST('b', 'b  ')", {etBoolean, "F"}},
      {"INLIST(2, 1, 2)", {etBoolean, "T"}},
      {"INLIST(2, '2')", {etBoolean, "F"}},
      {"INLIST(3, 1, 2)", {etBoolean, "F"}},
      {"INLIST(DAY, 0, DAY)", {etBoolean, "T"}},
      {"INLIST()", {etBoolean, "F"}},
      {"INLIST(1)", {etBoolean, "F"}},
      {"MAX(1, 3, 2)", {etNumber, "3"}},
      {"MIN(3, 1, 2)", {etNumber, "1"}},
      {"MAX('a', 'č', 'c')", {etText, "č"}},
      {"MIN('h', 'ch')", {etText, "h"}},
      {"MAX(.F., .T.)", {etBoolean, "T"}},
      {"MAX({01.01.2024}, DAY)", {etDate, std::to_string(march1)}},
      {"MAX(7)", {etNumber, "7"}},
      {"EMPTY('   ')", {etBoolean, "T"}},
      {"EMPTY('')", {etBoolean, "T"}},
      {"EMPTY(' a')", {etBoolean, "F"}},
      {"EMPTY(0)", {etBoolean, "T"}},
      {"EMPTY(0.5)", {etBoolean, "F"}},
      {"EMPTY(.F.)", {etBoolean, "T"}},
      {"EMPTY(.T.)", {etBoolean, "F"}},
      {"EMPTY({})", {etBoolean, "T"}},
      {"EMPTY(DAY)", {etBoolean, "F"}},
      {"EMPTY(())", {etBoolean, "F"}},
      {"DESCEND(5)", {etNumber, "-5"}},
      {"DESCEND(0)", {etNumber, "0"}},
      {"DESCEND(.T.)", {etBoolean, "F"}},
      {"DESCEND({01.03.2024})", {etDate, std::to_string(5231808 - march1)}},
      {"DESCEND(NODAY)", {etDate, "5231808"}},
      {"DESCEND(CTOD(''))", {etDate, "1e100"}},
      {"DESCEND(())", {etBoolean, "F"}},
  };
  Check(rows, std::size(rows));
  // Text bytes c become (256 - c) mod 256.
  ExprResult r = EvaluateExpression("DESCEND(CHR(1) + CHR(0) + CHR(255) + 'A')", &link_);
  EXPECT_EQ(r.type, etText);
  EXPECT_EQ(r.value.AsString(), std::string("\xFF\x00\x01\xBF", 4));
  // -0 never leaves a function: keys compare numbers by their bytes.
  EXPECT_FALSE(std::signbit(EvaluateExpression("DESCEND(0)", &link_).value.AsDouble()));
  EXPECT_FALSE(std::signbit(EvaluateExpression("INT(-0.5)", &link_).value.AsDouble()));

  const ErrorRow errors[] = {
      {"IIF(1, 2, 3)", "EXbaseExpression", "Boolean needed for Argument 1 of IIF"},
      {"BETWEEN(5, 'a', 'z')", "EXbaseExpression", "Number needed for Argument 2 of BETWEEN"},
      {"BETWEEN('a', 'a', 1)", "EXbaseExpression", "Text needed for Argument 3 of BETWEEN"},
      {"MAX(1, 'a')", "EXbaseExpression", "All arguments for Max() must be of the same type"},
      {"MAX(DAY, 1)", "EXbaseExpression", "All arguments for Max() must be of the same type"},
  };
  CheckErrors(errors, std::size(errors));
}

// Counts its calls, to show which arguments a function evaluates.
class CountingFunction : public TxbUserDefFunction {
 public:
  explicit CountingFunction(int* calls) : calls_(calls) {}
  AnsiString FunctionName() const override { return "COUNTED"; }
  void Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) override {
    ++*calls_;
    value = Variant(1.0);
    type = etNumber;
  }

 private:
  int* calls_;
};

TEST_F(ExprFunction, IifEvaluatesOnlyTheChosenBranch) {
  int calls = 0;
  link_.AddFunction(new CountingFunction(&calls));
  EXPECT_EQ(EvaluateExpression("IIF(.T., 5, COUNTED())", &link_).value.AsDouble(), 5);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(EvaluateExpression("IIF(.F., 5, COUNTED())", &link_).value.AsDouble(), 1);
  EXPECT_EQ(calls, 1);
  // INLIST stops at the first equal value.
  EXPECT_TRUE(EvaluateExpression("INLIST(1, 1, COUNTED())", &link_).value.AsBool());
  EXPECT_EQ(calls, 1);
}

TEST_F(ExprFunction, CaseFunctionsConvertOemTextsThroughAnsi) {
  TMemoryLink oem("O", 2);
  oem.SetOemTexts(true);
  oem.AddField("TEXT", 'C', 20);
  struct Row {
    const char* stored;  // UTF-8, stored in CP852
    const char* function;
    const char* expected;  // UTF-8, expected in CP852
  } rows[] = {
      {"žluťoučký kůň", "UPPER", "ŽLUŤOUČKÝ KŮŇ"},
      {"ŽLUŤOUČKÝ KŮŇ", "LOWER", "žluťoučký kůň"},
      {"čERNÝ čAJ", "PROPER", "Černý Čaj"},
  };
  for (const Row& row : rows) {
    oem.SetText("TEXT", AnsiToOem(Cz(row.stored)));
    ExprResult r = EvaluateBytes(std::string(row.function) + "(TRIM(TEXT))", &oem);
    AnsiString want = AnsiToOem(Cz(row.expected));
    EXPECT_EQ(r.value.AsString(), want) << row.function << " " << row.stored;
  }
  // Bytes without a case partner in either code page stay as they are:
  // 0xC1 is a box character in CP852 and must not become 0xE1 ("ß").
  for (const char* function : {"LOWER", "UPPER", "PROPER"}) {
    oem.SetText("TEXT", "\xC1\xB3\xDB");
    ExprResult r = EvaluateBytes(std::string(function) + "(TRIM(TEXT))", &oem);
    EXPECT_EQ(r.value.AsString(), "\xC1\xB3\xDB") << function;
  }
  // Without the OEM flag the same bytes are CP1250 letters.
  ExprResult ansi = EvaluateBytes("LOWER('\xC1')", &link_);
  EXPECT_EQ(ansi.value.AsString(), "\xE1");
}

}  // namespace
