// TxbVariant: the engine's typed value buffer for keys, ranges and
// expression results. The buffer grows and never shrinks, so a key buffer
// reused over a whole index build allocates only a few times.
//
// Kinds: empty, text (bytes, not terminated), number (8-byte IEEE double),
// date (32-bit Julian day number), logical (one byte, 0 = false), raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/rtl/ansistring.h"

enum TxbVariantKind : uint8_t {
  xbvEmpty = 0,
  xbvText = 1,
  xbvNumber = 2,
  xbvDate = 3,
  xbvLogical = 4,
  xbvRaw = 5,
};

class TxbVariant {
 public:
  explicit TxbVariant(int32_t capacity = 256);
  TxbVariant(const TxbVariant& other);
  TxbVariant& operator=(const TxbVariant& other);
  virtual ~TxbVariant();

  TxbVariantKind Kind() const { return kind_; }
  int32_t Length() const { return length_; }
  int32_t Capacity() const { return capacity_; }
  const unsigned char* Data() const { return data_; }
  bool IsEmpty() const { return kind_ == xbvEmpty; }

  void Clear();                          // kind empty, length 0
  void Assign(const TxbVariant* other);  // deep copy; null clears
  void SetText(std::string_view s);
  void SetNumber(double value);
  void SetDate(int32_t day);
  void SetLogical(bool value) {
    // Inline: a filter stores one per record.
    if (capacity_ < 1) return SetBytes(xbvLogical, value ? "\1" : "", 1);
    data_[0] = value ? 1 : 0;
    length_ = 1;
    kind_ = xbvLogical;
  }
  void SetRaw(const void* bytes, int32_t n);
  void AppendRaw(const void* bytes, int32_t n);  // kind becomes raw
  void UpperText();                  // the value as text, upper-cased with the locale
  void PadText(int32_t n);           // text only: blanks up to n bytes, never shortens
  void TrimText();                   // text only: trailing blanks dropped

  // Conversions (an empty value gives "", 0, 0 and false). Raw values read
  // missing bytes as zero: a 2-byte raw value is a double of those 2 bytes
  // followed by six zero bytes, never stale bytes of an earlier value. A
  // text that is no number (AsNumber; a blank text is 0) or no date (AsDate)
  // raises the platform's EConvertError.
  AnsiString AsText() const;
  // Copies the text into buffer (size bytes including the terminator),
  // truncated when it does not fit; returns buffer.
  char* AsPChar(char* buffer, std::size_t size) const;
  double AsNumber() const;
  int32_t AsDate() const;
  bool AsLogical() const;

  // Three-way comparison (-1, 0, 1) with `other`, see the rules in the
  // implementation. Texts map every byte through `weights` when given;
  // `position` receives the number of bytes compared (plus one when all
  // compared bytes were equal); a text that is a prefix of the other gives
  // `shorterResult` (0: equal, -1: less). Kinds that cannot be compared
  // raise EXbaseError "Variant types mismatch for compare".
  int Compare(const TxbVariant* other, int* position = nullptr,
              const unsigned char* weights = nullptr, int shorterResult = -1) const;
  // As Compare, but a number takes part as its raw bytes.
  int CompareStored(const TxbVariant* other, int* position = nullptr,
                    const unsigned char* weights = nullptr, int shorterResult = -1) const;

 protected:
  // Makes room for n bytes (keeping the first length_ bytes).
  void Reserve(int32_t n);
  void SetBytes(TxbVariantKind kind, const void* bytes, int32_t n);
  // Bytes i..i+n of the value with missing bytes as zero.
  void CopyPadded(void* out, int32_t n) const;
  // Holds the value in capacity bytes at buffer, which the caller owns and
  // keeps alive as long as this variant: the value becomes empty. A value
  // that outgrows it moves to a buffer of its own.
  void UseBuffer(unsigned char* buffer, int32_t capacity);

  unsigned char* data_ = nullptr;
  int32_t capacity_ = 0;
  int32_t length_ = 0;
  TxbVariantKind kind_ = xbvEmpty;

 private:
  bool ownsData_ = true;  // data_ was allocated here (see UseBuffer)

  int CompareAs(const TxbVariant* other, int* position, const unsigned char* weights,
                int shorterResult, bool numbersAsRaw) const;
};

// Logical letters: a text counts as true when its first character is one of
// these; the canonical output letters are "T" and "F".
extern const char kTrueLetters[];   // "TtYyJj"
extern const char kFalseLetters[];  // "FfNn"
bool IsTrueLetter(char c);
bool IsFalseLetter(char c);
