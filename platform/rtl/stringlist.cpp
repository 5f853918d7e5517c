// TStrings and TStringList: ordered lists of CP1250 texts with one
// non-owned object pointer per entry.
//
// Invariants: a sorted list is always in CompareStrings order (Put and
// Insert are refused on it, Add inserts in place); with dupIgnore or
// dupError a sorted list never gains a second entry that compares equal.
// The text forms read back exactly what they wrote (Text for lines without
// line breaks, CommaText and DelimitedText for any item).
#include "platform/rtl/stringlist.h"

#include <algorithm>
#include <cstdint>

#include "platform/rtl/locale_compare.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

// ---- TStrings ----

int TStrings::Add(const AnsiString& s) {
  int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const AnsiString& s, void* object) {
  int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& other) {
  BeginUpdate();
  try {
    for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Assign(const TStrings& other) {
  if (&other == this) return;
  BeginUpdate();
  try {
    Clear();
    delimiter_ = other.delimiter_;
    quoteChar_ = other.quoteChar_;
    AddStrings(other);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::IndexOf(std::string_view s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(const void* object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  AnsiString s = Get(from);
  void* object = GetObject(from);
  // Insert first: where the list refuses the insertion (a sorted list, a bad
  // index) the entry has not been taken out yet and nothing is lost.
  int at = to > from ? to + 1 : to;
  BeginUpdate();
  try {
    Insert(at, s);
    PutObject(at, object);
    Delete(to > from ? from : from + 1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int a, int b) {
  AnsiString sa = Get(a);
  void* oa = GetObject(a);
  Put(a, Get(b));
  PutObject(a, GetObject(b));
  Put(b, sa);
  PutObject(b, oa);
}

AnsiString TStrings::Text() const {
  AnsiString out;
  for (int i = 0; i < Count(); ++i) {
    out += Get(i);
    out += "\r\n";
  }
  return out;
}

void TStrings::SetText(std::string_view text) {
  BeginUpdate();
  try {
    Clear();
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t start = i;
      while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
      Add(AnsiString(text.substr(start, i - start)));
      // CRLF, CR or LF ends the line.
      if (i < text.size() && text[i] == '\r') {
        ++i;
        if (i < text.size() && text[i] == '\n') ++i;
      } else if (i < text.size()) {
        ++i;
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

AnsiString TStrings::GetDelimited(char delimiter, bool quoteBlanks) const {
  AnsiString out;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) out += delimiter;
    AnsiString item = Get(i);
    // Empty items are quoted so that a list of one empty item survives.
    bool quote = item.empty();
    for (char c : item)
      if ((quoteBlanks && IsBlank(c)) || c == delimiter || c == quoteChar_) quote = true;
    if (!quote) {
      out += item;
      continue;
    }
    out += quoteChar_;
    for (char c : item) {
      if (c == quoteChar_) out += quoteChar_;
      out += c;
    }
    out += quoteChar_;
  }
  return out;
}

void TStrings::SetDelimited(std::string_view text, char delimiter, bool blanksSplit) {
  BeginUpdate();
  try {
    Clear();
    std::size_t i = 0;
    std::size_t n = text.size();
    auto skipBlanks = [&] {
      if (blanksSplit)
        while (i < n && IsBlank(text[i]) && text[i] != delimiter) ++i;
    };
    auto endsItem = [&](char c) { return c == delimiter || (blanksSplit && IsBlank(c)); };
    skipBlanks();
    while (i < n) {
      AnsiString item;
      if (text[i] == quoteChar_) {
        ++i;
        while (i < n) {
          if (text[i] == quoteChar_) {
            if (i + 1 < n && text[i + 1] == quoteChar_) {
              item += quoteChar_;
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          item += text[i++];
        }
        // Text glued to the closing quote belongs to the same item.
        while (i < n && !endsItem(text[i])) item += text[i++];
      } else {
        while (i < n && !endsItem(text[i])) item += text[i++];
      }
      Add(item);
      skipBlanks();
      if (i < n && text[i] == delimiter) {
        ++i;
        skipBlanks();
        // A delimiter at the very end stands for one more, empty item.
        if (i == n) Add(AnsiString());
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

AnsiString TStrings::CommaText() const { return GetDelimited(',', true); }
void TStrings::SetCommaText(std::string_view text) { SetDelimited(text, ',', true); }
AnsiString TStrings::DelimitedText() const { return GetDelimited(delimiter_, true); }
void TStrings::SetDelimitedText(std::string_view text) { SetDelimited(text, delimiter_, false); }

AnsiString TStrings::Names(int index) const {
  AnsiString s = Get(index);
  std::size_t eq = s.find('=');
  return eq == AnsiString::npos ? AnsiString() : s.substr(0, eq);
}

AnsiString TStrings::ValueFromIndex(int index) const {
  AnsiString s = Get(index);
  std::size_t eq = s.find('=');
  return eq == AnsiString::npos ? AnsiString() : s.substr(eq + 1);
}

AnsiString TStrings::Values(std::string_view name) const {
  int index = IndexOfName(name);
  return index < 0 ? AnsiString() : ValueFromIndex(index);
}

void TStrings::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  AnsiString entry = AnsiString(name) + "=" + AnsiString(value);
  if (index >= 0)
    Put(index, entry);
  else
    Add(entry);
}

int TStrings::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    AnsiString s = Get(i);
    std::size_t eq = s.find('=');
    if (eq != AnsiString::npos && CompareStrings(std::string_view(s).substr(0, eq), name) == 0)
      return i;
  }
  return -1;
}

void TStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  int64_t size = stream.Size();
  AnsiString bytes(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(bytes.data(), size);
  SetText(bytes);
}

void TStrings::SaveToFile(const AnsiString& fileName) const {
  TFileStream stream(fileName, fmCreate);
  AnsiString text = Text();
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

int TStrings::CompareStrings(std::string_view a, std::string_view b) const {
  return AnsiCompareText(a, b);
}

// ---- TStringList ----

TStringList::TStringList(const TStringList& other)
    : TStrings(other),
      items_(other.items_),
      sorted_(other.sorted_),
      caseSensitive_(other.caseSensitive_),
      duplicates_(other.duplicates_) {}

TStringList& TStringList::operator=(const TStringList& other) {
  if (this != &other) {
    TStrings::operator=(other);
    items_ = other.items_;
    sorted_ = other.sorted_;
    caseSensitive_ = other.caseSensitive_;
    duplicates_ = other.duplicates_;
  }
  return *this;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
}

AnsiString TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

void TStringList::Put(int index, const AnsiString& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].text = s;
}

void* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].object = object;
}

void TStringList::Insert(int index, const AnsiString& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, Item{s, nullptr});
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

int TStringList::Add(const AnsiString& s) {
  if (!sorted_) {
    items_.push_back(Item{s, nullptr});
    return Count() - 1;
  }
  int index = 0;
  if (Find(s, index)) {
    if (duplicates_ == TDuplicates::dupIgnore) return index;
    if (duplicates_ == TDuplicates::dupError)
      throw EStringListError("String list does not allow duplicates");
    // Accepted duplicates go after their equals, in the order they came.
    while (index < Count() && CompareStrings(items_[static_cast<std::size_t>(index)].text, s) == 0)
      ++index;
  }
  items_.insert(items_.begin() + index, Item{s, nullptr});
  return index;
}

int TStringList::IndexOf(std::string_view s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index = 0;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
  // Lower bound: with duplicates accepted, index is the first equal entry.
  int lo = 0;
  int hi = Count();
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[static_cast<std::size_t>(mid)].text, s) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  index = lo;
  return lo < Count() && CompareStrings(items_[static_cast<std::size_t>(lo)].text, s) == 0;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return CompareStrings(a.text, b.text) < 0;
  });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool on) {
  if (on == caseSensitive_) return;
  caseSensitive_ = on;
  if (sorted_) Sort();
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}
