// Workbooks of the in-process spreadsheet model: sheets in order, the active
// sheet, saving to an .xls file.
#pragma once

#include <memory>
#include <vector>

#include "excel/biff/biff_reader.h"
#include "excel/server/xl_server.h"

namespace xl {

class XlApp;
class XlSheet;

class XlBook : public IWorkbook, public std::enable_shared_from_this<XlBook> {
 public:
  XlBook(XlApp& app, const AnsiString& name);
  void* QueryInterface(TGUID iid) override;

  AnsiString Name() override;
  AnsiString FullName() override;
  std::shared_ptr<IWorksheets> Worksheets() override;
  void Activate() override;
  void Close(bool saveChanges) override;
  void Save() override;
  void SaveAs(const AnsiString& fileName) override;

  XlApp& App() const { return app_; }
  void CheckAlive() const;
  // Adds the first sheets of a new workbook (no events).
  void AddInitialSheets(int count);
  // A new sheet after the given one (null: before the active one), made
  // active.
  std::shared_ptr<XlSheet> AddSheet(const std::shared_ptr<XlSheet>& after);
  void DeleteSheet(XlSheet& sheet);
  void ActivateSheet(XlSheet& sheet);
  const std::vector<std::shared_ptr<XlSheet>>& Sheets() const { return sheets_; }
  std::shared_ptr<XlSheet> ActiveSheet() const;
  int IndexOf(const XlSheet& sheet) const;  // from 0, -1 when gone
  // Marks the workbook and its sheets closed (every later call fails).
  void MarkClosed();
  // The .xls bytes of the workbook as it stands.
  std::string FileBytes() const;
  // Takes the sheets read from the file fullName; when the reader skipped
  // content, the workbook refuses to be saved over that file.
  void AdoptSheets(biff::ReadWorkbookResult&& read, const AnsiString& fullName);
  // What the file it was opened from held that the workbook does not.
  const std::vector<std::string>& NotKept() const { return notKept_; }

 private:
  void WriteFile(const AnsiString& fileName);
  AnsiString NewSheetName();

  XlApp& app_;
  AnsiString name_;
  AnsiString fullName_;  // empty until saved
  std::vector<std::shared_ptr<XlSheet>> sheets_;
  int active_ = 0;
  int nextSheetNumber_ = 1;
  bool closed_ = false;
  std::vector<std::string> notKept_;
  AnsiString lossySource_;  // the file that must not be overwritten
};

}  // namespace xl
