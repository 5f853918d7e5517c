// TxbVariant: a typed byte buffer. The bytes of each kind are:
//   text     the CP1250/OEM bytes, not terminated
//   number   8 bytes, an IEEE double in machine order
//   date     4 bytes, a 32-bit Julian day number in machine order
//   logical  1 byte, 0 = false
//   raw      any bytes
//
// Invariants: 0 <= length_ <= capacity_; capacity_ never shrinks; an empty
// value has length 0. A raw value may be shorter than the kind it is read
// as: the missing bytes are zero, never whatever an earlier, longer value
// left in the reused buffer.
#include "dbase/base/variant.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/floatconv.h"

const char kTrueLetters[] = "TtYyJj";
const char kFalseLetters[] = "FfNn";

bool IsTrueLetter(char c) { return c != '\0' && std::strchr(kTrueLetters, c) != nullptr; }
bool IsFalseLetter(char c) { return c != '\0' && std::strchr(kFalseLetters, c) != nullptr; }

TxbVariant::TxbVariant(int32_t capacity) {
  if (capacity > 0) {
    data_ = new unsigned char[static_cast<std::size_t>(capacity)];
    capacity_ = capacity;
  }
}

TxbVariant::TxbVariant(const TxbVariant& other) : TxbVariant(other.capacity_) {
  Assign(&other);
}

TxbVariant& TxbVariant::operator=(const TxbVariant& other) {
  Assign(&other);
  return *this;
}

TxbVariant::~TxbVariant() {
  if (ownsData_) delete[] data_;
}

void TxbVariant::UseBuffer(unsigned char* buffer, int32_t capacity) {
  if (ownsData_) delete[] data_;
  data_ = buffer;
  capacity_ = capacity;
  ownsData_ = false;
  length_ = 0;
  kind_ = xbvEmpty;
}

void TxbVariant::Reserve(int32_t n) {
  if (n <= capacity_) return;
  // Grow geometrically so that a value built by repeated appends copies its
  // bytes only a few times.
  int64_t grown = std::max<int64_t>(n, int64_t{capacity_} * 2);
  int32_t newCapacity = static_cast<int32_t>(std::min<int64_t>(grown, INT32_MAX));
  auto* fresh = new unsigned char[static_cast<std::size_t>(newCapacity)];
  if (length_ > 0) std::memcpy(fresh, data_, static_cast<std::size_t>(length_));
  if (ownsData_) delete[] data_;
  ownsData_ = true;
  data_ = fresh;
  capacity_ = newCapacity;
}

void TxbVariant::SetBytes(TxbVariantKind kind, const void* bytes, int32_t n) {
  if (n < 0) n = 0;
  const auto* src = static_cast<const unsigned char*>(bytes);
  if (n > capacity_ && src != nullptr && src >= data_ && src < data_ + capacity_) {
    // The source lies in our own buffer, which growing would free.
    AnsiString copy(reinterpret_cast<const char*>(src), static_cast<std::size_t>(n));
    SetBytes(kind, copy.data(), n);
    return;
  }
  length_ = 0;
  Reserve(n);
  if (n > 0 && src != nullptr) std::memmove(data_, src, static_cast<std::size_t>(n));
  else if (n > 0) std::memset(data_, 0, static_cast<std::size_t>(n));
  length_ = n;
  kind_ = kind;
}

void TxbVariant::CopyPadded(void* out, int32_t n) const {
  int32_t have = std::min(length_, n);
  if (have > 0) std::memcpy(out, data_, static_cast<std::size_t>(have));
  if (n > have)
    std::memset(static_cast<unsigned char*>(out) + have, 0, static_cast<std::size_t>(n - have));
}

void TxbVariant::Clear() {
  kind_ = xbvEmpty;
  length_ = 0;
}

void TxbVariant::Assign(const TxbVariant* other) {
  if (other == this) return;
  if (other == nullptr || other->kind_ == xbvEmpty) {
    Clear();
    return;
  }
  SetBytes(other->kind_, other->data_, other->length_);
}

void TxbVariant::SetText(std::string_view s) {
  SetBytes(xbvText, s.data(), static_cast<int32_t>(std::min<std::size_t>(s.size(), INT32_MAX)));
}

// Small fixed-size values skip SetBytes when the buffer already holds them
// (keys are stored once per record).
void TxbVariant::SetNumber(double value) {
  if (capacity_ < static_cast<int32_t>(sizeof value)) return SetBytes(xbvNumber, &value, sizeof value);
  std::memcpy(data_, &value, sizeof value);
  length_ = sizeof value;
  kind_ = xbvNumber;
}

void TxbVariant::SetDate(int32_t day) {
  if (capacity_ < static_cast<int32_t>(sizeof day)) return SetBytes(xbvDate, &day, sizeof day);
  std::memcpy(data_, &day, sizeof day);
  length_ = sizeof day;
  kind_ = xbvDate;
}

void TxbVariant::SetRaw(const void* bytes, int32_t n) { SetBytes(xbvRaw, bytes, n); }

void TxbVariant::AppendRaw(const void* bytes, int32_t n) {
  if (n < 0) n = 0;
  const auto* src = static_cast<const unsigned char*>(bytes);
  if (n > 0 && src != nullptr && src >= data_ && src < data_ + capacity_) {
    AnsiString copy(reinterpret_cast<const char*>(src), static_cast<std::size_t>(n));
    AppendRaw(copy.data(), n);
    return;
  }
  Reserve(length_ + n);
  if (n > 0) {
    if (src != nullptr) std::memcpy(data_ + length_, src, static_cast<std::size_t>(n));
    else std::memset(data_ + length_, 0, static_cast<std::size_t>(n));
  }
  length_ += n;
  kind_ = xbvRaw;
}

void TxbVariant::UpperText() { SetText(UpperLocale(AsText())); }

void TxbVariant::PadText(int32_t n) {
  if (kind_ != xbvText || n <= length_) return;
  int32_t old = length_;
  Reserve(n);
  std::memset(data_ + old, ' ', static_cast<std::size_t>(n - old));
  length_ = n;
}

void TxbVariant::TrimText() {
  if (kind_ != xbvText) return;
  while (length_ > 0 && data_[length_ - 1] == ' ') --length_;
}

AnsiString TxbVariant::AsText() const {
  switch (kind_) {
    case xbvText:
    case xbvRaw:
      return AnsiString(reinterpret_cast<const char*>(data_), static_cast<std::size_t>(length_));
    case xbvNumber:
      return FloatToStr(AsNumber());
    case xbvDate:
      return DbfDate().JulianToDisplay(AsDate());
    case xbvLogical:
      return AsLogical() ? "T" : "F";
    case xbvEmpty:
      break;
  }
  return AnsiString();
}

char* TxbVariant::AsPChar(char* buffer, std::size_t size) const {
  if (size == 0) return buffer;
  AnsiString text = AsText();
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return buffer;
}

double TxbVariant::AsNumber() const {
  switch (kind_) {
    case xbvText: {
      std::string_view text(reinterpret_cast<const char*>(data_), static_cast<std::size_t>(length_));
      // A blank text is a blank numeric field: zero. Anything else that is
      // not a number raises the platform's EConvertError.
      if (text.find_first_not_of(' ') == std::string_view::npos) return 0.0;
      return StrToFloat(text);
    }
    case xbvNumber:
    case xbvRaw: {
      double v;
      CopyPadded(&v, sizeof v);
      return v;
    }
    case xbvDate:
      return AsDate();
    case xbvLogical:
      return AsLogical() ? 1.0 : 0.0;
    case xbvEmpty:
      break;
  }
  return 0.0;
}

int32_t TxbVariant::AsDate() const {
  switch (kind_) {
    case xbvText:
      return DbfDate().TextToJulian(
          std::string_view(reinterpret_cast<const char*>(data_), static_cast<std::size_t>(length_)));
    case xbvNumber:
      return DayFromDouble(AsNumber());
    case xbvDate:
    case xbvRaw: {
      int32_t day;
      CopyPadded(&day, sizeof day);
      return day;
    }
    case xbvLogical:
    case xbvEmpty:
      break;
  }
  return 0;
}

bool TxbVariant::AsLogical() const {
  switch (kind_) {
    case xbvText:
      return length_ > 0 && IsTrueLetter(static_cast<char>(data_[0]));
    case xbvNumber:
      // Integer part not 0; false for NaN.
      return std::fabs(AsNumber()) >= 1.0;
    case xbvLogical:
    case xbvRaw:
      return length_ > 0 && data_[0] != 0;
    case xbvDate:
    case xbvEmpty:
      break;
  }
  return false;
}

int TxbVariant::Compare(const TxbVariant* other, int* position, const unsigned char* weights,
                        int shorterResult) const {
  return CompareAs(other, position, weights, shorterResult, false);
}

int TxbVariant::CompareStored(const TxbVariant* other, int* position,
                              const unsigned char* weights, int shorterResult) const {
  return CompareAs(other, position, weights, shorterResult, true);
}

namespace {

template <class T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

// The rules, in order:
//  1. This value empty: less than an other with bytes, else equal. No other
//     at all: greater. An empty other mirrors the first case.
//  2. Equal kinds compare as that kind; a raw side takes the other side's
//     kind; any other mix raises "Variant types mismatch for compare".
//  3. A value without bytes is less than one with bytes; two such are equal.
//  4. Text: bytes (through weights when given) compared up to the shorter
//     length; position is the 1-based index of the first difference, or the
//     shorter length + 1. With all bytes equal the longer value is greater,
//     except that a shorter this gives shorterResult.
//  5. Raw: unsigned bytes without weights; an equal prefix makes the
//     shorter value less.
//  6. Numbers, dates and logicals by value; true is greater than false.
int TxbVariant::CompareAs(const TxbVariant* other, int* position, const unsigned char* weights,
                          int shorterResult, bool numbersAsRaw) const {
  if (position != nullptr) *position = 0;
  if (kind_ == xbvEmpty) return other != nullptr && other->length_ > 0 ? -1 : 0;
  if (other == nullptr) return 1;
  // The rule for an empty left side, seen from the right: a comparison must
  // not depend on which side the empty value is on.
  if (other->kind_ == xbvEmpty) return length_ > 0 ? 1 : 0;

  TxbVariantKind mine = kind_, theirs = other->kind_;
  if (numbersAsRaw) {
    if (mine == xbvNumber) mine = xbvRaw;
    if (theirs == xbvNumber) theirs = xbvRaw;
  }
  TxbVariantKind kind;
  if (mine == theirs) kind = mine;
  else if (mine == xbvRaw) kind = theirs;
  else if (theirs == xbvRaw) kind = mine;
  else XbRaise(xbmVariantMismatch);

  if (length_ == 0 || other->length_ == 0) {
    if (length_ == other->length_) return 0;
    return length_ == 0 ? -1 : 1;
  }

  switch (kind) {
    case xbvText:
    case xbvRaw: {
      const bool text = kind == xbvText;
      const unsigned char* map = text ? weights : nullptr;
      const int32_t common = std::min(length_, other->length_);
      for (int32_t i = 0; i < common; ++i) {
        unsigned a = data_[i], b = other->data_[i];
        if (map != nullptr) {
          a = map[a];
          b = map[b];
        }
        if (a != b) {
          if (position != nullptr) *position = i + 1;
          return a < b ? -1 : 1;
        }
      }
      if (position != nullptr) *position = common + 1;
      if (length_ == other->length_) return 0;
      if (length_ < other->length_) return text ? shorterResult : -1;
      return 1;
    }
    case xbvNumber:
      return Sign(AsNumber(), other->AsNumber());
    case xbvDate:
      return Sign(AsDate(), other->AsDate());
    case xbvLogical:
      return Sign(AsLogical(), other->AsLogical());
    case xbvEmpty:
      break;
  }
  return 0;
}
