// Memo files of the three formats. Block n lies at n x block size; block 0
// (FoxPro: the first 512 bytes) holds the file header.
//
// dBase III ".dbt" (block size 512):
//   header  bytes 0-3 next free block (LE); bytes 8-16 table base name
//   memo    the text, then 0x1A 0x1A; with a password: 4-byte LE text
//           length, the scrambled text, 0x1A 0x1A
//   length  the prefix with a password; otherwise the bytes up to the first
//           0x1A or the end of the file (other programs write memos of any
//           length, so there is no fixed cap)
//
// dBase IV ".dbt":
//   header  bytes 0-3 first free run (LE); 4-7 zero; 8-16 table base name;
//           20-23 block size (LE); padded to one block
//   memo    FF FF, 08 00 (header size), 4-byte LE length including these 8
//           bytes, the text
//   free    a run of free blocks starts with the block of the next run and
//           the run's length in blocks (both LE); a link at or beyond the
//           file's block count ends the chain (the end of the file is where
//           new memos go when no run fits)
//
// FoxPro ".fpt" (512-byte header):
//   header  bytes 0-3 next free block (BE); 6-7 block size (BE)
//   memo    4-byte BE type (1 text; 0 accepted when reading), 4-byte BE text
//           length, the text
//
// Texts are scrambled with the table password (the block headers are not).
// Blocks of moved dBase III and FoxPro memos are not reclaimed.
#include "dbase/table/memo_file.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <type_traits>
#include <vector>

#include "dbase/base/byte_order.h"
#include "dbase/table/scrambler.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

namespace {

// Memos are written with one positioned write of whole blocks.
constexpr int64_t kMaxMemoLength = 0x7FFF0000;
constexpr int64_t kMaxBlockNumber = 0xFFFFFFFF;
constexpr int64_t kChunk = 1 << 20;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// Runs fn under the memo lock and releases it on every exit. A failing
// unlock after a failure is not reported over the first error.
template <class Fn>
auto WithMemoLock(XBobjMemo& memo, Fn fn) {
  memo.LockMemo();
  try {
    if constexpr (std::is_void_v<decltype(fn())>) {
      fn();
      memo.UnlockMemo();
    } else {
      auto result = fn();
      memo.UnlockMemo();
      return result;
    }
  } catch (...) {
    try {
      memo.UnlockMemo();
    } catch (const EXbaseError&) {
    }
    throw;
  }
}

}  // namespace

TxbMemoKind MemoKindOf(uint8_t version, uint8_t flags) {
  switch (version) {
    case 0x83: return TxbMemoKind::DBase3;
    case 0x8B: return TxbMemoKind::DBase4;
    case 0xF5: return TxbMemoKind::FoxPro;
    case 0x30: return (flags & 0x02) ? TxbMemoKind::FoxPro : TxbMemoKind::None;
    default: return TxbMemoKind::None;
  }
}

AnsiString MemoFileNameFor(const AnsiString& tableFileName, uint8_t version) {
  const char* ext = nullptr;
  if (version == 0x83 || version == 0x8B) ext = ".dbt";
  if (version == 0x30 || version == 0xF5) ext = ".fpt";
  if (!ext) return "";
  // Keep the case of the table's own extension so that a directory of
  // upper-case names stays upper-case for programs that look names up
  // exactly.
  const AnsiString tableExt = ExtractFileExt(tableFileName);
  const bool upper = tableExt != LowerCase(tableExt) && tableExt == UpperCase(tableExt);
  return ChangeFileExt(tableFileName, upper ? UpperCase(ext) : AnsiString(ext));
}

// ---------------------------------------------------------------------------
// Common part and dBase III

XBobjMemo::XBobjMemo(uint8_t version, bool shared, bool readWrite, const AnsiString& password,
                     const AnsiString& tableFileName)
    : XBO_DiskFile(MemoFileNameFor(tableFileName, version), shared, readWrite),
      version_(version),
      readPassword_(password),
      writePassword_(password) {}

XBobjMemo::~XBobjMemo() = default;

void XBobjMemo::Open() {
  OpenFile();
  LoadHeader();
}

void XBobjMemo::SetPasswords(const AnsiString& readPassword, const AnsiString& writePassword) {
  readPassword_ = readPassword;
  writePassword_ = writePassword;
}

void XBobjMemo::Bad() const { Fail(xbmMemoRecordBad); }

void XBobjMemo::ReadExact(int64_t position, void* buffer, int64_t n) {
  auto* out = static_cast<char*>(buffer);
  while (n > 0) {
    const auto part = static_cast<int32_t>(std::min(n, kChunk));
    if (ReadAt(position, out, part) != part) Bad();
    position += part;
    out += part;
    n -= part;
  }
}

int64_t XBobjMemo::FileBlocks() { return CeilDiv(FileSize(), blockSize_); }

int64_t XBobjMemo::FirstDataBlock() const { return CeilDiv(headerBytes_, blockSize_); }

void XBobjMemo::CheckBlock(int64_t block) {
  if (block < FirstDataBlock() || block > kMaxBlockNumber) Bad();
  if (block * blockSize_ >= FileSize()) Bad();
}

void XBobjMemo::LoadHeader() {
  unsigned char h[4];
  ReadExact(0, h, 4);
  blockSize_ = 512;
  headerBytes_ = 512;
  nextFree_ = GetLe32(h);
}

int64_t XBobjMemo::TextOffset(bool writing) const {
  return (writing ? writePassword_ : readPassword_).empty() ? 0 : 4;
}

int64_t XBobjMemo::BlocksFor(int64_t length, bool writing) const {
  return CeilDiv(TextOffset(writing) + length + 2, blockSize_);
}

int64_t XBobjMemo::StoredLength(int64_t block) {
  const int64_t start = block * blockSize_;
  const int64_t size = FileSize();
  if (TextOffset(false) > 0) {
    unsigned char p[4];
    ReadExact(start, p, 4);
    const int64_t length = GetLe32(p);
    if (start + 4 + length > size) Bad();
    return length;
  }
  // Counted up to the first end mark, or to the end of the file.
  std::vector<char> chunk(8192);
  int64_t pos = start;
  while (pos < size) {
    const auto want = static_cast<int32_t>(std::min<int64_t>(size - pos, 8192));
    const int32_t got = ReadAt(pos, chunk.data(), want);
    if (got <= 0) break;
    const char* end = static_cast<const char*>(std::memchr(chunk.data(), 0x1A, static_cast<std::size_t>(got)));
    if (end) return pos + (end - chunk.data()) - start;
    pos += got;
  }
  return pos - start;
}

void XBobjMemo::Layout(char* buffer, const char* text, int64_t length) const {
  const int64_t offset = TextOffset(true);
  if (offset > 0) PutLe32(reinterpret_cast<unsigned char*>(buffer), static_cast<uint32_t>(length));
  ScrambleBytes(writePassword_, text, buffer + offset, static_cast<std::size_t>(length), true);
  buffer[offset + length] = 0x1A;
  buffer[offset + length + 1] = 0x1A;
}

int64_t XBobjMemo::MemoLength(int64_t block) {
  if (block == 0) return 0;
  CheckBlock(block);
  return StoredLength(block);
}

void XBobjMemo::ReadMemo(int64_t block, char* buffer, int64_t capacity, int64_t& length) {
  length = 0;
  if (block == 0) return;
  const int64_t n = std::min(std::max<int64_t>(capacity, 0), MemoLength(block));
  ReadText(block, buffer, n);
  length = n;
}

AnsiString XBobjMemo::ReadMemoText(int64_t block) {
  if (block == 0) return "";
  AnsiString text(static_cast<std::size_t>(MemoLength(block)), '\0');
  ReadText(block, text.data(), static_cast<int64_t>(text.size()));
  return text;
}

void XBobjMemo::ReadText(int64_t block, char* buffer, int64_t n) {
  ReadExact(block * blockSize_ + TextOffset(false), buffer, n);
  ScrambleBytes(readPassword_, buffer, buffer, static_cast<std::size_t>(n), false);
}

int64_t XBobjMemo::OccupiedBlocks(int64_t block) {
  // A memo that cannot be measured is simply not reused or freed: its
  // blocks stay where they are, which never harms another memo.
  try {
    CheckBlock(block);
    return BlocksFor(StoredLength(block), false);
  } catch (const EXbaseError&) {
    return 0;
  }
}

void XBobjMemo::StoreNextFree(int64_t block) {
  unsigned char h[4];
  PutLe32(h, static_cast<uint32_t>(block));
  WriteAt(0, h, 4);
}

int64_t XBobjMemo::Allocate(int64_t oldBlock, int64_t needed) {
  if (oldBlock > 0 && OccupiedBlocks(oldBlock) >= needed) return oldBlock;
  // Never below what the file already holds: a header that lags behind the
  // file must not make us write over memos that are there.
  const int64_t target = std::max({nextFree_, FileBlocks(), FirstDataBlock()});
  if (target + needed > kMaxBlockNumber) Bad();
  StoreNextFree(target + needed);
  nextFree_ = target + needed;
  return target;
}

int64_t XBobjMemo::WriteMemo(const char* text, int64_t& block, int64_t length) {
  if (length == 0 && block == 0) return 0;
  if (length < 0 || length > kMaxMemoLength) Fail(xbmWriteError);
  const int64_t target = WithMemoLock(*this, [&] {
    LoadHeader();
    const int64_t needed = BlocksFor(length, true);
    const int64_t at = Allocate(block, needed);
    std::vector<char> stored(static_cast<std::size_t>(needed * blockSize_), '\0');
    Layout(stored.data(), text, length);
    int64_t done = 0;
    while (done < static_cast<int64_t>(stored.size())) {
      const auto part = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(stored.size()) - done, kChunk));
      WriteAt(at * blockSize_ + done, stored.data() + done, part);
      done += part;
    }
    return at;
  });
  block = target;
  return target;
}

void XBobjMemo::FreeMemo(int64_t) {}

void XBobjMemo::LockMemo() {
  const std::optional<TxbLockRegion> region = lockOverride_ ? lockOverride_ : MemoLockRegion(protocol_);
  if (!region || !LockRegionWithRetry(*this, region->offset, region->length)) Fail(xbmCannotLockFile);
  if (!Shared() || LockCount() != 1 || *region == MemoAllocationLockRegion()) return;
  // Other xBase programs allocate under the memo's first byte only: without
  // it they would hand out the blocks we are handing out.
  const TxbLockRegion first = MemoAllocationLockRegion();
  if (!RetryWithPause([&] { return LockHandle(Handle(), first.offset, first.length); })) {
    UnlockRegion();
    Fail(xbmCannotLockFile);
  }
}

void XBobjMemo::UnlockMemo() {
  bool released = true;
  if (Shared() && LockCount() == 1 && !Closed() &&
      !(LockOffset() == MemoAllocationLockRegion().offset && LockLength() == MemoAllocationLockRegion().length)) {
    const TxbLockRegion first = MemoAllocationLockRegion();
    released = UnlockHandle(Handle(), first.offset, first.length);
  }
  UnlockRegion();
  if (!released) Fail(xbmUnlockError);
}

void XBobjMemo::RenameMemo(const AnsiString& newTableName) {
  RenameFile(ChangeFileExt(newTableName, ExtractFileExt(FileName())));
  char name[9] = {};
  const AnsiString base = BaseName(FileName()).substr(0, 8);
  std::memcpy(name, base.data(), base.size());
  WriteAt(8, name, 9);
}

// ---------------------------------------------------------------------------
// dBase IV

void XBobjMemo4::LoadHeader() {
  unsigned char h[24];
  ReadExact(0, h, 24);
  firstFree_ = GetLe32(h);
  const int64_t size = GetLe32(h + 20);
  // The block header and a free-run header take 8 bytes, the file header
  // 24; beyond 64 KiB no dBase program writes blocks.
  if (size < 24 || size > 65536) Bad();
  blockSize_ = size;
  headerBytes_ = size;
}

int64_t XBobjMemo4::BlocksFor(int64_t length, bool) const { return CeilDiv(length + 8, blockSize_); }

int64_t XBobjMemo4::StoredLength(int64_t block) {
  unsigned char h[8];
  ReadExact(block * blockSize_, h, 8);
  if (h[0] != 0xFF || h[1] != 0xFF) Bad();
  const int64_t length = int64_t{GetLe32(h + 4)} - 8;
  if (length < 0 || block * blockSize_ + 8 + length > FileSize()) Bad();
  return length;
}

void XBobjMemo4::Layout(char* buffer, const char* text, int64_t length) const {
  auto* p = reinterpret_cast<unsigned char*>(buffer);
  p[0] = 0xFF;
  p[1] = 0xFF;
  p[2] = 0x08;
  p[3] = 0x00;
  PutLe32(p + 4, static_cast<uint32_t>(length + 8));
  ScrambleBytes(writePassword_, text, buffer + 8, static_cast<std::size_t>(length), true);
}

void XBobjMemo4::SetLink(int64_t from, int64_t to) {
  unsigned char link[4];
  PutLe32(link, static_cast<uint32_t>(to));
  if (from == 0) {
    WriteAt(0, link, 4);
    firstFree_ = to;
  } else {
    WriteAt(from * blockSize_, link, 4);
  }
}

void XBobjMemo4::ReturnRun(int64_t block, int64_t blocks) {
  // Walk the chain first: a run that is already free (or overlaps one) must
  // not be linked in twice, which would make the chain loop.
  const int64_t fileBlocks = FileBlocks();
  std::set<int64_t> seen;
  for (int64_t run = firstFree_; run < fileBlocks;) {
    if (run < FirstDataBlock() || !seen.insert(run).second) Bad();
    unsigned char h[8];
    ReadExact(run * blockSize_, h, 8);
    const int64_t length = GetLe32(h + 4);
    if (run + length > fileBlocks) Bad();
    if (block < run + length && run < block + blocks) return;
    run = GetLe32(h);
  }
  unsigned char h[8];
  PutLe32(h, static_cast<uint32_t>(firstFree_));
  PutLe32(h + 4, static_cast<uint32_t>(blocks));
  WriteAt(block * blockSize_, h, 8);
  unsigned char head[8];
  PutLe32(head, static_cast<uint32_t>(block));
  PutLe32(head + 4, 0);
  WriteAt(0, head, 8);
  firstFree_ = block;
}

int64_t XBobjMemo4::Allocate(int64_t oldBlock, int64_t needed) {
  if (oldBlock > 0) {
    const int64_t old = OccupiedBlocks(oldBlock);
    if (old > 0) ReturnRun(oldBlock, old);
  }
  const int64_t fileBlocks = FileBlocks();
  std::set<int64_t> seen;
  int64_t previous = 0;
  int64_t run = firstFree_;
  while (run < fileBlocks) {
    if (run < FirstDataBlock() || !seen.insert(run).second) Bad();
    unsigned char h[8];
    ReadExact(run * blockSize_, h, 8);
    const int64_t next = GetLe32(h);
    const int64_t length = GetLe32(h + 4);
    if (run + length > fileBlocks) Bad();
    if (length >= needed) {
      if (length == needed) {
        SetLink(previous, next);
      } else {
        unsigned char rest[8];
        PutLe32(rest, static_cast<uint32_t>(next));
        PutLe32(rest + 4, static_cast<uint32_t>(length - needed));
        WriteAt((run + needed) * blockSize_, rest, 8);
        SetLink(previous, run + needed);
      }
      return run;
    }
    previous = run;
    run = next;
  }
  const int64_t target = std::max(fileBlocks, FirstDataBlock());
  if (target + needed > kMaxBlockNumber) Bad();
  SetLink(previous, target + needed);
  return target;
}

void XBobjMemo4::FreeMemo(int64_t block) {
  if (block <= 0) return;
  WithMemoLock(*this, [&] {
    LoadHeader();
    const int64_t old = OccupiedBlocks(block);
    if (old > 0) ReturnRun(block, old);
  });
}

// ---------------------------------------------------------------------------
// FoxPro

void XBobjFXMemo20::LoadHeader() {
  unsigned char h[8];
  ReadExact(0, h, 8);
  nextFree_ = GetBe32(h);
  const int64_t size = GetBe16(h + 6);
  if (size < 1) Bad();
  blockSize_ = size;
  headerBytes_ = 512;
}

int64_t XBobjFXMemo20::BlocksFor(int64_t length, bool) const { return CeilDiv(length + 8, blockSize_); }

int64_t XBobjFXMemo20::StoredLength(int64_t block) {
  unsigned char h[8];
  ReadExact(block * blockSize_, h, 8);
  const uint32_t type = GetBe32(h);
  if (type != 0 && type != 1) Bad();
  const int64_t length = GetBe32(h + 4);
  if (block * blockSize_ + 8 + length > FileSize()) Bad();
  return length;
}

void XBobjFXMemo20::StoreNextFree(int64_t block) {
  unsigned char h[4];
  PutBe32(h, static_cast<uint32_t>(block));
  WriteAt(0, h, 4);
}

void XBobjFXMemo20::Layout(char* buffer, const char* text, int64_t length) const {
  auto* p = reinterpret_cast<unsigned char*>(buffer);
  PutBe32(p, 1);
  PutBe32(p + 4, static_cast<uint32_t>(length));
  ScrambleBytes(writePassword_, text, buffer + 8, static_cast<std::size_t>(length), true);
}

void XBobjFXMemo20::RenameMemo(const AnsiString& newTableName) {
  RenameFile(ChangeFileExt(newTableName, ExtractFileExt(FileName())));
}

// ---------------------------------------------------------------------------

std::unique_ptr<XBobjMemo> OpenMemoFile(TxbMemoKind kind, uint8_t version, bool shared,
                                        bool readWrite, const AnsiString& password,
                                        const AnsiString& tableFileName,
                                        TxbLokProtocol protocol) {
  std::unique_ptr<XBobjMemo> memo;
  switch (kind) {
    case TxbMemoKind::DBase3:
      memo = std::make_unique<XBobjMemo>(version, shared, readWrite, password, tableFileName);
      break;
    case TxbMemoKind::DBase4:
      memo = std::make_unique<XBobjMemo4>(version, shared, readWrite, password, tableFileName);
      break;
    case TxbMemoKind::FoxPro:
      memo = std::make_unique<XBobjFXMemo20>(version, shared, readWrite, password, tableFileName);
      break;
    case TxbMemoKind::None:
      return nullptr;
  }
  memo->SetLockProtocol(protocol);
  memo->Open();
  // A dBase IV header shorter than its block is padded out, so that the
  // first memo starts on a block boundary for every reader.
  if (kind == TxbMemoKind::DBase4 && readWrite) {
    WithMemoLock(*memo, [&] {
      const int64_t size = memo->FileSize();
      if (size < memo->BlockSize()) {
        std::vector<char> zeros(static_cast<std::size_t>(memo->BlockSize() - size), '\0');
        memo->WriteAt(size, zeros.data(), static_cast<int32_t>(zeros.size()));
      }
    });
  }
  return memo;
}
