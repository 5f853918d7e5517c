// The comma-separated text format of the in-memory table.
//
// Layout (every line ends with CR LF; Q quote, FD field and RD record
// delimiter are the table's CSVQuote, CSVFieldDelimiter, CSVRecordDelimiter;
// Q(x) quotes x doubling Q inside, or leaves it when Q is character 0;
// D(x) quotes with '"' whatever Q is):
//   definitions (with mtfSaveDef):
//     Q(@@FILE VERSION@@) FD Q(251)
//     Q(@@TABLEDEF START@@)
//     Q(name=Type,size,D(label),D(mask),width[,REQ][,RO],Kind,D(default))  per field
//     Q(@@INDEXDEF START@@), Q(name=Q(fields),Q(label)[,DESC][,CASE][,NONMT][,UNIQ]),
//     Q(@@INDEXDEF END@@)                                        (with mtfSaveIndexDef)
//     Q(@@TABLEDEF END@@)
//   header: Q(display name) per field, FD after each but the table's last, RD
//   records: one value per field, FD between, RD at the end; null is empty;
//     texts escaped, binary values in the 6-bit form, Booleans as
//     CSVTrueString/CSVFalseString, the rest as text in fixed settings.
//
// Every swap of table or process state is a guard that undoes it on every
// exit, so a failing save or load leaves the table and the settings as
// they were (records already loaded stay).
#include "memtable/text_format.h"

#include <optional>
#include <utility>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/fields.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/stringlist.h"

// ------------------------------------------------------------- pieces

AnsiString EscapeCsvText(std::string_view text) {
  if (text.find_first_of(std::string_view("\0\n\r%", 4)) == std::string_view::npos) return AnsiString(text);
  AnsiString out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\0': out += "%0"; break;
      case '\n': out += "%n"; break;
      case '\r': out += "%c"; break;
      case '%': out += "%%"; break;
      default: out += c;
    }
  }
  return out;
}

AnsiString UnescapeCsvText(std::string_view text) {
  if (text.find('%') == std::string_view::npos) return AnsiString(text);
  AnsiString out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      char next = text[i + 1];
      char replacement = next == '0' ? '\0' : next == 'n' ? '\n' : next == 'c' ? '\r' : next == '%' ? '%' : 1;
      if (replacement != 1) {
        out += replacement;
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string Encode6(std::string_view bytes) {
  std::size_t n = bytes.size();
  std::size_t outLen = (4 * n + 2) / 3;
  std::string out;
  out.reserve(outLen);
  unsigned a = 0;
  int s = 0;
  std::size_t in = 0;
  for (std::size_t k = 0; k + 1 < outLen; ++k) {
    if (s < 6) {
      unsigned next = in < n ? static_cast<unsigned char>(bytes[in++]) : 0;
      a = ((next << s) | (a >> 6)) & 0xFFFF;
      s += 2;
    } else {
      s -= 6;
      a >>= 6;
    }
    out += static_cast<char>((a & 63) + 32);
  }
  if (outLen > 0) out += static_cast<char>(((a >> 6) & 63) + 32);
  return out;
}

std::string Decode6(std::string_view text) {
  std::string out;
  out.reserve(3 * text.size() / 4);
  unsigned a = 0;
  int s = 0;
  for (char ch : text) {
    unsigned c = static_cast<unsigned char>(ch);
    a |= ((c - 32) & 63) << s;
    if (s < 2) {
      s += 6;
    } else {
      out += static_cast<char>(a & 255);
      s -= 2;
      a >>= 8;
    }
  }
  out.resize(std::min(out.size(), 3 * text.size() / 4));
  return out;
}

TFormatSettings CsvFormatSettings(const TFormatSettings& base) {
  TFormatSettings s = base;
  s.DateSeparator = '/';
  s.TimeSeparator = ':';
  s.ThousandSeparator = ',';
  s.DecimalSeparator = '.';
  s.ShortDateFormat = "dd/mm/yyyy";
  s.CurrencyString = "";
  s.CurrencyFormat = 0;
  s.NegCurrFormat = 1;
  return s;
}

namespace {

// Runs a function when the scope ends, whatever the way out.
template <class F>
class Finally {
 public:
  explicit Finally(F f) : f_(std::move(f)) {}
  ~Finally() { f_(); }
  Finally(const Finally&) = delete;
  Finally& operator=(const Finally&) = delete;

 private:
  F f_;
};

bool IsTextLike(TFieldType t) { return t == ftString || t == ftMemo || t == ftFmtMemo || t == ftFixedChar; }

bool IsBinary(TFieldType t) {
  return t == ftBytes || t == ftVarBytes || t == ftBlob || t == ftGraphic || t == ftParadoxOle ||
         t == ftDBaseOle || t == ftTypedBinary;
}

bool IsSizedType(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftBytes || t == ftVarBytes || t == ftWideString;
}

AnsiString Quote(std::string_view x, char q) {
  if (q == 0) return AnsiString(x);
  AnsiString out(1, q);
  for (char c : x) {
    out += c;
    if (c == q) out += q;
  }
  out += q;
  return out;
}

AnsiString Unquote(std::string_view x, char q) {
  if (q == 0 || x.size() < 2 || x.front() != q) return AnsiString(x);
  AnsiString out;
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (x[i] == q) {
      if (i + 1 < x.size() && x[i + 1] == q) {
        out += q;
        ++i;
        continue;
      }
      break;
    }
    out += x[i];
  }
  return out;
}

void WriteText(TStream& stream, const AnsiString& text) {
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

// Lines of any length; a run of character 0, CR and LF is one line end.
class LineReader {
 public:
  explicit LineReader(TStream& stream) : stream_(stream) {}
  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      if (pos_ == buffer_.size()) {
        if (!Fill()) return !line.empty();
      }
      char c = buffer_[pos_];
      if (c == '\0' || c == '\r' || c == '\n') {
        if (inLineEnd_ || line.empty()) {
          ++pos_;
          if (!line.empty()) return true;
          continue;
        }
        return true;
      }
      line += c;
      ++pos_;
    }
  }

 private:
  bool Fill() {
    buffer_.resize(8192);
    int64_t got = stream_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
    buffer_.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    pos_ = 0;
    return !buffer_.empty();
  }
  TStream& stream_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool inLineEnd_ = false;
};

// Splits a record line into values; nullopt is a null value.
std::vector<std::optional<AnsiString>> SplitValues(const std::string& line, char q, char fd, char rd) {
  std::vector<std::optional<AnsiString>> values;
  std::size_t i = 0;
  const std::size_t n = line.size();
  auto isDelim = [&](char c) { return c == fd || (rd != 0 && c == rd); };
  if (q != 0) {
    while (i < n) {
      while (i < n && line[i] != q && !isDelim(line[i])) ++i;
      if (i >= n) break;
      if (isDelim(line[i])) {
        values.emplace_back(std::nullopt);
        ++i;
        continue;
      }
      AnsiString value;
      ++i;
      while (i < n) {
        if (line[i] == q) {
          if (i + 1 < n && line[i + 1] == q) {
            value += q;
            i += 2;
            continue;
          }
          break;
        }
        value += line[i++];
      }
      values.emplace_back(std::move(value));
      if (i < n) ++i;  // the closing quote
      if (i < n) ++i;  // the character after it (the delimiter)
    }
  } else {
    while (i < n) {
      std::size_t start = i;
      while (i < n && !isDelim(line[i])) ++i;
      if (i == start)
        values.emplace_back(std::nullopt);
      else
        values.emplace_back(line.substr(start, i - start));
      if (i < n) ++i;
    }
  }
  return values;
}

}  // namespace

bool TmtCustomMemTable::FieldIsSaved(const TField* field, TmtMemTableSaveFlags options) const {
  if (field->IsBlob() && !options.Contains(mtfSaveBlobs)) return false;
  switch (field->FieldKind()) {
    case fkData:
      if (!options.Contains(mtfSaveData) && !options.Contains(mtfSaveDeltas)) return false;
      break;
    case fkCalculated:
      if (!options.Contains(mtfSaveCalculated)) return false;
      break;
    case fkLookup:
      if (!options.Contains(mtfSaveLookup)) return false;
      break;
    default: return false;
  }
  return field->Visible() || options.Contains(mtfSaveNonVisible);
}

// ------------------------------------------------------------- writing

void TmtCustomMemTable::WriteCsvStream(TStream& target, TmtMemTableSaveFlags options) {
  CheckBrowseMode();
  std::optional<ScopedFormatSettings> fixed;
  if (!options.Contains(mtfSaveInLocalFormat)) fixed.emplace(CsvFormatSettings(FormatSettings()));
  const bool wasFiltered = Filtered();
  const bool wasMasterDetail = masterDetailEnabled_;
  const bool wasRange = rangeActive_;
  Finally restoreSuspended([&] {
    masterDetailEnabled_ = wasMasterDetail;
    rangeActive_ = wasRange;
    if (wasFiltered != Filtered()) TDataSet::SetFiltered(wasFiltered);
  });
  if (options.Contains(mtfSaveFiltered) && wasFiltered) TDataSet::SetFiltered(false);
  if (options.Contains(mtfSaveIgnoreMasterDetail)) masterDetailEnabled_ = false;
  if (options.Contains(mtfSaveIgnoreRange)) rangeActive_ = false;
  if (options.Contains(mtfSaveDeltas)) MemTableError("Saving deltas is supported only in binary format.");

  ReportProgress(0, mtpcSave);
  Finally progressDone([&] { ReportProgress(100, mtpcSave); });
  TCriticalSectionGuard lock(store_->Lock());
  DisableControls();
  Finally enable([&] { EnableControls(); });
  PMemRecord savedEvaluation = evaluationRecord_;
  Finally clearEvaluation([&] { evaluationRecord_ = savedEvaluation; });

  std::vector<TField*> saved;
  std::vector<bool> isSaved;
  for (int i = 0; i < FieldCount(); ++i) {
    TField* f = Fields()[i];
    bool s = FieldIsSaved(f, options);
    if (s && (f->DataType() == ftADT || f->DataType() == ftArray)) {
      MemTableError(Format("Field %s cannot be saved in this format", f->FieldName()));
    }
    isSaved.push_back(s);
  }
  const bool skipRest = options.Contains(mtfSkipRest);
  const char q = csvQuote_, fd = csvFieldDelimiter_, rd = csvRecordDelimiter_;
  const AnsiString crlf = "\r\n";

  TMemoryStream compressed;
  TStream& out = OnCompressSave ? static_cast<TStream&>(compressed) : target;
  AnsiString text;
  auto flush = [&] {
    WriteText(out, text);
    text.clear();
  };

  if (options.Contains(mtfSaveDef)) {
    text += Quote("@@FILE VERSION@@", q) + AnsiString(1, fd) + Quote("251", q) + crlf;
    text += Quote("@@TABLEDEF START@@", q) + crlf;
    for (int i = 0; i < FieldCount(); ++i) {
      TField* f = Fields()[i];
      if (skipRest && !isSaved[static_cast<std::size_t>(i)]) continue;
      AnsiString line = f->FieldName() + "=" + FieldTypeName(f->DataType()) + "," + IntToStr(f->Size()) + "," +
                        Quote(f->DisplayLabel(), '"') + "," + Quote(f->EditMask(), '"') + "," +
                        IntToStr(f->DisplayWidth());
      if (f->Required()) line += ",REQ";
      if (f->ReadOnly()) line += ",RO";
      line += ",";
      line += options.Contains(mtfSaveFieldKind) ? FieldKindName(f->FieldKind()) : AnsiString("Data");
      line += "," + Quote(f->DefaultExpression(), '"');
      text += Quote(line, q) + crlf;
    }
    if (options.Contains(mtfSaveIndexDef)) {
      text += Quote("@@INDEXDEF START@@", q) + crlf;
      for (int i = 0; i < IndexDefs().Count(); ++i) {
        TIndexDef* d = IndexDefs().Items(i);
        AnsiString line = d->Name() + "=" + Quote(d->Fields(), q) + "," + Quote(d->DisplayName(), q);
        if (d->Options().Contains(ixDescending)) line += ",DESC";
        if (d->Options().Contains(ixCaseInsensitive)) line += ",CASE";
        if (d->Options().Contains(ixNonMaintained)) line += ",NONMT";
        if (d->Options().Contains(ixUnique)) line += ",UNIQ";
        text += Quote(line, q) + crlf;
      }
      text += Quote("@@INDEXDEF END@@", q) + crlf;
    }
    text += Quote("@@TABLEDEF END@@", q) + crlf;
  }
  if (!options.Contains(mtfSaveNoHeader)) {
    TField* last = FieldCount() > 0 ? Fields()[FieldCount() - 1] : nullptr;
    for (int i = 0; i < FieldCount(); ++i) {
      TField* f = Fields()[i];
      if (skipRest && !isSaved[static_cast<std::size_t>(i)]) continue;
      text += Quote(f->DisplayName(), q);
      if (f != last) text += fd;
    }
    if (rd != 0) text += rd;
    text += crlf;
  }
  flush();

  if (!currentIndex_->Sorted()) currentIndex_->Rebuild();
  const int count = EntryCount();
  for (int e = 0; e < count; ++e) {
    if (e % 100 == 0 && e > 0) ReportProgress(static_cast<int>(static_cast<int64_t>(e) * 100 / count), mtpcSave);
    PMemRecord record = EntryAt(e);
    evaluationRecord_ = record;
    RecalculateRecord(record);
    if (!AcceptRecord(record, false)) continue;
    evaluationRecord_ = record;
    bool accept = true;
    if (OnSaveRecord) OnSaveRecord(this, accept);
    if (!accept) continue;
    bool first = true;
    for (int i = 0; i < FieldCount(); ++i) {
      TField* f = Fields()[i];
      bool s = isSaved[static_cast<std::size_t>(i)];
      if (!s && skipRest) continue;
      if (!first) text += fd;
      first = false;
      if (!s) continue;
      if (OnSaveField) OnSaveField(this, i, f);
      evaluationRecord_ = record;
      if (f->IsNull()) continue;
      TFieldType t = f->DataType();
      if (IsTextLike(t))
        text += Quote(EscapeCsvText(f->AsString()), q);
      else if (IsBinary(t))
        text += Quote(Encode6(f->AsString()), q);
      else if (t == ftBoolean)
        text += Quote(f->AsBoolean() ? csvTrue_ : csvFalse_, q);
      else
        text += Quote(f->AsString(), q);
    }
    if (rd != 0) text += rd;
    text += crlf;
    if (text.size() >= 16384) flush();
  }
  flush();
  if (OnCompressSave) {
    compressed.SetPosition(0);
    OnCompressSave(compressed, target);
  }
}

// ------------------------------------------------------------- reading

void TmtCustomMemTable::ReadCsvStream(TStream& source) {
  const bool wasPersistent = persistent_;
  const bool wasEnableIndexes = enableIndexes_;
  persistent_ = false;
  enableIndexes_ = false;
  ScopedFormatSettings fixed(CsvFormatSettings(FormatSettings()));
  std::optional<TBookmark> bookmark;
  if (Active() && State() == dsBrowse && !IsEmpty()) bookmark = GetBookmark();
  ReportProgress(0, mtpcLoad);
  internalLoad_ = true;
  DisableControls();
  Finally cleanup([&] {
    internalLoad_ = false;
    persistent_ = wasPersistent;
    enableIndexes_ = wasEnableIndexes;
    try {
      if (Active() && State() != dsBrowse) Cancel();
      store_->MarkAllIndexesDirty();
      store_->RebuildAllIndexes();
      // A bookmark goes back only when it still names a record: a stale
      // one must not hide the error that ended the load.
      if (bookmark && Active() && BookmarkValid(*bookmark)) GotoBookmark(*bookmark);
    } catch (...) {
    }
    EnableControls();
    ReportProgress(100, mtpcLoad);
    try {
      if (Active() && State() == dsBrowse) Refresh();
    } catch (...) {
    }
  });

  TMemoryStream decompressed;
  TStream* in = &source;
  if (OnDecompressLoad) {
    OnDecompressLoad(source, decompressed);
    decompressed.SetPosition(0);
    in = &decompressed;
  }
  LineReader reader(*in);
  const char q = csvQuote_, fd = csvFieldDelimiter_, rd = csvRecordDelimiter_;
  std::string line;
  enum class Part { None, Table, Index } part = Part::None;
  bool headerSeen = false;
  std::vector<TField*> columns;
  int loaded = 0;
  loadedCompletely_ = true;
  bool haveLine = reader.Next(line);
  // Definitions and the header.
  while (haveLine) {
    auto values = SplitValues(line, q, fd, rd);
    AnsiString first = !values.empty() && values[0] ? *values[0] : AnsiString();
    if (keepDefinitions_ && (part != Part::None || first == "@@TABLEDEF START@@")) {
      // The table keeps its fields; the header maps the columns by name.
      if (first == "@@TABLEDEF START@@") part = Part::Table;
      if (first == "@@TABLEDEF END@@") part = Part::None;
    } else if (first == "@@FILE VERSION@@") {
    } else if (first == "@@TABLEDEF START@@") {
      Close();
      bookmark.reset();
      FieldDefs().Clear();
      while (FieldCount() > 0) delete Fields()[FieldCount() - 1];
      autoIncDeclaredByLoad_ = false;
      part = Part::Table;
    } else if (first == "@@TABLEDEF END@@") {
      part = Part::None;
      Open();
    } else if (first == "@@INDEXDEF START@@") {
      indexes_->RemoveAllButRowOrder();
      currentIndex_ = indexes_->RowOrderIndex();
      IndexDefs().Clear();
      part = Part::Index;
    } else if (first == "@@INDEXDEF END@@") {
      part = Part::Table;
      if (Active()) CheckIndexDefinitions();
    } else if (part != Part::None) {
      AnsiString whole = Unquote(line, q);
      std::size_t eq = whole.find('=');
      AnsiString name = whole.substr(0, eq == AnsiString::npos ? whole.size() : eq);
      TStringList items;
      items.SetCommaText(eq == AnsiString::npos ? std::string_view() : std::string_view(whole).substr(eq + 1));
      auto item = [&](int i) { return i < items.Count() ? items[i] : AnsiString(); };
      if (part == Part::Index) {
        TIndexOptions opts;
        for (int i = 2; i < items.Count(); ++i) {
          if (items[i] == "DESC") opts.Include(ixDescending);
          if (items[i] == "CASE") opts.Include(ixCaseInsensitive);
          if (items[i] == "NONMT") opts.Include(ixNonMaintained);
          if (items[i] == "UNIQ") opts.Include(ixUnique);
        }
        TIndexDef* def = IndexDefs().Add(name, item(0), opts);
        if (!item(1).empty()) def->SetDisplayName(item(1));
      } else {
        TFieldType type;
        if (!FieldTypeFromName(item(0), type) || !TmtCommon::IsSupportedType(type)) {
          MemTableError(Format("Unknown field type (%s) in CSV file. (%s)", item(0), whole));
        }
        int size = 0, width = 0;
        if (!TryStrToInt(item(1), size)) size = StrToInt(item(1));
        if (IsSizedType(type) ? (size < 1 || size > 65535) : (size < 0 || size > 65535)) {
          MemTableError(Format("Invalid field size (%s)", whole));
        }
        if (!IsSizedType(type) && type != ftBCD) size = 0;
        width = StrToInt(item(4));
        if (width < 0 || width > 65535) MemTableError(Format("Invalid field size (%s)", whole));
        bool required = false, readOnly = false, invisible = false;
        int i = 5;
        for (; i < items.Count(); ++i) {
          if (items[i] == "REQ") required = true;
          else if (items[i] == "RO") readOnly = true;
          else if (items[i] == "INV") invisible = true;
          else break;
        }
        TFieldKind kind = fkData;
        if (i < items.Count() && !FieldKindFromName(items[i++], kind)) kind = fkData;
        AnsiString defaultExpression = item(i);
        if (type == ftAutoInc) autoIncDeclaredByLoad_ = true;
        TFieldDef* def = FieldDefs().Add(name, type, size, required);
        TField* field = def->CreateField(this, this);
        field->SetFieldKind(kind);
        field->SetDisplayLabel(item(2));
        field->SetEditMask(item(3));
        field->SetReadOnly(readOnly);
        field->SetDisplayWidth(width);
        field->SetDefaultExpression(defaultExpression);
        field->SetRequired(required);
        if (invisible) field->SetVisible(false);
      }
    } else {
      // The header line: columns by display name, case-insensitive.
      headerSeen = true;
      for (std::size_t c = 0; c < values.size(); ++c) {
        TField* mapped = nullptr;
        if (!values[c]) {
          if (static_cast<int>(c) < FieldCount()) mapped = Fields()[static_cast<int>(c)];
        } else {
          for (int i = 0; i < FieldCount() && !mapped; ++i)
            if (SameText(Fields()[i]->DisplayName(), *values[c])) mapped = Fields()[i];
        }
        columns.push_back(mapped);
      }
      haveLine = reader.Next(line);
      break;
    }
    haveLine = reader.Next(line);
  }
  if (!headerSeen)
    for (int i = 0; i < FieldCount(); ++i) columns.push_back(Fields()[i]);
  PickAutoIncField();
  CheckActive();
  for (; haveLine; haveLine = reader.Next(line)) {
    if (loadLimit_ > 0 && loaded >= loadLimit_) {
      loadedCompletely_ = false;
      break;
    }
    auto values = SplitValues(line, q, fd, rd);
    Append();
    std::size_t n = std::min(values.size(), columns.size());  // extra values are ignored
    for (std::size_t c = 0; c < n; ++c) {
      TField* f = columns[c];
      if (!f) continue;
      const auto& v = values[c];
      TFieldType t = f->DataType();
      if (!v) {
        f->Clear();
      } else if (IsTextLike(t)) {
        f->SetAsString(UnescapeCsvText(*v));
      } else if (IsBinary(t)) {
        std::string bytes = Decode6(*v);
        if ((t == ftBytes || t == ftVarBytes) && static_cast<int>(bytes.size()) > f->Size()) {
          MemTableError(Format("Value of %d bytes does not fit field %s", static_cast<int>(bytes.size()),
                               f->FieldName()));
        }
        f->SetAsString(bytes);
      } else if (t == ftBoolean) {
        f->SetAsBoolean(*v == csvTrue_);
      } else {
        f->SetAsString(*v);
      }
      if (OnLoadField) OnLoadField(this, f->Index(), f);
    }
    bool accept = true;
    if (OnLoadRecord) OnLoadRecord(this, accept);
    if (accept) {
      Post();
      ++loaded;
    } else {
      Cancel();
    }
  }
}

void TmtCustomMemTable::SaveCsvToFile(const AnsiString& fileName, TmtMemTableSaveFlags options) {
  std::unique_ptr<TFileStream> file;
  if (options.Contains(mtfSaveAppend) && FileExists(fileName)) {
    file = std::make_unique<TFileStream>(fileName, fmOpenReadWrite | fmShareDenyWrite);
    file->Seek(0, TSeekOrigin::soEnd);
  } else {
    file = std::make_unique<TFileStream>(fileName, fmCreate);
  }
  if (OnSave) OnSave(this, 3, *file);
  WriteCsvStream(*file, options);
}

void TmtCustomMemTable::LoadCsvFromFile(const AnsiString& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  if (OnLoad) OnLoad(this, 3, file);
  ReadCsvStream(file);
}
