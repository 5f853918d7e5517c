// The caches' integer map against std::unordered_map: every look after any
// mix of inserts, replacements and erases gives what the model gives, for
// keys that spread well and for keys that crowd into the same runs.
#include "dbase/base/int_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

struct KeyShape {
  const char* name;
  int64_t (*key)(std::mt19937_64&);
};

const KeyShape kShapes[] = {
    // Block numbers of a small file: few distinct keys, many repeats.
    {"dense", [](std::mt19937_64& r) { return static_cast<int64_t>(r() % 300); }},
    // Page positions: multiples of a power of two, the worst case for a
    // hash that keeps low bits.
    {"strided", [](std::mt19937_64& r) { return static_cast<int64_t>(r() % 2000) * 4096; }},
    {"wide", [](std::mt19937_64& r) { return static_cast<int64_t>(r() >> 1) - (int64_t{1} << 62); }},
};

TEST(IntMap, AgreesWithAModelUnderRandomInsertsAndErases) {
  for (const KeyShape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    std::mt19937_64 r(42);
    TxbIntMap<int32_t> map;
    std::unordered_map<int64_t, int32_t> model;
    for (int step = 0; step < 60000; ++step) {
      const int64_t key = shape.key(r);
      // Phases that grow the map and phases that empty most of it, so
      // that erases close gaps in long runs.
      const bool growing = (step / 5000) % 2 == 0;
      if (r() % 4 < (growing ? 3u : 1u)) {
        const auto value = static_cast<int32_t>(r());
        map.Insert(key, value);
        model[key] = value;
      } else {
        ASSERT_EQ(map.Erase(key), model.erase(key) == 1);
      }
      ASSERT_EQ(map.Size(), model.size());
      if (step % 997 == 0) {
        for (const auto& [k, v] : model) {
          const int32_t* found = map.Find(k);
          ASSERT_TRUE(found) << k;
          ASSERT_EQ(*found, v);
        }
        std::size_t seen = 0;
        map.ForEach([&](int64_t k, int32_t v) {
          ++seen;
          ASSERT_EQ(model.at(k), v);
        });
        ASSERT_EQ(seen, model.size());
      }
      const int64_t probe = shape.key(r);
      ASSERT_EQ(map.Contains(probe), model.count(probe) == 1);
    }
    map.Clear();
    EXPECT_TRUE(map.Empty());
    EXPECT_FALSE(map.Contains(shape.key(r)));
    map.Insert(7, 1);
    EXPECT_EQ(*map.Find(7), 1);
  }
}

}  // namespace
