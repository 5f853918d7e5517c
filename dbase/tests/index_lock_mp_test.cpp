// Index locks and sharing between processes: the locked bytes of every
// protocol, waiting for a holder, giving up after the retry period, the
// whole-file lock of a reindex, and two processes inserting alternately
// into one shared file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "dbase/cdx_index.h"
#include "dbase/xbexcept.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/system.h"
#include "support/index_model.h"
#include "testing/child_process.h"
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

// Holds the index lock of the file from a child process for holdMs.
int HoldLock(Channel& channel, const std::string& path, uint64_t offset, uint64_t length, int holdMs) {
  XBO_DiskFile file(path, true, true);
  file.OpenFile();
  if (!file.LockRegion(offset, length)) return 2;
  channel.Send("locked");
  SleepMs(holdMs);
  file.UnlockRegion();
  channel.Receive(20000);
  return 0;
}

TEST(IndexLockMultiprocess, EveryProtocolLocksItsDocumentedBytes) {
  IndexFiles files;
  struct Case {
    TxbLokProtocol protocol;
    uint64_t offset;
    uint64_t length;
  };
  const Case cases[] = {
      {TxbLokProtocol::Default, 0x7FFFFFFD, 1},
      {TxbLokProtocol::FoxLock, 0x7FFFFFFD, 1},
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
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1, 1000); });
  ASSERT_EQ(child.channel().Receive(20000), "locked");
  IndexFiles::View v = files.Open();
  auto start = std::chrono::steady_clock::now();
  v.cdx->LockIndexFile();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(seconds, 0.5);
  EXPECT_LT(seconds, 4.0);
  v.cdx->UnlockIndexFile();
  child.channel().Send("bye");
  EXPECT_EQ(child.Wait(), 0);
}

TEST(IndexLockMultiprocess, GivesUpAfterTheRetryPeriod) {
  IndexFiles files;
  std::string path = files.dir.File("S.cdx");
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1, 7000); });
  ASSERT_EQ(child.channel().Receive(20000), "locked");
  IndexFiles::View v = files.Open();
  auto start = std::chrono::steady_clock::now();
  std::string error;
  try {
    v.cdx->LockIndexFile();
  } catch (const EXbaseError& e) {
    error = e.Message();
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(error, "Can not Lock file S.cdx");
  EXPECT_GT(seconds, 4.5);
  EXPECT_LT(seconds, 6.0);
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
  ChildProcess child([&](Channel& channel) { return HoldLock(channel, path, 0x7FFFFFFD, 1, 20000); });
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

}  // namespace
