// Pictures are kept as ARGB images with the mask applied once when added.
#include "platform/gui/image_list.h"

#include <QImage>

#include "platform/gui/qt_support.h"

using namespace gui_detail;

struct TImageList::Picture {
  QImage image;
};

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}
TImageList::~TImageList() = default;

void TImageList::SetWidth(int w) {
  if (w == width_) return;
  width_ = w;
  Clear();
}

void TImageList::SetHeight(int h) {
  if (h == height_) return;
  height_ = h;
  Clear();
}

void TImageList::Clear() { images_.clear(); }

int TImageList::AddMasked(const TBitmap* bitmap, TColor maskColor) {
  if (!bitmap || bitmap->Empty()) return -1;
  int first = Count();
  const QImage& src = bitmap->Image();
  int count = std::max(1, src.width() / std::max(1, width_));
  QRgb key = ToQColor(maskColor).rgb() & 0xFFFFFF;
  for (int i = 0; i < count; ++i) {
    QImage part(width_, height_, QImage::Format_ARGB32);
    part.fill(Qt::transparent);
    for (int y = 0; y < height_ && y < src.height(); ++y)
      for (int x = 0; x < width_ && i * width_ + x < src.width(); ++x) {
        QRgb px = src.pixel(i * width_ + x, y);
        if (maskColor != clNone && (px & 0xFFFFFF) == key) continue;
        part.setPixel(x, y, px | 0xFF000000u);
      }
    auto pic = std::make_unique<Picture>();
    pic->image = part;
    images_.push_back(std::move(pic));
  }
  return first;
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const {
  if (!canvas || index < 0 || index >= Count()) return;
  CanvasPainter p(canvas);
  if (!p.Active()) return;
  const QImage& img = images_[static_cast<std::size_t>(index)]->image;
  if (enabled) {
    p->drawImage(QPoint(x, y), img);
  } else {
    // Greyed: every painted pixel embossed in highlight and shadow.
    QImage hi = img.copy(), sh = img.copy();
    QRgb h = ToQColor(clBtnHighlight).rgb(), s = ToQColor(clBtnShadow).rgb();
    for (int yy = 0; yy < img.height(); ++yy)
      for (int xx = 0; xx < img.width(); ++xx) {
        bool on = qAlpha(img.pixel(xx, yy)) != 0;
        hi.setPixel(xx, yy, on ? h : 0);
        sh.setPixel(xx, yy, on ? s : 0);
      }
    p->drawImage(QPoint(x + 1, y + 1), hi);
    p->drawImage(QPoint(x, y), sh);
  }
  p.Touch(QRect(x, y, img.width() + 1, img.height() + 1));
}
