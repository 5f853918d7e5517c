// The shadow label by pixel facts of its rendering.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/system.h"
#include "ui/buttons/ux_label.h"

namespace {

// Bounding box of the pixels of one colour (Right/Bottom inclusive); Left
// -1 when there is none.
TRect BoxOf(const QImage& image, TColor color) {
  TRect box = Rect(-1, -1, -1, -1);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (PixelAt(image, x, y) == color) {
        if (box.Left < 0) box = Rect(x, y, x, y);
        box = Rect(std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x), std::max(box.Bottom, y));
      }
  return box;
}

struct LabelForm : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 400, 300);
    form->SetColor(clWhite);
  }
  void TearDown() override { delete form; }
  TUxLabel* AddLabel(int left, int top, const char* caption) {
    auto* l = new TUxLabel(form);
    l->SetParent(form);
    l->SetLeft(left);
    l->SetTop(top);
    l->Font()->SetHeight(-20);
    l->Font()->SetStyle({fsBold});
    l->Font()->SetColor(clBlack);
    l->SetCaption(Cz(caption));
    return l;
  }
  void ShowForm() {
    form->Show();
    Application->ProcessMessages();
  }
};

using UxLabelGui = LabelForm;

TEST_F(UxLabelGui, TheShadowLiesTowardsItsPositionBySize) {
  auto* l = AddLabel(20, 20, "IH");
  EXPECT_TRUE(l->AutoSize());
  EXPECT_EQ(l->ShadowColor(), clBtnHighlight);
  EXPECT_EQ(l->Color(), clWhite);  // the parent's colour
  l->SetShadowColor(clRed);
  ShowForm();
  for (int size : {1, 2})
    for (TShadowPosition pos : {spLeftTop, spLeftBottom, spRightBottom, spRightTop}) {
      l->SetShadowSize(size);
      l->SetShadowPos(pos);
      Application->ProcessMessages();
      QImage shot = Grab(l);
      TRect text = BoxOf(shot, clBlack), shadow = BoxOf(shot, clRed);
      ASSERT_GE(text.Left, 0);
      ASSERT_GE(shadow.Left, 0);
      int dx = pos == spLeftTop || pos == spLeftBottom ? -size : size;
      int dy = pos == spLeftTop || pos == spRightTop ? -size : size;
      if (dx < 0) {
        EXPECT_EQ(shadow.Left, text.Left + dx) << pos << " " << size;
      } else {
        EXPECT_EQ(shadow.Right, text.Right + dx) << pos << " " << size;
      }
      if (dy < 0) {
        EXPECT_EQ(shadow.Top, text.Top + dy) << pos << " " << size;
      } else {
        EXPECT_EQ(shadow.Bottom, text.Bottom + dy) << pos << " " << size;
      }
    }
}

TEST_F(UxLabelGui, ADisabledLabelWithoutShadowLooksEngraved) {
  form->SetColor(clYellow);
  auto* l = AddLabel(20, 20, "IH");
  l->SetShadowSize(0);
  l->SetEnabled(false);
  ShowForm();
  QImage shot = Grab(l);
  TRect grey = BoxOf(shot, ColorToRGB(clGrayText)), light = BoxOf(shot, ColorToRGB(clBtnHighlight));
  ASSERT_GE(grey.Left, 0);
  ASSERT_GE(light.Left, 0);
  EXPECT_EQ(light.Right, grey.Right + 1);
  EXPECT_EQ(light.Bottom, grey.Bottom + 1);
  EXPECT_EQ(BoxOf(shot, clBlack).Left, -1);
}

TEST_F(UxLabelGui, AutoSizeKeepsOneLineForAnEmptyCaptionAndTheRightEdgeWhenRightAligned) {
  auto* filled = AddLabel(20, 20, "Ab");
  auto* empty = AddLabel(20, 60, "");
  EXPECT_EQ(empty->Height(), filled->Height());
  EXPECT_GT(empty->Height(), 10);
  auto* right = AddLabel(100, 100, "Ab");
  right->SetAlignment(taRightJustify);
  int edge = right->Left() + right->Width();
  right->SetCaption("A much longer caption");
  EXPECT_EQ(right->Left() + right->Width(), edge);
  EXPECT_GT(right->Width(), filled->Width());
  filled->SetCaption("A much longer caption");
  EXPECT_EQ(filled->Left(), 20);
}

TEST_F(UxLabelGui, CentreAndBottomLayoutsMoveTheTextDown) {
  int tops[3];
  for (TTextLayout layout : {tlTop, tlCenter, tlBottom}) {
    auto* l = AddLabel(20 + 100 * layout, 20, "Ab");
    l->SetShadowSize(0);
    l->SetAutoSize(false);
    l->SetHeight(60);
    l->SetLayout(layout);
    ShowForm();
    QImage shot = Grab(l);
    TRect box = BoxOf(shot, clBlack);
    tops[layout] = box.Top;
    if (layout == tlBottom) {
      EXPECT_GE(box.Bottom, 50);
    }
  }
  EXPECT_LT(tops[tlTop], tops[tlCenter]);
  EXPECT_LT(tops[tlCenter], tops[tlBottom]);
}

TEST_F(UxLabelGui, TheAcceleratorFocusesItsControlAndShowFocusFramesTheText) {
  auto* other = new TEdit(form);
  other->SetParent(form);
  other->SetBounds(200, 20, 80, 21);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(200, 60, 80, 21);
  auto* l = AddLabel(20, 60, "&Název");
  l->SetFocusControl(edit);
  l->SetShowFocus(true);
  ShowForm();
  other->SetFocus();
  Application->ProcessMessages();
  QImage before = Grab(l);
  KeyClick(other, 'N', {ssAlt});
  EXPECT_EQ(form->ActiveControl(), edit);
  Application->ProcessMessages();
  QImage focused = Grab(l);
  // The frame's bottom row.
  TRect bottom = Rect(0, l->Height() - 1, l->Width(), l->Height());
  EXPECT_GT(CountOther(focused, bottom, {clWhite}), 0);
  EXPECT_EQ(CountOther(before, bottom, {clWhite}), 0);
  other->SetFocus();
  Application->ProcessMessages();
  QImage after = Grab(l);
  EXPECT_EQ(CountOther(after, bottom, {clWhite}), 0);
}

}  // namespace
