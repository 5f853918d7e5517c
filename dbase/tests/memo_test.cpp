// Memo files of the three formats: texts of every size round trip (also
// under a password), block counts and placement, the dBase IV free chain,
// long dBase III memos of other programs, and memo edits that leave the
// stored memo alone until the record is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "dbase/table/dbf_fields.h"
#include "dbase/table/memo_file.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "testing/error_message.h"

using namespace table_test;

namespace {

struct MemoFormat {
  uint8_t version;
  int blockSize;
  const char* label;
};

const MemoFormat kFormats[] = {
    {0x83, 512, "dBase III"}, {0x8B, 512, "dBase IV 512"}, {0x8B, 64, "dBase IV 64"},
    {0xF5, 64, "FoxPro 64"},  {0xF5, 512, "FoxPro 512"},  {0x30, 64, "Visual FoxPro 64"},
};

std::string Text(std::size_t size, unsigned seed, bool avoidEndMark) {
  std::mt19937 random(seed);
  std::string s(size, '\0');
  for (char& c : s) {
    c = static_cast<char>(random() % 256);
    if (avoidEndMark && c == 0x1A) c = 'x';
  }
  return s;
}

std::vector<TxbFieldSpec> MemoFields() { return {{"ID", 'N', 5, 0}, {"NOTE", 'M', 0, 0}}; }

}  // namespace

TEST(MemoFiles, TextsOfEverySizeRoundTripInEveryFormatAndUnderAPassword) {
  const std::size_t sizes[] = {0, 1, 500, 510, 511, 512, 1000, 70000};
  for (const MemoFormat& f : kFormats) {
    for (const std::string password : {"", "memo heslo"}) {
      TempDir dir;
      const std::string path = MakeTable(dir.Path(), "m.dbf", MemoFields(), f.version, password, f.blockSize);
      // dBase III without a password ends a memo at its first 0x1A.
      const bool avoidEndMark = f.version == 0x83 && password.empty();
      {
        XBO_dBaseFld t(path, true, true, password);
        unsigned seed = 1;
        for (std::size_t size : sizes) {
          t.BlankRecord();
          t.PutNumber("ID", static_cast<double>(size));
          const std::string text = Text(size, seed++, avoidEndMark);
          t.PutMemo(2, text.data(), static_cast<int64_t>(text.size()));
          t.AppendRecord();
        }
      }
      XBO_dBaseFld t(path, true, false, password);
      unsigned seed = 1;
      for (int n = 1; n <= static_cast<int>(std::size(sizes)); ++n) {
        t.GoRecord(n);
        const std::size_t size = sizes[n - 1];
        EXPECT_EQ(t.MemoLength(2), static_cast<int64_t>(size)) << f.label << " " << size;
        EXPECT_TRUE(t.GetMemoText(2) == Text(size, seed++, avoidEndMark)) << f.label << " " << size;
        EXPECT_EQ(t.MemoBlock(2) == 0, size == 0) << f.label << " " << size;
      }
      if (!password.empty()) {
        const std::string memo = ReadBytes(MemoFileNameFor(path, f.version));
        EXPECT_EQ(memo.find(Text(500, 3, avoidEndMark).substr(0, 40)), std::string::npos) << f.label;
      }
    }
  }
}

TEST(MemoFiles, DbaseThreeTakesOneBlockFor510BytesAndTwoFor511) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "b3.dbf", MemoFields(), 0x83);
  XBO_dBaseFld t(path, false, true, "");
  const std::string memo = MemoFileNameFor(path, 0x83);
  struct Case {
    std::size_t size;
    uint32_t nextFree;
  } cases[] = {{510, 2}, {511, 4}, {1, 5}};
  for (const Case& c : cases) {
    t.BlankRecord();
    t.PutText("NOTE", std::string(c.size, 'a'));
    t.AppendRecord();
    EXPECT_EQ(Le32(ReadBytes(memo), 0), c.nextFree) << c.size;
  }
  const std::string bytes = ReadBytes(memo);
  EXPECT_EQ(bytes.substr(512 + 510, 2), "\x1A\x1A");
}

TEST(MemoFiles, RewritesReuseTheirBlocksWhenTheyFitAndMoveOtherwise) {
  for (const MemoFormat& f : kFormats) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "r.dbf", MemoFields(), f.version, "", f.blockSize);
    XBO_dBaseFld t(path, false, true, "");
    XBobjMemo& memo = t.MemoFile();
    int64_t block = 0;
    const int64_t first = memo.WriteMemo(std::string(300, 'a').data(), block, 300);
    int64_t other = 0;
    memo.WriteMemo("tail", other, 4);  // something after it
    int64_t again = first;
    EXPECT_EQ(memo.WriteMemo(std::string(100, 'b').data(), again, 100), first) << f.label;
    EXPECT_EQ(memo.ReadMemoText(first), std::string(100, 'b')) << f.label;
    int64_t longer = first;
    const int64_t moved = memo.WriteMemo(std::string(5000, 'c').data(), longer, 5000);
    if (memo.Kind() == TxbMemoKind::DBase4) {
      // dBase IV frees the old run first; it is too small, so the memo goes
      // to the end and the old blocks wait in the chain.
      EXPECT_GT(moved, other) << f.label;
      EXPECT_EQ(Le32(ReadBytes(memo.FileName()), 0), static_cast<uint32_t>(first)) << f.label;
    } else {
      EXPECT_GT(moved, other) << f.label;
    }
    EXPECT_EQ(longer, moved);
    EXPECT_EQ(memo.ReadMemoText(moved), std::string(5000, 'c')) << f.label;
    EXPECT_EQ(memo.ReadMemoText(other), "tail") << f.label;
    int64_t none = 0;
    EXPECT_EQ(memo.WriteMemo("", none, 0), 0);
  }
}

TEST(MemoFiles, DbaseFourReusesFreedRunsFirstFitSplittingAndUnlinking) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "chain.dbf", MemoFields(), 0x8B, "", 64);
  XBO_dBaseFld t(path, false, true, "");
  XBobjMemo& memo = t.MemoFile();
  const std::string file = memo.FileName();
  auto write = [&](std::size_t size, char c, int64_t old = 0) {
    int64_t block = old;
    return memo.WriteMemo(std::string(size, c).data(), block, static_cast<int64_t>(size));
  };
  auto run = [&](int64_t block) {
    const std::string b = ReadBytes(file);
    return std::pair<uint32_t, uint32_t>(Le32(b, static_cast<std::size_t>(block * 64)),
                                         Le32(b, static_cast<std::size_t>(block * 64 + 4)));
  };
  auto head = [&] { return Le32(ReadBytes(file), 0); };

  EXPECT_EQ(write(100, 'A'), 1);  // 2 blocks
  EXPECT_EQ(write(10, 'B'), 3);   // 1 block
  EXPECT_EQ(write(200, 'C'), 4);  // 4 blocks
  EXPECT_EQ(write(10, 'D'), 8);
  EXPECT_EQ(head(), 9u);

  memo.FreeMemo(4);
  EXPECT_EQ(head(), 4u);
  EXPECT_EQ(run(4), std::make_pair(9u, 4u));
  EXPECT_EQ(write(10, 'E'), 4);  // split: the rest starts at 5
  EXPECT_EQ(head(), 5u);
  EXPECT_EQ(run(5), std::make_pair(9u, 3u));

  memo.FreeMemo(1);
  EXPECT_EQ(head(), 1u);
  EXPECT_EQ(run(1), std::make_pair(5u, 2u));
  EXPECT_EQ(write(150, 'F'), 5);  // 3 blocks: the second run fits exactly and is unlinked
  EXPECT_EQ(run(1), std::make_pair(9u, 2u));

  EXPECT_EQ(write(300, 'G'), 9);  // 5 blocks: nothing fits, end of the file
  EXPECT_EQ(run(1), std::make_pair(14u, 2u));
  memo.FreeMemo(1);  // freeing twice leaves the chain as it is
  EXPECT_EQ(run(1), std::make_pair(14u, 2u));

  const struct {
    int64_t block;
    std::size_t size;
    char c;
  } kept[] = {{3, 10, 'B'}, {8, 10, 'D'}, {4, 10, 'E'}, {5, 150, 'F'}, {9, 300, 'G'}};
  for (const auto& k : kept) EXPECT_EQ(memo.ReadMemoText(k.block), std::string(k.size, k.c)) << k.block;
}

TEST(MemoFiles, LongDbaseThreeMemosOfOtherProgramsReadWholeAndSurviveARewrite) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "long.dbf", MemoFields(), 0x83);
  const std::string memoPath = MemoFileNameFor(path, 0x83);
  // Written as another program would: a 70000-byte memo at block 1, and a
  // memo that has lost its end mark at the end of the file, beyond the
  // header's next free block.
  const std::string text = Text(70000, 9, true);
  const std::string unterminated = Text(700, 10, true);
  std::string memo = ReadBytes(memoPath).substr(0, 512) + text + "\x1A\x1A";
  memo.resize(512 * ((memo.size() + 511) / 512), '\0');
  const auto lastBlock = static_cast<uint32_t>(memo.size() / 512);
  memo.replace(0, 4, Le32Bytes(lastBlock));
  WriteBytes(memoPath, memo + unterminated);
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    t.PutRaw("NOTE", "1");
    t.AppendRecord();
    t.BlankRecord();
    t.PutRaw("NOTE", std::to_string(lastBlock));
    t.AppendRecord();
    t.GoRecord(1);
    EXPECT_EQ(t.MemoLength(2), 70000);
    EXPECT_TRUE(t.GetMemoText(2) == text);
    t.GoRecord(2);
    EXPECT_TRUE(t.GetMemoText(2) == unterminated);
    // A rewrite keeps every byte and goes behind everything in the file.
    t.GoRecord(1);
    t.PutText("NOTE", t.GetText("NOTE") + "!");
    t.WriteRecord(1);
    EXPECT_GT(t.MemoBlock(2), lastBlock);
  }
  XBO_dBaseFld t(path, false, false, "");
  t.GoRecord(1);
  EXPECT_TRUE(t.GetMemoText(2) == text + "!");
  EXPECT_TRUE(ReadBytes(memoPath).substr(lastBlock * 512, 700) == unterminated);
}

TEST(MemoFiles, EditsLeaveTheStoredMemoIntactUntilTheRecordIsWritten) {
  for (const MemoFormat& f : kFormats) {
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "edit.dbf", MemoFields(), f.version, "", f.blockSize);
    XBO_dBaseFld t(path, true, true, "");
    t.BlankRecord();
    t.PutText("NOTE", std::string(400, 'o'));
    t.AppendRecord();
    const int64_t stored = t.MemoBlock(2);

    // Edit: a shorter text goes elsewhere; the stored record still reads
    // the old text (as after a cancel or a crash).
    t.GoRecord(1);
    t.PutText("NOTE", "short");
    const int64_t firstWrite = t.MemoBlock(2);
    EXPECT_NE(firstWrite, stored) << f.label;
    {
      XBO_dBaseFld other(path, true, false, "");
      other.GoRecord(1);
      EXPECT_EQ(other.GetText("NOTE"), std::string(400, 'o')) << f.label;
    }
    // A second write in the same edit reuses its own block.
    t.PutText("NOTE", "shorter");
    EXPECT_EQ(t.MemoBlock(2), firstWrite) << f.label;
    t.WriteRecord(1);
    {
      XBO_dBaseFld other(path, true, false, "");
      other.GoRecord(1);
      EXPECT_EQ(other.GetText("NOTE"), "shorter") << f.label;
    }
    if (t.MemoFile().Kind() == TxbMemoKind::DBase4) {
      // The dropped memo went back to the chain when the record was
      // written, and the next memo takes it.
      EXPECT_EQ(Le32(ReadBytes(t.MemoFile().FileName()), 0), static_cast<uint32_t>(stored)) << f.label;
      t.BlankRecord();
      t.PutText("NOTE", "next");
      EXPECT_EQ(t.MemoBlock(2), stored) << f.label;
    }
    // Cancelling: re-reading the record brings the stored pointer back.
    t.GoRecord(1);
    t.PutText("NOTE", "cancelled");
    t.GoRecord(xbmoCurrent);
    EXPECT_EQ(t.GetText("NOTE"), "shorter") << f.label;

    // An empty text stores block 0.
    t.GoRecord(1);
    t.PutText("NOTE", "");
    EXPECT_EQ(t.MemoBlock(2), 0) << f.label;
    EXPECT_EQ(t.GetRaw("NOTE"), f.version == 0x30 ? std::string(4, '\0') : std::string(10, ' ')) << f.label;
  }
}

TEST(MemoFiles, VisualFoxProKeepsTheBlockNumberAsFourBytes) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "vfp.dbf", MemoFields(), 0x30, "", 64);
  EXPECT_EQ(static_cast<unsigned char>(ReadBytes(path)[28]), 0x02);
  XBO_dBaseFld t(path, false, true, "");
  t.BlankRecord();
  EXPECT_EQ(t.GetRaw("NOTE"), std::string(4, '\0'));
  t.PutText("NOTE", "visual");
  EXPECT_EQ(t.GetRaw("NOTE"), Le32Bytes(8));  // after the 512-byte header
  t.AppendRecord();
  const std::string memo = ReadBytes(MemoFileNameFor(path, 0x30));
  EXPECT_EQ(Be32(memo, 8 * 64), 1u);
  EXPECT_EQ(Be32(memo, 8 * 64 + 4), 6u);
  EXPECT_EQ(memo.substr(8 * 64 + 8, 6), "visual");
}

TEST(MemoFiles, WritersWaitForTheMemoLockAndGiveUpWithAnError) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "lock.dbf", MemoFields(), 0xF5, "", 64);
  XBO_dBaseFld a(path, true, true, "");
  XBO_dBaseFld b(path, true, true, "");
  a.MemoFile().LockMemo();
  int attempts = 0;
  auto previous = SetSleepHook([&](int ms) {
    EXPECT_EQ(ms, 50);
    ++attempts;
  });
  b.BlankRecord();
  EXPECT_EQ(ErrorMessage([&] { b.PutText("NOTE", "blocked"); }), "Can not Lock file " + b.MemoFile().FileName());
  SetSleepHook(previous);
  EXPECT_EQ(attempts, 99);
  EXPECT_EQ(b.MemoBlock(2), 0);  // the failed write left the old pointer
  a.MemoFile().UnlockMemo();
  b.PutText("NOTE", "free");
  EXPECT_GT(b.MemoBlock(2), 0);
}

// Other xBase programs allocate holding only the memo's first byte: a
// writer of ours waits for it under every protocol, and holds nothing once
// it gives up.
TEST(MemoFiles, WritersWaitForTheFirstByteOtherProgramsAllocateUnder) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "first.dbf", MemoFields(), 0xF5, "", 64);
  XBO_DiskFile other(MemoFileNameFor(path, 0xF5), true, true);
  other.OpenFile();
  for (TxbLokProtocol protocol : {TxbLokProtocol::Default, TxbLokProtocol::DB4Lock, TxbLokProtocol::ClipLock,
                                  TxbLokProtocol::FoxLock}) {
    SCOPED_TRACE(static_cast<int>(protocol));
    XBO_dBaseFld t(path, true, true, "");
    t.SetLockProtocol(protocol);
    ASSERT_TRUE(other.LockRegion(0, 1));
    int pauses = 0;
    auto previous = SetSleepHook([&](int) {
      if (++pauses == 5) other.UnlockRegion();
    });
    t.BlankRecord();
    t.PutText("NOTE", "after the other program");
    EXPECT_EQ(pauses, 5);
    ASSERT_TRUE(other.LockRegion(0, 1));
    pauses = 0;
    SetSleepHook([&](int) { ++pauses; });
    EXPECT_EQ(ErrorMessage([&] { t.PutText("NOTE", "never"); }), "Can not Lock file " + t.MemoFile().FileName());
    SetSleepHook(previous);
    EXPECT_EQ(pauses, 99);
    EXPECT_EQ(t.MemoFile().LockCount(), 0);
    other.UnlockRegion();
  }
}

TEST(MemoFiles, AMissingMemoFileIsNamedOnlyWhenAMemoIsNeeded) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "nomemo.dbf", MemoFields(), 0x83);
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    t.PutText("NOTE", "x");
    t.AppendRecord();
    t.BlankRecord();
    t.AppendRecord();
  }
  std::filesystem::remove(MemoFileNameFor(path, 0x83));
  XBO_dBaseFld t(path, false, true, "");
  t.GoRecord(2);
  EXPECT_EQ(t.GetText("NOTE"), "");
  t.GoRecord(1);
  EXPECT_EQ(ErrorMessage([&] { t.GetText("NOTE"); }), "File " + MemoFileNameFor(t.FileName(), 0x83) + " could not be found");
}

TEST(MemoFiles, ShortDbaseFourHeadersArePaddedOnlyWhenWritable) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "pad.dbf", MemoFields(), 0x8B, "", 512);
  const std::string memo = MemoFileNameFor(path, 0x8B);
  WriteBytes(memo, ReadBytes(memo).substr(0, 24));  // as some writers leave it
  {
    XBO_dBaseFld t(path, true, false, "");
    t.MemoFile();
    EXPECT_EQ(SizeOf(memo), 24);
  }
  XBO_dBaseFld t(path, true, true, "");
  t.MemoFile();
  EXPECT_EQ(SizeOf(memo), 512);
  t.BlankRecord();
  t.PutText("NOTE", "first");
  EXPECT_EQ(t.MemoBlock(2), 1);
}
