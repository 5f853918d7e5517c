// Functions, variables, their registries and the table link. Variables
// are reference-counted by registry entry because one variable (a field)
// is registered under several names and may sit in more than one registry.
#include "dbase/expr/expr_registry.h"

#include "dbase/base/errors.h"
#include "platform/rtl/codepages.h"

namespace {

AnsiString KeyOf(std::string_view name) { return AnsiUpperCase(name); }

}  // namespace

const char* ExpressionTypeName(int type) {
  static const char* const names[] = {"Unknown", "Empty",   "Any",     "Text",
                                      "Number",  "Integer", "Date",    "DateTime",
                                      "Boolean", "Memo",    "Pointer"};
  if (type < 0 || type > etPointer) return "Invalid Value";
  return names[type];
}

bool IsNumericType(int type) { return type >= etNumber && type <= etDateTime; }

// --- TxbUserDefFunction ----------------------------------------------------

AnsiString TxbUserDefFunction::FunctionName() const { return AnsiString(); }

void TxbUserDefFunction::Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) {
  value.Clear();
  type = etEmpty;
}

// --- TxbUserDefFieldVar ----------------------------------------------------

TxbUserDefFieldVar::TxbUserDefFieldVar(std::string_view names, int32_t width, bool qualifier)
    : names_(AnsiUpperCase(names)), width_(width), qualifier_(qualifier) {}

AnsiString TxbUserDefFieldVar::FullName() const { return names_; }

AnsiString TxbUserDefFieldVar::FirstName() const { return names_.substr(0, names_.find(';')); }

int TxbUserDefFieldVar::SourceId() const { return 16; }

void TxbUserDefFieldVar::Evaluate(Variant& value, ExpressionValueType& type) {
  value.Clear();
  type = etEmpty;
}

bool TxbUserDefFieldVar::EvaluateInto(TxbVariant&, ExpressionValueType&) { return false; }

ExpressionValueType TxbUserDefFieldVar::StaticType() const { return etUnknown; }
double TxbUserDefFieldVar::NumberValue() { return 0; }
bool TxbUserDefFieldVar::LogicalValue() { return false; }
std::string_view TxbUserDefFieldVar::TextValue() { return {}; }

// --- TxbFunctionReg --------------------------------------------------------

TxbFunctionReg::~TxbFunctionReg() {
  for (auto& entry : items_) delete entry.second;
}

bool TxbFunctionReg::Register(TxbUserDefFunction* function) {
  if (function == nullptr) return true;
  auto [it, inserted] = items_.emplace(KeyOf(function->FunctionName()), function);
  if (!inserted) {
    // The same object offered twice must stay alive for its first entry.
    if (it->second != function) delete function;
    return false;
  }
  return true;
}

TxbUserDefFunction* TxbFunctionReg::Find(std::string_view name) const {
  auto it = items_.find(KeyOf(name));
  return it == items_.end() ? nullptr : it->second;
}

// --- TxbFieldVarReg --------------------------------------------------------

TxbFieldVarReg::~TxbFieldVarReg() {
  for (auto& entry : items_) {
    TxbUserDefFieldVar* variable = entry.second;
    if (--variable->count_ < 1) delete variable;
  }
}

bool TxbFieldVarReg::Register(TxbUserDefFieldVar* variable) {
  if (variable == nullptr) return true;
  const AnsiString names = variable->FullName();
  bool ok = true;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(';', start);
    if (end == AnsiString::npos) end = names.size();
    AnsiString name = names.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    auto [it, inserted] = items_.emplace(KeyOf(name), variable);
    if (!inserted) {
      ok = false;
      break;
    }
    ++variable->count_;
  }
  if (variable->count_ < 1) delete variable;
  return ok;
}

TxbUserDefFieldVar* TxbFieldVarReg::Find(std::string_view name) const {
  auto it = items_.find(KeyOf(name));
  return it == items_.end() ? nullptr : it->second;
}

// --- TxbExpUserLink --------------------------------------------------------

TxbUserDefFunction* TxbExpUserLink::FindFunction(std::string_view name) {
  return functions_.Find(name);
}

TxbUserDefFieldVar* TxbExpUserLink::FindVariable(std::string_view name) {
  return variables_.Find(name);
}

TxbUserDefFunction* TxbExpUserLink::UnknownFunction(std::string_view name) {
  XbRaise<EXbaseExpression>(xbmNoFunction, name);
}
