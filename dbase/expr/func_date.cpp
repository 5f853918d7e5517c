// Built-in date functions. Dates are Julian day numbers held as doubles.
// Two values mean "no date": 0 (what an empty date field yields) and the
// empty date kEmptyDate that CTOD('') gives. Both are kept distinct, as
// existing FOR conditions and keys may tell them apart; a day is taken
// from a double only through DayFromDouble, which maps every value outside
// the 32-bit range (the empty date included) to 0.
#include "dbase/base/dates.h"
#include "dbase/expr/expr_impl.h"

namespace {

class TxbDateFunction : public TxbBuiltinFunction {
 protected:
  using TxbBuiltinFunction::TxbBuiltinFunction;
  static int32_t Day(TxbExpFunction& node, int index) { return DayFromDouble(DateArgument(node, index)); }
};

class TxbUDFDate : public TxbDateFunction {
 public:
  TxbUDFDate() : TxbDateFunction("DATE") {}
  void Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) override {
    SetDate(value, type, DbfDate().Today());
  }
};

// The display form of a date (or "yyyymmdd") back to a day. The empty text
// is the empty date; a text of blanks is day 0; a text the short date
// format rejects raises EConvertError.
class TxbUDFCTOD : public TxbDateFunction {
 public:
  TxbUDFCTOD() : TxbDateFunction("CTOD") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    AnsiString text = TextArgument(node, 0);
    SetDate(value, type, text.empty() ? kEmptyDate : DbfDate().TextToJulian(text));
  }
};

class TxbUDFDTOC : public TxbDateFunction {
 public:
  TxbUDFDTOC() : TxbDateFunction("DTOC") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    int32_t day = Day(node, 0);
    bool dbfForm = HasArgument(node, 1) && ClampToInt32(NumberArgument(node, 1)) == 1;
    SetText(value, type, dbfForm ? DbfDate().JulianToDbfText(day) : DbfDate().JulianToDisplay(day));
  }
};

class TxbUDFDTOS : public TxbDateFunction {
 public:
  TxbUDFDTOS() : TxbDateFunction("DTOS") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetText(value, type, DbfDate().JulianToDbfText(Day(node, 0)));
  }
  TypedNodePtr Typed(const TxbExpFunction&, TypedArguments& arguments) const override {
    if (arguments.size() != 1 || !IsNumericType(arguments[0]->Type())) return nullptr;
    return std::make_unique<TypedDtos>(std::move(arguments[0]));
  }

 private:
  class TypedDtos : public TypedNode {
   public:
    explicit TypedDtos(TypedNodePtr day) : TypedNode(etText), day_(std::move(day)) {}
    void AppendText(AnsiString& out) override {
      const AnsiString text = DbfDate().JulianToDbfText(DayFromDouble(day_->Number()));
      ChargeText(text.size());
      out += text;
    }

   private:
    TypedNodePtr day_;
  };
};

class TxbUDFDOW : public TxbDateFunction {
 public:
  TxbUDFDOW() : TxbDateFunction("DOW") {}
  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    SetNumber(value, type, DbfDate().DayOfWeekJulian(Day(node, 0)));
  }
};

}  // namespace

void RegisterDateFunctions(TxbFunctionReg& registry) {
  registry.Register(new TxbUDFDate);
  registry.Register(new TxbUDFCTOD);
  registry.Register(new TxbUDFDTOC);
  registry.Register(new TxbUDFDTOS);
  registry.Register(new TxbUDFDOW);
}
