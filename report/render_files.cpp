#include "report/render_files.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "report/page_stream.h"

AnsiString DefaultExtension(const AnsiString& pattern) {
  std::size_t dot = pattern.find('.');
  if (dot == std::string::npos) return "";
  std::size_t end = pattern.find(';', dot);
  return pattern.substr(dot, end == std::string::npos ? std::string::npos : end - dot);
}

int CheckedPageCount(TStream* stream) {
  rps::TPageStreamReader reader(*stream);
  reader.ReadHeader();
  int count = static_cast<int>(reader.Pages().size());
  stream->SetPosition(0);
  return count;
}

std::unique_ptr<TBitmap> DrawnBitmap(TGraphic* graphic, double width, double height) {
  width = std::isfinite(width) ? std::max(1.0, std::round(width)) : 1;
  height = std::isfinite(height) ? std::max(1.0, std::round(height)) : 1;
  double scale = std::min({1.0, kMaxRenderSide / width, kMaxRenderSide / height,
                           std::sqrt(kMaxRenderPixels / (width * height))});
  int w = std::max(1, static_cast<int>(width * scale)), h = std::max(1, static_cast<int>(height * scale));
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(w, h);
  const QImage* source = nullptr;
  if (auto* b = dynamic_cast<TBitmap*>(graphic))
    source = &b->Image();
  else if (auto* icon = dynamic_cast<TIcon*>(graphic))
    source = &icon->Image();
  if (source && !source->isNull()) {
    QPainter painter(&bitmap->MutableImage());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, w, h), *source);
  }
  return bitmap;
}
