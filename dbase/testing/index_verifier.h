// The index verifier of the handler tests: opens a table and its index
// files on their own (shared, read-only), walks every tag through the tag
// API and checks what a reader relies on - keys in the tag's order (its
// collation and direction), record numbers inside the table, no entry
// twice, a walk that ends - and compares every tag's (key, record)
// sequence with the same tag built afresh by CreateIndexTag in a copy of
// the table. Also the table fixtures the handler tests share.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dbase/table/dbf_create.h"
#include "platform/rtl/ansistring.h"

namespace indexverify {

// (stored key bytes, record number)
using KeyRecord = std::pair<std::string, int32_t>;

struct TagCheck {
  std::string name;
  // "" or the first structural problem: order, record range, repeated
  // entry, endless walk, a damaged page, or an error raised on the way.
  std::string structure;
  std::vector<KeyRecord> walked;   // in walk order
  std::vector<KeyRecord> rebuilt;  // the tag built afresh (when asked for)
  std::vector<KeyRecord> missing;  // rebuilt but not walked
  std::vector<KeyRecord> extra;    // walked but not rebuilt
  bool Consistent() const { return structure.empty() && missing.empty() && extra.empty() && walked == rebuilt; }
};

struct IndexCheck {
  // "" or why the files could not be opened at all.
  std::string openProblem;
  std::vector<TagCheck> tags;
  bool Consistent() const;
  // Every tag structurally sound (differences to the rebuild allowed).
  bool StructureIntact() const;
  // A readable account of every problem ("" when consistent).
  std::string Summary() const;
};

// Checks every tag of the index files of a table. With a scratch directory
// the table (and its memo file) is copied there and every tag rebuilt for
// the comparison; without one only the structure is checked.
IndexCheck VerifyIndexes(const std::string& tableFile, const std::vector<std::string>& indexFiles,
                         const std::string& scratchDir = "", const AnsiString& password = "");

}  // namespace indexverify

// Fixtures the handler tests share.

class XBO_dBHandler;

namespace handlertest {

using Values = std::vector<std::pair<std::string, std::string>>;

struct TagSpec {
  TagSpec(std::string tagName, std::string keyExpression, std::string forText = "", int orderCode = 0,
          int uniquenessCode = 1)
      : name(std::move(tagName)),
        key(std::move(keyExpression)),
        forExpression(std::move(forText)),
        order(orderCode),
        uniqueness(uniquenessCode) {}
  std::string name;
  std::string key;
  std::string forExpression;
  int order;       // CreateIndexTag's order code
  int uniqueness;  // 0: unique
};

// Creates dir + name with the fields, appends the records and builds the
// tags into the table's own ".cdx" (when there are any). Returns the path.
std::string MakeIndexedTable(const std::string& dir, const std::string& name,
                             const std::vector<TxbFieldSpec>& fields, const std::vector<Values>& records,
                             const std::vector<TagSpec>& tags, uint8_t version = 0x03,
                             const std::string& password = "");
// Blanks the record, fills the fields (as texts) and appends it.
void Append(XBO_dBHandler& table, const Values& values);
// Locks record n, reads it, changes the fields and writes it back.
void Edit(XBO_dBHandler& table, int32_t n, const Values& values);
// Record numbers from the first record to EOF (backward: last to BOF),
// bounded so that a broken order cannot loop.
std::vector<int32_t> Walk(XBO_dBHandler& table, bool forward = true);

}  // namespace handlertest
