// Private helpers of the expression language, shared by its source files
// and the built-in functions; not part of the engine's interface.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "dbase/expr/expression.h"
#include "dbase/expr/expr_typed.h"

// The arguments between a function's parentheses, split at the commas of
// their own level (quoted spans and nested parentheses are kept whole);
// empty arguments are dropped.
std::vector<AnsiString> SplitExpressionArguments(std::string_view text);

// The comparison operators ("$" among them, though it is no ordering).
inline bool IsComparison(int code) { return code >= opEqual && code <= opExactlyEqual; }

// Whether a comparison operator holds for a three-way result sign.
inline bool ComparisonHolds(int code, int sign) {
  switch (code) {
    case opEqual:
    case opExactlyEqual: return sign == 0;
    case opNotEqual: return sign != 0;
    case opGreater: return sign > 0;
    case opLess: return sign < 0;
    case opGreaterEqual: return sign >= 0;
    case opLessEqual: return sign <= 0;
    default: return false;
  }
}

// x^y as the ** operator computes it.
double ExpressionPower(double x, double y);

// CompareExpressionTexts on two texts (an empty text as an empty side).
int CompareExpressionTextViews(std::string_view left, std::string_view right, const TxbMatchSettings& settings);

// A count, width or position taken from a double: truncated towards zero
// after clamping into the 32-bit range (NaN gives 0).
int32_t ClampToInt32(double value);

// Raises "Expression cannot be evaluated" when a text of `length` bytes
// would exceed kMaxTextLength.
void CheckTextLength(uint64_t length);

// Counts a text value of `length` bytes just made by an operator or a
// built-in against the current evaluation's kMaxEvaluationText (after the
// CheckTextLength test); raises "Expression cannot be evaluated" beyond it.
void ChargeText(uint64_t length);

// value with `decimals` digits after a "." (none for 0 or less), rounded
// half away from zero on the value's 15 significant digits, without a
// minus sign when it rounds to zero. Returns an empty text instead when the
// result would be longer than maxLength.
AnsiString FormatFixedNumber(double value, int32_t decimals, std::size_t maxLength = kMaxTextLength);
// The same through the value's 15-digit string always (FormatFixedNumber
// takes a shorter route where the answer is certain without it).
AnsiString FormatFixedNumberByDigits(double value, int32_t decimals, std::size_t maxLength = kMaxTextLength);

// Calls found(position) for each occurrence of pattern in text, in order,
// until it returns false; overlapping occurrences when `overlapping`, else
// each search goes on after the previous match. Linear in the lengths
// whatever the bytes (a plain search is quadratic on texts such as
// SPACE(8000000) + "x"). An empty pattern has no occurrences.
template <class F>
void ForEachOccurrence(std::string_view text, std::string_view pattern, bool overlapping, F&& found) {
  const std::size_t m = pattern.size();
  if (m == 0 || m > text.size()) return;
  std::vector<std::size_t> fail(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = fail[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    fail[i] = k;
  }
  std::size_t k = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != pattern[k]) k = fail[k - 1];
    if (text[i] == pattern[k]) ++k;
    if (k == m) {
      if (!found(i + 1 - m)) return;
      k = overlapping ? fail[m - 1] : 0;
    }
  }
}

// 0-based position of the first occurrence of pattern in text; npos when
// there is none or pattern is empty.
inline std::size_t FindText(std::string_view text, std::string_view pattern) {
  std::size_t at = std::string_view::npos;
  ForEachOccurrence(text, pattern, false, [&](std::size_t p) {
    at = p;
    return false;
  });
  return at;
}

// Base of the built-in functions: a fixed registered name and helpers for
// reading arguments and setting results.
class TxbBuiltinFunction : public TxbUserDefFunction {
 public:
  explicit TxbBuiltinFunction(const char* name) : name_(name) {}
  AnsiString FunctionName() const override { return name_; }
  // The typed form of a call of this function over the typed forms of its
  // arguments (as many as the call has), computing what Evaluate computes;
  // null where the function has none for these arguments. Base: null.
  virtual TypedNodePtr Typed(const TxbExpFunction& node, TypedArguments& arguments) const;

 protected:
  static bool HasArgument(const TxbExpFunction& node, int index) {
    return index < node.ArgumentCount();
  }
  // Argument values of the expected type (the handler raises for others).
  static AnsiString TextArgument(TxbExpFunction& node, int index);
  static double NumberArgument(TxbExpFunction& node, int index);
  static double DateArgument(TxbExpFunction& node, int index);
  static bool BooleanArgument(TxbExpFunction& node, int index);
  static ExpressionValueType AnyArgument(TxbExpFunction& node, int index, Variant& value);

  // Results; texts are checked against kMaxTextLength, numbers must be
  // finite (the platform's math errors otherwise).
  static void SetText(Variant& value, ExpressionValueType& type, AnsiString text);
  static void SetNumber(Variant& value, ExpressionValueType& type, double number);
  static void SetBoolean(Variant& value, ExpressionValueType& type, bool b);
  static void SetDate(Variant& value, ExpressionValueType& type, double day);

 private:
  const char* name_;
};

// Registration of the built-ins by family.
void RegisterTextFunctions(TxbFunctionReg& registry);
void RegisterNumberFunctions(TxbFunctionReg& registry);
void RegisterDateFunctions(TxbFunctionReg& registry);
void RegisterLogicFunctions(TxbFunctionReg& registry);
