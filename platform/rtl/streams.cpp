// Byte streams: the abstract stream with whole-transfer helpers, streams
// over file handles and files, and memory and string streams.
//
// Invariants: positions are never negative (a seek that would make one
// raises and leaves the position as it was); a memory or string stream may
// be positioned beyond its end, and a write there fills the gap with zero
// bytes; a system failure of a handle stream raises instead of looking like
// the end of the file.
#include "platform/rtl/streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace {

constexpr int64_t kCopyChunk = 64 * 1024;

// The position that offset from origin denotes, or -1 when it is negative
// or does not fit.
int64_t TargetPosition(int64_t offset, TSeekOrigin origin, int64_t current, int64_t size) {
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning: base = 0; break;
    case TSeekOrigin::soCurrent: base = current; break;
    case TSeekOrigin::soEnd: base = size; break;
  }
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) return -1;
  int64_t target = base + offset;
  return target < 0 ? -1 : target;
}

[[noreturn]] void SeekError() { throw EStreamError("Stream seek error"); }

// Room for count more bytes after position in a buffer held in memory.
std::size_t EndAfterWrite(int64_t position, int64_t count) {
  if (count > std::numeric_limits<int64_t>::max() - position ||
      static_cast<uint64_t>(position + count) > std::numeric_limits<std::size_t>::max() / 2)
    throw EWriteError("Stream write error");
  return static_cast<std::size_t>(position + count);
}

// Transfers of the streams held in memory (a byte vector or a text), which
// share their rules: reads stop at the end, writes grow the buffer and fill
// a gap before the position with zero bytes.
template <class Buffer>
int64_t ReadBuffered(const Buffer& data, int64_t& position, void* out, int64_t count) {
  int64_t size = static_cast<int64_t>(data.size());
  if (count <= 0 || position >= size) return 0;
  int64_t n = std::min(count, size - position);
  std::memcpy(out, data.data() + position, static_cast<std::size_t>(n));
  position += n;
  return n;
}

template <class Buffer>
int64_t WriteBuffered(Buffer& data, int64_t& position, const void* in, int64_t count) {
  if (count <= 0) return 0;
  std::size_t end = EndAfterWrite(position, count);
  if (end > data.size()) data.resize(end);
  std::memcpy(data.data() + position, in, static_cast<std::size_t>(count));
  position += count;
  return count;
}

int64_t SeekBuffered(int64_t& position, int64_t offset, TSeekOrigin origin, int64_t size) {
  int64_t target = TargetPosition(offset, origin, position, size);
  if (target < 0) SeekError();
  position = target;
  return position;
}

template <class Buffer>
void ResizeBuffered(Buffer& data, int64_t& position, int64_t size) {
  if (size < 0) throw EStreamError("Stream size error");
  data.resize(EndAfterWrite(0, size));
  position = std::min(position, size);
}

}  // namespace

// ---- TStream ----

int64_t TStream::Size() {
  int64_t position = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Read(buffer, count) != count))
    throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Write(buffer, count) != count))
    throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<unsigned char> chunk(static_cast<std::size_t>(std::min(count, kCopyChunk)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, kCopyChunk);
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

// ---- THandleStream ----

int64_t THandleStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t n = FileRead(handle_, buffer, count);
  if (n < 0) throw EReadError("Stream read error");
  return n;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t n = FileWrite(handle_, buffer, count);
  if (n < 0) throw EWriteError("Stream write error");
  return n;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t result = FileSeek(handle_, offset, static_cast<int>(origin));
  if (result < 0) SeekError();
  return result;
}

void THandleStream::SetSize(int64_t size) {
  int64_t position = Position();
  if (size < 0 || !FileSetEnd(handle_, size)) throw EStreamError("Stream size error");
  if (position > size) Seek(size, TSeekOrigin::soBeginning);
}

// ---- TFileStream ----

TFileStream::TFileStream(const AnsiString& fileName, unsigned mode)
    : THandleStream(kInvalidHandle), fileName_(fileName) {
  if ((mode & fmCreate) == fmCreate) {
    unsigned share = mode & 0xF0u;
    // fmCreate alone means exclusive while open.
    handle_ = FileCreate(fileName, share == fmShareCompat ? fmShareExclusive : share);
    if (handle_ < 0) throw EFCreateError(Format("Cannot create file \"%s\"", fileName));
  } else {
    handle_ = FileOpen(fileName, mode);
    if (handle_ < 0) throw EFOpenError(Format("Cannot open file \"%s\"", fileName));
  }
}

TFileStream::~TFileStream() { FileClose(handle_); }

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  return ReadBuffered(data_, position_, buffer, count);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  return WriteBuffered(data_, position_, buffer, count);
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  return SeekBuffered(position_, offset, origin, Size());
}

void TMemoryStream::SetSize(int64_t size) { ResizeBuffered(data_, position_, size); }

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  std::vector<unsigned char> bytes(EndAfterWrite(0, size));
  source.ReadBuffer(bytes.data(), size);
  data_ = std::move(bytes);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& target) const {
  target.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TMemoryStream::SaveToFile(const AnsiString& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

// ---- TStringStream ----

int64_t TStringStream::Read(void* buffer, int64_t count) {
  return ReadBuffered(data_, position_, buffer, count);
}

int64_t TStringStream::Write(const void* buffer, int64_t count) {
  return WriteBuffered(data_, position_, buffer, count);
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  return SeekBuffered(position_, offset, origin, Size());
}

void TStringStream::SetSize(int64_t size) { ResizeBuffered(data_, position_, size); }

AnsiString TStringStream::ReadString(int64_t count) {
  int64_t size = Size();
  if (count <= 0 || position_ >= size) return AnsiString();
  int64_t n = std::min(count, size - position_);
  AnsiString out = data_.substr(static_cast<std::size_t>(position_), static_cast<std::size_t>(n));
  position_ += n;
  return out;
}

void TStringStream::WriteString(const AnsiString& s) {
  WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}
