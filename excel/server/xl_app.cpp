// The in-process application object.
#include "excel/server/xl_app.h"

#include <algorithm>

#include "excel/biff/biff_reader.h"
#include "excel/server/xl_book.h"
#include "excel/server/xl_range.h"
#include "excel/server/xl_sheet.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "platform/rtl/system_info.h"

namespace xl {

namespace {

class XlBooks : public IWorkbooks {
 public:
  explicit XlBooks(std::shared_ptr<XlApp> app) : app_(std::move(app)) {}
  int Count() override { return static_cast<int>(app_->Books().size()); }
  std::shared_ptr<IWorkbook> Item(int index) override {
    if (index < 1 || index > Count()) throw EOleException("No workbook with that index");
    return app_->Books()[static_cast<std::size_t>(index - 1)];
  }
  std::shared_ptr<IWorkbook> Add(const Variant& templateName) override {
    if (!templateName.IsEmpty() && !(templateName.IsString() && templateName.StringRef().empty())) {
      throw EOleException("Workbook templates are not available");
    }
    return app_->AddBook();
  }
  std::shared_ptr<IWorkbook> Open(const AnsiString& fileName) override { return app_->OpenBook(fileName); }

 private:
  std::shared_ptr<XlApp> app_;
};

}  // namespace

std::shared_ptr<IApplication> CreateInProcessExcel() { return std::make_shared<XlApp>(); }

XlApp::XlApp() = default;

XlApp::~XlApp() {
  for (auto& book : books_) book->MarkClosed();
}

void* XlApp::QueryInterface(TGUID iid) {
  if (iid == IID__Application || iid == IID_IDispatch) return static_cast<IApplication*>(this);
  if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
  return nullptr;
}

void XlApp::SetWindowState(int state) {
  if (state != xlNormal && state != xlMinimized && state != xlMaximized) throw EOleException("No such window state");
  windowState_ = state;
}

void XlApp::SetEnableCancelKey(int key) {
  if (key < 0 || key > 2) throw EOleException("No such cancel key setting");
  enableCancelKey_ = key;
}

void XlApp::SetSheetsInNewWorkbook(int count) {
  if (count < 1 || count > 255) throw EOleException("A new workbook has 1 to 255 sheets");
  sheetsInNewWorkbook_ = count;
}

AnsiString XlApp::UserName() {
  if (userName_.empty()) userName_ = UserFullName();
  return userName_;
}

void XlApp::SetUserName(const AnsiString& name) {
  userName_ = name;
}

AnsiString XlApp::OperatingSystem() { return OperatingSystemText(); }
double XlApp::MemoryTotal() { return static_cast<double>(MemoryTotalBytes()); }
double XlApp::MemoryFree() { return static_cast<double>(MemoryFreeBytes()); }
double XlApp::MemoryUsed() { return MemoryTotal() - MemoryFree(); }

std::shared_ptr<IWorkbooks> XlApp::Workbooks() { return std::make_shared<XlBooks>(shared_from_this()); }

XlRef XlApp::Selection() {
  std::shared_ptr<XlBook> book = ActiveBook();
  if (!book) return nullptr;
  std::shared_ptr<XlSheet> sheet = book->ActiveSheet();
  const biff::SheetData& d = sheet->Data();
  return std::make_shared<XlRange>(sheet, CellRect{d.selFirstRow, d.selFirstColumn, d.selLastRow, d.selLastColumn});
}

std::shared_ptr<IWorksheet> XlApp::ActiveSheet() {
  std::shared_ptr<XlBook> book = ActiveBook();
  return book ? book->ActiveSheet() : nullptr;
}

void XlApp::Quit() {
  while (!books_.empty()) CloseBook(*books_.back(), false, true);
}

IConnectionPoint* XlApp::FindConnectionPoint(TGUID iid) {
  return iid == DIID_AppEvents ? static_cast<IConnectionPoint*>(this) : nullptr;
}

uint32_t XlApp::Advise(IEventSink* sink) {
  uint32_t cookie = nextCookie_++;
  sinks_[cookie] = sink;
  return cookie;
}

void XlApp::Unadvise(uint32_t cookie) { sinks_.erase(cookie); }

void XlApp::Fire(int dispId, std::vector<OleArg> args) {
  if (!enableEvents_ || sinks_.empty()) return;
  std::reverse(args.begin(), args.end());
  // A handler may advise or unadvise: call the sinks as they were.
  std::vector<IEventSink*> sinks;
  for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
  for (IEventSink* sink : sinks) sink->Invoke(dispId, args, {});
}

std::shared_ptr<XlBook> XlApp::OpenBook(const AnsiString& fileName) {
  AnsiString full = ExpandFileName(fileName);
  for (const auto& book : books_) {
    if (book->FullName() == full) throw EOleException("A workbook named " + ExtractFileName(full) + " is already open");
  }
  THandle h = FileOpen(fileName, fmOpenRead | fmShareDenyNone);
  if (h < 0) throw EOleException("Cannot open the workbook " + fileName);
  std::string bytes;
  int64_t size = FileSizeOf(h);
  bool ok = size >= 0 && size <= (int64_t{1} << 30);
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size));
    ok = FileReadAt(h, 0, bytes.data(), size) == size;
  }
  FileClose(h);
  if (!ok) throw EOleException("Cannot read the workbook " + fileName);
  biff::ReadWorkbookResult read;
  try {
    read = biff::ReadXlsFile(bytes);
  } catch (const biff::EBiffError& e) {
    throw EOleException(e.Message());
  }
  auto book = std::make_shared<XlBook>(*this, ExtractFileName(full));
  book->AdoptSheets(std::move(read), full);
  std::shared_ptr<XlBook> old = ActiveBook();
  books_.push_back(book);
  active_ = book;
  if (old) Fire(kWorkbookDeactivate, {OleArg{{}, old}});
  Fire(kWorkbookOpen, {OleArg{{}, book}});
  Fire(kWorkbookActivate, {OleArg{{}, book}});
  return book;
}

std::shared_ptr<XlBook> XlApp::AddBook() {
  auto book = std::make_shared<XlBook>(*this, Cz("Sešit") + std::to_string(nextBookNumber_++));
  book->AddInitialSheets(sheetsInNewWorkbook_);
  std::shared_ptr<XlBook> old = ActiveBook();
  books_.push_back(book);
  active_ = book;
  if (old) Fire(kWorkbookDeactivate, {OleArg{{}, old}});
  Fire(kNewWorkbook, {OleArg{{}, book}});
  Fire(kWorkbookActivate, {OleArg{{}, book}});
  return book;
}

void XlApp::CloseBook(XlBook& book, bool saveChanges, bool force) {
  bool cancel = false;
  std::shared_ptr<XlBook> self = book.shared_from_this();
  Fire(kWorkbookBeforeClose, {OleArg{{}, self}, OleArg{{}, nullptr, &cancel}});
  if (cancel && !force) return;
  if (saveChanges) book.Save();
  auto it = std::find(books_.begin(), books_.end(), self);
  if (it == books_.end()) return;  // a handler closed it already
  books_.erase(it);
  book.MarkClosed();
  if (active_.lock() == nullptr || active_.lock() == self) {
    active_.reset();
    if (!books_.empty()) {
      active_ = books_.back();
      Fire(kWorkbookActivate, {OleArg{{}, books_.back()}});
    }
  }
}

void XlApp::ActivateBook(XlBook& book) {
  std::shared_ptr<XlBook> self = book.shared_from_this();
  std::shared_ptr<XlBook> old = ActiveBook();
  if (old == self) return;
  active_ = self;
  if (old) Fire(kWorkbookDeactivate, {OleArg{{}, old}});
  Fire(kWorkbookActivate, {OleArg{{}, self}});
}

}  // namespace xl
