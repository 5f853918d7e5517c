// libFuzzer target: bytes converted as a page stream into the recording
// renderer.
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

#include "platform/gui/graphics.h"
#include "platform/gui/resources.h"
#include "report/rpt_render.h"
#include "report/tests/support/recording_renderer.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream in;
  in.WriteBuffer(data, static_cast<int64_t>(size));
  in.SetPosition(0);
  TRecordingRenderer renderer;
  TRptConverter converter(&in, &renderer);
  try {
    converter.Generate(0, 0);
  } catch (const EReadError&) {
  } catch (const EReportError&) {
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
