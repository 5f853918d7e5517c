#include "report/page_stream.h"

#include <cmath>
#include <cstring>

#include "platform/gui/resources.h"

namespace rps {

namespace {

uint32_t U32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace


void UnexpectedCode() { throw EReportError(RptText("Unexpected code found in report file.")); }

// ------------------------------------------------------------- encodings

void PutByte(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }

void PutWord(std::string& out, int v) {
  auto u = static_cast<uint16_t>(v);
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}

void PutLong(std::string& out, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutFloat(std::string& out, double v) {
  float f = static_cast<float>(v);
  uint32_t u;
  std::memcpy(&u, &f, 4);
  PutLong(out, static_cast<int32_t>(u));
}

void PutText(std::string& out, std::string_view text, int version) {
  std::size_t n = text.size();
  if (n >= 192 && version >= kVersion2016) {
    PutByte(out, static_cast<uint8_t>(0xC0 | (n >> 8)));
    PutByte(out, static_cast<uint8_t>(n & 0xFF));
  } else {
    PutByte(out, static_cast<uint8_t>(n));
  }
  out.append(text);
}

AnsiString CutText(const AnsiString& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  AnsiString t = text.substr(0, limit);
  // A format block cut in half would turn its parameters into printed text.
  std::size_t open = t.rfind('\x01');
  if (open != std::string::npos && t.find('\x04', open) == std::string::npos) t.erase(open);
  return t;
}

uint8_t PenModeCode(TPenMode mode) {
  switch (mode) {
    case pmXor: return 14;
    case pmNot: return 3;
    case pmNotXor: return 15;
    case pmMask: return 12;
    default: return 4;
  }
}

TPenMode PenModeFromCode(uint8_t code) {
  switch (code) {
    case 14: return pmXor;
    case 3: return pmNot;
    case 15: return pmNotXor;
    case 12: return pmMask;
    default: return pmCopy;
  }
}

// A bitmap whose header claims more pixels than its bytes can hold is
// refused before an image of that size is made.
void CheckStoredBitmap(const std::string& b) {
  if (b.size() < 30 || b[0] != 'B' || b[1] != 'M') return;  // the loader refuses it
  uint32_t headerSize = U32(b, 14);
  int64_t w, h;
  int bits;
  if (headerSize == 12) {
    w = static_cast<uint16_t>(U32(b, 18) & 0xFFFF);
    h = static_cast<uint16_t>(U32(b, 18) >> 16);
    bits = static_cast<uint16_t>(U32(b, 22) >> 16);
  } else {
    w = static_cast<int32_t>(U32(b, 18));
    h = std::llabs(static_cast<int64_t>(static_cast<int32_t>(U32(b, 22))));
    bits = static_cast<uint16_t>(U32(b, 26) >> 16);
  }
  if (w < 0 || w * h > 64LL * 1024 * 1024) throw EInvalidGraphic("Bitmap image is not valid");
  uint32_t compression = b.size() >= 34 && headerSize >= 40 ? U32(b, 30) : 0;
  int64_t rowBytes = (w * std::max(bits, 1) + 31) / 32 * 4;
  // Run-length data hold at least one byte pair per 255 pixels.
  int64_t need = compression == 1 || compression == 2 ? w * h / 255 * 2 : rowBytes * h;
  if (need > static_cast<int64_t>(b.size()))
    throw EInvalidGraphic("Bitmap image is not valid");
}


std::string EncodeHeader(TStreamHeader& h) {
  std::string out;
  PutByte(out, cHeader);
  PutWord(out, kVersionWritten);
  PutText(out, CutText(h.title));
  h.pageCountPos = static_cast<int64_t>(out.size());
  PutWord(out, h.pageCount);
  PutWord(out, h.firstPage);
  PutWord(out, h.lastPage);
  for (double v : {h.pageWidth, h.pageHeight, h.wasteLeft, h.wasteRight, h.wasteTop, h.wasteBottom}) PutFloat(out, v);
  PutByte(out, h.orientation);
  PutWord(out, h.bin);
  PutByte(out, h.collate ? 1 : 0);
  PutByte(out, h.duplex);
  PutWord(out, h.copies);
  PutWord(out, h.paperSize);
  PutWord(out, h.paperWidth);
  PutWord(out, h.paperLength);
  PutText(out, CutText(h.outputName));
  return out;
}

// ---------------------------------------------------------------- reader

TPageStreamReader::TPageStreamReader(TStream& stream) : stream_(stream), size_(stream.Size()) {}

void TPageStreamReader::Bad() { UnexpectedCode(); }

int64_t TPageStreamReader::Position() { return stream_.Position(); }

void TPageStreamReader::Seek(int64_t pos) {
  if (pos < 0 || pos > size_) throw EReadError("Stream read error");
  stream_.SetPosition(pos);
}

int64_t TPageStreamReader::Remaining() { return size_ - stream_.Position(); }

void TPageStreamReader::Need(int64_t n) {
  if (n < 0 || n > Remaining()) throw EReadError("Stream read error");
}

std::string TPageStreamReader::ReadBytes(int64_t n) {
  Need(n);
  std::string s(static_cast<std::size_t>(n), '\0');
  if (n > 0) stream_.ReadBuffer(s.data(), n);
  return s;
}

uint8_t TPageStreamReader::ReadByte() {
  Need(1);
  uint8_t b;
  stream_.ReadBuffer(&b, 1);
  return b;
}

int TPageStreamReader::ReadWord() {
  Need(2);
  uint8_t b[2];
  stream_.ReadBuffer(b, 2);
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
}

int32_t TPageStreamReader::ReadLong() {
  Need(4);
  uint8_t b[4];
  stream_.ReadBuffer(b, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                              (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

double TPageStreamReader::ReadFloat() {
  auto u = static_cast<uint32_t>(ReadLong());
  float f;
  std::memcpy(&f, &u, 4);
  if (!std::isfinite(f)) Bad();
  return f;
}

AnsiString TPageStreamReader::ReadText() {
  int64_t n = ReadByte();
  if (n >= 192 && version_ >= kVersion2016) n = ((n & 0x3F) << 8) | ReadByte();
  return ReadBytes(n);
}

void TPageStreamReader::ReadPoint(double& x, double& y) {
  x = ReadFloat();
  y = ReadFloat();
}

void TPageStreamReader::ReadRect(double& l, double& t, double& r, double& b) {
  ReadPoint(l, t);
  ReadPoint(r, b);
}

int64_t TPageStreamReader::ReadLength() {
  int64_t n = ReadLong();
  Need(n);
  return n;
}

TStoredGraphic TPageStreamReader::ReadGraphic() {
  uint8_t kind = ReadByte();
  uint8_t base = kind & 0x7F;
  if (base < kGraphicBitmap || base > kGraphicOther) Bad();
  TStoredGraphic g;
  g.kind = base;
  if (kind & kGraphicReference) {
    int64_t here = Position();
    int64_t target = ReadLong();
    // A reference names an earlier copy's size field; anything else could
    // point at itself or at bytes not yet read.
    if (target <= 0 || target >= here) Bad();
    int64_t back = Position();
    Seek(target);
    int64_t n = ReadLength();
    g.data = ReadBytes(n);
    Seek(back);
  } else {
    int64_t n = ReadLength();
    g.data = ReadBytes(n);
  }
  return g;
}

AnsiString TPageStreamReader::ReadValueAt(int64_t pos, int hops) {
  // reference -> placeholder -> text is the longest chain a writer makes.
  if (hops > 8) Bad();
  Seek(pos);
  int s = ReadByte();
  int l = ReadByte();
  Need(s);
  if (l == 254 || l == 255) {
    if (s < 4) Bad();
    int64_t target = std::llabs(static_cast<int64_t>(ReadLong()));
    if (target == 0) return "";  // a placeholder never filled
    if (target >= pos) Bad();
    return ReadValueAt(target, hops + 1);
  }
  return ReadBytes(std::min(l, s));
}

void TPageStreamReader::ReadNamedValue(AnsiString& name, AnsiString& value) {
  name = ReadText();
  int64_t pos = Position();
  Need(2);
  int s = ReadByte();
  ReadByte();
  Need(s);
  int64_t end = pos + 2 + s;
  value = ReadValueAt(pos, 0);
  Seek(end);
}

TStreamHeader TPageStreamReader::ReadHeader() {
  Seek(0);
  TStreamHeader h;
  uint8_t code = ReadByte();
  if (code == cHeader)
    h.version = ReadWord();
  else if (code == cHeaderY)
    h.version = kVersionY;
  else if (code == cHeaderQ)
    h.version = kVersionQ;
  else
    throw EReportError(RptText("Unexpected header code found in report file."));
  version_ = h.version;
  if (h.version >= kVersion2010) h.title = ReadText();
  h.pageCountPos = Position();
  h.pageCount = ReadWord();
  h.firstPage = ReadWord();
  h.lastPage = ReadWord();
  h.pageWidth = ReadFloat();
  h.pageHeight = ReadFloat();
  if (!(h.pageWidth > 0 && h.pageWidth <= 200 && h.pageHeight > 0 && h.pageHeight <= 200)) Bad();
  h.wasteLeft = ReadFloat();
  h.wasteRight = ReadFloat();
  h.wasteTop = ReadFloat();
  h.wasteBottom = ReadFloat();
  h.orientation = ReadByte();
  if (h.version >= kVersion2000) {
    h.bin = ReadWord();
    h.collate = ReadByte() != 0;
    h.duplex = ReadByte();
  }
  h.copies = ReadWord();
  h.paperSize = ReadWord();
  h.paperWidth = ReadWord();
  h.paperLength = ReadWord();
  h.outputName = ReadText();
  h.firstPagePos = Position();
  if (h.pageCount < 0) Bad();

  // The page chain, walked once: links strictly forward and back to the
  // page before, numbers 1..N, as many pages as the header says.
  pages_.clear();
  if (h.pageCount > 0) {
    int64_t pos = h.firstPagePos;
    int64_t prev = 0;
    while (true) {
      Seek(pos);
      TPageRecord p = ReadPageRecord();
      if (p.number != static_cast<int>(pages_.size()) + 1 || p.prev != prev) Bad();
      pages_.push_back(p);
      if (p.next == 0) break;
      if (p.next <= pos || static_cast<int>(pages_.size()) >= h.pageCount) Bad();
      prev = pos;
      pos = p.next;
    }
    if (static_cast<int>(pages_.size()) != h.pageCount) Bad();
  }
  Seek(h.firstPagePos);
  return h;
}

TPageRecord TPageStreamReader::ReadPageRecord() {
  TPageRecord p;
  p.pos = Position();
  if (ReadByte() != cPage) Bad();
  p.prev = ReadLong();
  p.next = ReadLong();
  p.number = ReadWord();
  if (version_ >= kVersion2000) {
    p.width = ReadFloat();
    p.height = ReadFloat();
    if (!(p.width > 0 && p.width <= 200 && p.height > 0 && p.height <= 200)) Bad();
  } else {
    ReadByte();
  }
  p.contentPos = Position();
  return p;
}

}  // namespace rps
