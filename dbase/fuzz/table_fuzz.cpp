// Fuzz target of the DBF reader: the input is a table with its memo file
// (dbf_input_harness.h packs both into one input), opened, walked record by
// record through every getter and memo text. Every input must end in a
// value or an engine error; anything else is a finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (tables
// made through dbf_create) into <dir> and ends; make_seeds.sh uses that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/testing/dbf_input_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Initialize(fuzz_support::WorkDir("table-fuzz"), dbf_harness::TableSeeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::TrapEscapes([&] {
    dbf_harness::ExerciseTable(fuzz_support::WorkDir("table-fuzz"),
      std::string_view(reinterpret_cast<const char*>(data), size));
  });
  return 0;
}
