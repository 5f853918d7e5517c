// Damaged page streams through the file renderers: the fuzz corpus and
// seeded mutations of it end normally or with the stream's own errors, and
// every PDF written keeps its cross references.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "report/tests/renderer_fixtures.h"
#include "report/tests/support/renderer_sinks.h"
#include "report/tests/support/sample_reports.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

using RendererMalformed = RendererTest;

std::vector<std::string> Corpus() {
  std::vector<std::string> seeds;
  for (auto& e : std::filesystem::directory_iterator(REPORT_TESTS_DIR "/../fuzz/rps_pdf_seeds")) {
    std::ifstream f(e.path(), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    seeds.push_back(s.str());
  }
  return seeds;
}

TEST_F(RendererMalformed, CorpusAndSeededMutations) {
  TempDir dir;
  std::vector<std::string> seeds = Corpus();
  ASSERT_GE(seeds.size(), 6u);
  seeds.push_back(MakeStream(PrintShapesSample));
  for (const std::string& s : seeds) ConvertThroughFileRenderers(s, dir.Path());
  RandomInputOptions options;
  options.iterations = 1500;
  RunRandomInputs(seeds, [&](const std::string& bytes) { ConvertThroughFileRenderers(bytes, dir.Path()); }, options);
}

}  // namespace
