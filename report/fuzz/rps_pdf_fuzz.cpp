// libFuzzer target: bytes converted as a page stream through the PDF
// renderer (into memory; the cross references must hold) and the HTML
// renderer (into a private folder).
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/gui/graphics.h"
#include "report/tests/support/renderer_sinks.h"

namespace {
std::string folder;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  char name[] = "/tmp/rps_pdf_fuzz-XXXXXX";
  if (!mkdtemp(name)) std::abort();
  folder = name;
  std::atexit([] { rmdir(folder.c_str()); });  // emptied after every input
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A broken cross-reference table escapes as std::logic_error: a finding.
  ConvertThroughFileRenderers(std::string(reinterpret_cast<const char*>(data), size), folder);
  return 0;
}
