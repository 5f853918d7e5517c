#include "report/jpeg_writer.h"

#include <QImage>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "report/rpt_common.h"

namespace {

// libjpeg reports errors through a handler that must not return. It jumps
// back to Encode, which owns nothing that needs a destructor; the message
// travels in the per-call state, so concurrent encoders never share it.
struct ErrorState {
  jpeg_error_mgr base;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* state = reinterpret_cast<ErrorState*>(info->err);
  (*info->err->format_message)(info, state->message);
  std::longjmp(state->back, 1);
}

void OnMessage(j_common_ptr) {}  // warnings are not shown anywhere

// Plain C data only between setjmp and the jumps into it.
bool Encode(const unsigned char* rgb, int width, int height, int stride, int quality, unsigned char** out,
            unsigned long* size, char* message) {
  jpeg_compress_struct info;
  ErrorState err;
  info.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.output_message = OnMessage;
  err.message[0] = 0;
  if (setjmp(err.back)) {
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    jpeg_destroy_compress(&info);
    if (*out) std::free(*out);
    *out = nullptr;
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(rgb + static_cast<std::size_t>(info.next_scanline) * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

std::string EncodeJpeg(const TBitmap& bitmap, int quality) {
  if (bitmap.Empty()) throw EReportError("Cannot write an empty image as JPEG.");
  QImage rgb = bitmap.Image().convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull()) throw EReportError("Cannot write the image as JPEG: out of memory.");
  unsigned char* out = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX] = {};
  if (!Encode(rgb.constBits(), rgb.width(), rgb.height(), static_cast<int>(rgb.bytesPerLine()),
              std::clamp(quality, 1, 100), &out, &size, message))
    throw EReportError(AnsiString("Cannot write the image as JPEG: ") + message);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}
