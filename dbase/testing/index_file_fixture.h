// The fixture of the single-format index tests: a table T.DBF with the
// given fields in a temporary directory, kept current with its index files
// the way the table handler keeps them, and files of one index format made
// and opened beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbase/table/dbf_create.h"
#include "dbase/testing/index_model.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "testing/temp_dir.h"

template <class File>
class IndexFileFixture {
 public:
  explicit IndexFileFixture(const std::vector<TxbFieldSpec>& fields) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("T.DBF"), fields);
    table = std::make_unique<indexmodel::IndexedTable>(dir.File("T.DBF"), false);
  }

  // Makes the file anew with one tag (the single-tag formats name it after
  // the file whatever name it is given here).
  std::unique_ptr<File> Create(const std::string& name, const std::string& key, bool unique = false,
                               bool ascending = true, const std::string& forExpression = "") {
    auto file = std::make_unique<File>(&table->link, dir.File(name), true, true, fmOpenReadWrite,
                                       fmShareExclusive);
    file->CreateTag("IGNORED", key, unique, ascending, forExpression);
    return file;
  }
  // Opens the file; with create, a missing one is made.
  std::unique_ptr<File> Open(const std::string& name, bool create = false) {
    return std::make_unique<File>(&table->link, dir.File(name), false, create, fmOpenReadWrite,
                                  fmShareExclusive);
  }
  // The record numbers of a walk through the tag, top to bottom.
  std::vector<int32_t> Records(XBobjIndexTag& tag) {
    std::vector<int32_t> out;
    for (auto& kr : indexmodel::Walk(tag, true)) out.push_back(kr.second);
    return out;
  }

  TempDir dir;
  std::unique_ptr<indexmodel::IndexedTable> table;
};
