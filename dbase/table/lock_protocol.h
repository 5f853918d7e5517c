// The one table of lock bytes shared by tables, memo files and index files.
// Other dBase programs lock exactly these bytes, so they must never change:
// a process that locks a record one byte off no longer excludes them.
//
// Offsets and lengths are unsigned 32-bit values carried in 64-bit types
// (DB4Lock's table lock is 0xB0000000 bytes long); they lie beyond the end
// of every real file, which the byte-range locks of the platform allow.
//
// Protocol values outside the four known ones have no regions: every lock
// request under them is refused.
#pragma once

#include <cstdint>
#include <optional>

enum class TxbLokProtocol : int32_t {
  Default = 0,
  DB4Lock = 1,
  ClipLock = 2,
  FoxLock = 3,
};

struct TxbLockRegion {
  uint64_t offset = 0;
  uint64_t length = 0;

  bool operator==(const TxbLockRegion&) const = default;
};

// The three offsets a protocol selects: the table lock's start, the base
// from which record locks are counted (also the append lock), and the table
// lock's length.
struct TxbLockOffsets {
  uint64_t tableOffset = 0;
  uint64_t recordBase = 0;
  uint64_t tableLength = 0;
};

// True for Default, DB4Lock, ClipLock and FoxLock.
bool IsKnownLockProtocol(TxbLokProtocol protocol);

// The three offsets of a known protocol; nullopt otherwise.
std::optional<TxbLockOffsets> LockOffsetsOf(TxbLokProtocol protocol);

// The region that locks every record of a table (and excludes appends).
std::optional<TxbLockRegion> TableLockRegion(TxbLokProtocol protocol);

// The one byte at the record base: held for the whole of an append.
std::optional<TxbLockRegion> AppendLockRegion(TxbLokProtocol protocol);

// The one byte that locks record n (from 1). Under Default and FoxLock the
// byte depends on whether the table has an index file open: programs that
// keep indexes count down from the record base, others lock the record's
// own bytes shifted by 0x40000000. nullopt for n < 1, for an unknown
// protocol, or when the byte would fall below zero.
std::optional<TxbLockRegion> RecordLockRegion(TxbLokProtocol protocol, int64_t recordNumber,
                                              bool hasIndexFiles, int64_t headerLength,
                                              int64_t recordLength);

// The exclusive lock of the whole table file, the same under every protocol.
TxbLockRegion EntireFileLockRegion();

// The region a memo file is locked with while a memo is allocated and
// written.
std::optional<TxbLockRegion> MemoLockRegion(TxbLokProtocol protocol);

// The first byte of a memo file, which every other xBase program locks
// while it hands out memo blocks. Our memo lock takes it too, under every
// protocol, after the protocol's own region.
TxbLockRegion MemoAllocationLockRegion();

// The region an index file is locked with while it is read for a seek under
// ClipLock or changed by a write. Under Default and FoxLock two bytes: ours
// at 0x7FFFFFFD and the FoxPro family's at 0x7FFFFFFE.
std::optional<TxbLockRegion> IndexLockRegion(TxbLokProtocol protocol);
