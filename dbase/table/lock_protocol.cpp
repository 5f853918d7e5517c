// The lock bytes of the four protocols. Every region any file of the engine
// locks is computed here from the protocol value, so that tables, memo files
// and index files agree with each other and with other dBase programs.
#include "dbase/table/lock_protocol.h"

namespace {

struct ProtocolRow {
  TxbLockOffsets offsets;
  TxbLockRegion memo;
  TxbLockRegion index;
};

// Default and FoxLock share one row; the other two have their own.
//
// Which index byte other programs lock decides whether they keep out of
// each other's tree:
// - CDX (FoxPro family): one byte at 0x7FFFFFFE. Programs built on this
//   engine lock 0x7FFFFFFD, so the Default/FoxLock region covers both
//   bytes and excludes either kind of writer.
// - NTX (Clipper family): one byte at 1 000 000 000, which is ClipLock's
//   region; under Default no byte is shared, so Clipper neighbours need
//   ClipLock.
// - MDX (dBase IV family): dBase IV locks its own high region, the one
//   DB4Lock uses (0xEFFFFFFE); dBase IV neighbours need DB4Lock.
// - NDX (dBase III family): dBase III takes no index byte at all; it keeps
//   writers apart through the table's locks alone, which every protocol
//   shares with it only as far as the table bytes agree.
constexpr ProtocolRow kDefaultRow{{0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu},
                                  {0x7FFFFFFDu, 1},
                                  {0x7FFFFFFDu, 2}};
constexpr ProtocolRow kDb4Row{{0x40000000u, 0xEFFFFFFFu, 0xB0000000u},
                              {0xEFFFFFFEu, 2},
                              {0xEFFFFFFEu, 2}};
constexpr ProtocolRow kClipRow{{1000000000u, 1000000000u, 1000000000u},
                               {1000000000u, 1},
                               {1000000000u, 1}};

const ProtocolRow* RowOf(TxbLokProtocol protocol) {
  switch (protocol) {
    case TxbLokProtocol::Default:
    case TxbLokProtocol::FoxLock:
      return &kDefaultRow;
    case TxbLokProtocol::DB4Lock:
      return &kDb4Row;
    case TxbLokProtocol::ClipLock:
      return &kClipRow;
  }
  return nullptr;
}

}  // namespace

bool IsKnownLockProtocol(TxbLokProtocol protocol) { return RowOf(protocol) != nullptr; }

std::optional<TxbLockOffsets> LockOffsetsOf(TxbLokProtocol protocol) {
  const ProtocolRow* row = RowOf(protocol);
  if (!row) return std::nullopt;
  return row->offsets;
}

std::optional<TxbLockRegion> TableLockRegion(TxbLokProtocol protocol) {
  const ProtocolRow* row = RowOf(protocol);
  if (!row) return std::nullopt;
  return TxbLockRegion{row->offsets.tableOffset, row->offsets.tableLength};
}

std::optional<TxbLockRegion> AppendLockRegion(TxbLokProtocol protocol) {
  const ProtocolRow* row = RowOf(protocol);
  if (!row) return std::nullopt;
  return TxbLockRegion{row->offsets.recordBase, 1};
}

std::optional<TxbLockRegion> RecordLockRegion(TxbLokProtocol protocol, int64_t recordNumber,
                                              bool hasIndexFiles, int64_t headerLength,
                                              int64_t recordLength) {
  if (recordNumber < 1) return std::nullopt;
  const uint64_t n = static_cast<uint64_t>(recordNumber);
  switch (protocol) {
    case TxbLokProtocol::DB4Lock:
      if (n > 0xEFFFFFFEu) return std::nullopt;
      return TxbLockRegion{0xEFFFFFFEu - n, 1};
    case TxbLokProtocol::ClipLock:
      return TxbLockRegion{1000000000u + n, 1};
    case TxbLokProtocol::Default:
    case TxbLokProtocol::FoxLock:
      if (hasIndexFiles) {
        if (n > 0x7FFFFFFEu) return std::nullopt;
        return TxbLockRegion{0x7FFFFFFEu - n, 1};
      }
      if (headerLength < 0 || recordLength < 0) return std::nullopt;
      return TxbLockRegion{0x40000000u + static_cast<uint64_t>(headerLength) +
                               (n - 1) * static_cast<uint64_t>(recordLength),
                           1};
  }
  return std::nullopt;
}

TxbLockRegion EntireFileLockRegion() { return TxbLockRegion{0, 0x7FFFFFFFu}; }

std::optional<TxbLockRegion> MemoLockRegion(TxbLokProtocol protocol) {
  const ProtocolRow* row = RowOf(protocol);
  if (!row) return std::nullopt;
  return row->memo;
}

TxbLockRegion MemoAllocationLockRegion() { return TxbLockRegion{0, 1}; }

std::optional<TxbLockRegion> IndexLockRegion(TxbLokProtocol protocol) {
  const ProtocolRow* row = RowOf(protocol);
  if (!row) return std::nullopt;
  return row->index;
}
