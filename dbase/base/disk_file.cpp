// XBO_DiskFile and the process-wide list of open files.
//
// Sharing: a shared file is opened deny-none and relies on byte-range locks
// against other handles (in this process or others); a file opened without
// sharing is opened exclusive, so nobody else can even open it and its lock
// requests are answered here without asking the system.
//
// Lock invariants: lockCount_ > 0 means the region (lockOffset_,
// lockLength_) is held — at the system for shared files. Only the 0 -> 1
// step of LockRegion and the 1 -> 0 step of UnlockRegion call the system.
// A request for a second, different region while one is held fails and
// leaves the held region untouched: the lock protocols above rely on one
// region per file.
#include "dbase/base/disk_file.h"

#include <algorithm>

#include <cerrno>

#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

XBobjFileColl* g_openFiles = nullptr;

// Names that are already full (a UNC name or one with a drive letter) are
// kept as given; everything else is made full against the current
// directory now, so that a later change of directory cannot move the file.
AnsiString FullFileName(const AnsiString& name) {
  if (name.find("\\\\") != AnsiString::npos || (name.size() > 1 && name[1] == ':')) return name;
  return ExpandFileName(name);
}

}  // namespace

XBobjFileColl& OpenFileList() {
  if (g_openFiles == nullptr) g_openFiles = new XBobjFileColl();
  return *g_openFiles;
}

void ShutdownOpenFiles() {
  if (g_openFiles == nullptr) return;
  while (g_openFiles->Count() > 0) {
    XBO_DiskFile* file = g_openFiles->Items(g_openFiles->Count() - 1);
    file->ReleaseForShutdown();
    g_openFiles->Extract(file);  // in case closing could not take it out
  }
  delete g_openFiles;
  g_openFiles = nullptr;
}

XBO_DiskFile::XBO_DiskFile(const AnsiString& fileName, bool shared, bool readWrite)
    : fileName_(FullFileName(fileName)), shared_(shared), readWrite_(readWrite) {
  exists_ = FileExists(fileName_);
}

XBO_DiskFile::~XBO_DiskFile() {
  try {
    // The base class's own close: a descendant's override is already gone.
    XBO_DiskFile::CloseFile();
  } catch (...) {
  }
}

void XBO_DiskFile::Fail(int messageId) const { XbRaise(messageId, fileName_); }

bool XBO_DiskFile::CloseFile() {
  if (closed_) return true;
  if (lockCount_ > 0 && shared_) UnlockHandle(handle_, lockOffset_, lockLength_);
  lockCount_ = 0;
  if (g_openFiles != nullptr) g_openFiles->Extract(this);
  FileClose(handle_);
  handle_ = kInvalidHandle;
  closed_ = true;
  knownSize_ = -1;
  return true;
}

int64_t XBO_DiskFile::FileSize() {
  if (!closed_ && knownSize_ >= 0) return knownSize_;
  int64_t size = closed_ ? -1 : FileSizeOf(handle_);
  if (size < 0) Fail(xbmFileSizeError);
  if (!shared_) knownSize_ = size;
  return size;
}

int64_t XBO_DiskFile::FileSizeAndTime(int64_t& modified) {
  int64_t size = closed_ ? -1 : FileSizeAndTimeOf(handle_, modified);
  if (size < 0) Fail(xbmFileSizeError);
  if (!shared_) knownSize_ = size;
  return size;
}

void XBO_DiskFile::FlushFile() {
  if (closed_) return;
  if (!FlushHandle(handle_)) Fail(xbmFlushError);
  written_ = false;
}

bool XBO_DiskFile::LockWholeFile() {
  return shared_ ? LockRegion(0, kWholeFileLength) : true;
}

bool XBO_DiskFile::LockRegion(uint64_t offset, uint64_t length) {
  if (closed_) return false;
  if (!shared_) {
    ++lockCount_;
    lockOffset_ = offset;
    lockLength_ = length;
    return true;
  }
  if (lockCount_ > 0) {
    if (offset != lockOffset_ || length != lockLength_) return false;
    ++lockCount_;
    return true;
  }
  lockOffset_ = offset;
  lockLength_ = length;
  if (!LockHandle(handle_, offset, length)) return false;
  lockCount_ = 1;
  return true;
}

int32_t XBO_DiskFile::ReadAt(int64_t position, void* buffer, int32_t length) {
  int64_t n = closed_ || length < 0 || position < 0 ? -1 : FileReadAt(handle_, position, buffer, length);
  if (n < 0) {
    lastTransfer_ = 0;
    Fail(xbmFileReadError);
  }
  position_ = position + n;
  lastTransfer_ = static_cast<int32_t>(n);
  return lastTransfer_;
}

void XBO_DiskFile::RenameFile(const AnsiString& newName) {
  const AnsiString newFull = FullFileName(newName);
  const bool wasOpen = !closed_;
  if (!CloseFile()) Fail(xbmCloseError);
  if (!::RenameFile(fileName_, newFull)) {
    // Reopen under the old name before raising, so the table or index
    // that owns this file keeps working after the failed rename.
    if (wasOpen) {
      try {
        OpenFile();
      } catch (const EXbaseError&) {
      }
    }
    Fail(xbmRenameError);
  }
  fileName_ = newFull;
  OpenFile();
}

void XBO_DiskFile::OpenFile() {
  if (!closed_) CloseFile();
  if (!FileExists(fileName_)) Fail(xbmFileNotFound);
  const unsigned mode = (readWrite_ ? fmOpenReadWrite : fmOpenRead) |
                        (shared_ ? fmShareDenyNone : fmShareExclusive);
  THandle h = FileOpen(fileName_, mode);
  if (h == kInvalidHandle) Fail(errno == ENOENT || errno == ENOTDIR ? xbmFileNotFound : xbmAccessDenied);
  handle_ = h;
  closed_ = false;
  knownSize_ = -1;
  exists_ = true;
  position_ = 0;
  lastTransfer_ = 0;
  lockCount_ = 0;
  written_ = false;
  XBobjFileColl& list = OpenFileList();
  if (list.IndexOf(this) < 0) list.Add(this);
}

void XBO_DiskFile::CreateFile() {
  if (!closed_) CloseFile();
  THandle h = FileCreate(fileName_, fmShareExclusive);
  if (h == kInvalidHandle) Fail(xbmCouldNotCreate);
  FileClose(h);
  exists_ = true;
  OpenFile();
}

void XBO_DiskFile::StatusReport(int, int, int) {}

void XBO_DiskFile::TruncateFile(int64_t size) {
  if (!readWrite_ || !HasFullAccess())
    throw EXbaseError(XbFormat(xbmRequiresFullAccess, "Truncate", fileName_));
  if (closed_ || size < 0 || TruncateHandle(handle_, size) != 0) {
    knownSize_ = -1;
    Fail(xbmTruncateError);
  }
  if (knownSize_ >= 0) knownSize_ = size;
}

bool XBO_DiskFile::UnlockRegion() {
  if (lockCount_ <= 0) return true;
  if (shared_ && lockCount_ == 1 && !closed_) {
    if (!UnlockHandle(handle_, lockOffset_, lockLength_)) Fail(xbmUnlockError);
  }
  --lockCount_;
  return true;
}

void XBO_DiskFile::WriteAt(int64_t position, const void* buffer, int32_t length) {
  int64_t n = -1;
  if (!closed_ && readWrite_ && length >= 0 && position >= 0)
    n = FileWriteAt(handle_, position, buffer, length);
  FinishWrite(position, n, length);
}

void XBO_DiskFile::WriteGatherAt(int64_t position, const FileSpan* spans, int spanCount) {
  int64_t length = 0;
  for (int i = 0; i < spanCount; ++i) length += spans[i].count;
  int64_t n = -1;
  if (!closed_ && readWrite_ && length <= INT32_MAX && position >= 0)
    n = FileWriteGatherAt(handle_, position, spans, spanCount);
  FinishWrite(position, n, length);
}

void XBO_DiskFile::FinishWrite(int64_t position, int64_t n, int64_t length) {
  if (n < 0 || n != length) {
    lastTransfer_ = n > 0 ? static_cast<int32_t>(n) : 0;
    knownSize_ = -1;  // a partial write may have grown the file
    Fail(xbmWriteError);
  }
  if (knownSize_ >= 0 && n > 0) knownSize_ = std::max(knownSize_, position + n);
  position_ = position + n;
  lastTransfer_ = static_cast<int32_t>(length);
  written_ = true;
}

bool XBO_DiskFile::HasFullAccess() const {
  return !shared_ || (lockCount_ > 0 && lockOffset_ == 0 && lockLength_ == kWholeFileLength);
}

void XBO_DiskFile::ReleaseForShutdown() {
  if (lockCount_ > 0) {
    lockCount_ = 1;
    try {
      UnlockRegion();
    } catch (const EXbaseError&) {
      // Closing the handle below drops the lock at the system anyway.
      lockCount_ = 0;
    }
  }
  CloseFile();
}

bool LockRegionWithRetry(XBO_DiskFile& file, uint64_t offset, uint64_t length, int attempts,
                         int pauseMs) {
  return RetryWithPause([&] { return file.LockRegion(offset, length); }, attempts, pauseMs);
}
