// Field lists: the fields an index or a search compares, each with its
// compare options, and the field-list text they are written in:
// "NAME;OTHER:DC" - names separated by ";", each optionally followed by ":"
// and option letters (C case-insensitive, D descending, N ignore null keys,
// P partial key, L ordinal instead of locale order; any order, other
// letters ignored).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/db/fields.h"

using TmtMemTableCompareOptions = uint8_t;
inline constexpr TmtMemTableCompareOptions mtcoDescending = 1;
inline constexpr TmtMemTableCompareOptions mtcoCaseInsensitive = 2;
inline constexpr TmtMemTableCompareOptions mtcoPartialKey = 4;
inline constexpr TmtMemTableCompareOptions mtcoIgnoreNullKey = 8;
inline constexpr TmtMemTableCompareOptions mtcoIgnoreLocale = 16;

class TmtFieldList {
 public:
  virtual ~TmtFieldList() = default;
  virtual void Clear() {
    fields_.clear();
    options_.clear();
  }
  void Add(TField* field, TmtMemTableCompareOptions options) {
    fields_.push_back(field);
    options_.push_back(options);
  }
  TField* FieldAt(int i) const { return fields_[static_cast<std::size_t>(i)]; }
  TmtMemTableCompareOptions OptionsAt(int i) const { return options_[static_cast<std::size_t>(i)]; }
  void SetOptions(int i, TmtMemTableCompareOptions options) {
    options_[static_cast<std::size_t>(i)] = options;
  }
  int Count() const { return static_cast<int>(fields_.size()); }
  int IndexOf(const TField* field) const;

 private:
  std::vector<TField*> fields_;
  std::vector<TmtMemTableCompareOptions> options_;
};

// One entry of a field-list text.
struct TmtFieldListItem {
  AnsiString name;
  TmtMemTableCompareOptions options = 0;
};
// Splits a field-list text; empty names are skipped. Never raises.
std::vector<TmtFieldListItem> SplitFieldListText(std::string_view text);

// Whether fields of this type can be compared by an index.
bool IsIndexableType(TFieldType type);

// For each field of list that also occurs in the text, option is set; for
// the others it is cleared. fieldsOf resolves names the way the table does.
class TDataSet;
void SetOptionForFieldsOfText(TmtFieldList& list, TmtMemTableCompareOptions option,
                              const TDataSet& dataSet, std::string_view text);
// Same count and the same field at every position.
bool FieldListsEqual(const TmtFieldList& a, const TmtFieldList& b);
