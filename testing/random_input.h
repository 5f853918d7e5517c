// The seeded random-input driver shared by every parser's test: it feeds a
// target with its seeds and with reproducible mutations of them (bit flips,
// byte changes, truncation, insertion, splicing of two seeds). The target
// must survive every input: it catches the error classes it expects; any
// other exception fails the test with the seed and iteration that caused it.
// Crashes and sanitizer findings end the test run on their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct RandomInputOptions {
  uint64_t seed = 20261208;
  int iterations = 3000;
  std::size_t maxSize = 1 << 16;
};

void RunRandomInputs(const std::vector<std::string>& seeds,
                     const std::function<void(const std::string&)>& target,
                     const RandomInputOptions& options = {});
