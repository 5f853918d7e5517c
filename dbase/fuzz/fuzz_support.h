// What the file-format fuzz targets share: a private work directory for the
// files each input becomes, the seed writer that make_seeds.sh drives, the
// engine start-up around it, and the rule that an exception escaping an
// input is a finding.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dbase/base/engine.h"

namespace fuzz_support {

// A directory of its own under $TMPDIR (or /tmp), removed at exit. Kept on
// the heap: the exit handler runs after static objects are gone.
inline const std::string& WorkDir(const char* prefix) {
  static const std::string* dir = [prefix] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) __builtin_trap();
    auto* path = new std::string(pattern + "/");
    atexit([] { std::filesystem::remove_all(*dir); });
    return path;
  }();
  return *dir;
}

// With DBF_FUZZ_WRITE_SEEDS=<dir>, writes the seeds the function makes (in
// the work directory) into <dir> as seed-0, seed-1, ... and ends the process.
inline void WriteSeedsIfAsked(const std::string& workDir,
                              const std::function<std::vector<std::string>(const std::string&)>& make) {
  const char* out = getenv("DBF_FUZZ_WRITE_SEEDS");
  if (!out) return;
  std::filesystem::create_directories(out);
  int i = 0;
  for (const std::string& seed : make(workDir)) {
    std::ofstream file(std::string(out) + "/seed-" + std::to_string(i++), std::ios::binary);
    file.write(seed.data(), static_cast<std::streamsize>(seed.size()));
  }
  exit(0);
}

// The start of every target: the engine, then the seeds when asked for.
inline void Initialize(const std::string& workDir,
                       const std::function<std::vector<std::string>(const std::string&)>& makeSeeds) {
  EngineStartup();
  WriteSeedsIfAsked(workDir, makeSeeds);
}

// Runs one input. Engine errors are caught where an input may cause them;
// any exception that still escapes is a finding.
template <class Fn>
void TrapEscapes(Fn&& run) {
  try {
    run();
  } catch (...) {
    __builtin_trap();
  }
}

}  // namespace fuzz_support
