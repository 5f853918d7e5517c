// The speed button: glyph counts and state images, groups, clicks, the
// repeat timer, layout, face frames and the drop-down menu.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/image_list.h"
#include "platform/gui/menus.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/system.h"
#include "ui/buttons/draw_helpers.h"
#include "ui/buttons/ux_speed_button.h"

namespace {

TBitmap* Picture(TBitmap& b, int w, int h, TColor fill = clFuchsia) {
  b.SetSize(w, h);
  b.Canvas()->Brush()->SetColor(fill);
  b.Canvas()->FillRect(Rect(0, 0, w, h));
  return &b;
}

void MoveMouse(TControl* c, int x, int y) { QTest::mouseMove(c->Widget(), QPoint(x, y)); }

struct ButtonForm : ::testing::Test {
  TForm* form = nullptr;
  std::vector<std::string> errors;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 400, 300);
    Application->OnException = [this](TObject*, const std::exception& e) { errors.push_back(e.what()); };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    delete form;
  }
  TUxSpeedButton* AddButton(int left, int top, int w = 25, int h = 25) {
    auto* b = new TUxSpeedButton(form);
    b->SetParent(form);
    b->SetBounds(left, top, w, h);
    return b;
  }
  void ShowForm() {
    form->Show();
    Application->ProcessMessages();
  }
};

using UxSpeedButtonGui = ButtonForm;

TEST_F(UxSpeedButtonGui, GlyphCountsComeFromThePictureAndStayWithinOneToFive) {
  auto* b = AddButton(10, 10);
  EXPECT_EQ(b->Width(), 25);
  EXPECT_EQ(b->Layout(), blGlyphTop);
  EXPECT_EQ(b->Margin(), -1);
  EXPECT_EQ(b->Spacing(), 1);
  EXPECT_EQ(b->InitPause(), 500u);
  EXPECT_EQ(b->RepeatInterval(), 100u);
  EXPECT_TRUE(b->ShowHint());
  TBitmap pic;
  b->SetGlyph(Picture(pic, 64, 16));
  EXPECT_EQ(b->NumGlyphs(), 4);
  b->SetGlyph(Picture(pic, 112, 16));
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(7);
  EXPECT_EQ(b->NumGlyphs(), 5);
  b->SetNumGlyphs(0);
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(3);
  TBitmap empty;
  b->SetGlyph(&empty);
  EXPECT_EQ(b->NumGlyphs(), 3);
  ShowForm();
  QImage shot = Grab(b);
  EXPECT_EQ(PixelAt(shot, 12, 12), ColorToRGB(clBtnFace));
  b->SetMargin(-2);
  EXPECT_EQ(b->Margin(), -1);
}

TEST_F(UxSpeedButtonGui, StateImagesAreBuiltFromTheGlyph) {
  auto* b = AddButton(10, 10);
  TBitmap pic;
  Picture(pic, 16, 16);
  pic.Canvas()->SetPixels(3, 3, clBlack);
  pic.Canvas()->SetPixels(5, 5, clRed);
  b->SetGlyph(&pic);
  const TBitmap* disabled = b->ButtonGlyph()->StateImage(ubsDisabled);
  ASSERT_NE(disabled, nullptr);
  EXPECT_EQ(PixelOf(disabled, 3, 3), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelOf(disabled, 4, 4), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(PixelOf(disabled, 5, 5), ColorToRGB(clBtnFace));
  const TBitmap* inactive = b->ButtonGlyph()->StateImage(ubsInactive);
  EXPECT_EQ(PixelOf(inactive, 5, 5), RGB(76, 76, 76));
  EXPECT_EQ(PixelOf(inactive, 0, 0), clFuchsia);  // the see-through colour stays
  EXPECT_EQ(GreyPixel(RGB(0, 255, 0)), RGB(149, 149, 149));
  EXPECT_EQ(GreyPixel(clWhite), RGB(255, 255, 255));
  // The down state borrows the up image below three glyphs.
  EXPECT_EQ(PixelOf(b->ButtonGlyph()->StateImage(ubsDown), 5, 5), clRed);
  ASSERT_NE(TGlyphCache::Instance(), nullptr);
}

TEST_F(UxSpeedButtonGui, GroupedButtonsAreExclusive) {
  auto* first = AddButton(10, 10);
  auto* second = AddButton(40, 10);
  auto* other = AddButton(70, 10);
  first->SetGroupIndex(1);
  second->SetGroupIndex(1);
  other->SetGroupIndex(2);
  ShowForm();
  MouseClick(first, 5, 5);
  MouseClick(other, 5, 5);
  EXPECT_TRUE(first->Down());
  EXPECT_TRUE(other->Down());
  MouseClick(second, 5, 5);
  EXPECT_TRUE(second->Down());
  EXPECT_FALSE(first->Down());
  EXPECT_TRUE(other->Down());
  MouseClick(second, 5, 5);  // without AllowAllUp a down button stays down
  EXPECT_TRUE(second->Down());
  second->SetAllowAllUp(true);
  EXPECT_TRUE(first->AllowAllUp());
  MouseClick(second, 5, 5);
  EXPECT_FALSE(second->Down());
  auto* loose = AddButton(100, 10);
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());
}

TEST_F(UxSpeedButtonGui, AClickNeedsTheReleaseInsideAndSetsTheModalResultFirst) {
  auto* b = AddButton(10, 10);
  b->SetModalResult(mrOk);
  int clicks = 0;
  TModalResult seen = mrNone;
  b->OnClick = [&](TObject*) {
    ++clicks;
    seen = form->ModalResult();
  };
  ShowForm();
  MouseDown(b, 5, 5);
  EXPECT_EQ(b->State(), ubsDown);
  MoveMouse(b, 40, 5);
  EXPECT_EQ(b->State(), ubsUp);
  MouseUp(b, 40, 5);
  EXPECT_EQ(clicks, 0);
  MouseDown(b, 5, 5);
  MoveMouse(b, 40, 5);
  MoveMouse(b, 6, 6);
  EXPECT_EQ(b->State(), ubsDown);
  MouseUp(b, 6, 6);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(seen, mrOk);
  EXPECT_EQ(b->State(), ubsUp);
}

TEST_F(UxSpeedButtonGui, TheRepeatTimerClicksPerTickWhileHeldInside) {
  auto* b = AddButton(10, 10);
  b->SetAllowTimer(true);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  MouseDown(b, 5, 5);
  ASSERT_NE(b->RepeatTimer(), nullptr);
  EXPECT_EQ(b->RepeatTimer()->Interval(), 500u);
  EXPECT_TRUE(b->RepeatTimer()->Enabled());
  b->RepeatTimer()->FireTick();
  EXPECT_EQ(b->RepeatTimer()->Interval(), 100u);
  b->RepeatTimer()->FireTick();
  EXPECT_EQ(clicks, 2);
  MoveMouse(b, 40, 5);
  b->RepeatTimer()->FireTick();
  EXPECT_EQ(clicks, 2);
  MoveMouse(b, 5, 5);
  b->RepeatTimer()->FireTick();
  EXPECT_EQ(clicks, 3);
  MouseUp(b, 5, 5);
  EXPECT_EQ(clicks, 4);
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
  b->SetAllowTimer(false);
  EXPECT_EQ(b->RepeatTimer(), nullptr);
}

TEST_F(UxSpeedButtonGui, AHeldButtonRepeatsInRealTime) {
  auto* b = AddButton(10, 10);
  b->SetAllowTimer(true);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  MouseDown(b, 5, 5);
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 1050) QTest::qWait(5);
  MouseUp(b, 5, 5);
  EXPECT_GE(clicks, 5);
  EXPECT_LE(clicks, 9);
}

TEST_F(UxSpeedButtonGui, AnExceptionInATickStopsTheTimerAndIsReportedOnce) {
  auto* b = AddButton(10, 10);
  b->SetAllowTimer(true);
  b->OnClick = [&](TObject*) { throw std::runtime_error("boom"); };
  ShowForm();
  MouseDown(b, 5, 5);
  b->RepeatTimer()->FireTick();
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
  EXPECT_EQ(errors, (std::vector<std::string>{"boom"}));
  b->OnClick = nullptr;
  MouseUp(b, 5, 5);
}

TEST_F(UxSpeedButtonGui, LayoutPlacesGlyphTextAndMark) {
  auto* b = AddButton(10, 10);
  TBitmap pic;
  b->SetGlyph(Picture(pic, 10, 10));
  TCanvas* c = b->Canvas();
  TUxButtonGlyph* g = b->ButtonGlyph();
  TRect client = Rect(0, 0, 40, 30);
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
    bool mark;
    int gx, gy;
  } cases[] = {
      {blGlyphLeft, -1, -1, false, 15, 10}, {blGlyphLeft, 2, -1, false, 2, 10},  {blGlyphRight, -1, 1, false, 15, 10},
      {blGlyphRight, 4, 1, false, 26, 10},  {blGlyphTop, -1, -1, false, 15, 10}, {blGlyphTop, 3, 1, false, 15, 3},
      {blGlyphBottom, 3, 1, false, 15, 17}, {blGlyphLeft, -1, -1, true, 7, 10}, {blGlyphTop, -1, 1, true, 12, 10},
  };
  for (const Case& k : cases) {
    TButtonLayoutResult r = g->CalcButtonLayout(c, client, "", k.layout, k.margin, k.spacing, k.mark);
    EXPECT_EQ(r.glyphPos, Point(k.gx, k.gy)) << k.layout << " " << k.margin << " " << k.spacing << " " << k.mark;
    if (k.mark) {
      EXPECT_EQ(r.markPos, Point(k.gx + 11, k.gy + 5));
    }
  }
  // Glyph and caption share the free space in thirds.
  int tw = c->TextWidth("Ab");
  TButtonLayoutResult r = g->CalcButtonLayout(c, Rect(0, 0, 60, 30), "Ab", blGlyphLeft, -1, -1, false);
  int third = (60 - 10 - tw) / 3;
  EXPECT_EQ(r.glyphPos.x, third);
  EXPECT_EQ(r.textBounds.Left, third + 10 + third);
  // A caption without a glyph gets the mark 3 pixels right of it.
  TBitmap empty;
  b->SetGlyph(&empty);
  r = g->CalcButtonLayout(c, Rect(0, 0, 60, 30), "Ab", blGlyphLeft, -1, 0, true);
  EXPECT_EQ(r.textBounds.Right - r.textBounds.Left, tw);
  EXPECT_EQ(r.markPos.x, r.textBounds.Right + 3);
}

TEST_F(UxSpeedButtonGui, LongCaptionsAreShortenedWithEllipsis) {
  auto* b = AddButton(10, 10, 60, 25);
  AnsiString text = Cz("Příliš žluťoučký kůň");
  TCanvas* c = b->Canvas();
  for (int width : {10, 40, 80}) {
    AnsiString s = ShortenToWidth(c, text, width);
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.substr(s.size() - 3), "...");
    EXPECT_EQ(text.compare(0, s.size() - 3, s, 0, s.size() - 3), 0);
    if (s.size() > 3) {
      EXPECT_LE(c->TextWidth(s), width);
    }
  }
  EXPECT_EQ(ShortenToWidth(c, "ab", 1000), "ab");
}

TEST_F(UxSpeedButtonGui, FacesAndTheDropDownMarkByPixels) {
  auto* up = AddButton(10, 10, 30, 30);
  auto* down = AddButton(50, 10, 30, 30);
  down->SetGroupIndex(1);
  down->SetDown(true);
  auto* flat = AddButton(90, 10, 30, 30);
  flat->SetFlat(true);
  auto* menuButton = AddButton(130, 10, 30, 30);
  auto* menu = new TPopupMenu(form);
  menuButton->SetDropDownMenu(menu);
  ShowForm();
  const TColor hi = ColorToRGB(clBtnHighlight), frame = ColorToRGB(clWindowFrame), sh = ColorToRGB(clBtnShadow);
  QImage u = Grab(up), d = Grab(down), f = Grab(flat), m = Grab(menuButton);
  EXPECT_EQ(PixelAt(u, 0, 0), hi);
  EXPECT_EQ(PixelAt(u, 29, 29), frame);
  EXPECT_EQ(PixelAt(u, 28, 28), sh);
  EXPECT_EQ(PixelAt(d, 0, 0), frame);
  EXPECT_EQ(PixelAt(d, 29, 29), hi);
  EXPECT_EQ(PixelAt(d, 1, 1), sh);
  EXPECT_GT(CountColor(d, Rect(3, 3, 27, 27), hi), 100);  // the checkered fill
  EXPECT_EQ(PixelAt(f, 0, 0), ColorToRGB(clBtnFace));     // flat and the mouse outside: no frame
  EXPECT_EQ(CountColor(m, Rect(2, 2, 28, 28), ColorToRGB(clBtnText)), 16);
}

TEST_F(UxSpeedButtonGui, TheDropDownMenuOpensAtTheButtonAndASecondPressOnlyClosesIt) {
  auto* b = AddButton(10, 10, 30, 25);
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(menu);
  item->SetCaption("Volba");
  menu->Items()->Add(item);
  b->SetDropDownMenu(menu);
  int clicks = 0, popups = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  menu->OnPopup = [&](TObject*) { ++popups; };
  ShowForm();
  MouseDown(b, 5, 5);
  EXPECT_TRUE(menu->Showing());
  EXPECT_TRUE(b->MenuTracking());
  TPoint expected = b->ClientToScreen(Point(-1, 25));
  EXPECT_EQ(menu->Items()->SubMenu()->geometry().topLeft(), QPoint(expected.x, expected.y));
  MouseUp(b, 5, 5);
  EXPECT_EQ(clicks, 0);
  MouseClick(b, 5, 5);
  EXPECT_FALSE(menu->Showing());
  EXPECT_FALSE(b->MenuTracking());
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, 0);
}

TEST_F(UxSpeedButtonGui, AnActionDrivesDownAndLendsItsPicture) {
  auto* images = new TImageList(form);
  images->SetWidth(8);
  images->SetHeight(8);
  TBitmap pic;
  images->AddMasked(Picture(pic, 8, 8, clRed), clNone);
  auto* list = new TActionList(form);
  list->SetImages(images);
  auto* action = new TAction(form);
  action->SetActionList(list);
  action->SetCaption("Filtr");
  action->SetImageIndex(0);
  auto* b = AddButton(10, 10);
  b->SetGroupIndex(3);
  b->SetAllowAllUp(true);
  int executed = 0;
  action->OnExecute = [&](TObject*) { ++executed; };
  b->SetAction(action);
  EXPECT_EQ(b->Caption(), "Filtr");
  EXPECT_EQ(b->Glyph()->Width(), 8);
  EXPECT_EQ(b->ButtonGlyph()->TransparentColor(), clFuchsia);
  action->SetChecked(true);
  EXPECT_TRUE(b->Down());
  action->SetChecked(false);
  EXPECT_FALSE(b->Down());
  b->Click();
  EXPECT_EQ(executed, 1);
  int live = TUxSpeedButton::LiveCount();
  delete b;
  EXPECT_EQ(TUxSpeedButton::LiveCount(), live - 1);
}

TEST_F(UxSpeedButtonGui, HelpersPaintWhatLiesUnderAControlAndEmbossImages) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 100, 60);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clRed);
  auto* below = new TUxSpeedButton(form);  // a graphic control before the button, overlapping it
  below->SetParent(panel);
  below->SetBounds(0, 0, 30, 30);
  auto* b = new TUxSpeedButton(form);
  b->SetParent(panel);
  b->SetBounds(20, 20, 25, 25);
  ShowForm();
  TBitmap under;
  under.SetSize(25, 25);
  PaintParentBackground(b, &under);
  EXPECT_EQ(PixelOf(&under, 20, 20), clRed);
  EXPECT_EQ(PixelOf(&under, 9, 9), ColorToRGB(clWindowFrame));  // the other button's bottom-right frame
  TBitmap image;
  Picture(image, 4, 4, clWhite);
  image.Canvas()->SetPixels(1, 1, clBlack);
  image.SetTransparentColor(clWhite);
  TBitmap target;
  Picture(target, 6, 6, clLime);
  DrawDisabledImage(target.Canvas(), 0, 0, &image);
  EXPECT_EQ(PixelOf(&target, 1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelOf(&target, 2, 2), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(PixelOf(&target, 0, 0), clLime);
  EXPECT_TRUE(ActiveWindowInThread());
  EXPECT_EQ(RectWidth(Rect(2, 3, 10, 20)), 8);
  EXPECT_EQ(RectHeight(Rect(2, 3, 10, 20)), 17);
}

}  // namespace
