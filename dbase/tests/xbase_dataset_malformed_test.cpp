// Damaged tables through the dataset: seeded random mutations of good
// tables are opened and walked; only the dataset's and the engine's errors
// may come out.
#include <gtest/gtest.h>

#include "dbase/testing/xbase_dataset_harness.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

TEST(XbaseDatasetMalformed, DamagedTablesGiveErrorsNotCrashes) {
  TempDir seeds;
  TempDir work;
  RandomInputOptions options;
  options.iterations = 2500;
  options.maxSize = 1 << 13;
  RunRandomInputs(xbase_harness::DataSetSeeds(seeds.Path()),
                  [&](const std::string& input) { xbase_harness::ExerciseDataSet(work.Path(), input); }, options);
}

TEST(XbaseDatasetMalformed, EverySeedOpensAndWalks) {
  TempDir seeds;
  TempDir work;
  for (const std::string& seed : xbase_harness::DataSetSeeds(seeds.Path()))
    EXPECT_GE(xbase_harness::ExerciseDataSet(work.Path(), seed), 2);
}
