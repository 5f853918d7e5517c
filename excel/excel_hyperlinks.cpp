// Hyperlink items.
#include "excel/excel_hyperlinks.h"

#include "excel/excel_items.h"
#include "platform/gui/dialogs.h"

TOfExcelHyperlinks::TOfExcelHyperlinks(TOfOfficeComponent* root, TOfNestedCollectionItem* parent)
    : TOfNestedCollection(FactoryOf<TOfExcelHyperlink>(), root, parent) {}
TOfExcelHyperlink* TOfExcelHyperlinks::Add() { return static_cast<TOfExcelHyperlink*>(TCollection::Add()); }
TOfExcelHyperlink* TOfExcelHyperlinks::Items(int index) const { return static_cast<TOfExcelHyperlink*>(Item(index)); }

TOfExcelHyperlink::TOfExcelHyperlink(TCollection* collection) : TOfNestedCollectionItem(collection) {}

TOfExcelHyperlink::~TOfExcelHyperlink() {
  TOfOfficeComponent* root = RootComponent();
  if (root && root->Connected() && !root->IsDestroying()) DeleteHyperlink();
  intf_.reset();
}

TOfExcelWorksheet* TOfExcelHyperlink::WorksheetItem() const { return static_cast<TOfExcelWorksheet*>(ParentItem()); }

bool TOfExcelHyperlink::LinkConnected() const {
  TOfOfficeComponent* root = RootComponent();
  return root && root->Connected() && Hyperlink();
}

AnsiString TOfExcelHyperlink::Address() {
  if (LinkConnected()) address_ = Hyperlink()->Address();
  return address_;
}

void TOfExcelHyperlink::SetAddress(const AnsiString& address) {
  if (LinkConnected()) Hyperlink()->SetAddress(address);
  address_ = address;
}

AnsiString TOfExcelHyperlink::SubAddress() {
  if (LinkConnected()) subAddress_ = Hyperlink()->SubAddress();
  return subAddress_;
}

void TOfExcelHyperlink::SetSubAddress(const AnsiString& subAddress) {
  if (LinkConnected()) Hyperlink()->SetSubAddress(subAddress);
  subAddress_ = subAddress;
}

AnsiString TOfExcelHyperlink::AnchorCell() {
  if (LinkConnected() && Hyperlink()->Type() == 0) anchorCell_ = Hyperlink()->Range()->Address(false, false);
  return anchorCell_;
}

void TOfExcelHyperlink::SetAnchorCell(const AnsiString& cell) {
  anchorCell_ = cell;
  if (visible_) CreateHyperlink();
}

void TOfExcelHyperlink::SetNewWindow(bool on) {
  newWindow_ = on;
  if (visible_) CreateHyperlink();
}

void TOfExcelHyperlink::SetVisible(bool on) {
  if (on == visible_) return;
  visible_ = on;
  if (on) {
    CreateHyperlink();
  } else {
    DeleteHyperlink();
  }
}

void TOfExcelHyperlink::DeleteHyperlink() {
  auto link = Hyperlink();
  intf_.reset();
  if (!link) return;
  try {
    link->Delete();
  } catch (...) {
    // Gone on the server's side already.
  }
}

void TOfExcelHyperlink::CreateHyperlink() {
  TOfOfficeComponent* root = RootComponent();
  if (!root || !root->Connected() || root->IsLoading()) return;
  DeleteHyperlink();
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  try {
    if (!sheet) throw EOleException("The worksheet item is not bound to a sheet");
    intf_ = sheet->Hyperlinks()->Add(sheet->Range(anchorCell_, anchorCell_), address_, subAddress_);
  } catch (const Exception&) {
    intf_.reset();
    if (!root->SuppressMessages()) {
      MessageDlg("Error creating Hyperlink, Check Cell and Address", mtInformation, TMsgDlgButtons{mbOK});
    }
  }
}

void TOfExcelHyperlink::Follow() {
  RootComponent()->CheckConnected(true, false);
  auto link = Hyperlink();
  if (!link) throw EOleException("The hyperlink item is not bound to a hyperlink");
  link->Follow(newWindow_);
}

AnsiString TOfExcelHyperlink::Verb(int index) const { return index == 0 ? "Follow" : AnsiString(); }

void TOfExcelHyperlink::ExecuteVerb(int index) {
  if (index == 0) Follow();
}

xl::XlRef TOfExcelHyperlink::BindServer() {
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  TOfExcelWorkbook* bookItem = sheetItem ? sheetItem->WorkbookItem() : nullptr;
  if (!sheet || !bookItem) return nullptr;
  if (bookItem->Filename().empty()) {
    if (visible_) CreateHyperlink();
    return intf_;
  }
  auto links = sheet->Hyperlinks();
  if (Index() >= links->Count()) return nullptr;
  intf_ = links->Item(Index() + 1);
  Address();
  SubAddress();
  AnchorCell();
  visible_ = true;
  return intf_;
}
