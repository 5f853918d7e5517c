// An index file that reaches its format's addressable size (page addresses
// are 32-bit) refuses the next page with a clear error before anything is
// written, in every format. The files are made sparse at the limit rather
// than written to 2 GiB.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dbase/base/errors.h"
#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_file_fixture.h"
#include "testing/error_message.h"

namespace {

constexpr int64_t kTwoGiB = int64_t{1} << 31;

// Fills a tag of a file grown (sparsely) to a few pages below 2 GiB until
// its pages run out: the write that could pass the limit is refused, and
// the file never grows past it.
template <class File>
void FullFileRefusesTheNextPage(const std::string& name) {
  SCOPED_TRACE(name);
  IndexFileFixture<File> f({{"NAME", 'C', 10, 0}});
  f.Create(name, "NAME").reset();
  ASSERT_EQ(truncate(f.dir.File(name).c_str(), kTwoGiB - 16384), 0);

  auto file = f.Open(name);
  f.table->indexes.push_back(file.get());
  std::string message = "(no error)";
  int added = 0;
  for (; added < 5000 && message == "(no error)"; ++added) {
    const std::string key = "K" + std::to_string(100000 + added * 7919 % 100000);
    message = ErrorMessage([&] { f.table->Append({{"NAME", key}}); });
  }
  EXPECT_EQ(message, "Index file " + name + " is full");
  EXPECT_GT(added, 10);
  f.table->indexes.clear();
  for (int i = 0; i < file->TagCount(); ++i) file->TagAt(i)->DiscardPages();
  file.reset();

  // Nothing was written past the limit; what lies below it still reads.
  EXPECT_LE(static_cast<int64_t>(std::filesystem::file_size(f.dir.File(name))), kTwoGiB);
  auto reopened = f.Open(name);
  EXPECT_NO_THROW(f.Records(*reopened->TagAt(0)));
}

TEST(IndexLimit, AFileAtItsFormatsAddressableSizeRefusesTheNextPageBeforeWriting) {
  FullFileRefusesTheNextPage<XBobjCDXFile>("K.cdx");
  FullFileRefusesTheNextPage<XBobjMDXFile>("K.mdx");
  FullFileRefusesTheNextPage<XBobjNDXFile>("K.ndx");
  FullFileRefusesTheNextPage<XBobjNTXFile>("K.ntx");
}

}  // namespace
