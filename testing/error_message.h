// The message of the exception an action raises, for tests that check exact
// error texts; "(no error)" when it raises none. With E narrower than
// Exception, an exception of another class passes through and fails the test.
#pragma once

#include <functional>
#include <string>

#include "platform/rtl/sysutils.h"

template <class E = Exception>
std::string ErrorMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no error)";
}
