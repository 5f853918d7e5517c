#include "report/forms/rpt_cursor.h"

#include "platform/gui/application.h"

void TRptCursor::Push(TCursor cursor) {
  saved_.push_back(Screen->Cursor());
  Screen->SetCursor(cursor);
}

void TRptCursor::Pop() {
  if (saved_.empty()) return;
  Screen->SetCursor(saved_.back());
  saved_.pop_back();
}

TRptCursor& RptCursor() {
  static TRptCursor cursor;
  return cursor;
}
