#include "memtable/record_compare.h"

#include <cmath>
#include <cstring>
#include <string>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/rtl/locale_compare.h"

namespace {

template <class T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

// Doubles by sign; NaN after every number and equal to itself, so that the
// order stays total.
int OrderDouble(double a, double b) {
  bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : na ? 1 : -1;
  return Order(a, b);
}

char FoldAZ(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int OrdinalCompare(const char* a, int na, const char* b, int nb, bool foldCase) {
  int n = na < nb ? na : nb;
  for (int i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(foldCase ? FoldAZ(a[i]) : a[i]);
    unsigned char y = static_cast<unsigned char>(foldCase ? FoldAZ(b[i]) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return Order(na, nb);
}

}  // namespace

int CompareFieldValues(const char* a, int na, const char* b, int nb, TFieldType type,
                       TmtMemTableCompareOptions options, uint32_t lcid, bool& fullCompare) {
  fullCompare = true;
  int r = 0;
  switch (type) {
    case ftString:
    case ftFixedChar: {
      if (options & mtcoPartialKey) {
        int n = na < nb ? na : nb;
        if (nb > n) {
          nb = n;
          fullCompare = false;
        }
      }
      bool caseInsensitive = (options & mtcoCaseInsensitive) != 0;
      if (options & mtcoIgnoreLocale) {
        r = OrdinalCompare(a, na, b, nb, caseInsensitive);
      } else {
        int system = CompareStringByLocale(lcid, caseInsensitive, a, na, b, nb);
        if (system == 0) MemTableError(AnsiString(mtmsg::InvalidLocale) + IntToStr(lcid));
        r = system - 2;
      }
      break;
    }
    case ftSmallint: r = Order(Load<int16_t>(a), Load<int16_t>(b)); break;
    case ftWord: r = Order(Load<uint16_t>(a), Load<uint16_t>(b)); break;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime: r = Order(Load<int32_t>(a), Load<int32_t>(b)); break;
    case ftLargeint: r = Order(Load<int64_t>(a), Load<int64_t>(b)); break;
    case ftFloat:
    case ftCurrency:
    case ftDateTime: r = OrderDouble(Load<double>(a), Load<double>(b)); break;
    case ftBoolean: r = Order(Load<int16_t>(a) != 0, Load<int16_t>(b) != 0); break;
    case ftBCD: {
      TBcd x, y;
      std::memcpy(&x, a, sizeof x);
      std::memcpy(&y, b, sizeof y);
      Currency cx, cy;
      bool okx = TryBcdToCurrency(x, cx), oky = TryBcdToCurrency(y, cy);
      // Unreadable values sort like NaN: after all others, equal to each other.
      if (!okx || !oky)
        r = okx == oky ? 0 : okx ? -1 : 1;
      else
        r = Order(cx.scaled, cy.scaled);
      break;
    }
    default: r = 0; break;
  }
  (void)na;
  return (options & mtcoDescending) ? -r : r;
}

int CompareRecords(TmtCustomMemTable* table, PMemRecord a, PMemRecord b, const TmtFieldList& list,
                   int limit, bool partial, bool ignoreNulls, CompareUse use) {
  TmtCommon* store = table->Store();
  int n = list.Count();
  if (limit > 0 && limit < n) n = limit;
  std::string scratchA, scratchB;
  for (int i = 0; i < n; ++i) {
    TField* field = list.FieldAt(i);
    TmtMemTableCompareOptions options = list.OptionsAt(i);
    if (partial) options |= mtcoPartialKey;
    bool skipNulls = ignoreNulls || (options & mtcoIgnoreNullKey);
    if (use == CompareUse::Order) {
      options &= static_cast<TmtMemTableCompareOptions>(~(mtcoPartialKey | mtcoIgnoreNullKey));
      skipNulls = false;
    }
    const char *va = nullptr, *vb = nullptr;
    int la = 0, lb = 0;
    bool hasA = store->ValueBytes(a, field, va, la, scratchA);
    if (skipNulls && !hasA) continue;
    bool hasB = store->ValueBytes(b, field, vb, lb, scratchB);
    int r = 0;
    bool full = true;
    if (hasA && hasB) {
      if (table->OnCompareFields) {
        table->OnCompareFields(table, va, vb, field->DataType(), options, full, r);
      } else {
        r = CompareFieldValues(va, la, vb, lb, field->DataType(), options, store->LocaleID(), full);
      }
    } else if (hasA) {
      r = 1;  // nulls first, in descending fields too
    } else if (hasB) {
      r = -1;
    }
    if (r != 0 || !full) return r;
  }
  return 0;
}

int IndexCompare(TmtCustomMemTable* table, const TmtFieldList& list, PMemRecord a, PMemRecord b,
                 bool partial, bool tieBreak, CompareUse use) {
  int r = CompareRecords(table, a, b, list, 0, partial, false, use);
  if (r != 0 || !tieBreak) return r;
  bool ca = a->position >= 0, cb = b->position >= 0;
  if (!ca && !cb)
    r = Order(a->slot, b->slot);
  else if (ca != cb)
    r = ca ? 1 : -1;
  else
    r = 0;
  if (list.Count() > 0 && (list.OptionsAt(0) & mtcoDescending)) r = -r;
  return r;
}
