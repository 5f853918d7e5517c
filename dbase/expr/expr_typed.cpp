// The typed form of literals, variables, containers and operators, and the
// compiler that mirrors a tree with them (built-ins give their own typed
// forms through TxbBuiltinFunction::Typed).
#include "dbase/expr/expr_typed.h"

#include <type_traits>

#include "dbase/base/errors.h"
#include "dbase/expr/expr_impl.h"

double TypedNode::Number() { return 0; }
bool TypedNode::Logical() { return false; }
void TypedNode::AppendText(AnsiString&) {}

TypedNodePtr TxbBuiltinFunction::Typed(const TxbExpFunction&, TypedArguments&) const { return nullptr; }

namespace {

// --- literals and variables ---------------------------------------------------

class NumberConstant final : public TypedNode {
 public:
  NumberConstant(ExpressionValueType type, double value) : TypedNode(type), value_(value) {}
  double Number() override { return value_; }
  bool Constant() const override { return true; }
  double value_;
};

class LogicalConstant final : public TypedNode {
 public:
  explicit LogicalConstant(bool value) : TypedNode(etBoolean), value_(value) {}
  bool Logical() override { return value_; }
  bool Constant() const override { return true; }

 private:
  bool value_;
};

class TextConstant final : public TypedNode {
 public:
  explicit TextConstant(AnsiString text) : TypedNode(etText), text_(std::move(text)) {}
  void AppendText(AnsiString& out) override { out += text_; }
  const AnsiString* ConstantText() const override { return &text_; }
  bool Constant() const override { return true; }

 private:
  AnsiString text_;
};

class NumberVariable final : public TypedNode {
 public:
  NumberVariable(ExpressionValueType type, TxbUserDefFieldVar* variable) : TypedNode(type), variable_(variable) {}
  double Number() override { return variable_->NumberValue(); }
  TxbUserDefFieldVar* variable_;
};

class LogicalVariable final : public TypedNode {
 public:
  explicit LogicalVariable(TxbUserDefFieldVar* variable) : TypedNode(etBoolean), variable_(variable) {}
  bool Logical() override { return variable_->LogicalValue(); }

 private:
  TxbUserDefFieldVar* variable_;
};

class TextVariable final : public TypedNode {
 public:
  explicit TextVariable(TxbUserDefFieldVar* variable) : TypedNode(etText), variable_(variable) {}
  void AppendText(AnsiString& out) override { out += variable_->TextValue(); }

 private:
  TxbUserDefFieldVar* variable_;
};

// --- operators ---------------------------------------------------------------

// Boolean operators. Both sides always, right first: a side's error must
// not depend on the other side's value. The operator is a template
// argument, so that a filter's AND costs no branch on the values.
template <int Code>
class LogicalOperator final : public TypedNode {
 public:
  LogicalOperator(TypedNodePtr left, TypedNodePtr right)
      : TypedNode(etBoolean), left_(std::move(left)), right_(std::move(right)) {}
  bool Logical() override {
    const bool r = right_->Logical();
    if constexpr (Code == opNot) {
      return !r;
    } else {
      const bool l = left_->Logical();
      if constexpr (Code == opEqual || Code == opExactlyEqual) return l == r;
      if constexpr (Code == opNotEqual) return l != r;
      if constexpr (Code == opAnd) return l & r;
      if constexpr (Code == opOr) return l | r;
    }
  }

 private:
  TypedNodePtr left_;
  TypedNodePtr right_;
};

// A numeric comparison holds by the sign of left - right, as the general
// path computes it (so a NaN difference compares equal there and here).
template <int Code>
bool DifferenceHolds(double difference) {
  return ComparisonHolds(Code, (difference > 0) - (difference < 0));
}

template <int Code>
class NumberComparison final : public TypedNode {
 public:
  NumberComparison(TypedNodePtr left, TypedNodePtr right)
      : TypedNode(etBoolean), left_(std::move(left)), right_(std::move(right)) {}
  bool Logical() override {
    const double r = right_->Number();
    return DifferenceHolds<Code>(left_->Number() - r);
  }

 private:
  TypedNodePtr left_;
  TypedNodePtr right_;
};

// The common filter term: a numeric variable against a literal.
struct ComparisonTerm {
  ComparisonTerm(TxbUserDefFieldVar* v, double c, int code, bool variableLeft) : variable(v), constant(c) {
    // The signs of variable - constant that make the comparison hold. With
    // the literal on the left the sign is that of constant - variable,
    // which IEEE subtraction makes exactly the opposite one (a NaN gives 0
    // either way).
    for (int sign = -1; sign <= 1; ++sign)
      if (ComparisonHolds(code, variableLeft ? sign : -sign)) accepted |= 1u << (sign + 1);
  }
  TxbUserDefFieldVar* variable;
  double constant;
  unsigned accepted = 0;
};

class TermNode : public TypedNode {
 public:
  explicit TermNode(const ComparisonTerm& term) : TypedNode(etBoolean), term_(term) {}
  const ComparisonTerm& Term() const { return term_; }

 protected:
  ComparisonTerm term_;
};

// A term read without a node between the comparison and the variable.
template <int Code, bool VariableLeft>
class VariableComparison final : public TermNode {
 public:
  explicit VariableComparison(const ComparisonTerm& term) : TermNode(term), constant_(term.constant) {}
  bool Logical() override {
    const double v = term_.variable->NumberValue();
    return DifferenceHolds<Code>(VariableLeft ? v - constant_ : constant_ - v);
  }

 private:
  double constant_;
};

// A run of terms joined by one Boolean operator (".AND." or ".OR."), the
// usual shape of a filter, tested in one node. The terms are kept in the
// order the operator tree evaluates them (right before left, all of them),
// so the errors a variable raises come in the same order.
class TermChain : public TypedNode {
 public:
  TermChain(int code, std::vector<ComparisonTerm> terms)
      : TypedNode(etBoolean), code_(code), terms_(std::move(terms)) {}
  int Code() const { return code_; }
  const std::vector<ComparisonTerm>& Terms() const { return terms_; }

 protected:
  static bool Holds(const ComparisonTerm& t) {
    const double difference = t.variable->NumberValue() - t.constant;
    return (t.accepted >> ((difference > 0) - (difference < 0) + 1)) & 1u;
  }

  int code_;
  std::vector<ComparisonTerm> terms_;
};

template <bool IsAnd>
class TermChainOf final : public TermChain {
 public:
  using TermChain::TermChain;
  bool Logical() override {
    bool result = IsAnd;
    for (const ComparisonTerm& t : terms_) {
      const bool holds = Holds(t);
      result = IsAnd ? (result & holds) : (result | holds);
    }
    return result;
  }
};

// The usual filter of two terms, kept in the node itself.
template <bool IsAnd>
class TermPairOf final : public TermChain {
 public:
  TermPairOf(int code, std::vector<ComparisonTerm> terms)
      : TermChain(code, std::move(terms)), first_(terms_[0]), second_(terms_[1]) {}
  bool Logical() override { return Both(*this); }
  Test ConditionTest() const override {
    return [](TypedNode& node) { return Both(static_cast<TermPairOf&>(node)); };
  }

 private:
  static bool Both(const TermPairOf& pair) {
    const bool first = Holds(pair.first_);
    const bool second = Holds(pair.second_);
    return IsAnd ? (first & second) : (first | second);
  }

  ComparisonTerm first_;
  ComparisonTerm second_;
};

// The terms of node in evaluation order when node is a term or a chain of
// the operator code; false otherwise.
bool CollectTerms(const TypedNode& node, int code, std::vector<ComparisonTerm>& out) {
  if (const auto* term = dynamic_cast<const TermNode*>(&node)) {
    out.push_back(term->Term());
    return true;
  }
  if (const auto* chain = dynamic_cast<const TermChain*>(&node); chain && chain->Code() == code) {
    out.insert(out.end(), chain->Terms().begin(), chain->Terms().end());
    return true;
  }
  return false;
}

// "left op right" for op .AND. or .OR. as one chain when both sides are
// terms or chains of the same operator; null otherwise.
TypedNodePtr ChainTerms(int code, const TypedNode& left, const TypedNode& right) {
  std::vector<ComparisonTerm> terms;
  // Right first, as the operator evaluates.
  if (!CollectTerms(right, code, terms) || !CollectTerms(left, code, terms)) return nullptr;
  if (terms.size() == 2) {
    if (code == opAnd) return std::make_unique<TermPairOf<true>>(code, std::move(terms));
    return std::make_unique<TermPairOf<false>>(code, std::move(terms));
  }
  if (code == opAnd) return std::make_unique<TermChainOf<true>>(code, std::move(terms));
  return std::make_unique<TermChainOf<false>>(code, std::move(terms));
}

// make(std::integral_constant<int, code>) for a run-time comparison code.
template <class Make>
TypedNodePtr ForComparison(int code, Make make) {
  switch (code) {
    case opEqual: return make(std::integral_constant<int, opEqual>{});
    case opExactlyEqual: return make(std::integral_constant<int, opExactlyEqual>{});
    case opNotEqual: return make(std::integral_constant<int, opNotEqual>{});
    case opGreater: return make(std::integral_constant<int, opGreater>{});
    case opLess: return make(std::integral_constant<int, opLess>{});
    case opGreaterEqual: return make(std::integral_constant<int, opGreaterEqual>{});
    case opLessEqual: return make(std::integral_constant<int, opLessEqual>{});
    default: return nullptr;
  }
}

class NumberArithmetic final : public TypedNode {
 public:
  NumberArithmetic(ExpressionValueType type, int code, TypedNodePtr left, TypedNodePtr right)
      : TypedNode(type), code_(code), left_(std::move(left)), right_(std::move(right)) {}
  double Number() override {
    const double r = right_->Number();
    const double l = left_->Number();
    switch (code_) {
      case opPlus: return CheckedFloat(l + r);
      case opMinus: return CheckedFloat(l - r);
      case opMultiply: return CheckedFloat(l * r);
      case opDivide: return CheckedDivide(l, r);
      default: return ExpressionPower(l, r);
    }
  }

 private:
  int code_;
  TypedNodePtr left_;
  TypedNodePtr right_;
};

// Text "+": the operands joined. Evaluated right first like every operator;
// when either side is a literal the order cannot show, and both go
// straight into the output.
class TextConcatenation final : public TypedNode {
 public:
  TextConcatenation(TypedNodePtr left, TypedNodePtr right)
      : TypedNode(etText), left_(std::move(left)), right_(std::move(right)),
        direct_(left_->Constant() || right_->Constant()) {}
  void AppendText(AnsiString& out) override {
    const std::size_t start = out.size();
    if (direct_) {
      left_->AppendText(out);
      right_->AppendText(out);
    } else {
      std::string_view r = TypedText(*right_, rightText_);
      left_->AppendText(out);
      out += r;
    }
    ChargeText(out.size() - start);
  }

 private:
  TypedNodePtr left_;
  TypedNodePtr right_;
  bool direct_;
  AnsiString rightText_;
};

// Text "-", "==", "$" and the comparisons: both texts are needed whole.
class TextOperator final : public TypedNode {
 public:
  TextOperator(int code, const TxbMatchSettings& settings, TypedNodePtr left, TypedNodePtr right)
      : TypedNode(code == opMinus ? etText : etBoolean), code_(code), settings_(settings),
        left_(std::move(left)), right_(std::move(right)) {}

  bool Logical() override {
    const std::string_view r = TypedText(*right_, rightText_);
    const std::string_view l = TypedText(*left_, leftText_);
    switch (code_) {
      case opExactlyEqual: return l == r;
      case opContains: return FindText(r, l) != std::string_view::npos;
      default: return ComparisonHolds(code_, CompareExpressionTextViews(l, r, settings_));
    }
  }

  // "-": trailing blanks of the left text move behind the right one.
  void AppendText(AnsiString& out) override {
    const std::string_view r = TypedText(*right_, rightText_);
    const std::string_view l = TypedText(*left_, leftText_);
    const uint64_t total = static_cast<uint64_t>(l.size()) + r.size();
    ChargeText(total);
    const std::size_t start = out.size();
    std::size_t n = l.size();
    while (n > 0 && static_cast<unsigned char>(l[n - 1]) <= 0x20) --n;
    out.append(l.substr(0, n));
    out.append(r);
    out.resize(start + static_cast<std::size_t>(total), ' ');
  }

 private:
  int code_;
  TxbMatchSettings settings_;
  TypedNodePtr left_;
  TypedNodePtr right_;
  AnsiString leftText_;
  AnsiString rightText_;
};

TypedNodePtr CompileOperator(const TxbExpOperator& node) {
  if (!node.Right() || (node.Code() != opNot && !node.Left())) return nullptr;
  TypedNodePtr right = CompileTypedNode(*node.Right());
  if (!right) return nullptr;
  TypedNodePtr left;
  if (node.Left()) {
    left = CompileTypedNode(*node.Left());
    if (!left) return nullptr;
  }
  const int code = node.Code();
  const ExpressionValueType rightType = right->Type();
  const ExpressionValueType leftType = left ? left->Type() : rightType;
  const bool numeric = IsNumericType(rightType) && IsNumericType(leftType);
  // Operands of different kinds raise; that stays with the general path.
  if (leftType != rightType && !numeric) return nullptr;

  if (rightType == etBoolean) {
    switch (code) {
      case opNot: return std::make_unique<LogicalOperator<opNot>>(std::move(left), std::move(right));
      case opEqual: return std::make_unique<LogicalOperator<opEqual>>(std::move(left), std::move(right));
      case opExactlyEqual:
        return std::make_unique<LogicalOperator<opExactlyEqual>>(std::move(left), std::move(right));
      case opNotEqual: return std::make_unique<LogicalOperator<opNotEqual>>(std::move(left), std::move(right));
      case opAnd:
        if (TypedNodePtr chain = ChainTerms(code, *left, *right)) return chain;
        return std::make_unique<LogicalOperator<opAnd>>(std::move(left), std::move(right));
      case opOr:
        if (TypedNodePtr chain = ChainTerms(code, *left, *right)) return chain;
        return std::make_unique<LogicalOperator<opOr>>(std::move(left), std::move(right));
      default: return nullptr;
    }
  }
  if (numeric) {
    if (IsComparison(code) && code != opContains) {
      const TxbExpBaseObject* leftNode = node.Left();
      const TxbExpBaseObject* rightNode = node.Right();
      if (leftNode->Kind() == enVariable && right->Constant()) {
        TxbUserDefFieldVar* variable = static_cast<const TxbExpFieldvar*>(leftNode)->Variable();
        const double constant = right->Number();
        return ForComparison(code, [&](auto c) -> TypedNodePtr {
          return std::make_unique<VariableComparison<decltype(c)::value, true>>(
              ComparisonTerm{variable, constant, decltype(c)::value, true});
        });
      }
      if (rightNode->Kind() == enVariable && left->Constant()) {
        TxbUserDefFieldVar* variable = static_cast<const TxbExpFieldvar*>(rightNode)->Variable();
        const double constant = left->Number();
        return ForComparison(code, [&](auto c) -> TypedNodePtr {
          return std::make_unique<VariableComparison<decltype(c)::value, false>>(
              ComparisonTerm{variable, constant, decltype(c)::value, false});
        });
      }
      return ForComparison(code, [&](auto c) -> TypedNodePtr {
        return std::make_unique<NumberComparison<decltype(c)::value>>(std::move(left), std::move(right));
      });
    }
    switch (code) {
      case opPlus:
      case opMinus:
      case opMultiply:
      case opDivide:
      case opPower:
        return std::make_unique<NumberArithmetic>(rightType, code, std::move(left), std::move(right));
      default: return nullptr;
    }
  }
  if (rightType == etText) {
    if (code == opPlus) return std::make_unique<TextConcatenation>(std::move(left), std::move(right));
    if (code == opMinus || IsComparison(code))
      return std::make_unique<TextOperator>(code, node.Settings(), std::move(left), std::move(right));
  }
  return nullptr;
}

}  // namespace

TypedNodePtr CompileTypedNode(const TxbExpBaseObject& node) {
  switch (node.Kind()) {
    case enContainer:
      return node.Right() ? CompileTypedNode(*node.Right()) : nullptr;
    case enTextLiteral:
      return std::make_unique<TextConstant>(static_cast<const TxbExpTextLit&>(node).Text());
    case enNumberLiteral:
      return std::make_unique<NumberConstant>(etNumber, static_cast<const TxbExpNumLit&>(node).Value());
    case enDateLiteral:
      return std::make_unique<NumberConstant>(etDate, static_cast<const TxbExpDateLit&>(node).Day());
    case enLogicalLiteral:
      return std::make_unique<LogicalConstant>(static_cast<const TxbExpBlnLit&>(node).Value());
    case enVariable: {
      TxbUserDefFieldVar* variable = static_cast<const TxbExpFieldvar&>(node).Variable();
      const ExpressionValueType type = variable->StaticType();
      if (type == etText) return std::make_unique<TextVariable>(variable);
      if (type == etBoolean) return std::make_unique<LogicalVariable>(variable);
      if (type == etNumber || type == etDate) return std::make_unique<NumberVariable>(type, variable);
      return nullptr;
    }
    case enOperator:
      return CompileOperator(static_cast<const TxbExpOperator&>(node));
    case enFunction: {
      const auto& call = static_cast<const TxbExpFunction&>(node);
      const auto* builtin = dynamic_cast<const TxbBuiltinFunction*>(call.Function());
      if (!builtin) return nullptr;
      TypedArguments arguments;
      for (int i = 0; i < call.ArgumentCount(); ++i) {
        const TxbExpBaseObject* argument = call.Argument(i);
        if (!argument) return nullptr;
        TypedNodePtr typed = CompileTypedNode(*argument);
        if (!typed) return nullptr;
        arguments.push_back(std::move(typed));
      }
      return builtin->Typed(call, arguments);
    }
    default:
      return nullptr;
  }
}
