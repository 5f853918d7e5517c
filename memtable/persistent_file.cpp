// The persistent file and the form-stored data.
//
// The persistent save never leaves the file missing or half written: the
// table goes to a temporary file beside it (extension ".$$$"), which is
// flushed; the present file is hard-linked to the backup name when a
// backup is kept; then the temporary replaces the file in one rename and
// the directory is flushed. At every instant the file holds the old or the
// new content whole; a failing save removes the temporary and leaves the
// old file as it was.
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"

void TmtCustomMemTable::LoadPersistentFile() {
  if (!persistent_ || persistentFile_.empty() || !FileExists(persistentFile_)) {
    persistentSaved_ = false;
    return;
  }
  // The table is opening: its fields stay, the file's columns are matched
  // to them by name.
  keepDefinitions_ = true;
  try {
    if (persistentSaveFormat_ == mtsfCSV)
      LoadCsvFromFile(persistentFile_);
    else
      LoadBinaryFromFile(persistentFile_);
  } catch (...) {
    keepDefinitions_ = false;
    throw;
  }
  keepDefinitions_ = false;
  First();
  persistentSaved_ = false;
}

void TmtCustomMemTable::SavePersistentFile() {
  if (persistentSaved_ || (ComponentState() & csDesigning) || !persistent_ || persistentFile_.empty()) return;
  const AnsiString temp = ChangeFileExt(persistentFile_, ".$$$");
  auto reached = [this](const char* step) {
    if (persistentSaveStepHook_) persistentSaveStepHook_(step);
  };
  try {
    TFileStream file(temp, fmCreate);
    reached("temp-created");
    if (persistentSaveFormat_ == mtsfCSV)
      WriteCsvStream(file, persistentSaveOptions_);
    else
      WriteBinaryStream(file, persistentSaveOptions_);
    reached("temp-written");
    if (!FileFlush(file.Handle())) throw EWriteError("Stream write error");
    reached("temp-flushed");
  } catch (...) {
    DeleteFile(temp);
    throw;
  }
  if (persistentBackup_ && FileExists(persistentFile_)) {
    if (!LinkFile(persistentFile_, ChangeFileExt(persistentFile_, persistentBackupExt_))) {
      DeleteFile(temp);
      MemTableError(Format("Cannot create the backup of %s", persistentFile_));
    }
    reached("backup-linked");
  }
  if (!ReplaceFileAtomically(temp, persistentFile_)) {
    DeleteFile(temp);
    MemTableError(Format("Cannot replace %s", persistentFile_));
  }
  reached("replaced");
  persistentSaved_ = true;
}

void TmtCustomMemTable::WriteFormData(TStream& stream) {
  if (!Active()) return;
  WriteBinaryStream(stream, {mtfSaveData, mtfSaveNonVisible, mtfSaveBlobs, mtfSaveDef, mtfSaveFiltered,
                             mtfSaveIgnoreRange, mtfSaveIgnoreMasterDetail});
}

void TmtCustomMemTable::ReadFormData(TStream& stream) {
  formData_ = std::make_unique<TMemoryStream>();
  formData_->LoadFromStream(stream);
}

void TmtCustomMemTable::LoadFormData() {
  std::unique_ptr<TMemoryStream> data = std::move(formData_);
  if (!data || !storeDataOnForm_) return;
  data->SetPosition(0);
  keepDefinitions_ = true;
  try {
    ReadBinaryStream(*data);
  } catch (...) {
    keepDefinitions_ = false;
    throw;
  }
  keepDefinitions_ = false;
}
