// Workbooks of the in-process model.
#include "excel/server/xl_book.h"

#include <algorithm>

#include "excel/biff/biff_writer.h"
#include "excel/server/xl_app.h"
#include "excel/server/xl_sheet.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/documents_folder.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"

namespace xl {

namespace {

class XlSheets : public IWorksheets {
 public:
  explicit XlSheets(std::shared_ptr<XlBook> book) : book_(std::move(book)) {}
  int Count() override {
    book_->CheckAlive();
    return static_cast<int>(book_->Sheets().size());
  }
  std::shared_ptr<IWorksheet> Item(int index) override {
    book_->CheckAlive();
    if (index < 1 || index > Count()) throw EOleException("No sheet with that index");
    return book_->Sheets()[static_cast<std::size_t>(index - 1)];
  }
  std::shared_ptr<IWorksheet> Add(const std::shared_ptr<IWorksheet>& after) override {
    book_->CheckAlive();
    std::shared_ptr<XlSheet> sheet = std::dynamic_pointer_cast<XlSheet>(after);
    if (after && (!sheet || book_->IndexOf(*sheet) < 0)) throw EOleException("The sheet to add after is not in this workbook");
    return book_->AddSheet(sheet);
  }

 private:
  std::shared_ptr<XlBook> book_;
};

}  // namespace

XlBook::XlBook(XlApp& app, const AnsiString& name) : app_(app), name_(name) {}

void* XlBook::QueryInterface(TGUID iid) { return iid == IID__Workbook ? static_cast<IWorkbook*>(this) : nullptr; }

void XlBook::CheckAlive() const {
  if (closed_) throw EOleException("The workbook has been closed");
}

AnsiString XlBook::Name() {
  CheckAlive();
  return name_;
}

AnsiString XlBook::FullName() {
  CheckAlive();
  return fullName_.empty() ? name_ : fullName_;
}

std::shared_ptr<IWorksheets> XlBook::Worksheets() {
  CheckAlive();
  return std::make_shared<XlSheets>(shared_from_this());
}

void XlBook::Activate() {
  CheckAlive();
  app_.ActivateBook(*this);
}

void XlBook::Close(bool saveChanges) {
  CheckAlive();
  app_.CloseBook(*this, saveChanges, false);
}

AnsiString XlBook::NewSheetName() {
  for (;;) {
    AnsiString name = "List" + std::to_string(nextSheetNumber_++);
    bool taken = std::any_of(sheets_.begin(), sheets_.end(), [&](const auto& s) {
      return AnsiUpperCase(s->Data().name) == AnsiUpperCase(name);
    });
    if (!taken) return name;
  }
}

void XlBook::AddInitialSheets(int count) {
  for (int i = 0; i < count; ++i) sheets_.push_back(std::make_shared<XlSheet>(weak_from_this(), NewSheetName()));
  active_ = 0;
}

std::shared_ptr<XlSheet> XlBook::AddSheet(const std::shared_ptr<XlSheet>& after) {
  CheckAlive();
  int at = after ? IndexOf(*after) + 1 : active_;
  auto sheet = std::make_shared<XlSheet>(weak_from_this(), NewSheetName());
  std::shared_ptr<XlSheet> old = ActiveSheet();
  sheets_.insert(sheets_.begin() + at, sheet);
  active_ = at;
  app_.Fire(kSheetDeactivate, {OleArg{{}, old}});
  app_.Fire(kWorkbookNewSheet, {OleArg{{}, shared_from_this()}, OleArg{{}, sheet}});
  app_.Fire(kSheetActivate, {OleArg{{}, sheet}});
  return sheet;
}

void XlBook::DeleteSheet(XlSheet& sheet) {
  CheckAlive();
  int at = IndexOf(sheet);
  if (at < 0) throw EOleException("The sheet has been deleted");
  if (sheets_.size() == 1) throw EOleException("A workbook must contain at least one sheet");
  std::shared_ptr<XlSheet> keep = sheets_[static_cast<std::size_t>(at)];
  sheets_.erase(sheets_.begin() + at);
  keep->MarkDeleted();
  if (active_ > at || active_ >= static_cast<int>(sheets_.size())) active_ = std::max(0, active_ - 1);
}

void XlBook::ActivateSheet(XlSheet& sheet) {
  CheckAlive();
  int at = IndexOf(sheet);
  if (at < 0) throw EOleException("The sheet has been deleted");
  if (app_.ActiveBook().get() != this) app_.ActivateBook(*this);
  if (at == active_) return;
  std::shared_ptr<XlSheet> old = ActiveSheet();
  active_ = at;
  app_.Fire(kSheetDeactivate, {OleArg{{}, old}});
  app_.Fire(kSheetActivate, {OleArg{{}, sheets_[static_cast<std::size_t>(at)]}});
}

std::shared_ptr<XlSheet> XlBook::ActiveSheet() const {
  if (sheets_.empty()) return nullptr;
  return sheets_[static_cast<std::size_t>(active_)];
}

int XlBook::IndexOf(const XlSheet& sheet) const {
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (sheets_[i].get() == &sheet) return static_cast<int>(i);
  }
  return -1;
}

void XlBook::MarkClosed() {
  closed_ = true;
  for (auto& sheet : sheets_) sheet->MarkDeleted();
}

std::string XlBook::FileBytes() const {
  biff::WorkbookData data;
  for (const auto& sheet : sheets_) data.sheets.push_back(&sheet->Data());
  data.activeSheet = active_;
  return biff::BuildXlsFile(data);
}

void XlBook::AdoptSheets(biff::ReadWorkbookResult&& read, const AnsiString& fullName) {
  for (auto& data : read.sheets) {
    auto sheet = std::make_shared<XlSheet>(weak_from_this(), data.name);
    sheet->Data() = std::move(data);
    sheets_.push_back(std::move(sheet));
  }
  active_ = std::clamp(read.activeSheet, 0, static_cast<int>(sheets_.size()) - 1);
  fullName_ = fullName;
  notKept_ = std::move(read.notKept);
  if (!notKept_.empty()) lossySource_ = fullName;
}

void XlBook::WriteFile(const AnsiString& fileName) {
  // Writing back less than was read would lose the rest for good (the
  // same file under another spelling included).
  auto samePlace = [&] {
    if (ExpandFileName(fileName) == lossySource_) return true;
    std::optional<std::string> a = ExistingDiskPath(fileName), b = ExistingDiskPath(lossySource_);
    return a && b && *a == *b;
  };
  if (!lossySource_.empty() && samePlace()) {
    throw EOleException("This workbook holds content that would be lost; save it under another name.");
  }
  bool cancel = false;
  app_.Fire(kWorkbookBeforeSave, {OleArg{{}, shared_from_this()}, OleArg{Variant(false), nullptr}, OleArg{{}, nullptr, &cancel}});
  if (cancel) throw EOleException("Saving was cancelled");
  std::string bytes;
  try {
    bytes = FileBytes();
  } catch (const biff::EBiffError& e) {
    throw EOleException(e.Message());
  }
  if (!WriteFileAtomically(fileName, bytes)) throw EOleException("Cannot save the workbook as " + fileName);
  fullName_ = ExpandFileName(fileName);
  AnsiString base = ExtractFileName(fullName_);
  name_ = base;
}

void XlBook::Save() {
  CheckAlive();
  WriteFile(fullName_.empty() ? DocumentsFolder() + name_ + ".xls" : fullName_);
}

void XlBook::SaveAs(const AnsiString& fileName) {
  CheckAlive();
  if (fileName.empty()) throw EOleException("A file name is needed to save the workbook");
  WriteFile(fileName);
}

}  // namespace xl
