#include "testing/random_input.h"

#include <gtest/gtest.h>

#include <exception>
#include <random>

namespace {

std::string Hex(const std::string& bytes, std::size_t limit = 64) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  if (bytes.size() > limit) out += "...";
  return out;
}

// Interesting byte values for binary formats: boundaries of signed and
// unsigned fields, terminators and blanks.
const unsigned char kSpecial[] = {0x00, 0x01, 0x0D, 0x1A, 0x20, 0x2E, 0x30, 0x39, 0x7F,
                                  0x80, 0xFE, 0xFF};

std::string Mutate(std::mt19937_64& rng, const std::vector<std::string>& seeds,
                   std::size_t maxSize) {
  std::string s = seeds.empty() ? std::string() : seeds[rng() % seeds.size()];
  int rounds = 1 + static_cast<int>(rng() % 8);
  for (int r = 0; r < rounds; ++r) {
    switch (rng() % 7) {
      case 0:  // flip one bit
        if (!s.empty()) s[rng() % s.size()] ^= static_cast<char>(1u << (rng() % 8));
        break;
      case 1:  // random byte
        if (!s.empty()) s[rng() % s.size()] = static_cast<char>(rng() & 0xFF);
        break;
      case 2:  // special byte
        if (!s.empty()) s[rng() % s.size()] = static_cast<char>(kSpecial[rng() % sizeof kSpecial]);
        break;
      case 3:  // truncate
        if (!s.empty()) s.resize(rng() % s.size());
        break;
      case 4: {  // insert random bytes
        std::size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
        std::string ins(1 + rng() % 16, '\0');
        for (auto& c : ins) c = static_cast<char>(rng() & 0xFF);
        s.insert(at, ins);
        break;
      }
      case 5: {  // splice with another seed
        if (seeds.empty()) break;
        const std::string& other = seeds[rng() % seeds.size()];
        std::size_t cut = s.empty() ? 0 : rng() % (s.size() + 1);
        std::size_t from = other.empty() ? 0 : rng() % (other.size() + 1);
        s = s.substr(0, cut) + other.substr(from);
        break;
      }
      case 6: {  // overwrite a 4-byte little-endian value with a boundary
        if (s.size() < 4) break;
        static const uint32_t values[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000};
        uint32_t v = values[rng() % (sizeof values / sizeof values[0])];
        std::size_t at = rng() % (s.size() - 3);
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        break;
      }
    }
  }
  if (s.size() > maxSize) s.resize(maxSize);
  return s;
}

}  // namespace

void RunRandomInputs(const std::vector<std::string>& seeds,
                     const std::function<void(const std::string&)>& target,
                     const RandomInputOptions& options) {
  std::mt19937_64 rng(options.seed);
  auto run = [&](const std::string& input, int iteration) {
    try {
      target(input);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected exception \"" << e.what() << "\" at iteration " << iteration
                    << " (seed " << options.seed << "), input " << Hex(input);
      return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    if (!run(seeds[i], -static_cast<int>(i) - 1)) return;
  }
  for (int i = 0; i < options.iterations; ++i) {
    if (!run(Mutate(rng, seeds, options.maxSize), i)) return;
  }
}
