// Fuzz target of the dataset adapter: the input is a table with its memo
// file (packed as for the table target), opened through TXbaseDataSet and
// walked record by record reading every field as text and variant, then a
// bookmark is taken and gone to. Only the dataset's and the engine's errors
// may come out; anything else is a finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (tables
// made through dbf_create, the engine and the dataset) into <dir> and ends;
// make_seeds.sh uses that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/testing/xbase_dataset_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Initialize(fuzz_support::WorkDir("xbase-dataset-fuzz"), xbase_harness::DataSetSeeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::TrapEscapes([&] {
    xbase_harness::ExerciseDataSet(fuzz_support::WorkDir("xbase-dataset-fuzz"),
      std::string_view(reinterpret_cast<const char*>(data), size));
  });
  return 0;
}
