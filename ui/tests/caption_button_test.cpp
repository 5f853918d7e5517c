// Caption buttons: layout, order, the mouse, the pictures, the window-menu
// items, the tooltip, and the always-on-top button.
#include "ui/window_addons/caption_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/testing/gui_pixels.h"
#include "platform/gui/window_menu.h"
#include "ui/window_addons/form_topmost.h"

namespace {

struct MenuForm {
  std::unique_ptr<TForm> form;
  MenuForm() {
    form.reset(NewForm<TForm>(nullptr));
    form->SetBounds(50, 50, 400, 300);
    auto* menu = new TMainMenu(form.get());
    auto* item = new TMenuItem(menu);
    item->SetCaption("&Soubor");
    menu->Items()->Add(item);
    form->SetMenu(menu);
  }
  TwaCustomCaptionButton* Button() { return new TwaCustomCaptionButton(form.get()); }
};

void Mouse(TwaCustomCaptionButton* b, QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
  QWidget* w = b->ButtonWidget();
  QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

TEST(CaptionButtonGui, LayoutAndOrder) {
  MenuForm f;
  auto* a = f.Button();
  auto* b = f.Button();
  auto* c = f.Button();
  EXPECT_EQ(b->ButtonID(), a->ButtonID() + 1);
  b->SetSeparatorWidth(5);
  // w = 18: offset 2, + 16 per button, + separator widths.
  EXPECT_EQ(a->RightOffset(), 18);
  EXPECT_EQ(b->RightOffset(), 18 + 5 + 16);
  EXPECT_EQ(c->RightOffset(), 18 + 5 + 16 + 16);
  b->SetVisible(false);
  EXPECT_EQ(c->RightOffset(), 18 + 16);
  EXPECT_EQ(b->BtnOrder(), 1);
  c->SetBtnOrder(99);
  EXPECT_EQ(c->BtnOrder(), 2);
  c->SetBtnOrder(0);
  EXPECT_EQ(c->BtnOrder(), 0);
  EXPECT_EQ(a->BtnOrder(), 1);
  EXPECT_EQ(MenuBarCorner(f.form.get()), a->ButtonWidget()->parentWidget());
}

TEST(CaptionButtonGui, StreamedOrderIsSortedStablyAtLoad) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  form->BeginLoading();
  auto* a = new TwaCustomCaptionButton(form.get());
  auto* b = new TwaCustomCaptionButton(form.get());
  auto* c = new TwaCustomCaptionButton(form.get());
  a->SetBtnOrder(2);
  b->SetBtnOrder(1);
  c->SetBtnOrder(1);
  form->EndLoading();
  EXPECT_EQ(b->BtnOrder(), 0);
  EXPECT_EQ(c->BtnOrder(), 1);
  EXPECT_EQ(a->BtnOrder(), 2);
}

TEST(CaptionButtonGui, MouseSequences) {
  MenuForm f;
  auto* b = f.Button();
  f.form->Show();
  std::vector<std::string> log;
  b->OnClick = [&](TObject*) { log.push_back("click"); };
  b->OnStateChanged = [&](TObject*) { log.push_back("state"); };
  b->OnButtonDown = [&](TObject*) { log.push_back("down"); };
  b->OnButtonUp = [&](TObject*) { log.push_back("up"); };
  // Press, leave, come back, release inside: one click.
  Mouse(b, QEvent::MouseButtonPress, 3, 3);
  EXPECT_TRUE(b->PaintedPressed());
  Mouse(b, QEvent::MouseMove, 40, 3);
  EXPECT_FALSE(b->PaintedPressed());
  Mouse(b, QEvent::MouseMove, 3, 3);
  EXPECT_TRUE(b->PaintedPressed());
  Mouse(b, QEvent::MouseButtonRelease, 3, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "state"}));
  EXPECT_FALSE(b->PaintedPressed());
  // Released outside: nothing.
  log.clear();
  b->SetToggle(true);
  Mouse(b, QEvent::MouseButtonPress, 3, 3);
  Mouse(b, QEvent::MouseButtonRelease, 40, 3);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(b->Down());
  EXPECT_FALSE(b->PaintedPressed());
  // A toggle latches; a double click presses too; the right button does nothing.
  Mouse(b, QEvent::MouseButtonDblClick, 3, 3);
  Mouse(b, QEvent::MouseButtonRelease, 3, 3);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(log, (std::vector<std::string>{"down", "click", "state"}));
  log.clear();
  Mouse(b, QEvent::MouseButtonPress, 3, 3, Qt::RightButton);
  Mouse(b, QEvent::MouseButtonRelease, 3, 3, Qt::RightButton);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(b->Down());
}

TEST(CaptionButtonGui, ReleasedPressedAndDisabledPictures) {
  MenuForm f;
  auto* b = f.Button();
  const int gw = 13, gh = 11;
  b->PaintButton(false);
  QImage up = b->Picture().Image();
  EXPECT_EQ(PixelAt(up, 0, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(PixelAt(up, gw + 2, gh + 2), clBlack);
  EXPECT_EQ(PixelAt(up, 1, 1), ColorToRGB(cl3DLight));
  const TRect face = Rect(2, 2, gw + 1, gh + 1);
  EXPECT_GT(CountColor(up, face, ColorToRGB(clBtnText)), 3) << "the glyph character";
  b->PaintButton(true);
  QImage down = b->Picture().Image();
  EXPECT_EQ(PixelAt(down, 0, 0), clBlack);
  EXPECT_EQ(PixelAt(down, gw + 2, gh + 2), ColorToRGB(clBtnHighlight));
  b->SetEnabled(false);
  b->PaintButton(false);
  QImage off = b->Picture().Image();
  EXPECT_GT(CountColor(off, face, clWhite), 2);
  EXPECT_GT(CountColor(off, face, RGB(128, 128, 128)), 2);
  EXPECT_EQ(CountColor(off, face, ColorToRGB(clBtnText)), 0);
}

TEST(CaptionButtonGui, WindowMenuItems) {
  MenuForm f;
  TWindowMenu* menu = TWindowMenu::Of(f.form.get());
  ASSERT_EQ(menu->Count(), 7);
  auto* b = f.Button();
  const int id = b->ButtonID();
  b->SystemMenu()->SetCaption("Always on &top");
  b->SystemMenu()->SetPosition(7);
  b->SystemMenu()->SetSeparators(TwaMenuSeparators{seBefore});
  b->SystemMenu()->SetApplyToMenu(true);
  EXPECT_EQ(menu->Count(), 9);
  EXPECT_EQ(menu->Item(7).Command, id + 1000);
  EXPECT_TRUE(menu->Item(7).IsSeparator());
  EXPECT_EQ(menu->Item(8).Command, id);
  EXPECT_EQ(menu->Item(8).Caption, "Always on &top");
  b->SystemMenu()->SetSeparators(TwaMenuSeparators{seAfter});
  EXPECT_EQ(menu->Item(7).Command, id);
  EXPECT_EQ(menu->Item(8).Command, id + 2000);
  b->SystemMenu()->SetSeparators(TwaMenuSeparators{});
  b->SystemMenu()->SetPosition(20);
  EXPECT_EQ(menu->IndexOfCommand(id), 7) << "a position past the end takes the item count";
  EXPECT_EQ(menu->Count(), 8);
  b->SetEnabled(false);
  EXPECT_FALSE(menu->Item(menu->IndexOfCommand(id)).Enabled);
  b->SetEnabled(true);
  b->SetToggle(true);
  b->SetDown(true);
  EXPECT_TRUE(menu->Item(menu->IndexOfCommand(id)).Checked);
  // Choosing the item flips the latch.
  menu->Choose(id);
  EXPECT_FALSE(b->Down());
  delete b;
  EXPECT_EQ(menu->Count(), 7);
}

TEST(CaptionButtonGui, TooltipOnlyWhenItCanShow) {
  MenuForm f;
  auto* b = f.Button();
  EXPECT_TRUE(b->ButtonWidget()->toolTip().isEmpty());
  b->SetHint("Tip");
  EXPECT_EQ(b->ButtonWidget()->toolTip(), "Tip");
  b->SetShowHint(false);
  EXPECT_TRUE(b->ButtonWidget()->toolTip().isEmpty());
  b->SetShowHint(true);
  b->SetEnabled(false);
  EXPECT_TRUE(b->ButtonWidget()->toolTip().isEmpty());
  b->SetEnabled(true);
  b->SetVisible(false);
  EXPECT_TRUE(b->ButtonWidget()->toolTip().isEmpty());
}

TEST(CaptionButtonGui, TopmostButtonAndItsItem) {
  MenuForm f;
  auto* top = new TwaFormTopmost(f.form.get());
  f.form->AfterConstruction();
  f.form->Show();
  TWindowMenu* menu = TWindowMenu::Of(f.form.get());
  const int id = top->ButtonID();
  EXPECT_EQ(top->Hint(), "Always on top");
  EXPECT_EQ(menu->Item(menu->IndexOfCommand(id)).Caption, "Always on &top");
  EXPECT_EQ(menu->IndexOfCommand(id + 1000), 7);
  EXPECT_EQ(menu->IndexOfCommand(id), 8);
  EXPECT_FALSE(top->Down());
  Mouse(top, QEvent::MouseButtonPress, 3, 3);
  Mouse(top, QEvent::MouseButtonRelease, 3, 3);
  EXPECT_TRUE(KeepAbove(f.form.get()));
  EXPECT_TRUE(top->Down());
  EXPECT_TRUE(top->PaintedPressed());
  EXPECT_TRUE(menu->Item(menu->IndexOfCommand(id)).Checked);
  menu->Choose(id);
  EXPECT_FALSE(KeepAbove(f.form.get()));
  EXPECT_FALSE(top->Down());
  EXPECT_FALSE(menu->Item(menu->IndexOfCommand(id)).Checked);
  // A new native window keeps the button, its tooltip and its item.
  RecreateWnd(f.form.get());
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  EXPECT_EQ(menu->IndexOfCommand(id), 8);
  EXPECT_EQ(top->ButtonWidget()->toolTip(), "Always on top");
  EXPECT_TRUE(top->ButtonWidget()->isVisible());
}

}  // namespace
