// The item tree below the Excel component: workbooks, each with worksheets,
// each with ranges. Items keep their settings while disconnected and bind
// to their server objects when the component connects.
#pragma once

#include <memory>

#include "excel/office_base.h"

class TOfExcel;
class TOfExcelWorkbook;
class TOfExcelWorksheet;
class TOfExcelRange;

class TOfExcelRanges : public TOfNestedCollection {
 public:
  TOfExcelRanges(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Range"; }
  TOfExcelRange* Add();
  TOfExcelRange* Items(int index) const;
};

class TOfExcelWorksheets : public TOfNestedCollection {
 public:
  TOfExcelWorksheets(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Worksheet"; }
  TOfExcelWorksheet* Add();
  TOfExcelWorksheet* Items(int index) const;
};

class TOfExcelWorkbooks : public TOfNestedCollection {
 public:
  explicit TOfExcelWorkbooks(TOfOfficeComponent* root);
  AnsiString Caption() const override { return "Workbook"; }
  TOfExcelWorkbook* Add();
  TOfExcelWorkbook* Items(int index) const;
};

class TOfExcelWorkbook : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelWorkbook(TCollection* collection);
  ~TOfExcelWorkbook() override;
  AnsiString ClassName() const override { return "TOfExcelWorkbook"; }

  // Stored; opening the file is not available yet.
  const AnsiString& Filename() const { return filename_; }
  void SetFilename(const AnsiString& name) { filename_ = name; }
  TOfExcelWorksheets* Worksheets() const { return worksheets_.get(); }
  std::shared_ptr<xl::IWorkbook> Workbook() const { return std::dynamic_pointer_cast<xl::IWorkbook>(intf_); }

  void SaveAs(const AnsiString& fileName);
  void Save();

  TOfNestedCollection* SubCollection(int index) const override;
  int SubCollectionCount() const override { return 1; }
  void InitDefaults() override;
  int VerbCount() const override { return 1; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  void Activate() override;

 private:
  std::shared_ptr<xl::IWorkbook> CheckedWorkbook() const;

  AnsiString filename_;
  std::unique_ptr<TOfExcelWorksheets> worksheets_;
};

class TOfExcelWorksheet : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelWorksheet(TCollection* collection);
  ~TOfExcelWorksheet() override;
  AnsiString ClassName() const override { return "TOfExcelWorksheet"; }

  // The sheet's name while connected, else the stored one.
  AnsiString Name();
  void SetName(const AnsiString& name);
  const AnsiString& StoredName() const { return name_; }
  TOfExcelRanges* Ranges() const { return ranges_.get(); }
  std::shared_ptr<xl::IWorksheet> Worksheet() const { return std::dynamic_pointer_cast<xl::IWorksheet>(intf_); }
  TOfExcelWorkbook* WorkbookItem() const;

  TOfNestedCollection* SubCollection(int index) const override;
  int SubCollectionCount() const override { return 1; }
  void Activate() override;
  // The sheet Index()+1 (a new sheet after the last when there are
  // fewer), then pushes the stored name (new workbook) or pulls it.
  xl::XlRef BindServer();

 private:
  AnsiString name_;
  std::unique_ptr<TOfExcelRanges> ranges_;
};

class TOfExcelRange : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelRange(TCollection* collection);
  ~TOfExcelRange() override;
  AnsiString ClassName() const override { return "TOfExcelRange"; }

  TComponent* OfficeModel() const { return officeModel_; }
  // Stores the model; the component drops it when it is freed.
  void SetOfficeModel(TComponent* model);
  void DropOfficeModel() { officeModel_ = nullptr; }
  // The bound range's address while connected, else the stored text.
  AnsiString Address();
  // While connected rebinds (clearing the old cells with ClearOnMove); a
  // text the sheet does not take shows "Invalid Range Address." and keeps
  // the old binding and text.
  void SetAddress(const AnsiString& address);
  bool ClearOnMove() const { return clearOnMove_; }
  void SetClearOnMove(bool on) { clearOnMove_ = on; }
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name) { name_ = name; }
  // The cell's value as text while connected ("(N/A)" for several cells),
  // else the last text read or set.
  AnsiString SimpleText();
  void SetSimpleText(const AnsiString& text);
  // The address of the range's first cell.
  AnsiString TopLeftAddress();
  std::shared_ptr<xl::IRange> Range() const { return std::dynamic_pointer_cast<xl::IRange>(intf_); }
  TOfExcelWorksheet* WorksheetItem() const;

  // Copies the rows of the office model into the sheet from the range's
  // top-left cell: a bold, centred header row, one row per model row, the
  // used columns auto-fitted; the item's range becomes header plus rows.
  void Populate();
  void SelectRange();
  void SetFromSelection();

  int VerbCount() const override { return 3; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  void Activate() override;
  xl::XlRef BindServer();

 private:
  TOfExcel* Excel() const;

  TComponent* officeModel_ = nullptr;
  AnsiString address_;
  bool clearOnMove_ = false;
  AnsiString name_;
  AnsiString simpleText_;
};
