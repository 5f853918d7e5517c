#include "ui/common/str_util.h"

bool IsEmptyStr(std::string_view text, std::string_view chars) {
  for (char c : text)
    if (chars.find(c) == std::string_view::npos) return false;
  return true;
}

AnsiString ReplaceStr(std::string_view text, std::string_view search, std::string_view replacement) {
  if (search.empty()) return AnsiString(text);
  AnsiString out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = text.find(search, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(replacement);
    pos = hit + search.size();
  }
  out.append(text.substr(pos));
  return out;
}

AnsiString MakeStr(char c, int count) {
  return count <= 0 ? AnsiString() : AnsiString(static_cast<std::size_t>(count), c);
}

int Max(int a, int b) { return a > b ? a : b; }
int Min(int a, int b) { return a < b ? a : b; }
