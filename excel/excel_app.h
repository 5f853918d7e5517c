// The Excel component: starts and drives the spreadsheet server, pushes its
// settings to it or pulls them, binds the tree of workbook items and passes
// the application's events on to its handlers.
#pragma once

#include <memory>

#include "excel/excel_items.h"
#include "excel/office_base.h"

enum TOfXlWindowState : int { xlwsNormal, xlwsMinimized, xlwsMaximized };
enum TOfXlCancelKey : int { xlckDisabled, xlckErrorHandler, xlckInterrupt };

using TOfWorkbookEvent = std::function<void(TObject* Sender, std::shared_ptr<xl::IWorkbook> Wb)>;
using TOfWorkbookCancelEvent = std::function<void(TObject* Sender, std::shared_ptr<xl::IWorkbook> Wb, bool& Cancel)>;
using TOfWorkbookSaveEvent =
    std::function<void(TObject* Sender, std::shared_ptr<xl::IWorkbook> Wb, bool SaveAsUI, bool& Cancel)>;
using TOfWorkbookSheetEvent = std::function<void(TObject* Sender, std::shared_ptr<xl::IWorkbook> Wb, xl::XlRef Sh)>;
using TOfWindowEvent = std::function<void(TObject* Sender, std::shared_ptr<xl::IWorkbook> Wb, xl::XlRef Wn)>;
using TOfSheetEvent = std::function<void(TObject* Sender, xl::XlRef Sh)>;
using TOfSheetRangeEvent = std::function<void(TObject* Sender, xl::XlRef Sh, std::shared_ptr<xl::IRange> Target)>;
using TOfSheetRangeCancelEvent =
    std::function<void(TObject* Sender, xl::XlRef Sh, std::shared_ptr<xl::IRange> Target, bool& Cancel)>;

// The properties and server mechanics.
// The component's conversion between screen pixels and the server's points
// (by the screen's pixels per inch; pixels truncated).
double PixelsToPoints(int pixels);
int PointsToPixels(double points);

class TOfExcelBase : public TOfOfficeComponent {
 public:
  explicit TOfExcelBase(TComponent* owner);
  ~TOfExcelBase() override;
  AnsiString ClassName() const override { return "TOfExcelBase"; }

  // Every property: while connected a read asks the server (and refreshes
  // the stored value) and a write goes to the server and is stored too;
  // while disconnected the stored value.
  bool Visible();
  // While connected also turns screen updating on.
  void SetVisible(bool on);
  bool Interactive();
  void SetInteractive(bool on);
  int WindowState();
  // xlwsNormal, xlwsMinimized and xlwsMaximized reach the server; any other
  // value is only stored.
  void SetWindowState(int state);
  // Pixels; the server keeps points. Sent and read only while the window
  // state is normal.
  int ServerLeft();
  void SetServerLeft(int pixels);
  int ServerTop();
  void SetServerTop(int pixels);
  int ServerWidth();
  void SetServerWidth(int pixels);
  int ServerHeight();
  void SetServerHeight(int pixels);
  AnsiString Caption();
  void SetCaption(const AnsiString& caption);
  bool EnableAnimations();
  void SetEnableAnimations(bool on);
  bool EnableAutoComplete();
  void SetEnableAutoComplete(bool on);
  int EnableCancelKey();
  void SetEnableCancelKey(int key);
  bool LargeButtons();
  void SetLargeButtons(bool on);
  // Reaches the server only while a workbook is open there.
  AnsiString UserName();
  void SetUserName(const AnsiString& name);
  TOfExcelWorkbooks* Workbooks() const { return workbooks_.get(); }
  std::shared_ptr<xl::IApplication> Application() const { return app_; }

  AnsiString ServerVersion() override;
  void GetServerInfo(TStrings* list) override;
  AnsiString FileFilter() const override { return oftext::kExcelFilter; }
  AnsiString DefaultExt() const { return oftext::kExcelDefaultExt; }
  xl::XlRef ConnectItem(TOfNestedCollectionItem* item) override;

 protected:
  void ConnectServer() override;
  void DisconnectServer() override;
  void SynchronizeProperties() override;
  bool GetConnected() const override { return app_ != nullptr; }
  void Notification(TComponent* component, TOperation operation) override;

  std::shared_ptr<xl::IApplication> app_;

 private:
  bool NormalWindow();
  bool WorkbookOpen();

  bool visible_ = false;
  bool interactive_ = true;
  int windowState_ = xlwsNormal;
  int left_ = 0, top_ = 0, width_ = 640, height_ = 480;
  AnsiString caption_;
  bool enableAnimations_ = true;
  bool enableAutoComplete_ = true;
  int enableCancelKey_ = xlckInterrupt;
  bool largeButtons_ = false;
  AnsiString userName_;
  std::unique_ptr<TOfExcelWorkbooks> workbooks_;
};

// The published component with the application's events. Each event fires
// only when a handler is assigned; the Before events' last argument is a
// flag the handler sets to cancel.
class TOfExcel : public TOfExcelBase {
 public:
  explicit TOfExcel(TComponent* owner);
  ~TOfExcel() override;
  AnsiString ClassName() const override { return "TOfExcel"; }

  TOfWorkbookEvent OnNewWorkbook;
  TOfSheetRangeEvent OnSheetSelectionChange;
  TOfSheetRangeCancelEvent BeforeSheetDoubleClick;
  TOfSheetRangeCancelEvent BeforeSheetRightClick;
  TOfSheetEvent OnSheetActivate;
  TOfSheetEvent OnSheetDeactivate;
  TOfSheetEvent OnSheetCalculate;
  TOfSheetRangeEvent OnSheetChange;
  TOfWorkbookEvent OnWorkbookOpen;
  TOfWorkbookEvent OnWorkbookActivate;
  TOfWorkbookEvent OnWorkbookDeactivate;
  TOfWorkbookCancelEvent BeforeWorkbookClose;
  TOfWorkbookSaveEvent BeforeWorkbookSave;
  TOfWorkbookCancelEvent BeforeWorkbookPrint;
  TOfWorkbookSheetEvent OnWorkbookNewSheet;
  TOfWorkbookEvent OnWorkbookAddinInstall;
  TOfWorkbookEvent OnWorkbookAddinUninstall;
  TOfWindowEvent OnWindowResize;
  TOfWindowEvent OnWindowActivate;
  TOfWindowEvent OnWindowDeactivate;

  void DispatchEvent(xl::TGUID iid, int dispId, const std::vector<xl::OleArg>& args) override;
};
