// Index builds and the table password. Both walk the whole table in
// physical order through the read-ahead window.
//
// A build closes every open index file first (a file being rebuilt must
// not be maintained by the writes of this table meanwhile) and leaves the
// new file closed; the caller opens what it needs again.
//
// A password change rewrites every record, every memo the records refer
// to, the field descriptors and every open index file, reading with the old
// password and writing with the new one. It needs the table to itself.
#include <algorithm>
#include <exception>
#include <vector>

#include "dbase/index/index_formats.h"
#include "dbase/index/key_sort.h"
#include "dbase/table/scrambler.h"
#include "dbase/handler/table_handler.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

void XBO_dBHandler::CreateIndexTag(const AnsiString& fileName, const AnsiString& tagName, int orderCode,
                                   int uniquenessCode, const AnsiString& forExpression,
                                   const AnsiString& keyExpression) {
  CloseIndexFiles();
  ScanScope scan(*this);
  const AnsiString full = CompleteIndexName(fileName);
  const TxbIndexFormat* format = FindIndexFormat(ExtractFileExt(full));
  if (!format || !format->open) XbRaise(xbmFileNotFound, full);
  AnsiString tag = Trim(tagName);
  if (format->namedTags) {
    if (tag.empty()) XbRaise(xbmCannotFindTag, tagName);
  } else {
    tag = BaseName(full);
  }
  std::unique_ptr<XBobjIndexFile> file = MakeIndexFile(full, true, !format->namedTags);
  const bool second = orderCode == 7 || orderCode == 8;
  if (format->selectCollation) format->selectCollation(*file, second);
  const int order = orderCode == 7 ? 0 : orderCode == 8 ? 1 : orderCode;
  SetState(TxbTableState::BuildingIndex);
  if (!sortMemory_) sortMemory_ = std::make_unique<TxbSortMemory>();
  TxbSortMemory::Use sortMemory(*sortMemory_);
  try {
    file->CreateTag(tag, keyExpression, uniquenessCode == 0, order == 0, forExpression);
    file->Close();
  } catch (...) {
    SetState(TxbTableState::Normal);
    Redirect(nullptr);
    throw;
  }
  SetState(TxbTableState::Normal);
  Redirect(nullptr);
  file.reset();
}

void XBO_dBHandler::SetPassword(const AnsiString& password) {
  if (Shared()) XbRaise(xbmRequiresFullAccess, "SetPassword", FileName());
  const AnsiString old = WritePassword();
  if (Encrypted() ? password == old : password.empty()) return;

  const int32_t remembered = RecordNumber();
  // Pages still in memory go out under the old password, before anything
  // changes.
  for (auto& slot : slots_)
    if (slot) slot->ResetAllPages();
  DropWindow();

  std::vector<int> memoFields;
  for (int i = 1; i <= FieldCount(); ++i) {
    const char type = FieldType(i);
    if (type == 'M' || type == 'G' || (type == 'B' && Version() != 0x30)) memoFields.push_back(i);
  }
  // A missing memo file must stop the change before the first record is
  // rewritten, not halfway through the table.
  if (!memoFields.empty()) MemoFile();
  const int32_t length = RecordLength();
  std::vector<char> scrambled(static_cast<std::size_t>(length));
  {
    MasterAside aside(*this, false);
    ScanScope scan(*this);
    SetState(TxbTableState::ChangingPassword);
    SetPasswords(old, password);
    try {
      const int32_t count = RecordCount();
      for (int32_t n = 1; n <= count; ++n) {
        ReadRecord(n, false);
        for (int field : memoFields) {
          int64_t block = MemoBlock(field);
          if (block <= 0) continue;
          const AnsiString text = GetMemoText(field);
          const int64_t stored = MemoFile().WriteMemo(text.data(), block, static_cast<int64_t>(text.size()));
          if (stored != MemoBlock(field)) PutNumberN(field, static_cast<double>(stored));
        }
        ScrambleBytes(password, Record(), scrambled.data(), static_cast<std::size_t>(length), true);
        WriteAt(HeaderLength() + int64_t{n - 1} * length, scrambled.data(), length);
      }
      // The descriptor area is one scrambled piece, as the table reads it.
      const int32_t area = (Version() == 0x30 ? HeaderLength() - 296 : HeaderLength() - 33) / 32 * 32;
      if (area > 0) {
        std::vector<char> descriptors(static_cast<std::size_t>(area));
        if (XBO_DiskFile::ReadAt(32, descriptors.data(), area) != area) XbRaise(xbmFileReadError, FileName());
        ScrambleBytes(old, descriptors.data(), descriptors.data(), descriptors.size(), false);
        ScrambleBytes(password, descriptors.data(), descriptors.data(), descriptors.size(), true);
        WriteAt(32, descriptors.data(), area);
      }
      for (auto& slot : slots_)
        if (slot) slot->Reencipher();
    } catch (...) {
      // Records already rewritten stay under the new password; the header
      // still names the old state, as the table was opened with.
      SetPasswords(old, old);
      SetState(TxbTableState::Normal);
      DropWindow();
      throw;
    }
    SetPasswords(password, password);
    MarkHeaderDirty();
    WriteHeader();
    SetState(TxbTableState::Normal);
    DropWindow();
  }
  for (auto& slot : slots_)
    if (slot)
      for (int i = 0; i < slot->TagCount(); ++i) slot->TagAt(i)->DiscardPages();
  if (remembered >= 1 && remembered <= RecordCount()) GoRecord(remembered);
}
