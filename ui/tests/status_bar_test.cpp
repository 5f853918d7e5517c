// The status bar and its panes on the offscreen platform: look by pixel
// facts, the size grip, simple mode, scaling, and the shared timers.
#include "ui/panels/status_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSizeGrip>

#include <memory>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/panels/status_panes.h"
#include "ui/panels/theme_services.h"

namespace {

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits up to ms for condition; true when it held.
template <class F>
bool WaitFor(F condition, int ms) {
  QElapsedTimer t;
  t.start();
  while (!condition() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

struct BarForm {
  std::unique_ptr<TForm> form;
  TFxStatusBar* bar;
  explicit BarForm(int width = 400, TFormBorderStyle border = bsSizeable) {
    form.reset(NewForm<TForm>(nullptr));
    form->SetBorderStyle(border);
    form->SetBounds(10, 10, width + 8, 200);
    bar = new TFxStatusBar(form.get());
    bar->SetParent(form.get());
  }
  template <class P>
  P* Pane(int width, TAlign align = alLeft) {
    auto* p = new P(form.get());
    p->SetParent(bar);
    p->SetWidth(width);
    p->SetAlign(align);
    return p;
  }
};

TEST(StatusBarGui, AutoStyleAndClientRectangles) {
  BarForm f;
  TFxStatusBar* bar = f.bar;
  EXPECT_EQ(bar->Align(), alBottom);
  EXPECT_EQ(bar->Height(), 19);
  EXPECT_EQ(bar->BorderOuter(), fsNone);
  EXPECT_EQ(bar->BorderInner(), fsNone);
  EXPECT_EQ(bar->BorderWidth(), 0);
  EXPECT_TRUE(bar->AutoStyle());
  bar->SetBorderOuter(fsNone);
  EXPECT_TRUE(bar->AutoStyle()) << "the same value changes nothing";
  bar->SetBorderOuter(fsRaised);
  EXPECT_FALSE(bar->AutoStyle());
  bar->ApplyAutoStyle();
  EXPECT_EQ(bar->BorderOuter(), fsNone);
  EXPECT_FALSE(bar->AutoStyle()) << "applying keeps the flag as it was";

  struct Case {
    bool library;
    bool simple;
    TRect expected;
  };
  const int w = bar->Width();
  const Case cases[] = {
      {true, false, Rect(0, 0, w, 19)},
      {true, true, Rect(1, 1, w - 1, 19)},
      {false, false, Rect(-1, 1, w + 1, 20)},
      {false, true, Rect(0, 2, w, 20)},
  };
  for (const Case& c : cases) {
    FreeSharedThemeServices();
    SetThemeLibraryPresent(c.library);
    bar->SetSimpleStatus(c.simple);
    EXPECT_EQ(bar->BarClientRect(), c.expected) << c.library << c.simple;
    EXPECT_EQ(SharedThemeServices()->ThemesAvailable(), c.library);
  }
  FreeSharedThemeServices();
  SetThemeLibraryPresent(true);
}

TEST(StatusBarGui, SimpleModeHidesThePanesAndShowsTheCaption) {
  BarForm f;
  auto* pane = f.Pane<TFxStatusPane>(100);
  pane->SetCaption("pane");
  f.form->Show();
  f.bar->SetSimpleCaption("Simple text");
  f.bar->SetSimpleStatus(true);
  EXPECT_FALSE(pane->Visible());
  QImage img = Grab(f.bar);
  EXPECT_GT(CountColor(img, Rect(2, 2, 120, 17), clBlack), 10);
  f.bar->SetSimpleStatus(false);
  EXPECT_TRUE(pane->Visible());
}

TEST(StatusBarGui, PanesScaleWithTheBar) {
  struct Case {
    bool scale;
    int first, second;
  };
  for (const Case& c : {Case{true, 110, 330}, Case{false, 100, 300}}) {
    BarForm f(400);
    auto* a = f.Pane<TFxStatusPane>(100);
    auto* b = f.Pane<TFxStatusPane>(300);
    ASSERT_EQ(f.bar->Width(), 400);
    f.bar->SetAutoScalePanes(c.scale);
    f.form->SetWidth(f.form->Width() + 40);
    ASSERT_EQ(f.bar->Width(), 440);
    EXPECT_EQ(a->Width(), c.first);
    EXPECT_EQ(b->Width(), c.second);
  }
  // A bar whose previous width was 0 scales nothing.
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  auto* bar = new TFxStatusBar(form.get());
  bar->SetAutoScalePanes(true);
  bar->SetWidth(0);
  auto* pane = new TFxStatusPane(form.get());
  pane->SetParent(bar);
  pane->SetWidth(50);
  bar->SetWidth(300);
  EXPECT_EQ(pane->Width(), 50);
}

TEST(StatusBarGui, SizeGripFollowsTheForm) {
  struct Case {
    TFormBorderStyle border;
    bool maximised;
    bool shown;
  };
  const Case cases[] = {{bsSizeable, false, true}, {bsSizeable, true, false}, {bsSingle, false, false},
                        {bsDialog, false, false}};
  for (const Case& c : cases) {
    BarForm f(300, c.border);
    f.form->Show();
    if (c.maximised) f.form->SetWindowState(wsMaximized);
    Pump(50);
    f.bar->Repaint();
    EXPECT_EQ(f.bar->SizeGripShown(), c.shown) << c.border << c.maximised;
    auto* grip = f.bar->Widget()->findChild<QSizeGrip*>();
    ASSERT_TRUE(grip);
    EXPECT_EQ(grip->isVisible(), c.shown);
  }
}

TEST(StatusBarGui, GripIsSixHighlightAndSixShadowSquares) {
  BarForm f(300);
  f.form->Show();
  Pump(20);
  QImage img = Grab(f.bar);
  const TRect corner = Rect(f.bar->Width() - 15, 0, f.bar->Width(), 19);
  // Each shadow square covers one pixel of its highlight square.
  EXPECT_EQ(CountColor(img, corner, clBtnHighlight), 6 * 3);
  EXPECT_EQ(CountColor(img, corner, clBtnShadow), 6 * 4);
  f.bar->SetShowSizeGrip(false);
  img = Grab(f.bar);
  EXPECT_EQ(CountColor(img, corner, clBtnShadow), 0);
}

TEST(StatusPaneGui, CaptionRectanglesAnchorsAndEmboss) {
  BarForm f(400);
  auto* pane = f.Pane<TFxStatusPane>(120);
  struct RectCase {
    TFrameStyle style;
    int inset;
  };
  for (RectCase c : {RectCase{fsNone, 1}, RectCase{fsFlat, 2}, RectCase{fsStatus, 2}, RectCase{fsBump, 3},
                     RectCase{fsRaised, 3}, RectCase{fsFlatBold, 3}}) {
    pane->SetFrameStyle(c.style);
    TRect r;
    pane->CaptionRect(r);
    EXPECT_EQ(r, Rect(c.inset, c.inset, 120 - c.inset, pane->Height() - c.inset)) << c.style;
  }
  // The clock pane leaves room for the grip when it reaches the bar's edge.
  auto* clock = f.Pane<TFxClockStatus>(100, alClient);
  TRect r;
  clock->CaptionRect(r);
  EXPECT_TRUE(clock->ReachesBarEdge());
  EXPECT_EQ(r.Right, clock->Width() - 2 - 12);

  f.form->Show();
  pane->SetFrameStyle(fsFlat);
  pane->SetCaption("Anchor");
  struct AnchorCase {
    TAlignment alignment;
    int rule;  // where the text's ink starts (left) or ends (right)
    bool left;
  };
  TRect cr;
  pane->CaptionRect(cr);
  for (AnchorCase c : {AnchorCase{taLeftJustify, cr.Left + 2 + 1, true},
                       AnchorCase{taRightJustify, cr.Right - 2 - 1 - 1, false}}) {
    pane->SetAlignment(c.alignment);
    QImage img = Grab(pane);
    const int ink = c.left ? FirstInkColumn(img, cr, pane->Color()) : LastInkColumn(img, cr, pane->Color());
    EXPECT_LE(std::abs(ink - c.rule), 1) << c.alignment << " ink " << ink;
  }
  pane->SetAlignment(taCenter);
  QImage img = Grab(pane);
  const int mid = (FirstInkColumn(img, cr, pane->Color()) + LastInkColumn(img, cr, pane->Color()) + 1) / 2;
  EXPECT_LE(std::abs(mid - (cr.Left + cr.Width() / 2)), 1);

  pane->SetEnabled(false);
  img = Grab(pane);
  EXPECT_GT(CountColor(img, cr, clBtnHighlight), 5);
  EXPECT_GT(CountColor(img, cr, clBtnShadow), 5);
  EXPECT_EQ(CountColor(img, cr, clWindowText), 0);
}

TEST(StatusPaneGui, AutoSizeMeasuresTheCaption) {
  BarForm f;
  auto* pane = f.Pane<TFxStatusPane>(100);
  pane->SetAutoSize(true);
  EXPECT_EQ(pane->Width(), 40) << "an empty caption takes the default width";
  pane->SetCaption("Hello");
  TBitmap b;
  b.SetSize(1, 1);
  b.Canvas()->SetFont(pane->Font());
  EXPECT_EQ(pane->Width(), b.Canvas()->TextWidth("Hello") + 2 * 1 + 2 + 6);
}

TEST(StatusPaneGui, KeyPanesFollowTheToggles) {
  BarForm f;
  auto* caps = f.Pane<TFxKeyStatus>(45);
  auto* num = f.Pane<TFxKeyStatus>(45);
  auto* scroll = f.Pane<TFxKeyStatus>(45);
  auto* insert = f.Pane<TFxKeyStatus>(60);
  num->SetKey(tkNumLock);
  scroll->SetKey(tkScrollLock);
  insert->SetKey(tkInsert);
  f.form->Show();
  for (Word vk : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL}) SetKeyToggledOverride(vk, 0);
  EXPECT_TRUE(WaitFor([&] { return caps->KeyOff() && num->KeyOff() && scroll->KeyOff(); }, 700));
  EXPECT_EQ(caps->KeyText(), "");
  EXPECT_EQ(insert->KeyText(), "Insert");
  for (Word vk : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL}) SetKeyToggledOverride(vk, 1);
  SetKeyToggledOverride(VK_INSERT, GetKeyToggled(VK_INSERT) ? 0 : 1);
  EXPECT_TRUE(WaitFor([&] { return !caps->KeyOff() && !num->KeyOff() && !scroll->KeyOff(); }, 600));
  EXPECT_EQ(caps->KeyText(), "CAPS");
  EXPECT_EQ(num->KeyText(), "NUM");
  EXPECT_EQ(scroll->KeyText(), "SCR");
  EXPECT_TRUE(WaitFor([&] { return insert->KeyText() == "Overwrite"; }, 600));
  caps->KeyStrings()->SetCapsLock("VELK");
  EXPECT_EQ(caps->KeyText(), "VELK");
  for (Word vk : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL, VK_INSERT}) SetKeyToggledOverride(vk, -1);
}

TEST(StatusPaneGui, OnePollingTimerForAllPanes) {
  BarForm f;
  auto* a = f.Pane<TFxClockStatus>(100);
  auto* b = f.Pane<TFxKeyStatus>(45);
  ASSERT_TRUE(TFxPollingList::Instance());
  EXPECT_EQ(a->Interval(), 500);
  a->SetInterval(40);
  EXPECT_EQ(b->Interval(), 40);
  int ticksA = 0, ticksB = 0;
  a->OnTimerExpired = [&](TObject*) { ++ticksA; };
  b->OnTimerExpired = [&](TObject*) { ++ticksB; };
  f.form->Show();
  EXPECT_TRUE(WaitFor([&] { return ticksA >= 2 && ticksB >= 2; }, 1000));
  b->SetActive(false);
  EXPECT_FALSE(a->Active());
  Pump(60);
  const int frozen = ticksA;
  Pump(150);
  EXPECT_EQ(ticksA, frozen);
  b->SetActive(true);
  // Panes freed inside their own handler, the last one too: the list and
  // its timer go after the tick.
  a->OnTimerExpired = [&](TObject*) { delete a; a = nullptr; };
  b->OnTimerExpired = [&](TObject*) { delete b; b = nullptr; };
  EXPECT_TRUE(WaitFor([&] { return !a && !b; }, 1000));
  Pump(20);
  EXPECT_EQ(TFxPollingList::Instance(), nullptr);
  auto* c = f.Pane<TFxClockStatus>(100);
  EXPECT_EQ(c->Interval(), 500) << "a new list starts at 500 ms";
}

TEST(StatusPaneGui, BlinkingPanesAlternateTogether) {
  BarForm f;
  auto* one = f.Pane<TFxStatusPane>(50);
  auto* two = f.Pane<TFxStatusPane>(50);
  auto* steady = f.Pane<TFxStatusPane>(50);
  one->SetBlinking(true);
  two->SetBlinking(true);
  auto* list = TFxBlinkingControlsList::Instance();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->BlinkState(), 1);
  one->SetBlinkIntervalOn(300);
  one->SetBlinkIntervalOff(200);
  EXPECT_EQ(two->BlinkIntervalOn(), 300);
  list->Tick();
  EXPECT_EQ(list->BlinkState(), 0);
  EXPECT_EQ(list->Timer()->Interval(), 200u);
  EXPECT_EQ(one->TextColor(), one->Font()->Color());
  list->Tick();
  EXPECT_EQ(list->BlinkState(), 1);
  EXPECT_EQ(list->Timer()->Interval(), 300u);
  EXPECT_EQ(one->TextColor(), clHighlight);
  EXPECT_EQ(two->TextColor(), clHighlight);
  EXPECT_EQ(steady->TextColor(), steady->Font()->Color());
  one->SetBlinking(false);
  EXPECT_EQ(one->TextColor(), one->Font()->Color());
}

TEST(StatusPaneGui, ClockTexts) {
  BarForm f;
  auto* clock = f.Pane<TFxClockStatus>(150);
  TDateTime fixed = EncodeDate(2026, 12, 8);
  clock->OnGetDateTime = [&](TObject*, TDateTime& value) { value = fixed; };
  clock->UpdateClock();
  EXPECT_EQ(clock->LastText(), "08.12.2026");
  fixed = EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0);
  clock->UpdateClock();
  EXPECT_EQ(clock->LastText(), "08.12.2026 9:05:07");
  EXPECT_EQ(clock->Caption(), "08.12.2026 9:05:07");
  clock->SetFormat("hh:nn");
  EXPECT_EQ(clock->LastText(), "09:05");
}

}  // namespace
