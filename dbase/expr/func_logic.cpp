// Built-in general functions: IIF, BETWEEN, INLIST, MAX, MIN, EMPTY and
// DESCEND. Values compare by type: numbers and dates numerically, texts by
// the locale's collation, Booleans false before true.
#include <cmath>

#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_impl.h"
#include "dbase/base/os_layer.h"

namespace {

bool IsTextType(ExpressionValueType type) { return type == etText || type == etMemo; }

// -1, 0, 1; values of types that have no order compare equal.
int CompareValues(const Variant& a, ExpressionValueType typeA, const Variant& b, ExpressionValueType typeB) {
  if (IsNumericType(typeA) && IsNumericType(typeB)) {
    double x = a.AsDouble(), y = b.AsDouble();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (IsTextType(typeA) && IsTextType(typeB)) {
    int c = CompareStrLocale(a.AsString(), b.AsString());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (typeA == etBoolean && typeB == etBoolean) return static_cast<int>(a.AsBool()) - static_cast<int>(b.AsBool());
  return 0;
}

// Only the chosen branch is evaluated.
class TxbUDFIIF : public TxbBuiltinFunction {
 public:
  TxbUDFIIF() : TxbBuiltinFunction("IIF") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    bool condition = BooleanArgument(node, 0);
    type = AnyArgument(node, condition ? 1 : 2, value);
  }
};

class TxbUDFBetween : public TxbBuiltinFunction {
 public:
  TxbUDFBetween() : TxbBuiltinFunction("BETWEEN") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    Variant x, low, high;
    ExpressionValueType tx = AnyArgument(node, 0, x);
    TxbExpHandler& handler = *node.Handler();
    ExpressionValueType tl = handler.ArgumentValue(node, 1, tx, low);
    ExpressionValueType th = handler.ArgumentValue(node, 2, tx, high);
    SetBoolean(value, type, CompareValues(low, tl, x, tx) <= 0 && CompareValues(x, tx, high, th) <= 0);
  }
};

// True at the first value of x's type equal to x; a text x loses its
// trailing blanks first.
class TxbUDFInlist : public TxbBuiltinFunction {
 public:
  TxbUDFInlist() : TxbBuiltinFunction("INLIST") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    bool found = false;
    if (HasArgument(node, 0)) {
      Variant x;
      ExpressionValueType tx = AnyArgument(node, 0, x);
      if (tx == etText) x = Variant(TrimRight(x.AsString()));
      for (int i = 1; HasArgument(node, i) && !found; ++i) {
        Variant candidate;
        ExpressionValueType tc = AnyArgument(node, i, candidate);
        found = tc == tx && CompareValues(x, tx, candidate, tc) == 0;
      }
    }
    SetBoolean(value, type, found);
  }
};

// MAX and MIN: all arguments of the first one's exact type; an earlier value
// wins a tie.
class TxbExtreme : public TxbBuiltinFunction {
 public:
  TxbExtreme(const char* name, const char* label, int better)
      : TxbBuiltinFunction(name), label_(label), better_(better) {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    if (!HasArgument(node, 0)) XbRaise<EXbaseExpression>(xbmValueRequiredFor, label_);
    Variant best;
    ExpressionValueType bestType = AnyArgument(node, 0, best);
    for (int i = 1; HasArgument(node, i); ++i) {
      Variant candidate;
      if (AnyArgument(node, i, candidate) != bestType) {
        XbRaise<EXbaseExpression>(xbmArgumentsSameType, label_);
      }
      if (CompareValues(candidate, bestType, best, bestType) == better_) best = std::move(candidate);
    }
    value = std::move(best);
    type = bestType;
  }

 private:
  const char* label_;
  int better_;
};

class TxbUDFMax : public TxbExtreme {
 public:
  TxbUDFMax() : TxbExtreme("MAX", "Max()", 1) {}
};

class TxbUDFMin : public TxbExtreme {
 public:
  TxbUDFMin() : TxbExtreme("MIN", "Min()", -1) {}
};

class TxbUDFEmpty : public TxbBuiltinFunction {
 public:
  TxbUDFEmpty() : TxbBuiltinFunction("EMPTY") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    Variant x;
    ExpressionValueType tx = AnyArgument(node, 0, x);
    bool empty = false;
    switch (tx) {
      case etDate:
        // The empty date, day 0, and anything else that is no day.
        empty = DayFromDouble(x.AsDouble()) == 0;
        break;
      case etNumber:
      case etInteger:
      case etDateTime:
        empty = x.AsDouble() == 0;
        break;
      case etText:
      case etMemo:
        // A memo is a text too: an empty memo field is empty.
        empty = x.AsString().find_first_not_of(' ') == AnsiString::npos;
        break;
      case etBoolean:
        empty = !x.AsBool();
        break;
      default:
        break;
    }
    SetBoolean(value, type, empty);
  }
};

// A key that sorts in the opposite order.
class TxbUDFDescend : public TxbBuiltinFunction {
 public:
  TxbUDFDescend() : TxbBuiltinFunction("DESCEND") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    Variant x;
    ExpressionValueType tx = AnyArgument(node, 0, x);
    switch (tx) {
      case etDate: {
        double day = x.AsDouble();
        SetDate(value, type, day == kEmptyDate ? day : 5231808 - day);
        break;
      }
      case etNumber:
      case etInteger:
      case etDateTime:
        SetNumber(value, type, -x.AsDouble());
        type = tx;
        break;
      case etText: {
        AnsiString text = x.AsString();
        for (char& c : text) c = static_cast<char>((256 - static_cast<unsigned char>(c)) & 0xFF);
        SetText(value, type, std::move(text));
        break;
      }
      case etBoolean:
        SetBoolean(value, type, !x.AsBool());
        break;
      default:
        SetBoolean(value, type, false);
        break;
    }
  }
};

}  // namespace

void RegisterLogicFunctions(TxbFunctionReg& registry) {
  registry.Register(new TxbUDFIIF);
  registry.Register(new TxbUDFBetween);
  registry.Register(new TxbUDFInlist);
  registry.Register(new TxbUDFMax);
  registry.Register(new TxbUDFMin);
  registry.Register(new TxbUDFEmpty);
  registry.Register(new TxbUDFDescend);
}
