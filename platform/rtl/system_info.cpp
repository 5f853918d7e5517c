// Computer, user and memory facts, read from the system's own sources.
#include "platform/rtl/system_info.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/rtl/codepages.h"

namespace {

// The value in kB of a /proc/meminfo line "<key>: <n> kB", in bytes.
uint64_t MemInfoBytes(const std::string& key) {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size() + 1, key + ":") != 0) continue;
    uint64_t value = 0;
    for (char c : line.substr(key.size() + 1)) {
      if (c >= '0' && c <= '9') value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value * 1024;
  }
  return 0;
}

}  // namespace

AnsiString ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return Utf8ToAnsi(name);
}

AnsiString UserFullName() {
  passwd* pw = getpwuid(getuid());
  if (!pw) {
    const char* login = getlogin();
    return login ? Utf8ToAnsi(login) : AnsiString();
  }
  std::string gecos = pw->pw_gecos ? pw->pw_gecos : "";
  gecos = gecos.substr(0, gecos.find(','));
  return Utf8ToAnsi(gecos.empty() ? std::string(pw->pw_name ? pw->pw_name : "") : gecos);
}

AnsiString OperatingSystemText() {
  utsname u;
  if (uname(&u) != 0) return "Linux";
  return Utf8ToAnsi(std::string("Linux ") + u.release + " " + u.machine);
}

uint64_t MemoryTotalBytes() { return MemInfoBytes("MemTotal"); }

uint64_t MemoryFreeBytes() {
  uint64_t available = MemInfoBytes("MemAvailable");
  return available ? available : MemInfoBytes("MemFree");
}
