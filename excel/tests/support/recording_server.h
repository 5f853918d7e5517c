// A spreadsheet server for tests: every call goes to an in-process server
// and is written into a shared log first ("App.SetWindowState(-4137)",
// "Range.SetValue"), objects handed out are recorded too. A call can be made
// to fail: the n-th call of a name raises EOleException.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "excel/server/xl_server.h"

struct CallLog {
  std::vector<std::string> calls;
  // name -> the call number (from 1) that fails.
  std::map<std::string, int> failAt;
  std::map<std::string, int> counts;
  bool offerEvents = true;
  // The server's Version text, when set.
  std::string version;

  // Records the call and fails it when asked.
  void Record(const std::string& name, const std::string& args = "");
  // The calls whose names start with prefix, in order.
  std::vector<std::string> Matching(const std::string& prefix) const;
};

// A recording application over a new in-process server.
std::shared_ptr<xl::IApplication> CreateRecordingExcel(std::shared_ptr<CallLog> log);
