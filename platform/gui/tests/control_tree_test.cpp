// The control tree: inherited fonts and colours, bounds and resize
// notices, drawing outside Paint, hints, focus when controls go, pop-ups
// and their cancel-mode notices, edits and combo boxes in detail.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/gui/widget_bridge.h"
#include "platform/rtl/system.h"

namespace {

struct TreeGui : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(30, 30, 400, 300);
  }
  void TearDown() override { delete form; }
  template <class T>
  T* Add(int left, int top, int width, int height, TWinControl* parent = nullptr) {
    auto* c = new T(form);
    c->SetParent(parent ? parent : form);
    c->SetBounds(left, top, width, height);
    return c;
  }
  void ShowForm() {
    form->Show();
    Application->ProcessMessages();
  }
};

TEST_F(TreeGui, FontsAndColoursFollowTheParentUntilSetOwnValues) {
  auto* panel = Add<TPanel>(0, 0, 200, 100);
  auto* label = Add<TLabel>(5, 5, 50, 17, panel);
  auto* edit = Add<TEdit>(5, 30, 80, 21, panel);
  form->Font()->SetName("Arial");
  form->Font()->SetHeight(-13);
  EXPECT_EQ(panel->Font()->Height(), -13);
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_TRUE(label->ParentFont());
  // An own font stops the inheritance for that control only.
  label->Font()->SetStyle({fsBold});
  EXPECT_FALSE(label->ParentFont());
  form->Font()->SetHeight(-11);
  EXPECT_EQ(label->Font()->Height(), -13);
  EXPECT_EQ(edit->Font()->Height(), -11);
  label->SetParentFont(true);
  EXPECT_EQ(label->Font()->Height(), -11);
  EXPECT_FALSE(label->Font()->Style().Contains(fsBold));
  // Labels take the parent's colour; edits and panels keep their own.
  panel->SetColor(clYellow);
  EXPECT_EQ(label->Color(), clYellow);
  EXPECT_EQ(edit->Color(), clWindow);
  edit->SetParentColor(true);
  EXPECT_EQ(edit->Color(), clYellow);
}

TEST_F(TreeGui, BoundsResizeNoticesAndScreenCoordinates) {
  auto* panel = Add<TPanel>(10, 20, 200, 100);
  auto* edit = Add<TEdit>(5, 6, 80, 21, panel);
  int resizes = 0;
  panel->OnResize = [&](TObject*) { ++resizes; };
  panel->SetBounds(10, 20, 200, 100);
  EXPECT_EQ(resizes, 0);
  panel->SetLeft(15);
  EXPECT_EQ(resizes, 0);
  panel->SetWidth(220);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(panel->BoundsRect(), Rect(15, 20, 235, 120));
  ShowForm();
  TPoint origin = form->ClientOrigin();
  EXPECT_EQ(edit->ClientToScreen(Point(0, 0)), Point(origin.x + 15 + 5 + 2, origin.y + 20 + 6 + 2));
  EXPECT_EQ(edit->ScreenToClient(edit->ClientToScreen(Point(3, 4))), Point(3, 4));
  panel->SetClientWidth(100);
  EXPECT_EQ(panel->Width(), 100);
  edit->SetClientHeight(17);
  EXPECT_EQ(edit->Height(), 21);
}

// Paints a red square; records paints.
class Square : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0;
  std::vector<TControl*> cancelled;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(ClientRect());
  }
  void CancelMode(TControl* sender) override { cancelled.push_back(sender); }
};

TEST_F(TreeGui, DrawingOutsidePaintStaysUntilTheAreaIsInvalidated) {
  auto* sq = Add<Square>(10, 10, 40, 40);
  ShowForm();
  sq->Repaint();
  int paints = sq->paints;
  sq->Canvas()->Brush()->SetColor(clBlue);
  sq->Canvas()->FillRect(Rect(0, 0, 10, 10));
  Application->ProcessMessages();
  QImage img = Grab(sq);
  EXPECT_EQ(sq->paints, paints);
  EXPECT_EQ(PixelAt(img, 5, 5), clBlue);
  EXPECT_EQ(PixelAt(img, 20, 20), clRed);
  EXPECT_EQ(sq->Canvas()->Pixels(5, 5), clBlue);
  sq->Invalidate();
  img = Grab(sq);
  EXPECT_GT(sq->paints, paints);
  EXPECT_EQ(PixelAt(img, 5, 5), clRed);
}

TEST_F(TreeGui, HintsShowAsToolTipsWhenShowHintHolds) {
  auto* panel = Add<TPanel>(0, 0, 200, 100);
  auto* edit = Add<TEdit>(5, 5, 80, 21, panel);
  edit->SetHint(Cz("Datum dokladu|Datum, kdy byl doklad vystaven"));
  EXPECT_TRUE(edit->Widget()->toolTip().isEmpty());
  panel->SetShowHint(true);
  EXPECT_TRUE(edit->ShowHint());
  EXPECT_EQ(edit->Widget()->toolTip().toStdString(), "Datum dokladu");
  edit->SetShowHint(false);
  EXPECT_TRUE(edit->Widget()->toolTip().isEmpty());
  EXPECT_FALSE(edit->ParentShowHint());
}

TEST_F(TreeGui, HidingDisablingOrFreeingTheFocusedControlLeavesNoDanglingFocus) {
  auto* a = Add<TEdit>(5, 5, 80, 21);
  auto* b = Add<TEdit>(5, 35, 80, 21);
  auto* c = Add<TEdit>(5, 65, 80, 21);
  ShowForm();
  b->SetFocus();
  b->SetVisible(false);
  EXPECT_EQ(form->ActiveControl(), nullptr);
  KeyClick(form, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), a);
  a->SetEnabled(false);
  EXPECT_EQ(form->ActiveControl(), nullptr);
  c->SetFocus();
  delete c;
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_THROW(a->SetFocus(), EInvalidOperation);
  // A form that is not shown cannot take the focus for a control.
  auto* hidden = NewForm<TForm>(Application);
  auto* e = new TEdit(hidden);
  e->SetParent(hidden);
  EXPECT_THROW(e->SetFocus(), EInvalidOperation);
  // ...but the control to focus may be named before showing.
  hidden->SetActiveControl(e);
  hidden->Show();
  Application->ProcessMessages();
  EXPECT_EQ(hidden->ActiveControl(), e);
  EXPECT_TRUE(e->Focused());
  delete hidden;
}

TEST_F(TreeGui, PopupsHearCancelModeForOutsidePressesAndFocusLeavingTheOwner) {
  auto* owner = Add<TEdit>(5, 5, 80, 21);
  auto* other = Add<TEdit>(5, 100, 80, 21);
  auto* popup = Add<Square>(0, 0, 60, 60);
  popup->SetVisible(false);
  ShowForm();
  owner->SetFocus();
  popup->ShowPopup(owner->ClientToScreen(Point(0, owner->Height())), owner);
  EXPECT_TRUE(popup->PopupShowing());
  EXPECT_TRUE(popup->Widget()->isWindow());
  EXPECT_TRUE(popup->Widget()->isVisible());
  EXPECT_EQ(form->ActiveControl(), owner);
  // A press inside the pop-up is no cancel.
  MouseClick(popup, 5, 5);
  EXPECT_TRUE(popup->cancelled.empty());
  MouseClick(other, 5, 5);
  ASSERT_EQ(popup->cancelled.size(), 2u);
  EXPECT_EQ(popup->cancelled[0], other);
  popup->HidePopup();
  EXPECT_FALSE(popup->Widget()->isWindow());
  EXPECT_FALSE(popup->PopupShowing());
}

TEST_F(TreeGui, EditSelectionModifiedAndChangeNotices) {
  auto* edit = Add<TEdit>(5, 5, 120, 21);
  auto* next = Add<TEdit>(5, 35, 120, 21);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("12345");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(edit->Modified());
  ShowForm();
  // Entering by keyboard selects all; typing replaces it.
  next->SetFocus();
  KeyClick(next, VK_TAB, {ssShift});
  EXPECT_EQ(edit->SelLength(), 5);
  TypeText(edit, "9");
  EXPECT_EQ(edit->Text(), "9");
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(changes, 2);
  edit->SetText("abcdef");
  edit->SetSelStart(2);
  edit->SetSelLength(3);
  EXPECT_EQ(edit->SelText(), "cde");
  edit->SetSelText("X");
  EXPECT_EQ(edit->Text(), "abXf");
  // Read-only edits take no typing; password edits hide their text.
  edit->SetReadOnly(true);
  TypeText(edit, "zz");
  EXPECT_EQ(edit->Text(), "abXf");
  edit->SetPasswordChar('*');
  EXPECT_EQ(static_cast<QLineEdit*>(edit->Widget())->echoMode(), QLineEdit::Password);
  // Entering by mouse keeps the caret where the press put it.
  next->SetFocus();
  MouseClick(edit, 3, 5);
  EXPECT_EQ(edit->SelLength(), 0);
}

TEST_F(TreeGui, ComboBoxStylesAndUserChanges) {
  auto* combo = Add<TComboBox>(5, 5, 150, 21);
  combo->Items()->SetCommaText("HP,Canon,Epson");
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "Canon");
  EXPECT_EQ(changes, 0);
  ShowForm();
  combo->SetFocus();
  KeyClick(combo, VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(changes, 1);
  combo->SetStyle(csDropDownList);
  combo->SetText("HP");
  EXPECT_EQ(combo->ItemIndex(), 0);
  combo->SetText("Xerox");
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->Items()->Delete(0);
  EXPECT_EQ(combo->Items()->Count(), 2);
  EXPECT_THROW(combo->Items()->Strings(5), EStringListError);
  int object = 7;
  combo->Items()->AddObject("Brother", &object);
  EXPECT_EQ(combo->Items()->Objects(2), &object);
  combo->SetDropDownCount(3);
  EXPECT_EQ(static_cast<QComboBox*>(combo->Widget())->maxVisibleItems(), 3);
}

TEST_F(TreeGui, LabelsSizeToTheirCaptionAndKeepTheRightEdgeWhenRightAligned) {
  auto* label = Add<TLabel>(100, 10, 65, 17);
  label->SetCaption(Cz("Přijatá nebo vydaná částka"));
  TCanvas measure;
  measure.Font()->Assign(label->Font());
  EXPECT_EQ(label->Width(), measure.TextWidth(Cz("Přijatá nebo vydaná částka")));
  EXPECT_EQ(label->Height(), measure.TextHeight("X"));
  int right = label->Left() + label->Width();
  label->SetAlignment(taRightJustify);
  label->SetCaption("Typ");
  EXPECT_EQ(label->Left() + label->Width(), right);
  label->SetCaption("");
  EXPECT_EQ(label->Height(), measure.TextHeight("X"));
  ShowForm();
  label->SetCaption("&Datum");
  QImage img = Grab(label);
  EXPECT_GT(CountColor(img, Rect(0, 0, label->Width(), label->Height()), clBlack), 0);
}

TEST_F(TreeGui, KeypadKeysHaveTheirOwnVirtualKeys) {
  auto* edit = Add<TEdit>(5, 5, 80, 21);
  std::vector<Word> keys;
  edit->OnKeyDown = [&](TObject*, Word& k, TShiftState) { keys.push_back(k); };
  ShowForm();
  for (Word k : std::vector<Word>{VK_ADD, VK_SUBTRACT, VK_OEM_PLUS, VK_OEM_MINUS, Word(VK_NUMPAD0 + 5), Word('5'), VK_F2, VK_INSERT})
    KeyClick(edit, k);
  EXPECT_EQ(keys, (std::vector<Word>{VK_ADD, VK_SUBTRACT, VK_OEM_PLUS, VK_OEM_MINUS, Word(VK_NUMPAD0 + 5), '5', VK_F2,
                                     VK_INSERT}));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {ssCtrl})), "Ctrl+Del");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F4, {ssShift})), "Shift+F4");
  Word key;
  TShiftState shift;
  ShortCutToKey(ShortCut('S', {ssAlt, ssCtrl}), key, shift);
  EXPECT_EQ(key, 'S');
  EXPECT_EQ(shift, (TShiftState{ssAlt, ssCtrl}));
}

}  // namespace

namespace {

// An edit that draws its own text right-aligned while it is not focused.
class RightEdit : public TEdit {
 public:
  using TEdit::TEdit;
  int paints = 0;

 protected:
  bool PaintsItself() const override { return !Focused(); }
  void Paint() override {
    ++paints;
    TCanvas* c = Canvas();
    c->Brush()->SetColor(clYellow);
    c->FillRect(ClientRect());
    c->Font()->Assign(Font());
    c->TextOut(ClientWidth() - c->TextWidth(Text()) - 1, 1, Text());
  }
};

TEST_F(TreeGui, EditPaintsItselfWhileItAsksAndNativelyOtherwise) {
  auto* edit = Add<RightEdit>(5, 5, 100, 21);
  auto* other = Add<TEdit>(5, 40, 100, 21);
  edit->SetText("12,50");
  ShowForm();
  other->SetFocus();
  QImage img = Grab(edit);
  EXPECT_GT(edit->paints, 0);
  // Inside the sunken border: the control's own background and its text
  // ending at the right.
  EXPECT_EQ(PixelAt(img, 5, 10), clYellow);
  int last = LastInkColumn(img, Rect(2, 2, 98, 19), clYellow);
  EXPECT_GE(last, 95);
  EXPECT_EQ(PixelAt(img, 0, 0), ColorToRGB(clBtnShadow));
  edit->SetFocus();
  int paints = edit->paints;
  img = Grab(edit);
  EXPECT_EQ(edit->paints, paints);
  EXPECT_EQ(CountColor(img, Rect(0, 0, 100, 21), clYellow), 0);
}

TEST_F(TreeGui, PanelBevelsAndCaption) {
  auto* panel = Add<TPanel>(5, 5, 120, 41);
  panel->SetBevelOuter(bvLowered);
  panel->SetCaption("Stav");
  panel->SetBorderWidth(2);
  auto* inner = Add<TPanel>(0, 0, 10, 10, panel);
  inner->SetAlign(alClient);
  EXPECT_EQ(inner->BoundsRect(), Rect(3, 3, 117, 38));
  inner->SetVisible(false);
  ShowForm();
  QImage img = Grab(panel);
  EXPECT_EQ(PixelAt(img, 10, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(img, 0, 20), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(img, 10, 40), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(PixelAt(img, 119, 20), ColorToRGB(clBtnHighlight));
  TCanvas m;
  m.Font()->Assign(panel->Font());
  int w = m.TextWidth("Stav");
  int first = FirstInkColumn(img, Rect(3, 3, 117, 38), clBtnFace);
  EXPECT_NEAR(first, (120 - w) / 2, 2);
}

TEST_F(TreeGui, AltLetterOpensTheMainMenuWhenNoControlTakesIt) {
  auto* menu = new TMainMenu(form);
  auto* doklad = new TMenuItem(form);
  doklad->SetCaption("&Doklad");
  auto* novy = new TMenuItem(form);
  novy->SetCaption(Cz("Nový doklad"));
  doklad->Add(novy);
  auto* konec = new TMenuItem(form);
  konec->SetCaption("&Konec");
  int ends = 0;
  konec->OnClick = [&](TObject*) { ++ends; };
  menu->Items()->Add(doklad);
  menu->Items()->Add(konec);
  form->SetMenu(menu);
  auto* edit = Add<TEdit>(5, 5, 80, 21);
  ShowForm();
  KeyClick(edit, 'K', {ssAlt});
  EXPECT_EQ(ends, 1);
  KeyClick(edit, 'D', {ssAlt});
  EXPECT_EQ(menu->Bar()->activeAction(), doklad->Action());
  if (QWidget* open = QApplication::activePopupWidget()) open->close();
  EXPECT_EQ(edit->Text(), "");
}

}  // namespace
