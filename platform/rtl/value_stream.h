// Component-stream values: the tagged binary encoding the class library
// uses for stored properties, and the in-memory table for its binary format.
//
// Every value starts with a one-byte code:
//   "TPF0"      signature (four bytes, no code)
//   0 / 1       list end / list begin
//   2 / 3 / 4   integer: signed 8-, 16-, 32-bit little-endian, the smallest that fits
//   5           float: 10-byte x87 extended precision
//   8 / 9       Boolean false / true
//   6           string of < 256 bytes: one-byte length, the bytes
//   12          string: 32-bit little-endian length, the bytes
//   20          text with characters above 127: 32-bit byte count, UTF-8
// Texts are CP1250 inside the program; a text with any byte above 127 is
// written as UTF-8 (code 20) and converted back on reading. Raw byte strings
// (binary values) are never converted: they use codes 6 and 12 only.
//
// The reader trusts no count: every length is checked against the bytes
// left in the stream before anything is allocated. Running out of bytes
// raises EReadError "Stream read error"; a code that is not the kind of
// value expected, or an impossible count, raises EReadError
// "Invalid stream format".
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

enum TValueType : uint8_t {
  vaNull = 0,  // list end
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaFalse = 8,
  vaTrue = 9,
  vaLString = 12,
  vaUTF8String = 20,
};

// Buffers 16384 bytes; FlushBuffer() must be called before the stream is
// used otherwise (the destructor discards what was not flushed, since it
// must not throw).
class TValueWriter {
 public:
  explicit TValueWriter(TStream& stream) : stream_(stream) {}
  TValueWriter(const TValueWriter&) = delete;
  TValueWriter& operator=(const TValueWriter&) = delete;

  void WriteSignature();
  void WriteListBegin() { WriteByte(vaList); }
  void WriteListEnd() { WriteByte(vaNull); }
  void WriteInteger(int32_t value);
  void WriteBoolean(bool value) { WriteByte(value ? vaTrue : vaFalse); }
  // The value as 80-bit extended precision, exact on this platform.
  void WriteFloat(long double value);
  // A CP1250 text (code 20 when any byte is above 127).
  void WriteString(const AnsiString& text);
  // Bytes as they are (codes 6 / 12).
  void WriteRawString(const std::string& bytes);
  void FlushBuffer();

 private:
  void WriteByte(uint8_t b) { Write(&b, 1); }
  void Write(const void* data, std::size_t count);
  void WriteCounted(uint8_t code, const std::string& bytes);

  TStream& stream_;
  std::vector<unsigned char> buffer_;
};

class TValueReader {
 public:
  explicit TValueReader(TStream& stream);
  TValueReader(const TValueReader&) = delete;
  TValueReader& operator=(const TValueReader&) = delete;

  // Raises "Invalid stream format" unless the next four bytes are "TPF0".
  void ReadSignature();
  // The code of the next value without consuming it.
  TValueType NextValue();
  // True (and the end consumed) at a list end.
  bool EndOfList();
  void ReadListBegin();
  void ReadListEnd();
  int32_t ReadInteger();
  bool ReadBoolean();
  // A float, or an integer value read as a float.
  long double ReadFloat();
  // Any string code; code 20 converted from UTF-8 to CP1250.
  AnsiString ReadString();
  // Codes 6 and 12 as raw bytes; a code 20 string (from another writer) is
  // converted back from UTF-8 as ReadString does.
  std::string ReadRawString();
  // Reads past one value of any kind (a list with everything in it).
  void SkipValue();
  // Bytes not yet read.
  int64_t BytesLeft() const { return remaining_; }
  // Bytes read so far from where the reader started.
  int64_t BytesRead() const { return consumed_; }

 private:
  uint8_t ReadByte();
  void Read(void* data, int64_t count);
  uint32_t ReadCount();
  void Fill();
  [[noreturn]] void InvalidFormat();

  TStream& stream_;
  std::vector<unsigned char> buffer_;
  std::size_t pos_ = 0;
  int64_t remaining_ = 0;  // in buffer and stream together
  int64_t consumed_ = 0;
};
