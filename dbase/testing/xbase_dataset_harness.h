// What the dataset's seeded random-input test and its fuzz target do with
// one input: the bytes become a table with its memo file (the packing of
// dbf_input_harness.h), which is opened through TXbaseDataSet and walked
// record by record, reading every field as text, display text and variant;
// a bookmark is taken and gone to. Header-only, so that the fuzz target
// needs nothing from the test support library.
//
// Only EDatabaseError and the engine's EXbaseError may leave these
// functions; anything else (another exception, a crash, a sanitizer report,
// an endless loop) is a finding.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/testing/dbf_input_harness.h"
#include "dbase/dataset/xbase_dataset.h"

namespace xbase_harness {

// Returns the records walked, or -1 when the table did not open.
inline int ExerciseDataSet(const std::string& dir, std::string_view input) {
  const std::size_t dbfLength =
      std::min<std::size_t>(dbf_harness::ReadLe32(input, 0), input.size() > 4 ? input.size() - 4 : 0);
  const std::string_view dbf = input.substr(std::min<std::size_t>(4, input.size()), dbfLength);
  const std::string_view memo = input.substr(std::min(input.size(), 4 + dbfLength));
  const std::string table = dir + "input.dbf";
  dbf_harness::WriteWhole(table, dbf);
  const uint8_t version = dbf.empty() ? 0 : static_cast<uint8_t>(dbf[0]);
  const AnsiString memoName = MemoFileNameFor(table, version);
  if (!memoName.empty()) dbf_harness::WriteWhole(memoName, memo);
  auto guarded = [](auto&& fn) {
    try {
      fn();
    } catch (const EDatabaseError&) {
    } catch (const EXbaseError&) {
    }
  };
  int records = -1;
  guarded([&] {
    TXbaseDataSet ds(nullptr);
    ds.SetTableName(table);
    ds.SetReadOnly(true);
    ds.SetLargeIntegerAs(version % 3 == 0 ? TxbIntFields::asInteger
                                          : version % 3 == 1 ? TxbIntFields::asLargeInt : TxbIntFields::asFloat);
    ds.Open();
    const int fields = std::min(ds.FieldCount(), 100);
    records = 0;
    for (ds.First(); !ds.Eof() && records < 200; ds.Next(), ++records) {
      for (int i = 0; i < fields; ++i) {
        TField* field = ds.Fields()[i];
        guarded([&] { field->AsString(); });
        guarded([&] { field->DisplayText(); });
        guarded([&] { field->AsVariant(); });
      }
    }
    guarded([&] {
      ds.First();
      if (ds.IsEmpty()) return;
      const TBookmark mark = ds.Bookmark();
      ds.Last();
      ds.GotoBookmark(mark);
      ds.SetRecNo(ds.RecordCount());
    });
  });
  return records;
}

// Seeds: the table seeds of the engine's reader and a journal with Czech
// texts written through the dataset.
inline std::vector<std::string> DataSetSeeds(const std::string& dir) {
  std::vector<std::string> seeds = dbf_harness::TableSeeds(dir);
  const std::string path = dir + "journal.dbf";
  TxbCreateOptions options;
  options.version = 0x83;
  CreateDbfTable(path, {{"PLA_DAT", 'D', 0, 0}, {"PLA_KOM", 'C', 12, 0}, {"PLA_HOD", 'N', 9, 2},
                        {"PLA_ROC", 'N', 10, 0}, {"PLA_NOTE", 'M', 0, 0}},
                 options);
  {
    TXbaseDataSet ds(nullptr);
    ds.SetTableName(path);
    ds.Open();
    const char* texts[] = {"\x8a\xed\x6c\x65\x6e\xfd", "", "kon\xec"};  // CP1250
    for (int i = 0; i < 3; ++i) {
      ds.Append();
      ds.FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2024, 1 + i, 10 + i));
      ds.FieldByName("PLA_KOM")->SetAsString(texts[i]);
      ds.FieldByName("PLA_HOD")->SetAsFloat(i * 100.5 - 99);
      ds.FieldByName("PLA_ROC")->SetAsInteger(i * 1000000);
      ds.FieldByName("PLA_NOTE")->SetAsString(std::string(static_cast<std::size_t>(i * 30), 'n'));
      ds.Post();
    }
  }
  seeds.push_back(dbf_harness::PackTable(dbf_harness::ReadWhole(path),
                                         dbf_harness::ReadWhole(MemoFileNameFor(path, 0x83))));
  return seeds;
}

}  // namespace xbase_harness
