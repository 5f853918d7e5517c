// Workbook, worksheet and range items.
#include "excel/excel_items.h"

#include "excel/excel_app.h"
#include "excel/server/xl_typed_entry.h"
#include "platform/gui/dialogs.h"

namespace {

// Runs a server call that must not send events (closing or deleting on the
// component's own behalf).
template <class F>
void WithoutEvents(const std::shared_ptr<xl::IApplication>& app, F&& call) {
  bool was = app ? app->EnableEvents() : false;
  if (app) app->SetEnableEvents(false);
  try {
    call();
  } catch (...) {
    if (app) app->SetEnableEvents(was);
    throw;
  }
  if (app) app->SetEnableEvents(was);
}

std::shared_ptr<xl::IApplication> AppOf(TOfOfficeComponent* root) {
  auto* excel = dynamic_cast<TOfExcelBase*>(root);
  return excel ? excel->Application() : nullptr;
}

}  // namespace

// --- collections -------------------------------------------------------------------

TOfExcelRanges::TOfExcelRanges(TOfOfficeComponent* root, TOfNestedCollectionItem* parent)
    : TOfNestedCollection(FactoryOf<TOfExcelRange>(), root, parent) {}
TOfExcelRange* TOfExcelRanges::Add() { return static_cast<TOfExcelRange*>(TCollection::Add()); }
TOfExcelRange* TOfExcelRanges::Items(int index) const { return static_cast<TOfExcelRange*>(Item(index)); }

TOfExcelWorksheets::TOfExcelWorksheets(TOfOfficeComponent* root, TOfNestedCollectionItem* parent)
    : TOfNestedCollection(FactoryOf<TOfExcelWorksheet>(), root, parent) {}
TOfExcelWorksheet* TOfExcelWorksheets::Add() { return static_cast<TOfExcelWorksheet*>(TCollection::Add()); }
TOfExcelWorksheet* TOfExcelWorksheets::Items(int index) const { return static_cast<TOfExcelWorksheet*>(Item(index)); }

TOfExcelWorkbooks::TOfExcelWorkbooks(TOfOfficeComponent* root)
    : TOfNestedCollection(FactoryOf<TOfExcelWorkbook>(), root, nullptr) {}
TOfExcelWorkbook* TOfExcelWorkbooks::Add() { return static_cast<TOfExcelWorkbook*>(TCollection::Add()); }
TOfExcelWorkbook* TOfExcelWorkbooks::Items(int index) const { return static_cast<TOfExcelWorkbook*>(Item(index)); }

// --- workbook ---------------------------------------------------------------------

TOfExcelWorkbook::TOfExcelWorkbook(TCollection* collection) : TOfNestedCollectionItem(collection) {
  worksheets_ = std::make_unique<TOfExcelWorksheets>(RootComponent(), this);
}

TOfExcelWorkbook::~TOfExcelWorkbook() {
  worksheets_.reset();
  TOfOfficeComponent* root = RootComponent();
  auto book = Workbook();
  if (book && root && root->Connected() && !root->InEvent()) {
    try {
      WithoutEvents(AppOf(root), [&] { book->Close(false); });
    } catch (...) {
      // The workbook may already be gone on the server's side.
    }
  }
  intf_.reset();
}

void TOfExcelWorkbook::InitDefaults() {
  // A new workbook starts with one sheet; this item stands for it.
  if (filename_.empty()) worksheets_->Add();
}

TOfNestedCollection* TOfExcelWorkbook::SubCollection(int index) const {
  if (index != 0) return TOfNestedCollectionItem::SubCollection(index);
  return worksheets_.get();
}

std::shared_ptr<xl::IWorkbook> TOfExcelWorkbook::CheckedWorkbook() const {
  RootComponent()->CheckConnected(true, false);
  auto book = Workbook();
  if (!book) throw EOleException("The workbook item is not bound to a workbook");
  return book;
}

void TOfExcelWorkbook::SetFilename(const AnsiString& name) {
  filename_ = name;
  TOfOfficeComponent* root = RootComponent();
  if (!root || !root->Connected() || name.empty()) return;
  // The items go without touching the sheets of the workbook being closed.
  for (int i = 0; i < worksheets_->Count(); ++i) worksheets_->Item(i)->DropInterface();
  worksheets_->Clear();
  if (auto book = Workbook()) {
    intf_.reset();
    WithoutEvents(AppOf(root), [&] { book->Close(false); });
  }
  auto app = AppOf(root);
  if (!app) return;
  intf_ = app->Workbooks()->Open(name);
  ListSheets();
}

void TOfExcelWorkbook::Connect() {
  TOfNestedCollectionItem::Connect();
  if (!filename_.empty() && Workbook()) ListSheets();
}

void TOfExcelWorkbook::ListSheets() {
  auto book = Workbook();
  if (!book) return;
  if (worksheets_->Count() > 0) {
    for (int i = 0; i < worksheets_->Count(); ++i) worksheets_->Item(i)->DropInterface();
    worksheets_->Clear();
  }
  int count = book->Worksheets()->Count();
  for (int i = 1; i <= count; ++i) {
    TOfExcelWorksheet* sheetItem = worksheets_->Add();
    auto sheet = sheetItem->Worksheet();
    if (!sheet) continue;
    int links = sheet->Hyperlinks()->Count();
    for (int k = 0; k < links; ++k) sheetItem->Hyperlinks()->Add();
    int charts = sheet->ChartObjects()->Count();
    for (int k = 0; k < charts; ++k) sheetItem->Charts()->Add();
  }
}

void TOfExcelWorkbook::SaveAs(const AnsiString& fileName) { CheckedWorkbook()->SaveAs(fileName); }

void TOfExcelWorkbook::Save() { CheckedWorkbook()->Save(); }

AnsiString TOfExcelWorkbook::Verb(int index) const { return index == 0 ? "Save Workbook" : AnsiString(); }

void TOfExcelWorkbook::ExecuteVerb(int index) {
  if (index == 0) Save();
}

void TOfExcelWorkbook::Activate() {
  if (RootComponent()->Connected() && Workbook()) Workbook()->Activate();
}

// --- worksheet ----------------------------------------------------------------------

TOfExcelWorksheet::TOfExcelWorksheet(TCollection* collection) : TOfNestedCollectionItem(collection) {
  ranges_ = std::make_unique<TOfExcelRanges>(RootComponent(), this);
  hyperlinks_ = std::make_unique<TOfExcelHyperlinks>(RootComponent(), this);
  charts_ = std::make_unique<TOfExcelCharts>(RootComponent(), this);
}

TOfExcelWorksheet::~TOfExcelWorksheet() {
  TOfOfficeComponent* root = RootComponent();
  auto sheet = Worksheet();
  if (sheet && root && root->Connected() && !root->InEvent()) {
    try {
      auto book = sheet->Workbook();
      if (book->Worksheets()->Count() > 1) WithoutEvents(AppOf(root), [&] { sheet->Delete(); });
    } catch (...) {
      // Closed or deleted on the server's side already.
    }
  }
  intf_.reset();
  ranges_.reset();
  hyperlinks_.reset();
  charts_.reset();
}

TOfExcelWorkbook* TOfExcelWorksheet::WorkbookItem() const { return static_cast<TOfExcelWorkbook*>(ParentItem()); }

TOfNestedCollection* TOfExcelWorksheet::SubCollection(int index) const {
  switch (index) {
    case 0: return ranges_.get();
    case 1: return hyperlinks_.get();
    case 2: return charts_.get();
    default: return TOfNestedCollectionItem::SubCollection(index);
  }
}

xl::XlRef TOfExcelWorksheet::BindServer() {
  TOfExcelWorkbook* bookItem = WorkbookItem();
  auto book = bookItem ? bookItem->Workbook() : nullptr;
  if (!book) return nullptr;
  auto sheets = book->Worksheets();
  int count = sheets->Count();
  std::shared_ptr<xl::IWorksheet> sheet =
      Index() < count ? sheets->Item(Index() + 1) : sheets->Add(sheets->Item(count));
  if (bookItem->Filename().empty() && !name_.empty()) {
    sheet->SetName(name_);
  } else {
    name_ = sheet->Name();
  }
  return sheet;
}

AnsiString TOfExcelWorksheet::Name() {
  if (auto sheet = Worksheet(); sheet && RootComponent()->Connected()) name_ = sheet->Name();
  return name_;
}

void TOfExcelWorksheet::SetName(const AnsiString& name) {
  if (auto sheet = Worksheet(); sheet && RootComponent()->Connected()) sheet->SetName(name);
  name_ = name;
}

void TOfExcelWorksheet::Activate() {
  RootComponent()->CheckConnected(true, false);
  if (auto sheet = Worksheet()) sheet->Activate();
}

// --- range --------------------------------------------------------------------------

TOfExcelRange::TOfExcelRange(TCollection* collection) : TOfNestedCollectionItem(collection) {}

TOfExcelRange::~TOfExcelRange() {
  TOfOfficeComponent* root = RootComponent();
  if (officeModel_ && root) root->RemoveFreeNotification(officeModel_);
}

TOfExcelWorksheet* TOfExcelRange::WorksheetItem() const { return static_cast<TOfExcelWorksheet*>(ParentItem()); }

TOfExcel* TOfExcelRange::Excel() const { return dynamic_cast<TOfExcel*>(RootComponent()); }

void TOfExcelRange::SetOfficeModel(TComponent* model) {
  TOfOfficeComponent* root = RootComponent();
  if (officeModel_ && root && officeModel_ != model) root->RemoveFreeNotification(officeModel_);
  officeModel_ = model;
  if (model && root) root->FreeNotification(model);
}

xl::XlRef TOfExcelRange::BindServer() {
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  if (!sheet) return nullptr;
  std::shared_ptr<xl::IRange> range;
  if (!address_.empty()) {
    // Applied as an Address write would: a text the sheet does not take is
    // reported and leaves the item unbound.
    try {
      range = sheet->Range(address_, address_);
    } catch (const EOleException&) {
      MessageDlg(oftext::kInvalidRangeAddress, mtError, TMsgDlgButtons{mbOK});
      return nullptr;
    }
  } else {
    range = sheet->Range("A1", "A1");
    try {
      simpleText_ = xl::VariantDisplayText(range->Value());
    } catch (const EOleException&) {
      simpleText_ = "(N/A)";
    }
  }
  if (RootComponent()->PropDirection() == pdToServer) {
    if (simpleText_ != "(N/A)") range->SetValue(Variant(simpleText_));
  } else {
    try {
      simpleText_ = xl::VariantDisplayText(range->Value());
    } catch (const EOleException&) {
      simpleText_ = "(N/A)";
    }
  }
  return range;
}

AnsiString TOfExcelRange::Address() {
  if (auto range = Range(); range && RootComponent()->Connected()) address_ = range->Address(false, false);
  return address_;
}

void TOfExcelRange::SetAddress(const AnsiString& address) {
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  if (RootComponent()->Connected() && sheet) {
    auto old = Range();
    try {
      intf_ = sheet->Range(address, address);
    } catch (const EOleException&) {
      MessageDlg(oftext::kInvalidRangeAddress, mtError, TMsgDlgButtons{mbOK});
      return;
    }
    if (old && clearOnMove_) old->ClearContents();
    NotifyChanged();
  }
  address_ = address;
}

AnsiString TOfExcelRange::SimpleText() {
  if (auto range = Range(); range && RootComponent()->Connected()) {
    try {
      simpleText_ = xl::VariantDisplayText(range->Value());
    } catch (const EOleException&) {
      simpleText_ = "(N/A)";
    }
  }
  return simpleText_;
}

void TOfExcelRange::SetSimpleText(const AnsiString& text) {
  if (auto range = Range(); range && RootComponent()->Connected() && text != "(N/A)") range->SetValue(Variant(text));
  simpleText_ = text;
}

AnsiString TOfExcelRange::TopLeftAddress() {
  RootComponent()->CheckConnected(true, true);
  auto range = Range();
  if (!range) throw EOleException("The range item is not bound to a range");
  return range->Range("A1", "A1")->Address(false, false);
}

AnsiString TOfExcelRange::Verb(int index) const {
  switch (index) {
    case 0:
      return "Populate Range";
    case 1:
      return "Select Range";
    case 2:
      return "Set From Selection";
    default:
      return {};
  }
}

void TOfExcelRange::ExecuteVerb(int index) {
  switch (index) {
    case 0:
      Populate();
      break;
    case 1:
      SelectRange();
      break;
    case 2:
      SetFromSelection();
      break;
    default:
      break;
  }
}

void TOfExcelRange::SelectRange() {
  RootComponent()->CheckConnected(true, false);
  auto range = Range();
  if (!range) throw EOleException("The range item is not bound to a range");
  range->Select();
  // A visible server is brought forward by showing it again.
  auto app = AppOf(RootComponent());
  if (app && app->Visible()) app->SetVisible(true);
}

void TOfExcelRange::SetFromSelection() {
  RootComponent()->CheckConnected(true, false);
  WorksheetItem()->Activate();
  auto app = AppOf(RootComponent());
  auto selection = app ? std::dynamic_pointer_cast<xl::IRange>(app->Selection()) : nullptr;
  if (!selection) throw ERangeException(oftext::kSelectRange);
  intf_ = selection;
  NotifyChanged();
}

void TOfExcelRange::Activate() { WorksheetItem()->Activate(); }
