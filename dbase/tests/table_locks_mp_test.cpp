// Tables shared between processes: appends that lose nothing, increments
// that lock before they re-read, record and table locks that exclude each
// other, deletes that never write a stale copy, memo writers that never
// share blocks, and the exact bytes every lock holds. Each child opens its
// own files; retries sleep 3 ms instead of 50 so that the busy tests stay
// short.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "dbase/table/dbf_fields.h"
#include "dbase/table/lock_protocol.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace table_test;

namespace {

const TxbLokProtocol kProtocols[] = {TxbLokProtocol::Default, TxbLokProtocol::DB4Lock,
                                     TxbLokProtocol::ClipLock, TxbLokProtocol::FoxLock};

std::unique_ptr<XBO_dBaseFld> Open(const std::string& path, TxbLokProtocol protocol, bool readWrite = true) {
  auto t = std::make_unique<XBO_dBaseFld>(path, true, readWrite, "");
  t->SetLockProtocol(protocol);
  return t;
}

// Waits for a record lock the way an editing user would: again and again.
void LockRecordWaiting(XBO_dBaseFld& t) {
  for (int i = 0; !t.LockCurrentRecord(); ++i) {
    if (i > 200000) throw std::runtime_error("record lock never came");
    usleep(100);
  }
}

// A table whose handler claims open index files (the record byte of
// Default and FoxLock depends on it).
class IndexedTable : public XBO_dBaseFld {
 public:
  using XBO_dBaseFld::XBO_dBaseFld;
  bool HasIndexFiles() const override { return true; }
};

}  // namespace

TEST(TableMultiprocess, ConcurrentAppendsLoseAndDuplicateNothing) {
  constexpr int kChildren = 4;
  constexpr int kAppends = 2000;
  for (TxbLokProtocol protocol : kProtocols) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "append.dbf", {{"WHO", 'N', 3, 0}, {"SEQ", 'N', 6, 0}});
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int c = 0; c < kChildren; ++c) {
      children.push_back(std::make_unique<ChildProcess>([&, c](Channel& ch) {
        FastRetries fast;
        auto t = Open(path, protocol);
        ch.Send("ready");
        if (ch.Receive() != "go") return 2;
        for (int i = 0; i < kAppends; ++i) {
          t->BlankRecord();
          t->PutNumber("WHO", c);
          t->PutNumber("SEQ", i);
          t->AppendRecord();
        }
        return 0;
      }));
    }
    for (auto& child : children) ASSERT_EQ(child->channel().Receive(), "ready");
    for (auto& child : children) child->channel().Send("go");
    for (auto& child : children) ASSERT_EQ(child->Wait(), 0) << ProtocolName(protocol);

    auto t = Open(path, protocol, false);
    ASSERT_EQ(t->RecordCount(), kChildren * kAppends) << ProtocolName(protocol);
    std::set<std::pair<int, int>> seen;
    for (t->GoRecord(xbmoFirst); !t->Eof(); t->GoRecord(xbmoNext))
      seen.emplace(static_cast<int>(t->GetNumber("WHO")), static_cast<int>(t->GetNumber("SEQ")));
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kChildren * kAppends)) << ProtocolName(protocol);
    EXPECT_EQ(SizeOf(path), t->HeaderLength() + int64_t{kChildren * kAppends} * t->RecordLength() + 1);
  }
}

TEST(TableMultiprocess, AppendGivesUpAfterTheRetryPeriodWhileAnotherHoldsTheAppendLock) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "held.dbf", JournalFields());
  ChildProcess child([&](Channel& ch) {
    auto t = Open(path, TxbLokProtocol::Default);
    if (!t->LockAppend()) return 1;
    ch.Send("holding");
    if (ch.Receive() != "release") return 2;
    t->ReleaseLock();
    ch.Send("released");
    return 0;
  });
  ASSERT_EQ(child.channel().Receive(), "holding");
  auto t = Open(path, TxbLokProtocol::Default);
  const int64_t size = SizeOf(path);
  std::vector<int> pauses;
  auto previous = SetSleepHook([&](int ms) { pauses.push_back(ms); });
  t->BlankRecord();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t->AppendRecord(); }), "Can not Lock file " + t->FileName());
  EXPECT_EQ(pauses, std::vector<int>(99, 50));  // 100 tries, 50 ms apart: about 5 s
  EXPECT_EQ(SizeOf(path), size);
  EXPECT_EQ(t->RecordCount(), 0);
  EXPECT_EQ(t->LockCount(), 0);
  // A holder that lets go during the wait is noticed at the next try.
  pauses.clear();
  SetSleepHook([&](int ms) {
    pauses.push_back(ms);
    if (pauses.size() == 4) {
      child.channel().Send("release");
      EXPECT_EQ(child.channel().Receive(), "released");
    }
  });
  t->AppendRecord();
  SetSleepHook(previous);
  EXPECT_EQ(pauses.size(), 4u);
  EXPECT_EQ(t->RecordCount(), 1);
  EXPECT_EQ(child.Wait(), 0);
}

TEST(TableMultiprocess, IncrementsThatLockBeforeTheyRereadNeverTakeANumberTwice) {
  constexpr int kChildren = 4;
  constexpr int kIncrements = 500;
  for (TxbLokProtocol protocol : kProtocols) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "counter.dbf", {{"COUNTER", 'N', 10, 0}, {"DOCNO", 'C', 10, 0}});
    {
      auto t = Open(path, protocol);
      t->BlankRecord();
      t->PutText("DOCNO", "0");
      t->AppendRecord();
    }
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int c = 0; c < kChildren; ++c) {
      children.push_back(std::make_unique<ChildProcess>([&](Channel& ch) {
        auto t = Open(path, protocol);
        t->GoRecord(1);  // a copy that is stale by the time we lock
        ch.Send("ready");
        if (ch.Receive() != "go") return 2;
        std::ostringstream taken;
        for (int i = 0; i < kIncrements; ++i) {
          LockRecordWaiting(*t);
          t->GoRecord(xbmoCurrent);
          const int counter = static_cast<int>(t->GetNumber("COUNTER")) + 1;
          const int docno = std::stoi(t->GetText("DOCNO")) + 1;
          t->PutNumber("COUNTER", counter);
          t->PutText("DOCNO", std::to_string(docno));
          t->WriteRecord(1);
          t->ReleaseLock();
          taken << counter << ' ' << docno << ' ';
        }
        ch.Send(taken.str());
        return 0;
      }));
    }
    for (auto& child : children) ASSERT_EQ(child->channel().Receive(), "ready");
    for (auto& child : children) child->channel().Send("go");
    std::multiset<int> counters, docnos;
    for (auto& child : children) {
      std::istringstream in(child->channel().Receive(60000));
      int counter = 0, docno = 0;
      while (in >> counter >> docno) {
        counters.insert(counter);
        docnos.insert(docno);
      }
      ASSERT_EQ(child->Wait(), 0) << ProtocolName(protocol);
    }
    auto t = Open(path, protocol, false);
    t->GoRecord(1);
    EXPECT_EQ(t->GetNumber("COUNTER"), kChildren * kIncrements) << ProtocolName(protocol);
    EXPECT_EQ(t->GetText("DOCNO"), std::to_string(kChildren * kIncrements)) << ProtocolName(protocol);
    std::set<int> distinctCounters(counters.begin(), counters.end());
    std::set<int> distinctDocnos(docnos.begin(), docnos.end());
    EXPECT_EQ(counters.size(), static_cast<std::size_t>(kChildren * kIncrements));
    EXPECT_EQ(distinctCounters.size(), counters.size()) << ProtocolName(protocol);
    EXPECT_EQ(distinctDocnos.size(), docnos.size()) << ProtocolName(protocol);
  }
}

TEST(TableMultiprocess, RecordLocksExcludeOtherProcessesUntilReleased) {
  for (TxbLokProtocol protocol : kProtocols) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "rec.dbf", JournalFields());
    {
      auto t = Open(path, protocol);
      for (int i = 0; i < 3; ++i) {
        t->BlankRecord();
        t->AppendRecord();
      }
    }
    ChildProcess child([&](Channel& ch) {
      auto t = Open(path, protocol);
      t->GoRecord(2);
      if (!t->LockCurrentRecord()) return 1;
      ch.Send("locked");
      if (ch.Receive() != "release") return 2;
      t->ReleaseLock();
      ch.Send("released");
      return 0;
    });
    ASSERT_EQ(child.channel().Receive(), "locked");
    auto t = Open(path, protocol);
    t->GoRecord(2);
    EXPECT_FALSE(t->LockCurrentRecord()) << ProtocolName(protocol);
    t->GoRecord(3);
    EXPECT_TRUE(t->LockCurrentRecord()) << ProtocolName(protocol);
    t->ReleaseLock();
    child.channel().Send("release");
    ASSERT_EQ(child.channel().Receive(), "released");
    t->GoRecord(2);
    EXPECT_TRUE(t->LockCurrentRecord()) << ProtocolName(protocol);
    t->ReleaseLock();
    EXPECT_EQ(child.Wait(), 0);
  }
}

TEST(TableMultiprocess, ATableLockRefusesOtherProcessesRecordLocksAndAppends) {
  for (TxbLokProtocol protocol : kProtocols) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "table.dbf", JournalFields());
    {
      auto t = Open(path, protocol);
      t->BlankRecord();
      t->AppendRecord();
    }
    ChildProcess child([&](Channel& ch) {
      auto t = Open(path, protocol);
      if (!t->LockAllRecords()) return 1;
      ch.Send("locked");
      if (ch.Receive() != "release") return 2;
      t->ReleaseLock();
      ch.Send("released");
      return 0;
    });
    ASSERT_EQ(child.channel().Receive(), "locked");
    auto t = Open(path, protocol);
    const int64_t size = SizeOf(path);
    t->GoRecord(1);
    EXPECT_FALSE(t->LockCurrentRecord()) << ProtocolName(protocol);
    EXPECT_FALSE(t->LockAppend()) << ProtocolName(protocol);
    {
      int pauses = 0;
      auto previous = SetSleepHook([&](int) { ++pauses; });
      t->BlankRecord();
      EXPECT_THROW(t->AppendRecord(), EXbaseError) << ProtocolName(protocol);
      SetSleepHook(previous);
      EXPECT_EQ(pauses, 99) << ProtocolName(protocol);
    }
    EXPECT_EQ(SizeOf(path), size);
    child.channel().Send("release");
    ASSERT_EQ(child.channel().Receive(), "released");
    t->BlankRecord();
    t->AppendRecord();
    EXPECT_EQ(t->RecordCount(), 2);
    EXPECT_EQ(child.Wait(), 0);
  }
}

TEST(TableMultiprocess, DeleteAndRecallNeverWriteBackAStaleCopy) {
  for (TxbLokProtocol protocol : kProtocols) {
    const char* name = ProtocolName(protocol);
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "del.dbf", JournalFields());
    {
      auto t = Open(path, protocol);
      t->BlankRecord();
      t->PutText("NAME", "original");
      t->AppendRecord();
    }
    ChildProcess child([&](Channel& ch) {
      auto t = Open(path, protocol);
      for (const char* text : {"from A", "again A"}) {
        if (ch.Receive() != "lock") return 3;
        t->GoRecord(1);
        if (!t->LockCurrentRecord()) return 1;
        t->GoRecord(xbmoCurrent);
        ch.Send("locked");
        if (ch.Receive() != "write") return 2;
        t->PutText("NAME", text);
        t->WriteRecord(1);
        t->ReleaseLock();
        ch.Send("written");
      }
      return 0;
    });
    auto b = Open(path, protocol);
    b->GoRecord(1);  // the copy B holds from now on
    auto stored = [&] { return ReadBytes(path).substr(static_cast<std::size_t>(b->HeaderLength()), 21); };

    child.channel().Send("lock");
    ASSERT_EQ(child.channel().Receive(), "locked") << name;
    const std::string before = stored();
    EXPECT_FALSE(b->DeleteRecord()) << name;
    EXPECT_EQ(stored(), before) << name;
    child.channel().Send("write");
    ASSERT_EQ(child.channel().Receive(), "written") << name;
    EXPECT_TRUE(b->DeleteRecord()) << name;
    EXPECT_EQ(stored(), "*from A              ") << name;

    child.channel().Send("lock");
    ASSERT_EQ(child.channel().Receive(), "locked") << name;
    EXPECT_FALSE(b->RecallRecord()) << name;
    EXPECT_EQ(stored(), "*from A              ") << name;
    child.channel().Send("write");
    ASSERT_EQ(child.channel().Receive(), "written") << name;
    EXPECT_TRUE(b->RecallRecord()) << name;
    EXPECT_EQ(stored(), " again A             ") << name;
    EXPECT_EQ(b->LockCount(), 0) << name;
    EXPECT_EQ(child.Wait(), 0) << name;
  }
}

TEST(TableMultiprocess, MemoWritersOfTwoProcessesNeverShareBlocks) {
  constexpr int kWrites = 500;
  // Every format runs under Default and one other protocol; between them
  // the formats cover all four (each full set would take four times as
  // long for little more).
  struct Run {
    uint8_t version;
    int blockSize;
    TxbLokProtocol protocol;
  };
  std::vector<Run> runs;
  for (const Run& f : {Run{0x83, 512, TxbLokProtocol::DB4Lock}, Run{0x8B, 512, TxbLokProtocol::ClipLock},
                       Run{0x8B, 64, TxbLokProtocol::DB4Lock}, Run{0xF5, 64, TxbLokProtocol::FoxLock},
                       Run{0x30, 64, TxbLokProtocol::ClipLock}}) {
    runs.push_back({f.version, f.blockSize, TxbLokProtocol::Default});
    runs.push_back(f);
  }
  for (const Run& f : runs) {
    const TxbLokProtocol protocol = f.protocol;
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "memo.dbf", {{"ID", 'N', 3, 0}, {"NOTE", 'M', 0, 0}},
                                       f.version, "", f.blockSize);
    {
      auto t = Open(path, protocol);
      for (int i = 0; i < 2; ++i) {
        t->BlankRecord();
        t->AppendRecord();
      }
    }
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int c = 0; c < 2; ++c) {
      children.push_back(std::make_unique<ChildProcess>([&, c](Channel& ch) {
        FastRetries fast;
        auto t = Open(path, protocol);
        ch.Send("ready");
        if (ch.Receive() != "go") return 2;
        std::string previous;
        for (int i = 0; i < kWrites; ++i) {
          t->GoRecord(c + 1);
          LockRecordWaiting(*t);
          t->GoRecord(xbmoCurrent);
          if (t->GetText("NOTE") != previous) return 3;  // another writer took our blocks
          const std::string text = "child " + std::to_string(c) + " write " + std::to_string(i) + " " +
                                   std::string(static_cast<std::size_t>((i * 37 + c * 11) % 700), 'a' + c);
          t->PutText("NOTE", text);
          t->WriteRecord(c + 1);
          t->ReleaseLock();
          previous = text;
        }
        t->GoRecord(c + 1);
        return t->GetText("NOTE") == previous ? 0 : 4;
      }));
    }
    for (auto& child : children) ASSERT_EQ(child->channel().Receive(), "ready");
    for (auto& child : children) child->channel().Send("go");
    for (auto& child : children)
      EXPECT_EQ(child->Wait(), 0) << std::hex << int{f.version} << " " << ProtocolName(protocol);
  }
}

TEST(TableMultiprocess, LocksHoldExactlyTheBytesOfTheProtocol) {
  struct Probe {
    uint64_t offset, length;
    bool locked;
  };
  // The child opens its own descriptor and asks the system about each range.
  auto probeInChild = [](const std::string& file, const std::vector<Probe>& probes) {
    ChildProcess child([&](Channel&) {
      for (const Probe& p : probes)
        if (RegionLocked(file, p.offset, p.length) != p.locked) return 1;
      return 0;
    });
    return child.Wait();
  };
  auto around = [](TxbLockRegion r) {
    std::vector<Probe> probes{{r.offset, 1, true}, {r.offset + r.length - 1, 1, true}, {r.offset + r.length, 1, false}};
    if (r.offset > 0) probes.push_back({r.offset - 1, 1, false});
    return probes;
  };

  for (TxbLokProtocol protocol : kProtocols) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "bytes.dbf", JournalFields(true), 0x83);
    {
      auto t = Open(path, protocol);
      for (int i = 0; i < 5; ++i) {
        t->BlankRecord();
        t->AppendRecord();
      }
    }
    auto t = Open(path, protocol);
    const int64_t hl = t->HeaderLength(), rl = t->RecordLength();

    ASSERT_TRUE(t->LockAllRecords());
    EXPECT_EQ(probeInChild(path, around(*TableLockRegion(protocol))), 0) << ProtocolName(protocol) << " table";
    t->ReleaseLock();

    ASSERT_TRUE(t->LockEntireFile());
    EXPECT_EQ(probeInChild(path, around(EntireFileLockRegion())), 0) << ProtocolName(protocol) << " file";
    t->ReleaseLock();

    ASSERT_TRUE(t->LockAppend());
    EXPECT_EQ(probeInChild(path, around(*AppendLockRegion(protocol))), 0) << ProtocolName(protocol) << " append";
    t->ReleaseLock();

    t->GoRecord(3);
    ASSERT_TRUE(t->LockCurrentRecord());
    EXPECT_EQ(probeInChild(path, around(*RecordLockRegion(protocol, 3, false, hl, rl))), 0)
        << ProtocolName(protocol) << " record";
    t->ReleaseLock();
    {
      IndexedTable indexed(path, true, true, "");
      indexed.SetLockProtocol(protocol);
      indexed.GoRecord(3);
      ASSERT_TRUE(indexed.LockCurrentRecord());
      EXPECT_EQ(probeInChild(path, around(*RecordLockRegion(protocol, 3, true, hl, rl))), 0)
          << ProtocolName(protocol) << " indexed record";
      indexed.ReleaseLock();
    }

    XBobjMemo& memo = t->MemoFile();
    memo.LockMemo();
    // The protocol's bytes and the first byte, which other programs lock.
    std::vector<Probe> memoProbes = around(*MemoLockRegion(protocol));
    memoProbes.push_back({0, 1, true});
    memoProbes.push_back({1, 1, false});
    EXPECT_EQ(probeInChild(memo.FileName(), memoProbes), 0) << ProtocolName(protocol) << " memo";
    memo.UnlockMemo();
    EXPECT_EQ(probeInChild(memo.FileName(), {{0, 0xFFFFFFFF, false}}), 0) << ProtocolName(protocol) << " memo free";
    EXPECT_EQ(probeInChild(path, {{0, 0xFFFFFFFF, false}}), 0) << ProtocolName(protocol) << " nothing left";
  }
}
