// The registry of named pictures: names upper-cased, pictures kept as
// images for the life of the process.
#include "platform/gui/resources.h"

#include <QImage>

#include "platform/gui/qt_support.h"
#include "platform/rtl/codepages.h"

namespace {

std::map<AnsiString, QImage>& Registry() {
  static std::map<AnsiString, QImage> registry;
  return registry;
}

}  // namespace

void RegisterBitmapResource(const AnsiString& name, const std::vector<std::string>& rows,
                            const std::map<char, TColor>& palette) {
  if (rows.empty() || rows[0].empty()) throw EInvalidGraphic(Format("Picture %s is empty", name));
  int w = static_cast<int>(rows[0].size());
  int h = static_cast<int>(rows.size());
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    const std::string& row = rows[static_cast<std::size_t>(y)];
    if (static_cast<int>(row.size()) != w)
      throw EInvalidGraphic(Format("Picture %s: row %d is not %d wide", name, y, w));
    for (int x = 0; x < w; ++x) {
      auto it = palette.find(row[static_cast<std::size_t>(x)]);
      if (it == palette.end())
        throw EInvalidGraphic(Format("Picture %s: no colour for '%s'", name, row.substr(static_cast<std::size_t>(x), 1)));
      img.setPixel(x, y, gui_detail::ToQColor(it->second).rgb());
    }
  }
  Registry()[AnsiUpperCase(name)] = img;
}

bool HasBitmapResource(const AnsiString& name) { return Registry().count(AnsiUpperCase(name)) != 0; }

bool LoadBitmapResource(const AnsiString& name, TBitmap& bitmap) {
  auto it = Registry().find(AnsiUpperCase(name));
  if (it == Registry().end()) return false;
  bitmap.SetSize(it->second.width(), it->second.height());
  bitmap.MutableImage() = it->second.copy();
  if (bitmap.OnChange) bitmap.OnChange(&bitmap);
  return true;
}
