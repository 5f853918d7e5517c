// The glyph button inside the entry edits: placement, width limits, the
// text rectangle that keeps typed text left of it, clicks and the default
// picture.
#include <gtest/gtest.h>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/system.h"
#include "ui/edits/db_edit_kuvet.h"
#include "ui/edits/edit_kuvet.h"

namespace {

struct GlyphForm : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 400, 200);
  }
  void TearDown() override { delete form; }
  template <class T>
  T* Add(int left, int top, int width, int height) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(left, top, width, height);
    return c;
  }
};

using GlyphButtonGui = GlyphForm;

TEST_F(GlyphButtonGui, TheButtonSitsInsideTheRightEdge) {
  EXPECT_EQ(GlyphButtonBounds(120, 21, 15, true), Bounds(101, 0, 15, 17));
  EXPECT_EQ(GlyphButtonBounds(120, 21, 15, false), Bounds(103, 0, 15, 20));
  auto* single = Add<TEditKuvet>(10, 10, 120, 21);
  auto* flat = Add<TEditKuvet>(10, 40, 120, 21);
  flat->SetBorderStyle(bsNone);
  auto* data = Add<TDBEditKuvet>(10, 70, 120, 21);
  EXPECT_FALSE(single->ButtonVisible());
  EXPECT_EQ(single->ButtonWidth(), 15);
  EXPECT_EQ(single->TextRect().Right, 116);  // hidden: no room kept
  for (auto* e : std::initializer_list<TCustomEdit*>{single, flat, data}) {
    if (auto* k = dynamic_cast<TEditKuvet*>(e)) k->SetButtonVisible(true);
    if (auto* d = dynamic_cast<TDBEditKuvet*>(e)) d->SetButtonVisible(true);
  }
  EXPECT_EQ(single->Button()->BoundsRect(), Bounds(101, 0, 15, 17));
  EXPECT_EQ(flat->Button()->BoundsRect(), Bounds(103, 0, 15, 20));
  EXPECT_EQ(data->Button()->BoundsRect(), Bounds(101, 0, 15, 17));
  EXPECT_EQ(single->TextRect().Right, 101);
  single->SetBounds(10, 10, 160, 25);
  EXPECT_EQ(single->Button()->BoundsRect(), Bounds(141, 0, 15, 21));
  single->SetButtonWidth(10);
  EXPECT_EQ(single->ButtonWidth(), 15);
  single->SetButtonWidth(500);
  EXPECT_EQ(single->ButtonWidth(), 160);
  EXPECT_EQ(data->Button()->Parent(), data);
  data->SetButtonVisible(false);
  EXPECT_EQ(data->Button()->Parent(), nullptr);
}

TEST_F(GlyphButtonGui, TypedTextStaysLeftOfTheButtonAndAClickReachesTheEdit) {
  auto* e = Add<TEditKuvet>(10, 10, 120, 21);
  e->SetButtonVisible(true);
  int clicks = 0;
  e->OnClickButton = [&](TObject* sender) {
    EXPECT_EQ(sender, e);
    ++clicks;
  };
  form->Show();
  Application->ProcessMessages();
  e->SetFocus();
  TypeText(e, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
  Application->ProcessMessages();
  QImage shot = Grab(e);
  // Text ink ends left of the button (which starts at 2 + 101).
  int last = LastInkColumn(shot, Rect(2, 4, 102, 17), ColorToRGB(clWindow));
  EXPECT_GT(last, 50);
  EXPECT_LT(last, 103);
  MouseClick(e->Button(), 5, 5);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(e->NumGlyphs(), 1);
  EXPECT_FALSE(e->Glyph()->Empty());  // the three dots
  e->SetNumGlyphs(9);
  EXPECT_EQ(e->NumGlyphs(), 4);
}

}  // namespace
