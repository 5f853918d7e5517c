// mkdemo: writes a demo data directory for the cash journal.
//
//   mkdemo [--branch 0001] [--documents 300] [--year 2024] [--seed 1]
//          [--ini FILE] [--force] DIR
//
// Exit status 0 when written, 1 when refused or failed (message on stderr),
// 2 for a wrong command line.
#include <cstdio>
#include <string>

#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"
#include "tools/mkdemo/demo_data.h"

namespace {

int Usage() {
  std::fputs(
      "usage: mkdemo [--branch 0001] [--documents 300] [--year 2024] [--seed 1] [--ini FILE] [--force] DIR\n",
      stderr);
  return 2;
}

bool ReadInt(const char* text, int& value) { return TryStrToInt(text, value); }

}  // namespace

int main(int argc, char** argv) {
  TDemoDataOptions options;
  AnsiString dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    int number = 0;
    if (arg == "--force") {
      options.force = true;
    } else if (arg == "--branch" && hasValue) {
      options.branch = Utf8ToAnsi(argv[++i]);
    } else if (arg == "--documents" && hasValue && ReadInt(argv[i + 1], number)) {
      options.documents = number;
      ++i;
    } else if (arg == "--year" && hasValue && ReadInt(argv[i + 1], number)) {
      options.year = number;
      ++i;
    } else if (arg == "--seed" && hasValue && ReadInt(argv[i + 1], number)) {
      options.seed = static_cast<uint32_t>(number);
      ++i;
    } else if (arg == "--ini" && hasValue) {
      options.iniFile = Utf8ToAnsi(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
      dir = Utf8ToAnsi(arg);
    } else {
      return Usage();
    }
  }
  if (dir.empty()) return Usage();
  try {
    MakeDemoData(dir, options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemo: %s\n", e.what());
    return 1;
  }
  return 0;
}
