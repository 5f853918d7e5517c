#include "dbase/testing/table_fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "platform/rtl/system.h"

namespace table_test {

std::vector<TxbFieldSpec> JournalFields(bool withMemo) {
  std::vector<TxbFieldSpec> fields = {
      {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"DAY", 'D', 0, 0}, {"PAID", 'L', 0, 0}};
  if (withMemo) fields.push_back({"NOTE", 'M', 0, 0});
  return fields;
}

std::string MakeTable(const std::string& dir, const std::string& name,
                      const std::vector<TxbFieldSpec>& fields, uint8_t version,
                      const std::string& password, int memoBlockSize) {
  TxbCreateOptions options;
  options.version = version;
  options.password = password;
  options.memoBlockSize = memoBlockSize;
  const std::string path = dir + name;
  CreateDbfTable(path, fields, options);
  return path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void PatchBytes(const std::string& path, int64_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(offset);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot patch " + path);
}

int64_t SizeOf(const std::string& path) { return static_cast<int64_t>(std::filesystem::file_size(path)); }

std::string Le32Bytes(uint32_t v) {
  std::string s(4, '\0');
  filebytes::PutLe32(s, 0, v);
  return s;
}

std::string Be32Bytes(uint32_t v) {
  std::string s(4, '\0');
  filebytes::PutBe32(s, 0, v);
  return s;
}

bool RegionLocked(const std::string& path, uint64_t offset, uint64_t length) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = static_cast<off_t>(offset);
  probe.l_len = static_cast<off_t>(length);
  const int rc = fcntl(fd, F_OFD_GETLK, &probe);
  close(fd);
  if (rc != 0) throw std::runtime_error("F_OFD_GETLK failed on " + path);
  return probe.l_type != F_UNLCK;
}

const char* ProtocolName(TxbLokProtocol p) {
  switch (p) {
    case TxbLokProtocol::Default: return "Default";
    case TxbLokProtocol::DB4Lock: return "DB4Lock";
    case TxbLokProtocol::ClipLock: return "ClipLock";
    case TxbLokProtocol::FoxLock: return "FoxLock";
  }
  return "?";
}

FastRetries::FastRetries() {
  SetSleepHook([](int ms) {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point lastEnd;
    static int streak = 0;
    const Clock::time_point now = Clock::now();
    streak = now - lastEnd < std::chrono::milliseconds(20) ? std::min(streak + 1, 4) : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 3 << streak)));
    lastEnd = Clock::now();
  });
}

FastRetries::~FastRetries() { SetSleepHook({}); }

std::string CrosscheckScript(const std::string& name) {
  // This file lives in dbase/testing; the scripts in dbase/tests/crosscheck.
  const std::filesystem::path here(__FILE__);
  return (here.parent_path().parent_path() / "tests" / "crosscheck" / name).string();
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace table_test
