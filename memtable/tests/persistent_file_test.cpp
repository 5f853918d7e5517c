// The persistent file: load on open and save on close in both formats, the
// backup, failing saves that leave the old file, and a peer process killed
// in the middle of saving that never leaves a broken or missing file.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

// The crash test. A peer process holds a persistent table whose records all
// carry the same generation number and saves generation after generation;
// it is killed at random moments, and also paused and killed at each named
// step of the save. After every kill the file, and the backup when there is
// one, must load whole: every record of exactly one generation.
//
// CTest runs a reduced size; MEMTABLE_CRASH_FULL=1 runs the full one
// (20 000 records, 50 random kills and 4 at each step, per format).
struct CrashPlan {
  int records;
  int randomKills;
  int killsPerStep;
};

CrashPlan CrashTestPlan() {
  if (std::getenv("MEMTABLE_CRASH_FULL")) return {20000, 50, 4};
  return {2000, 12, 1};
}

// The steps a saver can be stopped at: "writing" is halfway through the
// records, the others are the table's own save steps.
const char* const kSaveSteps[] = {"temp-created", "writing", "temp-written", "temp-flushed",
                                  "backup-linked", "replaced"};

// The peer: waits for "run" or "pause STEP", then saves generation after
// generation, each one more than the file it found. It reports its first
// save with "saved G"; told to pause, it stops at that step of its second
// save, reports "at STEP" and waits to be killed.
int RunSavingPeer(Channel& channel, const std::string& file, TmtStorageFormat format, int records) {
  const std::string command = channel.Receive(60000);
  const std::string pauseAt = command.rfind("pause ", 0) == 0 ? command.substr(6) : std::string();
  TmtMemTable t;
  Define(t, file, format);
  t.SetPersistentBackup(true);
  t.SetPersistentBackupExt(".bak");
  int saves = 0;
  int savedRecords = 0;
  auto reach = [&](const char* step) {
    if (saves != 1 || pauseAt != step) return;
    channel.Send(std::string("at ") + step);
    for (;;) ::pause();
  };
  t.SetPersistentSaveStepHookForTesting(reach);
  t.OnSaveRecord = [&](TDataSet*, bool&) {
    if (++savedRecords == records / 2) reach("writing");
  };
  for (;;) {
    t.Open();  // loads the newest whole generation
    const int generation = t.RecordCount() > 0 ? t.FieldByName("GEN")->AsInteger() + 1 : 1;
    t.ClearAllRecords();
    for (int i = 0; i < records; ++i) Add(t, generation, std::to_string(i).c_str());
    savedRecords = 0;
    t.Close();
    if (++saves == 1) channel.Send("saved " + std::to_string(generation));
  }
}

// Loads a file the peer left; the generation it holds, after checking that
// every record is there once and all carry that generation.
int CheckWholeGeneration(const std::string& file, TmtStorageFormat format, int records) {
  TmtMemTable check;
  check.FieldDefs().Add("GEN", ftInteger);
  check.FieldDefs().Add("NAME", ftString, 10);
  check.Open();
  if (format == mtsfCSV)
    check.LoadCsvFromFile(file);
  else
    check.LoadBinaryFromFile(file);
  std::set<int> generations;
  std::set<std::string> names;
  for (check.First(); !check.Eof(); check.Next()) {
    generations.insert(check.FieldByName("GEN")->AsInteger());
    names.insert(check.FieldByName("NAME")->AsString());
  }
  EXPECT_EQ(check.RecordCount(), records) << file;
  EXPECT_EQ(names.size(), static_cast<std::size_t>(records)) << file;
  EXPECT_EQ(generations.size(), 1u) << file;
  return generations.empty() ? -1 : *generations.begin();
}

TEST(MemTablePersistentFileSlowMultiprocess, KilledSavesLeaveOneWholeGeneration) {
  const CrashPlan plan = CrashTestPlan();
  std::mt19937 random(27);
  // Kill plans: "" is a random moment, otherwise the step to pause at.
  std::vector<std::string> kills(static_cast<std::size_t>(plan.randomKills));
  for (const char* step : kSaveSteps)
    for (int i = 0; i < plan.killsPerStep; ++i) kills.emplace_back(step);
  std::shuffle(kills.begin(), kills.end(), random);
  for (TmtStorageFormat format : {mtsfBinary, mtsfCSV}) {
    SCOPED_TRACE(format == mtsfCSV ? "CSV" : "binary");
    TempDir dir;
    const std::string file = dir.File("peer.mt");
    const std::string backup = dir.File("peer.bak");
    int generation = 0;  // the one the file held after the last kill
    int backupGeneration = 0;
    for (const std::string& pauseAt : kills) {
      SCOPED_TRACE("pause at: " + (pauseAt.empty() ? std::string("random moment") : pauseAt));
      const auto started = std::chrono::steady_clock::now();
      ChildProcess peer([&](Channel& channel) { return RunSavingPeer(channel, file, format, plan.records); });
      peer.channel().Send(pauseAt.empty() ? std::string("run") : "pause " + pauseAt);
      ASSERT_EQ(peer.channel().Receive(120000), "saved " + std::to_string(generation + 1));
      const int saved = generation + 1;
      if (pauseAt.empty()) {
        // Somewhere in the next generation or two: building, saving, loading.
        const auto cycle = std::chrono::steady_clock::now() - started;
        const auto ms = std::max<int64_t>(
            1, std::chrono::duration_cast<std::chrono::milliseconds>(cycle).count() * 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % ms));
      } else {
        ASSERT_EQ(peer.channel().Receive(120000), "at " + pauseAt);
      }
      peer.Kill(SIGKILL);
      peer.Wait();
      ASSERT_TRUE(FileExists(file));
      const int found = CheckWholeGeneration(file, format, plan.records);
      if (pauseAt.empty()) {
        EXPECT_GE(found, saved);
      } else {
        // Until the rename the file is the first save's; after it, the second's.
        EXPECT_EQ(found, pauseAt == "replaced" ? saved + 1 : saved);
      }
      if (FileExists(backup)) {
        const int kept = CheckWholeGeneration(backup, format, plan.records);
        EXPECT_LE(kept, found);
        EXPECT_GE(kept, backupGeneration);
        if (pauseAt == "backup-linked" || pauseAt == "replaced") {
          EXPECT_EQ(kept, saved);
        }
        backupGeneration = kept;
      }
      if (::testing::Test::HasFailure()) return;
      generation = found;
    }
  }
}

}  // namespace
