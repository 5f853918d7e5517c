// libFuzzer target: page selections, status formats and printed texts with
// format blocks and macro markers (see text_codes_driver.h).
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gui/graphics.h"
#include "report/tests/support/text_codes_driver.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Measuring text needs the font database.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FeedTextCodes(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
