// Worksheets of the in-process spreadsheet model. A sheet's cells live in
// the file layer's sheet model, so saving writes them as they are.
#pragma once

#include <functional>
#include <memory>

#include "excel/biff/biff_writer.h"
#include "excel/server/xl_range.h"
#include "excel/server/xl_server.h"

namespace xl {

class XlBook;
class XlApp;

class XlSheet : public IWorksheet, public std::enable_shared_from_this<XlSheet> {
 public:
  XlSheet(std::weak_ptr<XlBook> book, const AnsiString& name);
  void* QueryInterface(TGUID iid) override;

  AnsiString Name() override;
  void SetName(const AnsiString& name) override;
  void Activate() override;
  void Delete() override;
  std::shared_ptr<IRange> Range(const AnsiString& cell1, const AnsiString& cell2) override;
  std::shared_ptr<IOutline> Outline() override;
  std::shared_ptr<IHyperlinks> Hyperlinks() override;
  std::shared_ptr<IChartObjects> ChartObjects() override;
  std::shared_ptr<IWorkbook> Workbook() override;
  int Index() override;

  // EOleException once the sheet was deleted or its workbook closed.
  void CheckAlive() const;
  void MarkDeleted() { deleted_ = true; }
  biff::SheetData& Data() { return data_; }
  const biff::SheetData& Data() const { return data_; }
  std::shared_ptr<XlBook> Book() const;
  XlApp& App() const;
  // Whether a cell shows its number as a date.
  bool IsDate(const biff::Cell& cell) const;
  // Changes the format of the cell through change, keeping the sheet's
  // table of formats small.
  void ChangeFormat(biff::Cell& cell, const std::function<void(biff::CellFormat&)>& change);
  void ChangeColumnFormat(int column, const std::function<void(biff::CellFormat&)>& change);
  // The format a new cell of the column starts with.
  uint16_t ColumnStyle(int column) const { return data_.columnStyles[static_cast<std::size_t>(column)]; }

 private:
  std::weak_ptr<XlBook> book_;
  biff::SheetData data_;
  bool deleted_ = false;
};

// A sheet name is 1-31 characters without : \ / ? * [ ].
bool ValidSheetName(const AnsiString& name);

}  // namespace xl
