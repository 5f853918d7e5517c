// What the seeded random-input tests and the fuzz targets do with one input:
// turn the bytes into a table (with its memo file) or into a memo file,
// open it and use every reading operation, plus one memo write. Header-only,
// so that the fuzz targets (built with their own toolchain) need nothing
// from the test support library.
//
// Only EXbaseError may leave these functions; anything else (another
// exception, a crash, a sanitizer report, an endless loop) is a finding.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/table/dbf_create.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/table/memo_file.h"
#include "dbase/testing/file_bytes.h"
#include "dbase/base/errors.h"

namespace dbf_harness {

using filebytes::ReadWhole;
using filebytes::WriteWhole;

// A table input: 4-byte LE length of the DBF part, the DBF bytes, the memo
// bytes (the version byte of the DBF decides the memo's format).
inline std::string PackTable(const std::string& dbf, const std::string& memo) {
  std::string out(4, '\0');
  const auto n = static_cast<uint32_t>(dbf.size());
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(n >> (8 * i));
  return out + dbf + memo;
}

// A memo input: format selector byte (0 dBase III, 1 dBase IV, 2 FoxPro),
// three 4-byte LE block numbers to read, then the memo file bytes.
inline std::string PackMemo(int format, uint32_t b1, uint32_t b2, uint32_t b3, const std::string& memo) {
  std::string out(1, static_cast<char>(format));
  for (uint32_t b : {b1, b2, b3})
    for (int i = 0; i < 4; ++i) out += static_cast<char>(b >> (8 * i));
  return out + memo;
}

inline uint32_t ReadLe32(std::string_view s, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | (at + static_cast<std::size_t>(i) < s.size() ? static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]) : 0u);
  return v;
}

// dir ends with a separator. Opens the table read-only and walks at most
// 200 records and 100 fields each (the work per input stays bounded
// whatever the header claims).
inline void ExerciseTable(const std::string& dir, std::string_view input) {
  const std::size_t dbfLength = std::min<std::size_t>(ReadLe32(input, 0), input.size() > 4 ? input.size() - 4 : 0);
  const std::string_view dbf = input.substr(std::min<std::size_t>(4, input.size()), dbfLength);
  const std::string_view memo = input.substr(std::min(input.size(), 4 + dbfLength));
  const std::string table = dir + "input.dbf";
  WriteWhole(table, dbf);
  const uint8_t version = dbf.empty() ? 0 : static_cast<uint8_t>(dbf[0]);
  const AnsiString memoName = MemoFileNameFor(table, version);
  if (!memoName.empty()) WriteWhole(memoName, memo);
  try {
    XBO_dBaseFld t(table, false, false, "");
    int records = 0;
    for (t.GoRecord(xbmoFirst); !t.Eof() && records < 200; t.GoRecord(xbmoNext), ++records) {
      t.IsDeleted();
      const int fields = std::min(t.FieldCount(), 100);
      for (int n = 1; n <= fields; ++n) {
        auto guarded = [](auto&& fn) {
          try {
            fn();
          } catch (const EXbaseError&) {
          }
        };
        guarded([&] { t.GetRawN(n); });
        guarded([&] { t.GetTextN(n); });
        guarded([&] { t.GetNumberN(n); });
        guarded([&] { t.GetDateN(n); });
        guarded([&] { t.GetLogicalN(n); });
        const char type = t.FieldType(n);
        if (type == 'M' || type == 'B' || type == 'G') {
          guarded([&] { t.MemoLength(n); });
          guarded([&] { t.GetMemoText(n); });
        }
      }
    }
    t.GoRecord(xbmoLast);
    t.GoRecord(xbmoPrevious);
  } catch (const EXbaseError&) {
  }
}

// Reads three blocks of a memo file of the selected format, then writes one
// memo replacing the first of them.
inline void ExerciseMemo(const std::string& dir, std::string_view input) {
  if (input.size() < 13) return;
  static const uint8_t versions[] = {0x83, 0x8B, 0xF5};
  const uint8_t version = versions[static_cast<unsigned char>(input[0]) % 3];
  const TxbMemoKind kind = MemoKindOf(version, 0);
  const std::string table = dir + "memo.dbf";
  WriteWhole(MemoFileNameFor(table, version), input.substr(13));
  try {
    std::unique_ptr<XBobjMemo> memo =
        OpenMemoFile(kind, version, false, true, "", table, TxbLokProtocol::Default);
    for (std::size_t i = 0; i < 3; ++i) {
      const int64_t block = ReadLe32(input, 1 + 4 * i);
      try {
        memo->MemoLength(block);
        char buffer[300];
        int64_t length = 0;
        memo->ReadMemo(block, buffer, sizeof buffer, length);
        memo->ReadMemoText(block);
      } catch (const EXbaseError&) {
      }
    }
    int64_t block = ReadLe32(input, 1);
    const std::string text(100 + static_cast<unsigned char>(input[0]), 'w');
    const int64_t written = memo->WriteMemo(text.data(), block, static_cast<int64_t>(text.size()));
    if (memo->ReadMemoText(written) != text) __builtin_trap();
  } catch (const EXbaseError&) {
  }
}

// Table inputs made through dbf_create and the engine: one per table
// version, each with a few records of every common type (and the binary
// types of version 0x30). Small block sizes keep most of them short.
inline std::vector<std::string> TableSeeds(const std::string& dir) {
  std::vector<std::string> seeds;
  const struct {
    uint8_t version;
    int blockSize;
  } kinds[] = {{0x03, 512}, {0x04, 512}, {0x83, 512}, {0x8B, 32}, {0xF5, 16}, {0x30, 16}};
  int k = 0;
  for (const auto& kind : kinds) {
    std::vector<TxbFieldSpec> fields = {{"NAME", 'C', 8, 0}, {"AMOUNT", 'N', 8, 2}, {"DAY", 'D', 0, 0},
                                        {"PAID", 'L', 0, 0}};
    const bool memo = kind.version != 0x03 && kind.version != 0x04;
    if (memo) fields.push_back({"NOTE", 'M', 0, 0});
    if (kind.version == 0x30) {
      fields.push_back({"COUNT", 'I', 0, 0});
      fields.push_back({"WHEN", 'T', 0, 0});
      fields.push_back({"PRICE", 'Y', 0, 0});
    }
    TxbCreateOptions options;
    options.version = kind.version;
    options.memoBlockSize = kind.blockSize;
    const std::string path = dir + "seed" + std::to_string(k++) + ".dbf";
    CreateDbfTable(path, fields, options);
    {
      XBO_dBaseFld t(path, false, true, "");
      for (int i = 0; i < 3; ++i) {
        t.BlankRecord();
        t.PutText("NAME", "row " + std::to_string(i));
        t.PutNumber("AMOUNT", i * 10.25 - 5);
        t.PutRaw("DAY", i == 1 ? "" : "2024020" + std::to_string(i + 1));
        t.PutLogical("PAID", i % 2 == 0);
        if (memo) t.PutText("NOTE", std::string(static_cast<std::size_t>(i * 20), 'm'));
        if (kind.version == 0x30) {
          t.PutNumber("COUNT", -i);
          t.PutNumber("WHEN", 63871286400000.0 + i);
          t.PutNumber("PRICE", 12.5 * i);
        }
        t.AppendRecord();
      }
      t.GoRecord(2);
      t.DeleteRecord();
    }
    const AnsiString memoName = MemoFileNameFor(path, kind.version);
    seeds.push_back(PackTable(ReadWhole(path), memoName.empty() ? std::string() : ReadWhole(memoName)));
  }
  return seeds;
}

// Memo inputs of the three formats, each holding memos of a few sizes and
// (dBase IV) a freed run.
inline std::vector<std::string> MemoSeeds(const std::string& dir) {
  std::vector<std::string> seeds;
  int format = 0;
  for (const uint8_t version : {0x83, 0x8B, 0xF5}) {
    TxbCreateOptions options;
    options.version = version;
    options.memoBlockSize = 32;
    const std::string path = dir + "memo" + std::to_string(format) + ".dbf";
    CreateDbfTable(path, {{"NOTE", 'M', 0, 0}}, options);
    {
      XBO_dBaseFld t(path, false, true, "");
      for (std::size_t size : {10, 60, 150}) {
        t.BlankRecord();
        t.PutText("NOTE", std::string(size, 'q'));
        t.AppendRecord();
      }
      t.GoRecord(2);
      t.PutText("NOTE", std::string(5, 'r'));
      t.WriteRecord(2);
    }
    const uint32_t second = version == 0xF5 ? 17 : 2;
    seeds.push_back(PackMemo(format++, 1, second, 5, ReadWhole(MemoFileNameFor(path, version))));
  }
  return seeds;
}

}  // namespace dbf_harness
