// Files by handle: open/create with share modes, positioned and sequential
// transfers, flush, truncation, size, rename and byte-range locks, on Linux.
//
// Handles are int descriptors, -1 when closed (0 is a valid descriptor).
// Every open uses O_CLOEXEC; transfers loop over EINTR and short transfers.
//
// Read-only opens of a file we could write are still opened O_RDWR (and
// writes are refused by this layer) so that exclusive byte-range locks are
// possible, as a read-only Windows handle can take them. Only when O_RDWR is
// refused (permissions, read-only file system) is the file opened O_RDONLY;
// its byte-range locks and its exclusive share lock are then read locks,
// which still exclude other processes' writers.
//
// Share modes: an open-file-description lock on one reserved byte at offset
// 2^62, beyond every lock offset the dBase protocols use (all below 2^32):
// a shared open holds a read lock, an exclusive open a write lock, both
// taken without waiting. A refusal means another handle conflicts, in any
// process or in this one through another open.
//
// Deny-write: two more reserved bytes (2^62 + 1, 2^62 + 2). A handle opened
// for writing (fmOpenWrite, fmOpenReadWrite, or created) and a deny-write
// handle exclude each other; deny-write readers share with each other and
// with deny-none readers. These locks, like the share lock, are not counted
// by SystemLockCallCount.
//
// Byte-range locks are OFD locks (F_OFD_SETLK), never classic POSIX locks:
// those belong to the process, so two handles of one process would not
// exclude each other, and closing any descriptor of a file would silently
// drop every lock of the process on it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/ansistring.h"

using THandle = int;
constexpr THandle kInvalidHandle = -1;

// Open modes (combine one access with one share mode).
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareCompat = 0x0000;  // treated as deny-none
constexpr unsigned fmShareExclusive = 0x0010;
constexpr unsigned fmShareDenyWrite = 0x0020;  // refused while a handle writes, and keeps writers out
constexpr unsigned fmShareDenyRead = 0x0030;   // treated as exclusive
constexpr unsigned fmShareDenyNone = 0x0040;
constexpr unsigned fmCreate = 0xFF00;           // create or empty, exclusive while open

// Opens an existing file (name in CP1250, Windows- or Linux-style, looked up
// case-insensitively). Returns the handle or -1 (errno tells why; a share
// conflict sets EACCES).
THandle FileOpen(const AnsiString& fileName, unsigned mode);
// Creates the file or empties an existing one. An existing file that another
// handle holds open is left untouched and -1 returned. The new handle is
// read-write with the given share mode (default exclusive).
THandle FileCreate(const AnsiString& fileName, unsigned shareMode = fmShareExclusive);
void FileClose(THandle handle);

// Sequential transfers at the handle's position; -1 on failure. Writes on a
// handle opened for reading fail with EBADF.
int64_t FileRead(THandle handle, void* buffer, int64_t count);
int64_t FileWrite(THandle handle, const void* buffer, int64_t count);
// origin 0 beginning, 1 current, 2 end; returns the new position or -1
// (a negative target position is an error, never a wrap).
int64_t FileSeek(THandle handle, int64_t offset, int origin);
// Positioned transfers; the handle's position is not used. -1 on failure.
int64_t FileReadAt(THandle handle, int64_t position, void* buffer, int64_t count);
int64_t FileWriteAt(THandle handle, int64_t position, const void* buffer, int64_t count);
// One piece of a gathered write.
struct FileSpan {
  const void* data;
  int64_t count;
};
// FileWriteAt of pieces that follow each other in the file, taken from
// where they lie in memory (no copy into one buffer), in as few system
// calls as the system allows. Returns the bytes written or -1.
int64_t FileWriteGatherAt(THandle handle, int64_t position, const FileSpan* spans, int spanCount);

bool FileFlush(THandle handle);                 // fsync
bool FileSetEnd(THandle handle, int64_t size);  // ftruncate
int64_t FileSizeOf(THandle handle);             // -1 on failure
// The size (-1 on failure) and, in modified, the last modification time in
// nanoseconds since the epoch (one system call for both).
int64_t FileSizeAndTimeOf(THandle handle, int64_t& modified);
// True for a handle that refuses writes (opened for reading).
bool FileIsReadOnlyHandle(THandle handle);

// Byte-range lock and unlock without waiting. Offsets and lengths are
// unsigned 32-bit values carried in 64-bit types; regions beyond the end of
// the file are valid. A length of 0 is refused (the system would read it as
// "to infinity"), as are offsets or lengths above 0xFFFFFFFF.
bool FileLockRegion(THandle handle, uint64_t offset, uint64_t length);
bool FileUnlockRegion(THandle handle, uint64_t offset, uint64_t length);
// Number of byte-range lock and unlock calls made to the system by this
// process (share-mode locks not counted); tests read it.
uint64_t SystemLockCallCount();

// Never replaces an existing target (the system's rename would silently
// destroy another file); a rename that only changes letter case is allowed.
bool RenameFile(const AnsiString& oldName, const AnsiString& newName);

// Makes linkName a hard link to existingName, replacing an existing
// linkName atomically (for backups that must never be half there). The
// directory is flushed afterwards. False with errno on failure.
bool LinkFile(const AnsiString& existingName, const AnsiString& linkName);

// Atomic replacement, for files other programs or the user may read while we
// write them (settings, exports, persistent tables): a reader sees the old
// file or the new one, never a mix.
//
// Renames tempName over fileName. The temporary must lie in the target's
// directory. An existing target that is a symbolic link has the file it
// points at replaced, not the link, and the target's permission bits pass to
// the temporary. The temporary is flushed before the rename and the
// directory after it. False with the target untouched on failure; the
// caller then removes its temporary.
bool ReplaceFileAtomically(const AnsiString& tempName, const AnsiString& fileName);
// Writes bytes into a new temporary beside fileName (mode 0666 less the
// umask for a new file) and replaces the target with it as above. False on
// failure, with the target untouched and the temporary removed.
bool WriteFileAtomically(const AnsiString& fileName, const std::string& bytes);
