// Worksheets of the in-process model.
#include "excel/server/xl_sheet.h"

#include "excel/server/xl_app.h"
#include "excel/server/xl_book.h"
#include "excel/server/xl_sheet_objects.h"
#include "excel/server/xl_typed_entry.h"
#include "platform/rtl/codepages.h"

namespace xl {

namespace {

class XlOutline : public IOutline {
 public:
  explicit XlOutline(std::shared_ptr<XlSheet> sheet) : sheet_(std::move(sheet)) {}
  int SummaryRow() override {
    sheet_->CheckAlive();
    return sheet_->Data().summaryBelow ? xlSummaryBelow : xlSummaryAbove;
  }
  void SetSummaryRow(int where) override {
    sheet_->CheckAlive();
    if (where != xlSummaryAbove && where != xlSummaryBelow) throw EOleException("Summary rows lie above (0) or below (1)");
    sheet_->Data().summaryBelow = where == xlSummaryBelow;
  }

 private:
  std::shared_ptr<XlSheet> sheet_;
};

}  // namespace

bool ValidSheetName(const AnsiString& name) {
  if (name.empty() || name.size() > 31) return false;
  return name.find_first_of(":\\/?*[]") == AnsiString::npos;
}

XlSheet::XlSheet(std::weak_ptr<XlBook> book, const AnsiString& name) : book_(std::move(book)) { data_.name = name; }

void* XlSheet::QueryInterface(TGUID iid) { return iid == IID__Worksheet ? static_cast<IWorksheet*>(this) : nullptr; }

void XlSheet::CheckAlive() const {
  if (deleted_) throw EOleException("The sheet has been deleted or its workbook closed");
}

std::shared_ptr<XlBook> XlSheet::Book() const {
  CheckAlive();
  std::shared_ptr<XlBook> book = book_.lock();
  if (!book) throw EOleException("The sheet's workbook has been closed");
  return book;
}

XlApp& XlSheet::App() const { return Book()->App(); }

AnsiString XlSheet::Name() {
  CheckAlive();
  return data_.name;
}

void XlSheet::SetName(const AnsiString& name) {
  std::shared_ptr<XlBook> book = Book();
  if (!ValidSheetName(name)) throw EOleException("A sheet name has 1 to 31 characters and none of : \\ / ? * [ ]");
  for (const auto& other : book->Sheets()) {
    if (other.get() != this && AnsiUpperCase(other->data_.name) == AnsiUpperCase(name)) {
      throw EOleException("Another sheet of the workbook already has that name");
    }
  }
  data_.name = name;
}

void XlSheet::Activate() { Book()->ActivateSheet(*this); }

void XlSheet::Delete() { Book()->DeleteSheet(*this); }

std::shared_ptr<IRange> XlSheet::Range(const AnsiString& cell1, const AnsiString& cell2) {
  CheckAlive();
  return XlRange(shared_from_this(), CellRect{}).Range(cell1, cell2);
}

std::shared_ptr<IOutline> XlSheet::Outline() {
  CheckAlive();
  return std::make_shared<XlOutline>(shared_from_this());
}

std::shared_ptr<IHyperlinks> XlSheet::Hyperlinks() {
  CheckAlive();
  return MakeHyperlinks(shared_from_this());
}

std::shared_ptr<IChartObjects> XlSheet::ChartObjects() {
  CheckAlive();
  return MakeChartObjects(shared_from_this());
}

std::shared_ptr<IWorkbook> XlSheet::Workbook() { return Book(); }

int XlSheet::Index() { return Book()->IndexOf(*this) + 1; }

bool XlSheet::IsDate(const biff::Cell& cell) const {
  return cell.kind == biff::CellKind::Number && data_.styles[cell.style].numberFormat == kDateFormat;
}

void XlSheet::ChangeFormat(biff::Cell& cell, const std::function<void(biff::CellFormat&)>& change) {
  biff::CellFormat f = data_.styles[cell.style];
  change(f);
  cell.style = data_.StyleIndex(f);
}

void XlSheet::ChangeColumnFormat(int column, const std::function<void(biff::CellFormat&)>& change) {
  auto& style = data_.columnStyles[static_cast<std::size_t>(column)];
  biff::CellFormat f = data_.styles[style];
  change(f);
  style = data_.StyleIndex(f);
}

}  // namespace xl
