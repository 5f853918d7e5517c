// libFuzzer target: bytes replayed as a page stream by the page-stream
// printer onto a small render device (offscreen).
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gui/graphics.h"
#include "platform/gui/resources.h"
#include "report/file_printer.h"

namespace {

class SmallDevice : public TRptRenderDevice {
 public:
  SmallDevice() { Bitmap()->SetSize(64, 64); }
  int XDPI() override { return 96; }
  int YDPI() override { return 96; }
  void RawData(const char*, int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream in;
  in.WriteBuffer(data, static_cast<int64_t>(size));
  SmallDevice device;
  TFilePrinter p;
  p.SetDevice(&device);
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  try {
    if (p.BeginReplay()) {
      for (int page = 1; page <= p.StreamPages(); ++page) p.PlayPage(page);
      p.EndReplay();
    }
  } catch (const EReadError&) {
  } catch (const EReportError&) {
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
