// The Excel component.
#include "excel/excel_app.h"

#include <cmath>

#include "excel/office_model.h"
#include "excel/server/xl_sheet_objects.h"
#include "excel/server/xl_palette.h"
#include "platform/gui/application.h"
#include "platform/gui/graphics.h"
#include "platform/gui/shell_open.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"

namespace {

int ServerWindowState(int state) {
  switch (state) {
    case xlwsNormal:
      return xl::xlNormal;
    case xlwsMinimized:
      return xl::xlMinimized;
    case xlwsMaximized:
      return xl::xlMaximized;
    default:
      return 0;
  }
}

int ComponentWindowState(int state, int stored) {
  switch (state) {
    case xl::xlNormal:
      return xlwsNormal;
    case xl::xlMinimized:
      return xlwsMinimized;
    case xl::xlMaximized:
      return xlwsMaximized;
    default:
      return stored;
  }
}

// The server's cancel-key values: disabled 0, interrupt 1, error handler 2.
int ServerCancelKey(int key) { return key == xlckErrorHandler ? 2 : key == xlckInterrupt ? 1 : 0; }
int ComponentCancelKey(int key) { return key == 2 ? xlckErrorHandler : key == 1 ? xlckInterrupt : xlckDisabled; }

}  // namespace

double PixelsToPoints(int pixels) { return pixels / static_cast<double>(Screen->PixelsPerInch()) * 72.0; }
int PointsToPixels(double points) { return static_cast<int>(std::trunc(points * Screen->PixelsPerInch() / 72.0)); }

TOfExcelBase::TOfExcelBase(TComponent* owner)
    : TOfOfficeComponent(owner), workbooks_(std::make_unique<TOfExcelWorkbooks>(this)) {
  // The in-process server resolves system colours and follows hyperlinks
  // through the desktop, as the program shows them.
  xl::SetColourResolver(&ColorToRGB);
  static bool openerInstalled = false;
  if (!openerInstalled) {
    xl::SetHyperlinkOpener([](const AnsiString& target) { return ShellOpen(target); });
    openerInstalled = true;
  }
}

TOfExcelBase::~TOfExcelBase() {
  try {
    SetConnected(false);
  } catch (...) {
    // A server that fails while quitting must not stop the component going;
    // its sinks go first, while the server they unadvise from still exists.
    DetachEventSinks();
    app_.reset();
  }
  workbooks_.reset();
}

bool TOfExcelBase::NormalWindow() { return WindowState() == xlwsNormal; }

bool TOfExcelBase::WorkbookOpen() { return app_ && app_->Workbooks()->Count() > 0; }

bool TOfExcelBase::Visible() {
  if (app_) visible_ = app_->Visible();
  return visible_;
}

void TOfExcelBase::SetVisible(bool on) {
  if (app_) {
    app_->SetVisible(on);
    app_->SetScreenUpdating(true);
  }
  visible_ = on;
}

bool TOfExcelBase::Interactive() {
  if (app_) interactive_ = app_->Interactive();
  return interactive_;
}

void TOfExcelBase::SetInteractive(bool on) {
  if (app_) app_->SetInteractive(on);
  interactive_ = on;
}

int TOfExcelBase::WindowState() {
  if (app_) windowState_ = ComponentWindowState(app_->WindowState(), windowState_);
  return windowState_;
}

void TOfExcelBase::SetWindowState(int state) {
  if (app_ && ServerWindowState(state) != 0) app_->SetWindowState(ServerWindowState(state));
  windowState_ = state;
}

int TOfExcelBase::ServerLeft() {
  if (app_ && NormalWindow()) left_ = PointsToPixels(app_->Left());
  return left_;
}

void TOfExcelBase::SetServerLeft(int pixels) {
  if (app_ && NormalWindow()) app_->SetLeft(PixelsToPoints(pixels));
  left_ = pixels;
}

int TOfExcelBase::ServerTop() {
  if (app_ && NormalWindow()) top_ = PointsToPixels(app_->Top());
  return top_;
}

void TOfExcelBase::SetServerTop(int pixels) {
  if (app_ && NormalWindow()) app_->SetTop(PixelsToPoints(pixels));
  top_ = pixels;
}

int TOfExcelBase::ServerWidth() {
  if (app_ && NormalWindow()) width_ = PointsToPixels(app_->Width());
  return width_;
}

void TOfExcelBase::SetServerWidth(int pixels) {
  if (app_ && NormalWindow()) app_->SetWidth(PixelsToPoints(pixels));
  width_ = pixels;
}

int TOfExcelBase::ServerHeight() {
  if (app_ && NormalWindow()) height_ = PointsToPixels(app_->Height());
  return height_;
}

void TOfExcelBase::SetServerHeight(int pixels) {
  if (app_ && NormalWindow()) app_->SetHeight(PixelsToPoints(pixels));
  height_ = pixels;
}

AnsiString TOfExcelBase::Caption() {
  if (app_) caption_ = app_->Caption();
  return caption_;
}

void TOfExcelBase::SetCaption(const AnsiString& caption) {
  if (app_) app_->SetCaption(caption);
  caption_ = caption;
}

bool TOfExcelBase::EnableAnimations() {
  if (app_) enableAnimations_ = app_->EnableAnimations();
  return enableAnimations_;
}

void TOfExcelBase::SetEnableAnimations(bool on) {
  if (app_) app_->SetEnableAnimations(on);
  enableAnimations_ = on;
}

bool TOfExcelBase::EnableAutoComplete() {
  if (app_) enableAutoComplete_ = app_->EnableAutoComplete();
  return enableAutoComplete_;
}

void TOfExcelBase::SetEnableAutoComplete(bool on) {
  if (app_) app_->SetEnableAutoComplete(on);
  enableAutoComplete_ = on;
}

int TOfExcelBase::EnableCancelKey() {
  if (app_) enableCancelKey_ = ComponentCancelKey(app_->EnableCancelKey());
  return enableCancelKey_;
}

void TOfExcelBase::SetEnableCancelKey(int key) {
  if (app_) app_->SetEnableCancelKey(ServerCancelKey(key));
  enableCancelKey_ = key;
}

bool TOfExcelBase::LargeButtons() {
  if (app_) largeButtons_ = app_->LargeButtons();
  return largeButtons_;
}

void TOfExcelBase::SetLargeButtons(bool on) {
  if (app_) app_->SetLargeButtons(on);
  largeButtons_ = on;
}

AnsiString TOfExcelBase::UserName() {
  if (WorkbookOpen()) userName_ = app_->UserName();
  return userName_;
}

void TOfExcelBase::SetUserName(const AnsiString& name) {
  if (WorkbookOpen()) app_->SetUserName(name);
  userName_ = name;
}

AnsiString TOfExcelBase::ServerVersion() {
  CheckConnected(true, true);
  return app_->Version();
}

void TOfExcelBase::GetServerInfo(TStrings* list) {
  std::shared_ptr<xl::IApplication> app = app_;
  bool own = false;
  if (!app) {
    app = std::dynamic_pointer_cast<xl::IApplication>(CreateServerObject(xl::CLSID_ExcelApplication, xl::IID__Application));
    if (!app) throw EOleException("The spreadsheet server could not be created");
    own = true;
  }
  auto number = [](double v) { return FloatToStr(v, CzechFormatSettings()); };
  try {
    list->Clear();
    list->Add("User Name=" + app->UserName());
    list->Add("Organization Name=" + app->OrganizationName());
    list->Add("Operating System=" + app->OperatingSystem());
    list->Add("Version=" + app->Version());
    list->Add("Build=" + app->Build());
    list->Add("Memory Total=" + number(app->MemoryTotal()));
    list->Add("Memory Free=" + number(app->MemoryFree()));
    list->Add("Memory Used=" + number(app->MemoryUsed()));
    list->Add(AnsiString("Math CoProcessorAvailable=") + (app->MathCoprocessorAvailable() ? "Yes" : "No"));
  } catch (...) {
    if (own) app->Quit();
    throw;
  }
  if (own) app->Quit();
}

void TOfExcelBase::ConnectServer() {
  xl::XlRef server = CreateServerObject(xl::CLSID_ExcelApplication, xl::IID__Application);
  auto app = std::dynamic_pointer_cast<xl::IApplication>(server);
  if (!app) throw EOleException("The spreadsheet server could not be created");
  app->SetSheetsInNewWorkbook(1);
  app->SetDisplayAlerts(false);
  app_ = app;
  AttachEventSink(app_.get(), xl::DIID_AppEvents);
  app_->SetEnableEvents(true);
}

void TOfExcelBase::DisconnectServer() {
  DetachEventSinks();
  for (int i = 0; i < workbooks_->Count(); ++i) workbooks_->Item(i)->DropInterface();
  std::shared_ptr<xl::IApplication> app = std::move(app_);
  app_.reset();
  if (app) app->Quit();
  DoOpDisconnect();
}

void TOfExcelBase::SynchronizeProperties() {
  if (PropDirection() == pdToServer) {
    SetWindowState(windowState_);
    SetInteractive(interactive_);
    SetVisible(visible_);
    SetServerLeft(left_);
    SetServerTop(top_);
    SetServerWidth(width_);
    SetServerHeight(height_);
    SetCaption(caption_);
    SetEnableAnimations(enableAnimations_);
    SetEnableAutoComplete(enableAutoComplete_);
    SetEnableCancelKey(enableCancelKey_);
    SetLargeButtons(largeButtons_);
    SetUserName(userName_);
  } else {
    WindowState();
    Interactive();
    SetVisible(visible_);
    ServerLeft();
    ServerTop();
    ServerWidth();
    ServerHeight();
    Caption();
    EnableAnimations();
    EnableAutoComplete();
    EnableCancelKey();
    LargeButtons();
    UserName();
  }
  for (int i = 0; i < workbooks_->Count(); ++i) workbooks_->Item(i)->Connect();
}

xl::XlRef TOfExcelBase::ConnectItem(TOfNestedCollectionItem* item) {
  if (!app_) return nullptr;
  if (dynamic_cast<TOfExcelWorkbook*>(item)) {
    auto* book = static_cast<TOfExcelWorkbook*>(item);
    if (!book->Filename().empty()) return app_->Workbooks()->Open(book->Filename());
    return app_->Workbooks()->Add(Variant());
  }
  if (auto* sheet = dynamic_cast<TOfExcelWorksheet*>(item)) return sheet->BindServer();
  if (auto* range = dynamic_cast<TOfExcelRange*>(item)) return range->BindServer();
  if (auto* link = dynamic_cast<TOfExcelHyperlink*>(item)) return link->BindServer();
  if (auto* chart = dynamic_cast<TOfExcelChart*>(item)) return chart->BindServer();
  return nullptr;
}

void TOfExcelBase::Notification(TComponent* component, TOperation operation) {
  TOfOfficeComponent::Notification(component, operation);
  if (operation != TOperation::opRemove || !workbooks_) return;
  workbooks_->ForEach([component](TOfNestedCollectionItem* item) {
    auto* range = dynamic_cast<TOfExcelRange*>(item);
    if (range && range->OfficeModel() == component) range->DropOfficeModel();
  });
}

// --- TOfExcel ---------------------------------------------------------------------

TOfExcel::TOfExcel(TComponent* owner) : TOfExcelBase(owner) {}

TOfExcel::~TOfExcel() {
  try {
    SetConnected(false);
  } catch (...) {
    DetachEventSinks();
    app_.reset();
  }
}

namespace {

std::shared_ptr<xl::IWorkbook> WorkbookArg(const std::vector<xl::OleArg>& args, std::size_t i) {
  return i < args.size() ? std::dynamic_pointer_cast<xl::IWorkbook>(args[i].object) : nullptr;
}

std::shared_ptr<xl::IRange> RangeArg(const std::vector<xl::OleArg>& args, std::size_t i) {
  return i < args.size() ? std::dynamic_pointer_cast<xl::IRange>(args[i].object) : nullptr;
}

xl::XlRef ObjectArg(const std::vector<xl::OleArg>& args, std::size_t i) {
  return i < args.size() ? args[i].object : nullptr;
}

// The by-reference cancel flag; a server that passed none gets a local one.
bool& CancelArg(const std::vector<xl::OleArg>& args, std::size_t i, bool& local) {
  return i < args.size() && args[i].byRef ? *args[i].byRef : local;
}

}  // namespace

void TOfExcel::DispatchEvent(xl::TGUID iid, int dispId, const std::vector<xl::OleArg>& a) {
  if (iid != xl::DIID_AppEvents) return;
  InEventScope scope(*this);
  bool local = false;
  switch (dispId) {
    case xl::kWindowResize:
      if (OnWindowResize) OnWindowResize(this, WorkbookArg(a, 0), ObjectArg(a, 1));
      break;
    case xl::kWindowActivate:
      if (OnWindowActivate) OnWindowActivate(this, WorkbookArg(a, 0), ObjectArg(a, 1));
      break;
    case xl::kWindowDeactivate:
      if (OnWindowDeactivate) OnWindowDeactivate(this, WorkbookArg(a, 0), ObjectArg(a, 1));
      break;
    case xl::kSheetSelectionChange:
      if (OnSheetSelectionChange) OnSheetSelectionChange(this, ObjectArg(a, 0), RangeArg(a, 1));
      break;
    case xl::kSheetBeforeDoubleClick:
      if (BeforeSheetDoubleClick) BeforeSheetDoubleClick(this, ObjectArg(a, 0), RangeArg(a, 1), CancelArg(a, 2, local));
      break;
    case xl::kSheetBeforeRightClick:
      if (BeforeSheetRightClick) BeforeSheetRightClick(this, ObjectArg(a, 0), RangeArg(a, 1), CancelArg(a, 2, local));
      break;
    case xl::kSheetActivate:
      if (OnSheetActivate) OnSheetActivate(this, ObjectArg(a, 0));
      break;
    case xl::kSheetDeactivate:
      if (OnSheetDeactivate) OnSheetDeactivate(this, ObjectArg(a, 0));
      break;
    case xl::kSheetCalculate:
      if (OnSheetCalculate) OnSheetCalculate(this, ObjectArg(a, 0));
      break;
    case xl::kSheetChange:
      if (OnSheetChange) OnSheetChange(this, ObjectArg(a, 0), RangeArg(a, 1));
      break;
    case xl::kNewWorkbook:
      if (OnNewWorkbook) OnNewWorkbook(this, WorkbookArg(a, 0));
      break;
    case xl::kWorkbookOpen:
      if (OnWorkbookOpen) OnWorkbookOpen(this, WorkbookArg(a, 0));
      break;
    case xl::kWorkbookActivate:
      if (OnWorkbookActivate) OnWorkbookActivate(this, WorkbookArg(a, 0));
      break;
    case xl::kWorkbookDeactivate:
      if (OnWorkbookDeactivate) OnWorkbookDeactivate(this, WorkbookArg(a, 0));
      break;
    case xl::kWorkbookBeforeClose:
      if (BeforeWorkbookClose) BeforeWorkbookClose(this, WorkbookArg(a, 0), CancelArg(a, 1, local));
      break;
    case xl::kWorkbookBeforeSave:
      if (BeforeWorkbookSave) {
        bool saveAsUI = a.size() > 1 && a[1].value.AsBool();
        BeforeWorkbookSave(this, WorkbookArg(a, 0), saveAsUI, CancelArg(a, 2, local));
      }
      break;
    case xl::kWorkbookBeforePrint:
      if (BeforeWorkbookPrint) BeforeWorkbookPrint(this, WorkbookArg(a, 0), CancelArg(a, 1, local));
      break;
    case xl::kWorkbookNewSheet:
      if (OnWorkbookNewSheet) OnWorkbookNewSheet(this, WorkbookArg(a, 0), ObjectArg(a, 1));
      break;
    case xl::kWorkbookAddinInstall:
      if (OnWorkbookAddinInstall) OnWorkbookAddinInstall(this, WorkbookArg(a, 0));
      break;
    case xl::kWorkbookAddinUninstall:
      if (OnWorkbookAddinUninstall) OnWorkbookAddinUninstall(this, WorkbookArg(a, 0));
      break;
    default:
      break;
  }
}
