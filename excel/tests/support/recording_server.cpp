// The recording server: thin wrappers that log and forward.
#include "excel/tests/support/recording_server.h"

#include "excel/server/xl_app.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"

using namespace xl;

void CallLog::Record(const std::string& name, const std::string& args) {
  calls.push_back(name + "(" + args + ")");
  int n = ++counts[name];
  auto it = failAt.find(name);
  if (it != failAt.end() && it->second == n) throw EOleException("Injected failure of " + name);
}

std::vector<std::string> CallLog::Matching(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls) {
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  }
  return out;
}

namespace {

using Log = std::shared_ptr<CallLog>;

std::string B(bool v) { return v ? "true" : "false"; }
std::string N(double v) { return FloatToStr(v, CzechFormatSettings()); }

std::string V(const Variant& v) {
  if (v.IsArray()) {
    std::string s = "[";
    for (int i = v.ArrayLowBound(); i <= v.ArrayHighBound(); ++i) s += (i > v.ArrayLowBound() ? "," : "") + V(v.Element(i));
    return s + "]";
  }
  if (v.IsEmpty()) return "";
  return v.AsString();
}

class RecFont : public IFont {
 public:
  RecFont(std::shared_ptr<IFont> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  AnsiString Name() override { return log_->Record("Font.Name"), in_->Name(); }
  void SetName(const AnsiString& n) override { log_->Record("Font.SetName", n), in_->SetName(n); }
  double Size() override { return log_->Record("Font.Size"), in_->Size(); }
  void SetSize(double p) override { log_->Record("Font.SetSize", N(p)), in_->SetSize(p); }
  bool Bold() override { return log_->Record("Font.Bold"), in_->Bold(); }
  void SetBold(bool b) override { log_->Record("Font.SetBold", B(b)), in_->SetBold(b); }

 private:
  std::shared_ptr<IFont> in_;
  Log log_;
};

class RecRange : public IRange {
 public:
  RecRange(std::shared_ptr<IRange> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  void* QueryInterface(TGUID iid) override { return iid == IID_Range ? static_cast<IRange*>(this) : nullptr; }
  std::shared_ptr<IRange> Wrap(std::shared_ptr<IRange> r) { return std::make_shared<RecRange>(std::move(r), log_); }
  std::shared_ptr<IRange> Offset(int r, int c) override {
    log_->Record("Range.Offset", std::to_string(r) + "," + std::to_string(c));
    return Wrap(in_->Offset(r, c));
  }
  std::shared_ptr<IRange> Resize(int r, int c) override {
    log_->Record("Range.Resize", std::to_string(r) + "," + std::to_string(c));
    return Wrap(in_->Resize(r, c));
  }
  std::shared_ptr<IRange> Range(const AnsiString& a, const AnsiString& b) override {
    log_->Record("Range.Range", a + "," + b);
    return Wrap(in_->Range(a, b));
  }
  AnsiString Address(bool r, bool c) override { return log_->Record("Range.Address"), in_->Address(r, c); }
  Variant Value() override { return log_->Record("Range.Value"), in_->Value(); }
  void SetValue(const Variant& v) override {
    log_->Record("Range.SetValue", in_->Address(false, false) + "=" + V(v));
    in_->SetValue(v);
  }
  void ClearContents() override { log_->Record("Range.ClearContents", in_->Address(false, false)), in_->ClearContents(); }
  void Select() override { log_->Record("Range.Select"), in_->Select(); }
  std::shared_ptr<IRange> EntireRow() override { return log_->Record("Range.EntireRow"), Wrap(in_->EntireRow()); }
  std::shared_ptr<IRange> EntireColumn() override {
    return log_->Record("Range.EntireColumn"), Wrap(in_->EntireColumn());
  }
  int OutlineLevel() override { return log_->Record("Range.OutlineLevel"), in_->OutlineLevel(); }
  void SetOutlineLevel(int l) override {
    log_->Record("Range.SetOutlineLevel", in_->Address(false, false) + "=" + std::to_string(l));
    in_->SetOutlineLevel(l);
  }
  void AutoFit() override { log_->Record("Range.AutoFit", in_->Address(false, false)), in_->AutoFit(); }
  double ColumnWidth() override { return log_->Record("Range.ColumnWidth"), in_->ColumnWidth(); }
  void SetColumnWidth(double w) override { log_->Record("Range.SetColumnWidth", N(w)), in_->SetColumnWidth(w); }
  std::shared_ptr<IFont> Font() override {
    return log_->Record("Range.Font"), std::make_shared<RecFont>(in_->Font(), log_);
  }
  int HorizontalAlignment() override { return log_->Record("Range.HorizontalAlignment"), in_->HorizontalAlignment(); }
  void SetHorizontalAlignment(int a) override {
    log_->Record("Range.SetHorizontalAlignment", std::to_string(a)), in_->SetHorizontalAlignment(a);
  }
  int VerticalAlignment() override { return log_->Record("Range.VerticalAlignment"), in_->VerticalAlignment(); }
  void SetVerticalAlignment(int a) override {
    log_->Record("Range.SetVerticalAlignment", std::to_string(a)), in_->SetVerticalAlignment(a);
  }
  int Row() override { return in_->Row(); }
  int Column() override { return in_->Column(); }
  int RowCount() override { return in_->RowCount(); }
  int ColumnCount() override { return in_->ColumnCount(); }
  std::shared_ptr<IWorksheet> Worksheet() override;

 private:
  std::shared_ptr<IRange> in_;
  Log log_;
};

class RecOutline : public IOutline {
 public:
  RecOutline(std::shared_ptr<IOutline> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int SummaryRow() override { return log_->Record("Outline.SummaryRow"), in_->SummaryRow(); }
  void SetSummaryRow(int w) override { log_->Record("Outline.SetSummaryRow", std::to_string(w)), in_->SetSummaryRow(w); }

 private:
  std::shared_ptr<IOutline> in_;
  Log log_;
};

class RecBook;

class RecSheet : public IWorksheet {
 public:
  RecSheet(std::shared_ptr<IWorksheet> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  void* QueryInterface(TGUID iid) override { return iid == IID__Worksheet ? static_cast<IWorksheet*>(this) : nullptr; }
  AnsiString Name() override { return log_->Record("Sheet.Name"), in_->Name(); }
  void SetName(const AnsiString& n) override { log_->Record("Sheet.SetName", n), in_->SetName(n); }
  void Activate() override { log_->Record("Sheet.Activate"), in_->Activate(); }
  void Delete() override { log_->Record("Sheet.Delete", in_->Name()), in_->Delete(); }
  std::shared_ptr<IRange> Range(const AnsiString& a, const AnsiString& b) override {
    log_->Record("Sheet.Range", a + "," + b);
    return std::make_shared<RecRange>(in_->Range(a, b), log_);
  }
  std::shared_ptr<IOutline> Outline() override {
    return log_->Record("Sheet.Outline"), std::make_shared<RecOutline>(in_->Outline(), log_);
  }
  std::shared_ptr<IWorkbook> Workbook() override;
  int Index() override { return in_->Index(); }

 private:
  std::shared_ptr<IWorksheet> in_;
  Log log_;
};

std::shared_ptr<IWorksheet> RecRange::Worksheet() { return std::make_shared<RecSheet>(in_->Worksheet(), log_); }

class RecSheets : public IWorksheets {
 public:
  RecSheets(std::shared_ptr<IWorksheets> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int Count() override { return log_->Record("Sheets.Count"), in_->Count(); }
  std::shared_ptr<IWorksheet> Item(int i) override {
    log_->Record("Sheets.Item", std::to_string(i));
    return std::make_shared<RecSheet>(in_->Item(i), log_);
  }
  std::shared_ptr<IWorksheet> Add(const std::shared_ptr<IWorksheet>& after) override {
    log_->Record("Sheets.Add", after ? std::to_string(after->Index()) : "");
    // The inner server knows only its own sheets.
    std::shared_ptr<IWorksheet> inner = after ? in_->Item(after->Index()) : nullptr;
    return std::make_shared<RecSheet>(in_->Add(inner), log_);
  }

 private:
  std::shared_ptr<IWorksheets> in_;
  Log log_;
};

class RecBook : public IWorkbook {
 public:
  RecBook(std::shared_ptr<IWorkbook> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  void* QueryInterface(TGUID iid) override { return iid == IID__Workbook ? static_cast<IWorkbook*>(this) : nullptr; }
  AnsiString Name() override { return log_->Record("Book.Name"), in_->Name(); }
  AnsiString FullName() override { return log_->Record("Book.FullName"), in_->FullName(); }
  std::shared_ptr<IWorksheets> Worksheets() override {
    return log_->Record("Book.Worksheets"), std::make_shared<RecSheets>(in_->Worksheets(), log_);
  }
  void Activate() override { log_->Record("Book.Activate"), in_->Activate(); }
  void Close(bool s) override { log_->Record("Book.Close", B(s)), in_->Close(s); }
  void Save() override { log_->Record("Book.Save"), in_->Save(); }
  void SaveAs(const AnsiString& f) override { log_->Record("Book.SaveAs", f), in_->SaveAs(f); }

 private:
  std::shared_ptr<IWorkbook> in_;
  Log log_;
};

std::shared_ptr<IWorkbook> RecSheet::Workbook() { return std::make_shared<RecBook>(in_->Workbook(), log_); }

class RecBooks : public IWorkbooks {
 public:
  RecBooks(std::shared_ptr<IWorkbooks> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int Count() override { return log_->Record("Books.Count"), in_->Count(); }
  std::shared_ptr<IWorkbook> Item(int i) override {
    return log_->Record("Books.Item", std::to_string(i)), std::make_shared<RecBook>(in_->Item(i), log_);
  }
  std::shared_ptr<IWorkbook> Add(const Variant& t) override {
    return log_->Record("Books.Add", V(t)), std::make_shared<RecBook>(in_->Add(t), log_);
  }
  std::shared_ptr<IWorkbook> Open(const AnsiString& f) override {
    return log_->Record("Books.Open", f), std::make_shared<RecBook>(in_->Open(f), log_);
  }

 private:
  std::shared_ptr<IWorkbooks> in_;
  Log log_;
};

#define REC_PROP(Type, Name, Fmt)                                                   \
  Type Name() override { return log_->Record("App." #Name), in_->Name(); }          \
  void Set##Name(Type v) override { log_->Record("App.Set" #Name, Fmt(v)), in_->Set##Name(v); }

std::string I(int v) { return std::to_string(v); }

class RecApp : public IApplication {
 public:
  explicit RecApp(Log log) : in_(CreateInProcessExcel()), log_(std::move(log)) {}
  void* QueryInterface(TGUID iid) override {
    if (iid == IID_IConnectionPointContainer && !log_->offerEvents) return nullptr;
    if (iid == IID__Application) return static_cast<IApplication*>(this);
    return in_->QueryInterface(iid);
  }
  REC_PROP(bool, Visible, B)
  REC_PROP(bool, Interactive, B)
  REC_PROP(int, WindowState, I)
  REC_PROP(double, Left, N)
  REC_PROP(double, Top, N)
  REC_PROP(double, Width, N)
  REC_PROP(double, Height, N)
  AnsiString Caption() override { return log_->Record("App.Caption"), in_->Caption(); }
  void SetCaption(const AnsiString& v) override { log_->Record("App.SetCaption", v), in_->SetCaption(v); }
  REC_PROP(bool, EnableAnimations, B)
  REC_PROP(bool, EnableAutoComplete, B)
  REC_PROP(int, EnableCancelKey, I)
  REC_PROP(bool, LargeButtons, B)
  REC_PROP(bool, ScreenUpdating, B)
  REC_PROP(bool, DisplayAlerts, B)
  REC_PROP(int, SheetsInNewWorkbook, I)
  REC_PROP(bool, EnableEvents, B)
  AnsiString UserName() override { return log_->Record("App.UserName"), in_->UserName(); }
  void SetUserName(const AnsiString& v) override { log_->Record("App.SetUserName", v), in_->SetUserName(v); }
  AnsiString OrganizationName() override { return in_->OrganizationName(); }
  AnsiString OperatingSystem() override { return in_->OperatingSystem(); }
  AnsiString Version() override {
    log_->Record("App.Version");
    return log_->version.empty() ? in_->Version() : log_->version;
  }
  AnsiString Build() override { return in_->Build(); }
  double MemoryTotal() override { return in_->MemoryTotal(); }
  double MemoryFree() override { return in_->MemoryFree(); }
  double MemoryUsed() override { return in_->MemoryUsed(); }
  bool MathCoprocessorAvailable() override { return in_->MathCoprocessorAvailable(); }
  std::shared_ptr<IWorkbooks> Workbooks() override {
    return log_->Record("App.Workbooks"), std::make_shared<RecBooks>(in_->Workbooks(), log_);
  }
  XlRef Selection() override {
    log_->Record("App.Selection");
    auto r = std::dynamic_pointer_cast<IRange>(in_->Selection());
    return r ? std::make_shared<RecRange>(r, log_) : nullptr;
  }
  std::shared_ptr<IWorksheet> ActiveSheet() override {
    auto s = in_->ActiveSheet();
    return s ? std::make_shared<RecSheet>(s, log_) : nullptr;
  }
  void Quit() override { log_->Record("App.Quit"), in_->Quit(); }

 private:
  std::shared_ptr<IApplication> in_;
  Log log_;
};

}  // namespace

std::shared_ptr<IApplication> CreateRecordingExcel(std::shared_ptr<CallLog> log) {
  return std::make_shared<RecApp>(std::move(log));
}
