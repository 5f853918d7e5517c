// XBO_DiskFile: the base of every file the engine touches (tables, memo and
// index files). It owns the handle, does positioned reads and writes with
// the engine's messages, and keeps one counted byte-range lock on which the
// table, memo and index lock protocols are built.
//
// Invariants: at most one locked region per file; the count lets the same
// region be locked repeatedly and released as often, and only the first lock
// and the last unlock reach the system. Files opened without sharing never
// call the system for locks (the exclusive open already keeps others out).
// Every open file is in the process-wide XBobjFileColl until it is closed.
#pragma once

#include <cstdint>

#include "dbase/base/collection.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/fileio.h"

class XBO_DiskFile {
 public:
  // The whole-file region: offset 0, 2147483647 bytes.
  static constexpr uint64_t kWholeFileLength = 2147483647u;

  // Stores the full name, records whether the file exists; stays closed.
  XBO_DiskFile(const AnsiString& fileName, bool shared, bool readWrite);
  // Closes the file; never lets an exception escape.
  virtual ~XBO_DiskFile();
  XBO_DiskFile(const XBO_DiskFile&) = delete;
  XBO_DiskFile& operator=(const XBO_DiskFile&) = delete;

  // No effect when closed; a held lock is released in full; leaves the
  // open-file list. Returns true.
  virtual bool CloseFile();
  // Size in bytes; "Error getting FileSize for file %s". A file opened
  // without sharing asks the system once and then follows its own writes
  // and truncations (nobody else can change it).
  virtual int64_t FileSize();
  // FileSize asked of the system, with the file's last modification time
  // (nanoseconds) in modified: a shared file's writers all move it.
  int64_t FileSizeAndTime(int64_t& modified);
  // Flushes the handle's buffers when open and clears Written;
  // "Error on Flush for file %s".
  virtual void FlushFile();
  // Shared: LockRegion(0, 2147483647); not shared: true.
  virtual bool LockWholeFile();
  // Counted region lock, never waits; false when refused (see the class
  // comment).
  virtual bool LockRegion(uint64_t offset, uint64_t length);
  // Reads up to length bytes at position; returns the bytes read (short at
  // the end of the file); "Chyba při čtení souboru %s".
  virtual int32_t ReadAt(int64_t position, void* buffer, int32_t length);
  // Closes, renames on disk (never onto an existing file) and reopens under
  // the new name. On failure the file is reopened under its old name before
  // "Error on Rename of file %s" is raised, so it stays usable.
  virtual void RenameFile(const AnsiString& newName);
  // Opens the existing file (closing it first when open); joins the open
  // file list. "File %s could not be found", "Access denied to file %s".
  virtual void OpenFile();
  // Creates or empties the file, then opens it; a file that another handle
  // holds open is refused: "Could not create file %s".
  virtual void CreateFile();
  // Progress of long operations; nothing here (the dataset adapter turns it
  // into its OnStatus event).
  virtual void StatusReport(int status, int current, int total);
  // Requires read-write and full access; "%s requires full access to file
  // %s" (with "Truncate"), "Error in Truncate of file %s".
  virtual void TruncateFile(int64_t size);
  // Count 0 or below: true. Shared and count 1: releases the region at the
  // system ("Error in Unlock of file %s" on refusal). Then decrements.
  virtual bool UnlockRegion();
  // Writes length bytes at position and sets Written; "Error writing to %s"
  // (also for a file opened read-only).
  virtual void WriteAt(int64_t position, const void* buffer, int32_t length);
  // WriteAt of pieces that follow each other in the file, without copying
  // them into one buffer (at most 2^31 - 1 bytes in all); the same errors.
  void WriteGatherAt(int64_t position, const FileSpan* spans, int spanCount);

  // One more level of the held lock, without the system (used when a
  // table-wide lock already covers a request).
  void AddLockLevel() { ++lockCount_; }
  // Not shared, or shared and holding the region (0, 2147483647).
  bool HasFullAccess() const;

  const AnsiString& FileName() const { return fileName_; }
  THandle Handle() const { return handle_; }
  bool Exists() const { return exists_; }
  bool Shared() const { return shared_; }
  bool ReadWrite() const { return readWrite_; }
  int64_t Position() const { return position_; }
  int32_t LastTransfer() const { return lastTransfer_; }
  int32_t LockCount() const { return lockCount_; }
  uint64_t LockOffset() const { return lockOffset_; }
  uint64_t LockLength() const { return lockLength_; }
  bool Written() const { return written_; }
  bool Closed() const { return closed_; }

  // Used by the shutdown of the open-file list: releases a held lock at the
  // system whatever its count, and closes the handle.
  void ReleaseForShutdown();

 protected:
  // Raises EXbaseError with the message id filled with the file name.
  [[noreturn]] void Fail(int messageId) const;
  // After a write of length bytes at position that wrote n (-1: failed):
  // raises on a short write, else moves the position and the known size.
  void FinishWrite(int64_t position, int64_t n, int64_t length);

  AnsiString fileName_;
  THandle handle_ = kInvalidHandle;
  bool exists_ = false;
  bool shared_ = false;
  bool readWrite_ = false;
  int64_t position_ = 0;
  int32_t lastTransfer_ = 0;
  int32_t lockCount_ = 0;
  uint64_t lockOffset_ = 0;
  uint64_t lockLength_ = 0;
  bool written_ = false;
  bool closed_ = true;

 private:
  // FileSize of an unshared open file; -1 when it must be asked.
  int64_t knownSize_ = -1;
};

// The process-wide list of open files. It does not own them.
class XBobjFileColl : public TxbCollection<XBO_DiskFile> {
 public:
  ~XBobjFileColl() override { Clear(); }

 protected:
  void FreeItem(XBO_DiskFile*) override {}
};

// The list, created on first use.
XBobjFileColl& OpenFileList();
// Releases every listed file's lock at the system, closes the handles and
// empties the list (engine shutdown).
void ShutdownOpenFiles();

// The shared form of "tried every 50 ms for up to 5000 ms": up to `attempts`
// LockRegion calls with a pause between two of them; true on success. The
// caller raises its own message on failure.
bool LockRegionWithRetry(XBO_DiskFile& file, uint64_t offset, uint64_t length,
                         int attempts = 100, int pauseMs = 50);
