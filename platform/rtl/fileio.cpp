// Files by handle on Linux: opens with share modes, transfers, truncation,
// byte-range locks and a rename that never replaces.
//
// Invariants kept here:
// - Every handle this layer opened is in the handle table until FileClose;
//   the table remembers whether the handle may write (the caller asked for
//   write access) and whether the descriptor itself is O_RDONLY (the system
//   refused O_RDWR), in which case every lock it takes is a read lock
//   because the system grants write locks only on descriptors open for
//   writing.
// - Each open holds an OFD lock on the share byte (offset 2^62, length 1)
//   for its whole life: a read lock for shared opens, a write lock for
//   exclusive ones. Region locks are restricted to 32-bit offsets and
//   lengths, so they can never touch the share byte.
// - Lengths of 0 never reach the system; positions are never negative.
#include "platform/rtl/fileio.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/rtl/codepages.h"
#include "platform/rtl/paths.h"

namespace {

constexpr off_t kShareByte = off_t(1) << 62;
// Deny-write bookkeeping: every handle opened for writing holds a read lock
// on the writers' byte, every deny-write handle one on the deny-write byte.
// Each side announces itself first and then asks (F_OFD_GETLK, taking
// nothing) whether the other side's byte is held, so two deny-write readers
// or any number of writers coexist, while a writer and a deny-write handle
// exclude each other; two racing opens may both be refused, never both let in.
constexpr off_t kWritersByte = kShareByte + 1;
constexpr off_t kDenyWriteByte = kShareByte + 2;
constexpr uint64_t kMaxLockValue = 0xFFFFFFFFu;
// One system call moves at most this much, well inside ssize_t.
constexpr int64_t kMaxChunk = int64_t(1) << 30;

struct HandleState {
  bool writable = false;
  bool readOnlyDescriptor = false;
};

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}

std::unordered_map<int, HandleState>& Table() {
  static std::unordered_map<int, HandleState> table;
  return table;
}

std::atomic<uint64_t> lockCalls{0};

void Register(int fd, HandleState state) {
  std::lock_guard<std::mutex> guard(TableMutex());
  Table()[fd] = state;
}

void Unregister(int fd) {
  std::lock_guard<std::mutex> guard(TableMutex());
  Table().erase(fd);
}

// The state of a handle this layer opened; nullopt for foreign descriptors,
// which the system alone then judges.
std::optional<HandleState> StateOf(int fd) {
  std::lock_guard<std::mutex> guard(TableMutex());
  auto it = Table().find(fd);
  if (it == Table().end()) return std::nullopt;
  return it->second;
}

bool MayWrite(int fd) {
  std::optional<HandleState> state = StateOf(fd);
  if (state && !state->writable) {
    errno = EBADF;
    return false;
  }
  return true;
}

bool SetOfdLock(int fd, short type, off_t start, off_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  fl.l_pid = 0;  // required for OFD locks
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool ValidShareMode(unsigned share) {
  return share == fmShareCompat || share == fmShareExclusive || share == fmShareDenyWrite ||
         share == fmShareDenyRead || share == fmShareDenyNone;
}

bool IsExclusive(unsigned share) { return share == fmShareExclusive || share == fmShareDenyRead; }

void CloseKeepingErrno(int fd) {
  int saved = errno;
  close(fd);
  errno = saved;
}

// Tables and indexes are read a record or a page at a time: without this
// the kernel weighs an access-time update on every read. Only the file's
// owner may ask; for other files reads stay as they were.
void SkipAccessTimes(int fd) {
  int saved = errno;
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NOATIME);
  errno = saved;
}

// Takes the share lock of a fresh descriptor; on refusal the descriptor is
// closed and errno is EACCES (another handle conflicts).
bool TakeShareLock(int fd, short type) {
  if (SetOfdLock(fd, type, kShareByte, 1)) return true;
  int err = errno;
  close(fd);
  errno = (err == EAGAIN || err == EACCES) ? EACCES : err;
  return false;
}

// True when another open file description holds a lock on the byte.
bool ByteHeldElsewhere(int fd, off_t byte) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  fl.l_pid = 0;
  int rc;
  do rc = fcntl(fd, F_OFD_GETLK, &fl);
  while (rc != 0 && errno == EINTR);
  return rc != 0 || fl.l_type != F_UNLCK;
}

// Announces a writer and/or a deny-write handle and checks the other side;
// on refusal the descriptor is closed (releasing what it took) and errno is
// EACCES.
bool TakeDenyWriteLocks(int fd, bool writer, bool denyWrite) {
  if (!writer && !denyWrite) return true;
  auto refuse = [fd](int err) {
    close(fd);
    errno = (err == EAGAIN || err == EACCES || err == 0) ? EACCES : err;
    return false;
  };
  if (writer && !SetOfdLock(fd, F_RDLCK, kWritersByte, 1)) return refuse(errno);
  if (denyWrite && !SetOfdLock(fd, F_RDLCK, kDenyWriteByte, 1)) return refuse(errno);
  if (denyWrite && ByteHeldElsewhere(fd, kWritersByte)) return refuse(0);
  if (writer && ByteHeldElsewhere(fd, kDenyWriteByte)) return refuse(0);
  return true;
}

bool IsRefusedWriteAccess(int err) {
  return err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY;
}

}  // namespace

THandle FileOpen(const AnsiString& fileName, unsigned mode) {
  unsigned access = mode & 0x3u;
  unsigned share = mode & 0xF0u;
  if (access > fmOpenReadWrite || !ValidShareMode(share) || (mode & ~0xF3u) != 0) {
    errno = EINVAL;
    return kInvalidHandle;
  }
  std::optional<std::string> path = ExistingDiskPath(fileName);
  if (!path) {
    errno = ENOENT;
    return kInvalidHandle;
  }
  // Even a read-only open asks for O_RDWR: only a descriptor open for
  // writing can hold write locks, and the lock protocols need exclusive
  // locks from readers too. The write refusal is ours (the handle table).
  bool readOnlyDescriptor = false;
  int fd = open(path->c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0 && access == fmOpenRead && IsRefusedWriteAccess(errno)) {
    fd = open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    readOnlyDescriptor = true;
  }
  if (fd < 0) return kInvalidHandle;
  SkipAccessTimes(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    CloseKeepingErrno(fd);
    return kInvalidHandle;
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return kInvalidHandle;
  }
  // A descriptor open only for reading cannot hold a write lock, so its
  // exclusive open is a read lock: it still keeps writers out, but not other
  // readers of the same read-only file.
  short shareType = IsExclusive(share) && !readOnlyDescriptor ? F_WRLCK : F_RDLCK;
  if (!TakeShareLock(fd, shareType)) return kInvalidHandle;
  // Whether this open writes is the access asked for, not the descriptor's.
  if (!TakeDenyWriteLocks(fd, access != fmOpenRead, share == fmShareDenyWrite)) {
    return kInvalidHandle;
  }
  Register(fd, HandleState{access != fmOpenRead, readOnlyDescriptor});
  return fd;
}

THandle FileCreate(const AnsiString& fileName, unsigned shareMode) {
  if (!ValidShareMode(shareMode)) {
    errno = EINVAL;
    return kInvalidHandle;
  }
  std::optional<std::string> path = DiskPathForCreate(fileName);
  if (!path) {
    errno = ENOENT;
    return kInvalidHandle;
  }
  // No O_TRUNC: a file that another handle holds open must keep its bytes.
  // The exclusive share lock proves nobody else has it open; only then is
  // it emptied.
  int fd = open(path->c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return kInvalidHandle;
  SkipAccessTimes(fd);
  if (!TakeShareLock(fd, F_WRLCK)) return kInvalidHandle;
  int rc;
  do rc = ftruncate(fd, 0);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    CloseKeepingErrno(fd);
    return kInvalidHandle;
  }
  // Downgrading an OFD lock is atomic, so no other open slips in between.
  if (!IsExclusive(shareMode) && !SetOfdLock(fd, F_RDLCK, kShareByte, 1)) {
    CloseKeepingErrno(fd);
    return kInvalidHandle;
  }
  if (!TakeDenyWriteLocks(fd, true, shareMode == fmShareDenyWrite)) return kInvalidHandle;
  Register(fd, HandleState{true, false});
  return fd;
}

void FileClose(THandle handle) {
  if (handle < 0) return;
  Unregister(handle);
  close(handle);
}

namespace {

// Repeats a system transfer until count bytes have moved, retrying after
// EINTR. step(done, n) moves at most n bytes at offset done of the caller's
// buffer. A step that moves nothing ends a read (end of file) and fails a
// write (no space left).
template <class Step>
int64_t TransferAll(int64_t count, bool writing, Step step) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = step(done, static_cast<std::size_t>(std::min(count - done, kMaxChunk)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      if (!writing) break;
      errno = ENOSPC;
      return -1;
    }
    done += n;
  }
  return done;
}

}  // namespace

int64_t FileRead(THandle handle, void* buffer, int64_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  char* p = static_cast<char*>(buffer);
  return TransferAll(count, false,
                     [&](int64_t done, std::size_t n) { return read(handle, p + done, n); });
}

int64_t FileWrite(THandle handle, const void* buffer, int64_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  if (!MayWrite(handle)) return -1;
  const char* p = static_cast<const char*>(buffer);
  return TransferAll(count, true,
                     [&](int64_t done, std::size_t n) { return write(handle, p + done, n); });
}

int64_t FileSeek(THandle handle, int64_t offset, int origin) {
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: errno = EINVAL; return -1;
  }
  // The system refuses a negative target (EINVAL) and an overflowing one.
  off_t result = lseek(handle, static_cast<off_t>(offset), whence);
  return result < 0 ? -1 : static_cast<int64_t>(result);
}

namespace {

bool ValidRange(int64_t position, int64_t count) {
  if (position < 0 || count < 0 || count > std::numeric_limits<int64_t>::max() - position) {
    errno = EINVAL;
    return false;
  }
  return true;
}

}  // namespace

int64_t FileReadAt(THandle handle, int64_t position, void* buffer, int64_t count) {
  if (!ValidRange(position, count)) return -1;
  char* p = static_cast<char*>(buffer);
  return TransferAll(count, false, [&](int64_t done, std::size_t n) {
    return pread(handle, p + done, n, static_cast<off_t>(position + done));
  });
}

int64_t FileWriteAt(THandle handle, int64_t position, const void* buffer, int64_t count) {
  if (!ValidRange(position, count)) return -1;
  if (!MayWrite(handle)) return -1;
  const char* p = static_cast<const char*>(buffer);
  return TransferAll(count, true, [&](int64_t done, std::size_t n) {
    return pwrite(handle, p + done, n, static_cast<off_t>(position + done));
  });
}

int64_t FileWriteGatherAt(THandle handle, int64_t position, const FileSpan* spans, int spanCount) {
  int64_t total = 0;
  for (int i = 0; i < spanCount; ++i) {
    if (spans[i].count < 0 || spans[i].count > std::numeric_limits<int64_t>::max() - total) {
      errno = EINVAL;
      return -1;
    }
    total += spans[i].count;
  }
  if (!ValidRange(position, total)) return -1;
  if (!MayWrite(handle)) return -1;
  constexpr int kMostPieces = IOV_MAX < 1024 ? IOV_MAX : 1024;
  iovec pieces[kMostPieces];
  int64_t done = 0;
  int first = 0;     // the first span not yet written in full
  int64_t into = 0;  // bytes of it written
  while (done < total) {
    while (spans[first].count == into) {
      ++first;
      into = 0;
    }
    int n = 0;
    int64_t asked = 0;
    for (int i = first; i < spanCount && n < kMostPieces && asked < kMaxChunk; ++i) {
      const int64_t skip = i == first ? into : 0;
      const int64_t take = std::min(spans[i].count - skip, kMaxChunk - asked);
      if (take == 0) continue;
      pieces[n].iov_base = const_cast<char*>(static_cast<const char*>(spans[i].data) + skip);
      pieces[n].iov_len = static_cast<std::size_t>(take);
      asked += take;
      ++n;
    }
    const ssize_t put = pwritev(handle, pieces, n, static_cast<off_t>(position + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (put == 0) {
      errno = ENOSPC;
      return -1;
    }
    done += put;
    for (int64_t left = put; left > 0;) {
      const int64_t step = std::min(left, spans[first].count - into);
      into += step;
      left -= step;
      if (into == spans[first].count && left > 0) {
        ++first;
        into = 0;
      }
    }
  }
  return done;
}

bool FileFlush(THandle handle) {
  for (;;) {
    if (fsync(handle) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool FileSetEnd(THandle handle, int64_t size) {
  if (size < 0) {
    errno = EINVAL;
    return false;
  }
  if (!MayWrite(handle)) return false;
  for (;;) {
    if (ftruncate(handle, static_cast<off_t>(size)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

int64_t FileSizeOf(THandle handle) {
  struct stat st;
  if (fstat(handle, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int64_t FileSizeAndTimeOf(THandle handle, int64_t& modified) {
  struct stat st;
  modified = 0;
  if (fstat(handle, &st) != 0) return -1;
  modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return static_cast<int64_t>(st.st_size);
}

bool FileIsReadOnlyHandle(THandle handle) {
  std::optional<HandleState> state = StateOf(handle);
  if (state) return !state->writable;
  int flags = fcntl(handle, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) == O_RDONLY;
}

namespace {

bool RegionCall(THandle handle, uint64_t offset, uint64_t length, bool lock) {
  if (length == 0 || offset > kMaxLockValue || length > kMaxLockValue) {
    errno = EINVAL;
    return false;
  }
  short type = F_UNLCK;
  if (lock) {
    std::optional<HandleState> state = StateOf(handle);
    type = state && state->readOnlyDescriptor ? F_RDLCK : F_WRLCK;
  }
  lockCalls.fetch_add(1, std::memory_order_relaxed);
  return SetOfdLock(handle, type, static_cast<off_t>(offset), static_cast<off_t>(length));
}

}  // namespace

bool FileLockRegion(THandle handle, uint64_t offset, uint64_t length) {
  return RegionCall(handle, offset, length, true);
}

bool FileUnlockRegion(THandle handle, uint64_t offset, uint64_t length) {
  return RegionCall(handle, offset, length, false);
}

uint64_t SystemLockCallCount() { return lockCalls.load(std::memory_order_relaxed); }

bool RenameFile(const AnsiString& oldName, const AnsiString& newName) {
  std::optional<std::string> from = ExistingDiskPath(oldName);
  if (!from) {
    errno = ENOENT;
    return false;
  }
  std::optional<std::string> to = DiskPathForCreate(newName);
  if (!to) {
    errno = ENOENT;
    return false;
  }
  struct stat fromStat, toStat;
  if (lstat(from->c_str(), &fromStat) != 0) return false;
  if (lstat(to->c_str(), &toStat) == 0) {
    if (fromStat.st_dev != toStat.st_dev || fromStat.st_ino != toStat.st_ino) {
      errno = EEXIST;
      return false;
    }
    // The target is this very file under another letter case: give it the
    // spelling asked for. Nothing else can be replaced, so a plain rename
    // is safe (and needed where the file system itself ignores case).
    std::string dir = to->substr(0, to->rfind('/') + 1);
    std::string spelled = dir + AnsiToUtf8(ExtractFileName(newName));
    if (spelled == *from) return true;
    return rename(from->c_str(), spelled.c_str()) == 0;
  }
  if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  // File systems without the no-replace flag: link refuses an existing
  // target, so nothing is ever overwritten.
  if (link(from->c_str(), to->c_str()) != 0) return false;
  if (unlink(from->c_str()) != 0) {
    int saved = errno;
    unlink(to->c_str());
    errno = saved;
    return false;
  }
  return true;
}

// --- atomic replacement ------------------------------------------------------

namespace {

mode_t CurrentUmaskForReplace() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool WriteAllBytes(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The file a replacement writes: an existing target's real file (through
// symbolic links), or the path a new file would get. mode receives the bits
// the new file must carry (the old ones, or 0666 less the umask).
std::optional<std::string> ReplacementTarget(const AnsiString& fileName, mode_t& mode) {
  mode = 0666 & ~CurrentUmaskForReplace();
  std::optional<std::string> path = ExistingDiskPath(fileName);
  if (!path) return DiskPathForCreate(fileName);
  char* real = realpath(path->c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string resolved(real);
  free(real);
  struct stat st;
  if (stat(resolved.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  mode = st.st_mode & 07777;
  return resolved;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool SameDirectory(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(DirectoryOf(a).c_str(), &sa) != 0 || stat(DirectoryOf(b).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void SyncDirectory(const std::string& path) {
  int dirFd = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
}

// Replaces target (a resolved disk path) by the disk file temp.
bool ReplaceResolved(const std::string& temp, const std::string& target, mode_t mode) {
  if (!SameDirectory(temp, target)) return false;  // a rename would not be atomic
  int fd = open(temp.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) return false;
  SyncDirectory(target);
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const AnsiString& tempName, const AnsiString& fileName) {
  std::optional<std::string> temp = ExistingDiskPath(tempName);
  if (!temp) return false;
  mode_t mode = 0;
  std::optional<std::string> target = ReplacementTarget(fileName, mode);
  if (!target) return false;
  return ReplaceResolved(*temp, *target, mode);
}

bool WriteFileAtomically(const AnsiString& fileName, const std::string& bytes) {
  mode_t mode = 0;
  std::optional<std::string> target = ReplacementTarget(fileName, mode);
  if (!target) return false;
  std::size_t slash = target->rfind('/');
  std::string base = slash == std::string::npos ? *target : target->substr(slash + 1);
  std::string temp = DirectoryOf(*target) + "." + base + ".XXXXXX";
  if (slash == std::string::npos) temp = "." + base + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAllBytes(fd, bytes);
  ok = close(fd) == 0 && ok;
  if (ok) ok = ReplaceResolved(temp, *target, mode);
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool LinkFile(const AnsiString& existingName, const AnsiString& linkName) {
  std::optional<std::string> from = ExistingDiskPath(existingName);
  if (!from) {
    errno = ENOENT;
    return false;
  }
  std::optional<std::string> to = DiskPathForCreate(linkName);
  if (!to) {
    errno = ENOENT;
    return false;
  }
  // Link under a fresh name first, then rename over the target: the old
  // link stays whole until the new one takes its place.
  std::string temp = *to + ".lnkXXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  unlink(temp.c_str());
  if (link(from->c_str(), temp.c_str()) != 0) return false;
  if (rename(temp.c_str(), to->c_str()) != 0) {
    int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return false;
  }
  SyncDirectory(*to);
  return true;
}
