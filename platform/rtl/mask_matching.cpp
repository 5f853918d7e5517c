// The mask is compiled into tokens first, so a malformed set is reported
// whatever the text, then matched with the usual backtrack-to-last-star
// scan, which needs no recursion and stays O(text x mask) on hostile masks.
#include "platform/rtl/mask_matching.h"

#include <bitset>
#include <vector>

#include "platform/rtl/codepages.h"

namespace {

struct Token {
  enum Kind { Literal, AnyOne, AnyRun, Set };
  Kind kind;
  unsigned char ch = 0;         // Literal, upper-cased
  std::bitset<256> members;     // Set, upper-cased, negation applied
  explicit Token(Kind k, unsigned char c = 0) : kind(k), ch(c) {}
};

unsigned char Up(char c) { return AnsiUpperChar(static_cast<unsigned char>(c)); }

std::vector<Token> Compile(std::string_view mask) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    if (c == '*') {
      if (tokens.empty() || tokens.back().kind != Token::AnyRun) tokens.push_back(Token(Token::AnyRun));
    } else if (c == '?') {
      tokens.push_back(Token(Token::AnyOne));
    } else if (c == '[') {
      std::size_t open = i;
      Token set(Token::Set);
      bool negate = i + 1 < mask.size() && mask[i + 1] == '!';
      if (negate) ++i;
      bool closed = false;
      for (++i; i < mask.size(); ++i) {
        if (mask[i] == ']') {
          closed = true;
          break;
        }
        unsigned char from = Up(mask[i]);
        unsigned char to = from;
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
          to = Up(mask[i + 2]);
          i += 2;
        }
        for (unsigned v = from; v <= to; ++v) set.members.set(v);
      }
      if (!closed) {
        throw EMaskException(Format("'%s' is an invalid mask at (%d)", AnsiString(mask).c_str(),
                                    static_cast<int>(open + 1)));
      }
      if (negate) set.members.flip();
      tokens.push_back(set);
    } else {
      tokens.push_back(Token(Token::Literal, Up(c)));
    }
  }
  return tokens;
}

bool MatchesOne(const Token& t, unsigned char c) {
  switch (t.kind) {
    case Token::Literal: return t.ch == c;
    case Token::AnyOne: return true;
    case Token::Set: return t.members.test(c);
    case Token::AnyRun: return false;
  }
  return false;
}

}  // namespace

bool MatchesMask(std::string_view text, std::string_view mask) {
  std::vector<Token> tokens = Compile(mask);
  std::size_t t = 0, m = 0;
  std::size_t starToken = std::string_view::npos, starText = 0;
  while (t < text.size()) {
    if (m < tokens.size() && tokens[m].kind == Token::AnyRun) {
      starToken = m++;
      starText = t;
    } else if (m < tokens.size() && MatchesOne(tokens[m], Up(text[t]))) {
      ++m;
      ++t;
    } else if (starToken != std::string_view::npos) {
      m = starToken + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (m < tokens.size() && tokens[m].kind == Token::AnyRun) ++m;
  return m == tokens.size();
}
