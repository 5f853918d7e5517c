// Memo files: the variable-length texts of memo fields (M, B, G) live in a
// file beside the table, and a record holds only the number of the memo's
// first block. Three formats, one class each: XBobjMemo (dBase III ".dbt",
// and the base of the others), XBobjMemo4 (dBase IV ".dbt" with a chain of
// free block runs) and XBobjFXMemo20 (FoxPro ".fpt", big-endian).
//
// Invariants: block 0 (and for FoxPro every block inside the 512-byte
// header) is never handed out or read as a memo; every size and position
// read from the file is checked against the file before it is used, so a
// damaged file gives "Memo record is bad in %s" and never a huge
// allocation, a read outside the file or an endless walk. Writers of
// different processes are serialised by the memo lock, and everything that
// decides where a memo goes (next free block, free chain, file size) is
// read from disk under that lock.
#pragma once

#include <cstdint>
#include <memory>

#include "dbase/table/lock_protocol.h"
#include "dbase/base/disk_file.h"
#include "platform/rtl/ansistring.h"

enum class TxbMemoKind { None, DBase3, DBase4, FoxPro };

// The memo format a table of this version and header flags byte uses:
// 0x83 dBase III, 0x8B dBase IV, 0xF5 FoxPro, 0x30 FoxPro when flag bit 1 is
// set; none otherwise.
TxbMemoKind MemoKindOf(uint8_t version, uint8_t flags);

class XBobjMemo : public XBO_DiskFile {
 public:
  // Names the memo file of the table (its extension replaced by ".dbt" or
  // ".fpt"); the file stays closed until Open().
  XBobjMemo(uint8_t version, bool shared, bool readWrite, const AnsiString& password,
            const AnsiString& tableFileName);
  ~XBobjMemo() override;

  // Opens the file ("File %s could not be found") and reads its header
  // ("Memo record is bad in %s" for an unusable header or block size).
  void Open();

  // Length of the text stored at block; 0 for block 0.
  int64_t MemoLength(int64_t block);
  // Copies min(capacity, stored length) bytes of the memo at block into
  // buffer, unscrambled with the read password; length receives the count.
  void ReadMemo(int64_t block, char* buffer, int64_t capacity, int64_t& length);
  // The whole memo text at block ("" for block 0).
  AnsiString ReadMemoText(int64_t block);

  // Stores length bytes of text and returns the block now holding them;
  // block (in: the memo the text replaces, 0 for none) receives it too. The
  // old memo's blocks are reused when they are enough. An empty text with
  // block 0 writes nothing and returns 0. Takes the memo lock.
  int64_t WriteMemo(const char* text, int64_t& block, int64_t length);

  // Gives the blocks of the memo at block back for reuse, where the format
  // keeps free blocks (dBase IV); the other formats leave them. A memo
  // whose block header is unreadable is left alone. Takes the memo lock.
  virtual void FreeMemo(int64_t block);

  // The memo lock: the protocol's region, then the file's first byte that
  // other xBase programs allocate under, each tried for up to 5 s on shared
  // files; "Can not Lock file %s" when one stays refused (nothing is left
  // held). Counted: a holder may call WriteMemo and FreeMemo inside.
  void LockMemo();
  void UnlockMemo();

  void SetLockProtocol(TxbLokProtocol protocol) { protocol_ = protocol; }
  // Locks region instead of the protocol's (nullopt: the protocol's again);
  // a region that is the first byte is then the only one taken, as other
  // xBase programs lock it.
  void SetLockRegion(std::optional<TxbLockRegion> region) { lockOverride_ = region; }
  TxbLokProtocol LockProtocol() const { return protocol_; }
  // Passwords for reading and for writing texts (they differ only while the
  // table's password is being changed).
  void SetPasswords(const AnsiString& readPassword, const AnsiString& writePassword);

  // Renames the memo file after its table's new name (keeping the memo
  // extension); the dBase formats also rewrite the base name in the header.
  virtual void RenameMemo(const AnsiString& newTableName);

  virtual TxbMemoKind Kind() const { return TxbMemoKind::DBase3; }
  int64_t BlockSize() const { return blockSize_; }
  uint8_t TableVersion() const { return version_; }

 protected:
  // Reads the file header from disk into the members below.
  virtual void LoadHeader();
  // Length of the text at a checked block (format rules).
  virtual int64_t StoredLength(int64_t block);
  // Bytes in front of the text inside a memo's first block, for memos
  // read (read password) or written (write password).
  virtual int64_t TextOffset(bool writing) const;
  // Blocks a text of length bytes occupies, read or written.
  virtual int64_t BlocksFor(int64_t length, bool writing) const;
  // Where a memo of `needed` blocks goes, replacing the memo at oldBlock
  // (0 for none); updates the file header and free chain. Called under the
  // memo lock after LoadHeader. Here: in place when the old memo's blocks
  // are enough, else at the next free block.
  virtual int64_t Allocate(int64_t oldBlock, int64_t needed);
  // Writes the next free block into the file header.
  virtual void StoreNextFree(int64_t block);
  // Fills a zeroed buffer of whole blocks with the stored form of the text.
  virtual void Layout(char* buffer, const char* text, int64_t length) const;

  // Block checks shared by the formats: block inside the file, not in the
  // header; raises "Memo record is bad in %s".
  void CheckBlock(int64_t block);
  // Blocks held by the memo at block, or 0 when it cannot be measured.
  int64_t OccupiedBlocks(int64_t block);
  // ceil(file size / block size).
  int64_t FileBlocks();
  int64_t FirstDataBlock() const;
  // Reads the first n text bytes of the memo at a checked block and
  // unscrambles them.
  void ReadText(int64_t block, char* buffer, int64_t n);
  // Reads exactly n bytes at position or raises "Memo record is bad in %s".
  void ReadExact(int64_t position, void* buffer, int64_t n);
  [[noreturn]] void Bad() const;

  uint8_t version_;
  int64_t blockSize_ = 512;
  int64_t headerBytes_ = 512;  // size of the file header area
  int64_t nextFree_ = 0;       // dBase III and FoxPro: next free block
  TxbLokProtocol protocol_ = TxbLokProtocol::Default;
  std::optional<TxbLockRegion> lockOverride_;
  AnsiString readPassword_;
  AnsiString writePassword_;
};

// dBase IV memo: each memo starts with FF FF, its header size 8 and its
// length; freed blocks form a chain of runs reused first-fit.
class XBobjMemo4 : public XBobjMemo {
 public:
  using XBobjMemo::XBobjMemo;

  void FreeMemo(int64_t block) override;
  TxbMemoKind Kind() const override { return TxbMemoKind::DBase4; }

 protected:
  void LoadHeader() override;
  int64_t StoredLength(int64_t block) override;
  int64_t TextOffset(bool) const override { return 8; }
  int64_t BlocksFor(int64_t length, bool writing) const override;
  int64_t Allocate(int64_t oldBlock, int64_t needed) override;
  void Layout(char* buffer, const char* text, int64_t length) const override;

 private:
  // Puts the run of `blocks` blocks at `block` at the head of the chain,
  // unless it overlaps a run already there.
  void ReturnRun(int64_t block, int64_t blocks);
  // Points the chain entry `from` (0: the file header) at `to`.
  void SetLink(int64_t from, int64_t to);
  int64_t firstFree_ = 0;
};

// FoxPro memo: a 512-byte header with big-endian next free block and block
// size; each memo starts with its big-endian type and length.
class XBobjFXMemo20 : public XBobjMemo {
 public:
  using XBobjMemo::XBobjMemo;

  TxbMemoKind Kind() const override { return TxbMemoKind::FoxPro; }
  void RenameMemo(const AnsiString& newTableName) override;

 protected:
  void LoadHeader() override;
  int64_t StoredLength(int64_t block) override;
  int64_t TextOffset(bool) const override { return 8; }
  int64_t BlocksFor(int64_t length, bool writing) const override;
  void StoreNextFree(int64_t block) override;
  void Layout(char* buffer, const char* text, int64_t length) const override;
};

// The memo file name of a table of this version ("" for versions without a
// memo file): the table's name with ".dbt" or ".fpt", in the case of the
// table's own extension.
AnsiString MemoFileNameFor(const AnsiString& tableFileName, uint8_t version);

// Makes and opens the memo object of the given kind for a table.
std::unique_ptr<XBobjMemo> OpenMemoFile(TxbMemoKind kind, uint8_t version, bool shared,
                                        bool readWrite, const AnsiString& password,
                                        const AnsiString& tableFileName,
                                        TxbLokProtocol protocol);
