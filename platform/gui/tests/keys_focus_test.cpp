// The key pipeline and focus moves of forms, driven by real key and mouse
// events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"

namespace {

// An edit that wants every key for itself (as a multi-line edit does).
class GreedyEdit : public TEdit {
 public:
  using TEdit::TEdit;

 protected:
  int DialogCode() const override { return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS; }
};

struct FormFixture : ::testing::Test {
  TForm* form = nullptr;
  std::vector<std::string> log;
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
  T* Add(int left, int top, int width = 80, int height = 21, TWinControl* parent = nullptr) {
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

using KeysGui = FormFixture;

TEST_F(KeysGui, PreviewRunsBeforeTheControlForKeysAndCharacters) {
  auto* edit = Add<TEdit>(10, 10);
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, Word& k, TShiftState) { log.push_back("form down " + std::to_string(k)); };
  edit->OnKeyDown = [&](TObject*, Word& k, TShiftState) { log.push_back("edit down " + std::to_string(k)); };
  form->OnKeyPress = [&](TObject*, char& c) { log.push_back(std::string("form press ") + c); };
  edit->OnKeyPress = [&](TObject*, char& c) { log.push_back(std::string("edit press ") + c); };
  edit->OnKeyUp = [&](TObject*, Word& k, TShiftState) { log.push_back("edit up " + std::to_string(k)); };
  ShowForm();
  KeyClick(edit, 'A');
  EXPECT_EQ(log, (std::vector<std::string>{"form down 65", "edit down 65", "form press a", "edit press a", "edit up 65"}));
  EXPECT_EQ(edit->Text(), "a");
}

TEST_F(KeysGui, EnterTurnedIntoTabMovesTheFocus) {
  auto* first = Add<TEdit>(10, 10);
  auto* second = Add<TEdit>(10, 40);
  first->OnKeyDown = [](TObject*, Word& k, TShiftState) {
    if (k == VK_RETURN) k = VK_TAB;
  };
  ShowForm();
  ASSERT_EQ(form->ActiveControl(), first);
  KeyClick(first, VK_RETURN);
  EXPECT_EQ(form->ActiveControl(), second);
  EXPECT_EQ(first->Text(), "");
}

TEST_F(KeysGui, KeyZeroStopsEverythingAfterIt) {
  auto* edit = Add<TEdit>(10, 10);
  form->SetKeyPreview(true);
  bool controlSaw = false;
  form->OnKeyDown = [](TObject*, Word& k, TShiftState) {
    if (k == 'X') k = 0;
  };
  edit->OnKeyDown = [&](TObject*, Word&, TShiftState) { controlSaw = true; };
  edit->OnKeyPress = [&](TObject*, char&) { controlSaw = true; };
  ShowForm();
  KeyClick(edit, 'X');
  EXPECT_FALSE(controlSaw);
  EXPECT_EQ(edit->Text(), "");
  KeyClick(edit, 'Y');
  EXPECT_TRUE(controlSaw);
  EXPECT_EQ(edit->Text(), "y");
}

TEST_F(KeysGui, ChangedCharacterIsWhatTheEditReceives) {
  auto* edit = Add<TEdit>(10, 10);
  edit->OnKeyPress = [](TObject*, char& c) {
    if (c == ',') c = '.';
    if (c == 'q') c = 0;
  };
  ShowForm();
  TypeText(edit, "1,5q");
  EXPECT_EQ(edit->Text(), "1.5");
}

TEST_F(KeysGui, CzechCharactersArriveAsCp1250Bytes) {
  auto* edit = Add<TEdit>(10, 10);
  std::string seen;
  edit->OnKeyPress = [&](TObject*, char& c) { seen += c; };
  ShowForm();
  TypeText(edit, Cz("Příjem"));
  EXPECT_EQ(seen, Cz("Příjem"));
  EXPECT_EQ(edit->Text(), Cz("Příjem"));
}

TEST_F(KeysGui, EnterAndEscClickDefaultAndCancelUnlessTheControlWantsThem) {
  auto* edit = Add<TEdit>(10, 10);
  auto* greedy = Add<GreedyEdit>(10, 40);
  auto* ok = Add<TButton>(10, 70);
  auto* cancel = Add<TButton>(100, 70);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  ok->OnClick = [&](TObject*) { log.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { log.push_back("cancel"); };
  ShowForm();
  KeyClick(edit, VK_RETURN);
  KeyClick(edit, VK_ESCAPE);
  EXPECT_EQ(log, (std::vector<std::string>{"ok", "cancel"}));
  log.clear();
  greedy->SetFocus();
  KeyClick(greedy, VK_RETURN);
  KeyClick(greedy, VK_ESCAPE);
  EXPECT_TRUE(log.empty());
  // A focused button takes Enter itself instead of the default one.
  cancel->SetFocus();
  KeyClick(cancel, VK_RETURN);
  EXPECT_EQ(log, (std::vector<std::string>{"cancel"}));
}

TEST_F(KeysGui, AltF4ClosesWhileShiftF4ReachesKeyDown) {
  Add<TEdit>(10, 10);
  form->SetKeyPreview(true);
  std::vector<TShiftState> f4;
  form->OnKeyDown = [&](TObject*, Word& k, TShiftState s) {
    if (k == VK_F4) f4.push_back(s);
  };
  bool closed = false;
  form->OnClose = [&](TObject*, TCloseAction&) { closed = true; };
  ShowForm();
  KeyClick(form, VK_F4, {ssShift});
  EXPECT_FALSE(closed);
  EXPECT_TRUE(form->Visible());
  KeyClick(form, VK_F4, {ssAlt});
  EXPECT_TRUE(closed);
  EXPECT_FALSE(form->Visible());
  ASSERT_EQ(f4.size(), 2u);
  EXPECT_EQ(f4[0], TShiftState{ssShift});
}

TEST_F(KeysGui, AcceleratorsClickButtonsAndFocusLabelTargets) {
  auto* edit = Add<TEdit>(100, 10);
  auto* other = Add<TEdit>(100, 40);
  auto* label = Add<TLabel>(10, 42);
  label->SetCaption("&Popis");
  label->SetFocusControl(other);
  auto* storno = Add<TButton>(10, 70);
  storno->SetCaption("&Storno");
  int clicks = 0;
  storno->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  ASSERT_EQ(form->ActiveControl(), edit);
  KeyClick(edit, 'P', {ssAlt});
  EXPECT_EQ(form->ActiveControl(), other);
  KeyClick(other, 'S', {ssAlt});
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(other->Text(), "");
  // A plain letter is an accelerator while the focused control takes no
  // characters.
  storno->SetFocus();
  KeyClick(storno, 'S');
  EXPECT_EQ(clicks, 2);
}

TEST_F(KeysGui, TabOrderWalksNestedPanelsAndSkipsWhatCannotTakeTheFocus) {
  auto* a = Add<TEdit>(10, 10);
  auto* panel = Add<TPanel>(10, 40, 300, 120);
  auto* p1 = Add<TEdit>(5, 5, 80, 21, panel);
  auto* disabled = Add<TEdit>(5, 30, 80, 21, panel);
  auto* hidden = Add<TEdit>(5, 55, 80, 21, panel);
  auto* noStop = Add<TEdit>(5, 80, 80, 21, panel);
  auto* inner = Add<TPanel>(100, 5, 150, 100, panel);
  auto* deep = Add<TEdit>(5, 5, 80, 21, inner);
  auto* b = Add<TEdit>(10, 200);
  disabled->SetEnabled(false);
  hidden->SetVisible(false);
  noStop->SetTabStop(false);
  ShowForm();
  std::vector<TWinControl*> order{form->ActiveControl()};
  for (int i = 0; i < 4; ++i) {
    KeyClick(form, VK_TAB);
    order.push_back(form->ActiveControl());
  }
  EXPECT_EQ(order, (std::vector<TWinControl*>{a, p1, deep, b, a}));
  KeyClick(form, VK_TAB, {ssShift});
  EXPECT_EQ(form->ActiveControl(), b);
  // Tab order within a parent follows TabOrder, not creation.
  deep->SetFocus();
  p1->SetTabOrder(4);
  KeyClick(form, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), p1);
  KeyClick(form, VK_TAB, {ssShift});
  KeyClick(form, VK_TAB, {ssShift});
  EXPECT_EQ(form->ActiveControl(), a);
}

TEST_F(KeysGui, ExitVetoByRefocusingSwallowsPressReleaseAndDoubleClick) {
  auto* edit = Add<TEdit>(10, 10);
  auto* button = Add<TButton>(10, 50);
  int clicks = 0, doubles = 0, exits = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->OnDblClick = [&](TObject*) { ++doubles; };
  edit->OnExit = [&](TObject*) {
    ++exits;
    edit->SetFocus();
  };
  ShowForm();
  MouseClick(button, 10, 10);
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  DoubleClick(button, 10, 10);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(doubles, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  // Once the exit lets go, the same click clicks.
  edit->OnExit = nullptr;
  MouseClick(button, 10, 10);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->ActiveControl(), button);
}

TEST_F(KeysGui, ExitHandlerThatRaisesKeepsTheFocusAndReportsOnce) {
  auto* edit = Add<TEdit>(10, 10);
  auto* next = Add<TEdit>(10, 50);
  int enters = 0;
  next->OnEnter = [&](TObject*) { ++enters; };
  edit->OnExit = [](TObject*) { throw EConvertError("'abc' is not a valid floating point value"); };
  ShowForm();
  KeyClick(edit, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), edit);
  EXPECT_EQ(enters, 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "'abc' is not a valid floating point value");
  MouseClick(next, 5, 5);
  EXPECT_EQ(form->ActiveControl(), edit);
  EXPECT_EQ(errors.size(), 2u);
}

TEST_F(KeysGui, TheTargetReportsTheFocusWhileTheOldControlExits) {
  auto* edit = Add<TEdit>(10, 10);
  auto* storno = Add<TButton>(10, 50);
  bool stornoFocused = false, editFocused = true;
  edit->OnExit = [&](TObject*) {
    stornoFocused = storno->Focused();
    editFocused = edit->Focused();
  };
  ShowForm();
  MouseClick(storno, 5, 5);
  EXPECT_TRUE(stornoFocused);
  EXPECT_FALSE(editFocused);
  EXPECT_EQ(form->ActiveControl(), storno);
}

TEST_F(KeysGui, ModalBoxOpenedInsideTheExitSwallowsThePress) {
  auto* edit = Add<TEdit>(10, 10);
  auto* button = Add<TButton>(10, 50);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  edit->OnExit = [&](TObject*) {
    OnNextModal([](TCustomForm* box) { KeyClick(box, VK_RETURN); });
    ShowMessage("Chyba");
  };
  ShowForm();
  MouseClick(button, 10, 10);
  EXPECT_EQ(clicks, 0);
  // The move itself went through: the box did not veto it.
  EXPECT_EQ(form->ActiveControl(), button);
}

TEST_F(KeysGui, ArrowsMoveAmongSiblingsOfButtons) {
  auto* b1 = Add<TButton>(10, 10);
  auto* b2 = Add<TButton>(100, 10);
  auto* edit = Add<TEdit>(10, 50);
  ShowForm();
  b1->SetFocus();
  KeyClick(b1, VK_RIGHT);
  EXPECT_EQ(form->ActiveControl(), b2);
  KeyClick(b2, VK_RIGHT);
  EXPECT_EQ(form->ActiveControl(), edit);
  // An edit keeps its arrows.
  KeyClick(edit, VK_LEFT);
  EXPECT_EQ(form->ActiveControl(), edit);
}

}  // namespace
