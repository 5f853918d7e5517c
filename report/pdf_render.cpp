#include "report/pdf_render.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/paths.h"
#include "report/jpeg_writer.h"
#include "report/render_files.h"

TRptRenderPDF::TRptRenderPDF(TComponent* owner) : TRptRenderStream(owner) {
  SetDisplayName("Adobe Acrobat (PDF)");
  FileExtension = "*.pdf";
}

TRptRenderPDF::~TRptRenderPDF() = default;

void TRptRenderPDF::SetImageQuality(int quality) { imageQuality_ = std::clamp(quality, 1, 100); }

const TPen& TRptRenderPDF::Pen() const {
  static const TPen none;
  return Converter ? Converter->Pen() : none;
}

const TBrush& TRptRenderPDF::Brush() const {
  static const TBrush none;
  return Converter ? Converter->Brush() : none;
}

int TRptRenderPDF::ProcSetNumber() const { return 2 * static_cast<int>(pages_.size()) + 4; }

void TRptRenderPDF::RenderFile(TStream* stream, const AnsiString& fileName) {
  AnsiString name = fileName;
  if (ExtractFileExt(name).empty()) name += DefaultExtension(FileExtension);
  CheckedPageCount(stream);
  OpenOutputFile(name);
  try {
    TRptConverter converter(stream, this);
    converter.Generate(0, 0);
  } catch (...) {
    CloseOutputFile();
    throw;
  }
  CloseOutputFile();
}

void TRptRenderPDF::RenderToStream(TStream* stream, TStream* output) {
  CheckedPageCount(stream);
  TStream* saved = OutputStream;
  OutputStream = output;
  try {
    TRptConverter converter(stream, this);
    converter.Generate(0, 0);
  } catch (...) {
    OutputStream = saved;
    throw;
  }
  OutputStream = saved;
}

void TRptRenderPDF::Clear() {
  owned_.clear();
  pages_.clear();
  images_.clear();
  fonts_.clear();
  catalog_ = nullptr;
  outlines_ = nullptr;
  pagesObject_ = nullptr;
  procSet_ = nullptr;
}

void TRptRenderPDF::DocBegin() {
  Clear();
  auto add = [this](auto object) {
    auto* raw = object.get();
    owned_.push_back(std::move(object));
    return raw;
  };
  catalog_ = add(std::make_unique<TRptPDFCatalog>(this));
  pagesObject_ = add(std::make_unique<TRptPDFPages>(this));
  TRptPDFPage* first = add(std::make_unique<TRptPDFPage>(this, nullptr));
  first->Name = "P1";
  pages_.push_back(first);
  outlines_ = add(std::make_unique<TRptPDFOutlines>(this));
  procSet_ = add(std::make_unique<TRptPDFProcSet>(this));
  for (int i = 0; i < kPdfFontCount; ++i) fonts_.push_back(add(std::make_unique<TRptPDFFont>(this, i)));
  font_ = 10;  // Times-Italic
  fontSize_ = 12;
  underline_ = strikeOut_ = false;
  rotation_ = 0;
  fontColor_ = clBlack;
  firstPage_ = true;
}

void TRptRenderPDF::PageBegin() {
  if (firstPage_) {
    firstPage_ = false;
  } else {
    auto page = std::make_unique<TRptPDFPage>(this, pages_.back());
    page->Name = "P" + IntToStr(static_cast<int>(pages_.size()) + 1);
    pages_.push_back(page.get());
    owned_.push_back(std::move(page));
  }
  TRptPDFPage* page = pages_.back();
  if (PageWidth > 0 && PageHeight > 0) {
    page->Width = PageWidth;
    page->Height = PageHeight;
  }
}

void TRptRenderPDF::PageEnd() {}

void TRptRenderPDF::DocEnd() {
  if (!catalog_) return;
  TPdfText doc;
  Assemble(doc);
  Clear();
  if (OutputStream) OutputStream->WriteBuffer(doc.Bytes.data(), static_cast<int64_t>(doc.Bytes.size()));
}

void TRptRenderPDF::Assemble(TPdfText& doc) {
  int n = static_cast<int>(pages_.size());
  std::vector<TRptPDFObject*> order = {catalog_, outlines_, pagesObject_};
  for (TRptPDFPage* page : pages_) {
    order.push_back(page);
    order.push_back(&page->Content);
  }
  order.push_back(procSet_);
  for (TRptPDFFont* f : fonts_) order.push_back(f);
  for (TRptPDFXObject* g : images_) order.push_back(g);
  for (std::size_t k = 0; k < order.size(); ++k) order[k]->Number = static_cast<int>(k) + 1;
  (void)n;

  doc.PrintLn("%PDF-1.3");
  doc.PrintLn("%\xE2\xE3\xCF\xD3");
  doc.PrintLn();
  std::vector<std::size_t> offsets;
  for (TRptPDFObject* object : order) {
    offsets.push_back(doc.Bytes.size());
    object->WriteObject(doc);
  }
  std::size_t xref = doc.Bytes.size();
  int size = static_cast<int>(order.size()) + 1;
  doc.PrintLn("xref");
  doc.PrintLnF("0 %d", size);
  doc.PrintLn("0000000000 65535 f");
  for (std::size_t offset : offsets) {
    AnsiString digits = IntToStr(static_cast<int64_t>(offset));
    doc.PrintLnF("%s 00000 n", AnsiString(digits.size() < 10 ? 10 - digits.size() : 0, '0') + digits);
  }
  doc.PrintLn();
  doc.PrintLn("trailer");
  doc.PrintLn("<<");
  doc.PrintLnF("/Size %d", size);
  doc.PrintLnF("/Root %d 0 R", catalog_->Number);
  doc.PrintLn(">>");
  doc.PrintLn();
  doc.PrintLn("startxref");
  doc.PrintLn(IntToStr(static_cast<int64_t>(xref)));
  doc.PrintLn("%%EOF");
}

std::string TRptRenderPDF::CompressContent(const std::string& operators, AnsiString& filter) {
  filter.clear();
  if (!UseCompression || !OnCompress) return {};
  TMemoryStream source, dest;
  source.WriteBuffer(operators.data(), static_cast<int64_t>(operators.size()));
  source.SetPosition(0);
  filter = "FlateDecode";
  OnCompress(&source, &dest, filter);
  if (filter.empty()) filter = "FlateDecode";
  return std::string(static_cast<const char*>(dest.Memory()), static_cast<std::size_t>(dest.Size()));
}

TRptPDFPage* TRptRenderPDF::Page() {
  if (!catalog_) DocBegin();  // drawing outside a conversion still has a page
  return pages_.back();
}

void TRptRenderPDF::FontChanged() {
  if (!Converter) return;
  const TFont& f = Converter->Font();
  TFontStyles style = f.Style();
  font_ = PdfFontIndex(f.Name(), style.Contains(fsBold), style.Contains(fsItalic));
  underline_ = style.Contains(fsUnderline);
  strikeOut_ = style.Contains(fsStrikeOut);
  fontSize_ = Converter->FontPoints();
  fontColor_ = f.Color();
  rotation_ = Converter->Rotation();
}

void TRptRenderPDF::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Page()->Arc(0, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TRptRenderPDF::Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Page()->Arc(1, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TRptRenderPDF::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Page()->Arc(2, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TRptRenderPDF::Ellipse(double x1, double y1, double x2, double y2) { Page()->Ellipse(x1, y1, x2, y2); }
void TRptRenderPDF::MoveTo(double x, double y) { Page()->MoveTo(x, y); }
void TRptRenderPDF::LineTo(double x, double y) { Page()->LineTo(x, y); }
void TRptRenderPDF::Polyline(const std::vector<TPoint>& points, int last) { Page()->Poly(points, last, false); }
void TRptRenderPDF::Polygon(const std::vector<TPoint>& points, int last) { Page()->Poly(points, last, true); }
void TRptRenderPDF::Rectangle(double x1, double y1, double x2, double y2) {
  Page()->Rectangle(x1, y1, x2, y2, false);
}
void TRptRenderPDF::FillRect(const TRect& r) {
  Page()->Rectangle(r.Left / 72.0, r.Top / 72.0, r.Right / 72.0, r.Bottom / 72.0, true);
}
void TRptRenderPDF::RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) {
  Page()->RoundRect(x1, y1, x2, y2, cornerW, cornerH);
}

void TRptRenderPDF::TextAt(const AnsiString& text, double x, double y, double back) {
  double a = rotation_ * 3.14159265358979323846 / 180;
  Page()->Text(text, x - back * std::cos(a), y + back * std::sin(a));
}

void TRptRenderPDF::TextLeftAt(const AnsiString& text, double x, double y) { TextAt(text, x, y, 0); }
void TRptRenderPDF::TextCenterAt(const AnsiString& text, double x, double y) {
  TextAt(text, x, y, PdfTextWidth(font_, text, fontSize_) / 2);
}
void TRptRenderPDF::TextRightAt(const AnsiString& text, double x, double y) {
  TextAt(text, x, y, PdfTextWidth(font_, text, fontSize_));
}
void TRptRenderPDF::TextBlockAt(const AnsiString& text, double x, double, double y) { TextAt(text, x, y, 0); }
void TRptRenderPDF::TextRect(const TRect& r, const AnsiString& text, double x, double y) {
  Page()->TextRect(r.Left / 72.0, r.Top / 72.0, r.Right / 72.0, r.Bottom / 72.0, text, x, y);
}

void TRptRenderPDF::AddImage(const TBitmap& bitmap, double x1, double y1, double x2, double y2) {
  if (bitmap.Empty()) return;
  auto image = std::make_unique<TRptPDFXObject>(this);
  image->Name = "G" + IntToStr(static_cast<int>(images_.size()) + 1);
  image->Width = bitmap.Width();
  image->Height = bitmap.Height();
  image->Jpeg = EncodeJpeg(bitmap, imageQuality_);
  TRptPDFPage* page = Page();
  images_.push_back(image.get());
  owned_.push_back(std::move(image));
  page->Image(images_.back()->Name, x1, y1, x2, y2);
}

void TRptRenderPDF::PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2) {
  if (bitmap) AddImage(*bitmap, x1, y1, x2, y2);
}

void TRptRenderPDF::PrintBitmap(TBitmap* bitmap, double x, double y, double scaleX, double scaleY) {
  if (!bitmap) return;
  // Scales come from the stream: kept finite so every number stays one.
  scaleX = std::clamp(scaleX, -1000.0, 1000.0);
  scaleY = std::clamp(scaleY, -1000.0, 1000.0);
  AddImage(*bitmap, x, y, x + bitmap->Width() / 72.0 * scaleX, y + bitmap->Height() / 72.0 * scaleY);
}

void TRptRenderPDF::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic) return;
  double w = std::abs(rect.Right - rect.Left) / 72.0, h = std::abs(rect.Bottom - rect.Top) / 72.0;
  auto bitmap = DrawnBitmap(graphic, w * MetafileDPI, h * MetafileDPI);
  AddImage(*bitmap, rect.Left / 72.0, rect.Top / 72.0, rect.Right / 72.0, rect.Bottom / 72.0);
}

void TRptRenderPDF::Draw(TGraphic* graphic, double x, double y) {
  if (!graphic || graphic->Empty()) return;
  auto bitmap = DrawnBitmap(graphic, graphic->Width(), graphic->Height());
  AddImage(*bitmap, x, y, x + graphic->Width() / 72.0, y + graphic->Height() / 72.0);
}

void TRptRenderPDF::PrintImageRect(TStream* image, const AnsiString& extension, double x1, double y1, double x2,
                                   double y2) {
  if (!OnDecodeImage || !image) return;
  TBitmap bitmap;
  OnDecodeImage(this, image, extension, &bitmap);
  AddImage(bitmap, x1, y1, x2, y2);
}
