// Writes new empty tables and memo files. The layouts written here are the
// ones read by dbf_table.cpp (table header and descriptors) and
// memo_file.cpp (memo headers), where they are described; this file only
// chooses the values of a new, empty file:
//
//   table: header with today's date, count 0, header length 32 + 32 x fields
//          + 1 (+ 263 zero bytes of the back-link area in version 0x30),
//          record length 1 + the field lengths, flag bit 1 for a 0x30 table
//          with memo fields, the language byte; the descriptors (bytes 12-15
//          zero, except 0x30 which stores the field's offset there, as its
//          other writers do); 0x0D; no records; one 0x1A.
//   dBase III memo: next free block 1, the base name, one 512-byte block.
//   dBase IV memo: first free block 1, the base name, the block size at
//          20-23, padded to one block.
//   FoxPro memo: next free block = ceil(512 / block size) and the block
//          size, both big-endian; 512 bytes.
#include "dbase/table/dbf_create.h"

#include <set>

#include "dbase/base/byte_order.h"
#include "dbase/table/memo_file.h"
#include "dbase/table/scrambler.h"
#include "dbase/base/disk_file.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

bool KnownVersion(uint8_t v) {
  return v == 0x03 || v == 0x04 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5;
}

[[noreturn]] void BadField(const char* what, const AnsiString& name) {
  XbRaise(xbmInvalidValueForField, what, name);
}

bool IsMemoType(char type, uint8_t version) {
  if (version == 0x30) return type == 'M' || type == 'G';
  return type == 'M' || type == 'B' || type == 'G';
}

// The length a field of a fixed-size type must have; 0 for C, N and F.
int FixedLength(char type, uint8_t version) {
  const bool vfp = version == 0x30;
  switch (type) {
    case 'D': return 8;
    case 'L': return 1;
    case 'M':
    case 'G': return vfp ? 4 : 10;
    case 'B': return vfp ? 8 : 10;
    case 'I': return 4;
    case 'T':
    case 'Y': return 8;
    default: return 0;
  }
}

// Field names and types are plain ASCII whatever the C library's locale
// says about bytes above 0x7F (Qt sets it to the user's).
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Checks one definition and returns its length in the record.
int CheckedLength(const TxbFieldSpec& f, uint8_t version) {
  const AnsiString upper = UpperCase(f.name);
  if (f.name.empty() || f.name.size() > 10 || !IsAsciiLetter(upper[0])) BadField("Name", f.name);
  for (char c : upper)
    if (!(IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_')) BadField("Name", f.name);

  const char type = AsciiUpper(f.type);
  const bool vfpOnly = type == 'I' || type == 'T' || type == 'Y';
  const bool known = type == 'C' || type == 'N' || type == 'F' || type == 'D' || type == 'L' ||
                     type == 'M' || type == 'B' || type == 'G' || vfpOnly;
  if (!known || (vfpOnly && version != 0x30)) BadField("Type", f.name);
  if (IsMemoType(type, version) && (version == 0x03 || version == 0x04)) BadField("Type", f.name);

  if (type == 'C') {
    if (f.length < 1 || f.length > 65535) BadField("Length", f.name);
    if (f.decimals != 0) BadField("Decimals", f.name);
    return f.length;
  }
  if (type == 'N' || type == 'F') {
    if (f.length < 1 || f.length > 255) BadField("Length", f.name);
    if (f.decimals < 0 || (f.decimals > 0 && f.decimals + 2 > f.length)) BadField("Decimals", f.name);
    return f.length;
  }
  const int fixed = FixedLength(type, version);
  if (f.length != 0 && f.length != fixed) BadField("Length", f.name);
  if (f.decimals != 0) BadField("Decimals", f.name);
  return fixed;
}

void WriteNewFile(const AnsiString& name, const AnsiString& bytes) {
  XBO_DiskFile file(name, false, true);
  file.CreateFile();
  file.WriteAt(0, bytes.data(), static_cast<int32_t>(bytes.size()));
  file.FlushFile();
  file.CloseFile();
}

void CreateMemoFile(const AnsiString& memoName, uint8_t version, int32_t blockSize) {
  AnsiString header;
  const AnsiString base = BaseName(memoName).substr(0, 8);
  if (version == 0x83) {
    header.assign(512, '\0');
    auto* p = reinterpret_cast<unsigned char*>(header.data());
    PutLe32(p, 1);
    header.replace(8, base.size(), base);
  } else if (version == 0x8B) {
    header.assign(static_cast<std::size_t>(blockSize), '\0');
    auto* p = reinterpret_cast<unsigned char*>(header.data());
    PutLe32(p, 1);
    header.replace(8, base.size(), base);
    PutLe32(p + 20, static_cast<uint32_t>(blockSize));
  } else {
    header.assign(512, '\0');
    auto* p = reinterpret_cast<unsigned char*>(header.data());
    PutBe32(p, static_cast<uint32_t>((512 + blockSize - 1) / blockSize));
    PutBe16(p + 6, static_cast<uint32_t>(blockSize));
  }
  WriteNewFile(memoName, header);
}

}  // namespace

void CreateDbfTable(const AnsiString& fileName, const std::vector<TxbFieldSpec>& fields,
                    const TxbCreateOptions& options) {
  const AnsiString name = DefaultExtension(fileName, ".DBF");
  const uint8_t version = options.version;
  if (!KnownVersion(version)) XbRaise(xbmTableHeaderInvalid, name);
  const bool hasMemoVersion = version == 0x83 || version == 0x8B || version == 0xF5 || version == 0x30;
  const int32_t blockSize = version == 0x83 ? 512 : options.memoBlockSize;
  if (hasMemoVersion && version != 0x83) {
    const int32_t minimum = version == 0x8B ? 32 : 1;
    if (blockSize < minimum || blockSize > 65535) XbRaise(xbmTableHeaderInvalid, name);
  }
  if (fields.empty() || fields.size() > 2046) XbRaise(xbmTableHeaderInvalid, name);

  // Descriptors first: they decide the record length and the memo flag.
  AnsiString descriptors(fields.size() * 32, '\0');
  std::set<AnsiString> names;
  int64_t recordLength = 1;
  bool memoFields = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TxbFieldSpec& f = fields[i];
    const int length = CheckedLength(f, version);
    const AnsiString upperName = UpperCase(f.name);
    if (!names.insert(upperName).second) BadField("Name", f.name);
    const char type = AsciiUpper(f.type);
    memoFields = memoFields || IsMemoType(type, version);

    auto* d = reinterpret_cast<unsigned char*>(descriptors.data()) + i * 32;
    for (std::size_t k = 0; k < upperName.size(); ++k) d[k] = ByteAt(upperName, k);
    d[11] = static_cast<unsigned char>(type);
    if (version == 0x30) PutLe32(d + 12, static_cast<uint32_t>(recordLength));
    if (type == 'C') {
      d[16] = static_cast<unsigned char>(length & 0xFF);
      d[17] = static_cast<unsigned char>(length >> 8);
    } else {
      d[16] = static_cast<unsigned char>(length);
      d[17] = static_cast<unsigned char>(f.decimals);
    }
    recordLength += length;
    if (recordLength > 65535) BadField("Length", f.name);
  }
  if (!options.password.empty())
    ScrambleBytes(options.password, descriptors.data(), descriptors.data(), descriptors.size(), true);

  const int64_t headerLength =
      32 + static_cast<int64_t>(descriptors.size()) + 1 + (version == 0x30 ? 263 : 0);
  if (headerLength > 65535) XbRaise(xbmTableHeaderInvalid, name);

  AnsiString file(32, '\0');
  auto* h = reinterpret_cast<unsigned char*>(file.data());
  h[0] = version;
  int year = 0, month = 0, day = 0;
  DecodeDate(Date(), year, month, day);
  h[1] = HeaderYearByte(year);
  h[2] = static_cast<unsigned char>(month);
  h[3] = static_cast<unsigned char>(day);
  PutLe32(h + 4, 0);
  PutLe16(h + 8, static_cast<uint32_t>(headerLength));
  PutLe16(h + 10, static_cast<uint32_t>(recordLength));
  h[15] = options.password.empty() ? 0 : 1;
  if (version == 0x30 && memoFields) h[28] = 0x02;
  h[29] = options.language;
  file += descriptors;
  file += '\x0D';
  if (version == 0x30) file.append(263, '\0');
  file += '\x1A';

  WriteNewFile(name, file);
  if (hasMemoVersion && (version != 0x30 || memoFields))
    CreateMemoFile(MemoFileNameFor(name, version), version, blockSize);
}
