#include "platform/gui/parent_image.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include "platform/gui/qt_support.h"

using namespace gui_detail;

bool DrawParentImageInto(TControl* control, TCanvas* canvas) {
  TWinControl* parent = control ? control->Parent() : nullptr;
  if (!parent || !canvas) return false;
  const TRect client = parent->ClientRect();
  QImage image(client.Width() > 0 ? client.Width() : 1, client.Height() > 0 ? client.Height() : 1,
               QImage::Format_RGB32);
  image.fill(ToQColor(parent->Color()));
  // The parent's own picture only: its children (this control among them)
  // are left out.
  parent->Widget()->render(&image, QPoint(), QRegion(0, 0, client.Width(), client.Height()),
                           QWidget::DrawWindowBackground);
  CanvasPainter p(canvas);
  if (!p.Active()) return false;
  p->drawImage(QPoint(-control->Left(), -control->Top()), image);
  p.Touch(QRect(0, 0, control->Width(), control->Height()));
  return true;
}
