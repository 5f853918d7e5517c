// Czech locale comparison through ICU's collator "cs". Texts are turned
// into UTF-16 through our own CP1250 table (not ICU's converters), so that
// comparison sees exactly the characters the rest of the program sees.
//
// The two collators (tertiary: case matters; secondary: case ignored,
// accents still count) are opened once on first use and live for the whole
// process; the program is single-threaded here. Without ICU's Czech data
// comparison raises rather than sorting by another language's rules.
#include "platform/rtl/locale_compare.h"

#include <unicode/ucol.h>

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
