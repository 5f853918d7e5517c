#include "memtable/field_list.h"

#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/rtl/sysutils.h"

int TmtFieldList::IndexOf(const TField* field) const {
  auto it = std::find(fields_.begin(), fields_.end(), field);
  return it == fields_.end() ? -1 : static_cast<int>(it - fields_.begin());
}

std::vector<TmtFieldListItem> SplitFieldListText(std::string_view text) {
  std::vector<TmtFieldListItem> items;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view part = text.substr(pos, end - pos);
    pos = end + 1;
    TmtFieldListItem item;
    std::size_t colon = part.find(':');
    item.name = Trim(part.substr(0, colon));
    if (colon != std::string_view::npos) {
      for (char c : part.substr(colon + 1)) {
        switch (c) {
          case 'c': case 'C': item.options |= mtcoCaseInsensitive; break;
          case 'd': case 'D': item.options |= mtcoDescending; break;
          case 'n': case 'N': item.options |= mtcoIgnoreNullKey; break;
          case 'p': case 'P': item.options |= mtcoPartialKey; break;
          case 'l': case 'L': item.options |= mtcoIgnoreLocale; break;
          default: break;
        }
      }
    }
    if (!item.name.empty()) items.push_back(std::move(item));
  }
  return items;
}

bool IsIndexableType(TFieldType type) {
  switch (type) {
    case ftString: case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat:
    case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime: case ftAutoInc:
    case ftFixedChar: case ftLargeint: case ftADT: case ftArray:
      return true;
    default:
      return false;
  }
}

void SetOptionForFieldsOfText(TmtFieldList& list, TmtMemTableCompareOptions option,
                              const TDataSet& dataSet, std::string_view text) {
  std::vector<TField*> named;
  for (const TmtFieldListItem& item : SplitFieldListText(text))
    if (TField* f = dataSet.FindField(item.name)) named.push_back(f);
  for (int i = 0; i < list.Count(); ++i) {
    bool in = std::find(named.begin(), named.end(), list.FieldAt(i)) != named.end();
    TmtMemTableCompareOptions o = list.OptionsAt(i);
    list.SetOptions(i, in ? static_cast<TmtMemTableCompareOptions>(o | option)
                          : static_cast<TmtMemTableCompareOptions>(o & ~option));
  }
}

bool FieldListsEqual(const TmtFieldList& a, const TmtFieldList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i)
    if (a.FieldAt(i) != b.FieldAt(i)) return false;
  return true;
}
