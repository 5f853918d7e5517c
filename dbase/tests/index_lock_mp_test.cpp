// Index locks and sharing between processes: the locked bytes of every
// protocol (and ClipLock's byte for NTX files), waiting for a holder,
// giving up after the retry period, the whole-file lock of a reindex or zap
// in every format, and two processes inserting alternately into one shared
// file of every format, each seeing the other's changes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/system.h"
#include "dbase/testing/index_model.h"
#include "testing/child_process.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::IndexedTable;

struct Probe {
  bool locked = false;
  int64_t start = 0;
  int64_t length = 0;
};

// Asks the system, through a descriptor of our own, who holds bytes.
Probe ProbeRegion(const std::string& path, uint64_t offset, uint64_t length) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  Probe p;
  if (fd >= 0 && ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) {
    p.locked = true;
    p.start = fl.l_start;
    p.length = fl.l_len;
  }
  if (fd >= 0) ::close(fd);
  return p;
}

class IndexFiles {
 public:
  IndexFiles() {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("S.DBF"), {{"NAME", 'C', 100, 0}});
    IndexedTable table(dir.File("S.DBF"), false);
    XBobjCDXFile cdx(&table.link, "S.cdx", false, true, fmOpenReadWrite, fmShareExclusive);
    cdx.CreateTag("NAME", "NAME", false, true, "");
  }
  // A process's own shared view of the table and its index.
  struct View {
    std::unique_ptr<IndexedTable> table;
    std::unique_ptr<XBobjCDXFile> cdx;
  };
  View Open() {
    View v;
    v.table = std::make_unique<IndexedTable>(dir.File("S.DBF"), true);
    v.cdx = std::make_unique<XBobjCDXFile>(&v.table->link, "S.cdx", false, false, fmOpenReadWrite,
                                           fmShareDenyNone);
    v.table->indexes.push_back(v.cdx.get());
    return v;
  }
  TempDir dir;
};

// Holds bytes of the file from a child process until the parent says
// "release".
int HoldLock(Channel& channel, const std::string& path, uint64_t offset, uint64_t length) {
  XBO_DiskFile file(path, true, true);
  file.OpenFile();
  if (!file.LockRegion(offset, length)) return 2;
  channel.Send("locked");
  if (channel.Receive(60000) != "release") return 3;
  file.UnlockRegion();
  channel.Send("released");
  return 0;
}

// Counts the pauses of every retry instead of sleeping; at pause releaseAt
// (0: never) the holder is told to let go and has done so before the next
// attempt.
class CountedPauses {
 public:
  explicit CountedPauses(ChildProcess* holder = nullptr, int releaseAt = 0) {
    previous_ = SetSleepHook([this, holder, releaseAt](int ms) {
      ++count;
      if (ms != 50) ++otherLengths;
      if (holder && count == releaseAt) {
        holder->channel().Send("release");
        EXPECT_EQ(holder->channel().Receive(20000), "released");
      }
    });
  }
  ~CountedPauses() { SetSleepHook(previous_); }
  CountedPauses(const CountedPauses&) = delete;
  CountedPauses& operator=(const CountedPauses&) = delete;
  int count = 0;
  int otherLengths = 0;  // pauses not of the standard 50 ms

 private:
  std::function<void(int)> previous_;
};

TEST(IndexLockMultiprocess, EveryProtocolLocksItsDocumentedBytes) {
  IndexFiles files;
  struct Case {
    TxbLokProtocol protocol;
    uint64_t offset;
    uint64_t length;
  };
  const Case cases[] = {
      {TxbLokProtocol::Default, 0x7FFFFFFD, 2},
      {TxbLokProtocol::FoxLock, 0x7FFFFFFD, 2},
      {TxbLokProtocol::DB4Lock, 0xEFFFFFFE, 2},
      {TxbLokProtocol::ClipLock, 1000000000, 1},
  };
  for (const Case& c : cases) {
    IndexFiles::View v = files.Open();
    v.cdx->SetLockProtocol(c.protocol);
    v.cdx->LockIndexFile();
    std::string path = files.dir.File("S.cdx");
    ChildProcess child([&](Channel& channel) {
      Probe exact = ProbeRegion(path, c.offset, c.length);
      Probe before = ProbeRegion(path, c.offset - 1, 1);
      Probe after = ProbeRegion(path, c.offset + c.length, 1);
      bool ok = exact.locked && exact.start == static_cast<int64_t>(c.offset) &&
                exact.length == static_cast<int64_t>(c.length) && !before.locked && !after.locked;
      channel.Send(ok ? "ok" : "wrong");
      return 0;
    });
    EXPECT_EQ(child.channel().Receive(20000), "ok") << static_cast<int>(c.protocol);
    EXPECT_EQ(child.Wait(), 0);
    v.cdx->UnlockIndexFile();
    EXPECT_FALSE(ProbeRegion(path, c.offset, c.length).locked);
  }
}

TEST(IndexLockMultiprocess, WaitsForAHolderThatLetsGo) {
  IndexFiles files;
  std::string path = files.dir.File("S.cdx");
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1); });
  ASSERT_EQ(child.channel().Receive(20000), "locked");
  IndexFiles::View v = files.Open();
  CountedPauses pauses(&child, 20);
  v.cdx->LockIndexFile();
  EXPECT_EQ(pauses.count, 20);
  EXPECT_EQ(pauses.otherLengths, 0);
  v.cdx->UnlockIndexFile();
  EXPECT_EQ(child.Wait(), 0);
}

TEST(IndexLockMultiprocess, GivesUpAfterTheRetryPeriod) {
  IndexFiles files;
  std::string path = files.dir.File("S.cdx");
  // The FoxPro family's byte alone keeps us out too.
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFE, 1); });
  ASSERT_EQ(child.channel().Receive(20000), "locked");
  IndexFiles::View v = files.Open();
  CountedPauses pauses;
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { v.cdx->LockIndexFile(); }), "Can not Lock file S.cdx");
  EXPECT_EQ(pauses.count, 99);
  EXPECT_EQ(pauses.otherLengths, 0);
  EXPECT_EQ(v.cdx->LockLevel(), 0);
  child.Kill(SIGKILL);
}

TEST(IndexLockMultiprocess, ReindexWaitsForTheWholeFileBeforeChangingIt) {
  IndexFiles files;
  {
    IndexFiles::View v = files.Open();
    for (int i = 0; i < 40; ++i) v.table->Append({{"NAME", "K" + std::to_string(i)}});
  }
  std::string path = files.dir.File("S.cdx");
  std::string before = files.dir.Read("S.cdx");
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1); });
  ASSERT_EQ(child.channel().Receive(20000), "locked");
  IndexFiles::View v = files.Open();
  int pauses = 0;
  auto previous = SetSleepHook([&](int) { ++pauses; });
  std::string error;
  try {
    v.cdx->Reindex();
  } catch (const EXbaseError& e) {
    error = e.Message();
  }
  SetSleepHook(previous);
  EXPECT_EQ(error, "Can not Lock file S.cdx");
  EXPECT_EQ(pauses, 99);
  EXPECT_TRUE(files.dir.Read("S.cdx") == before);
  EXPECT_EQ(indexmodel::Walk(*v.cdx->FindTag("NAME"), true).size(), 40u);
  child.Kill(SIGKILL);
}

// One insert of this process under the index lock; counts foreign changes.
void InsertShared(IndexFiles::View& v, const std::string& key, int& foreign) {
  v.cdx->LockIndexFile();
  if (v.cdx->ChangedByOtherUser()) ++foreign;
  v.table->BlankRecord();
  v.table->PutText("NAME", key);
  v.table->AppendRecord();
  v.cdx->UnlockIndexFile();
}

TEST(IndexLockMultiprocess, TwoProcessesInsertingInTurnShareOneTree) {
  IndexFiles files;
  const int rounds = 60;
  auto keyOf = [](int who, int i) {
    // Both sides insert into the same key ranges, so both split nodes.
    return std::string(80, 'K') + std::to_string(1000 + (i * 37) % 500) + (who ? "C" : "P");
  };
  ChildProcess child([&](Channel& channel) {
    IndexFiles::View v = files.Open();
    channel.Send("ready");
    int foreign = 0;
    for (int i = 0; i < rounds; ++i) {
      if (channel.Receive(30000) != "go") return 3;
      InsertShared(v, keyOf(1, i), foreign);
      channel.Send("done");
    }
    channel.Send(std::to_string(foreign));
    return 0;
  });
  IndexFiles::View v = files.Open();
  ASSERT_EQ(child.channel().Receive(30000), "ready");
  int foreign = 0;
  for (int i = 0; i < rounds; ++i) {
    InsertShared(v, keyOf(0, i), foreign);
    child.channel().Send("go");
    ASSERT_EQ(child.channel().Receive(30000), "done");
  }
  EXPECT_EQ(child.channel().Receive(30000), std::to_string(rounds));
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(foreign, rounds - 1);
  v.cdx->LockIndexFile();
  v.cdx->ChangedByOtherUser();
  auto* tag = static_cast<XBobjCDXTag*>(v.cdx->FindTag("NAME"));
  EXPECT_EQ(indexmodel::CheckCdxTag(*tag), "");
  EXPECT_EQ(indexmodel::Walk(*tag, true).size(), static_cast<std::size_t>(2 * rounds));
  v.cdx->UnlockIndexFile();
}


// --- MDX, NDX, NTX

// A shared table with one index file of a format over NAME.
class FormatFiles {
 public:
  explicit FormatFiles(const std::string& extension) : extension_(extension) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("S.DBF"), {{"NAME", 'C', 100, 0}});
    IndexedTable table(dir.File("S.DBF"), false);
    Make(&table.link, true, false)->CreateTag("NAME", "NAME", false, true, "");
  }
  std::unique_ptr<XBobjIndexFile> Make(XBobjIndexTable* table, bool create, bool shared) {
    std::string path = Path();
    unsigned share = shared ? fmShareDenyNone : fmShareExclusive;
    if (extension_ == ".mdx")
      return std::make_unique<XBobjMDXFile>(table, path, create, create, fmOpenReadWrite, share);
    if (extension_ == ".ndx")
      return std::make_unique<XBobjNDXFile>(table, path, create, create, fmOpenReadWrite, share);
    return std::make_unique<XBobjNTXFile>(table, path, create, create, fmOpenReadWrite, share);
  }
  std::string Path() const { return dir.File("S" + extension_); }
  struct View {
    std::unique_ptr<IndexedTable> table;
    std::unique_ptr<XBobjIndexFile> index;
  };
  View Open() {
    View v;
    v.table = std::make_unique<IndexedTable>(dir.File("S.DBF"), true);
    v.index = Make(&v.table->link, false, true);
    v.table->indexes.push_back(v.index.get());
    return v;
  }
  TempDir dir;

 private:
  std::string extension_;
};

TEST(IndexLockMultiprocess, NtxFilesLockTheClipLockByte) {
  FormatFiles files(".ntx");
  FormatFiles::View v = files.Open();
  v.index->SetLockProtocol(TxbLokProtocol::ClipLock);
  v.index->LockIndexFile();
  std::string path = files.Path();
  ChildProcess child([&](Channel& channel) {
    Probe exact = ProbeRegion(path, 1000000000, 1);
    Probe before = ProbeRegion(path, 999999999, 1);
    Probe after = ProbeRegion(path, 1000000001, 1);
    channel.Send(exact.locked && exact.start == 1000000000 && exact.length == 1 && !before.locked && !after.locked
                     ? "ok"
                     : "wrong");
    return 0;
  });
  EXPECT_EQ(child.channel().Receive(20000), "ok");
  EXPECT_EQ(child.Wait(), 0);
  v.index->UnlockIndexFile();
  EXPECT_FALSE(ProbeRegion(path, 1000000000, 1).locked);
}

TEST(IndexLockMultiprocess, ZapAndReindexWaitForTheWholeFileInEveryFormat) {
  struct Case {
    const char* extension;
    bool zap;
  };
  const Case cases[] = {{".ndx", true}, {".ndx", false}, {".ntx", true}, {".ntx", false}, {".mdx", false}};
  for (const Case& c : cases) {
    FormatFiles files(c.extension);
    {
      FormatFiles::View v = files.Open();
      for (int i = 0; i < 40; ++i) v.table->Append({{"NAME", "K" + std::to_string(i)}});
    }
    std::string path = files.Path();
    std::string before = files.dir.Read("S" + std::string(c.extension));
    ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1); });
    ASSERT_EQ(child.channel().Receive(20000), "locked");
    FormatFiles::View v = files.Open();
    int pauses = 0;
    auto previous = SetSleepHook([&](int) { ++pauses; });
    std::string error = ErrorMessage<EXbaseError>([&] { c.zap ? v.index->Zap() : v.index->Reindex(); });
    SetSleepHook(previous);
    std::string where = std::string(c.extension) + (c.zap ? " zap" : " reindex");
    EXPECT_EQ(error, "Can not Lock file S" + std::string(c.extension)) << where;
    EXPECT_EQ(pauses, 99) << where;
    EXPECT_TRUE(files.dir.Read("S" + std::string(c.extension)) == before) << where;
    EXPECT_EQ(indexmodel::Walk(*v.index->TagAt(0), true).size(), 40u) << where;
    child.Kill(SIGKILL);
  }
}

// One insert of this process under the index lock; counts foreign changes.
void InsertSharedFile(FormatFiles::View& v, const std::string& key, int& foreign) {
  v.index->LockIndexFile();
  if (v.index->ChangedByOtherUser()) ++foreign;
  v.table->BlankRecord();
  v.table->PutText("NAME", key);
  v.table->AppendRecord();
  v.index->UnlockIndexFile();
}

TEST(IndexLockMultiprocess, TwoProcessesInsertingInTurnShareOneTreeInEveryFormat) {
  for (const char* extension : {".ntx", ".ndx", ".mdx"}) {
    FormatFiles files(extension);
    const int rounds = 60;
    auto keyOf = [](int who, int i) {
      // Both sides insert into the same key ranges, so both split pages.
      return std::string(80, 'K') + std::to_string(1000 + (i * 37) % 500) + (who ? "C" : "P");
    };
    ChildProcess child([&](Channel& channel) {
      FormatFiles::View v = files.Open();
      channel.Send("ready");
      int foreign = 0;
      for (int i = 0; i < rounds; ++i) {
        if (channel.Receive(30000) != "go") return 3;
        InsertSharedFile(v, keyOf(1, i), foreign);
        channel.Send("done");
      }
      channel.Send(std::to_string(foreign));
      return 0;
    });
    FormatFiles::View v = files.Open();
    ASSERT_EQ(child.channel().Receive(30000), "ready") << extension;
    int foreign = 0;
    for (int i = 0; i < rounds; ++i) {
      InsertSharedFile(v, keyOf(0, i), foreign);
      child.channel().Send("go");
      ASSERT_EQ(child.channel().Receive(30000), "done") << extension;
    }
    EXPECT_EQ(child.channel().Receive(30000), std::to_string(rounds)) << extension;
    EXPECT_EQ(child.Wait(), 0) << extension;
    // Only NTX counts its changes; without a counter every lock must
    // assume the file changed, the first one included.
    EXPECT_EQ(foreign, std::string(extension) == ".ntx" ? rounds - 1 : rounds) << extension;
    v.index->LockIndexFile();
    v.index->ChangedByOtherUser();
    XBobjIndexTag* tag = v.index->TagAt(0);
    EXPECT_EQ(indexmodel::CheckIndexTag(*tag), "") << extension;
    std::vector<indexmodel::KeyRecord> walk = indexmodel::Walk(*tag, true);
    EXPECT_EQ(walk.size(), static_cast<std::size_t>(2 * rounds)) << extension;
    for (std::size_t i = 1; i < walk.size(); ++i) EXPECT_LE(walk[i - 1].first, walk[i].first) << extension;
    v.index->UnlockIndexFile();
  }
}

}  // namespace

// A reader that looks at the file without the lock while another writer is
// half-way through a change (counted, pages not yet written) reads the old
// pages. Its next write under the lock must not build on them: the key the
// other writer added would be lost.
TEST(IndexLockMultiprocess, PagesReadDuringAnotherWritersChangeAreNotKeptUnderTheLock) {
  for (const char* extension : {".cdx", ".ntx"}) {
    SCOPED_TRACE(extension);
    std::unique_ptr<IndexFiles> cdxFiles;
    std::unique_ptr<FormatFiles> otherFiles;
    struct Side {
      std::unique_ptr<IndexedTable> table;
      std::unique_ptr<XBobjIndexFile> index;
    } writer, reader;
    auto open = [&](Side& side) {
      if (cdxFiles) {
        IndexFiles::View v = cdxFiles->Open();
        side.table = std::move(v.table);
        side.index = std::move(v.cdx);
      } else {
        FormatFiles::View v = otherFiles->Open();
        side.table = std::move(v.table);
        side.index = std::move(v.index);
      }
    };
    if (std::string(extension) == ".cdx")
      cdxFiles = std::make_unique<IndexFiles>();
    else
      otherFiles = std::make_unique<FormatFiles>(extension);
    open(writer);
    open(reader);
    auto append = [](Side& side, const std::string& key) {
      side.table->BlankRecord();
      side.table->PutText("NAME", key);
      side.table->AppendRecord();
    };
    auto lookWithoutLock = [](Side& side) {
      if (side.index->ChangedByOtherUser())
        for (int i = 0; i < side.index->TagCount(); ++i) side.index->TagAt(i)->DiscardPages();
      return indexmodel::Walk(*side.index->TagAt(0), true).size();
    };
    writer.index->LockIndexFile();
    append(writer, "K1");
    writer.index->UnlockIndexFile();
    EXPECT_EQ(lookWithoutLock(reader), 1u);

    writer.index->LockIndexFile();
    append(writer, "K2");
    lookWithoutLock(reader);  // may see the count before the pages
    writer.index->UnlockIndexFile();

    reader.index->LockIndexFile();
    EXPECT_TRUE(reader.index->ChangedByOtherUser());
    for (int i = 0; i < reader.index->TagCount(); ++i) reader.index->TagAt(i)->DiscardPages();
    append(reader, "K3");
    reader.index->UnlockIndexFile();

    writer.index->LockIndexFile();
    writer.index->ChangedByOtherUser();
    for (int i = 0; i < writer.index->TagCount(); ++i) writer.index->TagAt(i)->DiscardPages();
    EXPECT_EQ(indexmodel::Walk(*writer.index->TagAt(0), true).size(), 3u);
    writer.index->UnlockIndexFile();
  }
}

namespace {

// A CDX file that keeps every block it writes, in order.
class RecordingCdx : public XBobjCDXFile {
 public:
  using XBobjCDXFile::XBobjCDXFile;
  ~RecordingCdx() override = default;
  void WriteBlock(int64_t position, const void* buffer, int32_t count) override {
    writes.push_back({position, std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(count))});
    XBobjCDXFile::WriteBlock(position, buffer, count);
  }
  std::vector<std::pair<int64_t, std::string>> writes;
};

}  // namespace

// A reader without the lock can meet another writer half-way through a
// node split: a key in two pages, a page its neighbours do not link yet.
// That is no damage. Every stop of such a writer is replayed, with its
// lock held until the reader's first pause, when the writer finishes: the
// reader's walk raises nothing and misses no key that was there before.
TEST(IndexLockMultiprocess, AReaderMeetingAHalfWrittenSplitReadsAgainOnceTheWriterIsDone) {
  IndexFiles files;
  const std::string path = files.dir.File("S.cdx");
  auto keyOf = [](int i) { return std::string(60, 'K') + std::to_string(1000 + (i * 37) % 997); };
  IndexedTable table(files.dir.File("S.DBF"), true);
  RecordingCdx writer(&table.link, "S.cdx", false, false, fmOpenReadWrite, fmShareDenyNone);
  table.indexes.push_back(&writer);
  auto append = [&](int i) {
    writer.LockIndexFile();
    table.BlankRecord();
    table.PutText("NAME", keyOf(i));
    table.AppendRecord();
    writer.UnlockIndexFile();
  };
  // Appends until one append splits a leaf: its writes are the change.
  std::string before;
  std::vector<std::pair<int64_t, std::string>> change;
  int keys = 0;
  while (change.size() < 4 && keys < 400) {
    before = files.dir.Read("S.cdx");
    writer.writes.clear();
    append(keys++);
    change = writer.writes;
  }
  ASSERT_GE(change.size(), 4u);
  std::vector<std::string> old;
  for (int i = 0; i + 1 < keys; ++i) old.push_back(keyOf(i));
  std::sort(old.begin(), old.end());
  auto apply = [&](std::size_t from, std::size_t to) {
    XBO_DiskFile file(path, true, true);
    file.OpenFile();
    for (std::size_t i = from; i < to; ++i)
      file.WriteAt(change[i].first, change[i].second.data(), static_cast<int32_t>(change[i].second.size()));
  };
  for (std::size_t stop = 1; stop < change.size(); ++stop) {
    SCOPED_TRACE("writer stopped after write " + std::to_string(stop));
    files.dir.Write("S.cdx", before);
    apply(0, stop);
    XBO_DiskFile holder(path, true, true);
    holder.OpenFile();
    ASSERT_TRUE(holder.LockRegion(0x7FFFFFFD, 2));
    bool done = false;
    auto previous = SetSleepHook([&](int) {
      if (done) return;
      apply(stop, change.size());
      holder.UnlockRegion();
      done = true;
    });
    IndexFiles::View reader = files.Open();
    std::vector<indexmodel::KeyRecord> walk;
    std::string error = ErrorMessage<EXbaseError>([&] { walk = indexmodel::Walk(*reader.cdx->TagAt(0), true); });
    SetSleepHook(previous);
    EXPECT_EQ(error, "(no error)");
    std::vector<std::string> walked;
    for (const auto& entry : walk) walked.push_back(TrimRight(entry.first));
    EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end()));
    EXPECT_TRUE(std::includes(walked.begin(), walked.end(), old.begin(), old.end()));
    if (!done) holder.UnlockRegion();
  }
}
