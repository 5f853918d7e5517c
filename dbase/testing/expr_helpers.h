// Helpers the expression tests share: evaluate a text, capture an
// exception's class and message, and compare a result with a table row.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "dbase/testing/memorylink.h"
#include "dbase/expr/expression.h"

// The result of compiling and evaluating one expression.
struct ExprResult {
  ExpressionValueType type = etUnknown;
  Variant value;
};

// Compiles and evaluates text written in UTF-8 (as test sources are); the
// handler sees it in CP1250.
ExprResult EvaluateExpression(std::string_view utf8, TxbExpUserLink* link = nullptr);
// The same for a text whose bytes are passed unchanged.
ExprResult EvaluateBytes(std::string_view text, TxbExpUserLink* link = nullptr);

// The class and message of the exception that fn raises ("" / "" when none);
// the class is one of EXbaseExpression, EXbaseError, EConvertError,
// EDivByZero, EZeroDivide, EOverflow, EInvalidOp, Exception. The message is
// converted to UTF-8.
struct ErrorInfo {
  std::string kind;
  std::string message;
};
ErrorInfo ErrorOf(const std::function<void()>& fn);


// Base fixture of expression tests: the built-ins are registered (the
// engine start-up does it in the program; registering again is harmless).
class ExpressionTestBase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterBuiltinExpressions(); }
};

// One expected outcome: a value of a type, written as text (numbers are
// compared to 1e-9 relative, dates as day numbers, Booleans as "T"/"F"), or
// an exception class with its exact message (UTF-8).
struct Expected {
  ExpressionValueType type;
  std::string value;
};

// Checks the result of expression `text` against `expected`.
void ExpectResult(const std::string& text, const ExprResult& result, const Expected& expected);

// Rows of the tables of expressions: an expression with its outcome, and an
// expression with the class and message (UTF-8) of the error it raises.
struct ExprRow {
  const char* text;
  Expected expected;
};
struct ExprErrorRow {
  const char* text;
  const char* kind;
  const char* message;
};

// Evaluates the expression of each row over link and checks its error.
void ExpectErrors(const ExprErrorRow* rows, std::size_t n, TxbExpUserLink* link);
