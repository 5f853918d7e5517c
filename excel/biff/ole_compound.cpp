// Compound file writer.
//
// Layout written (sector n starts at byte 512 * (n + 1); the header takes
// the first 512 bytes):
//   sectors 0 .. S-1        the "Workbook" stream, one chain in order
//   sector  S               the directory: root entry, "Workbook", two unused
//   next F sectors          the FAT, 128 sector numbers each
//   next X sectors          DIFAT sectors, when the FAT needs more than the
//                           109 sector numbers the header holds: 127 FAT
//                           sector numbers each, then the next DIFAT sector
// FAT values: the next sector of a chain, ENDOFCHAIN 0xFFFFFFFE, FATSECT
// 0xFFFFFFFD for FAT sectors, DIFSECT 0xFFFFFFFC for DIFAT sectors, FREESECT
// 0xFFFFFFFF for the unused rest of the last FAT sector.
#include "excel/biff/ole_compound.h"

#include <cstdint>
#include <vector>

#include "excel/biff/biff_strings.h"

namespace biff {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kHeaderDifat = 109;
constexpr uint32_t kMiniStreamCutoff = 4096;

uint32_t CeilDiv(uint64_t a, uint64_t b) { return static_cast<uint32_t>((a + b - 1) / b); }

// One 128-byte directory entry.
void PutDirectoryEntry(std::string& out, std::u16string_view name, uint8_t type, uint32_t child,
                       uint32_t start, uint32_t size) {
  std::string entry;
  for (char16_t c : name) Put16(entry, c);
  entry.resize(64, '\0');
  Put16(entry, static_cast<uint16_t>(name.empty() ? 0 : (name.size() + 1) * 2));
  Put8(entry, type);
  Put8(entry, type == 0 ? 0 : 1);  // black: a tree of one node per level
  Put32(entry, kNoStream);           // left sibling
  Put32(entry, kNoStream);           // right sibling
  Put32(entry, child);
  entry.append(16, '\0');  // class id
  Put32(entry, 0);         // state bits
  entry.append(16, '\0');  // creation and modification times
  Put32(entry, start);
  Put32(entry, size);
  Put32(entry, 0);  // high half of the size (version 3)
  out += entry;
}

}  // namespace

std::string BuildCompoundFile(std::string_view workbookStream) {
  std::string stream(workbookStream);
  if (stream.size() < kMiniStreamCutoff) stream.resize(kMiniStreamCutoff, '\0');
  const uint32_t streamSectors = CeilDiv(stream.size(), kSectorSize);
  const uint32_t dirSectors = 1;

  // The FAT must cover itself and the DIFAT: grow both until they do.
  uint32_t fatSectors = 0, difatSectors = 0;
  for (;;) {
    uint32_t total = streamSectors + dirSectors + fatSectors + difatSectors;
    uint32_t needFat = CeilDiv(total, kSectorSize / 4);
    uint32_t needDifat = needFat > kHeaderDifat ? CeilDiv(needFat - kHeaderDifat, 127) : 0;
    if (needFat == fatSectors && needDifat == difatSectors) break;
    fatSectors = needFat;
    difatSectors = needDifat;
  }
  const uint32_t dirStart = streamSectors;
  const uint32_t fatStart = dirStart + dirSectors;
  const uint32_t difatStart = fatStart + fatSectors;

  std::vector<uint32_t> fat(static_cast<std::size_t>(fatSectors) * (kSectorSize / 4), kFreeSect);
  for (uint32_t i = 0; i < streamSectors; ++i) fat[i] = i + 1 < streamSectors ? i + 1 : kEndOfChain;
  fat[dirStart] = kEndOfChain;
  for (uint32_t i = 0; i < fatSectors; ++i) fat[fatStart + i] = kFatSect;
  for (uint32_t i = 0; i < difatSectors; ++i) fat[difatStart + i] = kDifSect;

  std::string out;
  out.reserve(static_cast<std::size_t>(kSectorSize) * (1 + difatStart + difatSectors));
  // Header.
  out += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  out.append(16, '\0');  // class id
  Put16(out, 0x003E);    // minor version
  Put16(out, 0x0003);    // major version 3
  Put16(out, 0xFFFE);    // little-endian
  Put16(out, 9);         // sectors of 2^9 bytes
  Put16(out, 6);         // mini sectors of 2^6 bytes
  out.append(6, '\0');
  Put32(out, 0);  // directory sector count: always 0 in version 3
  Put32(out, fatSectors);
  Put32(out, dirStart);
  Put32(out, 0);  // transaction signature
  Put32(out, kMiniStreamCutoff);
  Put32(out, kEndOfChain);  // no mini FAT
  Put32(out, 0);
  Put32(out, difatSectors ? difatStart : kEndOfChain);
  Put32(out, difatSectors);
  for (uint32_t i = 0; i < kHeaderDifat; ++i) Put32(out, i < fatSectors ? fatStart + i : kFreeSect);

  // Stream sectors, the last one padded.
  out += stream;
  out.resize(kSectorSize * (1 + static_cast<std::size_t>(streamSectors)), '\0');

  // Directory.
  PutDirectoryEntry(out, u"Root Entry", 5, 1, kEndOfChain, 0);
  PutDirectoryEntry(out, u"Workbook", 2, kNoStream, 0, static_cast<uint32_t>(stream.size()));
  PutDirectoryEntry(out, u"", 0, kNoStream, 0, 0);
  PutDirectoryEntry(out, u"", 0, kNoStream, 0, 0);

  for (uint32_t v : fat) Put32(out, v);

  // DIFAT sectors: the FAT sector numbers beyond the header's 109.
  for (uint32_t d = 0; d < difatSectors; ++d) {
    for (uint32_t i = 0; i < 127; ++i) {
      uint32_t index = kHeaderDifat + d * 127 + i;
      Put32(out, index < fatSectors ? fatStart + index : kFreeSect);
    }
    Put32(out, d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
  }
  return out;
}

}  // namespace biff
