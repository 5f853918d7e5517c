// The handler's record filter: a compiled expression over the table and a
// bit set over record numbers (bit n set when record n passes). Moves
// consult the set, never the expression, so that a filtered walk costs no
// evaluation; the set is rebuilt when the filter changes or the dataset
// refreshes, and the handler's own writes keep the written record's bit
// current.
#include <memory>

#include "dbase/handler/table_handler.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "platform/rtl/sysutils.h"

bool XBO_dBHandler::FilterActive() const {
  return filterEnabled_ && filter_ != nullptr && filter_->HasTree() && filterSet_ != nullptr;
}

bool XBO_dBHandler::NothingPassesFilter() const {
  const TxbHugeSet& set = *filterSet_;
  for (int64_t n = 1; n <= set.Highest(); ++n)
    if (set.Test(n)) return false;
  return true;
}

bool XBO_dBHandler::FilterHolds() { return filter_->EvaluateCondition(); }

void XBO_dBHandler::SetFilterExpression(const AnsiString& text, bool caseInsensitive, bool partialCompare) {
  if (!filterSet_) filterSet_ = std::make_unique<TxbHugeSet>();
  if (Trim(text).empty()) {
    filter_.reset();
    filterText_.clear();
    filterSet_->Clear();
    return;
  }
  const bool same = filter_ && filter_->HasTree() && text == filterText_ && caseInsensitive == filterIgnoreCase_ &&
                    partialCompare == filterPartial_ && TranslateOem() == filterTranslate_;
  if (!same) {
    auto handler = std::make_unique<TxbExpHandler>(ExpressionLink(), false);
    handler->SetIgnoreCase(caseInsensitive);
    handler->SetMatchWildcards(partialCompare);
    handler->SetExpression(text);
    // Only an evaluation tells the type; the current record will do.
    TxbVariant probe(0);
    handler->EvaluateValue(probe);
    if (handler->ResultType() != etBoolean) XbRaise(xbmFilterNotBoolean);
    filter_ = std::move(handler);
    filterText_ = text;
    filterIgnoreCase_ = caseInsensitive;
    filterPartial_ = partialCompare;
    filterTranslate_ = TranslateOem();
  }
  RebuildSet();
}

void XBO_dBHandler::EnableFilter(bool on) { filterEnabled_ = on; }

void XBO_dBHandler::RebuildFilterSet() {
  if (FilterActive()) RebuildSet();
}

void XBO_dBHandler::RebuildSet() {
  if (!filterSet_) return;
  filterSet_->Clear();
  if (!filter_ || !filter_->HasTree()) return;
  const int32_t remembered = RecordNumber();
  const bool wasEof = Eof();
  const bool wasBof = Bof();
  {
    // A range limits the records worth testing; otherwise the physical
    // order reads the table front to back through the read-ahead window.
    MasterAside aside(*this, master_ != nullptr && master_->HasRange());
    ScanScope scan(*this);
    rebuildingSet_ = true;
    try {
      GoRecord(xbmoFirst);
      while (!Eof() && !Bof()) {
        if (FilterHolds()) filterSet_->Change(RecordNumber(), TxbHugeSet::opSet);
        GoRecord(xbmoNext);
      }
    } catch (...) {
      rebuildingSet_ = false;
      throw;
    }
    rebuildingSet_ = false;
  }
  if (remembered >= 1 && remembered <= RecordCount()) {
    GoRecord(remembered);
    if (wasEof) {
      MarkEof();
      Unplace();
    } else if (wasBof) {
      MarkBof();
      Unplace();
    }
  }
}
