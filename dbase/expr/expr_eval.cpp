// Evaluation: operators by operand type family, the language's text
// comparison, node values, and storing a result into the engine's value
// buffer. Also the number and size helpers the built-ins share.
//
// Operators evaluate their right operand first, then the left; the result
// type is the right operand's (so a date plus a number is a number, a
// number plus a date a date). Numbers never leave an operation as NaN or
// infinity: such a result raises the platform's math error instead.
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_impl.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/sysutils.h"

namespace {

[[noreturn]] void ValueRequired(const char* what) {
  XbRaise<EXbaseExpression>(xbmValueRequiredInvalid, what);
}

AnsiString TextOf(const Variant& v) { return v.IsString() ? v.StringRef() : v.AsString(); }

// The text of an operand: the string itself when it is one (no copy),
// else its conversion kept in spare.
const AnsiString& TextRef(const Variant& v, AnsiString& spare) {
  if (v.IsString()) return v.StringRef();
  spare = v.AsString();
  return spare;
}

}  // namespace

// x^y. Whole exponents up to 64 in magnitude multiply step by step (n >= 2
// gives exactly the product x*x*...*x); every other exponent goes through
// pow. 0 to a negative power is a division by zero.
double ExpressionPower(double x, double y) {
  if (x == 0 && y < 0) return CheckedDivide(1, 0);
  if (y == std::trunc(y) && std::fabs(y) <= 64) {
    int n = static_cast<int>(y);
    if (n == 0) return 1;
    int count = n < 0 ? -n : n;
    double r = x;
    for (int i = 1; i < count; ++i) r *= x;
    r = CheckedFloat(r);
    return n < 0 ? CheckedDivide(1, r) : r;
  }
  return CheckedFloat(std::pow(x, y));
}

// --- helpers shared with the built-ins --------------------------------------

int32_t ClampToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void CheckTextLength(uint64_t length) {
  if (length > kMaxTextLength) XbRaise<EXbaseExpression>(xbmExprCannotEvaluate);
}

namespace {

// Text bytes made so far by the outermost evaluation running on this
// thread; an evaluation started inside another (a function of a link that
// evaluates an expression of its own) shares its budget.
thread_local uint64_t evaluationText = 0;
thread_local int evaluationDepth = 0;

class EvaluationScope {
 public:
  EvaluationScope() {
    if (evaluationDepth++ == 0) evaluationText = 0;
  }
  ~EvaluationScope() { --evaluationDepth; }
  EvaluationScope(const EvaluationScope&) = delete;
  EvaluationScope& operator=(const EvaluationScope&) = delete;
};

}  // namespace

void ChargeText(uint64_t length) {
  CheckTextLength(length);
  if (evaluationDepth == 0) return;
  evaluationText += length;
  if (evaluationText > kMaxEvaluationText) XbRaise<EXbaseExpression>(xbmExprCannotEvaluate);
}

namespace {

// FormatFixedNumber without the digit string, where the answer is certain:
// the value scaled to whole units of the last decimal is below 10^14 (so
// fewer than 15 digits are kept and no zeros pad them), and its fraction
// lies farther from one half than the rounding to 15 significant digits
// (at most 0.5e-14 of the value) and the scaling (one rounding) could move
// it. Then both roundings agree with rounding the scaled value to the
// nearest unit. False where the general route must decide.
bool FormatFixedQuickly(double value, int32_t decimals, std::size_t maxLength, AnsiString& out) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13};
  if (decimals >= static_cast<int32_t>(std::size(kPowers)) || !std::isfinite(value)) return false;
  const double scaled = std::fabs(value) * kPowers[decimals];
  if (!(scaled < 0.99e14)) return false;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  const double margin = scaled * 1e-14;
  if (std::fabs(fraction - 0.5) <= margin) return false;
  const uint64_t units = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);

  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, units).ptr;
  std::size_t count = static_cast<std::size_t>(end - digits);
  const bool negative = std::signbit(value) && units != 0;
  const std::size_t d = static_cast<std::size_t>(decimals);
  const std::size_t intLength = count > d ? count - d : 1;
  const std::size_t length = (negative ? 1 : 0) + intLength + (d > 0 ? 1 + d : 0);
  if (length > maxLength) {
    out.clear();
    return true;
  }
  out.clear();
  out.reserve(length);
  if (negative) out += '-';
  if (count > d) {
    out.append(digits, count - d);
  } else {
    out += '0';
  }
  if (d > 0) {
    out += '.';
    if (count < d) out.append(d - count, '0');
    out.append(end - std::min(count, d), std::min(count, d));
  }
  return true;
}

}  // namespace

AnsiString FormatFixedNumber(double value, int32_t decimals, std::size_t maxLength) {
  if (decimals < 0) decimals = 0;
  if (AnsiString quick; FormatFixedQuickly(value, decimals, maxLength, quick)) return quick;
  return FormatFixedNumberByDigits(value, decimals, maxLength);
}

AnsiString FormatFixedNumberByDigits(double value, int32_t decimals, std::size_t maxLength) {
  if (decimals < 0) decimals = 0;
  // The value's 15 significant digits d1..d15 and its exponent: value =
  // 0.d1d2...d15 * 10^intDigits.
  std::string digits;
  int intDigits = 0;
  bool negative = std::signbit(value);
  if (value != 0 && std::isfinite(value)) {
    // "d.ddddddddddddddde+XX", correctly rounded like printf's %.14e.
    char buffer[40];
    char* end = std::to_chars(buffer, buffer + sizeof buffer - 1, std::fabs(value), std::chars_format::scientific, 14).ptr;
    *end = '\0';
    digits.push_back(buffer[0]);
    digits.append(buffer + 2, 14);
    int exponent = 0;
    std::from_chars(buffer + 17 + (buffer[17] == '+' ? 1 : 0), end, exponent);
    intDigits = exponent + 1;
  }
  // Round half away from zero at the last decimal kept.
  int64_t keep = static_cast<int64_t>(intDigits) + decimals;
  if (keep < static_cast<int64_t>(digits.size())) {
    bool up = keep >= 0 && digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(keep < 0 ? 0 : static_cast<std::size_t>(keep));
    if (up) {
      std::size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        ++intDigits;
      } else {
        ++digits[i - 1];
      }
    }
  }
  if (digits.find_first_not_of('0') == std::string::npos) negative = false;

  uint64_t intLength = intDigits > 0 ? static_cast<uint64_t>(intDigits) : 1;
  uint64_t length = (negative ? 1 : 0) + intLength + (decimals > 0 ? 1 + static_cast<uint64_t>(decimals) : 0);
  if (length > maxLength) return AnsiString();

  auto digitAt = [&](int64_t k) {
    return k >= 0 && k < static_cast<int64_t>(digits.size()) ? digits[static_cast<std::size_t>(k)] : '0';
  };
  AnsiString out;
  out.reserve(static_cast<std::size_t>(length));
  if (negative) out += '-';
  if (intDigits <= 0) {
    out += '0';
  } else {
    for (int k = 0; k < intDigits; ++k) out += digitAt(k);
  }
  if (decimals > 0) {
    out += '.';
    for (int32_t j = 0; j < decimals; ++j) out += digitAt(static_cast<int64_t>(intDigits) + j);
  }
  return out;
}

int CompareExpressionTexts(const Variant& left, const Variant& right, const TxbMatchSettings& settings) {
  bool leftEmpty = left.IsEmpty() || (left.IsString() && left.StringRef().empty());
  bool rightEmpty = right.IsEmpty() || (right.IsString() && right.StringRef().empty());
  if (leftEmpty || rightEmpty) return leftEmpty == rightEmpty ? 0 : leftEmpty ? -1 : 1;

  AnsiString spareLeft;
  AnsiString spareRight;
  return CompareExpressionTextViews(TextRef(left, spareLeft), TextRef(right, spareRight), settings);
}

int CompareExpressionTextViews(std::string_view left, std::string_view right, const TxbMatchSettings& settings) {
  if (left.empty() || right.empty()) return left.empty() == right.empty() ? 0 : left.empty() ? -1 : 1;
  // Trailing blanks (every byte up to 0x20) do not count.
  auto trimmed = [](std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 0x20) --n;
    return s.substr(0, n);
  };
  std::string_view l = trimmed(left);
  std::string_view r = trimmed(right);
  AnsiString upperLeft;
  AnsiString upperRight;
  if (settings.ignoreCase) {
    upperLeft = UpperLocale(l);
    upperRight = UpperLocale(r);
    l = upperLeft;
    r = upperRight;
  }
  if (settings.matchWildcards && !r.empty() &&
      (r.front() == settings.wildcardAny || r.back() == settings.wildcardAny)) {
    return WildcardPos(r, l, settings.wildcardAny, settings.wildcardOne) > 0 ? 0 : -1;
  }
  int c = CompareStrLocale(l, r);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// --- node values -------------------------------------------------------------

void TxbExpContainer::Evaluate(Variant& value, ExpressionValueType& type) {
  if (right_) {
    right_->Evaluate(value, type);
  } else {
    value.Clear();
    type = etEmpty;
  }
  valueType_ = type;
}

void TxbExpFunction::Evaluate(Variant& value, ExpressionValueType& type) {
  type = etEmpty;
  function_->Evaluate(*this, value, type);
  valueType_ = type;
}

void TxbExpFieldvar::Evaluate(Variant& value, ExpressionValueType& type) {
  type = etEmpty;
  variable_->Evaluate(value, type);
  valueType_ = type;
}

void TxbExpTextLit::Evaluate(Variant& value, ExpressionValueType& type) {
  value = Variant(text_);
  type = etText;
}

void TxbExpNumLit::Evaluate(Variant& value, ExpressionValueType& type) {
  value = Variant(value_);
  type = etNumber;
}

void TxbExpDateLit::Evaluate(Variant& value, ExpressionValueType& type) {
  value = Variant(static_cast<double>(day_));
  type = etDate;
}

void TxbExpBlnLit::Evaluate(Variant& value, ExpressionValueType& type) {
  value = Variant(value_);
  type = etBoolean;
}

void TxbExpOperator::Evaluate(Variant& value, ExpressionValueType& type) {
  if (!right_ || (code_ != opNot && !left_)) {
    XbRaise<EXbaseExpression>(xbmTargetValueMissing, OperatorDisplayText(code_));
  }
  Variant rightValue;
  ExpressionValueType rightType = etUnknown;
  right_->Evaluate(rightValue, rightType);
  Variant leftValue;
  ExpressionValueType leftType = rightType;
  if (left_) left_->Evaluate(leftValue, leftType);

  if (leftType != rightType && !(IsNumericType(leftType) && IsNumericType(rightType))) {
    if (code_ == opNot) ValueRequired("boolean");
    XbRaise<EXbaseExpression>(xbmSidesDoNotMatch);
  }

  value.Clear();
  type = rightType;
  if (rightType == etBoolean) {
    bool l = leftValue.AsBool();
    bool r = rightValue.AsBool();
    switch (code_) {
      case opEqual:
      case opExactlyEqual: value = Variant(l == r); break;
      case opNotEqual: value = Variant(l != r); break;
      case opAnd: value = Variant(l && r); break;
      case opOr: value = Variant(l || r); break;
      case opNot: value = Variant(!r); break;
      case opPlus:
      case opMinus:
      case opMultiply:
      case opDivide:
      case opPower: ValueRequired("number");
      default: ValueRequired("assigned");
    }
  } else if (IsNumericType(rightType)) {
    if (IsComparison(code_) && code_ != opContains) {
      double difference = leftValue.AsDouble() - rightValue.AsDouble();
      value = Variant(ComparisonHolds(code_, difference > 0 ? 1 : difference < 0 ? -1 : 0));
    } else {
      switch (code_) {
        case opPlus: value = leftValue + rightValue; break;
        case opMinus: value = leftValue - rightValue; break;
        case opMultiply: value = leftValue * rightValue; break;
        case opDivide: value = leftValue / rightValue; break;
        case opPower: value = Variant(ExpressionPower(leftValue.AsDouble(), rightValue.AsDouble())); break;
        default: ValueRequired("assigned");
      }
    }
  } else if (rightType == etText) {
    switch (code_) {
      case opExactlyEqual: value = Variant(TextOf(leftValue) == TextOf(rightValue)); break;
      case opContains: {
        AnsiString l = TextOf(leftValue);
        // A byte search like the locale layer's, but linear on any input.
        value = Variant(FindText(TextOf(rightValue), l) != std::string_view::npos);
        break;
      }
      case opPlus: {
        // The operands are this evaluation's own: the left text is taken
        // over and the right one appended without copies.
        AnsiString l = leftValue.TakeString();
        AnsiString spare;
        const AnsiString& r = TextRef(rightValue, spare);
        ChargeText(static_cast<uint64_t>(l.size()) + r.size());
        l += r;
        value = Variant(std::move(l));
        break;
      }
      case opMinus: {
        // Trailing blanks of the left text move behind the right one.
        AnsiString l = TextOf(leftValue);
        const AnsiString r = TextOf(rightValue);
        uint64_t total = static_cast<uint64_t>(l.size()) + r.size();
        ChargeText(total);
        l = TrimRight(l);
        l += r;
        l.resize(static_cast<std::size_t>(total), ' ');
        value = Variant(std::move(l));
        break;
      }
      default:
        if (!IsComparison(code_)) ValueRequired("assigned");
        value = Variant(ComparisonHolds(code_, CompareExpressionTexts(leftValue, rightValue, settings_)));
        break;
    }
  }
  // Other types compute no value.
  if (IsComparison(code_) || code_ == opAnd || code_ == opOr || code_ == opNot) type = etBoolean;
  valueType_ = type;
}

// --- TxbExpHandler: evaluation ----------------------------------------------

void TxbExpHandler::EvaluateVariant(Variant& value) {
  if (!root_) {
    value.Clear();
    resultType_ = etUnknown;
    return;
  }
  ExpressionValueType type = etUnknown;
  EvaluationScope scope;
  root_->Evaluate(value, type);
  resultType_ = type;
}

void TxbExpHandler::EvaluateOther(TxbVariant& value) {
  if (!root_) {
    value.SetText("");
    resultType_ = etUnknown;
    return;
  }
  if (root_->Kind() == enVariable) {
    // A lone variable (the usual index key) may store itself directly,
    // which costs less than even the typed form.
    ExpressionValueType type = etEmpty;
    if (static_cast<TxbExpFieldvar*>(root_.get())->Variable()->EvaluateInto(value, type)) {
      root_->valueType_ = type;
      resultType_ = type;
      return;
    }
  }
  if (typed_) {
    EvaluateTyped(value);
    return;
  }
  Variant result;
  EvaluateVariant(result);
  // A buffer reused from key to key must never keep the previous key when
  // this evaluation has nothing to store.
  value.Clear();
  switch (resultType_) {
    case etText:
      if (!result.IsEmpty()) {
        AnsiString spare;
        value.SetText(TextRef(result, spare));
      }
      break;
    case etNumber:
    case etDateTime:
      if (!result.IsEmpty()) value.SetNumber(result.AsDouble());
      break;
    case etDate:
      if (!result.IsEmpty()) value.SetDate(DayFromDouble(result.AsDouble()));
      break;
    case etBoolean:
      if (!result.IsEmpty()) value.SetLogical(result.AsBool());
      break;
    default:
      resultType_ = etUnknown;
      break;
  }
  if (!typedTried_) {
    typedTried_ = true;
    TypedNodePtr typed = CompileTypedNode(*root_);
    if (typed && typed->Type() == resultType_) {
      typed_ = std::move(typed);
      if (typed_->Type() == etBoolean) {
        conditionTest_ = typed_->ConditionTest();
        typedCondition_ = typed_.get();
      }
    }
  }
}

bool TxbExpHandler::EvaluateOtherCondition() {
  EvaluateValue(conditionValue_);
  return resultType_ == etBoolean && conditionValue_.Kind() == xbvLogical && conditionValue_.AsLogical();
}

void TxbExpHandler::EvaluateTyped(TxbVariant& value) {
  TypedNode& root = *typed_;
  switch (root.Type()) {
    case etText: {
      EvaluationScope scope;
      typedText_.clear();
      root.AppendText(typedText_);
      value.SetText(typedText_);
      break;
    }
    case etDate: {
      const double day = root.Number();
      value.SetDate(DayFromDouble(day));
      break;
    }
    default: {
      const double number = root.Number();
      value.SetNumber(number);
      break;
    }
  }
  resultType_ = root.Type();
}

