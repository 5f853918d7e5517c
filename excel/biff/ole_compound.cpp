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

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "excel/biff/biff_strings.h"
#include "excel/biff/biff_writer.h"

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

namespace {

uint32_t Get32(std::string_view d, std::size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(d[at])) |
         (static_cast<uint32_t>(static_cast<unsigned char>(d[at + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<unsigned char>(d[at + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(d[at + 3])) << 24);
}

uint16_t Get16(std::string_view d, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(d[at]) | (static_cast<unsigned char>(d[at + 1]) << 8));
}

[[noreturn]] void Damaged(const std::string& what) { throw EBiffError("The file is damaged: " + what); }

class CompoundReader {
 public:
  explicit CompoundReader(std::string_view file) : file_(file) {
    static constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (file.size() < 512 || std::memcmp(file.data(), kSignature, 8) != 0) {
      throw EBiffError("The file is not an Excel workbook (no compound file header)");
    }
    uint16_t major = Get16(file, 0x1A);
    uint16_t shift = Get16(file, 0x1E);
    if (Get16(file, 0x1C) != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12)) ||
        Get16(file, 0x20) != 6) {
      Damaged("unknown compound file version or sector size");
    }
    sectorSize_ = 1u << shift;
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>((file.size() - 512 + sectorSize_ - 1) / sectorSize_, 0xFFFFFFF0u));
    if (major == 4 && file.size() < sectorSize_) Damaged("truncated header sector");
    ReadFat();
  }

  std::string WorkbookStream() {
    std::string dir = Chain(Get32(file_, 0x30), fat_, sectorSize_, [this](uint32_t s) { return Sector(s); }, 0);
    uint32_t miniStart = kEndOfChain;
    uint64_t miniSize = 0;
    bool haveBook = false;
    const char* found = nullptr;
    uint32_t start = 0;
    uint64_t size = 0;
    for (std::size_t at = 0; at + 128 <= dir.size(); at += 128) {
      std::string_view entry(dir.data() + at, 128);
      uint8_t type = static_cast<uint8_t>(entry[0x42]);
      uint16_t nameBytes = Get16(entry, 0x40);
      if (nameBytes > 64 || nameBytes % 2) Damaged("directory entry name length");
      std::u16string name;
      for (std::size_t i = 0; i + 2 < nameBytes; i += 2) name.push_back(static_cast<char16_t>(Get16(entry, i)));
      uint64_t entrySize = Get32(entry, 0x78);
      if (sectorSize_ == 4096) entrySize |= static_cast<uint64_t>(Get32(entry, 0x7C)) << 32;
      if (type == 5 && at == 0) {
        miniStart = Get32(entry, 0x74);
        miniSize = entrySize;
      } else if (type == 2 && (name == u"Workbook" || name == u"WORKBOOK" || name == u"workbook")) {
        found = "Workbook";
        start = Get32(entry, 0x74);
        size = entrySize;
      } else if (type == 2 && name == u"Book") {
        haveBook = true;
      }
    }
    if (!found) {
      if (haveBook) throw EBiffError("The workbook is in an older Excel format (5.0/95 or earlier), which cannot be opened");
      throw EBiffError("The file holds no Excel workbook stream");
    }
    if (size > file_.size()) Damaged("stream size beyond the file");
    if (size >= Get32(file_, 0x38)) {
      return Chain(start, fat_, sectorSize_, [this](uint32_t s) { return Sector(s); }, size);
    }
    // A small stream lives in the mini stream, 64-byte sectors of the root
    // entry's chain, chained through the mini FAT.
    if (miniSize > file_.size()) Damaged("mini stream size beyond the file");
    std::string mini = Chain(miniStart, fat_, sectorSize_, [this](uint32_t s) { return Sector(s); }, miniSize);
    std::string miniFatBytes = Chain(Get32(file_, 0x3C), fat_, sectorSize_, [this](uint32_t s) { return Sector(s); }, 0);
    std::vector<uint32_t> miniFat;
    for (std::size_t at = 0; at + 4 <= miniFatBytes.size(); at += 4) miniFat.push_back(Get32(miniFatBytes, at));
    auto miniSector = [&mini](uint32_t s) -> std::string_view {
      if ((static_cast<uint64_t>(s) + 1) * 64 > mini.size()) Damaged("mini sector beyond the mini stream");
      return std::string_view(mini).substr(static_cast<std::size_t>(s) * 64, 64);
    };
    return Chain(start, miniFat, 64, miniSector, size);
  }

 private:
  std::string_view Sector(uint32_t s) const {
    if (s >= sectorCount_) Damaged("sector number beyond the file");
    std::size_t at = (static_cast<std::size_t>(s) + 1) * sectorSize_;
    std::size_t n = std::min<std::size_t>(sectorSize_, file_.size() - at);
    return file_.substr(at, n);
  }

  void ReadFat() {
    uint32_t fatSectors = Get32(file_, 0x2C);
    if (fatSectors > sectorCount_) Damaged("FAT sector count beyond the file");
    std::vector<uint32_t> fatList;
    for (uint32_t i = 0; i < kHeaderDifat && fatList.size() < fatSectors; ++i) fatList.push_back(Get32(file_, 0x4C + 4 * i));
    uint32_t difat = Get32(file_, 0x44);
    uint32_t difatCount = Get32(file_, 0x48);
    uint32_t perDifat = sectorSize_ / 4 - 1;
    for (uint32_t n = 0; fatList.size() < fatSectors; ++n) {
      if (n >= difatCount || n > sectorCount_ || difat >= sectorCount_) Damaged("DIFAT chain out of range or cyclic");
      std::string_view sector = Sector(difat);
      if (sector.size() < sectorSize_) Damaged("truncated DIFAT sector");
      for (uint32_t i = 0; i < perDifat && fatList.size() < fatSectors; ++i) fatList.push_back(Get32(sector, 4 * i));
      difat = Get32(sector, 4 * perDifat);
    }
    for (uint32_t s : fatList) {
      std::string_view sector = Sector(s);
      for (std::size_t at = 0; at + 4 <= sector.size(); at += 4) fat_.push_back(Get32(sector, at));
    }
  }

  // The bytes of a chain (its first size bytes; size 0: the whole chain).
  template <class SectorOf>
  std::string Chain(uint32_t start, const std::vector<uint32_t>& fat, uint32_t unit, SectorOf sectorOf, uint64_t size) {
    std::string out;
    if (size == 0 && start == kEndOfChain) return out;
    std::vector<bool> seen(fat.size(), false);
    uint32_t s = start;
    while (size == 0 || out.size() < size) {
      if (s == kEndOfChain) {
        if (size == 0) break;
        Damaged("stream size beyond its chain");
      }
      if (s >= fat.size()) Damaged("chain leaves the allocation table");
      if (seen[s]) Damaged("cyclic sector chain");
      seen[s] = true;
      std::string_view bytes = sectorOf(s);
      if (bytes.size() < unit && size != 0 && out.size() + bytes.size() < size) Damaged("truncated sector");
      out.append(bytes.data(), bytes.size());
      s = fat[s];
    }
    if (size != 0) out.resize(static_cast<std::size_t>(size));
    return out;
  }

  std::string_view file_;
  uint32_t sectorSize_ = 512;
  uint32_t sectorCount_ = 0;
  std::vector<uint32_t> fat_;
};

}  // namespace

std::string ReadWorkbookStream(std::string_view file) { return CompoundReader(file).WorkbookStream(); }

}  // namespace biff
