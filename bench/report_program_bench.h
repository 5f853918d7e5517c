// Start-up shared by the benchmarks that print through the program itself:
// a demo journal in a scratch directory, one fake printer, the program's
// objects created, and the report system set to print straight to that
// printer without any window.
#pragma once

#include <cstdio>
#include <string>

#include "app/program.h"
#include "app/report_module.h"
#include "bench/bench_harness.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace bench {

struct ReportProgram {
  std::string scratch;                    // ends with a separator; empty when it could not be made
  FakePrinterBackend* printers = nullptr;  // every job the report system prints
};

inline ReportProgram StartReportProgram(const char* name, int documents, int argc, char** argv) {
  ReportProgram program;
  program.scratch = ScratchDirectory(name);
  if (program.scratch.empty()) {
    std::fprintf(stderr, "cannot create a scratch directory\n");
    return program;
  }
  TDemoDataOptions options;
  options.documents = documents;
  options.iniFile = program.scratch + "prog/Platebna.ini";
  MakeDemoData(program.scratch + "data", options);
  SetProgramDirectory(program.scratch + "prog/");
  program.printers = InstallFakePrinters({{"Bench", OfficePrinterCaps(), true}}, 0);

  CreateProgramObjects(argc, argv);
  TReportSystem* rs = DataSestavy->ReportSystem;
  rs->SystemSetups = {};
  rs->SystemOptions.erase(soShowStatus);
  rs->DefaultDest = rdPrinter;
  rs->SystemPrinter.Copies = 1;
  return program;
}

}  // namespace bench
