// Clipboard, input-method and button-activation rules of the key pipeline,
// the focus-changed notice, painting hooks, held mouse, timer ticks and
// pop-up menu placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

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
#include "platform/rtl/system.h"

namespace {

// An edit whose exit check is scripted, and which can refuse pastes.
class CheckedEdit : public TEdit {
 public:
  using TEdit::TEdit;
  bool pass = true;
  bool refusePaste = false;
  int checks = 0;
  std::vector<char> pressed;
  TColor paintColor = clNone;
  void Paste() override {
    if (!refusePaste) TEdit::Paste();
  }
  void SetPaintColor(TColor c) {
    paintColor = c;
    PaintColorChanged();
  }

 protected:
  bool ExitCheck() override {
    ++checks;
    return pass;
  }
  void KeyPress(char& key) override {
    pressed.push_back(key);
    if (key == 'b') key = 0;
    TEdit::KeyPress(key);
  }
  TColor PaintColor() const override { return paintColor == clNone ? TEdit::PaintColor() : paintColor; }
};

// A graphic control that records focus notices and presses.
class Watcher : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<TWinControl*> notices;
  int downs = 0;
  bool heldInDown = false;

 protected:
  void FocusChanged(TWinControl* focused) override { notices.push_back(focused); }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    ++downs;
    heldInDown = HoldsMouse();
    TGraphicControl::MouseDown(b, s, x, y);
  }
};

struct InputFixture : ::testing::Test {
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
  template <class T>
  T* Add(int left, int top, int width = 80, int height = 21) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(left, top, width, height);
    return c;
  }
  void ShowForm() {
    form->Show();
    Application->ProcessMessages();
  }
};

using InputHooksGui = InputFixture;

TEST_F(InputHooksGui, PastesStopAtTheLineBreakAndRefuseCharactersTheCodePageLacks) {
  auto* edit = Add<CheckedEdit>(10, 10, 200);
  ShowForm();
  struct Case {
    const char* clipboard;
    Word key;
    TShiftState shift;
    const char* expected;
    int beeps;
  } cases[] = {
      {"Nájem\r\nleden", VK_INSERT, {ssShift}, "Nájem", 0},
      {"ab\ncd", 'V', {ssCtrl}, "ab", 0},
      {"5→3", VK_INSERT, {ssShift}, "", 1},
      {"12✓2026", 'V', {ssCtrl}, "", 1},
  };
  for (const Case& c : cases) {
    edit->SetText("");
    QApplication::clipboard()->setText(QString::fromUtf8(c.clipboard));
    int beeps = MessageBeepCount();
    KeyClick(edit, c.key, c.shift);
    EXPECT_EQ(edit->Text(), Cz(c.expected)) << c.clipboard;
    EXPECT_EQ(MessageBeepCount() - beeps, c.beeps) << c.clipboard;
  }
  // A control that refuses pastes refuses every route, the context menu too.
  edit->SetText("x");
  edit->refusePaste = true;
  QApplication::clipboard()->setText("pasted");
  KeyClick(edit, VK_INSERT, {ssShift});
  KeyClick(edit, 'V', {ssCtrl});
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), edit->Widget()->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(edit->Widget(), &menuEvent);
  Application->ProcessMessages();
  QMenu* menu = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) menu = m;
  ASSERT_NE(menu, nullptr);
  for (QAction* a : menu->actions())
    if (a->objectName() == QLatin1String("edit-paste")) a->trigger();
  menu->close();
  EXPECT_EQ(edit->Text(), "x");
  // Cut through Shift+Delete leaves the unselected rest.
  edit->SetText("abc");
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  KeyClick(edit, VK_DELETE, {ssShift});
  EXPECT_EQ(edit->Text(), "a");
  EXPECT_EQ(QApplication::clipboard()->text(), "bc");
}

TEST_F(InputHooksGui, InputMethodTextGoesThroughKeyPressOrIsRefusedWhole) {
  auto* edit = Add<CheckedEdit>(10, 10, 200);
  ShowForm();
  int beeps = MessageBeepCount();
  CommitText(edit, "ěab");
  EXPECT_EQ(edit->Text(), Cz("ěa"));  // the control dropped 'b' in KeyPress
  EXPECT_EQ(edit->pressed, (std::vector<char>{Cz("ě")[0], 'a', 'b'}));
  CommitText(edit, "x→y");
  EXPECT_EQ(edit->Text(), Cz("ěa"));
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(InputHooksGui, AButtonActsByKeyOnlyAfterTheFocusedControlsExitCheckPasses) {
  auto* edit = Add<CheckedEdit>(10, 10);
  auto* ok = Add<TButton>(10, 50);
  ok->SetDefault(true);
  auto* save = Add<TButton>(100, 50);
  save->SetCaption(Cz("&Uložit"));
  auto* cancel = Add<TButton>(200, 50);
  cancel->SetCancel(true);
  int okClicks = 0, saveClicks = 0, cancelClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  save->OnClick = [&](TObject*) { ++saveClicks; };
  cancel->OnClick = [&](TObject*) { ++cancelClicks; };
  ShowForm();
  edit->SetFocus();
  edit->pass = false;
  KeyClick(edit, VK_RETURN);
  KeyClick(edit, 'U', {ssAlt});
  EXPECT_EQ(okClicks + saveClicks, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  KeyClick(edit, VK_ESCAPE);  // cancel is never checked
  EXPECT_EQ(cancelClicks, 1);
  int checksBefore = edit->checks;
  edit->pass = true;
  KeyClick(edit, VK_RETURN);
  KeyClick(edit, 'U', {ssAlt});
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(saveClicks, 1);
  EXPECT_EQ(edit->checks, checksBefore + 2);
}

TEST_F(InputHooksGui, ShiftEnterTurnedIntoTabMovesBackwards) {
  auto* first = Add<TEdit>(10, 10);
  auto* second = Add<TEdit>(10, 40);
  second->OnKeyDown = [](TObject*, Word& k, TShiftState) {
    if (k == VK_RETURN) k = VK_TAB;
  };
  ShowForm();
  second->SetFocus();
  KeyClick(second, VK_RETURN, {ssShift});
  EXPECT_EQ(form->ActiveControl(), first);
}

TEST_F(InputHooksGui, EveryControlHearsWhereTheFocusWent) {
  auto* first = Add<TEdit>(10, 10);
  auto* second = Add<TEdit>(10, 40);
  auto* watcher = Add<Watcher>(150, 10);
  ShowForm();
  watcher->notices.clear();
  KeyClick(first, VK_TAB);
  EXPECT_EQ(watcher->notices, (std::vector<TWinControl*>{second}));
}

TEST_F(InputHooksGui, AFailingExitDoesNotLoopWhenTheUserSwitchesWindows) {
  auto* edit = Add<TEdit>(10, 10);
  Add<TEdit>(10, 40);
  int exits = 0;
  edit->OnExit = [&](TObject*) {
    ++exits;
    edit->SetFocus();
  };
  ShowForm();
  TForm* other = NewForm<TForm>(Application);
  other->SetBounds(150, 150, 200, 100);
  other->Show();
  other->SetFocus();
  Application->ProcessMessages();
  form->SetFocus();
  Application->ProcessMessages();
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  delete other;
}

TEST_F(InputHooksGui, ABackgroundPaintedInAnotherColourLeavesColorAlone) {
  auto* edit = Add<CheckedEdit>(10, 10, 100, 21);
  ShowForm();
  edit->SetPaintColor(clYellow);
  Application->ProcessMessages();
  QImage shot = Grab(edit);
  EXPECT_EQ(PixelAt(shot, 50, 10), clYellow);
  EXPECT_EQ(edit->Color(), clWindow);
}

TEST_F(InputHooksGui, PaintToRendersTheControlWithoutItsChildren) {
  auto* panel = Add<TPanel>(20, 20, 100, 60);
  panel->SetColor(clRed);
  panel->SetBevelOuter(bvNone);
  auto* child = new TEdit(form);
  child->SetParent(panel);
  child->SetBounds(0, 0, 100, 60);
  ShowForm();
  TBitmap bitmap;
  bitmap.SetSize(50, 50);
  panel->PaintTo(&bitmap, Point(-10, -10));
  EXPECT_EQ(PixelAt(bitmap.Image(), 0, 0), clRed);
  EXPECT_EQ(PixelAt(bitmap.Image(), 49, 49), clRed);
  EXPECT_EQ(CountColor(bitmap.Image(), Rect(0, 0, 50, 50), clWindow), 0);
}

TEST_F(InputHooksGui, APressedControlHoldsTheMouseUntilRelease) {
  auto* watcher = Add<Watcher>(10, 10, 50, 50);
  ShowForm();
  MouseDown(watcher, 5, 5);
  EXPECT_TRUE(watcher->heldInDown);
  EXPECT_TRUE(watcher->HoldsMouse());
  MouseUp(watcher, 5, 5);
  EXPECT_FALSE(watcher->HoldsMouse());
}

TEST_F(InputHooksGui, ATimerTickCanBeFiredByHand) {
  TTimer timer(form);
  timer.SetInterval(60000);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) { ++ticks; };
  timer.FireTick();
  timer.SetEnabled(false);
  timer.FireTick();
  EXPECT_EQ(ticks, 1);
}

TEST_F(InputHooksGui, APopupMenuIsPlacedByItsAlignmentAndAPressOnItsControlOnlyClosesIt) {
  auto* watcher = Add<Watcher>(10, 10, 50, 50);
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(menu);
  item->SetCaption("Polo\xBEka");
  menu->Items()->Add(item);
  int closes = 0;
  menu->OnClose = [&](TObject*) { ++closes; };
  ShowForm();
  for (TPopupAlignment a : {paLeft, paRight, paCenter}) {
    menu->SetAlignment(a);
    menu->SetPopupComponent(watcher);
    menu->Popup(300, 200);
    Application->ProcessMessages();
    ASSERT_TRUE(menu->Showing());
    QRect g = menu->Items()->SubMenu()->geometry();
    int expected = a == paLeft ? 300 : a == paRight ? 300 - g.width() : 300 - g.width() / 2;
    EXPECT_EQ(g.left(), expected) << a;
    menu->CloseMenu();
  }
  EXPECT_EQ(closes, 3);
  menu->Popup(300, 200);
  Application->ProcessMessages();
  MouseClick(watcher, 5, 5);
  EXPECT_FALSE(menu->Showing());
  EXPECT_EQ(watcher->downs, 0);
  MouseClick(watcher, 5, 5);
  EXPECT_EQ(watcher->downs, 1);
}

}  // namespace
