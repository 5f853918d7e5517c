// Fuzz target of the DBF reader: the input is a table with its memo file
// (dbf_input_harness.h packs both into one input), opened, walked record by
// record through every getter and memo text. Every input must end in a
// value or an engine error; anything else is a finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (tables
// made through dbf_create) into <dir> and ends; make_seeds.sh uses that.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "dbase/tests/support/dbf_input_harness.h"
#include "dbase/xbengine.h"

namespace {

// A private directory for the files each input becomes, removed at exit.
const std::string& WorkDir() {
  // Kept on the heap: the exit handler that removes the directory runs
  // after static objects are gone.
  static const std::string* dir = [] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/table-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) __builtin_trap();
    atexit([] { std::filesystem::remove_all(WorkDir()); });
    return new std::string(pattern + "/");
  }();
  return *dir;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EngineStartup();
  if (const char* out = getenv("DBF_FUZZ_WRITE_SEEDS")) {
    std::filesystem::create_directories(out);
    int i = 0;
    for (const std::string& seed : dbf_harness::TableSeeds(WorkDir()))
      dbf_harness::WriteWhole(std::string(out) + "/seed-" + std::to_string(i++), seed);
    exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    dbf_harness::ExerciseTable(WorkDir(), std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}
