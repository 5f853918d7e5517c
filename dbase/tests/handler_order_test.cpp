// Order and moves of the table handler: tag order both ways, keeping the
// position across tag changes, records hidden by deletion, by the accept
// hook and by the filter set (with and without a tag), skips that jump or
// step, the written record staying current and the out-of-order flag after
// writes, physical moves during builds; the index-file slots (lists,
// refusals, renames, the 64th file, the lock byte with slot 1 empty); and
// the read-ahead window.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

std::vector<int32_t> Reversed(std::vector<int32_t> v) {
  std::reverse(v.begin(), v.end());
  return v;
}

const std::vector<TxbFieldSpec> kFields = {{"NAME", 'C', 10, 0}, {"NUM", 'N', 5, 0}, {"DAY", 'D', 0, 0}};

// NAME order: ADAM(2) ADAM(6) BENES(4) CERNY(5) NOVAK(1) ZEMAN(3);
// NUM order: 3 5 2 4 1 6.
std::string People(const TempDir& dir) {
  return MakeIndexedTable(dir.Path(), "T.DBF", kFields,
                          {{{"NAME", "NOVAK"}, {"NUM", "5"}, {"DAY", "20240105"}},
                           {{"NAME", "ADAM"}, {"NUM", "3"}, {"DAY", "20240102"}},
                           {{"NAME", "ZEMAN"}, {"NUM", "1"}, {"DAY", "20240106"}},
                           {{"NAME", "BENES"}, {"NUM", "4"}, {"DAY", "20240101"}},
                           {{"NAME", "CERNY"}, {"NUM", "2"}, {"DAY", "20240104"}},
                           {{"NAME", "ADAM"}, {"NUM", "6"}, {"DAY", "20240103"}}},
                          {{"NAME", "NAME"}, {"NUM", "NUM"}});
}

}  // namespace

TEST(HandlerOrder, TagOrderWalksBothWaysAndSelectTagKeepsThePosition) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  EXPECT_EQ(t.OpenIndexFile("T"), 0);
  EXPECT_EQ(t.SelectTag(" name ", false), 1);
  EXPECT_EQ(t.MasterTagName(), "NAME");
  EXPECT_FALSE(t.ReadAheadOn());
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{2, 6, 4, 5, 1, 3}));
  EXPECT_EQ(Walk(t, false), (std::vector<int32_t>{3, 1, 5, 4, 6, 2}));

  t.GoRecord(4);
  EXPECT_EQ(t.SelectTag("NUM", true), 1);
  EXPECT_EQ(t.RecordNumber(), 4);
  EXPECT_TRUE(t.Positioned());
  EXPECT_FALSE(t.OutOfOrder());
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.RecordNumber(), 1);  // NUM 4 -> 5
  t.SelectTag("NUM", false);
  EXPECT_EQ(t.RecordNumber(), 3);  // NUM 1 comes first

  t.GoRecord(5);
  EXPECT_EQ(t.SelectTag("", true), 0);
  EXPECT_EQ(t.MasterTag(), nullptr);
  EXPECT_TRUE(t.ReadAheadOn());
  EXPECT_EQ(t.RecordNumber(), 5);
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.RecordNumber(), 6);
  t.SelectTag("", false);
  EXPECT_EQ(t.RecordNumber(), 1);

  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.SelectTag("nope", false); }), "Cannot find index tag nope");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.SelectTag("ABCDEFGHIJKLMNOPQ", false); }), "Cannot find index tag ABCDEFGHIJKLMNOPQ");
}

TEST(HandlerOrder, HiddenRecordsArePassedOverInEveryOrder) {
  struct Case {
    const char* tag;
    bool showDeleted;
    bool rejectOdd;  // the accept hook refuses odd record numbers
    const char* filter;
    std::vector<int32_t> forward;
  };
  const Case cases[] = {
      {"", false, false, "", {1, 2, 3, 4}},
      {"", true, false, "", {1, 2, 3, 4, 5, 6}},
      {"NAME", false, false, "", {2, 4, 1, 3}},
      {"NAME", true, false, "", {2, 6, 4, 5, 1, 3}},
      {"NAME", false, true, "", {2, 4}},
      {"", true, true, "", {2, 4, 6}},
      {"", false, false, "NUM > 2", {1, 2, 4}},
      {"", true, false, "NUM > 2", {1, 2, 4, 6}},
      {"NAME", true, false, "NUM > 2", {2, 6, 4, 1}},
      {"NUM", false, true, "NUM > 2", {2, 4}},
      {"NUM", true, false, "NAME = 'ADAM'", {2, 6}},
  };
  TempDir dir;
  const std::string path = People(dir);
  {
    DBFObject t(path, false, true, "");
    t.GoRecord(5);
    ASSERT_TRUE(t.DeleteRecord());
    t.GoRecord(6);
    ASSERT_TRUE(t.DeleteRecord());
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " / " + c.filter + (c.showDeleted ? " / shown" : " / hidden") +
                 (c.rejectOdd ? " / odd refused" : ""));
    DBFObject t(path, false, true, "");
    t.OpenIndexFile("T.cdx");
    t.SetShowDeleted(c.showDeleted);
    if (c.rejectOdd) t.OnAcceptRecord = [&t] { return t.RecordNumber() % 2 == 0; };
    t.SelectTag(c.tag, false);
    if (*c.filter) {
      t.EnableFilter(true);
      t.SetFilterExpression(c.filter, false, true);
      EXPECT_TRUE(t.FilterActive());
    }
    EXPECT_EQ(Walk(t), c.forward);
    EXPECT_EQ(Walk(t, false), Reversed(c.forward));
  }
}

TEST(HandlerOrder, AFilterThatPassesNothingEndsEveryMoveAtTheEnds) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.OpenIndexFile("T.cdx");
  t.EnableFilter(true);
  for (const char* tag : {"", "NAME"}) {
    SCOPED_TRACE(tag);
    t.SelectTag(tag, false);
    t.SetFilterExpression("NUM > 100", false, true);
    // Nothing passes: every move, from anywhere, meets both ends at once.
    for (int32_t code : {xbmoFirst, xbmoLast, xbmoNext, xbmoPrevious}) {
      for (int32_t from : {0, 1, 6}) {
        SCOPED_TRACE("move " + std::to_string(code) + " from " + std::to_string(from));
        if (from) t.GoRecord(from);
        t.GoRecord(code);
        EXPECT_TRUE(t.Eof());
        EXPECT_TRUE(t.Bof());
        EXPECT_FALSE(t.Positioned());
      }
    }
    // One record passes: it is first, last, and nothing lies beyond it.
    t.SetFilterExpression("NUM = 1", false, true);
    t.GoRecord(xbmoFirst);
    EXPECT_EQ(t.RecordNumber(), 3);
    t.GoRecord(xbmoNext);
    EXPECT_TRUE(t.Eof());
    EXPECT_FALSE(t.Bof());
    t.GoRecord(xbmoLast);
    EXPECT_EQ(t.RecordNumber(), 3);
    t.GoRecord(xbmoPrevious);
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.Eof());
  }
  // Switched off, the filter hides nothing.
  t.EnableFilter(false);
  EXPECT_EQ(Walk(t).size(), 6u);
}

TEST(HandlerOrder, SkipRecordsJumpsWhenNothingIsHiddenAndStepsOtherwise) {
  struct Case {
    const char* tag;
    bool showDeleted;
    int32_t start;  // record number, or 0 for the order's first record
    int32_t n;
    int32_t record;
    bool eof;
    bool bof;
  };
  const Case cases[] = {
      {"", true, 1, 2, 3, false, false},
      {"", true, 5, 5, 6, true, false},
      {"", true, 3, -5, 1, false, true},
      {"", true, 4, 0, 4, false, false},
      {"NAME", true, 0, 3, 5, false, false},  // ADAM ADAM BENES CERNY
      {"NAME", true, 0, 10, 3, true, false},  // past ZEMAN: the last record, EOF
      {"NAME", true, 4, -1, 6, false, false},
      // Deleted 5 and 6 hidden: record by record, stopping at EOF.
      {"", false, 1, 4, 6, true, false},
      {"", false, 4, -2, 2, false, false},
      {"NAME", false, 0, 2, 1, false, false},  // ADAM(2) -> BENES(4) -> NOVAK(1)
  };
  TempDir dir;
  const std::string path = People(dir);
  {
    DBFObject t(path, false, true, "");
    t.GoRecord(5);
    t.DeleteRecord();
    t.GoRecord(6);
    t.DeleteRecord();
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " from " + std::to_string(c.start) + " by " + std::to_string(c.n));
    DBFObject t(path, false, true, "");
    t.OpenIndexFile("T.cdx");
    t.SetShowDeleted(c.showDeleted);
    t.SelectTag(c.tag, false);
    if (c.start) t.GoRecord(c.start);
    t.SkipRecords(c.n);
    EXPECT_EQ(t.Eof(), c.eof);
    EXPECT_EQ(t.Bof(), c.bof);
    if (!c.bof) {
      EXPECT_EQ(t.RecordNumber(), c.record);  // EOF keeps the last record read
    }
  }
}

TEST(HandlerOrder, WritesTellWhetherTheOrderStillReachesTheRecord) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.OpenIndexFile("T.cdx");
  t.SelectTag("NAME", false);
  ASSERT_TRUE(t.SetTagRange("A", "C", true, true, true));
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{2, 6, 4, 5}));
  Edit(t, 4, {{"NAME", "XAVER"}});
  EXPECT_TRUE(t.Positioned());
  EXPECT_TRUE(t.OutOfOrder());
  EXPECT_EQ(t.RecordNumber(), 4);
  EXPECT_FALSE(t.Eof());
  Append(t, {{"NAME", "BRANDT"}, {"NUM", "7"}});
  EXPECT_EQ(t.RecordNumber(), 7);
  EXPECT_FALSE(t.OutOfOrder());
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{2, 6, 7, 5}));

  t.SelectTag("", false);
  t.EnableFilter(true);
  t.SetFilterExpression("NUM < 5", false, true);
  Edit(t, 2, {{"NUM", "9"}});
  EXPECT_TRUE(t.OutOfOrder());
  Edit(t, 1, {{"NUM", "0"}});  // NOVAK now passes
  EXPECT_FALSE(t.OutOfOrder());
  EXPECT_EQ(Walk(t), (std::vector<int32_t>{1, 3, 4, 5}));
}

TEST(HandlerOrder, TheWrittenRecordStaysCurrentAtEitherEndOfEitherOrder) {
  // NAME order before each write: ADAM(2) ADAM(6) BENES(4) CERNY(5)
  // NOVAK(1) ZEMAN(3).
  struct Case {
    const char* what;
    int32_t record;  // 0: append
    Values values;
    int32_t current;
    int32_t next;  // in NAME order, 0 for EOF
  };
  const Case cases[] = {
      {"append inside the order", 0, {{"NAME", "MALY"}, {"NUM", "7"}}, 7, 1},
      {"append at the end of the order", 0, {{"NAME", "ZZZ"}, {"NUM", "7"}}, 7, 0},
      {"last record", 6, {{"NUM", "8"}}, 6, 4},
      {"first record", 1, {{"NUM", "8"}}, 1, 3},
      {"first in the order", 2, {{"NUM", "8"}}, 2, 6},
      {"last in the order", 3, {{"NUM", "8"}}, 3, 0},
      {"moved from last to first", 3, {{"NAME", "AAA"}}, 3, 2},
  };
  for (bool filtered : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (filtered ? ", filtered" : ""));
      TempDir dir;
      DBFObject t(People(dir), false, true, "");
      t.OpenIndexFile("T.cdx");
      t.SelectTag("NAME", false);
      if (filtered) {
        t.EnableFilter(true);
        t.SetFilterExpression("NUM < 100", false, true);
      }
      if (c.record) {
        Edit(t, c.record, c.values);
      } else {
        Append(t, c.values);
      }
      EXPECT_EQ(t.RecordNumber(), c.current);
      EXPECT_FALSE(t.Eof());
      EXPECT_FALSE(t.Bof());
      EXPECT_TRUE(t.Positioned());
      EXPECT_FALSE(t.OutOfOrder());
      EXPECT_EQ(Trim(t.GetText(c.values.front().first)), c.values.front().second);
      t.GoRecord(xbmoNext);
      if (c.next) {
        EXPECT_EQ(t.RecordNumber(), c.next);
      } else {
        EXPECT_TRUE(t.Eof());
      }
    }
  }
}

TEST(HandlerOrder, MovesArePhysicalWhileAnIndexIsBuilt) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.OpenIndexFile("T.cdx");
  t.SelectTag("NAME", false);
  // The table returns to the normal state with every record it reads.
  t.SetState(TxbTableState::BuildingIndex);
  t.GoRecord(xbmoFirst);
  EXPECT_EQ(t.RecordNumber(), 1);
  EXPECT_EQ(t.State(), TxbTableState::Normal);
  t.SetState(TxbTableState::BuildingIndex);
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.RecordNumber(), 2);
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.RecordNumber(), 6);  // by NAME again, from where the tag stood: ADAM(2) -> ADAM(6)
}

// ---------------------------------------------------------------------------
// Index-file slots

TEST(HandlerFiles, OpenIndexFilesSplitsItsListOutsideQuotes) {
  struct Case {
    const char* list;
    int result;
    std::vector<std::string> open;  // file names in slot order
  };
  const Case cases[] = {
      {"A.cdx,B.cdx", 0, {"A.cdx", "B.cdx"}},
      {"A;B", 0, {"A.cdx", "B.cdx"}},
      {"  A ; B.cdx ,;; ", 0, {"A.cdx", "B.cdx"}},
      {"\"A,1.cdx\";B", 0, {"A,1.cdx", "B.cdx"}},
      {"B;;A", 0, {"B.cdx", "A.cdx"}},
      {"A;A;B", -1, {"A.cdx"}},
      {"", 0, {}},
  };
  TempDir dir;
  const std::string path = People(dir);
  namespace fs = std::filesystem;
  for (const char* name : {"A.cdx", "B.cdx", "A,1.cdx"}) fs::copy_file(dir.File("T.cdx"), dir.File(name));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    DBFObject t(path, false, true, "");
    t.OpenIndexFile("T.cdx");
    EXPECT_EQ(t.OpenIndexFiles(c.list, c.result == 0 && !c.open.empty() ? "num" : ""), c.result);
    std::vector<std::string> open;
    for (int slot = 1; slot <= XBO_dBHandler::kIndexSlots; ++slot)
      if (t.IndexFile(slot)) open.push_back(t.IndexFile(slot)->FileName());
    EXPECT_EQ(open, c.open);
    if (c.result == 0 && !c.open.empty()) {
      EXPECT_EQ(t.MasterTagName(), "NUM");
    }
  }
}

TEST(HandlerFiles, OpenIndexFileRefusesWhatItCannotOpen) {
  TempDir dir;
  const std::string path = People(dir);
  DBFObject t(path, false, true, "");
  EXPECT_EQ(t.OpenIndexFile("T"), 0);
  EXPECT_EQ(t.OpenIndexFile(dir.File("t.CDX")), -1);
  // An extension no index format is registered for.
  dir.Write("X.idx", std::string(1024, '\0'));
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.OpenIndexFile("X.idx"); }), "File " + dir.File("X.idx") + " could not be found");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.OpenIndexFile("missing"); }),
            "File " + dir.File("missing.cdx") + " could not be found");
  // A directory header whose root lies beyond the file.
  std::filesystem::copy_file(dir.File("T.cdx"), dir.File("BROKEN.cdx"));
  table_test::PatchBytes(dir.File("BROKEN.cdx"), 0, table_test::Le32Bytes(0x7FFFFE00));
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.OpenIndexFile("BROKEN"); }), "Index file " + dir.File("BROKEN.cdx") + " is corrupted");
  EXPECT_EQ(t.IndexFileCount(), 1);
}

TEST(HandlerFiles, AnOpenFileIsKnownUnderEverySpellingOfItsName) {
  TempDir dir;
  const std::string path = People(dir);
  DBFObject t(path, false, true, "");
  ASSERT_EQ(t.OpenIndexFile("T"), 0);
  // Paths joined the Windows way, with a doubled separator or other case.
  for (const std::string& spelling : {dir.Path() + "\\T.cdx", dir.Path() + "/t.cdx",
                                      dir.Path() + "..\\" + ExtractFileName(ExcludeTrailingPathDelimiter(dir.Path())) + "\\T.CDX"})
    EXPECT_EQ(t.OpenIndexFile(spelling), -1) << spelling;
  EXPECT_EQ(t.IndexFileCount(), 1);
  EXPECT_EQ(t.CloseIndexFile(dir.Path() + "\\T.cdx"), 0);
  EXPECT_EQ(t.IndexFileCount(), 0);
}

TEST(HandlerFiles, ASixtyFourthIndexFileIsRefused) {
  TempDir dir;
  const std::string path = People(dir);
  DBFObject t(path, false, true, "");
  for (int i = 1; i <= 64; ++i)
    std::filesystem::copy_file(dir.File("T.cdx"), dir.File("I" + std::to_string(i) + ".cdx"));
  for (int i = 1; i <= 63; ++i) ASSERT_EQ(t.OpenIndexFile("I" + std::to_string(i)), 0);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.OpenIndexFile("I64"); }), "Too many index files open for table " + path);
  EXPECT_EQ(t.IndexFileCount(), 63);
  EXPECT_EQ(t.TagCount(), 126);
  EXPECT_EQ(t.TagByNumber(126)->IndexFile()->FileName(), "I63.cdx");
  EXPECT_EQ(t.CloseIndexFile("I1"), 0);
  EXPECT_EQ(t.OpenIndexFile("I64"), 0);
  EXPECT_EQ(t.IndexFile(1)->FileName(), "I64.cdx");  // the first free slot
}

TEST(HandlerFiles, ClosingAFileTakesItsMasterTagAlong) {
  TempDir dir;
  const std::string path = People(dir);
  std::filesystem::copy_file(dir.File("T.cdx"), dir.File("B.cdx"));
  DBFObject t(path, false, true, "");
  t.OpenIndexFiles("T;B", "");
  EXPECT_EQ(t.TagByNumber(3)->IndexFile()->FileName(), "B.cdx");
  EXPECT_EQ(t.SelectTag("NAME", false), 1);
  EXPECT_EQ(t.CloseIndexFile("B"), 0);
  EXPECT_EQ(t.MasterTagName(), "NAME");
  EXPECT_EQ(t.CloseIndexFile("T.CDX"), 0);
  EXPECT_EQ(t.MasterTag(), nullptr);
  EXPECT_EQ(t.CloseIndexFile("T"), 1);
  EXPECT_FALSE(t.HasIndexFiles());
  EXPECT_EQ(Walk(t).size(), 6u);
}

TEST(HandlerFiles, RenameCarriesTableMemoAndTheIndexNamedAfterTheTable) {
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "T.DBF", {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}},
                                            {{{"NAME", "A"}, {"NOTE", "memo text"}}}, {{"NAME", "NAME"}}, 0x83);
  std::filesystem::copy_file(dir.File("T.cdx"), dir.File("OTHER.cdx"));
  {
    DBFObject t(path, false, true, "");
    t.OpenIndexFiles("T,OTHER", "NAME");
    t.RenameFile(dir.File("U.DBF"));
    EXPECT_EQ(t.IndexFile(1)->FileName(), "U.cdx");
    EXPECT_EQ(t.IndexFile(2)->FileName(), "OTHER.cdx");
    t.GoRecord(xbmoFirst);
    EXPECT_EQ(t.GetText("NOTE"), "memo text");
    Append(t, {{"NAME", "B"}});
  }
  namespace fs = std::filesystem;
  // Looked up as the program looks names up: the memo follows the case of
  // the table's extension.
  for (const char* gone : {"T.DBF", "T.dbt", "T.cdx"}) EXPECT_FALSE(FileExists(dir.File(gone))) << gone;
  for (const char* there : {"U.DBF", "U.dbt", "U.cdx", "OTHER.cdx"})
    EXPECT_TRUE(FileExists(dir.File(there))) << there;
  fs::create_directory(dir.File("scratch"));
  auto check = indexverify::VerifyIndexes(dir.File("U.DBF"), {dir.File("U.cdx")}, dir.File("scratch/"));
  EXPECT_TRUE(check.Consistent()) << check.Summary();
}

TEST(HandlerFiles, HasIndexFilesLooksAtEverySlotSoTheRecordByteStaysTheSame) {
  TempDir dir;
  const std::string path = People(dir);
  std::filesystem::copy_file(dir.File("T.cdx"), dir.File("B.cdx"));
  DBFObject t(path, true, true, "");
  t.OpenIndexFiles("T,B", "");
  ASSERT_EQ(t.CloseIndexFile("T"), 0);
  EXPECT_EQ(t.IndexFile(1), nullptr);
  EXPECT_TRUE(t.HasIndexFiles());
  t.GoRecord(3);
  ASSERT_TRUE(t.LockCurrentRecord());
  // The byte every program with the table's indexes open locks, not the
  // record's own bytes.
  EXPECT_TRUE(table_test::RegionLocked(path, 0x7FFFFFFEu - 3, 1));
  EXPECT_FALSE(table_test::RegionLocked(path, 0x40000000u + t.HeaderLength() + 2 * t.RecordLength(), 1));
  t.ReleaseLock();
}

// ---------------------------------------------------------------------------
// Read-ahead

TEST(HandlerReadAhead, PhysicalWalksReadEveryRecordWhateverTheRecordLength) {
  struct Case {
    int fieldLength;  // record length = field + 1
    int records;
  };
  const Case cases[] = {{6, 9000}, {99, 1000}, {4095, 40}, {32767, 3}, {40000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fieldLength);
    TempDir dir;
    const std::string path = dir.File("R.DBF");
    CreateDbfTable(path, {{"TEXT", 'C', c.fieldLength, 0}});
    {
      DBFObject t(path, false, true, "");
      for (int i = 1; i <= c.records; ++i) Append(t, {{"TEXT", std::to_string(i)}});
    }
    DBFObject t(path, false, true, "");
    ASSERT_TRUE(t.ReadAheadAllowed() && t.ReadAheadOn());
    int expected = 1;
    for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext), ++expected) {
      ASSERT_EQ(t.RecordNumber(), expected);
      ASSERT_EQ(t.GetText("TEXT"), std::to_string(expected));
    }
    EXPECT_EQ(expected, c.records + 1);
    // Backwards, and jumping into the middle of a window.
    t.GoRecord(xbmoLast);
    t.GoRecord(xbmoPrevious);
    EXPECT_EQ(t.GetText("TEXT"), std::to_string(c.records - 1));
    t.GoRecord(c.records / 2 + 1);
    EXPECT_EQ(t.GetText("TEXT"), std::to_string(c.records / 2 + 1));
  }
}

TEST(HandlerReadAhead, WritesAndAppendsAreSeenThroughTheWindow) {
  TempDir dir;
  DBFObject t(People(dir), false, true, "");
  t.GoRecord(xbmoFirst);  // the window holds all six records now
  Edit(t, 2, {{"NAME", "ADAMEC"}});
  t.GoRecord(1);
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.GetText("NAME"), "ADAMEC");
  Append(t, {{"NAME", "NEW"}});
  t.GoRecord(6);
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.RecordNumber(), 7);
  EXPECT_EQ(t.GetText("NAME"), "NEW");
  t.GoRecord(xbmoNext);
  EXPECT_TRUE(t.Eof());
}

TEST(HandlerReadAhead, ARereadOfTheCurrentRecordOnASharedTableComesFromTheFile) {
  TempDir dir;
  const std::string path = People(dir);
  DBFObject reader(path, true, true, "");
  DBFObject writer(path, true, true, "");
  reader.GoRecord(xbmoFirst);
  reader.GoRecord(xbmoNext);  // record 2, served from the window
  Edit(writer, 2, {{"NAME", "CHANGED"}});
  reader.GoRecord(xbmoCurrent);
  EXPECT_EQ(reader.GetText("NAME"), "CHANGED");
  // Taking a record lock drops the window too.
  Edit(writer, 3, {{"NAME", "ALSO"}});
  reader.GoRecord(xbmoNext);
  ASSERT_TRUE(reader.LockCurrentRecord());
  reader.GoRecord(3);
  EXPECT_EQ(reader.GetText("NAME"), "ALSO");
  reader.ReleaseLock();
}
