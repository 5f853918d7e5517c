// Streams: the byte-stream interface of the class library with handle,
// file, memory and string streams. Positions and sizes are 64-bit.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/fileio.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Transfer up to count bytes; return the bytes moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // New position; a negative result position raises EStreamError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }

  // Whole transfers: a short read raises EReadError "Stream read error", a
  // short write EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position; count 0 copies all of source
  // from its beginning. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over an open file handle that it does not own.
class THandleStream : public TStream {
 public:
  explicit THandleStream(THandle handle) : handle_(handle) {}
  THandle Handle() const { return handle_; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

 protected:
  THandle handle_;
};

// Opens or creates a file by name; the mode combines fmCreate or an
// fmOpen* access with an fmShare* mode (fileio.h). Failure raises
// EFOpenError "Cannot open file "%s"" / EFCreateError "Cannot create file
// "%s"" with the name as given. The handle is closed on destruction.
class TFileStream : public THandleStream {
 public:
  TFileStream(const AnsiString& fileName, unsigned mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const AnsiString& FileName() const { return fileName_; }

 private:
  AnsiString fileName_;
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  void* Memory() { return data_.data(); }
  const void* Memory() const { return data_.data(); }
  void Clear();
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& target) const;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;

 private:
  std::vector<unsigned char> data_;
  int64_t position_ = 0;
};

// A memory stream over a text.
class TStringStream : public TStream {
 public:
  explicit TStringStream(AnsiString data = AnsiString()) : data_(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  const AnsiString& DataString() const { return data_; }
  AnsiString ReadString(int64_t count);
  void WriteString(const AnsiString& s);

 private:
  AnsiString data_;
  int64_t position_ = 0;
};
