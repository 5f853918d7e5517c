// The filter parser: a hand-written recursive-descent parser over a small
// tokenizer. Nesting is limited so that hostile text can neither exhaust the
// stack here nor in the recursive evaluators and destructors that walk the
// tree afterwards.
#include "platform/db/filter_expr.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/db/db_errors.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int kMaxDepth = 500;

enum class Tok { End, Name, String, Number, LParen, RParen, Comma, Op };

struct Token {
  Tok kind = Tok::End;
  AnsiString text;  // names, strings (unquoted), numbers, operators
  int pos = 1;      // 1-based
  bool bracketed = false;
};

// Names: ASCII letters, "_" and every byte above 127 (Czech letters), then
// digits too. No ctype calls: they would depend on the C library's locale.
bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 128;
}
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    Token t;
    t.pos = static_cast<int>(i + 1);
    if (i >= s.size()) {
      out.push_back(t);
      return out;
    }
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\'') {
      t.kind = Tok::String;
      ++i;
      for (;;) {
        if (i >= s.size()) DatabaseErrorFmt("Unterminated string in filter expression at position %d", t.pos);
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            t.text += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text += s[i++];
      }
    } else if (c == '[') {
      t.kind = Tok::Name;
      t.bracketed = true;
      std::size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) DatabaseErrorFmt("Missing ']' in filter expression at position %d", t.pos);
      t.text = AnsiString(s.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (c >= '0' && c <= '9') {
      t.kind = Tok::Number;
      while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) t.text += s[i++];
    } else if (IsNameStart(c)) {
      t.kind = Tok::Name;
      while (i < s.size() && IsNameChar(static_cast<unsigned char>(s[i]))) t.text += s[i++];
    } else if (c == '(') {
      t.kind = Tok::LParen;
      ++i;
    } else if (c == ')') {
      t.kind = Tok::RParen;
      ++i;
    } else if (c == ',') {
      t.kind = Tok::Comma;
      ++i;
    } else if (c == '<' || c == '>') {
      t.kind = Tok::Op;
      t.text = static_cast<char>(c);
      ++i;
      if (i < s.size() && (s[i] == '=' || (c == '<' && s[i] == '>'))) t.text += s[i++];
    } else if (std::strchr("=+-*/", static_cast<int>(c)) != nullptr) {
      t.kind = Tok::Op;
      t.text = static_cast<char>(c);
      ++i;
    } else {
      DatabaseErrorFmt("Unexpected character '%s' in filter expression at position %d",
                       AnsiString(1, static_cast<char>(c)), t.pos);
    }
    out.push_back(std::move(t));
  }
}

bool IsTextType(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo ||
         t == ftGuid;
}

template <class T>
std::string Raw(T value) {
  std::string bytes(sizeof(T), '\0');
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

class Parser {
 public:
  Parser(std::string_view text, TFilterOptions options, const TFilterFieldTypeFn& fieldType)
      : tokens_(Tokenize(text)), options_(options), fieldType_(fieldType) {}

  std::unique_ptr<TFilterNode> ParseAll() {
    auto node = ParseOr();
    if (Peek().kind != Tok::End) Fail("Unexpected '%s'", Peek());
    return node;
  }

 private:
  using NodePtr = std::unique_ptr<TFilterNode>;

  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  bool IsKeyword(const char* word) const {
    return Peek().kind == Tok::Name && !Peek().bracketed && SameText(Peek().text, word);
  }
  bool IsOp(const char* op) const { return Peek().kind == Tok::Op && Peek().text == op; }

  [[noreturn]] void Fail(const char* what, const Token& at) {
    AnsiString shown = at.kind == Tok::End ? AnsiString("end of text") : at.text;
    if (at.kind == Tok::LParen) shown = "(";
    if (at.kind == Tok::RParen) shown = ")";
    if (at.kind == Tok::Comma) shown = ",";
    DatabaseError(Format(what, shown) + Format(" in filter expression at position %d", at.pos));
  }

  void Expect(Tok kind, const char* text) {
    if (Peek().kind != kind) DatabaseErrorFmt("Expected %s in filter expression at position %d", text, Peek().pos);
    Next();
  }

  // Depth of nesting is bounded through every path that builds a node.
  struct DepthGuard {
    DepthGuard(Parser& p, const Token& at) : parser(p) {
      if (++parser.depth_ > kMaxDepth) {
        DatabaseErrorFmt("Filter expression nested too deeply at position %d", at.pos);
      }
    }
    ~DepthGuard() { --parser.depth_; }
    Parser& parser;
  };

  static NodePtr Make(TNodeClass cls, TCANOperator op, NodePtr left = nullptr, NodePtr right = nullptr) {
    auto n = std::make_unique<TFilterNode>();
    n->nodeClass = cls;
    n->op = op;
    n->left = std::move(left);
    n->right = std::move(right);
    return n;
  }

  // A left-associative chain grows the tree with every operand, so its
  // length counts as depth too.
  NodePtr ParseOr() {
    DepthGuard g(*this, Peek());
    NodePtr left = ParseAnd();
    int chain = 0;
    while (IsKeyword("OR")) {
      ChainStep(chain);
      Next();
      left = Make(nodeBINARY, coOR, std::move(left), ParseAnd());
    }
    depth_ -= chain;
    return left;
  }

  NodePtr ParseAnd() {
    DepthGuard g(*this, Peek());
    NodePtr left = ParseNot();
    int chain = 0;
    while (IsKeyword("AND")) {
      ChainStep(chain);
      Next();
      left = Make(nodeBINARY, coAND, std::move(left), ParseNot());
    }
    depth_ -= chain;
    return left;
  }

  void ChainStep(int& chain) {
    ++chain;
    if (++depth_ > kMaxDepth) DatabaseErrorFmt("Filter expression nested too deeply at position %d", Peek().pos);
  }

  NodePtr ParseNot() {
    DepthGuard g(*this, Peek());
    if (IsKeyword("NOT")) {
      Next();
      return Make(nodeUNARY, coNOT, ParseNot());
    }
    return ParseComparison();
  }

  NodePtr ParseComparison() {
    DepthGuard g(*this, Peek());
    NodePtr left = ParseAdditive();
    static const struct {
      const char* text;
      TCANOperator op;
    } kOps[] = {{"=", coEQ}, {"<>", coNE}, {"<", coLT}, {">", coGT}, {"<=", coLE}, {">=", coGE}};
    for (const auto& o : kOps) {
      if (IsOp(o.text)) {
        Next();
        return Compare(o.op, std::move(left), ParseAdditive());
      }
    }
    if (IsKeyword("LIKE")) {
      Next();
      return Compare(coLIKE, std::move(left), ParseAdditive());
    }
    if (IsKeyword("IN")) {
      Next();
      Expect(Tok::LParen, "'('");
      NodePtr list = ParseList();
      Expect(Tok::RParen, "')'");
      return Make(nodeBINARY, coIN, std::move(left), std::move(list));
    }
    if (IsKeyword("IS")) {
      Next();
      bool negated = IsKeyword("NOT");
      if (negated) Next();
      if (!IsKeyword("NULL")) Fail("Expected NULL, found '%s'", Peek());
      Next();
      return Make(nodeUNARY, negated ? coNOTBLANK : coISBLANK, std::move(left));
    }
    return left;
  }

  // A chain of list elements, one per expression, each nested in the one
  // before (the chain's length is bounded like any nesting).
  NodePtr ParseList() {
    std::vector<NodePtr> items;
    items.push_back(ParseOr());
    while (Peek().kind == Tok::Comma) {
      Next();
      if (static_cast<int>(items.size()) + depth_ > kMaxDepth) {
        DatabaseErrorFmt("Filter expression nested too deeply at position %d", Peek().pos);
      }
      items.push_back(ParseOr());
    }
    NodePtr chain;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      chain = Make(nodeLISTELEM, coLISTELEM2, std::move(*it), std::move(chain));
    }
    return chain;
  }

  NodePtr ParseAdditive() {
    DepthGuard g(*this, Peek());
    NodePtr left = ParseMultiplicative();
    int chain = 0;
    while (IsOp("+") || IsOp("-")) {
      ChainStep(chain);
      TCANOperator op = Next().text == "+" ? coADD : coSUB;
      left = Make(nodeBINARY, op, std::move(left), ParseMultiplicative());
    }
    depth_ -= chain;
    return left;
  }

  NodePtr ParseMultiplicative() {
    DepthGuard g(*this, Peek());
    NodePtr left = ParseUnary();
    int chain = 0;
    while (IsOp("*") || IsOp("/")) {
      ChainStep(chain);
      TCANOperator op = Next().text == "*" ? coMUL : coDIV;
      left = Make(nodeBINARY, op, std::move(left), ParseUnary());
    }
    depth_ -= chain;
    return left;
  }

  NodePtr ParseUnary() {
    DepthGuard g(*this, Peek());
    if (IsOp("-")) {
      Next();
      return Make(nodeUNARY, coMINUS, ParseUnary());
    }
    return ParsePrimary();
  }

  NodePtr ParsePrimary() {
    const Token t = Next();
    switch (t.kind) {
      case Tok::String: return MakeFilterConstant(ftString, t.text);
      case Tok::Number: return NumberConstant(t);
      case Tok::LParen: {
        NodePtr inner = ParseOr();
        Expect(Tok::RParen, "')'");
        return inner;
      }
      case Tok::Name: break;
      default: Fail("Expected an operand, found '%s'", t);
    }
    if (!t.bracketed && Peek().kind == Tok::LParen) return Call(t);
    if (!t.bracketed) {
      if (SameText(t.text, "NULL")) return Make(nodeNULL, coNOTDEFINED);
      if (SameText(t.text, "TRUE")) return MakeFilterConstant(ftBoolean, Raw<int16_t>(1));
      if (SameText(t.text, "FALSE")) return MakeFilterConstant(ftBoolean, Raw<int16_t>(0));
    }
    TFieldType type = ftUnknown;
    if (fieldType_ && !fieldType_(t.text, type)) {
      DatabaseErrorFmt("Field '%s' not found in filter expression at position %d", t.text, t.pos);
    }
    NodePtr field = Make(nodeFIELD, coFIELD2);
    field->name = t.text;
    field->dataType = type;
    return field;
  }

  NodePtr Call(const Token& name) {
    Next();  // "("
    NodePtr args;
    if (Peek().kind != Tok::RParen) {
      args = ParseList();
      if (!args->right) args = std::move(args->left);  // one argument stands alone
    }
    Expect(Tok::RParen, "')'");
    AnsiString upper = UpperCase(name.text);
    if (upper == "UPPER" || upper == "LOWER") {
      if (!args || args->nodeClass == nodeLISTELEM) {
        DatabaseErrorFmt("%s takes one argument in filter expression at position %d", upper, name.pos);
      }
      return Make(nodeUNARY, upper == "UPPER" ? coUPPER : coLOWER, std::move(args));
    }
    NodePtr fn = Make(nodeFUNC, coFUNC2, std::move(args));
    fn->name = name.text;
    return fn;
  }

  NodePtr NumberConstant(const Token& t) {
    const AnsiString& s = t.text;
    if (s.find('.') == AnsiString::npos && s.size() <= 10) {
      int64_t v = std::stoll(s);
      if (v <= INT32_MAX) return MakeFilterConstant(ftInteger, Raw<int32_t>(static_cast<int32_t>(v)));
    }
    TFormatSettings dot = FormatSettings();
    dot.DecimalSeparator = '.';
    dot.ThousandSeparator = '\0';
    double d = 0;
    if (!TryStrToFloat(s, d, dot) || !std::isfinite(d)) {
      DatabaseErrorFmt("Invalid number '%s' in filter expression at position %d", s, t.pos);
    }
    return MakeFilterConstant(ftFloat, Raw<double>(d));
  }

  // "=" etc. between a field and a string: dates convert, texts may become
  // compare nodes with partial length or case-insensitivity.
  NodePtr Compare(TCANOperator op, NodePtr left, NodePtr right) {
    TFilterNode* field = left->nodeClass == nodeFIELD ? left.get() : right->nodeClass == nodeFIELD ? right.get() : nullptr;
    TFilterNode* constant = left->nodeClass == nodeCONST ? left.get() : right->nodeClass == nodeCONST ? right.get() : nullptr;
    if (field && constant && constant->dataType == ftString) {
      TFieldType ft = field->dataType;
      if (ft == ftDate || ft == ftTime || ft == ftDateTime) ConvertDateConstant(*constant, ft);
      if (IsTextType(ft) && (op == coEQ || op == coNE || op == coLIKE)) {
        bool partial = op != coLIKE && constant == right.get() && !options_.Contains(foNoPartialCompare) &&
                       !constant->data.empty() && constant->data.back() == '*';
        bool caseless = options_.Contains(foCaseInsensitive);
        if (partial || caseless) {
          NodePtr cmp = Make(nodeCOMPARE, op, std::move(left), std::move(right));
          cmp->caseInsensitive = caseless;
          if (partial) {
            constant->data.pop_back();
            cmp->partialLength = static_cast<int>(constant->data.size());
          }
          return cmp;
        }
      }
    }
    return Make(nodeBINARY, op, std::move(left), std::move(right));
  }

  void ConvertDateConstant(TFilterNode& c, TFieldType type) {
    const AnsiString text = c.data;
    TDateTime date = 0, time = 0;
    bool ok = false;
    if (type == ftDate) {
      ok = TryStrToDate(text, date);
    } else if (type == ftTime) {
      ok = TryStrToTime(text, time);
    } else {
      AnsiString trimmed = Trim(text);
      std::size_t blank = trimmed.find(' ');
      ok = TryStrToDate(trimmed.substr(0, blank), date) &&
           (blank == AnsiString::npos || TryStrToTime(Trim(trimmed.substr(blank + 1)), time));
    }
    if (!ok) DatabaseErrorFmt("'%s' is not a valid date or time in filter expression", text);
    c.dataType = type;
    if (type == ftDate) {
      c.data = Raw<int32_t>(static_cast<int32_t>(std::floor(date) + kFilterDateDelta));
    } else if (type == ftTime) {
      c.data = Raw<int32_t>(static_cast<int32_t>(std::llround(time * 86400000.0)));
    } else {
      double days = date + kFilterDateDelta;
      c.data = Raw<double>(std::round((days + time) * 86400000.0));
    }
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  TFilterOptions options_;
  const TFilterFieldTypeFn& fieldType_;
};

}  // namespace

TFilterNode::~TFilterNode() = default;

std::unique_ptr<TFilterNode> MakeFilterConstant(TFieldType type, std::string data) {
  auto n = std::make_unique<TFilterNode>();
  n->nodeClass = nodeCONST;
  n->op = coCONST2;
  n->dataType = type;
  n->data = std::move(data);
  return n;
}

std::unique_ptr<TFilterNode> ParseFilterExpression(std::string_view text, TFilterOptions options,
                                                   const TFilterFieldTypeFn& fieldType) {
  Parser parser(text, options, fieldType);
  return parser.ParseAll();
}
