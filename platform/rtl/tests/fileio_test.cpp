// Files by handle: transfers, share modes, byte-range locks between handles
// and processes, creation that never empties a file in use and renames that
// never replace.
#include "platform/rtl/fileio.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace {

// Closes a handle when the test leaves, whatever happens.
struct Handle {
  explicit Handle(THandle h) : fd(h) {}
  ~Handle() { FileClose(fd); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return fd >= 0; }
  THandle fd;
};

std::string ReadAll(THandle h) {
  std::string bytes(static_cast<std::size_t>(FileSizeOf(h)), '\0');
  FileReadAt(h, 0, bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

// Restores an environment variable when the test leaves.
struct EnvGuard {
  explicit EnvGuard(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) old_ = v;
  }
  ~EnvGuard() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(FileIo, TransfersAtPositionsAndSequentially) {
  TempDir dir;
  Handle h(FileCreate(dir.File("t.dat")));
  ASSERT_TRUE(h.ok());
  EXPECT_EQ(FileWrite(h.fd, "abcdef", 6), 6);
  EXPECT_EQ(FileWriteAt(h.fd, 10, "XY", 2), 2);  // beyond the end: gap of zeros
  EXPECT_EQ(FileSizeOf(h.fd), 12);
  char buf[16] = {};
  EXPECT_EQ(FileReadAt(h.fd, 2, buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "cde");
  EXPECT_EQ(FileReadAt(h.fd, 9, buf, 16), 3);  // short at the end of the file
  EXPECT_EQ(std::string(buf, 3), std::string("\0XY", 3));
  EXPECT_EQ(FileReadAt(h.fd, 100, buf, 4), 0);
  EXPECT_EQ(FileSeek(h.fd, -2, 2), 10);
  EXPECT_EQ(FileRead(h.fd, buf, 8), 2);
  EXPECT_TRUE(FileSetEnd(h.fd, 4));
  EXPECT_EQ(ReadAll(h.fd), "abcd");
  EXPECT_TRUE(FileFlush(h.fd));
}

TEST(FileIo, NegativePositionsAreErrorsNotWraps) {
  TempDir dir;
  Handle h(FileCreate(dir.File("t.dat")));
  ASSERT_TRUE(h.ok());
  ASSERT_EQ(FileWrite(h.fd, "abc", 3), 3);
  char buf[4];
  EXPECT_EQ(FileSeek(h.fd, -4, 2), -1);
  EXPECT_EQ(FileSeek(h.fd, -1, 0), -1);
  EXPECT_EQ(FileSeek(h.fd, 0, 1), 3);  // the failed seeks left the position alone
  EXPECT_EQ(FileSeek(h.fd, 0, 7), -1);
  EXPECT_EQ(FileReadAt(h.fd, -1, buf, 1), -1);
  EXPECT_EQ(FileWriteAt(h.fd, -1, buf, 1), -1);
  EXPECT_EQ(FileRead(h.fd, buf, -1), -1);
  EXPECT_FALSE(FileSetEnd(h.fd, -1));
  EXPECT_EQ(ReadAll(h.fd), "abc");
}

// Gathered writes land as one write of the pieces joined would: empty
// pieces anywhere, more pieces than one system call takes, a position past
// the end (a gap of zeros).
TEST(FileIo, GatheredWritesJoinThePieces) {
  struct Case {
    const char* name;
    std::vector<int> sizes;  // piece lengths; piece i is filled with 'a' + i % 26
    int64_t position;
  };
  const Case cases[] = {
      {"one piece", {7}, 0},
      {"empty pieces around and between", {0, 3, 0, 0, 5, 0}, 2},
      {"only empty pieces", {0, 0}, 1},
      {"more pieces than one call", std::vector<int>(2500, 3), 0},
      {"past the end", {4, 4}, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Handle h(FileCreate(dir.File("t.dat")));
    ASSERT_TRUE(h.ok());
    ASSERT_EQ(FileWrite(h.fd, "0123", 4), 4);
    std::vector<std::string> pieces;
    std::vector<FileSpan> spans;
    std::string joined;
    for (std::size_t i = 0; i < c.sizes.size(); ++i)
      pieces.emplace_back(static_cast<std::size_t>(c.sizes[i]), static_cast<char>('a' + i % 26));
    for (const std::string& piece : pieces) {
      spans.push_back({piece.data(), static_cast<int64_t>(piece.size())});
      joined += piece;
    }
    ASSERT_EQ(FileWriteGatherAt(h.fd, c.position, spans.data(), static_cast<int>(spans.size())),
              static_cast<int64_t>(joined.size()));
    std::string expected = "0123";
    if (!joined.empty()) {
      if (expected.size() < c.position + joined.size()) expected.resize(c.position + joined.size(), '\0');
      expected.replace(static_cast<std::size_t>(c.position), joined.size(), joined);
    }
    EXPECT_EQ(ReadAll(h.fd), expected);
  }
  TempDir dir;
  dir.Write("t.dat", "data");
  Handle r(FileOpen(dir.File("t.dat"), fmOpenRead | fmShareDenyNone));
  const FileSpan one{"x", 1};
  const FileSpan negative{"x", -1};
  EXPECT_EQ(FileWriteGatherAt(r.fd, 0, &one, 1), -1);
  Handle w(FileOpen(dir.File("t.dat"), fmOpenReadWrite | fmShareDenyNone));
  EXPECT_EQ(FileWriteGatherAt(w.fd, -1, &one, 1), -1);
  EXPECT_EQ(FileWriteGatherAt(w.fd, 0, &negative, 1), -1);
  EXPECT_EQ(dir.Read("t.dat"), "data");
}

TEST(FileIo, HandleOpenedForReadingRefusesWrites) {
  TempDir dir;
  dir.Write("t.dat", "data");
  Handle h(FileOpen(dir.File("t.dat"), fmOpenRead | fmShareDenyNone));
  ASSERT_TRUE(h.ok());
  EXPECT_TRUE(FileIsReadOnlyHandle(h.fd));
  errno = 0;
  EXPECT_EQ(FileWrite(h.fd, "x", 1), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(FileWriteAt(h.fd, 0, "x", 1), -1);
  EXPECT_FALSE(FileSetEnd(h.fd, 0));
  // ... yet it takes exclusive region locks, as the lock protocols need.
  EXPECT_TRUE(FileLockRegion(h.fd, 0x7FFFFFFE, 1));
  EXPECT_EQ(dir.Read("t.dat"), "data");

  Handle w(FileOpen(dir.File("t.dat"), fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(w.ok());
  EXPECT_FALSE(FileIsReadOnlyHandle(w.fd));
  EXPECT_FALSE(FileLockRegion(w.fd, 0x7FFFFFFE, 1));
}

TEST(FileIo, OpenFailsForMissingFilesDirectoriesAndBadModes) {
  TempDir dir;
  errno = 0;
  EXPECT_EQ(FileOpen(dir.File("missing.dbf"), fmOpenRead), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(FileOpen(dir.Path(), fmOpenRead), -1);
  EXPECT_EQ(FileCreate(dir.File("no/such/dir.dbf")), -1);
  dir.Write("t.dat", "x");
  EXPECT_EQ(FileOpen(dir.File("t.dat"), fmOpenReadWrite | 0x0050), -1);
  EXPECT_EQ(FileOpen(dir.File("t.dat"), 3), -1);
}

TEST(FileIo, NamesAreFoundCaseInsensitivelyWithEitherSeparator) {
  TempDir dir;
  dir.Write("pla0001.dbf", "journal");
  struct Case {
    std::string name;
  } cases[] = {
      {dir.File("PLA0001.DBF")},
      {dir.File("Pla0001.Dbf")},
      {dir.Path() + "sub\\..\\pla0001.dbf"},
  };
  std::string backslashed = dir.File("PLA0001.dbf");
  for (char& c : backslashed)
    if (c == '/') c = '\\';
  for (const Case& c : cases) {
    Handle h(FileOpen(c.name, fmOpenRead | fmShareDenyNone));
    ASSERT_TRUE(h.ok()) << c.name;
    EXPECT_EQ(ReadAll(h.fd), "journal") << c.name;
  }
  Handle h(FileOpen(backslashed, fmOpenRead | fmShareDenyNone));
  ASSERT_TRUE(h.ok()) << backslashed;
  EXPECT_EQ(ReadAll(h.fd), "journal");
}

TEST(FileIo, DriveLetterMapsToItsEnvironmentVariable) {
  TempDir dir;
  dir.Write("fin0000.dbf", "types");
  EnvGuard guard("DRIVE_Q");
  unsetenv("DRIVE_Q");
  errno = 0;
  EXPECT_EQ(FileOpen("Q:\\FIN0000.DBF", fmOpenRead), -1);
  EXPECT_EQ(errno, ENOENT);
  setenv("DRIVE_Q", dir.Path().c_str(), 1);
  for (const char* name : {"Q:\\FIN0000.DBF", "q:/fin0000.dbf", "Q:FIN0000.DBF"}) {
    Handle h(FileOpen(name, fmOpenRead));
    ASSERT_TRUE(h.ok()) << name;
    EXPECT_EQ(ReadAll(h.fd), "types");
  }
}

TEST(FileIo, CreateReusesAnExistingCaseVariantAndKeepsNewSpellings) {
  TempDir dir;
  dir.Write("org0000.dbf", "old");
  {
    Handle h(FileCreate(dir.File("ORG0000.DBF")));
    ASSERT_TRUE(h.ok());
    ASSERT_EQ(FileWrite(h.fd, "new", 3), 3);
  }
  EXPECT_EQ(dir.Read("org0000.dbf"), "new");
  EXPECT_NE(access(dir.File("ORG0000.DBF").c_str(), F_OK), 0);
  { Handle h(FileCreate(dir.File("Typ0000.DBF"))); }
  EXPECT_EQ(access(dir.File("Typ0000.DBF").c_str(), F_OK), 0);
}

TEST(FileIo, CreateRefusesAFileThatAnotherHandleHoldsOpen) {
  TempDir dir;
  dir.Write("pla0001.dbf", "precious");
  for (unsigned mode : {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareExclusive}) {
    Handle other(FileOpen(dir.File("pla0001.dbf"), mode));
    ASSERT_TRUE(other.ok());
    errno = 0;
    EXPECT_EQ(FileCreate(dir.File("pla0001.dbf")), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(FileCreate(dir.File("PLA0001.DBF"), fmShareDenyNone), -1);
    EXPECT_EQ(dir.Read("pla0001.dbf"), "precious");
  }
  Handle h(FileCreate(dir.File("pla0001.dbf")));
  EXPECT_TRUE(h.ok());
  EXPECT_EQ(FileSizeOf(h.fd), 0);
}

TEST(FileIo, ShareModesExcludeEachOtherWithinOneProcess) {
  TempDir dir;
  dir.Write("t.dbf", "x");
  const std::string name = dir.File("t.dbf");
  struct Case {
    unsigned first, second;
    bool secondGranted;
  } cases[] = {
      {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
      {fmOpenRead | fmShareCompat, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareExclusive, false},
      {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
      {fmOpenReadWrite | fmShareExclusive, fmOpenReadWrite | fmShareExclusive, false},
      {fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
  };
  for (const Case& c : cases) {
    Handle a(FileOpen(name, c.first));
    ASSERT_TRUE(a.ok());
    errno = 0;
    Handle b(FileOpen(name, c.second));
    EXPECT_EQ(b.ok(), c.secondGranted) << std::hex << c.first << " then " << c.second;
    if (!c.secondGranted) {
      EXPECT_EQ(errno, EACCES);
    }
  }
  // Share locks are not region locks: they never show in the counter.
  uint64_t before = SystemLockCallCount();
  { Handle a(FileOpen(name, fmOpenReadWrite | fmShareExclusive)); }
  EXPECT_EQ(SystemLockCallCount(), before);
}

TEST(FileIo, RegionLocksHoldBetweenTwoHandlesOfOneProcess) {
  TempDir dir;
  dir.Write("t.dbf", "x");
  const std::string name = dir.File("t.dbf");
  Handle a(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  Handle b(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(a.ok() && b.ok());
  ASSERT_TRUE(FileLockRegion(a.fd, 0x7FFFFFFD, 1));
  EXPECT_FALSE(FileLockRegion(b.fd, 0x7FFFFFFD, 1));
  EXPECT_FALSE(FileLockRegion(b.fd, 0x7FFFFF00, 0x200));  // overlapping
  EXPECT_TRUE(FileLockRegion(b.fd, 0x7FFFFFFE, 1));       // disjoint
  {
    // Process-owned locks would vanish here: closing any descriptor of the
    // file drops them all.
    Handle c(FileOpen(name, fmOpenRead | fmShareDenyNone));
    ASSERT_TRUE(c.ok());
  }
  EXPECT_FALSE(FileLockRegion(b.fd, 0x7FFFFFFD, 1));
  EXPECT_TRUE(FileUnlockRegion(a.fd, 0x7FFFFFFD, 1));
  EXPECT_TRUE(FileLockRegion(b.fd, 0x7FFFFFFD, 1));
}

TEST(FileIo, RegionsBeyondTwoGigabytesAndTheEndOfTheFileLock) {
  TempDir dir;
  dir.Write("t.dbf", "tiny");
  const std::string name = dir.File("t.dbf");
  Handle a(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  Handle b(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(a.ok() && b.ok());
  struct Case {
    uint64_t offset, length, probe;
  } cases[] = {
      {0x40000000u, 0xB0000000u, 0xEFFFFFFFu},  // the last byte of the region
      {0xEFFFFFFEu, 2, 0xEFFFFFFFu},
      {1000000000u, 1, 1000000000u},
      {0xFFFFFFFFu, 1, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(FileLockRegion(a.fd, c.offset, c.length)) << std::hex << c.offset;
    EXPECT_FALSE(FileLockRegion(b.fd, c.probe, 1)) << std::hex << c.offset;
    EXPECT_TRUE(FileUnlockRegion(a.fd, c.offset, c.length));
    EXPECT_TRUE(FileLockRegion(b.fd, c.probe, 1));
    EXPECT_TRUE(FileUnlockRegion(b.fd, c.probe, 1));
  }
  // The first byte past the big region stays free.
  ASSERT_TRUE(FileLockRegion(a.fd, 0x40000000u, 0xB0000000u));
  EXPECT_TRUE(FileLockRegion(b.fd, 0xF0000000u, 1));
  EXPECT_TRUE(FileLockRegion(b.fd, 0x3FFFFFFFu, 1));
  EXPECT_EQ(FileSizeOf(a.fd), 4);
}

TEST(FileIo, ZeroAndOversizedLengthsNeverReachTheSystem) {
  TempDir dir;
  dir.Write("t.dbf", "x");
  Handle a(FileOpen(dir.File("t.dbf"), fmOpenReadWrite | fmShareDenyNone));
  Handle b(FileOpen(dir.File("t.dbf"), fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(a.ok() && b.ok());
  uint64_t before = SystemLockCallCount();
  EXPECT_FALSE(FileLockRegion(a.fd, 5, 0));
  EXPECT_FALSE(FileUnlockRegion(a.fd, 5, 0));
  EXPECT_FALSE(FileLockRegion(a.fd, 0x100000000u, 1));
  EXPECT_FALSE(FileLockRegion(a.fd, 0, 0x100000000u));
  EXPECT_EQ(SystemLockCallCount(), before);
  // Nothing was locked "to infinity".
  EXPECT_TRUE(FileLockRegion(b.fd, 0xFFFFFFF0u, 1));
  EXPECT_EQ(SystemLockCallCount(), before + 1);
  EXPECT_TRUE(FileUnlockRegion(b.fd, 0xFFFFFFF0u, 1));
  EXPECT_EQ(SystemLockCallCount(), before + 2);
}

TEST(FileIo, RenameNeverReplacesAnotherFile) {
  TempDir dir;
  dir.Write("a.dbf", "A");
  dir.Write("b.dbf", "B");
  struct Case {
    std::string target;
  } refused[] = {{dir.File("b.dbf")}, {dir.File("B.DBF")}, {dir.File("missing/x.dbf")}};
  for (const Case& c : refused) {
    errno = 0;
    EXPECT_FALSE(RenameFile(dir.File("a.dbf"), c.target)) << c.target;
    EXPECT_EQ(dir.Read("a.dbf"), "A");
    EXPECT_EQ(dir.Read("b.dbf"), "B");
  }
  EXPECT_FALSE(RenameFile(dir.File("missing.dbf"), dir.File("c.dbf")));
  ASSERT_TRUE(RenameFile(dir.File("A.DBF"), dir.File("c.dbf")));
  EXPECT_EQ(dir.Read("c.dbf"), "A");
  EXPECT_NE(access(dir.File("a.dbf").c_str(), F_OK), 0);
}

TEST(FileIo, RenameMayChangeOnlyTheLetterCase) {
  TempDir dir;
  dir.Write("pla0001.cdx", "index");
  ASSERT_TRUE(RenameFile(dir.File("pla0001.cdx"), dir.File("PLA0001.CDX")));
  EXPECT_EQ(dir.Read("PLA0001.CDX"), "index");
  EXPECT_NE(access(dir.File("pla0001.cdx").c_str(), F_OK), 0);
  EXPECT_TRUE(RenameFile(dir.File("PLA0001.CDX"), dir.File("PLA0001.CDX")));
  EXPECT_EQ(dir.Read("PLA0001.CDX"), "index");
}

TEST(FileIo, RetryHelperWaitsForARegionHeldByAnotherHandle) {
  TempDir dir;
  dir.Write("t.dbt", "memo");
  Handle holder(FileOpen(dir.File("t.dbt"), fmOpenReadWrite | fmShareDenyNone));
  Handle waiter(FileOpen(dir.File("t.dbt"), fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(holder.ok() && waiter.ok());
  ASSERT_TRUE(FileLockRegion(holder.fd, 0x40000000u, 1));
  int pauses = 0;
  int attempts = 0;
  auto lock = [&] {
    ++attempts;
    return FileLockRegion(waiter.fd, 0x40000000u, 1);
  };
  auto previous = SetSleepHook([&](int ms) {
    EXPECT_EQ(ms, 50);
    ++pauses;
  });
  EXPECT_FALSE(RetryWithPause(lock));
  EXPECT_EQ(attempts, 100);
  EXPECT_EQ(pauses, 99);

  attempts = pauses = 0;
  SetSleepHook([&](int) {
    if (++pauses == 7) FileUnlockRegion(holder.fd, 0x40000000u, 1);
  });
  EXPECT_TRUE(RetryWithPause(lock));
  EXPECT_EQ(attempts, 8);
  SetSleepHook(previous);
}

// ---- between processes ----

TEST(FileIo, DenyWriteExcludesWritersWithinOneProcess) {
  TempDir dir;
  dir.Write("t.csv", "x");
  const std::string name = dir.File("t.csv");
  const unsigned denyWriteRead = fmOpenRead | fmShareDenyWrite;
  struct Case {
    unsigned first, second;
    bool secondGranted;
  } cases[] = {
      {fmOpenReadWrite | fmShareDenyNone, denyWriteRead, false},
      {fmOpenWrite | fmShareDenyNone, denyWriteRead, false},
      {denyWriteRead, fmOpenReadWrite | fmShareDenyNone, false},
      {denyWriteRead, fmOpenWrite | fmShareDenyNone, false},
      {denyWriteRead, fmOpenReadWrite | fmShareDenyWrite, false},
      {denyWriteRead, denyWriteRead, true},
      {denyWriteRead, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyNone, denyWriteRead, true},  // a read-only open is no writer
      {fmOpenReadWrite | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
      {fmOpenReadWrite | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
  };
  for (const Case& c : cases) {
    Handle a(FileOpen(name, c.first));
    ASSERT_TRUE(a.ok()) << std::hex << c.first;
    errno = 0;
    Handle b(FileOpen(name, c.second));
    EXPECT_EQ(b.ok(), c.secondGranted) << std::hex << c.first << " then " << c.second;
    if (!c.secondGranted) {
      EXPECT_EQ(errno, EACCES);
    }
  }
  // A created file is a writer too, and the writer's lock goes with its handle.
  {
    Handle created(FileCreate(name, fmShareDenyNone));
    ASSERT_TRUE(created.ok());
    EXPECT_EQ(FileOpen(name, denyWriteRead), -1);
  }
  Handle again(FileOpen(name, denyWriteRead));
  EXPECT_TRUE(again.ok());
  uint64_t before = SystemLockCallCount();
  { Handle writer(FileOpen(name, fmOpenRead | fmShareDenyWrite)); }
  EXPECT_EQ(SystemLockCallCount(), before);
}

TEST(FileIo, LinkFileReplacesAnExistingTarget) {
  TempDir dir;
  dir.Write("data.bin", "new");
  dir.Write("data.bak", "old");
  ASSERT_TRUE(LinkFile(dir.File("data.bin"), dir.File("data.bak")));
  EXPECT_EQ(dir.Read("data.bak"), "new");
  EXPECT_EQ(dir.Read("data.bin"), "new");
  ASSERT_TRUE(LinkFile(dir.File("data.bin"), dir.File("fresh.bak")));
  EXPECT_EQ(dir.Read("fresh.bak"), "new");
  EXPECT_FALSE(LinkFile(dir.File("missing.bin"), dir.File("data.bak")));
  EXPECT_EQ(dir.Read("data.bak"), "new");
}

// The child's side of the lock dialogue: it opens the file itself, then
// obeys "lock O L", "unlock O L", "open MODE", "close" and "exit" lines and
// answers "ok" or "refused".
int LockServer(Channel& channel, const std::string& name) {
  THandle h = FileOpen(name, fmOpenReadWrite | fmShareDenyNone);
  if (h < 0) return 2;
  THandle extra = kInvalidHandle;
  channel.Send("ready");
  for (;;) {
    std::string line = channel.Receive();
    if (line.empty() || line == "exit") return 0;
    if (line == "exit-holding") _exit(0);
    char verb[16] = {};
    unsigned long long a = 0, b = 0;
    std::sscanf(line.c_str(), "%15s %llx %llx", verb, &a, &b);
    bool ok = false;
    std::string v = verb;
    if (v == "lock") ok = FileLockRegion(h, a, b);
    if (v == "unlock") ok = FileUnlockRegion(h, a, b);
    if (v == "open") {
      extra = FileOpen(name, static_cast<unsigned>(a));
      ok = extra >= 0;
    }
    if (v == "close") {
      FileClose(extra);
      extra = kInvalidHandle;
      ok = true;
    }
    channel.Send(ok ? "ok" : "refused");
  }
}

std::string Ask(ChildProcess& child, const std::string& line) {
  child.channel().Send(line);
  return child.channel().Receive();
}

TEST(FileIoMultiprocess, RegionLocksExcludeOtherProcesses) {
  TempDir dir;
  dir.Write("pla0001.dbf", "x");
  const std::string name = dir.File("pla0001.dbf");
  ChildProcess child([&](Channel& ch) { return LockServer(ch, name); });
  ASSERT_EQ(child.channel().Receive(), "ready");
  Handle h(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(h.ok());

  ASSERT_EQ(Ask(child, "lock 7FFFFFFD 1"), "ok");
  ASSERT_EQ(Ask(child, "lock EFFFFFFE 2"), "ok");
  EXPECT_FALSE(FileLockRegion(h.fd, 0x7FFFFFFD, 1));
  EXPECT_FALSE(FileLockRegion(h.fd, 0xEFFFFFFF, 1));
  EXPECT_FALSE(FileLockRegion(h.fd, 0x40000000, 0xB0000000));
  EXPECT_TRUE(FileLockRegion(h.fd, 0x7FFFFFFE, 1));
  EXPECT_TRUE(FileLockRegion(h.fd, 0xF0000000u, 1));
  EXPECT_EQ(Ask(child, "lock F0000000 1"), "refused");

  ASSERT_EQ(Ask(child, "unlock EFFFFFFE 2"), "ok");
  EXPECT_TRUE(FileLockRegion(h.fd, 0xEFFFFFFE, 2));
  EXPECT_FALSE(FileLockRegion(h.fd, 0x7FFFFFFD, 1));

  // A process that ends while holding a lock frees it.
  child.channel().Send("exit-holding");
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_TRUE(FileLockRegion(h.fd, 0x7FFFFFFD, 1));
}

TEST(FileIoMultiprocess, ShareModesHoldAcrossProcesses) {
  TempDir dir;
  dir.Write("cis0001.dbf", "counter");
  const std::string name = dir.File("cis0001.dbf");
  ChildProcess child([&](Channel& ch) { return LockServer(ch, name); });
  ASSERT_EQ(child.channel().Receive(), "ready");
  // The child holds a shared open: exclusive opens and creation are refused.
  EXPECT_EQ(FileOpen(name, fmOpenReadWrite | fmShareExclusive), -1);
  EXPECT_EQ(FileCreate(name), -1);
  EXPECT_EQ(dir.Read("cis0001.dbf"), "counter");
  {
    Handle shared(FileOpen(name, fmOpenRead | fmShareDenyNone));
    EXPECT_TRUE(shared.ok());
  }
  Ask(child, "exit");
  EXPECT_EQ(child.Wait(), 0);
  Handle exclusive(FileOpen(name, fmOpenReadWrite | fmShareExclusive));
  ASSERT_TRUE(exclusive.ok());
  ChildProcess second([&](Channel& ch) {
    ch.Send(FileOpen(name, fmOpenRead | fmShareDenyNone) < 0 ? "refused" : "ok");
    return 0;
  });
  EXPECT_EQ(second.channel().Receive(), "refused");
  EXPECT_EQ(second.Wait(), 0);
}

TEST(FileIoMultiprocess, DenyWriteHoldsAcrossProcesses) {
  TempDir dir;
  dir.Write("t.csv", "x");
  const std::string name = dir.File("t.csv");
  {
    // The child holds the file open for writing.
    ChildProcess child([&](Channel& ch) { return LockServer(ch, name); });
    ASSERT_EQ(child.channel().Receive(), "ready");
    EXPECT_EQ(FileOpen(name, fmOpenRead | fmShareDenyWrite), -1);
    Handle reader(FileOpen(name, fmOpenRead | fmShareDenyNone));
    EXPECT_TRUE(reader.ok());
    Ask(child, "exit");
    EXPECT_EQ(child.Wait(), 0);
  }
  Handle denyWrite(FileOpen(name, fmOpenRead | fmShareDenyWrite));
  ASSERT_TRUE(denyWrite.ok());
  ChildProcess second([&](Channel& ch) {
    THandle w = FileOpen(name, fmOpenReadWrite | fmShareDenyNone);
    THandle r = FileOpen(name, fmOpenRead | fmShareDenyWrite);
    ch.Send(std::string(w < 0 ? "refused" : "ok") + "," + (r < 0 ? "refused" : "ok"));
    return 0;
  });
  EXPECT_EQ(second.channel().Receive(), "refused,ok");
  EXPECT_EQ(second.Wait(), 0);
}

TEST(FileIoMultiprocess, RetryEndsWhenTheOtherProcessReleases) {
  TempDir dir;
  dir.Write("t.cdx", "x");
  const std::string name = dir.File("t.cdx");
  ChildProcess child([&](Channel& ch) { return LockServer(ch, name); });
  ASSERT_EQ(child.channel().Receive(), "ready");
  ASSERT_EQ(Ask(child, "lock 7FFFFFFE 1"), "ok");
  Handle h(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(h.ok());
  int pauses = 0;
  int attempts = 0;
  auto previous = SetSleepHook([&](int) {
    if (++pauses == 3) {
      EXPECT_EQ(Ask(child, "unlock 7FFFFFFE 1"), "ok");
    }
  });
  EXPECT_TRUE(RetryWithPause([&] {
    ++attempts;
    return FileLockRegion(h.fd, 0x7FFFFFFE, 1);
  }));
  SetSleepHook(previous);
  EXPECT_EQ(attempts, 4);
  Ask(child, "exit");
  EXPECT_EQ(child.Wait(), 0);
}

// Where the system refuses write access, the file is opened read-only and
// its locks are read locks: they still keep other processes' writers out.
TEST(FileIoMultiprocess, ReadOnlyFileStillLocksOutWriters) {
  TempDir dir;
  dir.Write("ro.dbf", "frozen");
  ASSERT_EQ(chmod(dir.File("ro.dbf").c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  const std::string name = dir.File("ro.dbf");
  ChildProcess child([&](Channel& ch) {
    // The superuser may write anything; an ordinary user may not.
    if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) return 3;
    if (FileOpen(name, fmOpenReadWrite) >= 0) return 4;
    THandle h = FileOpen(name, fmOpenRead | fmShareExclusive);
    if (h < 0) return 5;
    if (!FileIsReadOnlyHandle(h) || FileWrite(h, "x", 1) != -1) return 6;
    if (!FileLockRegion(h, 0x7FFFFFFD, 1)) return 7;
    ch.Send("locked");
    ch.Receive();
    return 0;
  });
  ASSERT_EQ(child.channel().Receive(), "locked");
  // The child's read-only open stays read-only; this process may now write.
  ASSERT_EQ(chmod(name.c_str(), 0644), 0);
  Handle writer(FileOpen(name, fmOpenReadWrite | fmShareDenyNone));
  ASSERT_TRUE(writer.ok());
  EXPECT_FALSE(FileLockRegion(writer.fd, 0x7FFFFFFD, 1));
  EXPECT_TRUE(FileLockRegion(writer.fd, 0x7FFFFFFE, 1));
  EXPECT_EQ(FileOpen(name, fmOpenReadWrite | fmShareExclusive), -1);
  child.channel().Send("done");
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace

TEST(FileReplace, ATemporaryReplacesTheTargetOnlyFromTheSameDirectory) {
  TempDir dir;
  TempDir other;
  dir.Write("target.xls", "old");
  ASSERT_EQ(chmod(dir.File("target.xls").c_str(), 0640), 0);
  other.Write("elsewhere.tmp", "foreign");
  EXPECT_FALSE(ReplaceFileAtomically(other.File("elsewhere.tmp"), dir.File("target.xls")));
  EXPECT_EQ(dir.Read("target.xls"), "old");
  EXPECT_FALSE(ReplaceFileAtomically(dir.File("missing.tmp"), dir.File("target.xls")));
  EXPECT_EQ(dir.Read("target.xls"), "old");

  dir.Write("new.tmp", "new");
  ASSERT_TRUE(ReplaceFileAtomically(dir.File("new.tmp"), dir.File("target.xls")));
  EXPECT_EQ(dir.Read("target.xls"), "new");
  struct stat st;
  ASSERT_EQ(stat(dir.File("target.xls").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(FileExists(dir.File("new.tmp")));

  ASSERT_TRUE(WriteFileAtomically(dir.File("fresh.xls"), std::string("a\0b", 3)));
  EXPECT_EQ(dir.Read("fresh.xls"), std::string("a\0b", 3));
  EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/dir/x.xls"), "x"));
}
