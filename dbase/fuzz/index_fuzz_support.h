// What the index fuzz targets share: the table their seed files are built
// over, the check that a page that decodes encodes again to the same page,
// the opening of a file input and the walk and search its tags get, the
// first input byte that chooses what the rest is, and the entry points.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dbase/table/dbf_create.h"
#include "dbase/fuzz/fuzz_support.h"
#include "dbase/testing/file_bytes.h"
#include "dbase/testing/index_model.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"

namespace index_fuzz {

using filebytes::ReadWhole;
using filebytes::WriteWhole;

// The table the seed files are built over, dir + "S.DBF": NAME C(12),
// AMOUNT N(10,2), DAY D, and `rows` records (record i + 1: NAME "N" and
// i x 7 mod rows, AMOUNT i - rows / 2 followed by amountTail, DAY the
// (1 + i mod 28)th of March 2020).
inline std::unique_ptr<indexmodel::IndexedTable> SeedTable(const std::string& dir, int rows,
                                                           const std::string& amountTail = "") {
  RegisterBuiltinExpressions();
  CreateDbfTable(dir + "S.DBF", {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}});
  auto table = std::make_unique<indexmodel::IndexedTable>(dir + "S.DBF", false);
  for (int i = 0; i < rows; ++i)
    table->Append({{"NAME", "N" + std::to_string(i * 7 % rows)},
                   {"AMOUNT", std::to_string(i - rows / 2) + amountTail},
                   {"DAY", std::to_string(1 + i % 28) + ".3.2020"}});
  return table;
}

// The page bytes of a page input: what follows its two layout bytes, cut
// to or padded with zeros to pageSize.
inline std::string PageBytes(std::string_view input, std::size_t pageSize) {
  std::string page(input.substr(2, pageSize));
  page.resize(pageSize, '\0');
  return page;
}

// A page the decoder refuses with an engine error is fine; one it accepts
// must encode again (when mustFit; else a page that no longer fits is let
// go) and decode to the same page.
template <class Page, std::size_t PageSize, class Decode, class Encode, class Same>
void CheckRoundTrip(const std::string& bytes, const Decode& decode, const Encode& encode, const Same& same,
                    bool mustFit = true) {
  Page page;
  try {
    decode(reinterpret_cast<const uint8_t*>(bytes.data()), page);
  } catch (const EXbaseError&) {
    return;
  }
  uint8_t again[PageSize];
  if (!encode(page, again)) {
    if (mustFit) __builtin_trap();
    return;
  }
  Page back;
  decode(again, back);
  if (!same(page, back)) __builtin_trap();
}

// Whether two decoded pages hold the same entries (key and value each).
template <class Entries>
bool SameEntries(const Entries& a, const Entries& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].key != b[i].key || a[i].value != b[i].value) return false;
  return true;
}

// Writes a file input as dir + name, opens it as File without its table
// and hands it to exercise; an engine error ends the input.
template <class File, class Exercise>
void OpenInputFile(const std::string& dir, const char* name, std::string_view input, Exercise&& exercise) {
  const std::string path = dir + name;
  WriteWhole(path, input);
  try {
    File file(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
    exercise(file);
  } catch (const EXbaseError&) {
  }
}

// Walks the tag both ways (at most 5000 steps each) and searches it once
// for the input's first bytes, or for the input's length as a number when
// numberKeys and the tag's keys are not texts.
inline void WalkAndSearch(XBobjIndexTag& tag, std::string_view input, bool numberKeys) {
  indexmodel::Walk(tag, true, 5000);
  indexmodel::Walk(tag, false, 5000);
  XBobjIndexKeyData key;
  if (numberKeys && tag.KeyType() != 'C')
    key.SetNumber(static_cast<double>(input.size()));
  else
    key.SetText(input.substr(0, std::min<std::size_t>(input.size(), 6)));
  tag.FindKey(key);
}

// Runs an input whose first byte chooses what the rest is:
// run(mode, rest). An empty input is nothing.
template <class Run>
void RunModes(const uint8_t* data, std::size_t size, Run&& run) {
  if (size == 0) return;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  fuzz_support::TrapEscapes([&] { run(data[0], rest); });
}

// The two modes every index target has: 0 a page, anything else a file.
template <class Page, class File>
void RunPageOrFile(const uint8_t* data, std::size_t size, Page&& exercisePage, File&& exerciseFile) {
  RunModes(data, size, [&](uint8_t mode, std::string_view input) {
    if (mode == 0)
      exercisePage(input);
    else
      exerciseFile(input);
  });
}

}  // namespace index_fuzz

// The entry points of a target: its seed corpus from Seeds(dir) in the
// folder WorkDir() names, and inputs of two modes, 0 a page for
// ExercisePage and anything else a file for ExerciseFile.
#define INDEX_FUZZ_INITIALIZE(Seeds)                        \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {      \
    fuzz_support::Initialize(WorkDir(), Seeds);             \
    return 0;                                               \
  }
#define INDEX_FUZZ_PAGE_OR_FILE_TARGET(Seeds, ExercisePage, ExerciseFile)        \
  INDEX_FUZZ_INITIALIZE(Seeds)                                                   \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {      \
    index_fuzz::RunPageOrFile(data, size, ExercisePage, ExerciseFile);           \
    return 0;                                                                    \
  }
