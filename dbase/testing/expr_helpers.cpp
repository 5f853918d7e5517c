#include "dbase/testing/expr_helpers.h"

#include <cmath>
#include <cstdlib>

#include "dbase/base/errors.h"
#include "platform/rtl/codepages.h"

ExprResult EvaluateExpression(std::string_view utf8, TxbExpUserLink* link) {
  return EvaluateBytes(Utf8ToAnsi(utf8), link);
}

ExprResult EvaluateBytes(std::string_view text, TxbExpUserLink* link) {
  TxbExpHandler handler(link, false, text);
  ExprResult result;
  handler.EvaluateVariant(result.value);
  result.type = handler.ResultType();
  return result;
}

ErrorInfo ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EXbaseExpression& e) {
    return {"EXbaseExpression", AnsiToUtf8(e.Message())};
  } catch (const EXbaseError& e) {
    return {"EXbaseError", AnsiToUtf8(e.Message())};
  } catch (const EConvertError& e) {
    return {"EConvertError", AnsiToUtf8(e.Message())};
  } catch (const EDivByZero& e) {
    return {"EDivByZero", AnsiToUtf8(e.Message())};
  } catch (const EZeroDivide& e) {
    return {"EZeroDivide", AnsiToUtf8(e.Message())};
  } catch (const EOverflow& e) {
    return {"EOverflow", AnsiToUtf8(e.Message())};
  } catch (const EInvalidOp& e) {
    return {"EInvalidOp", AnsiToUtf8(e.Message())};
  } catch (const Exception& e) {
    return {"Exception", AnsiToUtf8(e.Message())};
  }
  return {};
}

void ExpectResult(const std::string& text, const ExprResult& result, const Expected& expected) {
  SCOPED_TRACE("expression: " + text);
  EXPECT_EQ(ExpressionTypeName(result.type), std::string(ExpressionTypeName(expected.type)));
  switch (expected.type) {
    case etText:
    case etMemo:
      EXPECT_EQ(AnsiToUtf8(result.value.AsString()), expected.value);
      break;
    case etNumber:
    case etInteger:
    case etDateTime: {
      double want = std::strtod(expected.value.c_str(), nullptr);
      double got = result.value.AsDouble();
      EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want)));
      break;
    }
    case etDate:
      EXPECT_EQ(result.value.AsDouble(), std::strtod(expected.value.c_str(), nullptr));
      break;
    case etBoolean:
      EXPECT_EQ(result.value.AsBool() ? "T" : "F", expected.value);
      break;
    default:
      break;
  }
}

void ExpectErrors(const ExprErrorRow* rows, std::size_t n, TxbExpUserLink* link) {
  for (std::size_t i = 0; i < n; ++i) {
    ErrorInfo e = ErrorOf([&] { EvaluateExpression(rows[i].text, link); });
    EXPECT_EQ(e.kind, rows[i].kind) << rows[i].text;
    EXPECT_EQ(e.message, rows[i].message) << rows[i].text;
  }
}
