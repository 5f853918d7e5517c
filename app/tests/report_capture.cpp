#include "app/tests/report_capture.h"

#include <cmath>
#include <fstream>
#include <iterator>

#include "platform/rtl/streams.h"
#include "report/rpt_render.h"

namespace {

constexpr double kCmPerInch = 2.54;

class CaptureRenderer : public TRptRender {
 public:
  explicit CaptureRenderer(ReportCapture& out) : out_(out) {}

  void TextLeftAt(const AnsiString& t, double x, double y) override { Text(t, x, y, 'L'); }
  void TextRightAt(const AnsiString& t, double x, double y) override { Text(t, x, y, 'R'); }
  void TextCenterAt(const AnsiString& t, double x, double y) override { Text(t, x, y, 'C'); }
  void TextBlockAt(const AnsiString& t, double x, double w, double y) override {
    Text(t, x, y, 'B');
    out_.texts.back().width = w * kCmPerInch;
  }
  void MoveTo(double x, double y) override { x_ = x, y_ = y; }
  void LineTo(double x, double y) override {
    out_.lines.push_back({x_ * kCmPerInch, y_ * kCmPerInch, x * kCmPerInch, y * kCmPerInch, page_});
    x_ = x, y_ = y;
  }
  void PageBegin() override {
    ++page_;
    out_.pages = page_;
  }

 private:
  void Text(const AnsiString& t, double x, double y, char justify) {
    CapturedText c;
    c.text = t;
    c.x = x * kCmPerInch;
    c.y = y * kCmPerInch;
    c.justify = justify;
    if (Converter) {
      c.font = Converter->Font().Name();
      c.size = Converter->FontPoints();
      c.charset = Converter->Font().Charset();
    }
    c.page = page_;
    out_.texts.push_back(c);
  }

  ReportCapture& out_;
  double x_ = 0, y_ = 0;
  int page_ = 0;
};

}  // namespace

std::vector<AnsiString> ReportCapture::Texts() const {
  std::vector<AnsiString> out;
  for (const CapturedText& t : texts) out.push_back(t.text);
  return out;
}

const CapturedText* ReportCapture::Find(const AnsiString& text) const {
  for (const CapturedText& t : texts)
    if (t.text == text) return &t;
  return nullptr;
}

std::vector<CapturedLine> ReportCapture::HorizontalLines(int page) const {
  std::vector<CapturedLine> out;
  for (const CapturedLine& l : lines)
    if (l.page == page && std::abs(l.y1 - l.y2) < 1e-6 && std::abs(l.x1 - l.x2) > 1e-6) out.push_back(l);
  return out;
}

std::vector<CapturedLine> ReportCapture::VerticalLines(int page) const {
  std::vector<CapturedLine> out;
  for (const CapturedLine& l : lines)
    if (l.page == page && std::abs(l.x1 - l.x2) < 1e-6 && std::abs(l.y1 - l.y2) > 1e-6) out.push_back(l);
  return out;
}

ReportCapture CaptureReportStream(const std::string& bytes) {
  ReportCapture capture;
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  in.SetPosition(0);
  CaptureRenderer renderer(capture);
  TRptConverter converter(&in, &renderer);
  converter.Generate(0, 0);
  return capture;
}

ReportCapture CaptureReportFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return CaptureReportStream(bytes);
}
