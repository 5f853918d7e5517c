// The vocabulary of the dataset framework: field types and kinds, dataset
// states, fetch modes and results, bookmark flags, option sets, update
// status, error actions, blob stream modes, index options and data events.
//
// The ordinals of TFieldType, TFieldKind and TUpdateStatus are stored in
// files (the in-memory table writes type and kind names and update status
// codes), so their order never changes.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/classes.h"

// A set over a small enumeration (at most 64 members), the shape the class
// library gives its option sets.
template <class E>
class TSetOf {
 public:
  constexpr TSetOf() = default;
  constexpr TSetOf(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSetOf& Include(E m) { bits_ |= Bit(m); return *this; }
  constexpr TSetOf& Exclude(E m) { bits_ &= ~Bit(m); return *this; }
  constexpr uint64_t Bits() const { return bits_; }
  static constexpr TSetOf FromBits(uint64_t bits) { TSetOf s; s.bits_ = bits; return s; }
  friend constexpr bool operator==(TSetOf a, TSetOf b) { return a.bits_ == b.bits_; }
  friend constexpr TSetOf operator+(TSetOf a, TSetOf b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TSetOf operator-(TSetOf a, TSetOf b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr TSetOf operator*(TSetOf a, TSetOf b) { return FromBits(a.bits_ & b.bits_); }

 private:
  static constexpr uint64_t Bit(E m) { return uint64_t{1} << static_cast<unsigned>(m); }
  uint64_t bits_ = 0;
};

// Field types, in the order of their stored ordinals (0 to 37).
enum TFieldType : int {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
  ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
  ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};
inline constexpr int kFieldTypeCount = 38;

// The integer types (kept in the record buffer in machine form) and the
// blob types, as fields and datasets classify them.
inline bool IsIntegerType(TFieldType t) {
  return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}
inline bool IsBlobType(TFieldType t) { return t >= ftBlob && t <= ftTypedBinary; }

// Record buffers are plain bytes: a value is copied in and out, never read
// through a pointer of its type (the buffer need not be aligned for it).
template <class T>
T LoadBufferValue(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
void StoreBufferValue(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// "String", "SmallInt", ... as files store them; "" for an ordinal outside 0..37.
AnsiString FieldTypeName(TFieldType type);
// The type whose name equals name exactly (case-sensitive); false when none.
bool FieldTypeFromName(std::string_view name, TFieldType& type);

enum TFieldKind : int { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
inline constexpr int kFieldKindCount = 5;
// "Data", "Calculated", "Lookup", "InternalCalc", "Aggregate".
AnsiString FieldKindName(TFieldKind kind);
bool FieldKindFromName(std::string_view name, TFieldKind& kind);

enum TDataSetState : int {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};

enum TGetMode : int { gmCurrent, gmNext, gmPrior };
enum TGetResult : int { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : int { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TResyncModeItem : int { rmExact, rmCenter };
using TResyncMode = TSetOf<TResyncModeItem>;

enum TLocateOption : int { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSetOf<TLocateOption>;

enum TFilterOption : int { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSetOf<TFilterOption>;

enum TUpdateStatus : int { usUnmodified, usModified, usInserted, usDeleted };

enum TDataAction : int { daFail, daAbort, daRetry };

enum TBlobStreamMode : int { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };

enum TIndexOption : int {
  ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained
};
using TIndexOptions = TSetOf<TIndexOption>;

// Notifications from a dataset to its data sources and links. The info
// value: the TField* for deFieldChange and deRecordChange (0: the whole
// record), a TField** for deFocusControl, 0 otherwise.
enum TDataEvent : int {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
  deUpdateRecord, deUpdateState, deCheckBrowseMode, deFieldListChange, deFocusControl
};

// A bookmark is a value: the dataset's BookmarkSize bytes (empty = none).
using TBookmark = std::string;

// A record buffer as the dataset allocates it.
using TRecordBuffer = char*;
