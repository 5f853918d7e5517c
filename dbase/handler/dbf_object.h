// DBFObject: the table handler a dataset owns. It forwards the handler's
// two hooks to the dataset: whether a record may be shown (the dataset's
// record filter event) and index-build progress (the dataset's status
// event). Without a callback a record is shown and progress goes nowhere.
#pragma once

#include <functional>

#include "dbase/handler/table_handler.h"

class DBFObject : public XBO_dBHandler {
 public:
  using XBO_dBHandler::XBO_dBHandler;

  // Asked for every record a move reaches; false hides it.
  std::function<bool()> OnAcceptRecord;
  // Progress of index builds: (status, current, total).
  std::function<void(int status, int current, int total)> OnStatusReport;

  // OnAcceptRecord, or true without one.
  bool AcceptRecord() override;
  // OnStatusReport, when set.
  void StatusReport(int status, int current, int total) override;
};
