// The dBase expression language of index keys, FOR conditions and record
// filters. TxbExpHandler compiles a text into a tree of nodes (tokenizer,
// then a tree builder binding operators by precedence) and evaluates it on
// the current record of the table behind its link.
//
// Invariants: a handler holds either no tree or one complete tree; a
// failed compilation leaves no tree. Trees are at most kMaxTreeDepth deep
// and texts nest at most kMaxNesting compilations deep, so compiling,
// evaluating, printing and freeing never run out of stack, whatever the
// input. No text value grows beyond kMaxTextLength bytes.
//
// Every error is an EXbaseExpression, except the platform's conversion and
// math errors that the values themselves raise (EConvertError for a date
// text the short date format rejects, EDivByZero, EZeroDivide, EOverflow,
// EInvalidOp).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dbase/expr/expr_registry.h"
#include "dbase/base/variant.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/variant.h"

enum ExpressionNodeKind : uint8_t {
  enContainer = 0,         // parenthesised sub-expression
  enOperator = 2,          // bound operator
  enUnboundOperator = 3,   // operator not yet bound
  enFunction = 4,
  enVariable = 5,
  enTextLiteral = 6,
  enNumberLiteral = 7,
  enDateLiteral = 8,
  enLogicalLiteral = 9,
};

// Operator codes; the binding level is in OperatorLevel.
enum ExpressionOperator : uint8_t {
  opEqual = 129,          // "=", EQ
  opNotEqual = 130,       // "#", "<>", "!=", NE
  opGreater = 131,        // ">", GT
  opLess = 132,           // "<", LT
  opGreaterEqual = 133,   // ">=", "=>", GE
  opLessEqual = 134,      // "<=", "=<", LE
  opContains = 135,       // "$"
  opExactlyEqual = 136,   // "=="
  opPlus = 137,
  opMinus = 138,
  opMultiply = 139,
  opDivide = 140,
  opPower = 141,          // "**", "^"
  opAnd = 144,
  opOr = 145,
  opNot = 146,            // NOT, "!"
};

// Binding level of an operator code (a lower level binds tighter): 2 power,
// 3 * /, 4 + -, 5 comparisons, 6 NOT, 7 AND, 8 OR; 0 for other codes.
int OperatorLevel(int code);
// Text used for the operator in ExpressionText and messages ("=", "#",
// "in string", "exactly equal", ".AND.", ...); empty for other codes.
const char* OperatorDisplayText(int code);

// Longest text value an expression may produce (far beyond any field, key
// or memo the engine stores); longer results raise "Expression cannot be
// evaluated".
constexpr std::size_t kMaxTextLength = 16u << 20;
// Most text bytes one evaluation may produce in all: arguments stay alive
// while a function evaluates the next one, so without this bound nesting
// would multiply kMaxTextLength (MAX(SPACE(..), MAX(SPACE(..), ...))).
constexpr std::size_t kMaxEvaluationText = 4 * kMaxTextLength;
// Deepest tree a compilation may build.
constexpr int kMaxTreeDepth = 1000;
// Deepest nesting of compilations (sub-expressions, argument lists, NOT
// taking the rest of a text).
constexpr int kMaxNesting = 200;

// Base of all nodes. Children are owned and freed with the node.
class TxbExpBaseObject {
 public:
  TxbExpBaseObject(ExpressionNodeKind kind, ExpressionValueType type);
  virtual ~TxbExpBaseObject();
  TxbExpBaseObject(const TxbExpBaseObject&) = delete;
  TxbExpBaseObject& operator=(const TxbExpBaseObject&) = delete;

  // The node's own text (base: empty).
  virtual AnsiString NodeText() const;
  // Source of a variable (base: -1).
  virtual int SourceId() const;
  // Left child's text, own text, right child's text.
  virtual AnsiString ExpressionText() const;
  // NodeText of every node in the subtree whose SourceId is sourceId, each
  // followed by ";", in the order left subtree, node, right subtree.
  virtual AnsiString VariableNames(int sourceId) const;
  // The subtree's value and type (base: unassigned, Unknown).
  virtual void Evaluate(Variant& value, ExpressionValueType& type);

  ExpressionNodeKind Kind() const { return kind_; }
  // The type of the node's last value (literals: known from the start).
  ExpressionValueType ValueType() const { return valueType_; }
  // Length of a literal's text, or the variable's width.
  int32_t Width() const { return width_; }
  // Digits after the point of a number literal, else 0.
  int32_t Decimals() const { return decimals_; }
  TxbExpBaseObject* Left() const { return left_.get(); }
  TxbExpBaseObject* Right() const { return right_.get(); }
  // Levels of nodes from this one down to its deepest leaf (a leaf is 1).
  int Depth() const { return depth_; }

 protected:
  friend class TxbExpHandler;
  void SetChildren(std::unique_ptr<TxbExpBaseObject> left, std::unique_ptr<TxbExpBaseObject> right);

  ExpressionNodeKind kind_;
  ExpressionValueType valueType_;
  int32_t width_ = 0;
  int32_t decimals_ = 0;
  int depth_ = 1;
  std::unique_ptr<TxbExpBaseObject> left_;
  std::unique_ptr<TxbExpBaseObject> right_;
};

// A parenthesised sub-expression; the sub-tree is the right child (absent
// for "()", whose value is unassigned with type Empty).
class TxbExpContainer : public TxbExpBaseObject {
 public:
  explicit TxbExpContainer(std::unique_ptr<TxbExpBaseObject> subTree);
  // "(" + the sub-tree's text + ")".
  AnsiString NodeText() const override;
  AnsiString ExpressionText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
};

// A call of a registered function with its compiled arguments (empty
// arguments in the text are skipped, so later ones move up).
class TxbExpFunction : public TxbExpBaseObject {
 public:
  TxbExpFunction(TxbExpHandler* handler, TxbUserDefFunction* function, AnsiString name,
                 std::vector<std::unique_ptr<TxbExpBaseObject>> arguments);
  ~TxbExpFunction() override;

  // The function's name as called, upper-cased.
  AnsiString NodeText() const override;
  // Name + "(" + argument texts joined by "," + ")".
  AnsiString ExpressionText() const override;
  // Also covers the arguments, after the node itself.
  AnsiString VariableNames(int sourceId) const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;

  TxbExpHandler* Handler() const { return handler_; }
  TxbUserDefFunction* Function() const { return function_; }
  int ArgumentCount() const { return static_cast<int>(arguments_.size()); }
  // Argument tree index (0-based); null when missing.
  TxbExpBaseObject* Argument(int index) const;

 private:
  TxbExpHandler* handler_;
  TxbUserDefFunction* function_;
  AnsiString name_;
  std::vector<std::unique_ptr<TxbExpBaseObject>> arguments_;
};

// A variable; width copied from it.
class TxbExpFieldvar : public TxbExpBaseObject {
 public:
  explicit TxbExpFieldvar(TxbUserDefFieldVar* variable);
  // The variable's first name.
  AnsiString NodeText() const override;
  int SourceId() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
  TxbUserDefFieldVar* Variable() const { return variable_; }

 private:
  TxbUserDefFieldVar* variable_;
};

// How an operator compares texts; copied from the handler when the operator
// is made.
struct TxbMatchSettings {
  bool ignoreCase = false;
  bool matchWildcards = true;
  char wildcardAny = '*';
  char wildcardOne = '?';
};

class TxbExpOperator : public TxbExpBaseObject {
 public:
  TxbExpOperator(int code, const TxbMatchSettings& settings);
  // The display text (OperatorDisplayText).
  AnsiString NodeText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;

  int Code() const { return code_; }
  int Level() const { return level_; }
  bool Bound() const { return kind_ == enOperator; }
  const TxbMatchSettings& Settings() const { return settings_; }

 private:
  friend class TxbExpHandler;
  void Bind(std::unique_ptr<TxbExpBaseObject> left, std::unique_ptr<TxbExpBaseObject> right);

  int code_;
  int level_;
  TxbMatchSettings settings_;
};

class TxbExpTextLit : public TxbExpBaseObject {
 public:
  explicit TxbExpTextLit(AnsiString text);
  // The text between two double quotes.
  AnsiString NodeText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
  const AnsiString& Text() const { return text_; }

 private:
  AnsiString text_;
};

class TxbExpNumLit : public TxbExpBaseObject {
 public:
  // text: digits and periods with an optional leading sign; a text that is
  // no valid number is 0.
  explicit TxbExpNumLit(std::string_view text);
  // The value with the literal's decimals, without leading blanks.
  AnsiString NodeText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
  double Value() const { return value_; }

 private:
  double value_ = 0;
};

class TxbExpDateLit : public TxbExpBaseObject {
 public:
  // The text between the braces, converted as dates stored in tables are
  // (may raise EConvertError).
  explicit TxbExpDateLit(std::string_view text);
  // "{" + display form of the day + "}".
  AnsiString NodeText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
  int32_t Day() const { return day_; }

 private:
  int32_t day_ = 0;
};

class TxbExpBlnLit : public TxbExpBaseObject {
 public:
  explicit TxbExpBlnLit(bool value);
  // ".T." or ".F.".
  AnsiString NodeText() const override;
  void Evaluate(Variant& value, ExpressionValueType& type) override;
  bool Value() const { return value_; }

 private:
  bool value_;
};

// One token of a compiled text. Tokens are records rather than a byte
// string with separators, so a literal may hold any byte.
enum ExpressionTokenCode : uint8_t {
  tkFunction = 0x98,    // text: name; arguments: the text between the parentheses
  tkVariable = 0x99,    // text: upper-cased name, possibly qualified "A.B"
  tkContainer = 0x9A,   // text: the text inside the parentheses
  tkText = 0x9B,        // text: contents without delimiters
  tkDate = 0x9C,        // text: contents without braces
  tkNumber = 0x9D,      // text: digits and periods, optional leading sign
  tkLogical = 0x9E,     // text: ".T." or ".F."
  // Operators use their ExpressionOperator code.
};

struct ExpressionToken {
  uint8_t code = 0;
  uint8_t level = 0;  // operators only
  AnsiString text;
  AnsiString arguments;
};

class TypedNode;

class TxbExpHandler {
 public:
  // Compiles text when it is not empty. sqlWildcards: "%" and "_" instead
  // of "*" and "?" for wildcard comparisons.
  TxbExpHandler(TxbExpUserLink* link, bool sqlWildcards = false, std::string_view text = {});
  virtual ~TxbExpHandler();
  TxbExpHandler(const TxbExpHandler&) = delete;
  TxbExpHandler& operator=(const TxbExpHandler&) = delete;

  // Frees the tree, zeroes MaxWidth, MaxDecimals, OperandCount and the
  // result type, then compiles text when it is not empty. Operators take
  // the matching settings in force now.
  void SetExpression(std::string_view text);

  // The tree's text; empty without a tree.
  virtual AnsiString ExpressionText() const;
  // Evaluates the tree on the current record; sets ResultType (Unknown and
  // an unassigned value without a tree).
  virtual void EvaluateVariant(Variant& value);
  // Evaluates into the value buffer: Text as text; Number and DateTime as
  // number; Date as the date's day (0, no date, for a day outside the
  // 32-bit range); Boolean as logical. Any other type makes the result
  // type Unknown. Without a value (unassigned or other types) the buffer is
  // left empty. Without a tree: the empty text, result type Unknown.
  // A typed condition (a filter's or FOR clause's test, once per record)
  // is evaluated inline, at the cost of its test alone.
  virtual void EvaluateValue(TxbVariant& value) {
    if (conditionTest_) {
      value.SetLogical(conditionTest_(*typedCondition_));
      resultType_ = etBoolean;
      return;
    }
    EvaluateOther(value);
  }
  // A condition's test (a filter, a FOR clause) on the current record: true
  // when EvaluateValue would store a logical true with result type Boolean.
  // Raises what EvaluateValue raises; keeps its value in the handler.
  bool EvaluateCondition() {
    if (conditionTest_) {
      resultType_ = etBoolean;
      return conditionTest_(*typedCondition_);
    }
    return EvaluateOtherCondition();
  }

  // Type of the last evaluation, or after compiling the root's recorded
  // type (known before evaluation for literals only).
  ExpressionValueType ResultType() const { return resultType_; }
  // The tree's VariableNames; empty without a tree.
  AnsiString VariableNames(int sourceId) const;
  bool HasTree() const { return root_ != nullptr; }
  // EvaluateValue goes through the typed form of the tree (made after the
  // first successful evaluation where every node's type is fixed).
  bool EvaluatesTyped() const { return typed_ != nullptr; }
  const TxbExpBaseObject* Root() const { return root_.get(); }

  // Largest width of variables and number literals, largest decimals of
  // number literals, and the number of function calls, variables and
  // literals, over the whole text including nested parts.
  int MaxWidth() const { return maxWidth_; }
  int MaxDecimals() const { return maxDecimals_; }
  int OperandCount() const { return operandCount_; }

  TxbExpUserLink* Link() const { return link_; }
  bool IgnoreCase() const { return settings_.ignoreCase; }
  void SetIgnoreCase(bool on) { settings_.ignoreCase = on; }
  bool MatchWildcards() const { return settings_.matchWildcards; }
  void SetMatchWildcards(bool on) { settings_.matchWildcards = on; }
  char WildcardAny() const { return settings_.wildcardAny; }
  char WildcardOne() const { return settings_.wildcardOne; }

  // For functions, on their own node:
  // Evaluates argument index (0-based) into value and returns its type; a
  // missing argument is unassigned with type Empty. Unless expected is Any,
  // a type other than expected (numeric with numeric excepted) raises "%s
  // needed for Argument %d of %s".
  ExpressionValueType ArgumentValue(TxbExpFunction& node, int index, ExpressionValueType expected,
                                    Variant& value);
  // The argument node's width; 10 when the argument is missing.
  int ArgumentWidth(const TxbExpFunction& node, int index) const;
  // The link of the node's handler (may be null).
  TxbExpUserLink* NodeLink(const TxbExpFunction& node) const;

 private:
  // Compiles one text (the whole expression or a nested part) into a tree;
  // null for a text without tokens. Takes the text by value and drops it
  // once tokenized, so deep nesting never holds a copy per level.
  std::unique_ptr<TxbExpBaseObject> Compile(AnsiString text);
  std::vector<ExpressionToken> Tokenize(std::string_view text);
  std::unique_ptr<TxbExpBaseObject> BuildTree(std::vector<ExpressionToken>& tokens);
  std::unique_ptr<TxbExpBaseObject> MakeFunction(ExpressionToken& token);
  TxbUserDefFieldVar* LookupVariable(std::string_view upperName) const;
  void NoteOperand(const TxbExpBaseObject& node);

  // EvaluateValue and EvaluateCondition for all but a typed Boolean tree.
  void EvaluateOther(TxbVariant& value);
  bool EvaluateOtherCondition();
  // EvaluateValue through the typed form of the tree.
  void EvaluateTyped(TxbVariant& value);

  TxbExpUserLink* link_;
  TxbMatchSettings settings_;
  std::unique_ptr<TxbExpBaseObject> root_;
  // The tree's typed form, made after its first successful evaluation
  // (which has recorded every node's type) when all its types are fixed;
  // EvaluateValue then goes through it.
  std::unique_ptr<TypedNode> typed_;
  // For a typed Boolean tree: its test (TypedNode::ConditionTest) and the
  // node it takes; null otherwise.
  bool (*conditionTest_)(TypedNode&) = nullptr;
  TypedNode* typedCondition_ = nullptr;
  bool typedTried_ = false;
  AnsiString typedText_;  // a text result's buffer, reused
  TxbVariant conditionValue_;  // EvaluateCondition's value, reused
  ExpressionValueType resultType_ = etUnknown;
  int maxWidth_ = 0;
  int maxDecimals_ = 0;
  int operandCount_ = 0;
  int nesting_ = 0;
};

// Text comparison of the expression language: empty sides first, trailing
// blanks removed, IgnoreCase, wildcard patterns on the right; -1, 0, 1.
int CompareExpressionTexts(const Variant& left, const Variant& right, const TxbMatchSettings& settings);
