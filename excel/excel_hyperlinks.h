// Hyperlink items of a worksheet item: each mirrors one hyperlink of the
// sheet, keeps its settings while disconnected and is created again when
// its anchor or window setting changes while visible.
#pragma once

#include "excel/office_base.h"

class TOfExcelHyperlink;
class TOfExcelWorksheet;

class TOfExcelHyperlinks : public TOfNestedCollection {
 public:
  TOfExcelHyperlinks(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Hyperlink"; }
  TOfExcelHyperlink* Add();
  TOfExcelHyperlink* Items(int index) const;
};

class TOfExcelHyperlink : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelHyperlink(TCollection* collection);
  ~TOfExcelHyperlink() override;
  AnsiString ClassName() const override { return "TOfExcelHyperlink"; }

  // From the server while connected and the hyperlink exists (the stored
  // value refreshed), else the stored value.
  AnsiString Address();
  void SetAddress(const AnsiString& address);
  AnsiString SubAddress();
  void SetSubAddress(const AnsiString& subAddress);
  // The cells it sits on (relative A1 address; refreshed while connected).
  AnsiString AnchorCell();
  void SetAnchorCell(const AnsiString& cell);
  bool NewWindow() const { return newWindow_; }
  void SetNewWindow(bool on);
  bool Visible() const { return visible_; }
  // True creates the hyperlink, false deletes it.
  void SetVisible(bool on);
  std::shared_ptr<xl::IHyperlink> Hyperlink() const { return std::dynamic_pointer_cast<xl::IHyperlink>(intf_); }
  TOfExcelWorksheet* WorksheetItem() const;

  // Opens the target (new window as set).
  void Follow();
  int VerbCount() const override { return 1; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  // New workbook: creates the hyperlink when visible; workbook from a file:
  // binds to the sheet's hyperlink Index()+1 and reads it.
  xl::XlRef BindServer();

 private:
  bool LinkConnected() const;
  // Deletes the server's hyperlink (errors ignored) and drops it.
  void DeleteHyperlink();
  // Deletes and adds again; a failure shows "Error creating Hyperlink,
  // Check Cell and Address" unless the component suppresses messages.
  void CreateHyperlink();

  AnsiString address_;
  AnsiString subAddress_;
  AnsiString anchorCell_ = "A1";
  bool newWindow_ = false;
  bool visible_ = false;
};
