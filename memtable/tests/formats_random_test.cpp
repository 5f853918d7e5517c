// Seeded random inputs for both file formats and the filter parser, through
// the same probes the fuzz targets run. With MT_FUZZ_WRITE_SEEDS naming a
// directory, the seeds are also written there as the fuzz corpora.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "memtable/fuzz/formats_probe.h"
#include "testing/random_input.h"

namespace {

void WriteSeeds(const char* folder, const std::vector<std::string>& seeds) {
  const char* dir = std::getenv("MT_FUZZ_WRITE_SEEDS");
  if (!dir) return;
  std::string base = std::string(dir) + "/" + folder;
  std::system(("mkdir -p '" + base + "'").c_str());
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream(base + "/seed" + std::to_string(i), std::ios::binary) << seeds[i];
  }
}

TEST(MemTableFormatsMalformed, RandomTextFiles) {
  auto seeds = formats_probe::Seeds(false);
  WriteSeeds("mt_text_load_seeds", seeds);
  RunRandomInputs(seeds, [](const std::string& input) { formats_probe::Load(input, false); }, {20261209, 2000});
}

TEST(MemTableFormatsMalformed, RandomBinaryStreams) {
  auto seeds = formats_probe::Seeds(true);
  WriteSeeds("mt_binary_load_seeds", seeds);
  RunRandomInputs(seeds, [](const std::string& input) { formats_probe::Load(input, true); }, {20261209, 2000});
}

TEST(MemTableFormatsMalformed, RandomFilterTexts) {
  RunRandomInputs(formats_probe::FilterSeeds(), [](const std::string& input) { formats_probe::Filter(input); },
                  {20261209, 3000, 512});
}

}  // namespace
