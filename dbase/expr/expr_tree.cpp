// The tree builder and the nodes' structure and texts. Tokens become nodes
// in order; operators are then bound level by level (2 binds tightest, 8
// loosest), each level in one left-to-right pass, so operators of one level
// associate from the left. NOT (level 6) takes only the node to its right.
//
// Depth is tracked on every node as it is made, and nested compilations
// are counted, so no input can build a tree that later overflows the stack
// when it is evaluated, printed or freed.
#include <charconv>
#include <cmath>

#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_impl.h"

namespace {

[[noreturn]] void CannotEvaluate() { XbRaise<EXbaseExpression>(xbmExprCannotEvaluate); }

void CheckDepth(int depth) {
  if (depth > kMaxTreeDepth) CannotEvaluate();
}

struct NestingGuard {
  explicit NestingGuard(int& count) : n(count) { ++n; }
  ~NestingGuard() { --n; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  int& n;
};

}  // namespace

int OperatorLevel(int code) {
  switch (code) {
    case opPower: return 2;
    case opMultiply:
    case opDivide: return 3;
    case opPlus:
    case opMinus: return 4;
    case opEqual:
    case opNotEqual:
    case opGreater:
    case opLess:
    case opGreaterEqual:
    case opLessEqual:
    case opContains:
    case opExactlyEqual: return 5;
    case opNot: return 6;
    case opAnd: return 7;
    case opOr: return 8;
    default: return 0;
  }
}

const char* OperatorDisplayText(int code) {
  switch (code) {
    case opEqual: return "=";
    case opNotEqual: return "#";
    case opGreater: return ">";
    case opLess: return "<";
    case opGreaterEqual: return ">=";
    case opLessEqual: return "<=";
    case opContains: return "in string";
    case opExactlyEqual: return "exactly equal";
    case opPlus: return "+";
    case opMinus: return "-";
    case opMultiply: return "*";
    case opDivide: return "/";
    case opPower: return "^";
    case opAnd: return ".AND.";
    case opOr: return ".OR.";
    case opNot: return ".NOT.";
    default: return "";
  }
}

// --- TxbExpBaseObject ------------------------------------------------------

TxbExpBaseObject::TxbExpBaseObject(ExpressionNodeKind kind, ExpressionValueType type)
    : kind_(kind), valueType_(type) {}

TxbExpBaseObject::~TxbExpBaseObject() = default;

AnsiString TxbExpBaseObject::NodeText() const { return AnsiString(); }

int TxbExpBaseObject::SourceId() const { return -1; }

AnsiString TxbExpBaseObject::ExpressionText() const {
  AnsiString text;
  if (left_) text += left_->ExpressionText();
  text += NodeText();
  if (right_) text += right_->ExpressionText();
  return text;
}

AnsiString TxbExpBaseObject::VariableNames(int sourceId) const {
  AnsiString names;
  if (left_) names += left_->VariableNames(sourceId);
  if (SourceId() == sourceId) {
    names += NodeText();
    names += ';';
  }
  if (right_) names += right_->VariableNames(sourceId);
  return names;
}

void TxbExpBaseObject::Evaluate(Variant& value, ExpressionValueType& type) {
  value.Clear();
  type = etUnknown;
}

void TxbExpBaseObject::SetChildren(std::unique_ptr<TxbExpBaseObject> left,
                                   std::unique_ptr<TxbExpBaseObject> right) {
  int below = 0;
  if (left) below = left->Depth();
  if (right) below = std::max(below, right->Depth());
  depth_ = below + 1;
  left_ = std::move(left);
  right_ = std::move(right);
}

// --- TxbExpContainer -------------------------------------------------------

TxbExpContainer::TxbExpContainer(std::unique_ptr<TxbExpBaseObject> subTree)
    : TxbExpBaseObject(enContainer, subTree ? subTree->ValueType() : etEmpty) {
  SetChildren(nullptr, std::move(subTree));
}

// The texts below are built by appending: "(" + text + ")" trips a false
// -Wrestrict of GCC 12 at -O3.
static AnsiString Enclosed(char open, const AnsiString& text, char close) {
  AnsiString out(1, open);
  out += text;
  out += close;
  return out;
}

AnsiString TxbExpContainer::NodeText() const {
  return Enclosed('(', right_ ? right_->ExpressionText() : AnsiString(), ')');
}

AnsiString TxbExpContainer::ExpressionText() const { return NodeText(); }

// --- TxbExpFunction --------------------------------------------------------

TxbExpFunction::TxbExpFunction(TxbExpHandler* handler, TxbUserDefFunction* function, AnsiString name,
                               std::vector<std::unique_ptr<TxbExpBaseObject>> arguments)
    : TxbExpBaseObject(enFunction, etUnknown),
      handler_(handler),
      function_(function),
      name_(std::move(name)),
      arguments_(std::move(arguments)) {
  int below = 0;
  for (const auto& argument : arguments_) below = std::max(below, argument->Depth());
  depth_ = below + 1;
}

TxbExpFunction::~TxbExpFunction() = default;

AnsiString TxbExpFunction::NodeText() const { return name_; }

AnsiString TxbExpFunction::ExpressionText() const {
  AnsiString text = name_ + "(";
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    if (i > 0) text += ',';
    text += arguments_[i]->ExpressionText();
  }
  text += ')';
  return text;
}

AnsiString TxbExpFunction::VariableNames(int sourceId) const {
  AnsiString names = TxbExpBaseObject::VariableNames(sourceId);
  for (const auto& argument : arguments_) names += argument->VariableNames(sourceId);
  return names;
}

TxbExpBaseObject* TxbExpFunction::Argument(int index) const {
  if (index < 0 || index >= ArgumentCount()) return nullptr;
  return arguments_[static_cast<std::size_t>(index)].get();
}

// --- TxbExpFieldvar --------------------------------------------------------

TxbExpFieldvar::TxbExpFieldvar(TxbUserDefFieldVar* variable)
    : TxbExpBaseObject(enVariable, etUnknown), variable_(variable) {
  width_ = variable->Width();
}

AnsiString TxbExpFieldvar::NodeText() const { return variable_->FirstName(); }

int TxbExpFieldvar::SourceId() const { return variable_->SourceId(); }

// --- TxbExpOperator --------------------------------------------------------

TxbExpOperator::TxbExpOperator(int code, const TxbMatchSettings& settings)
    : TxbExpBaseObject(enUnboundOperator, etUnknown),
      code_(code),
      level_(OperatorLevel(code)),
      settings_(settings) {}

AnsiString TxbExpOperator::NodeText() const { return OperatorDisplayText(code_); }

void TxbExpOperator::Bind(std::unique_ptr<TxbExpBaseObject> left,
                          std::unique_ptr<TxbExpBaseObject> right) {
  SetChildren(std::move(left), std::move(right));
  kind_ = enOperator;
}

// --- Literals --------------------------------------------------------------

TxbExpTextLit::TxbExpTextLit(AnsiString text)
    : TxbExpBaseObject(enTextLiteral, etText), text_(std::move(text)) {
  width_ = static_cast<int32_t>(std::min<std::size_t>(text_.size(), INT32_MAX));
}

AnsiString TxbExpTextLit::NodeText() const { return Enclosed('"', text_, '"'); }

TxbExpNumLit::TxbExpNumLit(std::string_view text) : TxbExpBaseObject(enNumberLiteral, etNumber) {
  width_ = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  std::size_t point = text.find('.');
  if (point != std::string_view::npos)
    decimals_ = static_cast<int32_t>(std::min<std::size_t>(text.size() - point - 1, INT32_MAX));

  // Sign, digits, at most one point, at least one digit; anything else
  // (and a value beyond the double range) is no valid number and reads 0.
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  bool valid = digits.find_first_of("0123456789") != std::string_view::npos &&
               digits.find('.') == digits.rfind('.');
  if (valid) {
    double v = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v,
                                     std::chars_format::fixed);
    if (ec == std::errc() && end == digits.data() + digits.size() && std::isfinite(v))
      value_ = negative ? -v : v;
  }
}

AnsiString TxbExpNumLit::NodeText() const { return FormatFixedNumber(value_, decimals_); }

TxbExpDateLit::TxbExpDateLit(std::string_view text) : TxbExpBaseObject(enDateLiteral, etDate) {
  width_ = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  day_ = DbfDate().TextToJulian(text);
}

AnsiString TxbExpDateLit::NodeText() const { return Enclosed('{', DbfDate().JulianToDisplay(day_), '}'); }

TxbExpBlnLit::TxbExpBlnLit(bool value) : TxbExpBaseObject(enLogicalLiteral, etBoolean), value_(value) {}

AnsiString TxbExpBlnLit::NodeText() const { return value_ ? ".T." : ".F."; }

// --- TxbExpHandler: compilation --------------------------------------------

TxbExpHandler::TxbExpHandler(TxbExpUserLink* link, bool sqlWildcards, std::string_view text)
    : link_(link) {
  if (sqlWildcards) {
    settings_.wildcardAny = '%';
    settings_.wildcardOne = '_';
  }
  SetExpression(text);
}

TxbExpHandler::~TxbExpHandler() = default;

void TxbExpHandler::SetExpression(std::string_view text) {
  conditionTest_ = nullptr;
  typedCondition_ = nullptr;
  typed_.reset();
  typedTried_ = false;
  root_.reset();
  maxWidth_ = 0;
  maxDecimals_ = 0;
  operandCount_ = 0;
  resultType_ = etUnknown;
  nesting_ = 0;
  if (text.empty()) return;
  try {
    root_ = Compile(AnsiString(text));
  } catch (...) {
    maxWidth_ = 0;
    maxDecimals_ = 0;
    operandCount_ = 0;
    nesting_ = 0;
    throw;
  }
  if (root_) resultType_ = root_->ValueType();
}

std::unique_ptr<TxbExpBaseObject> TxbExpHandler::Compile(AnsiString text) {
  NestingGuard guard(nesting_);
  if (nesting_ > kMaxNesting) CannotEvaluate();
  std::vector<ExpressionToken> tokens = Tokenize(text);
  AnsiString().swap(text);  // the tokens hold what is still needed
  return BuildTree(tokens);
}

TxbUserDefFieldVar* TxbExpHandler::LookupVariable(std::string_view upperName) const {
  if (TxbFieldVarReg* global = GlobalFieldVarReg()) {
    if (TxbUserDefFieldVar* v = global->Find(upperName)) return v;
  }
  return link_ ? link_->FindVariable(upperName) : nullptr;
}

void TxbExpHandler::NoteOperand(const TxbExpBaseObject& node) {
  ++operandCount_;
  if (node.Kind() == enVariable || node.Kind() == enNumberLiteral) {
    maxWidth_ = std::max(maxWidth_, static_cast<int>(node.Width()));
  }
  if (node.Kind() == enNumberLiteral) {
    maxDecimals_ = std::max(maxDecimals_, static_cast<int>(node.Decimals()));
  }
}

std::unique_ptr<TxbExpBaseObject> TxbExpHandler::MakeFunction(ExpressionToken& token) {
  AnsiString name = UpperCase(token.text);
  TxbUserDefFunction* function = nullptr;
  if (TxbFunctionReg* global = GlobalFunctionReg()) function = global->Find(name);
  if (function == nullptr && link_ != nullptr) function = link_->FindFunction(name);
  if (function == nullptr && link_ != nullptr) function = link_->UnknownFunction(name);
  if (function == nullptr) XbRaise<EXbaseExpression>(xbmNoFunction, name);
  ++operandCount_;

  // Each argument is a nested compilation of its own, counted by Compile.
  std::vector<std::unique_ptr<TxbExpBaseObject>> arguments;
  std::vector<AnsiString> texts = SplitExpressionArguments(token.arguments);
  AnsiString().swap(token.arguments);
  for (auto& text : texts) {
    std::unique_ptr<TxbExpBaseObject> argument = Compile(std::move(text));
    if (argument) arguments.push_back(std::move(argument));
  }
  auto node = std::make_unique<TxbExpFunction>(this, function, std::move(name), std::move(arguments));
  CheckDepth(node->Depth());
  return node;
}

std::unique_ptr<TxbExpBaseObject> TxbExpHandler::BuildTree(std::vector<ExpressionToken>& tokens) {
  std::vector<std::unique_ptr<TxbExpBaseObject>> nodes;
  nodes.reserve(tokens.size());
  for (ExpressionToken& token : tokens) {
    std::unique_ptr<TxbExpBaseObject> node;
    switch (token.code) {
      case tkFunction:
        node = MakeFunction(token);
        break;
      case tkContainer:
        node = std::make_unique<TxbExpContainer>(Compile(std::move(token.text)));
        CheckDepth(node->Depth());
        break;
      case tkVariable: {
        TxbUserDefFieldVar* variable = link_ ? LookupVariable(token.text) : nullptr;
        if (variable == nullptr) XbRaise<EXbaseExpression>(xbmUnknownVariable, token.text);
        node = std::make_unique<TxbExpFieldvar>(variable);
        NoteOperand(*node);
        break;
      }
      case tkText:
        node = std::make_unique<TxbExpTextLit>(std::move(token.text));
        NoteOperand(*node);
        break;
      case tkDate:
        node = std::make_unique<TxbExpDateLit>(token.text);
        NoteOperand(*node);
        break;
      case tkNumber:
        node = std::make_unique<TxbExpNumLit>(token.text);
        NoteOperand(*node);
        break;
      case tkLogical:
        node = std::make_unique<TxbExpBlnLit>(token.text == ".T.");
        NoteOperand(*node);
        break;
      default:
        node = std::make_unique<TxbExpOperator>(token.code, settings_);
        break;
    }
    nodes.push_back(std::move(node));
  }

  // Levels without an operator need no pass.
  bool present[9] = {};
  for (const auto& node : nodes) {
    if (node->Kind() == enUnboundOperator) present[static_cast<TxbExpOperator*>(node.get())->Level()] = true;
  }
  for (int level = 2; level <= 8 && nodes.size() > 1; ++level) {
    if (!present[level]) continue;
    std::vector<std::unique_ptr<TxbExpBaseObject>> bound;
    bound.reserve(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      auto* op = nodes[i]->Kind() == enUnboundOperator ? static_cast<TxbExpOperator*>(nodes[i].get())
                                                        : nullptr;
      if (op == nullptr || op->Level() != level) {
        bound.push_back(std::move(nodes[i]));
        continue;
      }
      std::unique_ptr<TxbExpBaseObject> self = std::move(nodes[i]);
      std::unique_ptr<TxbExpBaseObject> left;
      if (level != 6 && !bound.empty()) {
        left = std::move(bound.back());
        bound.pop_back();
      }
      std::unique_ptr<TxbExpBaseObject> right;
      if (i + 1 < nodes.size()) right = std::move(nodes[++i]);
      op->Bind(std::move(left), std::move(right));
      CheckDepth(op->Depth());
      bound.push_back(std::move(self));
    }
    nodes = std::move(bound);
  }

  if (nodes.empty()) return nullptr;
  if (nodes.size() != 1) CannotEvaluate();
  return std::move(nodes.front());
}

// --- TxbExpHandler: queries ------------------------------------------------

AnsiString TxbExpHandler::ExpressionText() const {
  return root_ ? root_->ExpressionText() : AnsiString();
}

AnsiString TxbExpHandler::VariableNames(int sourceId) const {
  return root_ ? root_->VariableNames(sourceId) : AnsiString();
}

ExpressionValueType TxbExpHandler::ArgumentValue(TxbExpFunction& node, int index,
                                                 ExpressionValueType expected, Variant& value) {
  ExpressionValueType type = etEmpty;
  if (TxbExpBaseObject* argument = node.Argument(index)) {
    argument->Evaluate(value, type);
  } else {
    value.Clear();
  }
  if (expected != etAny && type != expected && !(IsNumericType(type) && IsNumericType(expected))) {
    XbRaise<EXbaseExpression>(xbmArgumentNeeded, ExpressionTypeName(expected), index + 1,
                              node.NodeText());
  }
  return type;
}

int TxbExpHandler::ArgumentWidth(const TxbExpFunction& node, int index) const {
  const TxbExpBaseObject* argument = node.Argument(index);
  return argument ? argument->Width() : 10;
}

TxbExpUserLink* TxbExpHandler::NodeLink(const TxbExpFunction& node) const {
  return node.Handler() ? node.Handler()->Link() : link_;
}
