// Writes NDX, NTX and MDX files byte by byte from the documented layouts,
// without the engine's encoders, so that tests can make files shaped the
// way other programs write them: NTX trees whose branch items are keys over
// several levels, with permuted offset tables, the descending flag only at
// byte 280, a free-list head, item counts taken from the header; NDX files
// with 16-byte numeric entries; MDX files with several tags and header bytes
// the engine does not interpret.
//
// Keys are given in the order the tree is to hold them, as disk bytes
// (texts are blank-padded here; numbers are the caller's bytes).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbase/testing/file_bytes.h"

namespace rawindex {

using filebytes::PutLe16;
using filebytes::PutLe32;

struct RawKey {
  std::string bytes;
  int32_t record = 0;
};

inline std::string Padded(const std::string& bytes, int length, char fill = ' ') {
  std::string out = bytes.substr(0, static_cast<std::size_t>(length));
  out.resize(static_cast<std::size_t>(length), fill);
  return out;
}
inline std::string DoubleBytes(double value) {
  std::string out(8, '\0');
  std::memcpy(out.data(), &value, 8);
  return out;
}

// --- NTX

struct RawNtx {
  std::string expression;
  std::string forExpression;
  int keyLength = 10;
  int decimals = 0;
  int maxItems = 0;   // 0: the usual formula
  int halfItems = 0;
  bool unique = false;
  bool descending = false;   // written at byte 280 only
  uint32_t freeListHead = 0;
  uint16_t counter = 1;
  int branchKeys = 2;        // keys per branch page
  int levels = 3;            // levels of the tree (1: a root leaf)
  bool permuteOffsets = true;
  std::vector<RawKey> keys;  // in tree order
};

class NtxWriter {
 public:
  std::string Write(const RawNtx& spec) {
    spec_ = spec;
    if (spec_.maxItems == 0) {
      int f = 1020 / (spec_.keyLength + 10) - 1;
      spec_.halfItems = f / 2;
      spec_.maxItems = 2 * spec_.halfItems;
    }
    file_.assign(1024, '\0');
    int32_t root = Build(0, spec_.keys.size(), spec_.levels - 1);
    PutLe16(file_, 0, spec_.forExpression.empty() ? 6 : 7);
    PutLe16(file_, 2, spec_.counter);
    PutLe32(file_, 4, static_cast<uint32_t>(root));
    PutLe32(file_, 8, spec_.freeListHead);
    PutLe16(file_, 12, static_cast<uint32_t>(spec_.keyLength + 8));
    PutLe16(file_, 14, static_cast<uint32_t>(spec_.keyLength));
    PutLe16(file_, 16, static_cast<uint32_t>(spec_.decimals));
    PutLe16(file_, 18, static_cast<uint32_t>(spec_.maxItems));
    PutLe16(file_, 20, static_cast<uint32_t>(spec_.halfItems));
    std::memcpy(&file_[22], spec_.expression.data(), spec_.expression.size());
    file_[278] = spec_.unique ? 1 : 0;
    file_[280] = spec_.descending ? 1 : 0;
    std::memcpy(&file_[282], spec_.forExpression.data(), spec_.forExpression.size());
    return file_;
  }

 private:
  // A page for keys [begin, end) with `height` levels below it.
  int32_t Build(std::size_t begin, std::size_t end, int height) {
    std::vector<RawKey> items;
    std::vector<int32_t> children;
    if (height == 0) {
      items.assign(spec_.keys.begin() + static_cast<std::ptrdiff_t>(begin), spec_.keys.begin() + static_cast<std::ptrdiff_t>(end));
    } else {
      std::size_t n = end - begin;
      std::size_t c = static_cast<std::size_t>(spec_.branchKeys);
      std::size_t groups = c + 1;
      std::size_t base = (n - c) / groups, extra = (n - c) % groups;
      std::size_t at = begin;
      for (std::size_t g = 0; g < groups; ++g) {
        std::size_t size = base + (g < extra ? 1 : 0);
        children.push_back(Build(at, at + size, height - 1));
        at += size;
        if (g < c) items.push_back(spec_.keys[at++]);
      }
    }
    return Page(items, children);
  }

  int32_t Page(const std::vector<RawKey>& items, const std::vector<int32_t>& children) {
    int32_t position = static_cast<int32_t>(file_.size());
    std::string page(1024, '\0');
    int slots = spec_.maxItems + 1;
    int itemSize = spec_.keyLength + 8;
    int tableEnd = 2 + 2 * slots;
    // Other programs leave items where they were first placed and move only
    // the offsets: the n-th item may lie in any slot.
    std::vector<int> slotOf(static_cast<std::size_t>(slots));
    for (int i = 0; i < slots; ++i) slotOf[static_cast<std::size_t>(i)] = spec_.permuteOffsets ? slots - 1 - i : i;
    PutLe16(page, 0, static_cast<uint32_t>(items.size()));
    for (int i = 0; i < slots; ++i)
      PutLe16(page, 2 + 2 * static_cast<std::size_t>(i),
            static_cast<uint32_t>(tableEnd + slotOf[static_cast<std::size_t>(i)] * itemSize));
    for (std::size_t i = 0; i <= items.size(); ++i) {
      std::size_t at = static_cast<std::size_t>(tableEnd + slotOf[i] * itemSize);
      if (!children.empty()) PutLe32(page, at, static_cast<uint32_t>(children[i]));
      if (i == items.size()) break;
      PutLe32(page, at + 4, static_cast<uint32_t>(items[i].record));
      std::string key = Padded(items[i].bytes, spec_.keyLength);
      std::memcpy(&page[at + 8], key.data(), key.size());
    }
    file_ += page;
    return position;
  }

  RawNtx spec_;
  std::string file_;
};

// --- NDX

struct RawNdx {
  std::string expression;
  bool numeric = false;  // key type 1: 8-byte doubles
  int keyLength = 10;    // text length (8 for numbers)
  int entryLength = 0;   // 0: key + 8 rounded up to 4
  int keysPerLeaf = 4;
  bool unique = false;
  std::vector<RawKey> keys;  // in tree order
};

// A root branch over leaves of keysPerLeaf keys (one root leaf when they
// all fit); the branch keys are the last keys of their leaves.
inline std::string WriteNdx(const RawNdx& spec) {
  int keyBytes = spec.numeric ? 8 : spec.keyLength;
  int entry = spec.entryLength ? spec.entryLength : (keyBytes + 8 + 3) / 4 * 4;
  int maxKeys = 504 / entry;
  std::string file(512, '\0');
  auto page = [&](const std::vector<RawKey>& keys, const std::vector<int32_t>& children) {
    std::string p(512, '\0');
    PutLe16(p, 0, static_cast<uint32_t>(keys.size()));
    for (std::size_t i = 0; i < keys.size() || i < children.size(); ++i) {
      std::size_t at = 4 + i * static_cast<std::size_t>(entry);
      if (!children.empty()) PutLe32(p, at, static_cast<uint32_t>(children[i]));
      if (i >= keys.size()) break;
      if (children.empty()) PutLe32(p, at + 4, static_cast<uint32_t>(keys[i].record));
      std::string key = spec.numeric ? keys[i].bytes : Padded(keys[i].bytes, keyBytes);
      std::memcpy(&p[at + 8], key.data(), std::min<std::size_t>(key.size(), static_cast<std::size_t>(keyBytes)));
    }
    int32_t block = static_cast<int32_t>(file.size() / 512);
    file += p;
    return block;
  };
  int32_t root;
  if (static_cast<int>(spec.keys.size()) <= spec.keysPerLeaf) {
    root = page(spec.keys, {});
  } else {
    std::vector<RawKey> separators;
    std::vector<int32_t> leaves;
    for (std::size_t i = 0; i < spec.keys.size(); i += static_cast<std::size_t>(spec.keysPerLeaf)) {
      std::size_t end = std::min(spec.keys.size(), i + static_cast<std::size_t>(spec.keysPerLeaf));
      std::vector<RawKey> part(spec.keys.begin() + static_cast<std::ptrdiff_t>(i), spec.keys.begin() + static_cast<std::ptrdiff_t>(end));
      leaves.push_back(page(part, {}));
      separators.push_back(part.back());
    }
    separators.pop_back();  // the last child has no key
    root = page(separators, leaves);
  }
  PutLe32(file, 0, static_cast<uint32_t>(root));
  PutLe32(file, 4, static_cast<uint32_t>(file.size() / 512));
  PutLe16(file, 12, static_cast<uint32_t>(keyBytes));
  PutLe16(file, 14, static_cast<uint32_t>(maxKeys));
  PutLe16(file, 16, spec.numeric ? 1 : 0);
  PutLe16(file, 18, static_cast<uint32_t>(entry));
  file[23] = spec.unique ? 1 : 0;
  std::memcpy(&file[24], spec.expression.data(), spec.expression.size());
  return file;
}

// --- MDX

// Packed decimal of a whole number, written digit by digit.
inline std::string PackedInteger(long long value) {
  std::string out(12, '\0');
  bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  if (magnitude == 0) {
    out[0] = 52;
    out[1] = 1;
    return out;
  }
  int exponent = static_cast<int>(digits.size());
  while (digits.back() == '0') digits.pop_back();
  std::size_t nibbles = (digits.size() + 1) / 2 * 2;
  out[0] = static_cast<char>(52 + exponent);
  out[1] = static_cast<char>(4 * nibbles + 1 + (negative ? 0x80 : 0));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    int d = digits[i] - '0';
    out[2 + i / 2] = static_cast<char>(out[2 + i / 2] | (i % 2 ? d : d << 4));
  }
  return out;
}

struct RawMdxTag {
  std::string name;
  std::string expression;
  std::string forExpression;
  char type = 'C';     // 'C', 'N' (packed), 'D' (doubles)
  int keyLength = 10;  // 12 for N, 8 for D
  bool unique = false;
  bool descending = false;
  int keysPerLeaf = 5;
  uint8_t headerByte20 = 0;  // a tag header byte the engine keeps as read
  std::vector<RawKey> keys;  // in tree order
};

inline std::string WriteMdx(const std::string& tableName, std::vector<RawMdxTag> tags) {
  std::string file(2048, '\0');
  file[0] = 2;
  file[1] = 26;
  file[2] = 12;
  file[3] = 8;
  std::memcpy(&file[4], tableName.data(), std::min<std::size_t>(tableName.size(), 8));
  PutLe16(file, 20, 2);
  PutLe16(file, 22, 1024);
  file[24] = 1;
  file[25] = 48;
  file[26] = 32;
  PutLe16(file, 28, static_cast<uint32_t>(tags.size()));
  file[44] = 26;
  file[45] = 12;
  file[46] = 1;
  std::sort(tags.begin(), tags.end(), [](const RawMdxTag& a, const RawMdxTag& b) { return a.name < b.name; });
  file[512 + 17] = tags.empty() ? 0 : 1;
  int32_t previous = 0;
  for (std::size_t t = 0; t < tags.size(); ++t) {
    const RawMdxTag& tag = tags[t];
    int entry = (tag.keyLength + 4 + 3) / 4 * 4;
    int maxKeys = 1016 / entry - 1;
    int32_t headerBlock = static_cast<int32_t>(file.size() / 512);
    file.append(1024, '\0');
    int32_t first = 0;
    auto page = [&](const std::vector<RawKey>& keys, const std::vector<int32_t>& children) {
      std::string p(1024, '\0');
      PutLe32(p, 0, static_cast<uint32_t>(keys.size()));
      PutLe32(p, 4, static_cast<uint32_t>(previous));
      for (std::size_t i = 0; i < keys.size() || i < children.size(); ++i) {
        std::size_t at = 8 + i * static_cast<std::size_t>(entry);
        PutLe32(p, at, static_cast<uint32_t>(children.empty() ? keys[i].record : children[i]));
        if (i >= keys.size()) break;
        std::string key = tag.type == 'C' ? Padded(keys[i].bytes, tag.keyLength) : keys[i].bytes;
        std::memcpy(&p[at + 4], key.data(), std::min<std::size_t>(key.size(), static_cast<std::size_t>(tag.keyLength)));
      }
      int32_t block = static_cast<int32_t>(file.size() / 512);
      file += p;
      previous = block;
      if (!first) first = block;
      return block;
    };
    int32_t root;
    if (static_cast<int>(tag.keys.size()) <= tag.keysPerLeaf) {
      root = page(tag.keys, {});
    } else {
      std::vector<RawKey> separators;
      std::vector<int32_t> leaves;
      for (std::size_t i = 0; i < tag.keys.size(); i += static_cast<std::size_t>(tag.keysPerLeaf)) {
        std::size_t end = std::min(tag.keys.size(), i + static_cast<std::size_t>(tag.keysPerLeaf));
        std::vector<RawKey> part(tag.keys.begin() + static_cast<std::ptrdiff_t>(i), tag.keys.begin() + static_cast<std::ptrdiff_t>(end));
        leaves.push_back(page(part, {}));
        separators.push_back(part.back());
      }
      separators.pop_back();
      root = page(separators, leaves);
    }
    std::size_t h = static_cast<std::size_t>(headerBlock) * 512;
    PutLe32(file, h, static_cast<uint32_t>(root));
    file[h + 8] = static_cast<char>(0x10 | (tag.unique ? 0x40 : 0) | (tag.descending ? 0x08 : 0));
    file[h + 9] = tag.type;
    PutLe16(file, h + 12, static_cast<uint32_t>(tag.keyLength));
    PutLe16(file, h + 14, static_cast<uint32_t>(maxKeys));
    PutLe16(file, h + 18, static_cast<uint32_t>(entry));
    file[h + 23] = tag.unique ? 0x40 : 0;
    std::memcpy(&file[h + 24], tag.expression.data(), tag.expression.size());
    file[h + 20] = static_cast<char>(tag.headerByte20);
    file[h + 245] = tag.forExpression.empty() ? 0 : 1;
    file[h + 246] = 1;
    PutLe32(file, h + 248, static_cast<uint32_t>(first));
    PutLe32(file, h + 252, static_cast<uint32_t>(previous));
    std::memcpy(&file[h + 762], tag.forExpression.data(), tag.forExpression.size());
    std::size_t e = 512 + 32 * (t + 1);
    PutLe32(file, e, static_cast<uint32_t>(headerBlock));
    std::memcpy(&file[e + 4], tag.name.data(), std::min<std::size_t>(tag.name.size(), 10));
    file[e + 17] = static_cast<char>(t + 1 < tags.size() ? t + 2 : 0);
    file[e + 19] = 2;
    file[e + 20] = tag.type;
  }
  PutLe32(file, 32, static_cast<uint32_t>(file.size() / 512));
  return file;
}

}  // namespace rawindex
