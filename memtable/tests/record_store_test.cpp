// The record store: layout of the data area, supported types, slots and
// unique numbers, store properties, ownership of value blocks, the unique
// counter's limit and tables of many fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_store.h"
#include "memtable/tests/memtable_test_support.h"

namespace {

using mttest::ExpectError;

TEST(RecordStore, LaysOutSlotsByTypeAndPerformance) {
  struct Case {
    TFieldType type;
    int size;
    TmtPerformance performance;
    int width;        // bytes of the in-line value (0: out of line)
    uint8_t flags;    // out-of-line and compressed bits
  } cases[] = {
      {ftString, 12, mtpfFast, 13, 0},       {ftString, 12, mtpfBalanced, 13, 0},
      {ftString, 12, mtpfSmall, 13, 0},      {ftString, 13, mtpfFast, 14, 0},
      {ftString, 13, mtpfBalanced, 0, 1},    {ftString, 13, mtpfSmall, 0, 3},
      {ftFixedChar, 20, mtpfBalanced, 0, 1}, {ftBytes, 13, mtpfBalanced, 0, 1},
      {ftVarBytes, 13, mtpfFast, 15, 0},     {ftSmallint, 0, mtpfSmall, 2, 0},
      {ftWord, 0, mtpfFast, 2, 0},           {ftBoolean, 0, mtpfFast, 2, 0},
      {ftInteger, 0, mtpfFast, 4, 0},        {ftAutoInc, 0, mtpfFast, 4, 0},
      {ftFloat, 0, mtpfFast, 8, 0},          {ftCurrency, 0, mtpfFast, 8, 0},
      {ftDate, 0, mtpfFast, 8, 0},           {ftTime, 0, mtpfFast, 8, 0},
      {ftDateTime, 0, mtpfFast, 8, 0},       {ftLargeint, 0, mtpfFast, 8, 0},
      {ftBCD, 4, mtpfFast, 34, 0},           {ftMemo, 0, mtpfFast, 0, 1},
      {ftBlob, 0, mtpfSmall, 0, 3},
  };
  for (const Case& c : cases) {
    TmtMemTable t;
    t.SetPerformance(c.performance);
    t.FieldDefs().Add("F", c.type, c.size);
    t.FieldDefs().Add("N", ftInteger);
    t.Open();
    TmtCommon* s = t.Store();
    std::string what = FieldTypeName(c.type) + " " + std::to_string(c.size) + " mode " +
                       std::to_string(c.performance);
    EXPECT_EQ(s->FieldFlags(1) & 3, c.flags) << what;
    int inLine = c.width ? c.width + 1 : 0;
    EXPECT_EQ(s->FieldOffset(2), inLine) << what;  // the integer follows the first slot
    EXPECT_EQ(s->FixedDataSize(), inLine + 5) << what;
    EXPECT_EQ(s->BookmarkAreaStart(), s->FixedDataSize()) << what;
    EXPECT_EQ(s->VarAreaStart(), s->BookmarkAreaStart() + kBookmarkEntrySize) << what;
    EXPECT_EQ(s->VarFieldCount(), c.width ? 0 : 1) << what;
    if (!c.width) {
      EXPECT_EQ(s->FieldOffset(1), s->VarAreaStart()) << what;
    }
    EXPECT_EQ(s->DataSize(), s->VarAreaStart() + kVarEntrySize * s->VarFieldCount()) << what;
    EXPECT_EQ(s->RecordSize(), static_cast<int>(sizeof(MemTableRecordHeader)) + s->DataSize());
  }
}

TEST(RecordStore, ExpandsStructuredFieldsAndPlacesTheCalculatedArea) {
  TmtMemTable t;
  t.SetAttachMaxCount(3);
  t.FieldDefs().Add("A", ftInteger);
  TFieldDef* point = t.FieldDefs().Add("P", ftADT);
  point->ChildDefs().Add("X", ftSmallint);
  point->ChildDefs().Add("Y", ftString, 20);
  TFieldDef* list = t.FieldDefs().Add("L", ftArray, 3);
  list->ChildDefs().Add("E", ftInteger);
  t.SetPerformance(mtpfBalanced);
  t.Open();
  TmtCommon* s = t.Store();
  // Walk: A=1, P=2, X=3, Y=4 (out of line), L=5, L[0..2]=6..8.
  EXPECT_EQ(s->DataFieldCount(), 8);
  std::vector<int> offsets;
  for (int n = 1; n <= 8; ++n) offsets.push_back(s->FieldOffset(n));
  int var = s->VarAreaStart();
  EXPECT_EQ(offsets, (std::vector<int>{0, -1, 5, var, -1, 8, 13, 18}));
  EXPECT_EQ(s->FixedDataSize(), 23);
  EXPECT_EQ(s->VarAreaStart() - s->BookmarkAreaStart(), 3 * kBookmarkEntrySize);
  // Parts read and write through their own names.
  t.Append();
  t.FieldByName("X")->SetAsInteger(-7);
  t.FieldByName("Y")->SetAsString("twenty characters ok");
  t.FieldByName("L[2]")->SetAsInteger(99);
  t.Post();
  t.First();
  EXPECT_EQ(t.FieldByName("X")->AsInteger(), -7);
  EXPECT_EQ(t.FieldByName("Y")->AsString(), "twenty characters ok");
  EXPECT_EQ(t.FieldByName("L[2]")->AsInteger(), 99);
  EXPECT_TRUE(t.FieldByName("L[0]")->IsNull());
  t.Close();

  // Calculated and lookup values live after the in-line slots.
  TmtMemTable c;
  c.FieldDefs().Add("N", ftInteger);
  auto* n = new TIntegerField(&c);
  n->SetFieldName("N");
  n->SetDataSet(&c);
  auto* twice = new TIntegerField(&c);
  twice->SetFieldName("TWICE");
  twice->SetFieldKind(fkCalculated);
  twice->SetDataSet(&c);
  c.OnCalcFields = [&](TDataSet*) { twice->SetAsInteger(n->AsInteger() * 2); };
  c.Open();
  EXPECT_EQ(c.Store()->CalcAreaStart(), 5);
  EXPECT_EQ(c.Store()->BookmarkAreaStart(), 5 + c.CalcFieldsSize());
  c.Append();
  n->SetAsInteger(21);
  c.Post();
  EXPECT_EQ(twice->AsInteger(), 42);
}

TEST(RecordStore, RefusesUnsupportedTypesAndEmptyDefinitions) {
  for (TFieldType type : {ftWideString, ftCursor}) {
    TmtMemTable t;
    t.FieldDefs().Add("W", type, 10);
    ExpectError<EMemTableError>([&] { t.Open(); },
                                "Fielddef W (W) Datatype " + std::to_string(type) +
                                    " not supported.)");
    EXPECT_FALSE(t.Active());
  }
  TmtMemTable empty;
  ExpectError<EMemTableError>([&] { empty.Open(); }, "There must be at least one field");
}

TEST(RecordStore, ReusesFreedSlotsWithNewUniqueNumbers) {
  TmtMemTable t;
  t.FieldDefs().Add("N", ftInteger);
  t.Open();
  for (int i = 0; i < 3; ++i) {
    t.Append();
    t.FieldByName("N")->SetAsInteger(i);
    t.Post();
  }
  t.First();
  t.Next();  // slot 1
  t.Delete();
  EXPECT_EQ(t.Store()->RecordCount(), 3);  // the empty slot still counts
  t.Append();
  t.FieldByName("N")->SetAsInteger(9);
  t.Post();
  PMemRecord reused = t.Store()->Record(1);
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->uniqueNumber, 3);
  EXPECT_EQ(t.Store()->RecordCount(), 3);
}

TEST(RecordStore, PropertiesAndTheirRefusals) {
  TmtMemTable t;
  EXPECT_EQ(t.LocaleID(), 1024u);
  EXPECT_EQ(t.LanguageID(), 0);
  EXPECT_EQ(t.SubLanguageID(), 1);
  EXPECT_EQ(t.SortID(), 0);
  t.SetLanguageID(5);  // Czech, sub-language 1
  EXPECT_EQ(t.LocaleID(), 0x0405u);
  t.SetSortID(1);
  EXPECT_EQ(t.LocaleID(), 0x10405u);
  t.SetLocaleID(0x041B);
  EXPECT_EQ(t.LanguageID(), 0x1B);
  EXPECT_EQ(t.SubLanguageID(), 1);
  EXPECT_EQ(t.SortID(), 0);
  EXPECT_EQ(t.Version(), "2.53g");
  t.SetVersion("9.99");
  EXPECT_EQ(t.Version(), "2.53g");
  t.SetAutoIncMinValue(10);
  EXPECT_EQ(t.Store()->AutoIncHighMark(), 9);

  ExpectError<EMemTableError>([&] { t.SetAttachMaxCount(0); }, "Invalid argument.");
  t.FieldDefs().Add("N", ftInteger);
  t.Open();
  ExpectError<EMemTableError>([&] { t.SetAttachMaxCount(2); },
                              "Table must be closed for this operation.");
  ExpectError<EMemTableError>([&] { t.SetStandalone(true); },
                              "Table must be closed for this operation.");
  t.SetAttachMaxCount(1);  // the present value changes nothing
  t.Close();
  t.SetAttachMaxCount(2);
  ExpectError<EMemTableError>([&] { t.SetStandalone(true); },
                              "Children are attached to this table.");
  TmtMemTable lone;
  lone.SetStandalone(true);
  EXPECT_EQ(lone.Store()->Lock(), nullptr);
  TmtCommon* s = lone.Store();
  s->LowerTransactionLevel();
  EXPECT_EQ(s->TransactionLevel(), 0);
  s->RaiseTransactionLevel();
  s->RaiseTransactionLevel();
  s->LowerTransactionLevel();
  EXPECT_EQ(s->TransactionLevel(), 1);
}

TEST(RecordStore, ValueBlocksHaveOneOwnerThroughEditsAndDeletes) {
  int64_t before = LiveValueBlocks();
  {
    TmtMemTable t;
    t.SetPerformance(mtpfBalanced);
    t.FieldDefs().Add("LONG", ftString, 40);
    t.FieldDefs().Add("N", ftInteger);
    t.Open();
    for (int i = 0; i < 5; ++i) {
      t.Append();
      t.FieldByName("LONG")->SetAsString("value " + std::to_string(i));
      t.FieldByName("N")->SetAsInteger(i);
      t.Post();
    }
    EXPECT_EQ(LiveValueBlocks() - before, 5);
    t.First();
    t.Edit();
    t.FieldByName("LONG")->SetAsString("changed");
    t.Post();  // the new block replaces the old one
    EXPECT_EQ(LiveValueBlocks() - before, 5);
    t.Edit();
    t.FieldByName("LONG")->SetAsString("abandoned");
    t.Cancel();
    EXPECT_EQ(LiveValueBlocks() - before, 5);
    EXPECT_EQ(t.FieldByName("LONG")->AsString(), "changed");
    t.Edit();
    t.FieldByName("LONG")->Clear();
    t.Post();
    EXPECT_EQ(LiveValueBlocks() - before, 4);
    EXPECT_TRUE(t.FieldByName("LONG")->IsNull());
    t.Next();
    t.Delete();
    EXPECT_EQ(LiveValueBlocks() - before, 3);
    // Cloning with values copies, cloning without does not.
    TmtCommon* s = t.Store();
    PMemRecord stored = s->Record(2);
    PMemRecord copy = s->CloneRecord(stored, true);
    PMemRecord image = s->CloneRecord(stored, false);
    EXPECT_EQ(LiveValueBlocks() - before, 4);
    s->DisposeRecord(copy, true, true);
    s->DisposeRecord(image, true, true);
    EXPECT_EQ(LiveValueBlocks() - before, 3);
    t.Append();
    t.FieldByName("LONG")->SetAsString("left in an open insert");
  }
  EXPECT_EQ(LiveValueBlocks(), before);
}

TEST(RecordStore, SetupCompressionAndProgressEvents) {
  TmtMemTable t;
  t.SetPerformance(mtpfSmall);
  t.FieldDefs().Add("TEXT", ftString, 30);
  t.FieldDefs().Add("CODE", ftString, 8);
  // The handler may move a short field out of line too.
  t.OnSetupField = [](TDataSet*, TField* field, uint8_t& flags) {
    if (field->FieldName() == "CODE") flags |= kFieldOutOfLine;
  };
  std::vector<int> sizes;
  t.OnCompressField = [&](TDataSet*, TField* field, const char* buffer, int& size,
                          std::string& result) {
    if (field->FieldName() != "TEXT") return;
    result.assign(buffer, static_cast<std::size_t>(size));
    std::reverse(result.begin(), result.end());  // a reversible "compression"
    sizes.push_back(size);
  };
  t.OnDecompressField = [&](TDataSet*, TField* field, const char* buffer, int& size,
                            std::string& result) {
    if (field->FieldName() != "TEXT") return;
    result.assign(buffer, static_cast<std::size_t>(size));
    std::reverse(result.begin(), result.end());
  };
  std::vector<std::pair<int, TmtProgressCode>> progress;
  t.OnProgress = [&](TDataSet*, int percentage, TmtProgressCode code) {
    progress.emplace_back(percentage, code);
  };
  t.SetProgressFlags({mtpcEmpty});
  t.Open();
  EXPECT_EQ(t.Store()->FieldFlags(1) & 3, 3);
  EXPECT_EQ(t.Store()->FieldFlags(2) & 3, 3);  // compressed like every out-of-line field
  t.Append();
  t.FieldByName("TEXT")->SetAsString("compressed text");
  t.FieldByName("CODE")->SetAsString("ab");
  t.Post();
  t.First();
  EXPECT_EQ(t.FieldByName("TEXT")->AsString(), "compressed text");
  EXPECT_EQ(t.FieldByName("CODE")->AsString(), "ab");
  EXPECT_EQ(sizes, std::vector<int>{31});
  // Without a handler a compressed text keeps its characters and terminator.
  const char* bytes;
  int length;
  std::string scratch;
  PMemRecord stored = t.Store()->Record(0);
  ASSERT_TRUE(t.Store()->ValueBytes(stored, t.FieldByName("CODE"), bytes, length, scratch));
  EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(length)), "ab");
  t.ClearAllRecords();
  EXPECT_EQ(progress, (std::vector<std::pair<int, TmtProgressCode>>{{0, mtpcEmpty}, {100, mtpcEmpty}}));
  t.OnProgress = nullptr;  // the table outlives the list it reports into
}

TEST(RecordStore, UniqueCounterLimitRefusesBeforeStoring) {
  TmtMemTable t;
  t.FieldDefs().Add("N", ftInteger);
  t.IndexDefs().Add("BYN", "N", {});
  t.Open();
  t.SetIndexName("BYN");
  t.Append();
  t.FieldByName("N")->SetAsInteger(1);
  t.Post();
  t.Store()->SetUniqueCounterForTesting(kUniqueCounterLimit);
  t.Append();
  t.FieldByName("N")->SetAsInteger(2);
  t.Post();  // the last number there is
  t.Append();
  t.FieldByName("N")->SetAsInteger(3);
  ExpectError<EMemTableError>([&] { t.Post(); },
                              "Bookmark counter is out of range. Please close and reopen table.");
  EXPECT_EQ(t.State(), dsInsert);
  EXPECT_EQ(t.Store()->RecordCount(), 2);
  EXPECT_EQ(t.Indexes().FindByName("BYN")->Entries().Count(), 2);
  EXPECT_EQ(t.Indexes().RowOrderIndex()->Entries().Count(), 2);
  t.Cancel();
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(mttest::Names(t, "N"), (std::vector<std::string>{"1", "2"}));
}

TEST(RecordStore, TablesOfManyFieldsHaveNoFieldLimit) {
  TmtMemTable t;
  for (int i = 1; i <= 300; ++i)
    t.FieldDefs().Add("F" + std::to_string(i), i % 2 ? ftString : ftInteger, 6);
  TFieldDef* array = t.FieldDefs().Add("ARR", ftArray, 100);
  array->ChildDefs().Add("E", ftInteger);
  t.IndexDefs().Add("BY280", "F280", {});
  t.Open();
  EXPECT_EQ(t.Store()->DataFieldCount(), 401);
  for (int v : {30, 10, 20}) {
    t.Append();
    t.FieldByName("F1")->SetAsString("a" + std::to_string(v));
    t.FieldByName("F257")->SetAsString("b" + std::to_string(v));
    t.FieldByName("F280")->SetAsInteger(v);
    t.FieldByName("ARR[99]")->SetAsInteger(v * 2);
    t.Post();
  }
  t.First();
  EXPECT_EQ(t.FieldByName("F1")->AsString(), "a30");
  EXPECT_EQ(t.FieldByName("F257")->AsString(), "b30");
  EXPECT_EQ(t.FieldByName("ARR[99]")->AsInteger(), 60);
  t.SetIndexName("BY280");
  EXPECT_EQ(mttest::Names(t, "F280"), (std::vector<std::string>{"10", "20", "30"}));
}

}  // namespace
