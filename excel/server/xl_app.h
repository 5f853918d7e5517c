// The in-process spreadsheet server: the application object with its
// stored window properties, its workbooks and its event connection point.
// There is no window: Visible, sizes, Caption and the like are only kept.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "excel/server/xl_server.h"

namespace xl {

class XlBook;

// A new application object (what starting the spreadsheet program is).
std::shared_ptr<IApplication> CreateInProcessExcel();

class XlApp : public IApplication,
              public IConnectionPointContainer,
              public IConnectionPoint,
              public std::enable_shared_from_this<XlApp> {
 public:
  XlApp();
  ~XlApp() override;
  void* QueryInterface(TGUID iid) override;

  bool Visible() override { return visible_; }
  void SetVisible(bool on) override { visible_ = on; }
  bool Interactive() override { return interactive_; }
  void SetInteractive(bool on) override { interactive_ = on; }
  int WindowState() override { return windowState_; }
  void SetWindowState(int state) override;
  double Left() override { return left_; }
  void SetLeft(double points) override { left_ = points; }
  double Top() override { return top_; }
  void SetTop(double points) override { top_ = points; }
  double Width() override { return width_; }
  void SetWidth(double points) override { width_ = points; }
  double Height() override { return height_; }
  void SetHeight(double points) override { height_ = points; }
  AnsiString Caption() override { return caption_; }
  void SetCaption(const AnsiString& caption) override { caption_ = caption; }
  bool EnableAnimations() override { return enableAnimations_; }
  void SetEnableAnimations(bool on) override { enableAnimations_ = on; }
  bool EnableAutoComplete() override { return enableAutoComplete_; }
  void SetEnableAutoComplete(bool on) override { enableAutoComplete_ = on; }
  int EnableCancelKey() override { return enableCancelKey_; }
  void SetEnableCancelKey(int key) override;
  bool LargeButtons() override { return largeButtons_; }
  void SetLargeButtons(bool on) override { largeButtons_ = on; }
  bool ScreenUpdating() override { return screenUpdating_; }
  void SetScreenUpdating(bool on) override { screenUpdating_ = on; }
  bool DisplayAlerts() override { return displayAlerts_; }
  void SetDisplayAlerts(bool on) override { displayAlerts_ = on; }
  int SheetsInNewWorkbook() override { return sheetsInNewWorkbook_; }
  void SetSheetsInNewWorkbook(int count) override;
  bool EnableEvents() override { return enableEvents_; }
  void SetEnableEvents(bool on) override { enableEvents_ = on; }
  AnsiString UserName() override;
  void SetUserName(const AnsiString& name) override;
  AnsiString OrganizationName() override { return {}; }
  AnsiString OperatingSystem() override;
  AnsiString Version() override { return "8.0"; }
  AnsiString Build() override { return "1"; }
  double MemoryTotal() override;
  double MemoryFree() override;
  double MemoryUsed() override;
  bool MathCoprocessorAvailable() override { return true; }
  std::shared_ptr<IWorkbooks> Workbooks() override;
  XlRef Selection() override;
  std::shared_ptr<IWorksheet> ActiveSheet() override;
  void Quit() override;

  IConnectionPoint* FindConnectionPoint(TGUID iid) override;
  uint32_t Advise(IEventSink* sink) override;
  void Unadvise(uint32_t cookie) override;

  // Calls every advised sink with the arguments (given in declaration
  // order) while EnableEvents is on.
  void Fire(int dispId, std::vector<OleArg> args);

  // Workbooks.
  std::shared_ptr<XlBook> AddBook();
  // Reads an .xls file into a new workbook (WorkbookOpen fires);
  // EOleException when it cannot be read or is open already.
  std::shared_ptr<XlBook> OpenBook(const AnsiString& fileName);
  // Closes a workbook; a BeforeClose handler may refuse unless forced.
  void CloseBook(XlBook& book, bool saveChanges, bool force);
  void ActivateBook(XlBook& book);
  const std::vector<std::shared_ptr<XlBook>>& Books() const { return books_; }
  std::shared_ptr<XlBook> ActiveBook() const { return active_.lock(); }
  bool HasOpenBook() const { return !books_.empty(); }

 private:
  bool visible_ = false;
  bool interactive_ = true;
  int windowState_ = xlNormal;
  double left_ = 0, top_ = 0, width_ = 480, height_ = 360;
  AnsiString caption_ = "Microsoft Excel";
  bool enableAnimations_ = true;
  bool enableAutoComplete_ = true;
  int enableCancelKey_ = 1;
  bool largeButtons_ = false;
  bool screenUpdating_ = true;
  bool displayAlerts_ = true;
  int sheetsInNewWorkbook_ = 3;
  bool enableEvents_ = true;
  AnsiString userName_;
  std::vector<std::shared_ptr<XlBook>> books_;
  std::weak_ptr<XlBook> active_;
  int nextBookNumber_ = 1;
  std::map<uint32_t, IEventSink*> sinks_;
  uint32_t nextCookie_ = 1;
};

}  // namespace xl
