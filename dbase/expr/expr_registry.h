// What names in a dBase expression resolve to: functions and variables, the
// registries that hold them, and the per-table link through which a table
// offers its fields and table functions.
//
// Lookup order, for every expression: the process-wide registries first
// (the built-in functions and the variables TRUE, FALSE, PI), then the
// link. A table's own function of the same name as a built-in is therefore
// never reached.
//
// Ownership: a function registry owns its functions. Variables are counted:
// every name under which a variable is registered, in any registry, is one
// reference, and the variable is freed when its last reference goes. Both
// registries take ownership of what they are given: an object that ends up
// in no registry is freed at once.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/variant.h"

// Types of expression values; the names are the words used in messages.
// Number, Integer, Date and DateTime form the numeric family: any two of
// them are compatible. A date is a Julian day number held as a double.
enum ExpressionValueType : uint8_t {
  etUnknown = 0,   // no value (also the type of a node without result)
  etEmpty = 1,     // unassigned: missing argument, empty container
  etAny = 2,       // only as an expected argument type
  etText = 3,
  etNumber = 4,
  etInteger = 5,
  etDate = 6,
  etDateTime = 7,
  etBoolean = 8,
  etMemo = 9,
  etPointer = 10,
};

// "Unknown", "Empty", ... "Pointer"; any other code "Invalid Value".
const char* ExpressionTypeName(int type);
// Number, Integer, Date or DateTime.
bool IsNumericType(int type);

// The day number that dBase expressions use for "no date" (CTOD of an empty
// text); an empty date field yields 0 instead.
constexpr double kEmptyDate = 1e100;

class TxbExpFunction;
class TxbVariant;
class TxbExpHandler;

// Base of every function an expression can call. The node gives access to
// the call's arguments through its handler (ArgumentValue, ArgumentWidth,
// NodeLink in expression.h).
class TxbUserDefFunction {
 public:
  TxbUserDefFunction() = default;
  virtual ~TxbUserDefFunction() = default;
  TxbUserDefFunction(const TxbUserDefFunction&) = delete;
  TxbUserDefFunction& operator=(const TxbUserDefFunction&) = delete;

  // The name the function is registered and called by (base: empty).
  virtual AnsiString FunctionName() const;
  // Computes the value of one call. Base: unassigned value, type Empty.
  virtual void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type);
};

// Base of every variable an expression can name (table fields, TRUE, ...).
class TxbUserDefFieldVar {
 public:
  // names: one or more names separated by ";" (upper-cased here); width:
  // the value's display width; qualifier: the name may be followed by "."
  // and a member name (a table alias).
  explicit TxbUserDefFieldVar(std::string_view names, int32_t width = 0, bool qualifier = false);
  virtual ~TxbUserDefFieldVar() = default;
  TxbUserDefFieldVar(const TxbUserDefFieldVar&) = delete;
  TxbUserDefFieldVar& operator=(const TxbUserDefFieldVar&) = delete;

  // All names, ";"-separated, upper-cased.
  virtual AnsiString FullName() const;
  // The text before the first ";".
  virtual AnsiString FirstName() const;
  // Which source the variable belongs to (a table's id); base 16.
  virtual int SourceId() const;
  // The variable's current value. Base: unassigned, type Empty.
  virtual void Evaluate(Variant& value, ExpressionValueType& type);
  // The current value straight into the engine's value buffer, as
  // TxbExpHandler::EvaluateValue would store Evaluate's result, for an
  // expression that is this variable alone (index keys of one field): no
  // temporary text on the way. False (nothing stored) where the variable
  // has no such path; the caller then goes through Evaluate. Base: false.
  virtual bool EvaluateInto(TxbVariant& value, ExpressionValueType& type);

  // The type Evaluate always gives, for a variable whose type never changes
  // (a table field); Unknown otherwise (base). Expressions over variables of
  // fixed types evaluate through the typed reads below, which must give what
  // Evaluate would: NumberValue for the numeric family (a date as its day),
  // LogicalValue for Boolean, TextValue for Text (a view valid until the
  // variable's next read or a change of the record). Base: 0, false, "".
  virtual ExpressionValueType StaticType() const;
  virtual double NumberValue();
  virtual bool LogicalValue();
  virtual std::string_view TextValue();

  int32_t Width() const { return width_; }
  void SetWidth(int32_t width) { width_ = width; }
  bool Qualifier() const { return qualifier_; }
  // Number of registry entries that hold the variable.
  int RegistrationCount() const { return count_; }

 private:
  friend class TxbFieldVarReg;
  AnsiString names_;
  int32_t width_;
  bool qualifier_;
  int count_ = 0;
};

// Functions by upper-cased name; refuses duplicates; owns its functions.
class TxbFunctionReg {
 public:
  TxbFunctionReg() = default;
  ~TxbFunctionReg();
  TxbFunctionReg(const TxbFunctionReg&) = delete;
  TxbFunctionReg& operator=(const TxbFunctionReg&) = delete;

  // Takes ownership. False when the name is taken (the function is freed
  // then); true otherwise, also for a null function.
  bool Register(TxbUserDefFunction* function);
  // The function registered under exactly this name (compared upper-cased);
  // null when absent.
  TxbUserDefFunction* Find(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::map<AnsiString, TxbUserDefFunction*> items_;
};

// Variables by upper-cased name; each of a variable's names is one counted
// entry; refuses duplicates.
class TxbFieldVarReg {
 public:
  TxbFieldVarReg() = default;
  // Drops every entry's reference; frees the variables no registry holds.
  ~TxbFieldVarReg();
  TxbFieldVarReg(const TxbFieldVarReg&) = delete;
  TxbFieldVarReg& operator=(const TxbFieldVarReg&) = delete;

  // Registers each name of the variable in turn and stops at the first name
  // that is taken (returning false; names registered before it stay). A
  // variable left without any registration is freed. Null: true.
  bool Register(TxbUserDefFieldVar* variable);
  // The variable registered under this name (compared upper-cased); null
  // when absent.
  TxbUserDefFieldVar* Find(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::map<AnsiString, TxbUserDefFieldVar*> items_;
};

// The per-table link: its own function and variable registries, searched
// after the process-wide ones, and the table's settings for the built-ins.
class TxbExpUserLink {
 public:
  TxbExpUserLink() = default;
  virtual ~TxbExpUserLink() = default;
  TxbExpUserLink(const TxbExpUserLink&) = delete;
  TxbExpUserLink& operator=(const TxbExpUserLink&) = delete;

  // The link's function of that name; null when absent.
  virtual TxbUserDefFunction* FindFunction(std::string_view name);
  // The link's variable of that name; null when absent.
  virtual TxbUserDefFieldVar* FindVariable(std::string_view name);
  // Called for a function name found nowhere. Base: raises EXbaseExpression
  // "There is no function for %s". An override may return a function that
  // the link keeps alive; null raises the same error.
  virtual TxbUserDefFunction* UnknownFunction(std::string_view name);

  // Register in the link's own registries (ownership as there).
  bool AddFunction(TxbUserDefFunction* function) { return functions_.Register(function); }
  bool AddVariables(TxbUserDefFieldVar* variable) { return variables_.Register(variable); }

  TxbFunctionReg& Functions() { return functions_; }
  TxbFieldVarReg& Variables() { return variables_; }

  // STR's width when the call gives none (10; a negative value means "the
  // width of STR's first argument"). An index tag may set its own.
  int DefaultNumberWidth() const { return defaultNumberWidth_; }
  void SetDefaultNumberWidth(int width) { defaultNumberWidth_ = width; }
  // The table's texts are in the OEM code page: case functions convert
  // them to ANSI and back around the case mapping.
  bool OemTexts() const { return oemTexts_; }
  void SetOemTexts(bool oem) { oemTexts_ = oem; }

 private:
  TxbFunctionReg functions_;
  TxbFieldVarReg variables_;
  int defaultNumberWidth_ = 10;
  bool oemTexts_ = false;
};

// The process-wide registries; null before RegisterBuiltinExpressions and
// after FreeBuiltinExpressions.
TxbFunctionReg* GlobalFunctionReg();
TxbFieldVarReg* GlobalFieldVarReg();

// Engine start-up: creates both process-wide registries, registers the
// variables TRUE, FALSE, PI and the built-in functions, and seeds the random
// generator. Idempotent.
void RegisterBuiltinExpressions();
// Engine shutdown: frees both registries. Safe to call more than once.
void FreeBuiltinExpressions();
