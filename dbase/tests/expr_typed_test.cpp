// The typed evaluation of expressions over variables of fixed types must
// give what the general evaluation gives: the same stored value and type,
// or the same error, on every record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "dbase/base/variant.h"
#include "dbase/expr/expr_impl.h"
#include "dbase/expr/expression.h"
#include "dbase/testing/expr_helpers.h"
#include "platform/rtl/codepages.h"

namespace {

struct Outcome {
  ErrorInfo error;
  ExpressionValueType type = etUnknown;
  TxbVariantKind kind = xbvEmpty;
  std::string bytes;
};

Outcome Evaluate(TxbExpHandler& handler) {
  Outcome outcome;
  TxbVariant value;
  value.SetText("stale");
  outcome.error = ErrorOf([&] { handler.EvaluateValue(value); });
  outcome.type = handler.ResultType();
  outcome.kind = value.Kind();
  outcome.bytes.assign(reinterpret_cast<const char*>(value.Data()), static_cast<std::size_t>(value.Length()));
  return outcome;
}

struct Record {
  const char* name;  // UTF-8
  double amount;
  int32_t day;
  bool flag;
};

class TypedExpression : public ExpressionTestBase {
 protected:
  TypedExpression() {
    link_.AddField("NAME", 'C', 10);
    link_.AddField("AMOUNT", 'N', 12, 2);
    link_.AddField("DAY", 'D', 8);
    link_.AddField("FLAG", 'L', 1);
  }
  void Load(const Record& r) {
    link_.SetText("NAME", Utf8ToAnsi(r.name));
    link_.SetNumber("AMOUNT", r.amount);
    link_.SetDate("DAY", r.day);
    link_.SetLogical("FLAG", r.flag);
  }
  TMemoryLink link_;
};

TEST_F(TypedExpression, GivesWhatTheGeneralEvaluationGivesOnEveryRecord) {
  const Record records[] = {
      {"Novák", 1234.5, JulianDay(2024, 3, 1), true},
      {"", 0, 0, false},
      {"  x  ", -0.5, JulianDay(1900, 1, 1), true},
      {"Šťastný", 2.5, JulianDay(2023, 12, 31), false},
      {"nov*", 0.125, JulianDay(2024, 1, 1), true},
      {"Žluťoučký kůň", 1e300, JulianDay(2099, 12, 31), false},
      {"a", -1e-5, JulianDay(2024, 2, 29), true},
      {"ov", 99999999.995, JulianDay(2000, 2, 29), false},
      {"x", -1234567.125, JulianDay(1999, 7, 7), true},
  };
  struct Row {
    const char* text;
    bool typed;  // whether the typed form is taken
  } rows[] = {
      {"DTOS(DAY)+STR(AMOUNT,10)+UPPER(NAME)", true},
      {"DAY >= {1.1.2024} .AND. AMOUNT > 100", true},
      {"{1.1.2024} <= DAY .OR. 100 < AMOUNT", true},
      {"AMOUNT = 0 .OR. AMOUNT # 2.5 .AND. !FLAG", true},
      {"FLAG = .T.", true},
      {"FLAG # FLAG", true},
      {"FLAG == TRUE", true},
      {"AMOUNT * 2 + 1", true},
      {"AMOUNT / (AMOUNT - AMOUNT)", false},  // never evaluates, so never typed
      {"AMOUNT ** 2", true},
      {"2 ** AMOUNT", true},
      {"AMOUNT * AMOUNT > PI", true},
      {"DAY + 1", true},
      {"1 + DAY", true},
      {"DAY - DAY", true},
      {"STR(AMOUNT)", true},
      {"STR(AMOUNT, 12, 3)", true},
      {"STR(AMOUNT, 3)", true},
      {"STR(AMOUNT, -1)", true},
      {"STR(AMOUNT, 20, AMOUNT)", true},
      {"DTOS(DAY)", true},
      {"DTOS(DAY + 0.5)", true},
      {"UPPER(NAME) = 'NOV'", true},
      {"NAME = 'Nov*'", true},
      {"NAME = ''", true},
      {"NAME == 'Nov'", true},
      {"'ov' $ NAME", true},
      {"NAME $ 'Novák     x'", true},
      {"NAME < 'O'", true},
      {"NAME - 'x'", true},
      {"TRIM(NAME) + '|'", true},
      {"RTRIM(NAME) - NAME", true},
      {"LTRIM('  ' + NAME) + '|'", true},
      {"ALLTRIM(' ' + NAME) + '|'", true},
      {"LEFT(NAME, 3)", true},
      {"LEFT(NAME, 15) + '|'", true},
      {"LEFT(NAME, -1)", true},
      {"LEFT(NAME, AMOUNT)", true},
      {"SUBSTR(NAME, 2, 3)", true},
      {"SUBSTR(NAME, 2)", true},
      {"SUBSTR(NAME, 0, 3)", true},
      {"SUBSTR(NAME, 9, 5)", true},
      {"SUBSTR(NAME, AMOUNT, AMOUNT)", true},
      {"LOWER(NAME) + UPPER('š')", true},
      {"(AMOUNT) > (0)", true},
      // Runs of terms under one operator are tested as one chain.
      {"AMOUNT > 0 .AND. DAY < {1.1.2024} .AND. 1 < AMOUNT", true},
      {"AMOUNT >= 99999999 .OR. DAY = {29.2.2024} .OR. 0 >= AMOUNT .OR. DAY # {1.1.1900}", true},
      {"(AMOUNT > 0 .AND. DAY > 0) .AND. (AMOUNT < 5 .AND. 2 = AMOUNT)", true},
      {"AMOUNT > 0 .AND. (DAY > {1.1.2024} .OR. AMOUNT < 5)", true},
      {"AMOUNT > 0 .OR. FLAG .OR. DAY <= {1.1.2000}", true},
      {"AMOUNT = AMOUNT .AND. DAY > 0", true},
      // No typed form: these go on through the general path.
      {"STRZERO(AMOUNT, 10)", false},
      {"IIF(FLAG, NAME, 'no')", false},
      {"DTOS(DAY, 1)", false},
  };
  for (const bool oem : {false, true}) {
    link_.SetOemTexts(oem);
    link_.SetDefaultNumberWidth(oem ? -1 : 10);
    for (const Row& row : rows) {
      SCOPED_TRACE(row.text);
      TxbExpHandler typed(&link_, false, Utf8ToAnsi(row.text));
      // The first evaluation that succeeds decides on the typed form.
      for (const Record& record : records) {
        Load(record);
        Evaluate(typed);
      }
      EXPECT_EQ(typed.EvaluatesTyped(), row.typed);
      for (const Record& record : records) {
        SCOPED_TRACE(record.name);
        Load(record);
        TxbExpHandler general(&link_, false, Utf8ToAnsi(row.text));
        const Outcome expected = Evaluate(general);
        const Outcome actual = Evaluate(typed);
        EXPECT_EQ(actual.error.kind, expected.error.kind);
        EXPECT_EQ(actual.error.message, expected.error.message);
        if (!expected.error.kind.empty()) continue;  // the value and type stay as they were
        EXPECT_EQ(actual.type, expected.type);
        EXPECT_EQ(actual.kind, expected.kind);
        EXPECT_EQ(actual.bytes, expected.bytes);
      }
    }
  }
}

TEST_F(TypedExpression, OperandsOfDifferentKindsStillRaise) {
  Load({"Novák", 1, JulianDay(2024, 3, 1), true});
  for (const char* text : {"NAME + AMOUNT", "FLAG .AND. AMOUNT", "AMOUNT $ AMOUNT", "FLAG + FLAG"}) {
    SCOPED_TRACE(text);
    TxbExpHandler handler(&link_, false, text);
    EXPECT_EQ(Evaluate(handler).error.kind, "EXbaseExpression");
    EXPECT_EQ(Evaluate(handler).error.kind, "EXbaseExpression");
    EXPECT_FALSE(handler.EvaluatesTyped());
  }
}

// The quick route of fixed-point formatting against the digit string, on
// values near every rounding edge.
TEST(FixedNumber, QuickRouteAgreesWithTheDigitString) {
  std::mt19937_64 rng(30);
  std::uniform_int_distribution<int> decimalsOf(-1, 15);
  for (int i = 0; i < 200000; ++i) {
    const int decimals = decimalsOf(rng);
    const double scale = std::pow(10.0, decimals < 0 ? 0 : decimals);
    double value;
    switch (i % 4) {
      case 0:  // halves and near-halves of the last decimal
        value = (static_cast<double>(static_cast<int64_t>(rng() % 2000000001) - 1000000000) + 0.5) / scale;
        break;
      case 1:  // random bit patterns of any magnitude
      {
        const uint64_t bits = rng();
        std::memcpy(&value, &bits, sizeof value);
        break;
      }
      case 2:  // amounts with cents
        value = static_cast<double>(static_cast<int64_t>(rng() % 200000000001) - 100000000000) / 100;
        break;
      default:  // next to whole numbers
        value = std::nextafter(static_cast<double>(rng() % 100000), (rng() & 1) ? 1e300 : -1e300);
        break;
    }
    const std::size_t maxLength = (i % 7 == 0) ? static_cast<std::size_t>(rng() % 20) : kMaxTextLength;
    ASSERT_EQ(FormatFixedNumber(value, decimals, maxLength), FormatFixedNumberByDigits(value, decimals, maxLength))
        << value << " with " << decimals << " decimals, at most " << maxLength;
  }
}

}  // namespace
