// The persistent file: load on open and save on close in both formats, the
// backup, failing saves that leave the old file, and a peer process killed
// in the middle of saving that never leaves a broken or missing file.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/paths.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace {

using mttest::Names;
using Strings = std::vector<std::string>;

void Define(TmtMemTable& t, const std::string& file, TmtStorageFormat format) {
  t.FieldDefs().Add("GEN", ftInteger);
  t.FieldDefs().Add("NAME", ftString, 10);
  t.SetPersistentFile(file);
  t.SetPersistentSaveFormat(format);
  t.SetPersistentSaveOptions({mtfSaveData, mtfSaveDef, mtfSaveNonVisible});
  t.SetPersistent(true);
}

void Add(TmtMemTable& t, int gen, const char* name) {
  t.Append();
  t.FieldByName("GEN")->SetAsInteger(gen);
  t.FieldByName("NAME")->SetAsString(name);
  t.Post();
}

TEST(MemTablePersistentFile, LoadsOnOpenSavesOnCloseAndKeepsABackup) {
  for (TmtStorageFormat format : {mtsfBinary, mtsfCSV}) {
    TempDir dir;
    const std::string file = dir.File("data.mt");
    {
      TmtMemTable t;
      Define(t, file, format);
      t.SetPersistentBackup(true);
      t.SetPersistentBackupExt(".bak");
      t.Open();
      Add(t, 1, "a");
      Add(t, 1, "b");
      t.Close();
      EXPECT_TRUE(FileExists(file));
      EXPECT_FALSE(FileExists(dir.File("data.$$$")));
      t.Open();
      EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "b"}));
      Add(t, 2, "c");
    }  // destruction saves too
    TmtMemTable u;
    Define(u, file, format);
    u.Open();
    EXPECT_EQ(Names(u, "NAME"), (Strings{"a", "b", "c"}));
    u.SetPersistent(false);
    u.Close();
    TmtMemTable backup;
    Define(backup, dir.File("data.bak"), format);
    backup.Open();
    EXPECT_EQ(Names(backup, "NAME"), (Strings{"a", "b"}));  // the previous version
  }
}

TEST(MemTablePersistentFile, AFailingSaveLeavesTheOldFile) {
  TempDir dir;
  const std::string file = dir.File("data.mt");
  {
    TmtMemTable t;
    Define(t, file, mtsfBinary);
    t.Open();
    Add(t, 1, "a");
  }
  const std::string before = dir.Read("data.mt");
  {
    TmtMemTable t;
    Define(t, file, mtsfBinary);
    t.Open();
    Add(t, 2, "b");
    t.OnSaveRecord = [](TDataSet*, bool&) { throw EMemTableError("disk full"); };
    EXPECT_THROW(t.Close(), EMemTableError);  // from Close the caller hears of it
    EXPECT_EQ(dir.Read("data.mt"), before);
    EXPECT_FALSE(FileExists(dir.File("data.$$$")));
  }
  std::string handled;
  TExceptionHandler previous =
      SetApplicationExceptionHandler([&](TObject*, const std::exception& e) { handled = e.what(); });
  {
    TmtMemTable t;
    Define(t, file, mtsfBinary);
    t.Open();
    Add(t, 3, "c");
    t.OnSaveRecord = [](TDataSet*, bool&) { throw EMemTableError("disk full"); };
  }  // from destruction the application's handler does
  SetApplicationExceptionHandler(previous);
  EXPECT_EQ(handled, "disk full");
  EXPECT_EQ(dir.Read("data.mt"), before);
  EXPECT_FALSE(FileExists(dir.File("data.$$$")));
}

TEST(MemTablePersistentFile, FormDataIsReadWhenTheTableOpens) {
  TmtMemTable source;
  source.FieldDefs().Add("GEN", ftInteger);
  source.FieldDefs().Add("NAME", ftString, 10);
  TMemoryStream closed;
  source.WriteFormData(closed);
  EXPECT_EQ(closed.Size(), 0);  // a closed table writes nothing
  source.Open();
  Add(source, 1, "a");
  Add(source, 2, "b");
  TMemoryStream data;
  source.WriteFormData(data);
  data.SetPosition(0);
  TmtMemTable form;
  form.FieldDefs().Add("GEN", ftInteger);
  form.FieldDefs().Add("NAME", ftString, 10);
  form.SetStoreDataOnForm(true);
  form.ReadFormData(data);
  form.Open();
  EXPECT_EQ(Names(form, "NAME"), (Strings{"a", "b"}));
  form.Close();
  form.Open();  // the held bytes were read once and freed
  EXPECT_EQ(form.RecordCount(), 0);
}

// A peer saves generation after generation of the same records; it is
// killed at random moments and the file must then hold exactly one
// generation, whole.
TEST(MemTablePersistentFileMultiprocess, KilledSavesLeaveOneWholeGeneration) {
  constexpr int kRecords = 2000;
  constexpr int kKills = 12;
  std::mt19937 random(27);
  for (TmtStorageFormat format : {mtsfBinary, mtsfCSV}) {
    TempDir dir;
    const std::string file = dir.File("peer.mt");
    int generation = 0;
    for (int kill = 0; kill < kKills; ++kill) {
      ChildProcess peer([&](Channel& channel) {
        TmtMemTable t;
        Define(t, file, format);
        t.SetPersistentBackup(true);
        t.SetPersistentBackupExt(".bak");
        for (int g = generation + 1;; ++g) {
          t.Open();
          t.ClearAllRecords();
          for (int i = 0; i < kRecords; ++i) Add(t, g, "x");
          t.Close();
          if (g == generation + 1) channel.Send("saved");
        }
        return 0;
      });
      ASSERT_EQ(peer.channel().Receive(60000), "saved");
      generation += 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
      ::kill(peer.pid(), SIGKILL);
      for (const char* name : {"peer.mt", "peer.bak"}) {
        if (!FileExists(dir.File(name))) continue;
        TmtMemTable check;
        check.FieldDefs().Add("GEN", ftInteger);
        check.FieldDefs().Add("NAME", ftString, 10);
        check.Open();
        if (format == mtsfCSV)
          check.LoadCsvFromFile(dir.File(name));
        else
          check.LoadBinaryFromFile(dir.File(name));
        std::set<int> generations;
        int count = 0;
        for (check.First(); !check.Eof(); check.Next()) {
          generations.insert(check.FieldByName("GEN")->AsInteger());
          ++count;
        }
        EXPECT_EQ(count, kRecords) << name;
        EXPECT_EQ(generations.size(), 1u) << name;
        if (std::string(name) == "peer.mt" && !generations.empty()) generation = *generations.begin();
      }
    }
  }
}

}  // namespace
