// Round trips through the conversion functions, and hostile input: every
// text, however deep, long or malformed, gives a value or one of the
// expected exceptions (the engine's errors and the platform's conversion
// and math errors) - never a crash, a hang or another exception.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dbase/testing/expr_helpers.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/variant.h"
#include "platform/rtl/codepages.h"
#include "testing/random_input.h"

namespace {

// Compiles, evaluates and prints text; returns "value" or the class of an
// expected exception with its message. Anything else escapes to the test.
std::string Outcome(const std::string& text, TxbExpUserLink* link) {
  try {
    TxbExpHandler handler(link, false, text);
    TxbVariant value;
    handler.EvaluateValue(value);
    (void)handler.ExpressionText();
    return "value";
  } catch (const EXbaseError& e) {
    return "EXbaseError: " + AnsiToUtf8(e.Message()).substr(0, 80);
  } catch (const EConvertError&) {
    return "EConvertError";
  } catch (const EDivByZero&) {
    return "EDivByZero";
  } catch (const EZeroDivide&) {
    return "EZeroDivide";
  } catch (const EOverflow&) {
    return "EOverflow";
  } catch (const EInvalidOp&) {
    return "EInvalidOp";
  }
}

std::string Repeat(const std::string& part, std::size_t times) {
  std::string out;
  out.reserve(part.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += part;
  return out;
}

// The outcome of an engine error with this message.
std::string Engine(const std::string& message) { return "EXbaseError: " + message.substr(0, 80); }

const std::string kCannot = Engine("Expression cannot be evaluated");

class ExprRoundTrip : public ExpressionTestBase {};

TEST_F(ExprRoundTrip, ValReadsWhatStrWrites) {
  TMemoryLink link;
  link.AddField("X", 'N', 20, 6);
  link.AddField("D", 'N', 2);
  TxbExpHandler value(&link, false, "VAL(STR(X, 20, D))");
  TxbExpHandler again(&link, false, "STR(VAL(STR(X, 20, D)), 20, D) == STR(X, 20, D)");
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  for (int i = 0; i < 10000; ++i) {
    int decimals = static_cast<int>(rng() % 7);
    int scale = static_cast<int>(rng() % 14) - 6;  // up to 15 significant digits in 20 places
    double x = mantissa(rng) * std::pow(10.0, scale);
    link.SetNumber("X", x);
    link.SetNumber("D", decimals);
    Variant v;
    value.EvaluateVariant(v);
    double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(x) * 1e-14;
    ASSERT_NEAR(v.AsDouble(), x, tolerance) << "x=" << x << " d=" << decimals;
    again.EvaluateVariant(v);
    ASSERT_TRUE(v.AsBool()) << "x=" << x << " d=" << decimals;
  }
}

TEST_F(ExprRoundTrip, DisplayFormReadsBackEveryDayOf1900To2100) {
  TMemoryLink link;
  link.AddField("DAY", 'D', 8);
  TxbExpHandler handler(&link, false, "DTOS(CTOD(DTOC(DAY))) == DTOS(DAY)");
  for (int32_t day = JulianDay(1900, 1, 1); day <= JulianDay(2100, 12, 31); ++day) {
    link.SetDate("DAY", day);
    Variant v;
    handler.EvaluateVariant(v);
    ASSERT_TRUE(v.AsBool()) << "day " << day;
  }
}

class ExprMalformed : public ExpressionTestBase {
 protected:
  ExprMalformed() {
    FillSampleRecord(link_);
    link_.AddField("A", 'L', 1);
    link_.AddField("B", 'L', 1);
  }
  TMemoryLink link_;
};

TEST_F(ExprMalformed, NestingIsBoundedAndRealNestingWorks) {
  const std::string deepOk = Repeat("(", 150) + "1" + Repeat(")", 150);
  EXPECT_EQ(EvaluateExpression(deepOk, &link_).value.AsDouble(), 1);
  const std::string callsOk = Repeat("UPPER(", 150) + "'a'" + Repeat(")", 150);
  EXPECT_EQ(EvaluateExpression(callsOk, &link_).value.AsString(), "A");
  const std::string sumOk = "1" + Repeat("+1", 999);
  EXPECT_EQ(EvaluateExpression(sumOk, &link_).value.AsDouble(), 1000);
  const std::string notsOk = Repeat("!", 150) + ".T.";
  EXPECT_TRUE(EvaluateExpression(notsOk, &link_).value.AsBool());

  struct Row {
    std::string text;
    std::string outcome;
  } rows[] = {
      {Repeat("(", 10000) + "1" + Repeat(")", 10000), kCannot},
      {Repeat("!", 10000) + ".T.", kCannot},
      {"1" + Repeat("+1", 99999), kCannot},
      {"1" + Repeat("+1", 1000), kCannot},
      {Repeat("UPPER(", 10000) + "'a'" + Repeat(")", 10000), kCannot},
      {Repeat("A .AND. ", 900) + "B", "value"},
      {Repeat("A .AND. ", 5000) + "B", kCannot},
      {Repeat(".NOT. A .OR. ", 300) + "B", kCannot},
  };
  for (const Row& row : rows) EXPECT_EQ(Outcome(row.text, &link_), row.outcome) << row.text.substr(0, 40);
}

TEST_F(ExprMalformed, OversizedTextsAreRefused) {
  struct Row {
    std::string text;
    std::string outcome;
  } rows[] = {
      {"SPACE(2000000000)", kCannot},
      {"SPACE(10^300)", kCannot},
      {"STRTRAN(SPACE(60000), ' ', SPACE(60000))", kCannot},
      {"LEFT('AB', 1000000000000)", kCannot},
      {"PADL('a', 2000000000)", kCannot},
      {"STR(1, 2000000000)", kCannot},
      {"STR(1, 10, 2000000000)", "value"},  // no room for the decimals: stars
      {"SPACE(9000000) + SPACE(9000000)", kCannot},
      {"SPACE(9000000) - SPACE(9000000)", kCannot},
      {"SPACE(16000000)", "value"},
      // Searches stay linear on texts that defeat a plain search.
      {"AT(SPACE(4000000) + 'x', SPACE(16000000))", "value"},
      {"AT(SPACE(4000000), SPACE(8000000), 3000000)", "value"},
      {"SPACE(4000000) + 'x' $ SPACE(16000000)", "value"},
      {"STRTRAN(SPACE(16000000), SPACE(4000000) + 'x', 'y')", "value"},
      {"2^2000000000", "EOverflow"},
      // Arguments held while the next is evaluated: nesting must not
      // multiply the limit of one text.
      {Repeat("MAX(SPACE(16000000), ", 10) + "'x'" + Repeat(")", 10), kCannot},
      {Repeat("LEN(SPACE(16000000)) + ", 3) + "1", "value"},
  };
  for (const Row& row : rows) EXPECT_EQ(Outcome(row.text, &link_), row.outcome) << row.text;

  // The budget is per evaluation: a handler evaluated again and again (a
  // filter record after record) starts afresh each time.
  TxbExpHandler handler(&link_, false, "LEN(SPACE(16000000))");
  TxbVariant value;
  for (int i = 0; i < 8; ++i) handler.EvaluateValue(value);
  EXPECT_EQ(value.AsNumber(), 16000000);
}

TEST_F(ExprMalformed, MegabyteInputsEndCleanly) {
  const std::size_t mib = 1 << 20;
  std::mt19937_64 rng(7);
  std::string noise(mib, '\0');
  for (char& c : noise) c = static_cast<char>(rng() & 0xFF);
  struct Row {
    std::string text;
    std::string outcome;
  } rows[] = {
      {"'" + std::string(mib, 'a') + "'", "value"},
      {std::string(mib, '('), Engine("Missing closing parentheses")},
      {Repeat("(", mib / 2) + "1" + Repeat(")", mib / 2), kCannot},
      {Repeat("1+", mib / 2) + "1", kCannot},
      {std::string(mib, '!') + ".T.", kCannot},
      {std::string(mib, 'A'), Engine("There is no function for " + std::string(mib, 'A'))},
      {"1." + std::string(mib, '0'), "value"},
      {std::string(mib, '9'), "value"},
      {std::string(mib, '\''), Engine("Syntax Error in expression \"" + std::string(mib, '\''))},
      {"A .AND. " + Repeat("!B) .AND. ", mib / 10) + "B", ""},
      {Repeat("UPPER(", mib / 6), Engine("Missing closing parentheses")},
      {noise, ""},
  };
  for (const Row& row : rows) {
    std::string outcome = Outcome(row.text, &link_);
    if (!row.outcome.empty()) {
      EXPECT_EQ(outcome, row.outcome) << row.text.substr(0, 40);
    }
  }
}

// Expressions built from the language's own tokens, as seeds for the
// random mutations.
std::vector<std::string> TokenSoup(std::size_t count, uint64_t seed) {
  static const char* const tokens[] = {
      "ALLTRIM(", "LTRIM(", "RTRIM(", "TRIM(", "LEFT(", "RIGHT(", "SUBSTR(", "PADC(", "PADL(", "PADR(",
      "SPACE(", "STRTRAN(", "UPPER(", "LOWER(", "PROPER(", "LEN(", "AT(", "ATC(", "ASC(", "CHR(",
      "SOUNDEX(", "STR(", "STRZERO(", "VAL(", "ABS(", "INT(", "CEILING(", "FLOOR(", "MOD(", "LOG(",
      "LOG10(", "ACOS(", "ASIN(", "ATAN(", "ATN2(", "COS(", "SIN(", "TAN(", "DTOR(", "RTOD(", "PI(",
      "FV(", "PV(", "DATE(", "CTOD(", "DTOC(", "DTOS(", "DOW(", "IIF(", "BETWEEN(", "INLIST(", "MAX(",
      "MIN(", "EMPTY(", "DESCEND(", "NOSUCH(", "(", ")", ")", ")", ",", ",", "+", "-", "*", "/", "^",
      "**", "=", "==", "#", "<>", "!=", "<", ">", "<=", ">=", "=<", "=>", "$", " .AND. ", " .OR. ",
      " AND ", " or ", "!", ".NOT. ", " NOT ", " EQ ", " ne ", "NAME", "AMOUNT", "DAY", "FLAG",
      "T.NAME", "T->AMOUNT", "TRUE", "FALSE", "PI", "'abc'", "\"x y\"", "[it's]", "{01.03.2024}",
      "{}", "{32.13.2024}", "''", "12.5", "-3", "0", "1e9", "2000000000", ".T.", ".F.", ".X.", " ",
      "CTOD('')", "SPACE(10)", "\x01", "\x9B",
  };
  std::mt19937_64 rng(seed);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < count; ++i) {
    std::string text;
    std::size_t n = 1 + rng() % 12;
    for (std::size_t j = 0; j < n; ++j) text += tokens[rng() % std::size(tokens)];
    out.push_back(text);
  }
  return out;
}

std::vector<std::string> SeedFile() {
  std::string path = __FILE__;
  path = path.substr(0, path.find_last_of('/')) + "/../fuzz/expression_seeds.txt";
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST_F(ExprMalformed, SeededRandomExpressionsEndCleanly) {
  std::vector<std::string> seeds = TokenSoup(400, 42);
  for (std::string& line : SeedFile()) seeds.push_back(std::move(line));
  RandomInputOptions options;
  options.iterations = 20000;
  options.maxSize = 4096;
  RunRandomInputs(seeds, [&](const std::string& input) { Outcome(input, &link_); }, options);
}

}  // namespace
