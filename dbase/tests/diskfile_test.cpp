// XBO_DiskFile in one process: opening, creating, positioned transfers,
// names, truncation and renaming, with the engine's messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "dbase/base/disk_file.h"
#include "dbase/base/errors.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "testing/error_message.h"

namespace {

bool Listed(const XBO_DiskFile& file) { return OpenFileList().IndexOf(&file) >= 0; }

TEST(DiskFile, CreatesWritesAndReadsAtPositions) {
  TempDir dir;
  XBO_DiskFile file(dir.File("journal.dat"), true, true);
  EXPECT_FALSE(file.Exists());
  EXPECT_TRUE(file.Closed());
  file.CreateFile();
  EXPECT_TRUE(file.Exists());
  EXPECT_FALSE(file.Closed());
  EXPECT_TRUE(Listed(file));

  file.WriteAt(0, "hello world", 11);
  EXPECT_TRUE(file.Written());
  EXPECT_EQ(file.Position(), 11);
  file.WriteAt(20, "!", 1);  // beyond the end: the gap reads as zeros
  EXPECT_EQ(file.FileSize(), 21);

  char buffer[32] = {};
  EXPECT_EQ(file.ReadAt(6, buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(file.ReadAt(18, buffer, 10), 3);  // short at the end of the file
  EXPECT_EQ(std::string(buffer, 3), std::string("\0\0!", 3));
  EXPECT_EQ(file.LastTransfer(), 3);
  EXPECT_EQ(file.Position(), 21);
  EXPECT_EQ(file.ReadAt(100, buffer, 10), 0);

  file.FlushFile();
  EXPECT_FALSE(file.Written());
  EXPECT_TRUE(file.CloseFile());
  EXPECT_TRUE(file.Closed());
  EXPECT_FALSE(Listed(file));
  EXPECT_TRUE(file.CloseFile());  // closing twice is harmless
  file.FlushFile();               // and so is flushing a closed file
  EXPECT_EQ(dir.Read("journal.dat").substr(0, 11), "hello world");
}

// An unshared file keeps its size itself instead of asking the system on
// every call; it must still say what the disk says after each change.
TEST(DiskFile, SizeFollowsEveryChangeSharedOrNot) {
  struct Step {
    const char* what;
    std::function<void(XBO_DiskFile&)> change;
  } steps[] = {
      {"append", [](XBO_DiskFile& f) { f.WriteAt(0, "0123456789", 10); }},
      {"inside", [](XBO_DiskFile& f) { f.WriteAt(2, "ab", 2); }},
      {"beyond the end", [](XBO_DiskFile& f) { f.WriteAt(100, "z", 1); }},
      {"nothing beyond the end", [](XBO_DiskFile& f) { f.WriteAt(500, "", 0); }},
      {"shorter", [](XBO_DiskFile& f) { f.TruncateFile(7); }},
      {"longer", [](XBO_DiskFile& f) { f.TruncateFile(64); }},
      {"reopened", [](XBO_DiskFile& f) { f.OpenFile(); }},
      {"append after reopening", [](XBO_DiskFile& f) { f.WriteAt(64, "tail", 4); }},
      {"renamed", [](XBO_DiskFile& f) { f.RenameFile(f.FileName() + ".moved"); }},
      {"emptied", [](XBO_DiskFile& f) { f.CreateFile(); }},
  };
  for (const bool shared : {true, false}) {
    TempDir dir;
    XBO_DiskFile file(dir.File("size.dat"), shared, true);
    file.CreateFile();
    if (shared) {
      ASSERT_TRUE(file.LockWholeFile());  // truncation needs it
    }
    for (const Step& step : steps) {
      SCOPED_TRACE(std::string(step.what) + (shared ? ", shared" : ", exclusive"));
      step.change(file);
      if (shared && file.LockCount() == 0) {
        ASSERT_TRUE(file.LockWholeFile());
      }
      EXPECT_EQ(file.FileSize(), FileSizeOf(file.Handle()));
      EXPECT_EQ(file.FileSize(), FileSizeOf(file.Handle()));
    }
  }
}

TEST(DiskFile, ReopeningAnOpenFileKeepsOneHandleAndOneListEntry) {
  TempDir dir;
  dir.Write("a.dat", "abc");
  XBO_DiskFile file(dir.File("a.dat"), true, false);
  file.OpenFile();
  file.OpenFile();
  EXPECT_FALSE(file.Closed());
  int entries = 0;
  for (int i = 0; i < OpenFileList().Count(); ++i) entries += OpenFileList().Items(i) == &file;
  EXPECT_EQ(entries, 1);
  char c = 0;
  EXPECT_EQ(file.ReadAt(2, &c, 1), 1);
  EXPECT_EQ(c, 'c');
}

TEST(DiskFileMalformed, FailuresRaiseTheEngineMessagesWithTheFileName) {
  TempDir dir;
  const std::string missing = dir.File("missing.dbf");
  XBO_DiskFile absent(missing, true, true);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { absent.OpenFile(); }), "File " + missing + " could not be found");
  EXPECT_TRUE(absent.Closed());
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { absent.FileSize(); }),
            "Error getting FileSize for file " + missing);
  char c;
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { absent.ReadAt(0, &c, 1); }), Cz("Chyba při čtení souboru ") + missing);

  // A "%" in a file name is never read as a format directive.
  const std::string odd = dir.File("a%sb%d.dbf");
  XBO_DiskFile oddFile(odd, true, true);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { oddFile.OpenFile(); }), "File " + odd + " could not be found");

  dir.Write("ro.dat", "data");
  XBO_DiskFile readOnly(dir.File("ro.dat"), true, false);
  readOnly.OpenFile();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { readOnly.WriteAt(0, "x", 1); }), "Error writing to " + dir.File("ro.dat"));
  EXPECT_FALSE(readOnly.Written());
  EXPECT_EQ(dir.Read("ro.dat"), "data");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { readOnly.ReadAt(-1, &c, 1); }),
            Cz("Chyba při čtení souboru ") + dir.File("ro.dat"));
}

TEST(DiskFile, NamesAreMadeFullAndLookedUpWithoutRegardToCase) {
  TempDir dir;
  dir.Write("pla0001.dbf", "journal");
  char c = 0;

  XBO_DiskFile upper(dir.File("PLA0001.DBF"), true, false);
  EXPECT_TRUE(upper.Exists());
  upper.OpenFile();
  EXPECT_EQ(upper.ReadAt(0, &c, 1), 1);
  EXPECT_EQ(c, 'j');

  // Relative names, with either separator, are made full against the
  // current directory when the object is made.
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  XBO_DiskFile relative("sub\\..\\Pla0001.dbf", true, false);
  XBO_DiskFile plain("pla0001.dbf", true, false);
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(relative.FileName().front(), '/');
  EXPECT_EQ(plain.FileName(), ExpandFileName(dir.File("pla0001.dbf")));
  EXPECT_TRUE(plain.Exists());
  plain.OpenFile();  // after the directory changed back

  // Drive names are kept as given and resolve through DRIVE_<letter>.
  std::string driveDir = dir.Path().substr(0, dir.Path().size() - 1);
  ASSERT_EQ(setenv("DRIVE_Q", driveDir.c_str(), 1), 0);
  XBO_DiskFile drive("Q:\\PLA0001.dbf", true, false);
  EXPECT_EQ(drive.FileName(), "Q:\\PLA0001.dbf");
  drive.OpenFile();
  EXPECT_EQ(drive.ReadAt(1, &c, 1), 1);
  EXPECT_EQ(c, 'o');
  drive.CloseFile();
  unsetenv("DRIVE_Q");
  XBO_DiskFile unknownDrive("Q:\\PLA0001.dbf", true, false);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { unknownDrive.OpenFile(); }), "File Q:\\PLA0001.dbf could not be found");

  XBO_DiskFile unc("\\\\server\\share\\x.dbf", true, false);
  EXPECT_EQ(unc.FileName(), "\\\\server\\share\\x.dbf");
}

TEST(DiskFile, TruncationNeedsReadWriteAndFullAccess) {
  TempDir dir;
  dir.Write("t.dat", "0123456789");
  const std::string name = dir.File("t.dat");

  XBO_DiskFile shared(name, true, true);
  shared.OpenFile();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { shared.TruncateFile(4); }),
            "Truncate requires full access to file " + name);
  ASSERT_TRUE(shared.LockRegion(0, 100));  // some other region is not enough
  EXPECT_FALSE(shared.HasFullAccess());
  EXPECT_NE(ErrorMessage<EXbaseError>([&] { shared.TruncateFile(4); }), "(no error)");
  shared.UnlockRegion();
  ASSERT_TRUE(shared.LockWholeFile());
  EXPECT_TRUE(shared.HasFullAccess());
  shared.TruncateFile(4);
  EXPECT_EQ(shared.FileSize(), 4);
  shared.UnlockRegion();
  shared.CloseFile();

  XBO_DiskFile exclusive(name, false, true);
  exclusive.OpenFile();
  EXPECT_TRUE(exclusive.HasFullAccess());
  exclusive.TruncateFile(2);
  EXPECT_EQ(exclusive.FileSize(), 2);
  exclusive.CloseFile();

  XBO_DiskFile readOnly(name, false, false);
  readOnly.OpenFile();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { readOnly.TruncateFile(0); }),
            "Truncate requires full access to file " + name);
  readOnly.CloseFile();
  EXPECT_EQ(dir.Read("t.dat"), "01");
}

TEST(DiskFile, CreateRefusesAFileThatAnotherHandleHoldsOpen) {
  TempDir dir;
  dir.Write("busy.dbf", "precious");
  XBO_DiskFile holder(dir.File("busy.dbf"), true, false);
  holder.OpenFile();
  XBO_DiskFile creator(dir.File("busy.dbf"), true, true);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { creator.CreateFile(); }),
            "Could not create file " + dir.File("busy.dbf"));
  EXPECT_TRUE(creator.Closed());
  EXPECT_EQ(dir.Read("busy.dbf"), "precious");

  holder.CloseFile();
  creator.CreateFile();  // now it may empty it
  EXPECT_EQ(creator.FileSize(), 0);
}

TEST(DiskFile, RenameMovesTheFileAndReopensIt) {
  TempDir dir;
  dir.Write("old.ndx", "index");
  XBO_DiskFile file(dir.File("old.ndx"), true, true);
  file.OpenFile();
  file.RenameFile(dir.File("new.ndx"));
  EXPECT_EQ(file.FileName(), dir.File("new.ndx"));
  EXPECT_FALSE(file.Closed());
  EXPECT_TRUE(Listed(file));
  EXPECT_FALSE(FileExists(dir.File("old.ndx")));
  char buffer[5];
  EXPECT_EQ(file.ReadAt(0, buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "index");
}

// A failed rename must leave the file open under its old name: the table or
// index that owns it goes on reading it.
TEST(DiskFileMalformed, FailedRenameKeepsTheFileOpenAndBothFilesIntact) {
  TempDir dir;
  dir.Write("a.dbf", "first");
  dir.Write("b.dbf", "second");
  const std::string oldName = dir.File("a.dbf");
  XBO_DiskFile file(oldName, true, true);
  file.OpenFile();

  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { file.RenameFile(dir.File("no/such/dir/a.dbf")); }),
            "Error on Rename of file " + oldName);
  EXPECT_FALSE(file.Closed());
  EXPECT_TRUE(Listed(file));
  EXPECT_EQ(file.FileName(), oldName);
  char buffer[5];
  EXPECT_EQ(file.ReadAt(0, buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "first");

  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { file.RenameFile(dir.File("b.dbf")); }),
            "Error on Rename of file " + oldName);
  EXPECT_FALSE(file.Closed());
  EXPECT_EQ(dir.Read("a.dbf"), "first");
  EXPECT_EQ(dir.Read("b.dbf"), "second");
  file.WriteAt(0, "F", 1);
  EXPECT_EQ(dir.Read("a.dbf"), "First");
}

}  // namespace
