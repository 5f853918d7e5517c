// Czech locale comparison through ICU's collator "cs". Texts are turned
// into UTF-16 through our own CP1250 table (not ICU's converters), so that
// comparison sees exactly the characters the rest of the program sees.
//
// The two collators (tertiary: case matters; secondary: case ignored,
// accents still count) are opened once on first use and live for the whole
// process; the program is single-threaded here. Without ICU's Czech data
// comparison raises rather than sorting by another language's rules.
// Comparison by locale id (for the in-memory table, whose tables may run on
// several threads) keeps collators of its own behind a mutex.
#include "platform/rtl/locale_compare.h"

#include <unicode/ucol.h>

#include <mutex>
#include <vector>

#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"

namespace {

UCollator* OpenCollator(UColAttributeValue strength) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("cs", &status);
  // ICU answers a missing locale with its root order, which would sort
  // "ch" and the háček letters wrongly in every list; refuse that instead.
  if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || collator == nullptr) {
    if (collator != nullptr) ucol_close(collator);
    throw Exception(AnsiString("Czech collation is not available (") + u_errorName(status) + ")");
  }
  ucol_setStrength(collator, strength);
  return collator;
}

UCollator* CaseSensitive() {
  static UCollator* collator = OpenCollator(UCOL_TERTIARY);
  return collator;
}

UCollator* CaseInsensitive() {
  static UCollator* collator = OpenCollator(UCOL_SECONDARY);
  return collator;
}

// Every CP1250 byte is one BMP character, so one UTF-16 unit per byte.
// Short texts (names, keys) convert on the stack; sorting a list compares
// often and should not allocate each time.
class Utf16Text {
 public:
  explicit Utf16Text(std::string_view s) {
    if (s.size() > kInline) heap_.resize(s.size());
    data_ = s.size() > kInline ? heap_.data() : inline_;
    size_ = static_cast<int32_t>(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
      data_[i] = static_cast<UChar>(Cp1250ToUnicode(static_cast<unsigned char>(s[i])));
    }
  }
  const UChar* data() const { return data_; }
  int32_t size() const { return size_; }

 private:
  static constexpr std::size_t kInline = 128;
  UChar inline_[kInline];
  std::vector<UChar> heap_;
  UChar* data_;
  int32_t size_;
};

int Collate(UCollator* collator, std::string_view a, std::string_view b) {
  Utf16Text ua(a), ub(b);
  UCollationResult r = ucol_strcoll(collator, ua.data(), ua.size(), ub.data(), ub.size());
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

}  // namespace

int AnsiCompareStr(std::string_view a, std::string_view b) {
  return Collate(CaseSensitive(), a, b);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  return Collate(CaseInsensitive(), a, b);
}

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

int AnsiPos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  std::size_t at = s.find(sub);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

// ------------------------------------------------------ collation by locale id

namespace {

// Primary language ids of the system's locale API and the ICU locale that
// collates like it. Languages a Czech business meets; others are refused.
// English, German, French, Italian and Dutch sort by the common root order
// (ICU has no tailoring for them), so they open "root" itself; everything
// else must find its own tailoring.
struct LanguageCollation {
  uint32_t primary;
  const char* icu;
};
constexpr LanguageCollation kLanguages[] = {
    {0x05, "cs"}, {0x1B, "sk"}, {0x09, "root"}, {0x07, "root"}, {0x15, "pl"},
    {0x0E, "hu"}, {0x0C, "root"}, {0x10, "root"}, {0x0A, "es"}, {0x1A, "hr"},
    {0x24, "sl"}, {0x19, "ru"}, {0x22, "uk"}, {0x13, "root"}, {0x1D, "sv"},
};

constexpr int kLanguageCount = static_cast<int>(sizeof kLanguages / sizeof kLanguages[0]);

// The entry of kLanguages that collates for lcid; -1 for none.
int LanguageFor(uint32_t lcid) {
  if (((lcid >> 16) & 0xF) != 0 || (lcid >> 20) != 0) return -1;  // sort ids other than 0
  uint32_t lang = lcid & 0xFFFF;
  // The user's and the system's default both mean the program's own locale.
  if (lang == 0x0400 || lang == 0x0800) return 0;
  uint32_t primary = lang & 0x3FF;
  for (int i = 0; i < kLanguageCount; ++i)
    if (kLanguages[i].primary == primary) return i;
  return -1;
}

// Collators opened on first use for each language and strength, shared by
// all callers and used only under the mutex: tables on one store may sort
// on different threads, and a collator is not documented as safe for that.
struct CollatorCache {
  std::mutex mutex;
  UCollator* open[kLanguageCount][2] = {};
  bool tried[kLanguageCount][2] = {};  // opened, or known to be missing
  ~CollatorCache() {
    for (auto& pair : open)
      for (UCollator* collator : pair)
        if (collator) ucol_close(collator);
  }
};

CollatorCache& Cache() {
  static CollatorCache cache;
  return cache;
}

// Under the cache's mutex.
UCollator* CachedCollator(int language, bool ignoreCase) {
  CollatorCache& cache = Cache();
  int strength = ignoreCase ? 1 : 0;
  if (cache.tried[language][strength]) return cache.open[language][strength];
  cache.tried[language][strength] = true;
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(kLanguages[language].icu, &status);
  if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || collator == nullptr) {
    if (collator) ucol_close(collator);
    return nullptr;
  }
  ucol_setStrength(collator, ignoreCase ? UCOL_SECONDARY : UCOL_TERTIARY);
  cache.open[language][strength] = collator;
  return collator;
}

}  // namespace

int CompareStringByLocale(uint32_t lcid, bool ignoreCase, const char* a, int na, const char* b,
                          int nb) {
  int language = LanguageFor(lcid);
  if (language < 0 || na < 0 || nb < 0 || (na > 0 && !a) || (nb > 0 && !b)) return 0;
  Utf16Text ua(std::string_view(a ? a : "", static_cast<std::size_t>(na)));
  Utf16Text ub(std::string_view(b ? b : "", static_cast<std::size_t>(nb)));
  std::lock_guard<std::mutex> lock(Cache().mutex);
  UCollator* collator = CachedCollator(language, ignoreCase);
  if (!collator) return 0;
  UCollationResult r = ucol_strcoll(collator, ua.data(), ua.size(), ub.data(), ub.size());
  return r == UCOL_LESS ? 1 : r == UCOL_GREATER ? 3 : 2;
}
