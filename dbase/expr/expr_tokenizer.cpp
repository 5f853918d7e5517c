// The tokenizer: turns an expression text into operand and operator tokens.
//
// It alternates between expecting an operand and expecting an operator.
// Operands: a NOT (at the very start it is an operator token; later it
// takes the rest of the text, itself included, as one parenthesised
// sub-expression), a parenthesised text, a logical literal, a name
// (function call or variable), a quoted literal, a number. Operators:
// symbols, then words (AND, OR, EQ, ...), bare or between periods.
//
// The NOT rule is defined on the text "(" + rest + ")". Instead of copying
// the rest for every such NOT, the text is kept as the original bytes
// followed by a count of virtual ")" characters, so the tokenizer stays
// linear in the length of the text.
#include <cstring>

#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_impl.h"
#include "platform/rtl/sysutils.h"

namespace {

// The text being tokenized: base followed by `closers` virtual ")".
class TokenText {
 public:
  explicit TokenText(std::string_view base) : base_(base) {}
  std::size_t size() const { return base_.size() + closers_; }
  char operator[](std::size_t i) const { return i < base_.size() ? base_[i] : ')'; }
  AnsiString Copy(std::size_t from, std::size_t to) const {
    AnsiString out;
    if (from < base_.size()) out.assign(base_.substr(from, std::min(to, base_.size()) - from));
    if (to > base_.size()) out.append(to - std::max(from, base_.size()), ')');
    return out;
  }
  void AddCloser() { ++closers_; }
  std::string_view Base() const { return base_; }
  // First position at or after `from` holding c; size() when none.
  std::size_t Find(char c, std::size_t from) const {
    if (from < base_.size()) {
      const void* hit = std::memchr(base_.data() + from, c, base_.size() - from);
      if (hit) return static_cast<std::size_t>(static_cast<const char*>(hit) - base_.data());
      from = base_.size();
    }
    return c == ')' && from < size() ? from : size();
  }

 private:
  std::string_view base_;
  std::size_t closers_ = 0;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

std::size_t SkipBlanks(const TokenText& t, std::size_t p) {
  while (p < t.size() && IsBlank(t[p])) ++p;
  return p;
}

std::size_t SkipName(const TokenText& t, std::size_t p) {
  while (p < t.size() && IsNameChar(t[p])) ++p;
  return p;
}

[[noreturn]] void Raise(int id) { XbRaise<EXbaseExpression>(id); }

// Position of the ")" that closes a "(" just before `from`, counting only
// parentheses, with `depth` parentheses open; npos when none does, with
// `depth` then holding the count still open. The real bytes are walked by
// pointer: this scan runs once per nesting level over megabyte inputs.
std::size_t MatchParenthesis(const TokenText& t, std::size_t from, int& depth) {
  std::string_view b = t.Base();
  std::size_t i = from;
  if (i < b.size()) {
    const char* const begin = b.data();
    const char* const end = begin + b.size();
    for (const char* c = begin + i; c != end; ++c) {
      if (*c == '(') {
        ++depth;
      } else if (*c == ')' && --depth == 0) {
        return static_cast<std::size_t>(c - begin);
      }
    }
    i = b.size();
  }
  // The virtual ")" after the real bytes.
  std::size_t closers = t.size() - i;
  if (static_cast<std::size_t>(depth) <= closers) return i + static_cast<std::size_t>(depth) - 1;
  depth -= static_cast<int>(closers);
  return std::string_view::npos;
}

// The closing scanner of function calls and argument lists: quoted spans
// and parentheses nest; ends at the first ")" (or "," when splitting)
// outside spans at depth 0. npos when the text ends first.
template <class Text>
std::size_t ScanClosing(const Text& t, std::size_t from, bool stopAtComma) {
  int depth = 0;
  char closer = 0;
  for (std::size_t i = from; i < t.size(); ++i) {
    char c = t[i];
    if (closer != 0) {
      if (c == closer) {
        closer = 0;
        --depth;
      }
      continue;
    }
    switch (c) {
      case '"':
      case '\'':
        closer = c;
        ++depth;
        break;
      case '[':
        closer = ']';
        ++depth;
        break;
      case '{':
        closer = '}';
        ++depth;
        break;
      case '(':
        ++depth;
        break;
      case ')':
        if (depth == 0) return i;
        --depth;
        break;
      case ',':
        if (stopAtComma && depth == 0) return i;
        break;
      default:
        break;
    }
  }
  return std::string_view::npos;
}

// NOT as "!" or as the word NOT, bare or between periods; the position
// after it, or npos.
std::size_t MatchNot(const TokenText& t, std::size_t p) {
  if (t[p] == '!') return p + 1;
  if (t[p] == '.') {
    std::size_t q = p + 1;
    while (q < t.size() && IsLetter(t[q])) ++q;
    if (q < t.size() && t[q] == '.' && SameText(t.Copy(p + 1, q), "NOT")) return q + 1;
    return std::string_view::npos;
  }
  if (IsLetter(t[p])) {
    std::size_t q = SkipName(t, p);
    if (SameText(t.Copy(p, q), "NOT")) return q;
  }
  return std::string_view::npos;
}

struct SymbolSpelling {
  const char* text;
  uint8_t code;
};

const SymbolSpelling kSymbols[] = {
    {"=", opEqual},         {"#", opNotEqual},       {"<>", opNotEqual},   {"!=", opNotEqual},
    {">", opGreater},       {"<", opLess},           {">=", opGreaterEqual}, {"=>", opGreaterEqual},
    {"<=", opLessEqual},    {"=<", opLessEqual},     {"$", opContains},    {"==", opExactlyEqual},
    {"+", opPlus},          {"-", opMinus},          {"*", opMultiply},    {"/", opDivide},
    {"**", opPower},        {"^", opPower},
};

const SymbolSpelling kWords[] = {
    {"AND", opAnd},          {"OR", opOr},     {"EQ", opEqual},          {"NE", opNotEqual},
    {"GE", opGreaterEqual},  {"LE", opLessEqual}, {"LT", opLess},        {"GT", opGreater},
};

ExpressionToken OperatorToken(uint8_t code) {
  ExpressionToken token;
  token.code = code;
  token.level = static_cast<uint8_t>(OperatorLevel(code));
  return token;
}

ExpressionToken OperandToken(uint8_t code, AnsiString text) {
  ExpressionToken token;
  token.code = code;
  token.text = std::move(text);
  return token;
}

// A symbol operator at p: its first character, any run of "*<=>", at least
// one character after it, and the whole run a known spelling.
bool MatchSymbol(const TokenText& t, std::size_t& p, uint8_t& code) {
  static const char kFirst[] = "!#$*+-/<=>^";
  if (t[p] == '\0' || std::strchr(kFirst, t[p]) == nullptr) return false;
  std::size_t q = p + 1;
  while (q < t.size() && t[q] != '\0' && std::strchr("*<=>", t[q]) != nullptr) ++q;
  if (q >= t.size()) return false;
  std::string_view spelling = t.Base().substr(p, q - p);  // symbols are never virtual
  for (const auto& s : kSymbols) {
    if (spelling == s.text) {
      code = s.code;
      p = q;
      return true;
    }
  }
  return false;
}

// A word operator at p: a letter or "." then letters, a closing "."
// included, at least one character after it.
bool MatchWord(const TokenText& t, std::size_t& p, uint8_t& code) {
  if (!IsLetter(t[p]) && t[p] != '.') return false;
  std::size_t q = p + 1;
  while (q < t.size() && IsLetter(t[q])) ++q;
  std::size_t wordEnd = q;
  if (q < t.size() && t[q] == '.') ++q;
  if (q >= t.size()) return false;
  std::size_t wordStart = t[p] == '.' ? p + 1 : p;
  AnsiString word = UpperCase(t.Copy(wordStart, wordEnd));
  for (const auto& w : kWords) {
    if (word == w.text) {
      code = w.code;
      p = q;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<ExpressionToken> TxbExpHandler::Tokenize(std::string_view written) {
  std::string_view trimmed = written;
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  TokenText t(trimmed);
  std::vector<ExpressionToken> tokens;
  bool expectOperand = true;

  auto syntaxError = [&]() { XbRaise<EXbaseExpression>(xbmSyntaxError, written); };

  std::size_t p = SkipBlanks(t, 0);
  while (p < t.size()) {
    if (expectOperand) {
      std::size_t afterNot = MatchNot(t, p);
      if (afterNot != std::string_view::npos) {
        if (tokens.empty()) {
          tokens.push_back(OperatorToken(opNot));
          p = SkipBlanks(t, afterNot);
          continue;
        }
        // The rest of the text, this NOT included, becomes one
        // parenthesised sub-expression: "(" + rest + ")".
        int depth = 1;
        std::size_t close = MatchParenthesis(t, p, depth);
        if (close != std::string_view::npos) {
          tokens.push_back(OperandToken(tkContainer, t.Copy(p, close)));
          t.AddCloser();  // the wrapping ")" is still to come
          p = close + 1;
        } else {
          // Only the wrapping ")" can close it: the rest must be balanced.
          if (depth != 1) Raise(xbmMissingClosingParen);
          tokens.push_back(OperandToken(tkContainer, t.Copy(p, t.size())));
          p = t.size();
        }
        expectOperand = false;
        p = SkipBlanks(t, p);
        continue;
      }

      char c = t[p];
      if (c == '(') {
        int depth = 1;
        std::size_t close = MatchParenthesis(t, p + 1, depth);
        if (close == std::string_view::npos) Raise(xbmMissingClosingParen);
        tokens.push_back(OperandToken(tkContainer, t.Copy(p + 1, close)));
        p = close + 1;
      } else if (c == '.') {
        std::size_t close = t.Find('.', p + 1);
        if (close >= t.size()) Raise(xbmMissingClosingPeriod);
        AnsiString literal = UpperCase(t.Copy(p, close + 1));
        if (literal != ".T." && literal != ".F.") Raise(xbmExpectingLogical);
        tokens.push_back(OperandToken(tkLogical, literal));
        p = close + 1;
      } else if (IsLetter(c) || c == '_') {
        std::size_t q = SkipName(t, p);
        if (q < t.size() && t[q] == '(') {
          std::size_t close = ScanClosing(t, q + 1, false);
          if (close == std::string_view::npos) Raise(xbmMissingClosingParen);
          ExpressionToken token = OperandToken(tkFunction, t.Copy(p, q));
          token.arguments = t.Copy(q + 1, close);
          tokens.push_back(std::move(token));
          p = close + 1;
        } else {
          // A variable, possibly qualified: "A.B" or "A->B". Every round
          // consumes a period, so the loop ends.
          AnsiString name = UpperCase(t.Copy(p, q));
          for (;;) {
            TxbUserDefFieldVar* found = LookupVariable(name);
            bool arrow = found == nullptr && q + 1 < t.size() && t[q] == '-' && t[q + 1] == '>';
            bool period = arrow || (q < t.size() && t[q] == '.');
            if (found != nullptr && (!found->Qualifier() || !period)) break;
            if (!period) XbRaise<EXbaseExpression>(xbmNoFunction, name);
            q += arrow ? 2 : 1;
            std::size_t wordEnd = SkipName(t, q);
            name += '.';
            name += UpperCase(t.Copy(q, wordEnd));
            q = wordEnd;
          }
          tokens.push_back(OperandToken(tkVariable, std::move(name)));
          p = q;
        }
      } else if (c == '"' || c == '\'' || c == '[' || c == '{') {
        char closer = c == '[' ? ']' : c == '{' ? '}' : c;
        std::size_t close = t.Find(closer, p + 1);
        if (close >= t.size()) XbRaise<EXbaseExpression>(xbmMissingClosingQuote, AnsiString(1, c));
        tokens.push_back(OperandToken(c == '{' ? tkDate : tkText, t.Copy(p + 1, close)));
        p = close + 1;
      } else if (c == '+' || c == '-' || IsDigit(c)) {
        std::size_t q = p + 1;
        while (q < t.size() && (IsDigit(t[q]) || t[q] == '.')) ++q;
        tokens.push_back(OperandToken(tkNumber, t.Copy(p, q)));
        p = q;
      } else {
        syntaxError();
      }
      expectOperand = false;
    } else {
      uint8_t code = 0;
      if (!MatchSymbol(t, p, code) && !MatchWord(t, p, code)) syntaxError();
      tokens.push_back(OperatorToken(code));
      expectOperand = true;
    }
    p = SkipBlanks(t, p);
  }
  return tokens;
}

// Splits the text between a function's parentheses at the commas of its
// own level; empty arguments are dropped.
std::vector<AnsiString> SplitExpressionArguments(std::string_view text) {
  std::vector<AnsiString> arguments;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = ScanClosing(text, start, true);
    std::string_view argument =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!Trim(argument).empty()) arguments.emplace_back(argument);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return arguments;
}
