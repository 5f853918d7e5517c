// The combo edit over a test drop-down of 100 x 80 that holds a text:
// placement on the screen, opening and closing by keys, mouse and focus,
// the read-only rules, layout and the button's pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QWidget>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/resources.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/combo_edit/combo_edit.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

class TextPopup : public TPopupWindow {
 public:
  explicit TextPopup(TComponent* owner) : TPopupWindow(owner) { SetBounds(0, 0, 100, 80); }
  Variant GetValue() const override { return value; }
  void SetValue(const Variant& v) override {
    received = v;
    value = Variant("picked");
  }
  Variant value;
  Variant received;
};

class TestCombo : public TCustomComboEdit {
 public:
  explicit TestCombo(TComponent* owner) : TCustomComboEdit(owner) {
    popup = new TextPopup(this);
    SetPopup(popup);
  }
  TextPopup* popup;
  bool useDeditBitmap = false;
  mutable TBitmap bitmap;

 protected:
  const TBitmap* GetDefaultBitmap() const override {
    if (!useDeditBitmap) return nullptr;
    RegisterGridAndDatePictures();
    bitmap.LoadFromResourceName("DEDITBMP");
    return &bitmap;
  }
  int DefaultNumGlyphs() const override { return 2; }
};

struct ComboEditGui : ::testing::Test {
  TForm* form = nullptr;
  TestCombo* edit = nullptr;
  TEdit* other = nullptr;
  TButton* ok = nullptr;
  TButton* cancel = nullptr;
  int okClicks = 0, cancelClicks = 0, changes = 0;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 320, 200);
    edit = new TestCombo(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 150, 21);
    edit->OnChange = [this](TObject*) { ++changes; };
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 60, 100, 21);
    ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(10, 100, 75, 25);
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    cancel = new TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(100, 100, 75, 25);
    cancel->SetCancel(true);
    cancel->OnClick = [this](TObject*) { ++cancelClicks; };
    form->Show();
    Application->ProcessMessages();
    edit->SetFocus();
  }
  void TearDown() override { delete form; }

  QRect PopupGeometry() const { return edit->popup->Widget()->geometry(); }
  TPoint EditOnScreen() const { return form->ClientToScreen(Point(edit->Left(), edit->Top())); }
  void ClickButton() {
    TEditButton* b = edit->Button();
    MouseClick(b, b->Width() / 2, b->Height() / 2);
  }
};

TEST_F(ComboEditGui, Defaults) {
  EXPECT_TRUE(edit->DirectInput());
  EXPECT_FALSE(edit->ReadOnly());
  EXPECT_EQ(edit->ClickKey(), ShortCut(VK_DOWN, {ssAlt}));
  EXPECT_EQ(edit->PopupAlign(), epaRight);
  EXPECT_EQ(edit->ButtonWidth(), 21);
  EXPECT_EQ(edit->GlyphKind(), gkCustom);
  EXPECT_EQ(edit->Height(), 21);
}

TEST_F(ComboEditGui, TheDropDownOpensBelowOrAboveAndStaysOnTheScreen) {
  const int sw = Screen->Width(), sh = Screen->Height();
  ClickButton();
  ASSERT_TRUE(edit->PopupVisible());
  TPoint at = EditOnScreen();
  EXPECT_EQ(PopupGeometry().topLeft(), QPoint(at.x + 150 - 100, at.y + 21));  // right edges line up
  edit->PopupCloseUp(false);
  edit->SetPopupAlign(epaLeft);
  ClickButton();
  EXPECT_EQ(PopupGeometry().topLeft(), QPoint(at.x, at.y + 21));
  edit->PopupCloseUp(false);

  struct Case {
    int left, top;
    TPopupAlign align;
    int x, y;  // expected; -1: computed from the edit
  };
  // Near the bottom: above. Right alignment past the left edge: left edges.
  // Left alignment past the right edge: right edges. Finally clamped.
  const Case cases[] = {
      {100, sh - 60, epaRight, -1, -2},
      {-100, 100, epaRight, 0, -1},
      {sw - 60, 100, epaLeft, -1, -1},
      {sw - 140, 100, epaRight, -1, -1},
  };
  for (const Case& c : cases) {
    form->SetBounds(c.left, c.top, 320, 200);
    edit->SetPopupAlign(c.align);
    Application->ProcessMessages();
    edit->ButtonClick();
    ASSERT_TRUE(edit->PopupVisible());
    at = EditOnScreen();
    QRect g = PopupGeometry();
    if (c.y == -2)
      EXPECT_EQ(g.top(), at.y - 80);
    else
      EXPECT_EQ(g.top(), at.y + 21);
    int expectedX = c.x >= 0                  ? c.x
                    : c.align == epaRight     ? at.x + 150 - 100
                    : at.x + 100 > sw         ? at.x + 150 - 100
                                              : at.x;
    EXPECT_EQ(g.left(), std::max(0, std::min(expectedX, sw - 100))) << c.left << " at " << at.x;
    EXPECT_LE(g.right() + 1, sw) << at.x;
    edit->PopupCloseUp(false);
  }
}

TEST_F(ComboEditGui, KeysOpenAcceptAndCancel) {
  edit->SetText("abc");
  KeyClick(edit, VK_DOWN, {ssAlt});
  ASSERT_TRUE(edit->PopupVisible());
  EXPECT_EQ(edit->popup->received.AsString(), "abc");
  EXPECT_TRUE(edit->Focused());
  EXPECT_FALSE(edit->CaretShown());
  KeyClick(edit, VK_RETURN);
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "picked");
  EXPECT_TRUE(edit->Modified());
  EXPECT_TRUE(edit->CaretShown());
  edit->SetText("");
  KeyClick(edit, VK_DOWN, {ssAlt});
  EXPECT_TRUE(edit->popup->received.IsNull());
  KeyClick(edit, VK_ESCAPE);
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(okClicks + cancelClicks, 0);
  // Without the drop-down the form's buttons take Enter and Esc.
  KeyClick(edit, VK_RETURN);
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(cancelClicks, 1);
}

TEST_F(ComboEditGui, FocusLossAndPressesCloseWithoutAccepting) {
  edit->ButtonClick();
  other->SetFocus();
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_TRUE(other->Focused());
  EXPECT_EQ(edit->Text(), "");
  edit->SetFocus();
  edit->ButtonClick();
  MouseClick(edit, 5, 5);
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "");
  // A click inside the drop-down accepts its value.
  edit->ButtonClick();
  MouseClick(edit->popup, 50, 40);
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "picked");
  EXPECT_TRUE(edit->Focused());
  edit->SetText("");
  // A press on the button while open accepts and does not reopen.
  edit->ButtonClick();
  ClickButton();
  EXPECT_FALSE(edit->PopupVisible());
  EXPECT_EQ(edit->Text(), "picked");
}

TEST_F(ComboEditGui, OnChangeWaitsWhileTheDropDownShows) {
  edit->ButtonClick();
  changes = 0;
  edit->SetText("while open");
  EXPECT_EQ(changes, 0);
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(changes, 1);
}

TEST_F(ComboEditGui, WithoutDirectInputOnlyTheDropDownChangesTheText) {
  edit->SetDirectInput(false);
  edit->SetText("abc");
  QApplication::clipboard()->setText("zz");
  TypeText(edit, "x");
  KeyClick(edit, 'V', {ssCtrl});
  KeyClick(edit, VK_INSERT, {ssShift});
  edit->SelectAll();
  KeyClick(edit, 'X', {ssCtrl});
  EXPECT_EQ(edit->Text(), "abc");
  edit->ButtonClick();
  KeyClick(edit, VK_RETURN);
  EXPECT_EQ(edit->Text(), "picked");
}

TEST_F(ComboEditGui, AReadOnlyEditsButtonIsInertUnlessAlwaysEnabled) {
  int clicks = 0;
  edit->OnButtonClick = [&](TObject*) { ++clicks; };
  edit->SetReadOnly(true);
  ClickButton();
  KeyClick(edit, VK_DOWN, {ssAlt});
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(edit->PopupVisible());
  edit->SetAlwaysEnable(true);
  ClickButton();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(edit->PopupVisible());  // a read-only edit drops nothing down
}

TEST_F(ComboEditGui, LayoutForEachBorderAndTheMinimumHeight) {
  struct Case {
    TBorderStyle border;
    bool ctl3d;
    TRect container;
  };
  for (Case c : {Case{bsSingle, true, Bounds(150 - 21 - 4, 0, 21, 17)}, Case{bsSingle, false, Bounds(150 - 21 - 2, 2, 21, 17)},
                 Case{bsNone, true, Bounds(150 - 21, 0, 21, 21)}}) {
    edit->SetCtl3D(c.ctl3d);
    edit->SetBorderStyle(c.border);
    edit->SetBounds(10, 10, 150, 21);
    TRect r = edit->ButtonContainer()->BoundsRect();
    EXPECT_EQ(r.Left, c.container.Left);
    EXPECT_EQ(r.Top, c.container.Top);
    EXPECT_EQ(r.Width(), 21);
    EXPECT_EQ(r.Height(), c.container.Height());
  }
  edit->SetBounds(10, 10, 150, 5);
  EXPECT_EQ(edit->Height(), edit->MinHeight());
  EXPECT_GT(edit->MinHeight(), 5);
  edit->SetButtonWidth(1);
  EXPECT_FALSE(edit->ButtonContainer()->Visible());
}

TEST_F(ComboEditGui, GlyphKinds) {
  edit->SetGlyphKind(gkEllipsis);
  Application->ProcessMessages();
  QImage img = Grab(edit->Button());
  // Three dots of 2 x 2 black pixels in the middle of the button.
  EXPECT_EQ(CountColor(img, Rect(2, 2, img.width() - 2, img.height() - 2), clBlack), 12);
  edit->useDeditBitmap = true;
  edit->SetGlyphKind(gkDefault);
  EXPECT_EQ(edit->ButtonWidth(), 21);  // 14 + 6 < 21
  EXPECT_EQ(edit->NumGlyphs(), 2);
  edit->SetGlyphKind(gkDropDown);
  EXPECT_EQ(edit->ButtonWidth(), VerticalScrollBarWidth());
  TBitmap own;
  own.SetSize(8, 8);
  edit->SetGlyph(&own);
  EXPECT_EQ(edit->GlyphKind(), gkCustom);
}

}  // namespace
