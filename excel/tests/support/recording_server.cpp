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
  bool Italic() override { return log_->Record("Font.Italic"), in_->Italic(); }
  void SetItalic(bool b) override { log_->Record("Font.SetItalic", B(b)), in_->SetItalic(b); }
  bool Underline() override { return log_->Record("Font.Underline"), in_->Underline(); }
  void SetUnderline(bool b) override { log_->Record("Font.SetUnderline", B(b)), in_->SetUnderline(b); }
  bool Strikethrough() override { return log_->Record("Font.Strikethrough"), in_->Strikethrough(); }
  void SetStrikethrough(bool b) override { log_->Record("Font.SetStrikethrough", B(b)), in_->SetStrikethrough(b); }
  int32_t Color() override { return log_->Record("Font.Color"), in_->Color(); }
  void SetColor(int32_t c) override { log_->Record("Font.SetColor", std::to_string(c)), in_->SetColor(c); }

 private:
  std::shared_ptr<IFont> in_;
  Log log_;
};

class RecInterior : public IInterior {
 public:
  RecInterior(std::shared_ptr<IInterior> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int32_t Color() override { return log_->Record("Interior.Color"), in_->Color(); }
  void SetColor(int32_t c) override { log_->Record("Interior.SetColor", std::to_string(c)), in_->SetColor(c); }
  int Pattern() override { return log_->Record("Interior.Pattern"), in_->Pattern(); }
  void SetPattern(int p) override { log_->Record("Interior.SetPattern", std::to_string(p)), in_->SetPattern(p); }
  int32_t PatternColor() override { return log_->Record("Interior.PatternColor"), in_->PatternColor(); }
  void SetPatternColor(int32_t c) override {
    log_->Record("Interior.SetPatternColor", std::to_string(c)), in_->SetPatternColor(c);
  }

 private:
  std::shared_ptr<IInterior> in_;
  Log log_;
};

class RecBorder : public IBorder {
 public:
  RecBorder(std::shared_ptr<IBorder> in, Log log, int edge) : in_(std::move(in)), log_(std::move(log)), edge_(edge) {}
  int LineStyle() override { return log_->Record("Border.LineStyle", E()), in_->LineStyle(); }
  void SetLineStyle(int s) override {
    log_->Record("Border.SetLineStyle", E() + "=" + std::to_string(s)), in_->SetLineStyle(s);
  }
  int Weight() override { return log_->Record("Border.Weight", E()), in_->Weight(); }
  void SetWeight(int w) override { log_->Record("Border.SetWeight", E() + "=" + std::to_string(w)), in_->SetWeight(w); }

 private:
  std::string E() const { return std::to_string(edge_); }
  std::shared_ptr<IBorder> in_;
  Log log_;
  int edge_;
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
  double RowHeight() override { return log_->Record("Range.RowHeight"), in_->RowHeight(); }
  void SetRowHeight(double h) override { log_->Record("Range.SetRowHeight", N(h)), in_->SetRowHeight(h); }
  std::shared_ptr<IInterior> Interior() override {
    return log_->Record("Range.Interior"), std::make_shared<RecInterior>(in_->Interior(), log_);
  }
  std::shared_ptr<IBorder> Borders(int edge) override {
    log_->Record("Range.Borders", std::to_string(edge));
    return std::make_shared<RecBorder>(in_->Borders(edge), log_, edge);
  }
  int Orientation() override { return log_->Record("Range.Orientation"), in_->Orientation(); }
  void SetOrientation(int o) override { log_->Record("Range.SetOrientation", std::to_string(o)), in_->SetOrientation(o); }
  int IndentLevel() override { return log_->Record("Range.IndentLevel"), in_->IndentLevel(); }
  void SetIndentLevel(int l) override { log_->Record("Range.SetIndentLevel", std::to_string(l)), in_->SetIndentLevel(l); }
  bool WrapText() override { return log_->Record("Range.WrapText"), in_->WrapText(); }
  void SetWrapText(bool b) override { log_->Record("Range.SetWrapText", B(b)), in_->SetWrapText(b); }
  bool ShrinkToFit() override { return log_->Record("Range.ShrinkToFit"), in_->ShrinkToFit(); }
  void SetShrinkToFit(bool b) override { log_->Record("Range.SetShrinkToFit", B(b)), in_->SetShrinkToFit(b); }
  int Row() override { return in_->Row(); }
  int Column() override { return in_->Column(); }
  int RowCount() override { return in_->RowCount(); }
  int ColumnCount() override { return in_->ColumnCount(); }
  std::shared_ptr<IWorksheet> Worksheet() override;
  const std::shared_ptr<IRange>& Inner() const { return in_; }

 private:
  std::shared_ptr<IRange> in_;
  Log log_;
};

// The server's own range behind a recording one.
std::shared_ptr<IRange> Unwrapped(const std::shared_ptr<IRange>& r) {
  auto* rec = dynamic_cast<RecRange*>(r.get());
  return rec ? rec->Inner() : r;
}

class RecHyperlink : public IHyperlink {
 public:
  RecHyperlink(std::shared_ptr<IHyperlink> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  AnsiString Address() override { return log_->Record("Hyperlink.Address"), in_->Address(); }
  void SetAddress(const AnsiString& a) override { log_->Record("Hyperlink.SetAddress", a), in_->SetAddress(a); }
  AnsiString SubAddress() override { return log_->Record("Hyperlink.SubAddress"), in_->SubAddress(); }
  void SetSubAddress(const AnsiString& a) override { log_->Record("Hyperlink.SetSubAddress", a), in_->SetSubAddress(a); }
  std::shared_ptr<IRange> Range() override {
    return log_->Record("Hyperlink.Range"), std::make_shared<RecRange>(in_->Range(), log_);
  }
  int Type() override { return log_->Record("Hyperlink.Type"), in_->Type(); }
  void Delete() override { log_->Record("Hyperlink.Delete"), in_->Delete(); }
  void Follow(bool w) override { log_->Record("Hyperlink.Follow", B(w)), in_->Follow(w); }

 private:
  std::shared_ptr<IHyperlink> in_;
  Log log_;
};

class RecHyperlinks : public IHyperlinks {
 public:
  RecHyperlinks(std::shared_ptr<IHyperlinks> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int Count() override { return log_->Record("Hyperlinks.Count"), in_->Count(); }
  std::shared_ptr<IHyperlink> Item(int i) override {
    log_->Record("Hyperlinks.Item", std::to_string(i));
    return std::make_shared<RecHyperlink>(in_->Item(i), log_);
  }
  std::shared_ptr<IHyperlink> Add(const std::shared_ptr<IRange>& anchor, const AnsiString& a, const AnsiString& s) override {
    std::shared_ptr<IRange> own = Unwrapped(anchor);
    log_->Record("Hyperlinks.Add", (own ? own->Address(false, false) : std::string("null")) + "," + a + "," + s);
    return std::make_shared<RecHyperlink>(in_->Add(own, a, s), log_);
  }

 private:
  std::shared_ptr<IHyperlinks> in_;
  Log log_;
};

class RecChart : public IChart {
 public:
  RecChart(std::shared_ptr<IChart> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int ChartType() override { return log_->Record("Chart.ChartType"), in_->ChartType(); }
  void SetChartType(int t) override { log_->Record("Chart.SetChartType", std::to_string(t)), in_->SetChartType(t); }
  void ChartWizard(const std::shared_ptr<IRange>& source, int cat, int ser, int legend) override {
    std::shared_ptr<IRange> own = Unwrapped(source);
    log_->Record("Chart.ChartWizard", (own ? own->Address(false, false) : std::string("null")) + "," +
                                          std::to_string(cat) + "," + std::to_string(ser) + "," + std::to_string(legend));
    in_->ChartWizard(own, cat, ser, legend);
  }

 private:
  std::shared_ptr<IChart> in_;
  Log log_;
};

class RecChartObject : public IChartObject {
 public:
  RecChartObject(std::shared_ptr<IChartObject> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  double Left() override { return log_->Record("ChartObject.Left"), in_->Left(); }
  void SetLeft(double p) override { log_->Record("ChartObject.SetLeft", N(p)), in_->SetLeft(p); }
  double Top() override { return log_->Record("ChartObject.Top"), in_->Top(); }
  void SetTop(double p) override { log_->Record("ChartObject.SetTop", N(p)), in_->SetTop(p); }
  double Width() override { return log_->Record("ChartObject.Width"), in_->Width(); }
  void SetWidth(double p) override { log_->Record("ChartObject.SetWidth", N(p)), in_->SetWidth(p); }
  double Height() override { return log_->Record("ChartObject.Height"), in_->Height(); }
  void SetHeight(double p) override { log_->Record("ChartObject.SetHeight", N(p)), in_->SetHeight(p); }
  std::shared_ptr<IChart> Chart() override {
    return log_->Record("ChartObject.Chart"), std::make_shared<RecChart>(in_->Chart(), log_);
  }
  void Activate() override { log_->Record("ChartObject.Activate"), in_->Activate(); }
  void Delete() override { log_->Record("ChartObject.Delete"), in_->Delete(); }

 private:
  std::shared_ptr<IChartObject> in_;
  Log log_;
};

class RecChartObjects : public IChartObjects {
 public:
  RecChartObjects(std::shared_ptr<IChartObjects> in, Log log) : in_(std::move(in)), log_(std::move(log)) {}
  int Count() override { return log_->Record("ChartObjects.Count"), in_->Count(); }
  std::shared_ptr<IChartObject> Item(int i) override {
    log_->Record("ChartObjects.Item", std::to_string(i));
    return std::make_shared<RecChartObject>(in_->Item(i), log_);
  }
  std::shared_ptr<IChartObject> Add(double l, double t, double w, double h) override {
    log_->Record("ChartObjects.Add", N(l) + "," + N(t) + "," + N(w) + "," + N(h));
    return std::make_shared<RecChartObject>(in_->Add(l, t, w, h), log_);
  }

 private:
  std::shared_ptr<IChartObjects> in_;
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
  std::shared_ptr<IHyperlinks> Hyperlinks() override {
    return log_->Record("Sheet.Hyperlinks"), std::make_shared<RecHyperlinks>(in_->Hyperlinks(), log_);
  }
  std::shared_ptr<IChartObjects> ChartObjects() override {
    return log_->Record("Sheet.ChartObjects"), std::make_shared<RecChartObjects>(in_->ChartObjects(), log_);
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
