// Component-stream values. The reader keeps its own buffer and its own
// count of the bytes left, so a count read from the stream can be checked
// before any allocation.
#include "platform/rtl/value_stream.h"

#include <cstring>
#include <limits>

#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the binary value format needs x87 80-bit extended precision as long double");

namespace {

constexpr std::size_t kBufferSize = 16384;

bool HasHighBytes(const std::string& s) {
  for (unsigned char c : s) {
    if (c > 127) return true;
  }
  return false;
}

void PutLe32(unsigned char* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

// --- writer ------------------------------------------------------------------

void TValueWriter::Write(const void* data, std::size_t count) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    if (buffer_.size() >= kBufferSize) FlushBuffer();
    std::size_t n = std::min(count, kBufferSize - buffer_.size());
    buffer_.insert(buffer_.end(), p, p + n);
    p += n;
    count -= n;
  }
}

void TValueWriter::FlushBuffer() {
  if (buffer_.empty()) return;
  stream_.WriteBuffer(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  buffer_.clear();
}

void TValueWriter::WriteSignature() { Write("TPF0", 4); }

void TValueWriter::WriteInteger(int32_t value) {
  if (value >= -128 && value <= 127) {
    unsigned char b[2] = {vaInt8, static_cast<unsigned char>(static_cast<int8_t>(value))};
    Write(b, 2);
  } else if (value >= -32768 && value <= 32767) {
    uint16_t v = static_cast<uint16_t>(static_cast<int16_t>(value));
    unsigned char b[3] = {vaInt16, static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    Write(b, 3);
  } else {
    unsigned char b[5] = {vaInt32};
    PutLe32(b + 1, static_cast<uint32_t>(value));
    Write(b, 5);
  }
}

void TValueWriter::WriteFloat(long double value) {
  unsigned char b[11] = {vaExtended};
  std::memcpy(b + 1, &value, 10);  // the x87 format's 10 significant bytes, little-endian
  Write(b, 11);
}

void TValueWriter::WriteCounted(uint8_t code, const std::string& bytes) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) throw EWriteError("Stream write error");
  if (code == vaString) {
    unsigned char head[2] = {vaString, static_cast<unsigned char>(bytes.size())};
    Write(head, 2);
  } else {
    unsigned char head[5] = {code};
    PutLe32(head + 1, static_cast<uint32_t>(bytes.size()));
    Write(head, 5);
  }
  Write(bytes.data(), bytes.size());
}

void TValueWriter::WriteString(const AnsiString& text) {
  if (HasHighBytes(text)) {
    WriteCounted(vaUTF8String, AnsiToUtf8(text));
  } else {
    WriteRawString(text);
  }
}

void TValueWriter::WriteRawString(const std::string& bytes) {
  WriteCounted(bytes.size() < 256 ? vaString : vaLString, bytes);
}

// --- reader ------------------------------------------------------------------

TValueReader::TValueReader(TStream& stream) : stream_(stream) {
  int64_t size = stream_.Size();
  int64_t position = stream_.Position();
  remaining_ = size > position ? size - position : 0;
}

void TValueReader::InvalidFormat() { throw EReadError("Invalid stream format"); }

void TValueReader::Fill() {
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
  pos_ = 0;
  std::size_t old = buffer_.size();
  buffer_.resize(kBufferSize);
  int64_t got = stream_.Read(buffer_.data() + old, static_cast<int64_t>(kBufferSize - old));
  buffer_.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
}

void TValueReader::Read(void* data, int64_t count) {
  if (count < 0 || count > remaining_) throw EReadError("Stream read error");
  auto* out = static_cast<unsigned char*>(data);
  while (count > 0) {
    if (pos_ == buffer_.size()) {
      Fill();
      if (pos_ == buffer_.size()) throw EReadError("Stream read error");
    }
    std::size_t n = std::min(static_cast<std::size_t>(count), buffer_.size() - pos_);
    std::memcpy(out, buffer_.data() + pos_, n);
    pos_ += n;
    out += n;
    count -= static_cast<int64_t>(n);
    remaining_ -= static_cast<int64_t>(n);
    consumed_ += static_cast<int64_t>(n);
  }
}

uint8_t TValueReader::ReadByte() {
  uint8_t b;
  Read(&b, 1);
  return b;
}

TValueType TValueReader::NextValue() {
  if (remaining_ <= 0) throw EReadError("Stream read error");
  if (pos_ == buffer_.size()) Fill();
  if (pos_ == buffer_.size()) throw EReadError("Stream read error");
  return static_cast<TValueType>(buffer_[pos_]);
}

void TValueReader::ReadSignature() {
  char sig[4];
  Read(sig, 4);
  if (std::memcmp(sig, "TPF0", 4) != 0) InvalidFormat();
}

bool TValueReader::EndOfList() {
  if (NextValue() != vaNull) return false;
  ReadByte();
  return true;
}

void TValueReader::ReadListBegin() {
  if (ReadByte() != vaList) InvalidFormat();
}

void TValueReader::ReadListEnd() {
  if (ReadByte() != vaNull) InvalidFormat();
}

int32_t TValueReader::ReadInteger() {
  unsigned char b[4] = {};
  switch (ReadByte()) {
    case vaInt8:
      Read(b, 1);
      return static_cast<int8_t>(b[0]);
    case vaInt16:
      Read(b, 2);
      return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
    case vaInt32:
      Read(b, 4);
      return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                  (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    default: InvalidFormat();
  }
}

bool TValueReader::ReadBoolean() {
  switch (ReadByte()) {
    case vaFalse: return false;
    case vaTrue: return true;
    default: InvalidFormat();
  }
}

long double TValueReader::ReadFloat() {
  TValueType code = NextValue();
  if (code == vaInt8 || code == vaInt16 || code == vaInt32) return ReadInteger();
  if (ReadByte() != vaExtended) InvalidFormat();
  long double value = 0;  // zero fills the padding bytes beyond the 10 read
  Read(&value, 10);
  return value;
}

uint32_t TValueReader::ReadCount() {
  unsigned char b[4];
  Read(b, 4);
  uint32_t n = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  // A count beyond what is left cannot be honest: refuse it before allocating.
  if (static_cast<int64_t>(n) > remaining_) throw EReadError("Stream read error");
  return n;
}

std::string TValueReader::ReadRawString() {
  uint8_t code = ReadByte();
  uint32_t n;
  switch (code) {
    case vaString: n = ReadByte(); break;
    case vaLString:
    case vaUTF8String: n = ReadCount(); break;
    default: InvalidFormat();
  }
  std::string bytes(n, '\0');
  Read(bytes.data(), n);
  return code == vaUTF8String ? Utf8ToAnsi(bytes) : bytes;
}

AnsiString TValueReader::ReadString() { return ReadRawString(); }

void TValueReader::SkipValue() {
  // Lists nest; a depth count instead of recursion keeps hostile nesting harmless.
  int depth = 0;
  do {
    switch (NextValue()) {
      case vaList:
        ReadByte();
        ++depth;
        break;
      case vaNull:
        if (depth == 0) InvalidFormat();
        ReadByte();
        --depth;
        break;
      case vaInt8:
      case vaInt16:
      case vaInt32: ReadInteger(); break;
      case vaExtended: ReadFloat(); break;
      case vaFalse:
      case vaTrue: ReadBoolean(); break;
      case vaString:
      case vaLString:
      case vaUTF8String: ReadRawString(); break;
      default: InvalidFormat();
    }
  } while (depth > 0);
}
