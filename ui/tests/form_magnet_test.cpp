// The screen-edge magnet: its geometry as tables, then on forms moved as
// the window system would move them.
#include "ui/window_addons/form_magnet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWidget>

#include <memory>

#include "platform/gui/application.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"

namespace {

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(MagnetGeometry, SnapToArea) {
  const TRect area = Rect(0, 0, 1000, 800);
  const TwaScreenEdges all{seLeft, seTop, seRight, seBottom};
  struct Case {
    TRect in;
    TRect out;
  };
  const Case cases[] = {
      {Bounds(10, 300, 200, 100), Bounds(0, 300, 200, 100)},    // 10 snaps
      {Bounds(16, 300, 200, 100), Bounds(16, 300, 200, 100)},   // 16 does not
      {Bounds(-10, 300, 200, 100), Bounds(0, 300, 200, 100)},   // from outside
      {Bounds(-16, 300, 200, 100), Bounds(-16, 300, 200, 100)},
      {Bounds(300, 15, 200, 100), Bounds(300, 0, 200, 100)},
      {Bounds(790, 300, 200, 100), Bounds(800, 300, 200, 100)}, // right edge 990
      {Bounds(300, 690, 200, 100), Bounds(300, 700, 200, 100)},
      {Bounds(300, 5, 200, 790), Bounds(300, 10, 200, 790)},    // bottom over top
      {Bounds(5, 300, 990, 100), Bounds(10, 300, 990, 100)},    // right over left
  };
  for (const Case& c : cases) EXPECT_EQ(SnapToArea(c.in, area, all, 16), c.out) << c.in.Left << "," << c.in.Top;
  EXPECT_EQ(SnapToArea(Bounds(10, 300, 200, 100), area, TwaScreenEdges{seTop}, 16), Bounds(10, 300, 200, 100));
}

TEST(MagnetGeometry, SnapToAnotherForm) {
  const TRect other = Bounds(500, 100, 200, 200);
  int asked = 0;
  auto allow = [&] {
    ++asked;
    return true;
  };
  bool snapped = false;
  // 15 left of the other's left edge: snapped without asking.
  TRect r = SnapToRect(Bounds(285, 150, 200, 100), other, 20, allow, snapped);
  EXPECT_EQ(r, Bounds(300, 150, 200, 100));
  EXPECT_TRUE(snapped);
  EXPECT_EQ(asked, 0);
  // 15 into it: asked, and a refusal leaves it.
  snapped = false;
  r = SnapToRect(Bounds(315, 150, 200, 100), other, 20, [&] { ++asked; return false; }, snapped);
  EXPECT_EQ(r, Bounds(315, 150, 200, 100));
  EXPECT_FALSE(snapped);
  EXPECT_EQ(asked, 1);
  // 20 away: no snap.
  r = SnapToRect(Bounds(280, 150, 200, 100), other, 20, allow, snapped);
  EXPECT_EQ(r, Bounds(280, 150, 200, 100));
  // Each step works on the one before: the vertical snap takes the
  // rectangle out of the other's rows, so no horizontal snap follows.
  snapped = false;
  r = SnapToRect(Bounds(690, 290, 100, 100), other, 20, allow, snapped);
  EXPECT_EQ(r, Bounds(690, 300, 100, 100));
  r = SnapToRect(Bounds(690, 250, 100, 100), other, 20, allow, snapped);
  EXPECT_EQ(r, Bounds(700, 250, 100, 100));
  EXPECT_TRUE(TouchesExactly(Bounds(0, 0, 10, 10), Bounds(10, 50, 5, 5)));
  EXPECT_FALSE(TouchesExactly(Bounds(0, 0, 10, 10), Bounds(11, 0, 5, 5)));
}

struct MagnetForm {
  std::unique_ptr<TForm> form;
  TwaFormMagnet* magnet;
  MagnetForm(int left, int top) {
    form.reset(NewForm<TForm>(nullptr));
    form->SetBounds(left, top, 300, 200);
    magnet = new TwaFormMagnet(form.get());
    form->Show();
    Pump(30);
  }
};

TEST(FormMagnetGui, SnapsOnceTheUserMoveSettles) {
  const TRect work = Screen->WorkAreaRect();
  MagnetForm f(work.Left + 200, work.Top + 200);
  SetPointerButtonsHeldOverride(1);
  SimulateUserMove(f.form.get(), work.Left + 10, work.Top + 150);
  Pump(300);
  EXPECT_EQ(f.form->Left(), work.Left + 10) << "no snap while the button is held";
  EXPECT_TRUE(f.magnet->DragStarted());
  SetPointerButtonsHeldOverride(0);
  Pump(200);
  EXPECT_EQ(f.form->Left(), work.Left);
  EXPECT_FALSE(f.magnet->DragStarted());
  // Moves that keep coming do not settle.
  for (int i = 0; i < 3; ++i) {
    SimulateUserMove(f.form.get(), work.Left + 11 + i, work.Top + 150);
    Pump(60);
    EXPECT_NE(f.form->Left(), work.Left);
  }
  Pump(250);
  EXPECT_EQ(f.form->Left(), work.Left);
  // 16 pixels off does not snap; a program move never does.
  SimulateUserMove(f.form.get(), work.Left + 16, work.Top + 150);
  Pump(250);
  EXPECT_EQ(f.form->Left(), work.Left + 16);
  f.form->SetLeft(work.Left + 5);
  Pump(250);
  EXPECT_EQ(f.form->Left(), work.Left + 5);
  // Inactive: no snap; becoming active docks at once.
  f.magnet->SetActive(false);
  SimulateUserMove(f.form.get(), work.Left + 8, work.Top + 150);
  Pump(250);
  EXPECT_EQ(f.form->Left(), work.Left + 8);
  f.magnet->SetActive(true);
  EXPECT_EQ(f.form->Left(), work.Left);
  SetPointerButtonsHeldOverride(-1);
}

TEST(FormMagnetGui, GluedPartnersFollow) {
  const TRect work = Screen->WorkAreaRect();
  MagnetForm a(work.Left + 100, work.Top + 100);
  MagnetForm touching(work.Left + 400, work.Top + 120);  // a's right edge is 400
  MagnetForm apart(work.Left + 100, work.Top + 301);     // a's bottom is 300: 1 px away
  a.magnet->SetGlue(true);
  SimulateUserMove(a.form.get(), work.Left + 150, work.Top + 130);
  Pump(20);
  EXPECT_EQ(touching.form->Left(), work.Left + 450);
  EXPECT_EQ(touching.form->Top(), work.Top + 150);
  EXPECT_EQ(apart.form->Left(), work.Left + 100);
  Pump(250);
  // A refusing OnGlue keeps it in place.
  a.magnet->OnGlue = [](TObject*, TCustomForm*, bool& allow) { allow = false; };
  const int before = touching.form->Left();
  SimulateUserMove(a.form.get(), a.form->Left() + 30, a.form->Top());
  Pump(250);
  EXPECT_EQ(touching.form->Left(), before);
}

TEST(FormMagnetGui, DragByTheClientArea) {
  MagnetForm f(200, 200);
  f.magnet->SetFormDragable(true);
  f.magnet->SetActive(false);
  auto* label = new TLabel(f.form.get());
  label->SetParent(f.form.get());
  label->SetBounds(0, 0, 50, 20);
  label->SetCaption("label");
  auto* edit = new TEdit(f.form.get());
  edit->SetParent(f.form.get());
  edit->SetBounds(0, 100, 80, 20);
  MouseDown(f.form.get(), 150, 50);
  QMouseEvent move(QEvent::MouseMove, QPointF(170, 70), f.form->Widget()->mapToGlobal(QPointF(170, 70)),
                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(f.form->Widget(), &move);
  MouseUp(f.form.get(), 170, 70);
  Pump(20);
  EXPECT_EQ(f.form->Left(), 220);
  EXPECT_EQ(f.form->Top(), 220);
  // Presses on an enabled graphic control or a windowed child do not drag.
  MouseDown(label, 10, 10);
  MouseUp(label, 10, 10);
  MouseDown(edit, 10, 10);
  MouseUp(edit, 10, 10);
  Pump(20);
  EXPECT_EQ(f.form->Left(), 220);
}

}  // namespace
