#include "ui/buttons/ux_cursors.h"

#include "platform/gui/application.h"
#include "platform/gui/resources.h"
#include "ui/resources/ui_pictures.h"

void RegisterUxCursors() {
  static bool done = false;
  if (done || !Screen) return;
  done = true;
  RegisterUiPictures();
  TBitmap hand;
  if (LoadBitmapResource("UX_HANDCUR", hand)) {
    hand.SetTransparent(true);
    Screen->SetCursors(crHand, hand, Point(5, 0));
  }
  TBitmap drag;
  if (LoadBitmapResource("UX_DRAGCUR", drag)) {
    drag.SetTransparent(true);
    Screen->SetCursors(crDragHand, drag, Point(0, 0));
  }
}
