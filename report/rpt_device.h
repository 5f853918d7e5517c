// The output devices of the report canvases: one interface for resolution,
// printable area, the printer list and job settings, document and page
// brackets, a drawing canvas and text measurement.
//
// TRptPrinterDevice stands for the printers of the printing system (one
// global instance); TRptRenderDevice always "prints" on a bitmap or a canvas
// it is given. A print job on the printer device is a PDF (print_job.h) at
// the printer's resolution whose painter origin is the printable corner.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/gui/print_job.h"
#include "platform/gui/printer_list.h"
#include "platform/rtl/streams.h"
#include "report/rpt_common.h"

// Scoped: the form layer has a poDefault of its own.
enum class TOrientation { poPortrait, poLandScape, poDefault };

struct TRptNamedCode {
  AnsiString name;
  int code;
};

class TRptBaseDevice : public TObject {
 public:
  TRptBaseDevice();
  ~TRptBaseDevice() override;
  AnsiString ClassName() const override { return "TRptBaseDevice"; }

  virtual TCanvas* Canvas() = 0;
  virtual int XDPI() { return 96; }
  virtual int YDPI() { return 96; }
  // Unprintable edges in pixels.
  virtual TRect Waste() { return TRect{}; }
  virtual const std::vector<TRptNamedCode>& Bins() { return none_; }
  virtual const std::vector<TRptNamedCode>& Papers() { return none_; }
  virtual const TStringList* Fonts() { return nullptr; }
  virtual const TStringList* PrinterNames() { return nullptr; }
  virtual TOrientation Orientation() { return orientation_; }
  virtual void SetOrientation(TOrientation o) { orientation_ = o; }
  virtual int MaxCopies() { return 1; }
  virtual void SetCopies(int n) { copies_ = n; }
  virtual int Copies() { return copies_; }
  virtual void SetDuplex(int d) { duplex_ = d; }
  virtual int Duplex() { return duplex_; }
  virtual void SetCollate(bool c) { collate_ = c; }
  virtual bool Collate() { return collate_; }
  virtual int PageHeight() { return pageHeight_; }
  virtual int PageWidth() { return pageWidth_; }
  // Width in pixels of text in font; the base device measures nothing.
  virtual int TextWidth(const TFont& font, const AnsiString& text);
  virtual void RawData(const char* data, int count);
  virtual void BeginDocPage() {}
  virtual void BeginDoc() {}
  virtual void EndDoc() {}
  virtual void AbortDoc() {}
  virtual void NewPage() {}
  virtual void NewPage(bool valid) { (void)valid; }
  virtual bool SelectBin(const AnsiString& name, bool exact);
  virtual bool SelectPaper(const AnsiString& name, bool exact);
  // Minimum and maximum custom paper extents (tenths of a millimetre).
  virtual void PaperExtents(TPoint& minimum, TPoint& maximum) { (void)minimum, (void)maximum; }
  // Paper by code, or by width and length in tenths of a millimetre.
  virtual bool SetPaper(int code, int width, int length);
  virtual bool BinOffered(int code) { (void)code; return true; }
  virtual bool PaperOffered(int code) { (void)code; return true; }
  virtual bool OrientationOffered() { return true; }
  virtual bool DuplexOffered() { return true; }
  virtual bool CollateOffered() { return true; }

  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& t) { title_ = t; }
  const AnsiString& BinName() const { return binName_; }
  const AnsiString& PaperName() const { return paperName_; }

 protected:
  void CheckPrinting() const;
  void CheckNotPrinting() const;

  int copies_ = 1;
  TOrientation orientation_ = TOrientation::poPortrait;
  int duplex_ = 0;
  bool collate_ = false;
  int pageWidth_;
  int pageHeight_;
  bool printing_ = false;
  bool aborted_ = false;
  AnsiString title_;
  AnsiString binName_;
  AnsiString paperName_;

 private:
  std::vector<TRptNamedCode> none_;
};

// One printer of the list: "device" is the printer's name; driver and port
// are empty on this platform.
struct TRptDeviceItem {
  AnsiString device;
  AnsiString driver;
  AnsiString port;
};

class TRptPrinterDevice;

// The canvas of the printer device: draws on the job's current page while
// printing; measures only, otherwise.
class TRptPrinterCanvas : public TCanvas {
 public:
  explicit TRptPrinterCanvas(TRptPrinterDevice* device);
  ~TRptPrinterCanvas() override;
  AnsiString ClassName() const override { return "TRptPrinterCanvas"; }
  // Font resolution: the device's vertical resolution.
  int FontPixelsPerInch() const { return fontPpi_; }
  void Attach(QPainter* painter, int fontPpi);

 private:
  std::unique_ptr<gui_detail::PaintDeviceTarget> target_;
  int fontPpi_ = 96;
};

enum class TRptContextMode { None, Information, Printing };

class TRptPrinterDevice : public TRptBaseDevice {
 public:
  TRptPrinterDevice();
  ~TRptPrinterDevice() override;
  AnsiString ClassName() const override { return "TRptPrinterDevice"; }

  TCanvas* Canvas() override;
  int XDPI() override;
  int YDPI() override { return XDPI(); }
  TRect Waste() override;
  const std::vector<TRptNamedCode>& Bins() override;
  const std::vector<TRptNamedCode>& Papers() override;
  const TStringList* Fonts() override;
  const TStringList* PrinterNames() override;
  TOrientation Orientation() override;
  void SetOrientation(TOrientation o) override;
  int MaxCopies() override;
  void SetCopies(int n) override;
  int Copies() override;
  void SetDuplex(int d) override;
  int Duplex() override;
  void SetCollate(bool c) override;
  bool Collate() override;
  int PageHeight() override;
  int PageWidth() override;
  int TextWidth(const TFont& font, const AnsiString& text) override;
  // A PDF job has no pass-through: raw data is refused.
  void RawData(const char* data, int count) override;
  void BeginDocPage() override;
  void BeginDoc() override;
  void EndDoc() override;
  void AbortDoc() override;
  void NewPage() override;
  void NewPage(bool valid) override;
  bool SelectBin(const AnsiString& name, bool exact) override;
  bool SelectPaper(const AnsiString& name, bool exact) override;
  void PaperExtents(TPoint& minimum, TPoint& maximum) override;
  bool SetPaper(int code, int width, int length) override;
  bool BinOffered(int code) override;
  bool PaperOffered(int code) override;
  bool OrientationOffered() override;
  bool DuplexOffered() override;
  bool CollateOffered() override;

  // -2 = not chosen yet; reading it chooses the default (-1 selects it).
  int PrinterIndex();
  void SetPrinterIndex(int index);
  // Selects the first entry matching name (see the .cpp); false if none.
  bool SelectPrinterByName(const AnsiString& name, bool exact);
  bool NoPrinters();
  AnsiString DeviceName();
  AnsiString DriverName();
  AnsiString PortName();
  // The selected printer's job settings, or nullptr.
  TRptDeviceMode* DeviceMode() { return hasMode_ ? &mode_ : nullptr; }
  bool SettingsChanged() const { return changed_; }
  bool Color();
  const AnsiString& OutputFileName() const { return outputFile_; }
  void SetOutputFileName(const AnsiString& name) { outputFile_ = name; }
  // The print setup dialog; on OK the chosen settings stay in force and
  // the chosen printer is selected. Answers whether OK was chosen.
  bool PrinterSetupDialog();
  void SetContextMode(TRptContextMode mode);
  TRptContextMode ContextMode() const { return context_; }
  // Applies changed settings to the context (forced: even unchanged).
  void ApplySettings(bool force = false);
  // The job's submitted id after EndDoc (0 for an output file).
  TPrintJob* Job() { return job_.get(); }

 private:
  void BuildList();
  void Release();
  void Fetch();
  void Mark() { changed_ = true; }
  const TPrinterPaper* CurrentPaper() const;
  TPrintPageLayout Layout();
  TPrintJobOptions JobOptions();
  void StartPage();

  int generation_ = -1;
  std::vector<TRptDeviceItem> items_;
  TStringList names_;
  int index_ = -2;
  TRptDeviceItem selected_;
  TPrinterCaps caps_;
  TRptDeviceMode mode_;
  bool hasMode_ = false;
  bool changed_ = false;
  bool keepSetupMode_ = false;
  TRptContextMode context_ = TRptContextMode::None;
  std::unique_ptr<TRptPrinterCanvas> canvas_;
  std::vector<TRptNamedCode> bins_, papers_;
  bool binsRead_ = false, papersRead_ = false;
  std::unique_ptr<TStringList> fonts_;
  AnsiString outputFile_;
  bool pageOpen_ = false;
  bool pageUsed_ = false;
  std::unique_ptr<TPrintJob> job_;
};

// Prints from creation onto its own bitmap (600 x 600 dpi, no edges) or a
// canvas handed in.
class TRptRenderDevice : public TRptBaseDevice {
 public:
  // canvas: drawn on instead of the own bitmap (not owned); nullptr = own.
  explicit TRptRenderDevice(TCanvas* canvas = nullptr);
  ~TRptRenderDevice() override;
  AnsiString ClassName() const override { return "TRptRenderDevice"; }
  TCanvas* Canvas() override;
  int XDPI() override { return 600; }
  int YDPI() override { return 600; }
  // Measured by the font manager.
  int TextWidth(const TFont& font, const AnsiString& text) override;
  // Hands in another canvas (nullptr: a new own bitmap).
  void SetCanvas(TCanvas* canvas);
  TBitmap* Bitmap() { return bitmap_.get(); }

 private:
  std::unique_ptr<TBitmap> bitmap_;
  TCanvas* canvas_ = nullptr;
};

// The global printer device, created on first use, freed at program end.
TRptBaseDevice* RptDevice();
// The global device when it really is a printer device, else nullptr.
TRptPrinterDevice* RptPrinterDevice();
// Replaces the global device (tests; nullptr frees it).
void SetRptDevice(std::unique_ptr<TRptBaseDevice> device);
