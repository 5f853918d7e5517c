// Helpers of the in-memory table's tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/db/dataset.h"

namespace mttest {

// The named field's text in every record of the present order.
inline std::vector<std::string> Names(TDataSet& ds, const char* field) {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field)->AsString());
  return out;
}

// Runs action and expects an exception of type E with exactly text.
template <class E>
void ExpectError(const std::function<void()>& action, const std::string& text) {
  try {
    action();
    ADD_FAILURE() << "no error, expected: " << text;
  } catch (const E& e) {
    EXPECT_EQ(std::string(e.what()), text);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "other error: " << e.what() << " expected: " << text;
  }
}

}  // namespace mttest
