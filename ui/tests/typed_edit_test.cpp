// The own entry controls on a form with default and cancel buttons that
// count their clicks, driven through the real key and mouse pipeline with
// the clock pinned to 8 December 2026.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "ui/edits/combo_box_kuvet.h"
#include "ui/edits/edit_kuvet.h"
#include "ui/edits/vedit.h"

namespace {

struct EntryForm : ::testing::Test {
  TPinnedClock clock{EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0)};
  TForm* form = nullptr;
  TButton* ok = nullptr;
  TButton* cancel = nullptr;
  int okClicks = 0, cancelClicks = 0;
  std::vector<std::string> errors;
  std::vector<std::string> log;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(100, 100, 400, 300);
    Application->OnException = [this](TObject*, const std::exception& e) { errors.push_back(e.what()); };
    ok = Add<TButton>(200, 200);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { ++okClicks; };
    cancel = Add<TButton>(300, 200);
    cancel->SetCaption("Storno");
    cancel->SetCancel(true);
    cancel->OnClick = [this](TObject*) { ++cancelClicks; };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    delete form;
  }
  template <class T>
  T* Add(int left, int top, int width = 100, int height = 21) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(left, top, width, height);
    return c;
  }
  void ShowForm(TWinControl* focus) {
    form->Show();
    Application->ProcessMessages();
    focus->SetFocus();
  }
};

using TypedEditGui = EntryForm;

TEST_F(TypedEditGui, TheComboMovesOnWithEnterAndReportsItsTabExits) {
  auto* before = Add<TEdit>(10, 10);
  auto* combo = Add<TComboBoxKuvet>(10, 40);
  auto* after = Add<TEdit>(10, 70);
  combo->Items()->Add("jedna");
  int spaces = 0;
  std::vector<TShiftState> tabExits;
  combo->OnClickSpace = [&](TObject*) { ++spaces; };
  combo->OnTabExit = [&](TObject*, TShiftState s) { tabExits.push_back(s); };
  ShowForm(combo);
  KeyClick(combo, VK_SPACE);
  EXPECT_EQ(spaces, 1);
  EXPECT_EQ(combo->Text(), "");
  KeyClick(combo, VK_RETURN);
  EXPECT_EQ(form->ActiveControl(), after);
  EXPECT_EQ(okClicks, 0);
  combo->SetFocus();
  KeyClick(combo, VK_RETURN, {ssShift});
  EXPECT_EQ(form->ActiveControl(), before);
  ASSERT_EQ(tabExits.size(), 2u);
  EXPECT_EQ(tabExits[0], TShiftState{});
  EXPECT_EQ(tabExits[1], TShiftState{ssShift});
  // Left by mouse: no tab exit.
  combo->SetFocus();
  MouseClick(after, 5, 5);
  EXPECT_EQ(form->ActiveControl(), after);
  EXPECT_EQ(tabExits.size(), 2u);
  // Without EnterIsTab, Enter reaches the default button.
  combo->SetEnterIsTab(false);
  combo->SetFocus();
  KeyClick(combo, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_TRUE(errors.empty());
}


TEST_F(TypedEditGui, TypedCharactersAreFilteredByTheType) {
  auto* e = Add<TEditKuvet>(10, 10);
  auto* s = Add<TEditKuvet>(10, 40);
  QApplication::clipboard()->setText("77");
  struct Case {
    TEditType type;
    const char* typed;
    const char* shown;
    int beeps;
  } cases[] = {{ttInteger, "1a2", "12", 1}, {ttFloat, "1.5", "1,5", 0}, {ttFloat, "1,5", "1,5", 0},
               {ttDate, "5.3x", "5,3", 1}, {ttTime, "14:3", "14:3", 0},  {ttString, "a,b.", "a,b.", 0}};
  ShowForm(e);
  for (const Case& c : cases) {
    e->SetEditType(ttString);
    e->SetText("");
    e->SetEditType(c.type);
    int beeps = MessageBeepCount();
    TypeText(e, c.typed);
    EXPECT_EQ(e->Text(), c.shown) << c.typed;
    EXPECT_EQ(MessageBeepCount() - beeps, c.beeps) << c.typed;
  }
  e->SetEditType(ttInteger);
  e->SetText("");
  int beeps = MessageBeepCount();
  KeyClick(e, 'V', {ssCtrl});
  EXPECT_EQ(e->Text(), "");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  CommitText(e, "ě");
  EXPECT_EQ(e->Text(), "");
  EXPECT_EQ(MessageBeepCount(), beeps + 2);
  s->SetFocus();
  KeyClick(s, 'V', {ssCtrl});
  EXPECT_EQ(s->Text(), "77");
}

TEST_F(TypedEditGui, EscClicksCancelOnceOrIsDroppedWithABeep) {
  auto* e = Add<TEditKuvet>(10, 10);
  e->SetEditType(ttInteger);
  ShowForm(e);
  int beeps = MessageBeepCount();
  KeyClick(e, VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(MessageBeepCount(), beeps);
  cancel->SetCancel(false);
  KeyClick(e, VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(TypedEditGui, EnterMovesOneControlAndTabExitsCarryTheShiftState) {
  auto* first = Add<TEditKuvet>(10, 10);
  auto* middle = Add<TEditKuvet>(10, 40);
  auto* last = Add<TEditKuvet>(10, 70);
  std::vector<TShiftState> exits;
  middle->OnTabExit = [&](TObject*, TShiftState s) { exits.push_back(s); };
  ShowForm(middle);
  KeyClick(middle, VK_RETURN);
  EXPECT_EQ(form->ActiveControl(), last);
  middle->SetFocus();
  KeyClick(middle, VK_RETURN, {ssShift});
  EXPECT_EQ(form->ActiveControl(), first);
  middle->SetFocus();
  KeyClick(middle, VK_TAB, {ssShift});
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(exits, (std::vector<TShiftState>{TShiftState{}, TShiftState{ssShift}, TShiftState{ssShift}}));
}

TEST_F(TypedEditGui, ABadTextShowsTheBoxKeepsTheFocusAndSwallowsThePress) {
  MessageBoxRecorder boxes;
  auto* e = Add<TEditKuvet>(10, 10);
  auto* next = Add<TEdit>(10, 40);
  e->SetEditType(ttInteger);
  int exits = 0, tabExits = 0;
  e->OnExit = [&](TObject*) { ++exits; };
  e->OnTabExit = [&](TObject*, TShiftState) { ++tabExits; };
  ShowForm(e);
  QApplication::clipboard()->setText("12a");
  KeyClick(e, VK_INSERT, {ssShift});
  EXPECT_EQ(e->Text(), "12a");
  MouseClick(ok, 5, 5);
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(form->ActiveControl(), e);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, Cz(" Chybný formát dat "));
  EXPECT_EQ(boxes.Boxes()[0].Type, mtError);
  EXPECT_EQ(boxes.Boxes()[0].Buttons, (std::vector<TModalResult>{mrOk}));
  // A failed Tab exit leaves no tab mark behind for a later mouse exit.
  KeyClick(e, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), e);
  e->SetText("12");
  MouseClick(next, 5, 5);
  EXPECT_EQ(form->ActiveControl(), next);
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(tabExits, 0);
  e->SetFocus();
  KeyClick(e, VK_TAB);
  EXPECT_EQ(tabExits, 1);
  // Enter on the default button runs the same check first.
  e->SetFocus();
  e->SetEnterIsTab(false);
  e->SetText("");
  QApplication::clipboard()->setText("x1");
  KeyClick(e, VK_INSERT, {ssShift});
  KeyClick(e, VK_RETURN);
  EXPECT_EQ(okClicks, 0);
  EXPECT_EQ(form->ActiveControl(), e);
  e->SetText("5");
  KeyClick(e, VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(boxes.Boxes().size(), 3u);
}

TEST_F(TypedEditGui, TextsAreNormalisedByType) {
  MessageBoxRecorder boxes;
  auto* e = Add<TEditKuvet>(10, 10);
  auto* v = Add<TVEdit>(10, 40);
  struct Case {
    TEditType type;
    int precision;
    const char* in;
    const char* kuvet;  // TEditKuvet
    const char* vedit;  // TVEdit
  } cases[] = {
      {ttFloat, 10, "12,5", "12,50", "12,50"}, {ttFloat, 0, "abc", "abc", "abc"},
      {ttDate, 0, "5", "5.12.2026", "5"},      {ttDate, 0, "050326", "05.03.26", "050326"},
      {ttDate, 0, "5.3.2026", "5.3.2026", "05.03.2026"}, {ttTime, 0, "14", "14:00:00", "14"},
      {ttTime, 0, "14:30", "14:30:00", "14:30:00"},      {ttInteger, 0, "+12", "+12", "+12"},
  };
  for (const Case& c : cases) {
    for (TTypedEdit* edit : {static_cast<TTypedEdit*>(e), static_cast<TTypedEdit*>(v)}) {
      edit->SetEditType(c.type);
      edit->SetFloatPrecision(c.precision);
      edit->SetFloatDigits(2);
      edit->SetText(c.in);
      EXPECT_EQ(edit->Text(), edit == e ? c.kuvet : c.vedit) << c.in << (edit == e ? " kuvet" : " vedit");
    }
  }
  // "5", "050326" and "14" do not convert without completion: TVEdit
  // reports them and keeps the text.
  EXPECT_EQ(boxes.Boxes().size(), 3u);
}

TEST_F(TypedEditGui, BlankDatesAndTimesStandForNoValue) {
  auto* e = Add<TEditKuvet>(10, 10);
  e->SetEditType(ttDate);
  e->SetBlankDate("  .  .    ");
  EXPECT_EQ(e->Text(), "  .  .    ");
  e->SetBlankDate("-");
  EXPECT_EQ(e->Text(), "-");
  e->SetText("");
  EXPECT_EQ(e->Text(), "-");
  e->SetText("5");
  e->SetBlankDate("?");
  EXPECT_EQ(e->Text(), "5.12.2026");
  EXPECT_EQ(e->BlankDate(), "?");
  e->SetEditType(ttTime);
  e->SetText("");
  e->SetBlankTime("--:--");
  EXPECT_EQ(e->Text(), "--:--");
}

TEST_F(TypedEditGui, TheSearchEditTakesAnyCharacterAndSwitchesTypeAtRunTime) {
  MessageBoxRecorder boxes;
  auto* v = Add<TVEdit>(10, 10);
  auto* other = Add<TEdit>(10, 40);
  v->SetEditType(ttDate);
  ShowForm(v);
  TypeText(v, "5.3.2026");
  KeyClick(v, VK_TAB);
  EXPECT_EQ(v->Text(), "05.03.2026");
  EXPECT_EQ(form->ActiveControl(), other);
  v->SetEditType(ttFloat);
  v->SetFloatPrecision(10);
  v->SetFloatDigits(1);
  v->SetFocus();
  v->SetText("");
  TypeText(v, "x");
  EXPECT_EQ(v->Text(), "x");
  v->SetText("2,25");
  EXPECT_EQ(v->Text(), "2,3");
  EXPECT_GT(v->TextMargin(), 0);
}

TEST_F(TypedEditGui, EnteringSelectsAllAndArrowsStayInTheEdit) {
  auto* e = Add<TEditKuvet>(10, 10);
  auto* other = Add<TEdit>(10, 40);
  e->SetText("abcd");
  ShowForm(other);
  KeyClick(other, VK_TAB, {ssShift});
  ASSERT_EQ(form->ActiveControl(), e);
  EXPECT_EQ(e->SelLength(), 4);
  KeyClick(e, VK_LEFT);
  KeyClick(e, VK_RIGHT);
  EXPECT_EQ(form->ActiveControl(), e);
}

TEST_F(TypedEditGui, AFailedCompletionOrLossyPasteLeavesNoDate) {
  MessageBoxRecorder boxes;
  auto* e = Add<TEditKuvet>(10, 10);
  e->SetEditType(ttDate);
  ShowForm(e);
  e->SetText("4.4.2026");
  int beeps = MessageBeepCount();
  QApplication::clipboard()->setText(QString::fromUtf8("5→3"));
  e->SelectAll();
  KeyClick(e, VK_INSERT, {ssShift});
  EXPECT_EQ(e->Text(), "4.4.2026");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  e->SetText("1234");
  EXPECT_EQ(e->Text(), "");
  EXPECT_FALSE(e->Valid());
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(TypedEditGui, AnUnfocusedRightAlignedEditDrawsItsTextAtTheRight) {
  auto* e = Add<TEditKuvet>(10, 10, 120, 21);
  auto* other = Add<TEdit>(10, 40);
  e->SetEditType(ttFloat);
  e->SetAlignment(taRightJustify);
  e->SetText("12,50");
  ShowForm(other);
  QImage shot = Grab(e);
  int last = LastInkColumn(shot, Rect(3, 3, 117, 18), ColorToRGB(clWindow));
  EXPECT_GE(last, 112);
  e->SetAlignment(taCenter);
  shot = Grab(e);
  int first = FirstInkColumn(shot, Rect(3, 3, 117, 18), ColorToRGB(clWindow));
  EXPECT_GT(first, 30);
  EXPECT_LT(LastInkColumn(shot, Rect(3, 3, 117, 18), ColorToRGB(clWindow)), 90);
  // The search edit frames its client area and keeps its margin.
  auto* v = Add<TVEdit>(10, 70, 120, 21);
  v->SetAlignment(taRightJustify);
  v->SetText("12,50");
  Application->ProcessMessages();
  shot = Grab(v);
  EXPECT_EQ(PixelAt(shot, 2, 10), ColorToRGB(clWindowFrame));
  EXPECT_EQ(PixelAt(shot, 117, 10), ColorToRGB(clWindowFrame));
  last = LastInkColumn(shot, Rect(3, 3, 117, 18), ColorToRGB(clWindow));
  EXPECT_EQ(last, 117 - 1 - v->TextMargin());
}

}  // namespace
