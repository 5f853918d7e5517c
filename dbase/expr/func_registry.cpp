// The process-wide registries of the expression language: created by the
// engine start-up with the variables TRUE, FALSE, PI and every built-in
// function, freed at shutdown. Also the argument and result helpers the
// built-ins share.
#include "dbase/expr/expr_impl.h"
#include "platform/rtl/system.h"

namespace {

TxbFunctionReg* g_functions = nullptr;
TxbFieldVarReg* g_variables = nullptr;

class TxbSDVTrue : public TxbUserDefFieldVar {
 public:
  TxbSDVTrue() : TxbUserDefFieldVar("TRUE") {}
  void Evaluate(Variant& value, ExpressionValueType& type) override {
    value = Variant(true);
    type = etBoolean;
  }
  ExpressionValueType StaticType() const override { return etBoolean; }
  bool LogicalValue() override { return true; }
};

class TxbSDVFalse : public TxbUserDefFieldVar {
 public:
  TxbSDVFalse() : TxbUserDefFieldVar("FALSE") {}
  void Evaluate(Variant& value, ExpressionValueType& type) override {
    value = Variant(false);
    type = etBoolean;
  }
  ExpressionValueType StaticType() const override { return etBoolean; }
  bool LogicalValue() override { return false; }
};

class TxbSDVPi : public TxbUserDefFieldVar {
 public:
  TxbSDVPi() : TxbUserDefFieldVar("PI") {}
  void Evaluate(Variant& value, ExpressionValueType& type) override {
    value = Variant(3.1415926535897932385);
    type = etNumber;
  }
  ExpressionValueType StaticType() const override { return etNumber; }
  double NumberValue() override { return 3.1415926535897932385; }
};

}  // namespace

TxbFunctionReg* GlobalFunctionReg() { return g_functions; }
TxbFieldVarReg* GlobalFieldVarReg() { return g_variables; }

void RegisterBuiltinExpressions() {
  if (g_functions != nullptr) return;
  g_variables = new TxbFieldVarReg;
  g_variables->Register(new TxbSDVTrue);
  g_variables->Register(new TxbSDVFalse);
  g_variables->Register(new TxbSDVPi);
  g_functions = new TxbFunctionReg;
  RegisterTextFunctions(*g_functions);
  RegisterNumberFunctions(*g_functions);
  RegisterDateFunctions(*g_functions);
  RegisterLogicFunctions(*g_functions);
  Randomize();
}

void FreeBuiltinExpressions() {
  delete g_functions;
  g_functions = nullptr;
  delete g_variables;
  g_variables = nullptr;
}

// --- TxbBuiltinFunction ----------------------------------------------------

AnsiString TxbBuiltinFunction::TextArgument(TxbExpFunction& node, int index) {
  Variant v;
  node.Handler()->ArgumentValue(node, index, etText, v);
  return v.TakeString();
}

double TxbBuiltinFunction::NumberArgument(TxbExpFunction& node, int index) {
  Variant v;
  node.Handler()->ArgumentValue(node, index, etNumber, v);
  return v.AsDouble();
}

double TxbBuiltinFunction::DateArgument(TxbExpFunction& node, int index) {
  Variant v;
  node.Handler()->ArgumentValue(node, index, etDate, v);
  return v.AsDouble();
}

bool TxbBuiltinFunction::BooleanArgument(TxbExpFunction& node, int index) {
  Variant v;
  node.Handler()->ArgumentValue(node, index, etBoolean, v);
  return v.AsBool();
}

ExpressionValueType TxbBuiltinFunction::AnyArgument(TxbExpFunction& node, int index, Variant& value) {
  return node.Handler()->ArgumentValue(node, index, etAny, value);
}

void TxbBuiltinFunction::SetText(Variant& value, ExpressionValueType& type, AnsiString text) {
  ChargeText(text.size());
  value = Variant(std::move(text));
  type = etText;
}

void TxbBuiltinFunction::SetNumber(Variant& value, ExpressionValueType& type, double number) {
  // -0 and 0 must be one value: stored keys compare numbers by their bytes.
  value = Variant(number == 0 ? 0.0 : CheckedFloat(number));
  type = etNumber;
}

void TxbBuiltinFunction::SetBoolean(Variant& value, ExpressionValueType& type, bool b) {
  value = Variant(b);
  type = etBoolean;
}

void TxbBuiltinFunction::SetDate(Variant& value, ExpressionValueType& type, double day) {
  value = Variant(CheckedFloat(day));
  type = etDate;
}
