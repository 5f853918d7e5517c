// Locate: find a record by the values of some of its fields. The values go
// into a probe record (a blank record holding them in their stored form).
// When a tag's key is exactly those fields, or begins with them and they
// are text fields, the key computed over the probe is sought in that tag;
// otherwise the records are scanned and compared field by field.
//
// A tag is used only when it can give the same answer as the scan: its key
// must be a plain concatenation of fields (a function such as UPPER would
// make different values equal), and the comparison must be case-sensitive
// (keys are ordered by case).
#include <algorithm>
#include <cstring>

#include "dbase/handler/table_handler.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/sysutils.h"

namespace {

std::vector<AnsiString> SplitNames(std::string_view text, std::string_view separators) {
  std::vector<AnsiString> names;
  AnsiString current;
  auto flush = [&] {
    AnsiString name = UpperCase(Trim(current));
    if (!name.empty()) names.push_back(name);
    current.clear();
  };
  for (char c : text) {
    if (separators.find(c) != std::string_view::npos) {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  return names;
}

// How a tag can serve a Locate.
struct TagPlan {
  bool usable = false;
  bool exact = true;  // the sought key is the whole key, compared exactly
  int cut = -1;       // else: the key's first `cut` bytes must match
};

}  // namespace

bool XBO_dBHandler::LocateWithTag(XBobjIndexTag* tag, const XBobjIndexKeyData& key, bool exact, int32_t& record) {
  XBobjIndexTag* savedMaster = master_;
  const bool savedExact = ExactMatch();
  const bool savedNear = near_;
  const bool savedReadAhead = readAheadOn_;
  auto restore = [&] {
    master_ = savedMaster;
    SetExactMatch(savedExact);
    near_ = savedNear;
    readAheadOn_ = savedReadAhead;
  };
  master_ = tag;
  SetExactMatch(exact);
  near_ = false;
  bool found = false;
  try {
    found = SeekValue(key, false);
    record = RecordNumber();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return found;
}

bool XBO_dBHandler::LocateByScan(const std::vector<int>& fields, const std::vector<AnsiString>& wanted,
                                 int32_t startRecord, bool partial, bool caseInsensitive, int32_t& record) {
  auto fold = [this](const AnsiString& text) {
    if (!TranslateOem()) return UpperLocale(text);
    return AnsiToOem(UpperLocale(OemToAnsi(text)));
  };
  std::vector<AnsiString> wantedTexts = wanted;
  if (caseInsensitive)
    for (AnsiString& w : wantedTexts) w = fold(w);
  // In the master tag's order when it is the whole order; with a range the
  // whole table is searched, front to back.
  MasterAside aside(*this, master_ != nullptr && !master_->HasRange());
  ScanScope scan(*this);
  if (startRecord > 0) {
    GoRecord(startRecord);
    if (!Eof() && !Bof()) GoRecord(xbmoNext);
  } else {
    GoRecord(xbmoFirst);
  }
  while (!Eof() && !Bof()) {
    bool match = true;
    for (std::size_t i = 0; i < fields.size() && match; ++i) {
      AnsiString text = GetTextN(fields[i]);
      if (caseInsensitive) text = fold(text);
      if (partial && i + 1 == fields.size() && text.size() > wantedTexts[i].size())
        text.resize(wantedTexts[i].size());
      match = text == wantedTexts[i];
    }
    if (match) {
      record = RecordNumber();
      return true;
    }
    GoRecord(xbmoNext);
  }
  return false;
}

bool XBO_dBHandler::LocateRecord(const AnsiString& fields, const std::vector<Variant>& values, int32_t startRecord,
                                 bool partial, bool caseInsensitive) {
  if (RecordCount() == 0) RereadHeader();
  if (RecordCount() == 0) return false;

  std::vector<char> probe(static_cast<std::size_t>(RecordLength()) + 1, ' ');
  FillProbeRecord(probe.data(), fields, values);
  const std::vector<AnsiString> names = SplitNames(fields, ";");
  std::vector<int> numbers;
  for (const AnsiString& name : names) numbers.push_back(FieldByName(name).number);
  // Only the fields that received a value take part.
  if (numbers.size() > values.size()) numbers.resize(values.size());
  if (numbers.empty()) return false;
  std::vector<AnsiString> wanted;
  {
    TxbRecordBufferRedirect view(*this, probe.data());
    for (int n : numbers) wanted.push_back(GetTextN(n));
  }
  AnsiString located;
  bool allText = true;
  int leadingLength = 0;  // stored bytes of all located fields but the last
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    located += FieldName(numbers[i]) + ";";
    if (FieldType(numbers[i]) != 'C') allText = false;
    if (i + 1 < numbers.size()) leadingLength += FieldLength(numbers[i]);
  }
  located = UpperCase(located);

  auto plan = [&](XBobjIndexTag* tag) {
    TagPlan p;
    if (!tag->KeyHandler() || !tag->KeyHandler()->HasTree()) return p;
    const std::vector<AnsiString> keyFields = SplitNames(tag->KeyHandler()->VariableNames(kFieldSourceId), ";+-");
    AnsiString list;
    for (const AnsiString& f : keyFields) list += f + ";";
    if (list.compare(0, located.size(), located) != 0) return p;
    // A plain concatenation of fields: its text is the field list itself.
    AnsiString text;
    for (char c : UpperCase(tag->KeyExpression()))
      if (c != ' ') text += c;
    const bool onlyPlus = text.find('-') == AnsiString::npos;
    if (SplitNames(text, "+-") != keyFields) return p;
    const bool whole = list.size() == located.size();
    if (whole && !partial) {
      p.usable = true;
      return p;
    }
    // A part of the key (leading fields, or the start of the last one) is
    // compared over its stored bytes, blanks included.
    if (!allText || !onlyPlus) return p;
    const AnsiString& last = wanted.back();
    const int lastLength = partial ? static_cast<int>(std::min<std::size_t>(
                                         last.size(), static_cast<std::size_t>(FieldLength(numbers.back()))))
                                   : FieldLength(numbers.back());
    // Nothing to seek: every record matches, the scan stops at the first.
    if (leadingLength + lastLength == 0) return p;
    p.usable = true;
    p.exact = false;
    p.cut = leadingLength + lastLength;
    return p;
  };

  XBobjIndexTag* chosen = nullptr;
  TagPlan chosenPlan;
  if (startRecord == 0 && !caseInsensitive) {
    std::vector<XBobjIndexTag*> candidates;
    if (master_ && !master_->HasRange()) {
      candidates.push_back(master_);
    } else {
      for (int i = 1; i <= TagCount(); ++i) {
        XBobjIndexTag* tag = TagByNumber(i);
        if (!tag->HasFor() && !tag->HasRange()) candidates.push_back(tag);
      }
    }
    for (XBobjIndexTag* tag : candidates) {
      chosenPlan = plan(tag);
      if (chosenPlan.usable) {
        chosen = tag;
        break;
      }
    }
  }

  int32_t record = 0;
  bool found = false;
  if (chosen) {
    XBobjIndexKeyData key;
    {
      TxbRecordBufferRedirect view(*this, probe.data());
      chosen->EvaluateKey(key);
    }
    if (chosenPlan.cut >= 0) {
      AnsiString text = key.AsText();
      if (text.size() > static_cast<std::size_t>(chosenPlan.cut))
        text.resize(static_cast<std::size_t>(chosenPlan.cut));
      key.SetText(text);
    }
    found = LocateWithTag(chosen, key, chosenPlan.exact, record);
  } else {
    found = LocateByScan(numbers, wanted, startRecord, partial, caseInsensitive, record);
  }
  // The order the caller had follows the record found.
  if (found) GoRecord(record);
  return found;
}
