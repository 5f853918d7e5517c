// A table link over one record held in memory, standing in for a DBF table
// in expression tests, the expression benchmark and the fuzz target: typed
// fields (C, N, D, L) with widths and decimals, registered as "NAME" and
// "TABLE.NAME" under one source id, plus the link's OEM flag and default
// number width. No test framework here: the fuzz target links it too.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/expr/expression.h"

class TMemoryField;

class TMemoryLink : public TxbExpUserLink {
 public:
  explicit TMemoryLink(std::string tableName = "T", int sourceId = 1);

  // type 'C', 'N', 'D' or 'L'. The field starts blank (empty text, 0, day
  // 0, false).
  void AddField(const std::string& name, char type, int width, int decimals = 0);
  // C fields hold the text padded with blanks to the field's width (cut
  // when longer), as a table stores it.
  void SetText(const std::string& name, std::string_view text);
  void SetNumber(const std::string& name, double value);
  void SetDate(const std::string& name, int32_t day);
  void SetLogical(const std::string& name, bool value);
  // The same by field number (in the order of AddField, from 0), for loops
  // over many records.
  int FieldIndex(const std::string& name) const;
  void SetText(int field, std::string_view text);
  void SetNumber(int field, double value);
  void SetDate(int field, int32_t day);
  void SetLogical(int field, bool value);

  int SourceId() const { return sourceId_; }
  const std::string& TableName() const { return tableName_; }

 private:
  std::string tableName_;
  int sourceId_;
  std::map<std::string, int> indexes_;
  std::vector<TMemoryField*> fields_;  // owned by the link's registry
};

// A test link with one field of each type: NAME C(10), AMOUNT N(12,2),
// DAY D(8), FLAG L(1), filled with "Novák", 1234.5, 1.3.2024 and true.
void FillSampleRecord(TMemoryLink& link);

// Julian day of a calendar date.
int32_t JulianDay(int year, int month, int day);
