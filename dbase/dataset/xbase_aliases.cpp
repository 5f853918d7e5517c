// The alias list: "Default Directory" followed by section "Alias" of
// xbase.cfg. The list lives until the process ends.
#include "dbase/dataset/xbase_aliases.h"

#include <memory>

#include "platform/rtl/inifiles.h"
#include "platform/rtl/system.h"

namespace {

constexpr const char* kAliasFile = "xbase.cfg";
constexpr const char* kAliasSection = "Alias";

void Fill(TStringList& list) {
  list.Clear();
  list.Add(kDefaultDirectoryAlias);
  TStringList entries;
  TIniFile(WindowsDirectory() + kAliasFile).ReadSectionValues(kAliasSection, entries);
  list.AddStrings(entries);
}

std::unique_ptr<TStringList>& Storage() {
  static std::unique_ptr<TStringList> list;
  return list;
}

}  // namespace

TStringList& XbaseAliasList() {
  std::unique_ptr<TStringList>& list = Storage();
  if (!list) {
    auto fresh = std::make_unique<TStringList>();
    Fill(*fresh);
    list = std::move(fresh);
  }
  return *list;
}

void ReloadXbaseAliases() {
  std::unique_ptr<TStringList>& list = Storage();
  if (!list) list = std::make_unique<TStringList>();
  Fill(*list);
}

AnsiString XbaseAliasPath(std::string_view name) {
  TStringList& list = XbaseAliasList();
  const int index = list.IndexOfName(name);
  return index < 0 ? AnsiString() : list.ValueFromIndex(index);
}

void AddXbaseAlias(std::string_view name) {
  TStringList& list = XbaseAliasList();
  if (name.empty() || list.IndexOfName(name) >= 0) return;
  list.Add(AnsiString(name) + "=" + AnsiString(name));
}
