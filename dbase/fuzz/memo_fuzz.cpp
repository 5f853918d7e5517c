// Fuzz target of the memo files: the input selects a format (dBase III,
// dBase IV, FoxPro), names three blocks and carries the memo file itself
// (dbf_input_harness.h); the blocks are measured and read, then one memo is
// written over the first of them and read back. Every input must end in a
// value or an engine error; anything else is a finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (memo
// files written by the engine) into <dir> and ends; make_seeds.sh uses that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/testing/dbf_input_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Initialize(fuzz_support::WorkDir("memo-fuzz"), dbf_harness::MemoSeeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::TrapEscapes([&] {
    dbf_harness::ExerciseMemo(fuzz_support::WorkDir("memo-fuzz"),
      std::string_view(reinterpret_cast<const char*>(data), size));
  });
  return 0;
}
