// The demo data directory: every table of the cash journal filled with a
// fictional Czech company's year of cash documents, with its index files,
// and optionally a settings file that points the program at it. Used by the
// mkdemo tool, the tests and the benchmark.
//
// Tables are created empty through the one table creator (dBase III,
// language byte 0x64 for code page 852) and filled through the dataset
// adapter with translation on, so texts are stored in OEM 852 exactly as
// the program stores them. The journal is in date order, numbered "1".."N",
// its running balance is the sum of the amounts in record order and never
// negative. The same options give the same record areas.
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

struct TDemoDataOptions {
  AnsiString branch = "0001";
  int documents = 300;
  int year = 2024;
  uint32_t seed = 1;
  // Settings file to write (empty: none), CP1250.
  AnsiString iniFile;
  // Overwrite tables or a settings file that already exist.
  bool force = false;
};

class EDemoDataError : public Exception {
 public:
  using Exception::Exception;
};

// Creates dir (when missing) and the demo tables in it. Without force it
// refuses, before touching anything, when dir already holds one of the
// tables or their index files, or the settings file exists: raises
// EDemoDataError. Engine errors pass through.
void MakeDemoData(const AnsiString& dir, const TDemoDataOptions& options = {});
