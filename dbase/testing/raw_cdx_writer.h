// Writes CDX files byte by byte from the documented layout, without the
// engine's encoder, so that tests can make files shaped the way other
// programs write them: negative numbers with all eight bytes (or cut ones),
// more information bytes per leaf entry and wider record masks than needed,
// a free-list head in the header, bytes the engine does not interpret.
//
// The tree has at most two levels: leaves of keysPerLeaf entries and, when
// there is more than one leaf, one root branch above them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "dbase/testing/file_bytes.h"

namespace rawcdx {

using filebytes::PutBe32;
using filebytes::PutLe16;
using filebytes::PutLe32;

struct RawKey {
  std::string bytes;  // disk form without trailing fill
  int32_t record = 0;
};

struct RawTag {
  std::string name;
  std::string expression;
  std::string forExpression;
  int keyLength = 10;
  bool character = true;  // fill with blanks, else zeros
  bool unique = false;
  bool descending = false;
  int infoBytes = 0;      // 0: the smallest that holds recordLimit
  uint32_t recordLimit = 1;
  int keysPerLeaf = 20;
  uint32_t freeListHead = 0;   // header offset 4
  uint8_t headerByte16 = 0;    // header offsets 16-23 (not interpreted)
  std::vector<RawKey> keys;    // any order; written sorted by bytes, record
};

class Writer {
 public:
  // The whole file for the tags (the directory lists them by name).
  std::string Write(std::vector<RawTag> tags) {
    file_.assign(1024, '\0');
    std::vector<RawKey> directory;
    std::vector<std::pair<std::size_t, const RawTag*>> headers;
    for (RawTag& tag : tags) {
      std::sort(tag.keys.begin(), tag.keys.end(), [](const RawKey& a, const RawKey& b) {
        std::string x = a.bytes, y = b.bytes;
        return x != y ? Less(x, y) : a.record < b.record;
      });
      std::size_t header = Allocate(1024);
      headers.push_back({header, &tag});
      std::string name = tag.name;
      directory.push_back({name, static_cast<int32_t>(header)});
    }
    std::sort(directory.begin(), directory.end(),
              [](const RawKey& a, const RawKey& b) { return a.bytes < b.bytes; });
    RawTag dir;
    dir.keyLength = 10;
    dir.keys = directory;
    dir.recordLimit = 0x7FFFFFFF;
    dir.infoBytes = 4;
    dir.keysPerLeaf = 40;
    uint32_t dirRoot = WriteTree(dir);
    WriteHeader(0, dir, dirRoot, 0xE0);
    for (auto& [header, tag] : headers) {
      uint32_t root = WriteTree(*tag);
      WriteHeader(header, *tag, root, static_cast<uint8_t>(0x60 | (tag->unique ? 1 : 0) |
                                                             (tag->forExpression.empty() ? 0 : 8)));
    }
    return file_;
  }

 private:
  static bool Less(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    int c = a.compare(0, n, b, 0, n);
    if (c != 0) {
      for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
    }
    return a.size() < b.size();
  }

  std::size_t Allocate(std::size_t bytes) {
    std::size_t at = file_.size();
    file_.resize(at + bytes, '\0');
    return at;
  }

  void WriteHeader(std::size_t at, const RawTag& tag, uint32_t root, uint8_t options) {
    PutLe32(file_, at, root);
    PutLe32(file_, at + 4, tag.freeListHead);
    PutLe16(file_, at + 12, static_cast<uint32_t>(tag.keyLength));
    file_[at + 14] = static_cast<char>(options);
    file_[at + 15] = 1;
    for (std::size_t i = 16; i < 24; ++i) file_[at + i] = static_cast<char>(tag.headerByte16);
    PutLe16(file_, at + 502, tag.descending ? 1 : 0);
    PutLe16(file_, at + 504, tag.expression.empty() ? 0 : static_cast<uint32_t>(tag.expression.size() + 1));
    PutLe16(file_, at + 506, static_cast<uint32_t>(tag.forExpression.size() + 1));
    PutLe16(file_, at + 510, static_cast<uint32_t>(tag.expression.size() + 1));
    file_.replace(at + 512, tag.expression.size(), tag.expression);
    file_.replace(at + 512 + tag.expression.size() + 1, tag.forExpression.size(), tag.forExpression);
  }

  // Returns the root position.
  uint32_t WriteTree(const RawTag& tag) {
    char fill = tag.character ? ' ' : '\0';
    int bits = 0;
    for (int v = tag.keyLength; v > 0; v >>= 1) ++bits;
    int n = tag.infoBytes;
    if (n == 0) {
      n = 3;
      while (n < 8 && std::min(8 * n - 2 * bits, 32) < 32 &&
             ((uint64_t{1} << (8 * n - 2 * bits)) - 1) < tag.recordLimit)
        ++n;
    }
    int recordBits = std::min(8 * n - 2 * bits, 32);
    uint32_t mask = recordBits == 32 ? 0xFFFFFFFFu : (uint32_t{1} << recordBits) - 1;
    std::vector<std::pair<uint32_t, RawKey>> leaves;  // position, last key
    std::size_t count = tag.keys.size();
    std::size_t perLeaf = static_cast<std::size_t>(tag.keysPerLeaf);
    std::size_t leafCount = std::max<std::size_t>(1, (count + perLeaf - 1) / perLeaf);
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < leafCount; ++i) positions.push_back(Allocate(512));
    for (std::size_t l = 0; l < leafCount; ++l) {
      std::size_t at = positions[l];
      std::size_t begin = l * perLeaf;
      std::size_t end = std::min(count, begin + perLeaf);
      bool root = leafCount == 1;
      PutLe16(file_, at, root ? 3 : 2);
      PutLe16(file_, at + 2, static_cast<uint32_t>(end - begin));
      PutLe32(file_, at + 4, l ? static_cast<uint32_t>(positions[l - 1]) : 0xFFFFFFFFu);
      PutLe32(file_, at + 8, l + 1 < leafCount ? static_cast<uint32_t>(positions[l + 1]) : 0xFFFFFFFFu);
      PutLe32(file_, at + 14, mask);
      file_[at + 18] = static_cast<char>((1 << bits) - 1);
      file_[at + 19] = static_cast<char>((1 << bits) - 1);
      file_[at + 20] = static_cast<char>(recordBits);
      file_[at + 21] = static_cast<char>(bits);
      file_[at + 22] = static_cast<char>(bits);
      file_[at + 23] = static_cast<char>(n);
      std::size_t keyEnd = at + 512;
      std::string previous;
      int used = 0;
      for (std::size_t i = begin; i < end; ++i) {
        std::string padded = tag.keys[i].bytes;
        padded.resize(static_cast<std::size_t>(tag.keyLength), fill);
        int length = tag.keyLength;
        while (length > 0 && padded[static_cast<std::size_t>(length - 1)] == fill) --length;
        int trailing = tag.keyLength - length;
        int duplicate = 0;
        if (i > begin)
          while (duplicate < length && previous[static_cast<std::size_t>(duplicate)] ==
                                           padded[static_cast<std::size_t>(duplicate)])
            ++duplicate;
        int stored = length - duplicate;
        keyEnd -= static_cast<std::size_t>(stored);
        file_.replace(keyEnd, static_cast<std::size_t>(stored), padded.substr(static_cast<std::size_t>(duplicate), static_cast<std::size_t>(stored)));
        uint64_t info = static_cast<uint32_t>(tag.keys[i].record) & mask;
        uint64_t word = static_cast<uint64_t>(trailing) << (16 - bits) |
                        static_cast<uint64_t>(duplicate) << (16 - 2 * bits);
        info |= word << (8 * n - 16);
        std::size_t slot = at + 24 + (i - begin) * static_cast<std::size_t>(n);
        for (int b = 0; b < n; ++b) file_[slot + static_cast<std::size_t>(b)] = static_cast<char>((info >> (8 * b)) & 0xFF);
        used += n + stored;
        previous = padded;
      }
      PutLe16(file_, at + 12, static_cast<uint32_t>(488 - used));
      if (end > begin) leaves.push_back({static_cast<uint32_t>(at), tag.keys[end - 1]});
    }
    if (leafCount == 1) return static_cast<uint32_t>(positions[0]);
    std::size_t at = Allocate(512);
    std::fill(file_.begin() + static_cast<std::ptrdiff_t>(at + 12), file_.begin() + static_cast<std::ptrdiff_t>(at + 512), fill);
    PutLe16(file_, at, 1);
    PutLe16(file_, at + 2, static_cast<uint32_t>(leaves.size()));
    PutLe32(file_, at + 4, 0xFFFFFFFFu);
    PutLe32(file_, at + 8, 0xFFFFFFFFu);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      std::size_t e = at + 12 + i * static_cast<std::size_t>(tag.keyLength + 8);
      std::string key = leaves[i].second.bytes;
      key.resize(static_cast<std::size_t>(tag.keyLength), fill);
      file_.replace(e, key.size(), key);
      PutBe32(file_, e + static_cast<std::size_t>(tag.keyLength), static_cast<uint32_t>(leaves[i].second.record));
      PutBe32(file_, e + static_cast<std::size_t>(tag.keyLength) + 4, leaves[i].first);
    }
    return static_cast<uint32_t>(at);
  }

  std::string file_;
};

// The eight stored bytes of a number as writers that keep every byte store
// them, and the form with trailing 0xFF bytes cut.
inline std::string FullNumber(double value) {
  uint64_t bits;
  static_assert(sizeof bits == sizeof value);
  std::copy(reinterpret_cast<const char*>(&value), reinterpret_cast<const char*>(&value) + 8,
            reinterpret_cast<char*>(&bits));
  bits = value < 0 ? ~bits : bits | (uint64_t{1} << 63);
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (56 - 8 * i)) & 0xFF);
  return out;
}
inline std::string CutNumber(double value) {
  std::string s = FullNumber(value);
  char drop = value < 0 ? '\xFF' : '\0';
  while (!s.empty() && s.back() == drop) s.pop_back();
  return s;
}

}  // namespace rawcdx
