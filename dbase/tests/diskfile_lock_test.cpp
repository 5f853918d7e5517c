// Region locks of XBO_DiskFile: the counted lock of one handle, exclusion
// between handles of one process and between processes, share modes, and
// the retry helper driven without a clock.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

#include "dbase/base/disk_file.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace {

// Offsets the table lock protocols use, all beyond the end of any file.
constexpr uint64_t kHigh = 0x7FFFFFFD;
constexpr uint64_t kDb4Record = 0xEFFFFFFE;
constexpr uint64_t kFoxBase = 0x40000000;
constexpr uint64_t kFoxLength = 0xB0000000;

std::string OpenError(XBO_DiskFile& file) {
  try {
    file.OpenFile();
  } catch (const EXbaseError& e) {
    return e.Message();
  }
  return "(opened)";
}

// Replaces the sleep with a counter (and an optional action) for one test.
class SleepCounter {
 public:
  explicit SleepCounter(std::function<void(int)> onPause = {}) : onPause_(std::move(onPause)) {
    previous_ = SetSleepHook([this](int ms) {
      ++pauses_;
      totalMs_ += ms;
      if (onPause_) onPause_(pauses_);
    });
  }
  ~SleepCounter() { SetSleepHook(previous_); }
  int pauses() const { return pauses_; }
  int totalMs() const { return totalMs_; }

 private:
  std::function<void(int)> onPause_;
  std::function<void(int)> previous_;
  int pauses_ = 0;
  int totalMs_ = 0;
};

class DiskFileLock : public ::testing::Test {
 protected:
  void SetUp() override { dir_.Write("t.dbf", "table"); }
  std::string Name() const { return dir_.File("t.dbf"); }

  TempDir dir_;
};

TEST_F(DiskFileLock, TheSameRegionNestsAndOnlyTheLastUnlockReleasesIt) {
  XBO_DiskFile a(Name(), true, true), b(Name(), true, true);
  a.OpenFile();
  b.OpenFile();
  uint64_t calls = SystemLockCallCount();
  ASSERT_TRUE(a.LockRegion(kHigh, 1));
  ASSERT_TRUE(a.LockRegion(kHigh, 1));
  EXPECT_EQ(a.LockCount(), 2);
  EXPECT_EQ(SystemLockCallCount() - calls, 1u);

  EXPECT_TRUE(a.UnlockRegion());
  EXPECT_FALSE(b.LockRegion(kHigh, 1));  // still held after the first unlock
  EXPECT_TRUE(a.UnlockRegion());
  EXPECT_EQ(a.LockCount(), 0);
  EXPECT_TRUE(b.LockRegion(kHigh, 1));
  EXPECT_TRUE(a.UnlockRegion());  // nothing held: still a success
  EXPECT_EQ(a.LockCount(), 0);
}

TEST_F(DiskFileLock, ADifferentRegionFailsWithoutTouchingTheHeldOne) {
  XBO_DiskFile a(Name(), true, true), b(Name(), true, true);
  a.OpenFile();
  b.OpenFile();
  ASSERT_TRUE(a.LockRegion(kHigh, 1));
  uint64_t calls = SystemLockCallCount();
  EXPECT_FALSE(a.LockRegion(kHigh + 1, 1));
  EXPECT_FALSE(a.LockRegion(kHigh, 2));
  EXPECT_EQ(SystemLockCallCount(), calls);
  EXPECT_EQ(a.LockCount(), 1);
  EXPECT_EQ(a.LockOffset(), kHigh);
  EXPECT_EQ(a.LockLength(), 1u);
  EXPECT_FALSE(b.LockRegion(kHigh, 1));
}

TEST_F(DiskFileLock, ClosingReleasesANestedLockOnce) {
  XBO_DiskFile a(Name(), true, true), b(Name(), true, true);
  a.OpenFile();
  b.OpenFile();
  ASSERT_TRUE(a.LockRegion(kDb4Record, 2));
  a.AddLockLevel();
  ASSERT_TRUE(a.LockRegion(kDb4Record, 2));
  EXPECT_EQ(a.LockCount(), 3);
  uint64_t calls = SystemLockCallCount();
  EXPECT_TRUE(a.CloseFile());
  EXPECT_EQ(SystemLockCallCount() - calls, 1u);
  EXPECT_EQ(a.LockCount(), 0);
  EXPECT_TRUE(b.LockRegion(kDb4Record, 2));
  EXPECT_FALSE(a.LockRegion(0, 1));  // a closed file holds no locks
}

TEST_F(DiskFileLock, AFileOpenedWithoutSharingNeverAsksTheSystem) {
  XBO_DiskFile file(Name(), false, true);
  file.OpenFile();
  uint64_t calls = SystemLockCallCount();
  EXPECT_TRUE(file.LockRegion(kHigh, 1));
  EXPECT_TRUE(file.LockRegion(kFoxBase, kFoxLength));  // any region, any number of times
  EXPECT_TRUE(file.LockWholeFile());
  EXPECT_EQ(file.LockCount(), 2);
  EXPECT_TRUE(file.UnlockRegion());
  EXPECT_TRUE(file.UnlockRegion());
  EXPECT_TRUE(file.UnlockRegion());
  EXPECT_EQ(file.LockCount(), 0);
  EXPECT_EQ(SystemLockCallCount(), calls);
}

TEST_F(DiskFileLock, HandlesOfOneProcessExcludeEachOther) {
  XBO_DiskFile a(Name(), true, true), b(Name(), true, false);
  a.OpenFile();
  b.OpenFile();
  ASSERT_TRUE(a.LockRegion(kHigh, 1));
  EXPECT_FALSE(b.LockRegion(kHigh, 1));
  EXPECT_EQ(b.LockCount(), 0);
  EXPECT_TRUE(b.LockRegion(kHigh + 1, 1));  // a disjoint region is free

  // Closing an unrelated handle of the same file leaves a's lock in place
  // (process-owned locks would all go with it).
  {
    XBO_DiskFile c(Name(), true, false);
    c.OpenFile();
    c.CloseFile();
  }
  EXPECT_TRUE(b.UnlockRegion());
  EXPECT_FALSE(b.LockRegion(kHigh, 1));

  EXPECT_TRUE(a.UnlockRegion());
  EXPECT_TRUE(b.LockRegion(kHigh, 1));
  EXPECT_TRUE(b.UnlockRegion());

  // Regions above 2^31 and the whole-file region.
  ASSERT_TRUE(a.LockRegion(kFoxBase, kFoxLength));
  EXPECT_FALSE(b.LockRegion(kDb4Record, 2));
  EXPECT_FALSE(b.LockWholeFile());
  EXPECT_TRUE(b.LockRegion(kFoxBase - 1, 1));
  EXPECT_TRUE(a.UnlockRegion());
  EXPECT_TRUE(b.UnlockRegion());
  EXPECT_TRUE(b.LockWholeFile());
  EXPECT_FALSE(a.LockRegion(0, 1));
}

TEST_F(DiskFileLock, ExclusiveAndSharedOpensExcludeEachOther) {
  XBO_DiskFile shared(Name(), true, true), exclusive(Name(), false, true);
  shared.OpenFile();
  EXPECT_EQ(OpenError(exclusive), "Access denied to file " + Name());
  EXPECT_TRUE(exclusive.Closed());
  XBO_DiskFile sharedToo(Name(), true, false);
  EXPECT_EQ(OpenError(sharedToo), "(opened)");
  shared.CloseFile();
  sharedToo.CloseFile();

  EXPECT_EQ(OpenError(exclusive), "(opened)");
  EXPECT_EQ(OpenError(shared), "Access denied to file " + Name());
  XBO_DiskFile exclusiveToo(Name(), false, false);
  EXPECT_EQ(OpenError(exclusiveToo), "Access denied to file " + Name());
}

TEST_F(DiskFileLock, RetryGivesUpAfterAHundredAttemptsWithoutSleeping) {
  XBO_DiskFile holder(Name(), true, true), waiter(Name(), true, true);
  holder.OpenFile();
  waiter.OpenFile();
  ASSERT_TRUE(holder.LockRegion(kHigh, 1));
  SleepCounter sleeps;
  uint64_t calls = SystemLockCallCount();
  EXPECT_FALSE(LockRegionWithRetry(waiter, kHigh, 1));
  EXPECT_EQ(SystemLockCallCount() - calls, 100u);
  EXPECT_EQ(sleeps.pauses(), 99);
  EXPECT_EQ(sleeps.totalMs(), 99 * 50);
  EXPECT_EQ(waiter.LockCount(), 0);
}

TEST_F(DiskFileLock, RetrySucceedsRightAfterTheHolderLetsGo) {
  for (int releaseAt : {1, 5, 99}) {
    XBO_DiskFile holder(Name(), true, true), waiter(Name(), true, true);
    holder.OpenFile();
    waiter.OpenFile();
    ASSERT_TRUE(holder.LockRegion(kHigh, 1));
    SleepCounter sleeps([&](int pause) {
      if (pause == releaseAt) holder.UnlockRegion();
    });
    uint64_t calls = SystemLockCallCount();
    EXPECT_TRUE(LockRegionWithRetry(waiter, kHigh, 1)) << releaseAt;
    EXPECT_EQ(sleeps.pauses(), releaseAt);
    // releaseAt refused attempts, one unlock by the holder, one granted attempt.
    EXPECT_EQ(SystemLockCallCount() - calls, static_cast<uint64_t>(releaseAt) + 2);
    EXPECT_EQ(waiter.LockCount(), 1);
  }
}

// A child process that opens the file itself, takes a region and answers
// commands: "release", "exit".
int LockingChild(Channel& channel, const std::string& name, uint64_t offset, uint64_t length) {
  XBO_DiskFile file(name, true, true);
  file.OpenFile();
  if (!file.LockRegion(offset, length)) {
    channel.Send("refused");
    return 2;
  }
  channel.Send("locked");
  for (;;) {
    std::string command = channel.Receive();
    if (command == "release") {
      file.UnlockRegion();
      channel.Send("released");
    } else {
      return 0;  // "exit", or the parent went away: leave holding whatever is held
    }
  }
}

// Children must open their files themselves: a descriptor inherited over
// fork shares its locks with the parent.
class DiskFileLockMultiprocess : public DiskFileLock {};

TEST_F(DiskFileLockMultiprocess, LocksExcludeOtherProcessesUntilReleased) {
  struct Region {
    uint64_t offset, length;
  } regions[] = {{kHigh, 1}, {kDb4Record, 2}, {kFoxBase, kFoxLength}};
  XBO_DiskFile file(Name(), true, true);
  file.OpenFile();
  for (const Region& r : regions) {
    SCOPED_TRACE(r.offset);
    ChildProcess child([&](Channel& ch) { return LockingChild(ch, Name(), r.offset, r.length); });
    ASSERT_EQ(child.channel().Receive(), "locked");
    EXPECT_FALSE(file.LockRegion(r.offset, r.length));
    EXPECT_FALSE(file.LockRegion(r.offset + r.length - 1, 1));  // overlapping
    EXPECT_TRUE(file.LockRegion(r.offset - 1, 1));              // disjoint
    EXPECT_TRUE(file.UnlockRegion());
    EXPECT_TRUE(file.LockRegion(r.offset + r.length, 1));
    EXPECT_TRUE(file.UnlockRegion());

    child.channel().Send("release");
    ASSERT_EQ(child.channel().Receive(), "released");
    EXPECT_TRUE(file.LockRegion(r.offset, r.length));
    EXPECT_TRUE(file.UnlockRegion());
    child.channel().Send("exit");
    EXPECT_EQ(child.Wait(), 0);
  }
}

TEST_F(DiskFileLockMultiprocess, AProcessThatEndsHoldingALockFreesIt) {
  XBO_DiskFile file(Name(), true, true);
  file.OpenFile();
  {
    ChildProcess child([&](Channel& ch) { return LockingChild(ch, Name(), kHigh, 1); });
    ASSERT_EQ(child.channel().Receive(), "locked");
    EXPECT_FALSE(file.LockRegion(kHigh, 1));
    child.channel().Send("exit");
    EXPECT_EQ(child.Wait(), 0);
  }
  EXPECT_TRUE(file.LockRegion(kHigh, 1));
  EXPECT_TRUE(file.UnlockRegion());
  {
    ChildProcess child([&](Channel& ch) { return LockingChild(ch, Name(), kHigh, 1); });
    ASSERT_EQ(child.channel().Receive(), "locked");
    child.Kill(SIGKILL);
    EXPECT_EQ(child.Wait(), 128 + SIGKILL);
  }
  EXPECT_TRUE(file.LockRegion(kHigh, 1));
}

TEST_F(DiskFileLockMultiprocess, ShareModesHoldAcrossProcesses) {
  {
    ChildProcess child([&](Channel& ch) {
      XBO_DiskFile own(Name(), false, true);
      own.OpenFile();
      ch.Send("open");
      ch.Receive();
      return 0;
    });
    ASSERT_EQ(child.channel().Receive(), "open");
    XBO_DiskFile shared(Name(), true, false);
    EXPECT_EQ(OpenError(shared), "Access denied to file " + Name());
    child.channel().Send("exit");
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(OpenError(shared), "(opened)");
  }
  XBO_DiskFile shared(Name(), true, false);
  shared.OpenFile();
  ChildProcess child([&](Channel& ch) {
    XBO_DiskFile own(Name(), false, true);
    ch.Send(OpenError(own));
    return 0;
  });
  EXPECT_EQ(child.channel().Receive(), "Access denied to file " + Name());
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DiskFileLockMultiprocess, RetryWaitsForAnotherProcessToRelease) {
  ChildProcess child([&](Channel& ch) { return LockingChild(ch, Name(), kHigh, 1); });
  ASSERT_EQ(child.channel().Receive(), "locked");
  XBO_DiskFile file(Name(), true, true);
  file.OpenFile();
  SleepCounter sleeps([&](int pause) {
    if (pause == 3) {
      child.channel().Send("release");
      EXPECT_EQ(child.channel().Receive(), "released");
    }
  });
  uint64_t calls = SystemLockCallCount();
  EXPECT_TRUE(LockRegionWithRetry(file, kHigh, 1));
  EXPECT_EQ(sleeps.pauses(), 3);
  EXPECT_EQ(SystemLockCallCount() - calls, 4u);  // granted at the fourth attempt
  child.channel().Send("exit");
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
