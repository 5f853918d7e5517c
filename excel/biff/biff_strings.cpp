// Unicode strings and the shared string table of the workbook stream.
#include "excel/biff/biff_strings.h"

#include <algorithm>
#include <cstring>

#include "excel/biff/biff_records.h"
#include "platform/rtl/codepages.h"

namespace biff {

std::u16string Cp1250ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  // Every CP1250 character lies in the Basic Multilingual Plane.
  for (char c : text) out.push_back(static_cast<char16_t>(Cp1250ToUnicode(static_cast<unsigned char>(c))));
  return out;
}

bool FitsCompressed(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 0xFF; });
}

void Put8(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }
void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void PutDouble(std::string& out, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  Put32(out, static_cast<uint32_t>(bits));
  Put32(out, static_cast<uint32_t>(bits >> 32));
}

namespace {

void PutChars(std::string& out, std::u16string_view text, bool compressed) {
  for (char16_t c : text) {
    if (compressed) {
      Put8(out, static_cast<uint8_t>(c));
    } else {
      Put16(out, static_cast<uint16_t>(c));
    }
  }
}

void PutHeader(std::string& out, uint16_t id, std::size_t length) {
  Put16(out, id);
  Put16(out, static_cast<uint16_t>(length));
}

}  // namespace

void AppendUnicodeString(std::string& out, std::u16string_view text, bool shortLength) {
  bool compressed = FitsCompressed(text);
  if (shortLength) {
    Put8(out, static_cast<uint8_t>(text.size()));
  } else {
    Put16(out, static_cast<uint16_t>(text.size()));
  }
  Put8(out, compressed ? 0 : 1);
  PutChars(out, text, compressed);
}

void AppendRecord(std::string& stream, uint16_t id, std::string_view data) {
  std::size_t first = std::min(data.size(), kMaxRecordData);
  PutHeader(stream, id, first);
  stream.append(data.substr(0, first));
  for (std::size_t at = first; at < data.size(); at += kMaxRecordData) {
    std::size_t n = std::min(data.size() - at, kMaxRecordData);
    PutHeader(stream, kContinue, n);
    stream.append(data.substr(at, n));
  }
}

void AppendSharedStrings(std::string& stream, const std::vector<std::u16string>& strings,
                         uint32_t total) {
  // Records are built one at a time: data of the current record, flushed
  // with its header when the next piece does not fit.
  std::vector<SstPosition> positions;
  positions.reserve(strings.size());
  std::string data;
  uint16_t id = kSst;
  Put32(data, total);
  Put32(data, static_cast<uint32_t>(strings.size()));
  auto flush = [&] {
    PutHeader(stream, id, data.size());
    stream += data;
    data.clear();
    id = kContinue;
  };
  for (const std::u16string& s : strings) {
    bool compressed = FitsCompressed(s);
    std::size_t charSize = compressed ? 1 : 2;
    // The length and flags (3 bytes) and at least one character stay
    // together.
    if (data.size() + 3 + (s.empty() ? 0 : charSize) > kMaxRecordData) flush();
    positions.push_back({static_cast<uint32_t>(stream.size() + 4 + data.size()),
                         static_cast<uint16_t>(4 + data.size())});
    Put16(data, static_cast<uint16_t>(s.size()));
    Put8(data, compressed ? 0 : 1);
    std::u16string_view rest = s;
    for (;;) {
      std::size_t room = (kMaxRecordData - data.size()) / charSize;
      std::size_t n = std::min(room, rest.size());
      PutChars(data, rest.substr(0, n), compressed);
      rest.remove_prefix(n);
      if (rest.empty()) break;
      flush();
      Put8(data, compressed ? 0 : 1);  // the continued part repeats the flags
    }
  }
  flush();

  // EXTSST: every dsst-th string's position, so a reader can seek.
  uint16_t perBucket = static_cast<uint16_t>(std::max<std::size_t>(8, strings.size() / 128 + 1));
  std::string ext;
  Put16(ext, perBucket);
  for (std::size_t i = 0; i < positions.size(); i += perBucket) {
    Put32(ext, positions[i].streamOffset);
    Put16(ext, positions[i].recordOffset);
    Put16(ext, 0);
  }
  AppendRecord(stream, kExtSst, ext);
}

}  // namespace biff
