// Tool bar, tool buttons, action links of buttons and menu items, the group
// box and the simple status bar.
#include <gtest/gtest.h>

#include "platform/gui/actions.h"
#include "platform/gui/application.h"
#include "platform/gui/com_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/resources.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tool_bar.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"

namespace {

struct ToolBarGui : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(50, 50, 400, 240);
    form->Show();
  }
  void TearDown() override { delete form; }
};

TEST_F(ToolBarGui, ControlsLineUpInOrderCentredInTheBar) {
  auto* bar = new TToolBar(form);
  bar->SetParent(form);
  auto* b1 = new TToolButton(form);
  b1->SetParent(bar);
  auto* sep = new TToolButton(form);
  sep->SetParent(bar);
  sep->SetStyle(tbsSeparator);
  auto* label = new TLabel(form);
  label->SetParent(bar);
  label->SetCaption("Strana");
  auto* edit = new TEdit(form);
  edit->SetParent(bar);
  edit->SetWidth(40);
  edit->SetHeight(21);
  auto* b2 = new TToolButton(form);
  b2->SetParent(bar);
  bar->Realign();
  EXPECT_EQ(bar->Top(), 0);
  EXPECT_EQ(bar->Width(), form->ClientWidth());
  int h = bar->ClientHeight();
  struct Want {
    TControl* c;
    int left, width;
  } want[] = {{b1, 2, 23}, {sep, 25, 8}, {label, 33, label->Width()}, {edit, 33 + label->Width(), 40},
              {b2, 73 + label->Width(), 23}};
  for (const Want& w : want) {
    EXPECT_EQ(w.c->Left(), w.left) << w.c->ClassName();
    EXPECT_EQ(w.c->Width(), w.width) << w.c->ClassName();
    EXPECT_EQ(w.c->Top(), (h - w.c->Height()) / 2) << w.c->ClassName();
  }
  // A hidden control leaves no gap.
  label->SetVisible(false);
  bar->Realign();
  EXPECT_EQ(edit->Left(), 33);
}

TEST_F(ToolBarGui, ActionLinksFollowTheActionAndClicksRunIt) {
  int runs = 0;
  auto* action = new TAction(form);
  action->SetCaption("&Print");
  action->SetHint("Tisk sestavy");
  action->SetShortCut(ShortCut(VK_F8, {}));
  action->OnExecute = [&](TObject*) { ++runs; };
  auto* bar = new TToolBar(form);
  bar->SetParent(form);
  auto* button = new TToolButton(form);
  button->SetParent(bar);
  button->SetAction(action);
  auto* menu = new TMainMenu(form);
  auto* own = new TMenuItem(form);   // keeps its own caption
  auto* plain = new TMenuItem(form);  // shows the action's
  menu->Items()->Add(own);
  menu->Items()->Add(plain);
  own->SetAction(action);
  own->SetCaption("&Tiskni");
  plain->SetAction(action);
  EXPECT_EQ(button->Hint(), "Tisk sestavy");
  EXPECT_EQ(plain->Caption(), "&Print");
  EXPECT_EQ(plain->Hint(), "Tisk sestavy");
  EXPECT_EQ(own->ShortCut(), ShortCut(VK_F8, {}));

  action->SetCaption("&Tisk");
  EXPECT_EQ(plain->Caption(), "&Tisk");
  EXPECT_EQ(own->Caption(), "&Tiskni");
  action->SetChecked(true);
  EXPECT_TRUE(button->Down());
  EXPECT_TRUE(own->Checked());

  MouseClick(button, 5, 5);
  own->Click();
  EXPECT_EQ(runs, 2);
  action->SetEnabled(false);
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(plain->Enabled());
  MouseClick(button, 5, 5);
  plain->Click();
  EXPECT_EQ(runs, 2);
  // The action may go first; its clients forget it.
  delete action;
  EXPECT_EQ(button->Action(), nullptr);
  EXPECT_EQ(plain->LinkedAction(), nullptr);
  plain->Click();
}

TEST_F(ToolBarGui, DisabledButtonShowsItsGlyphGreyed) {
  RegisterBitmapResource("TOOL_TEST", {"w....w", "w.rr.w", "w.rr.w", "wwwwww"}, {{'w', clWhite}, {'.', clWhite}, {'r', clRed}});
  auto* bar = new TToolBar(form);
  bar->SetParent(form);
  auto* button = new TToolButton(form);
  button->SetParent(bar);
  TBitmap glyph;
  glyph.LoadFromResourceName("TOOL_TEST");
  button->SetGlyph(&glyph);
  QImage shot = Grab(button);
  TRect all = Rect(0, 0, button->Width(), button->Height());
  EXPECT_EQ(CountColor(shot, all, clRed), 4);
  button->SetEnabled(false);
  shot = Grab(button);
  EXPECT_EQ(CountColor(shot, all, clRed), 0);
  EXPECT_EQ(CountColor(shot, all, TColor(0x808080)), 4);
  EXPECT_EQ(CountColor(shot, all, clWhite), 0);  // the transparent colour
}

TEST_F(ToolBarGui, GroupBoxAndStatusBarPlaceTheirContents) {
  auto* status = new TStatusBar(form);
  status->SetParent(form);
  status->SetSimplePanel(true);
  status->SetSimpleText("Page 2 z 3");
  EXPECT_EQ(status->Top() + status->Height(), form->ClientHeight());
  EXPECT_EQ(status->SimpleText(), "Page 2 z 3");
  QImage shot = Grab(status);
  EXPECT_GT(CountColor(shot, Rect(0, 0, 80, status->Height()), clBlack), 10);

  auto* group = new TGroupBox(form);
  group->SetParent(form);
  group->SetBounds(10, 10, 200, 100);
  group->SetCaption("Volby");
  auto* inner = new TPanel(form);
  inner->SetParent(group);
  inner->SetAlign(alClient);
  EXPECT_GT(inner->Top(), 8);
  EXPECT_LT(inner->Top() + inner->Height(), 100);
  shot = Grab(group);
  EXPECT_GT(CountColor(shot, Rect(8, 0, 60, 14), clBlack), 10);  // the caption
}

}  // namespace
