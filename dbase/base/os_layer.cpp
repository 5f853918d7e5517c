// The engine's operating-system and locale layer: thin forwards to the
// platform runtime, plus the wildcard search that filters use. Keeping the
// engine's calls in one place means the rest of the engine never depends on
// which platform function stands behind a service.
#include "dbase/base/os_layer.h"

#include <cstring>

#include "dbase/base/charset.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/locale_compare.h"
#include "platform/rtl/paths.h"

int CompareStrLocale(std::string_view a, std::string_view b) { return AnsiCompareStr(a, b); }

int CompareTextLocale(std::string_view a, std::string_view b) { return AnsiCompareText(a, b); }

AnsiString UpperLocale(std::string_view s) { return AnsiUpperCase(s); }

AnsiString LowerLocale(std::string_view s) { return AnsiLowerCase(s); }

int PosLocale(std::string_view sub, std::string_view s) { return AnsiPos(sub, s); }

int WildcardPos(std::string_view pattern, std::string_view s, char any, char one) {
  if (pattern.empty()) return 0;
  if (pattern.find_first_not_of(any) == std::string_view::npos) return 1;

  // One optional star at each end is the whole wildcard syntax; anything
  // between them is matched literally except for `one`.
  const bool leadingAny = pattern.front() == any;
  std::string_view core = pattern;
  if (leadingAny) core.remove_prefix(1);
  if (!core.empty() && core.back() == any) core.remove_suffix(1);

  // Measured without its stars: "AB*" must find a value that is exactly
  // "AB" (the expression language trims trailing blanks before matching).
  if (core.size() > s.size()) return 0;

  // After a leading star `one` is an ordinary character.
  const bool oneMatchesAny = !leadingAny;
  const std::size_t last = s.size() - core.size();
  for (std::size_t start = 0; start <= last; ++start) {
    std::size_t i = 0;
    while (i < core.size() &&
           (core[i] == s[start + i] || (oneMatchesAny && core[i] == one)))
      ++i;
    if (i == core.size()) return static_cast<int>(start + 1);
  }
  return 0;
}

void AnsiToOemBytes(const char* src, char* dst, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    dst[i] = static_cast<char>(AnsiToOemTable[static_cast<unsigned char>(src[i])]);
}

void OemToAnsiBytes(const char* src, char* dst, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    dst[i] = static_cast<char>(OemToAnsiTable[static_cast<unsigned char>(src[i])]);
}

AnsiString AnsiToOem(std::string_view s) {
  AnsiString out(s);
  AnsiToOemBytes(out.data(), out.data(), out.size());
  return out;
}

AnsiString OemToAnsi(std::string_view s) {
  AnsiString out(s);
  OemToAnsiBytes(out.data(), out.data(), out.size());
  return out;
}

bool FlushHandle(THandle h) { return FileFlush(h); }

int TruncateHandle(THandle h, int64_t size) { return FileSetEnd(h, size) ? 0 : -1; }

bool LockHandle(THandle h, uint64_t offset, uint64_t length) {
  return FileLockRegion(h, offset, length);
}

bool UnlockHandle(THandle h, uint64_t offset, uint64_t length) {
  return FileUnlockRegion(h, offset, length);
}

AnsiString DefaultExtension(std::string_view name, std::string_view ext) {
  if (!ExtractFileExt(name).empty()) return AnsiString(name);
  AnsiString out(name);
  out.append(ext);
  return out;
}

AnsiString BaseName(std::string_view path) {
  return ChangeFileExt(ExtractFileName(path), "");
}

void PadRight(char* buffer, char ch, std::size_t n) {
  // Never reads past n, so a buffer that lost its terminator is cut to n.
  std::size_t len = strnlen(buffer, n);
  std::memset(buffer + len, ch, n - len);
  buffer[n] = '\0';
}
