// The work behind the format and filter fuzz targets and their seeded
// random-input test. A table that already holds records and indexes loads
// the input (text or binary format), walks every index and saves again; a
// filter text is parsed and evaluated over a small table. Only the
// program's own exceptions (Exception and its descendants) may leave:
// anything else, a crash or a sanitizer report is a finding.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "platform/rtl/streams.h"

namespace formats_probe {

inline void Define(TmtMemTable& t) {
  t.FieldDefs().Add("NAME", ftString, 12);
  t.FieldDefs().Add("NUM", ftInteger);
  t.FieldDefs().Add("AMOUNT", ftFloat);
  t.FieldDefs().Add("DAY", ftDate);
  t.FieldDefs().Add("AT", ftTime);
  t.FieldDefs().Add("OK", ftBoolean);
  t.FieldDefs().Add("RAW", ftBytes, 4);
  t.FieldDefs().Add("MONEY", ftCurrency);
  t.IndexDefs().Add("BYNAME", "NAME", {});
  t.IndexDefs().Add("BYNUM", "NUM", {ixDescending});
}

inline void Fill(TmtMemTable& t) {
  const char* names[] = {"alfa", "beta", "gama"};
  for (int i = 0; i < 3; ++i) {
    t.Append();
    t.FieldByName("NAME")->SetAsString(names[i]);
    t.FieldByName("NUM")->SetAsInteger(i * 7 - 3);
    t.FieldByName("AMOUNT")->SetAsFloat(i * 1.25);
    t.FieldByName("DAY")->SetAsDateTime(45000 + i);
    t.FieldByName("AT")->SetAsDateTime(i * 0.125);
    t.FieldByName("OK")->SetAsBoolean(i % 2 == 0);
    t.FieldByName("RAW")->SetAsString(std::string("\x00\x81", 2));
    t.FieldByName("MONEY")->SetAsFloat(i * 100.5);
    t.Post();
  }
}

// The seeds: files the writers make from the filled table.
inline std::vector<std::string> Seeds(bool binary) {
  TmtMemTable t;
  Define(t);
  t.Open();
  Fill(t);
  std::vector<std::string> out;
  const TmtMemTableSaveFlags variants[] = {
      {mtfSaveData},
      {mtfSaveData, mtfSaveDef, mtfSaveIndexDef, mtfSaveFieldKind},
      {mtfSaveData, mtfSaveDef, mtfSkipRest},
  };
  for (const auto& options : variants) {
    TStringStream s;
    if (binary)
      t.WriteBinaryStream(s, options);
    else
      t.WriteCsvStream(s, options);
    out.push_back(s.DataString());
  }
  return out;
}

inline void Load(std::string_view input, bool binary) {
  TmtMemTable t;
  Define(t);
  t.Open();
  Fill(t);
  try {
    TStringStream s{std::string(input)};
    if (binary)
      t.ReadBinaryStream(s);
    else
      t.ReadCsvStream(s);
  } catch (const Exception&) {
  }
  try {
    if (!t.Active()) return;
    for (int i = 0; i < t.Indexes().Count(); ++i) {
      t.SwitchIndex(t.Indexes().Items(i));
      for (t.First(); !t.Eof(); t.Next()) {
      }
    }
    TStringStream out;
    if (binary)
      t.WriteBinaryStream(out, {mtfSaveData, mtfSaveDef, mtfSaveIndexDef});
    else
      t.WriteCsvStream(out, {mtfSaveData, mtfSaveDef, mtfSaveIndexDef});
  } catch (const Exception&) {
  }
}

inline std::vector<std::string> FilterSeeds() {
  return {"NAME = 'alfa'", "NUM > 2 AND NOT OK", "UPPER(NAME) LIKE 'B*'", "NUM IN (1, -3, NULL)",
          "SUBSTRING(NAME, 2, 2) = 'et' OR YEAR(DAY) = 2023", "AMOUNT * 2 / (NUM + 3) >= 1.5",
          "DAY >= '1.1.2023' AND AT < '12:00'", "NAME IS NULL OR [NAME] = 'x*'", "DATE('1/2/2023', 'd/m/yyyy') = DAY",
          "TRIM(NAME) <> '' AND MONEY - 1 > 0"};
}

inline void Filter(std::string_view input) {
  TmtMemTable table;
  Define(table);
  table.Open();
  Fill(table);
  try {
    table.SetFilter(AnsiString(input));
    table.SetFiltered(true);
    for (table.First(); !table.Eof(); table.Next()) {
    }
    table.FindFirst();
  } catch (const Exception&) {
  }
}

}  // namespace formats_probe
