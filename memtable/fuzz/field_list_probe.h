// The work behind the field-list fuzz target and its random-input test: a
// table with a field of every kind parses the text; a list it accepts
// becomes an index that is built over records with nulls, NaN and shared
// prefixes, and the result must be in order. Only EDatabaseError (unknown
// or unindexable fields) may leave; anything else is a finding.
#pragma once

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/record_compare.h"
#include "platform/db/field_defs.h"

namespace field_list_probe {

inline TmtMemTable& Table() {
  static TmtMemTable* table = [] {
    auto* t = new TmtMemTable();
    struct Def {
      const char* name;
      TFieldType type;
      int size;
    } defs[] = {{"NAME", ftString, 8},   {"NUM", ftInteger, 0},    {"W", ftWord, 0},
                {"SI", ftSmallint, 0},   {"B", ftBoolean, 0},      {"F", ftFloat, 0},
                {"C", ftCurrency, 0},    {"BCD", ftBCD, 4},        {"D", ftDate, 0},
                {"T", ftTime, 0},        {"DT", ftDateTime, 0},    {"L", ftLargeint, 0},
                {"FC", ftFixedChar, 4},  {"M", ftMemo, 0},         {"BY", ftBytes, 4},
                {"AI", ftAutoInc, 0}};
    for (const Def& d : defs) t->FieldDefs().Add(d.name, d.type, d.size);
    t->Open();
    const char* names[] = {"A", "AB", "ABC", "b", "B", "", "Ab"};
    for (int i = 0; i < 40; ++i) {
      t->Append();
      if (i % 5) t->FieldByName("NAME")->SetAsString(names[i % 7]);
      if (i % 3) t->FieldByName("NUM")->SetAsInteger((i * 7) % 11 - 5);
      if (i % 4) {
        double v = i % 4 == 1 ? std::numeric_limits<double>::quiet_NaN() : i * 0.5 - 3;
        unsigned char raw[8];
        std::memcpy(raw, &v, 8);
        t->FieldByName("F")->SetData(raw);
      }
      t->FieldByName("L")->SetAsInteger(i % 6);
      t->FieldByName("D")->SetAsDateTime(40000 + i % 9);
      t->Post();
    }
    return t;
  }();
  return *table;
}

inline void Probe(std::string_view text) {
  TmtMemTable& t = Table();
  TmtFieldList list;
  try {
    t.ParseFieldList(list, AnsiString(text));
  } catch (const EDatabaseError&) {
    return;
  }
  if (list.Count() == 0) return;
  TIndexDefs defs(nullptr);
  TIndexDef* def = defs.Add("PROBE", AnsiString(text), {});
  TmtIndex* index = t.Indexes().CreateFromDef(*def);
  index->Rebuild();
  for (int k = 1; k < index->Entries().Count(); ++k)
    if (IndexCompare(&t, index->FieldList(), index->Entries().At(k - 1), index->Entries().At(k),
                     false, true, CompareUse::Order) >= 0)
      __builtin_trap();  // out of order: a finding
  if (index->Entries().Count() != t.Store()->RecordCount()) __builtin_trap();
  t.Indexes().Remove(index);
}

}  // namespace field_list_probe
