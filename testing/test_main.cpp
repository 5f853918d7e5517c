#include <gtest/gtest.h>

#include "testing/test_main.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ProjectTestStartup();
  return RUN_ALL_TESTS();
}
