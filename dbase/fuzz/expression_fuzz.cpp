// Fuzz target of the expression language: arbitrary bytes as the text of
// an expression, compiled against a table link with one field of each type,
// evaluated into a value buffer and printed back. Every input must end in a
// value or in one of the errors the language reports (the engine's own and
// the platform's conversion and math errors); anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dbase/testing/memorylink.h"
#include "dbase/base/engine.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/variant.h"
#include "platform/rtl/sysutils.h"

namespace {

TMemoryLink& Link() {
  static TMemoryLink* link = [] {
    EngineStartup();
    RegisterBuiltinExpressions();
    auto* l = new TMemoryLink();
    FillSampleRecord(*l);
    return l;
  }();
  return *link;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryLink& link = Link();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    TxbExpHandler handler(&link, false, text);
    TxbVariant value;
    handler.EvaluateValue(value);
    (void)handler.ExpressionText();
    (void)handler.VariableNames(link.SourceId());
  } catch (const EXbaseError&) {
  } catch (const EConvertError&) {
  } catch (const EDivByZero&) {
  } catch (const EZeroDivide&) {
  } catch (const EOverflow&) {
  } catch (const EInvalidOp&) {
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}
