// The recursive lock: the holder re-enters, another thread waits until every
// entry is left, and the guard releases at the end of its scope.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/rtl/critical_section.h"

namespace {

bool OtherThreadCanEnter(TCriticalSection& section) {
  bool entered = false;
  std::thread t([&] {
    entered = section.TryEnter();
    if (entered) section.Leave();
  });
  t.join();
  return entered;
}

TEST(CriticalSection, ReentersAndReleasesAfterTheLastLeave) {
  TCriticalSection section;
  struct Step {
    int acquires;  // nesting depth to reach
    bool otherEnters;
  } steps[] = {{1, false}, {3, false}, {0, true}};
  int depth = 0;
  for (const Step& s : steps) {
    while (depth < s.acquires) { section.Acquire(); ++depth; }
    while (depth > s.acquires) { section.Release(); --depth; }
    EXPECT_EQ(OtherThreadCanEnter(section), s.otherEnters) << "depth " << depth;
  }
  {
    TCriticalSectionGuard outer(&section);
    TCriticalSectionGuard inner(&section);
    EXPECT_FALSE(OtherThreadCanEnter(section));
  }
  EXPECT_TRUE(OtherThreadCanEnter(section));
  TCriticalSectionGuard none(nullptr);  // a standalone store takes no lock

  // Two threads counting under the lock lose no increment.
  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 10000; ++i) {
      TCriticalSectionGuard g(&section);
      TCriticalSectionGuard again(&section);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 20000);
}

}  // namespace
