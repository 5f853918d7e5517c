#include "dbase/testing/index_verifier.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "dbase/index/cdx_index.h"
#include "dbase/table/memo_file.h"
#include "dbase/handler/table_handler.h"
#include "dbase/testing/index_model.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "platform/rtl/paths.h"

namespace indexverify {

namespace {

std::string Bytes(const TxbVariant& v) {
  return std::string(reinterpret_cast<const char*>(v.Data()), static_cast<std::size_t>(v.Length()));
}

// Walks the tag top to bottom and checks the order of what it meets.
TagCheck WalkTag(XBobjIndexTag& tag, int32_t recordCount) {
  TagCheck check;
  check.name = tag.TagName();
  std::vector<XBobjIndexKeyData> keys;
  const std::size_t limit = static_cast<std::size_t>(std::max(recordCount, 0)) + 16;
  try {
    int32_t record = tag.MoveTo(-3);
    while (record != 0) {
      if (check.walked.size() >= limit) {
        check.structure = "the walk does not end";
        break;
      }
      if ((record < 1 || record > recordCount) && check.structure.empty())
        check.structure = "record " + std::to_string(record) + " is not in the table";
      check.walked.push_back({Bytes(tag.CurrentKey()), record});
      keys.push_back(tag.CurrentKey());
      record = tag.MoveTo(-1);
    }
  } catch (const EXbaseError& e) {
    if (check.structure.empty()) check.structure = "error while walking: " + std::string(e.Message());
  }
  // Keys in stored order: a tag that stores ascending keys for a descending
  // order walks them backwards.
  if (tag.ReverseNavigation()) std::reverse(keys.begin(), keys.end());
  for (std::size_t i = 1; i < keys.size() && check.structure.empty(); ++i) {
    int c = keys[i - 1].Compare(&keys[i], nullptr, CollationWeights, -1);
    if (tag.KeysDescending()) c = -c;
    const std::string where = " at entry " + std::to_string(i);
    if (c > 0) {
      check.structure = "keys out of order" + where;
    } else if (c == 0 && tag.Unique()) {
      check.structure = "a key twice in a unique tag" + where;
    } else if (c == 0 && keys[i - 1].RecordNumber >= keys[i].RecordNumber && tag.IndexFile()->KeysByRecord()) {
      check.structure = "equal keys out of record order" + where;
    }
  }
  if (check.structure.empty()) {
    if (auto* cdx = dynamic_cast<XBobjCDXTag*>(&tag)) {
      try {
        std::string problem = indexmodel::CheckCdxTag(*cdx);
        if (!problem.empty()) check.structure = "pages: " + problem;
      } catch (const EXbaseError& e) {
        check.structure = "error while reading pages: " + std::string(e.Message());
      }
    }
  }
  return check;
}

struct TagDefinition {
  std::string name;
  AnsiString key;
  AnsiString forExpression;
  bool unique = false;
  bool ascending = true;
  bool general = false;
};

std::vector<TagCheck> Rebuild(const std::string& tableFile, const std::vector<TagDefinition>& definitions,
                              const std::string& scratchDir, const AnsiString& password) {
  namespace fs = std::filesystem;
  const std::string copy = scratchDir + ExtractFileName(tableFile);
  fs::copy_file(tableFile, copy, fs::copy_options::overwrite_existing);
  std::string version = "\x03";
  {
    XBO_dBaseFld probe(tableFile, true, false, password);
    version[0] = static_cast<char>(probe.Version());
  }
  const std::string memo = MemoFileNameFor(tableFile, static_cast<uint8_t>(version[0]));
  if (!memo.empty() && fs::exists(memo))
    fs::copy_file(memo, scratchDir + ExtractFileName(memo), fs::copy_options::overwrite_existing);
  const std::string rebuilt = scratchDir + "VERIFY.CDX";
  fs::remove(rebuilt);

  XBO_dBHandler table(copy, false, true, password);
  for (const TagDefinition& d : definitions)
    table.CreateIndexTag(rebuilt, d.name, d.general ? (d.ascending ? 7 : 8) : (d.ascending ? 0 : 1),
                         d.unique ? 0 : 1, d.forExpression, d.key);
  std::vector<TagCheck> result;
  if (definitions.empty()) return result;
  table.OpenIndexFile(rebuilt);
  XBobjIndexFile* file = table.IndexFile(1);
  for (const TagDefinition& d : definitions) {
    XBobjIndexTag* tag = file->FindTag(d.name);
    result.push_back(tag ? WalkTag(*tag, table.RecordCount()) : TagCheck{});
  }
  return result;
}

std::vector<KeyRecord> Difference(const std::vector<KeyRecord>& a, const std::vector<KeyRecord>& b) {
  std::multiset<KeyRecord> rest(b.begin(), b.end());
  std::vector<KeyRecord> out;
  for (const KeyRecord& e : a) {
    auto it = rest.find(e);
    if (it == rest.end()) {
      out.push_back(e);
    } else {
      rest.erase(it);
    }
  }
  return out;
}

}  // namespace

bool IndexCheck::Consistent() const {
  return openProblem.empty() &&
         std::all_of(tags.begin(), tags.end(), [](const TagCheck& t) { return t.Consistent(); });
}

bool IndexCheck::StructureIntact() const {
  return openProblem.empty() &&
         std::all_of(tags.begin(), tags.end(), [](const TagCheck& t) { return t.structure.empty(); });
}

std::string IndexCheck::Summary() const {
  std::string out;
  if (!openProblem.empty()) out += "open: " + openProblem + "\n";
  for (const TagCheck& t : tags) {
    if (t.Consistent()) continue;
    out += "tag " + t.name + ":";
    if (!t.structure.empty()) out += " " + t.structure + ";";
    out += " " + std::to_string(t.walked.size()) + " walked, " + std::to_string(t.rebuilt.size()) + " rebuilt, " +
           std::to_string(t.missing.size()) + " missing, " + std::to_string(t.extra.size()) + " extra";
    for (std::size_t i = 0; i < t.missing.size() && i < 3; ++i)
      out += "; missing record " + std::to_string(t.missing[i].second);
    for (std::size_t i = 0; i < t.extra.size() && i < 3; ++i)
      out += "; extra record " + std::to_string(t.extra[i].second);
    out += "\n";
  }
  return out;
}

IndexCheck VerifyIndexes(const std::string& tableFile, const std::vector<std::string>& indexFiles,
                         const std::string& scratchDir, const AnsiString& password) {
  IndexCheck result;
  std::vector<TagDefinition> definitions;
  try {
    XBO_dBHandler table(tableFile, true, false, password);
    for (const std::string& name : indexFiles) table.OpenIndexFile(name);
    for (int i = 1; i <= table.TagCount(); ++i) {
      XBobjIndexTag* tag = table.TagByNumber(i);
      result.tags.push_back(WalkTag(*tag, table.RecordCount()));
      TagDefinition d;
      d.name = tag->TagName();
      d.key = tag->KeyExpression();
      d.forExpression = tag->ForExpression();
      d.unique = tag->Unique();
      d.ascending = tag->Ascending();
      if (auto* cdx = dynamic_cast<XBobjCDXTag*>(tag)) d.general = cdx->Collation() == cdxGeneral;
      definitions.push_back(d);
    }
  } catch (const EXbaseError& e) {
    result.openProblem = e.Message();
    return result;
  }
  if (scratchDir.empty()) {
    for (TagCheck& t : result.tags) t.rebuilt = t.walked;
    return result;
  }
  std::vector<TagCheck> rebuilt = Rebuild(tableFile, definitions, scratchDir, password);
  for (std::size_t i = 0; i < result.tags.size() && i < rebuilt.size(); ++i) {
    TagCheck& t = result.tags[i];
    t.rebuilt = rebuilt[i].walked;
    t.missing = Difference(t.rebuilt, t.walked);
    t.extra = Difference(t.walked, t.rebuilt);
  }
  return result;
}

}  // namespace indexverify

namespace handlertest {

std::string MakeIndexedTable(const std::string& dir, const std::string& name,
                             const std::vector<TxbFieldSpec>& fields, const std::vector<Values>& records,
                             const std::vector<TagSpec>& tags, uint8_t version, const std::string& password) {
  TxbCreateOptions options;
  options.version = version;
  options.password = password;
  const std::string path = dir + name;
  CreateDbfTable(path, fields, options);
  XBO_dBHandler table(path, false, true, password);
  for (const Values& r : records) Append(table, r);
  for (const TagSpec& t : tags)
    table.CreateIndexTag(ChangeFileExt(path, ".cdx"), t.name, t.order, t.uniqueness, t.forExpression, t.key);
  return path;
}

void Append(XBO_dBHandler& table, const Values& values) {
  table.BlankRecord();
  for (const auto& [field, text] : values) table.PutText(field, text);
  table.AppendRecord();
}

void Edit(XBO_dBHandler& table, int32_t n, const Values& values) {
  table.GoRecord(n);
  if (!table.LockCurrentRecord()) throw EXbaseError("record lock refused");
  try {
    table.GoRecord(n);
    for (const auto& [field, text] : values) table.PutText(field, text);
    table.WriteRecord(n);
  } catch (...) {
    table.ReleaseLock();
    throw;
  }
  table.ReleaseLock();
}

std::vector<int32_t> Walk(XBO_dBHandler& table, bool forward) {
  std::vector<int32_t> out;
  const std::size_t limit = static_cast<std::size_t>(table.RecordCount()) + 16;
  table.GoRecord(forward ? xbmoFirst : xbmoLast);
  while (!table.Eof() && !table.Bof() && out.size() <= limit) {
    out.push_back(table.RecordNumber());
    table.GoRecord(forward ? xbmoNext : xbmoPrevious);
  }
  return out;
}

}  // namespace handlertest
