// The table handler between processes: an index lock held too long stops
// an append and leaves nothing locked; a re-read under a record lock sees
// another process's change even in physical order (no document number
// taken twice); ClipLock index locks never outlive the seek or move that
// took them; and two writers under every lock protocol keep every tag equal
// to a rebuild, number their documents without gaps or repeats and lose no
// edit. Each child opens its own files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

// Waits for the current record's lock the way an editing user would.
void LockRecordWaiting(XBO_dBHandler& t) {
  for (int i = 0; !t.LockCurrentRecord(); ++i) {
    if (i > 200000) throw EXbaseError("record lock never came");
    usleep(100);
  }
}

// Retries between two busy writers pause 1 to 4 ms instead of 50 ms: the
// other writer's lock is held for a single operation. The pause varies so
// that two writers never fall into step. A run of failed tries lengthens
// the pauses back towards the real ones, so that a writer descheduled on a
// loaded machine while holding its lock is still waited for about as long
// as the engine's own retry window.
class BriefRetries {
 public:
  BriefRetries() {
    SetSleepHook([](int ms) {
      using Clock = std::chrono::steady_clock;
      static Clock::time_point last;
      static int run = 0;
      const Clock::time_point now = Clock::now();
      run = now - last < std::chrono::milliseconds(60) ? run + 1 : 0;
      const int pauseUs = run < 20 ? 1000 + std::rand() % 3000 : ms * 1000;
      usleep(static_cast<useconds_t>(pauseUs));
      last = Clock::now();
    });
  }
  ~BriefRetries() { SetSleepHook({}); }
  BriefRetries(const BriefRetries&) = delete;
  BriefRetries& operator=(const BriefRetries&) = delete;
};

}  // namespace

namespace {

// Holds the index lock of an index file from a child process until the
// parent says "release".
int HoldIndexLock(Channel& ch, const std::string& path, const std::string& index, TxbLokProtocol protocol) {
  DBFObject t(path, true, true, "");
  t.SetLockProtocol(protocol);
  t.OpenIndexFile(index);
  t.LockIndexes();
  ch.Send("holding");
  if (ch.Receive(60000) != "release") return 2;
  t.UnlockIndexes();
  ch.Send("released");
  return 0;
}

}  // namespace

TEST(HandlerMultiprocess, AnIndexLockHeldThroughTheRetryPeriodStopsTheAppend) {
  TempDir dir;
  const std::string path =
      MakeIndexedTable(dir.Path(), "T.DBF", {{"NAME", 'C', 10, 0}}, {{{"NAME", "A"}}}, {TagSpec("NAME", "NAME")});
  std::filesystem::copy_file(dir.File("T.cdx"), dir.File("X.cdx"));
  ChildProcess child([&](Channel& ch) { return HoldIndexLock(ch, path, "X", TxbLokProtocol::Default); });
  ASSERT_EQ(child.channel().Receive(), "holding");
  DBFObject t(path, true, true, "");
  t.OpenIndexFiles("T,X", "NAME");
  const int64_t size = table_test::SizeOf(path);
  std::vector<int> pauses;
  auto previous = SetSleepHook([&](int ms) { pauses.push_back(ms); });
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { Append(t, {{"NAME", "B"}}); }), "Could not lock indexes for Table T");
  EXPECT_EQ(pauses, std::vector<int>(99, 50));  // about 5 s
  EXPECT_EQ(table_test::SizeOf(path), size);
  EXPECT_EQ(t.RecordCount(), 1);
  // The file locked first was let go again.
  EXPECT_FALSE(table_test::RegionLocked(dir.File("T.cdx"), 0x7FFFFFFD, 2));
  EXPECT_EQ(t.IndexFile(1)->LockLevel(), 0);
  pauses.clear();
  SetSleepHook([&](int ms) {
    pauses.push_back(ms);
    if (pauses.size() == 2) {
      child.channel().Send("release");
      EXPECT_EQ(child.channel().Receive(), "released");
    }
  });
  Append(t, {{"NAME", "B"}});
  SetSleepHook(previous);
  EXPECT_EQ(pauses.size(), 2u);
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(child.Wait(), 0);
}

// The same in real time, once per protocol: the append waits about 5 s
// before it gives up, and gets the lock soon after a holder lets go.
TEST(HandlerLockWaitsSlow, AnAppendWaitsFiveSecondsAndGetsTheLockOnceItIsFree) {
  for (TxbLokProtocol protocol : {TxbLokProtocol::Default, TxbLokProtocol::DB4Lock, TxbLokProtocol::ClipLock,
                                  TxbLokProtocol::FoxLock}) {
    SCOPED_TRACE(table_test::ProtocolName(protocol));
    TempDir dir;
    const std::string path =
        MakeIndexedTable(dir.Path(), "T.DBF", {{"NAME", 'C', 10, 0}}, {{{"NAME", "A"}}}, {TagSpec("NAME", "NAME")});
    ChildProcess child([&](Channel& ch) { return HoldIndexLock(ch, path, "T", protocol); });
    ASSERT_EQ(child.channel().Receive(), "holding");
    DBFObject t(path, true, true, "");
    t.SetLockProtocol(protocol);
    t.OpenIndexFile("T");
    auto seconds = [](auto run) {
      const auto start = std::chrono::steady_clock::now();
      run();
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double gaveUp = seconds([&] {
      EXPECT_EQ(ErrorMessage<EXbaseError>([&] { Append(t, {{"NAME", "B"}}); }), "Could not lock indexes for Table T");
    });
    EXPECT_GT(gaveUp, 4.5);
    EXPECT_LT(gaveUp, 7.0);
    std::thread releaser([&] {
      usleep(300000);
      child.channel().Send("release");
    });
    const double waited = seconds([&] { Append(t, {{"NAME", "B"}}); });
    releaser.join();
    EXPECT_EQ(child.channel().Receive(), "released");
    EXPECT_GT(waited, 0.2);
    EXPECT_LT(waited, 2.0);
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(t.RecordCount(), 2);
  }
}

TEST(HandlerMultiprocess, AReReadUnderTheRecordLockSeesAnotherProcessesChange) {
  TempDir dir;
  std::vector<handlertest::Values> records;
  for (int i = 1; i <= 100; ++i) records.push_back({{"NAME", "R" + std::to_string(i)}});
  const std::string path = MakeIndexedTable(dir.Path(), "T.DBF", {{"NAME", 'C', 10, 0}}, records, {});
  DBFObject b(path, true, true, "");
  b.SelectTag("", false);
  EXPECT_EQ(Walk(b).size(), 100u);  // all of it through the read-ahead window
  auto change = [&](int32_t n, const std::string& text) {
    ChildProcess a([&](Channel&) {
      DBFObject t(path, true, true, "");
      Edit(t, n, {{"NAME", text}});
      return 0;
    });
    return a.Wait();
  };
  ASSERT_EQ(change(50, "CHANGED"), 0);
  b.GoRecord(50);
  ASSERT_TRUE(b.LockCurrentRecord());
  b.GoRecord(xbmoCurrent);
  EXPECT_EQ(b.GetText("NAME"), "CHANGED");
  b.ReleaseLock();
  // The re-read alone reads the file too.
  ASSERT_EQ(change(51, "AGAIN"), 0);
  b.GoRecord(xbmoNext);
  b.GoRecord(xbmoCurrent);
  EXPECT_EQ(b.GetText("NAME"), "AGAIN");
}

TEST(HandlerMultiprocess, CounterIncrementsInPhysicalOrderNeverGiveANumberTwice) {
  constexpr int kChildren = 3;
  constexpr int kIncrements = 150;
  TempDir dir;
  const std::string counter = MakeIndexedTable(dir.Path(), "C.DBF", {{"NEXT", 'N', 8, 0}}, {{{"NEXT", "1"}}}, {});
  const std::string log = MakeIndexedTable(dir.Path(), "LOG.DBF", {{"NUM", 'N', 8, 0}}, {}, {});
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int c = 0; c < kChildren; ++c) {
    children.push_back(std::make_unique<ChildProcess>([&](Channel& ch) {
      table_test::FastRetries fast;
      DBFObject numbers(counter, true, true, "");
      DBFObject taken(log, true, true, "");
      numbers.SelectTag("", false);
      ch.Send("ready");
      if (ch.Receive() != "go") return 2;
      for (int i = 0; i < kIncrements; ++i) {
        numbers.GoRecord(xbmoFirst);
        LockRecordWaiting(numbers);
        numbers.GoRecord(xbmoCurrent);
        const double n = numbers.GetNumber("NEXT");
        numbers.PutNumber("NEXT", n + 1);
        numbers.WriteRecord(1);
        numbers.ReleaseLock();
        taken.BlankRecord();
        taken.PutNumber("NUM", n);
        taken.AppendRecord();
      }
      return 0;
    }));
  }
  for (auto& child : children) ASSERT_EQ(child->channel().Receive(), "ready");
  for (auto& child : children) child->channel().Send("go");
  for (auto& child : children) ASSERT_EQ(child->Wait(), 0);
  DBFObject t(log, true, false, "");
  std::vector<int> seen;
  for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) seen.push_back(static_cast<int>(t.GetNumber("NUM")));
  std::sort(seen.begin(), seen.end());
  std::vector<int> expected(kChildren * kIncrements);
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<int>(i) + 1;
  EXPECT_EQ(seen, expected);
}

TEST(HandlerMultiprocess, ClipLockIndexLocksNeverOutliveTheSeekOrMoveThatTookThem) {
  TempDir dir;
  std::vector<handlertest::Values> records;
  for (int i = 1; i <= 8; ++i) records.push_back({{"NAME", std::string(1, static_cast<char>('A' + i))}});
  const std::string path =
      MakeIndexedTable(dir.Path(), "T.DBF", {{"NAME", 'C', 10, 0}}, records, {TagSpec("NAME", "NAME")});
  const std::string cdx = dir.File("T.cdx");
  // Another process tries the index lock once, without waiting.
  ChildProcess prober([&](Channel& ch) {
    for (;;) {
      const std::string command = ch.Receive();
      if (command != "probe") return 0;
      XBO_DiskFile f(cdx, true, true);
      f.OpenFile();
      const bool free = f.LockRegion(1000000000, 1);
      if (free) f.UnlockRegion();
      ch.Send(free ? "free" : "held");
    }
  });
  auto probe = [&] {
    prober.channel().Send("probe");
    return prober.channel().Receive();
  };
  DBFObject t(path, true, true, "");
  t.SetLockProtocol(TxbLokProtocol::ClipLock);
  t.OpenIndexFile("T");
  struct Step {
    const char* what;
    std::function<void()> run;
  };
  std::string saved;
  int32_t root = 0;
  const Step steps[] = {
      {"seek without a master tag", [&] { EXPECT_FALSE(t.SeekKey("C")); }},
      {"seek",
       [&] {
         t.SelectTag("NAME", false);
         EXPECT_TRUE(t.SeekKey("C"));
       }},
      {"moves and skips",
       [&] {
         t.GoRecord(xbmoNext);
         t.GoRecord(xbmoLast);
         t.SkipRecords(-3);
         EXPECT_EQ(t.KeyLookup("NAME", "D"), 3);
       }},
      {"seek and move on a damaged page",
       [&] {
         root = t.MasterTag()->RootPosition();
         saved = table_test::ReadBytes(cdx).substr(static_cast<std::size_t>(root), 4);
         table_test::PatchBytes(cdx, root, std::string("\x00\x00\xFF\xFF", 4));
         EXPECT_NE(ErrorMessage<EXbaseError>([&] { t.SeekKey("C"); }), "(no error)");
         EXPECT_NE(ErrorMessage<EXbaseError>([&] { t.GoRecord(xbmoFirst); }), "(no error)");
         table_test::PatchBytes(cdx, root, saved);
       }},
      {"seek whose record read fails",
       [&] {
         std::filesystem::resize_file(path, static_cast<uintmax_t>(t.HeaderLength() + 2 * t.RecordLength() + 3));
         EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.SeekKey("H"); }), Cz("Chyba při čtení záznamu v souboru ") + path);
       }},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.run();
    EXPECT_EQ(probe(), "free");
  }
  prober.channel().Send("end");
  EXPECT_EQ(prober.Wait(), 0);
}

namespace {

// Two processes, each 1500 appends numbered from a counter record and 1500
// edits of random records that change key fields and count themselves,
// alternating between physical order and a master tag.
void TwoWriters(TxbLokProtocol protocol) {
  constexpr int kAppends = 1500;
  constexpr int kEdits = 1500;
  {
    SCOPED_TRACE(table_test::ProtocolName(protocol));
    TempDir dir;
    const std::string counter =
        MakeIndexedTable(dir.Path(), "C.DBF", {{"NEXT", 'N', 8, 0}}, {{{"NEXT", "1"}}}, {});
    const std::string path = MakeIndexedTable(dir.Path(), "J.DBF",
                                              {{"DOC", 'N', 8, 0},
                                               {"NAME", 'C', 10, 0},
                                               {"DAY", 'D', 0, 0},
                                               {"AMOUNT", 'N', 10, 2},
                                               {"EDITS", 'N', 8, 0}},
                                              {},
                                              {TagSpec("DOC", "DOC", "", 0, 0), TagSpec("NAME", "NAME"),
                                               TagSpec("DAY", "DAY"), TagSpec("BIG", "NAME", "AMOUNT > 500")});
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int c = 0; c < 2; ++c) {
      children.push_back(std::make_unique<ChildProcess>([&, c](Channel& ch) {
        BriefRetries brief;
        std::srand(static_cast<unsigned>(getpid()));
        std::mt19937 random(static_cast<unsigned>(1000 + c));
        DBFObject numbers(counter, true, true, "");
        DBFObject t(path, true, true, "");
        numbers.SetLockProtocol(protocol);
        t.SetLockProtocol(protocol);
        t.OpenIndexFile("J");
        auto fields = [&] {
          return handlertest::Values{
              {"NAME", std::string(1, static_cast<char>('A' + random() % 26)) + std::to_string(random() % 1000)},
              {"DAY", std::to_string(20200101 + random() % 28)},
              {"AMOUNT", std::to_string(random() % 1000)}};
        };
        ch.Send("ready");
        if (ch.Receive() != "go") return 2;
        int appends = 0;
        int edits = 0;
        for (int i = 0; appends < kAppends || edits < kEdits; ++i) {
          if (i % 100 == 0) t.SelectTag(i % 200 ? "NAME" : "", true);
          const bool append =
              edits >= kEdits || (appends < kAppends && (random() % 2 == 0 || t.RecordCount() == 0));
          if (append) {
            numbers.GoRecord(1);
            LockRecordWaiting(numbers);
            numbers.GoRecord(1);
            const double doc = numbers.GetNumber("NEXT");
            numbers.PutNumber("NEXT", doc + 1);
            numbers.WriteRecord(1);
            numbers.ReleaseLock();
            handlertest::Values v = fields();
            v.push_back({"DOC", std::to_string(static_cast<int>(doc))});
            v.push_back({"EDITS", "0"});
            Append(t, v);
            ++appends;
          } else {
            const int32_t n = static_cast<int32_t>(1 + random() % static_cast<unsigned>(t.RecordCount()));
            t.GoRecord(n);
            LockRecordWaiting(t);
            t.GoRecord(n);
            const double count = t.GetNumber("EDITS");
            for (const auto& [field, text] : fields()) t.PutText(field, text);
            t.PutNumber("EDITS", count + 1);
            t.WriteRecord(n);
            t.ReleaseLock();
            ++edits;
          }
          // A user's next operation never follows at once; the other writer
          // gets its turn at the locks.
          usleep(100);
        }
        return 0;
      }));
    }
    for (auto& child : children) ASSERT_EQ(child->channel().Receive(), "ready");
    for (auto& child : children) child->channel().Send("go");
    for (auto& child : children) ASSERT_EQ(child->Wait(), 0);

    std::filesystem::create_directory(dir.File("scratch"));
    const indexverify::IndexCheck check =
        indexverify::VerifyIndexes(path, {dir.File("J.cdx")}, dir.File("scratch/"));
    EXPECT_TRUE(check.Consistent()) << check.Summary();
    DBFObject t(path, true, false, "");
    t.OpenIndexFile("J");
    t.SelectTag("DOC", false);
    std::vector<int> docs;
    double edits = 0;
    for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) {
      docs.push_back(static_cast<int>(t.GetNumber("DOC")));
      edits += t.GetNumber("EDITS");
    }
    std::vector<int> expected(2 * kAppends);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<int>(i) + 1;
    EXPECT_EQ(docs, expected);
    EXPECT_EQ(edits, 2 * kEdits);
  }
}

}  // namespace

// One test per protocol keeps each within half a minute under the sanitizers.
TEST(HandlerMultiprocess, TwoWritersKeepEveryTagEqualToARebuildUnderDefault) {
  TwoWriters(TxbLokProtocol::Default);
}
TEST(HandlerMultiprocess, TwoWritersKeepEveryTagEqualToARebuildUnderDB4Lock) {
  TwoWriters(TxbLokProtocol::DB4Lock);
}
TEST(HandlerMultiprocess, TwoWritersKeepEveryTagEqualToARebuildUnderClipLock) {
  TwoWriters(TxbLokProtocol::ClipLock);
}
TEST(HandlerMultiprocess, TwoWritersKeepEveryTagEqualToARebuildUnderFoxLock) {
  TwoWriters(TxbLokProtocol::FoxLock);
}
