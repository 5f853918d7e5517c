// rps_dump <file.rps>: prints a page stream record by record.
#include <cstdio>

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "tools/rps_dump/dump.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rps_dump <file.rps>\n");
    return 2;
  }
  try {
    TMemoryStream in;
    in.LoadFromFile(argv[1]);
    std::fputs(DumpPageStream(in).c_str(), stdout);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
